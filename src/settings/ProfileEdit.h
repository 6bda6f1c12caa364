// Lookup and change of one value in the settings file's lines.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "settings/ProfileLines.h"

namespace textrove::settings {

// A write's change: file bytes [at, at + removed) become `insert`.
struct Edit {
    std::uint64_t at = 0, removed = 0;
    std::string insert;
};

enum class Plan { Unchanged, Change, Refused };

// Names and values a write can store so that a read finds them again.
bool IsStorable(std::string_view section, std::string_view key, std::string_view value);

// The first key of that name in any section of that name.
std::optional<std::string> FindIn(LineReader& reader, std::string_view section, std::string_view key);

// The key FindIn reads gets the value; when missing, the key is added after
// the last non-blank line of the first section of that name, or section and
// key at the end. The changed line alone is re-encoded (UTF-8); new lines end
// as the file's first line feed does.
Plan PlanChange(LineReader& reader, std::string_view section, std::string_view key, std::string_view value, Edit& edit);

}  // namespace textrove::settings
