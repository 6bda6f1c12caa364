// The settings file's line limit, apart so that the reader can use it.
#pragma once

#include <cstddef>

namespace textrove::settings {

// Longer lines (terminator included) are left as they are and read as no key
// and no section. Far above anything the program stores; it bounds memory.
inline constexpr std::size_t kMaxLineBytes = std::size_t{1} << 20;

}  // namespace textrove::settings
