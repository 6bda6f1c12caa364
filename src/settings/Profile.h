// The settings file: one read and one write of a single value, UTF-8 text.
// The file is $XDG_CONFIG_HOME/Textroveini (~/.config/Textroveini when unset),
// resolved at every call.
//
// Each line is read as UTF-8 when it is valid UTF-8, otherwise as CP932; a
// leading UTF-8 BOM belongs to no line. A write re-encodes only the line it
// changes or adds (UTF-8); every other byte is written back as it was read.
// The file is streamed, never held whole: memory stays bounded whatever its
// size. A line longer than kMaxLineBytes is kept but not understood.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "settings/ProfileLimits.h"

namespace textrove::settings {

// Full path of the settings file for the current environment.
std::string SettingsFilePath();

// The stored value of section/key, or `def` when the file, the section or the
// key is missing. An existing empty key gives "". Names match without regard
// to ASCII letter case. Values come back whole.
std::string ReadProfile(std::string_view section, std::string_view key, std::string_view def);

// Stores section/key = value. Re-reads the file under a lock, changes the one
// key (adding section and key at the end when missing) and replaces the file
// atomically. Returns false, changing nothing, when the write fails or the
// value could not read back exactly (see SetValue).
bool WriteProfile(std::string_view section, std::string_view key, std::string_view value);

// The same rules on file bytes, without touching the disk (used by tests and
// fuzzing). FindValue gives UTF-8. SetValue returns the bytes unchanged when
// the value holds CR or LF, when a name or the value is not valid UTF-8, when
// the line would pass kMaxLineBytes, or when a name could not be found again
// (empty, blanks at either end, a line break, "]" in a section, "=" in a key,
// a key starting with "[" or ";").
std::optional<std::string> FindValue(std::string_view fileBytes, std::string_view section, std::string_view key);
std::string SetValue(std::string_view fileBytes, std::string_view section, std::string_view key,
                     std::string_view value);

}  // namespace textrove::settings
