// The settings file: one read and one write of a single value, UTF-8 text.
// The file is $XDG_CONFIG_HOME/Textroveini (~/.config/Textroveini when unset),
// resolved at every call.
#pragma once

#include <optional>
#include <string>
#include <string_view>

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
// value holds a line break (it could not read back exactly).
bool WriteProfile(std::string_view section, std::string_view key, std::string_view value);

// The same rules on file text, without touching the disk (used by the two
// calls above, tests and fuzzing). `fileText` is UTF-8. SetValue returns the
// text unchanged when the value holds CR or LF, or when a name could not be
// found again (empty, blanks at either end, a line break, "]" in a section,
// "=" in a key, a key starting with "[" or ";").
std::optional<std::string> FindValue(std::string_view fileText, std::string_view section,
                                     std::string_view key);
std::string SetValue(std::string_view fileText, std::string_view section, std::string_view key,
                     std::string_view value);

// File bytes as UTF-8 text: valid UTF-8 as it is (a BOM dropped), anything else
// read as CP932.
std::string DecodeFileText(std::string_view bytes);

}  // namespace textrove::settings
