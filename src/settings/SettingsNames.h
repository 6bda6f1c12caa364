// Sections and keys of the settings file, defined once.
#pragma once

#include <string>

namespace textrove::settings {

inline constexpr const char* kFileName = "Textroveini";

inline constexpr const char* kSectionWindowSize = "WindowSize";
inline constexpr const char* kKeyTop = "Top";
inline constexpr const char* kKeyLeft = "Left";
inline constexpr const char* kKeyWidth = "Width";
inline constexpr const char* kKeyHeight = "Height";
inline constexpr const char* kKeyMinMaxFlag = "MinMaxFlag";

inline constexpr const char* kSectionDefDir = "DefDir";
inline constexpr const char* kKeyDirectory = "Directory";

inline constexpr const char* kSectionDefList = "DefList";
inline constexpr int kListSlots = 10;
// "ListName1" .. "ListName10".
inline std::string ListNameKey(int slot)
{
    return "ListName" + std::to_string(slot);
}

}  // namespace textrove::settings
