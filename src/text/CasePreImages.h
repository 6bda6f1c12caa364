// Case pre-images: the code points that upper-case to a given one, so that a
// search word in upper case can be found in any case in the raw bytes.
#pragma once

#include <vector>

namespace textrove::text {

// Every code point whose simple upper case is `c`, from ICU (`c` itself
// first when it is its own upper case). The reference stays valid for the
// calling thread's lifetime.
const std::vector<char32_t>& PreImages(char32_t c);

}  // namespace textrove::text
