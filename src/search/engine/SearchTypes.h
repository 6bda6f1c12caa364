// What every part of a search shares: its limits, the fixed texts of its
// records and the cancel flag. A leaf: it includes no other engine header.
#pragma once

#include <atomic>
#include <cstdint>

namespace textrove::search {

inline constexpr int kMaxWords = 10;       // slots of the word table
inline constexpr int kMaxWordLength = 10;  // code points of a word added through the list
inline constexpr int kDirLevels = 11;      // the target and 10 levels below it
inline constexpr int kDirEntries = 51;     // entry 0 unused, up to 50 subdirectories
inline constexpr int kMaxSubdirs = 50;

inline constexpr const char* kHeaderRecord = "検索文字は、";
inline constexpr const char* kBannerHead = "----- ファイル名 : ";
inline constexpr const char* kBannerTail = " -----";
inline constexpr const char* kAbortRecord = "***** 中断しました。 *****";

// 0 = go on; non-zero = cancellation requested (the Cancel button sets 255).
using CancelFlag = std::atomic<std::uint8_t>;

}  // namespace textrove::search
