// Arbitrary bytes as a settings file: decoding, lookup and change must not
// crash, a stored value must read back exactly, and no other key may change.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "settings/Profile.h"
#include "settings/SettingsNames.h"
#include "text/TextCodec.h"

namespace {

using namespace textrove::settings;

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool SameAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// Every name the text might use as a section or a key (a generous superset).
void CollectNames(std::string_view text, std::vector<std::string>& sections,
                  std::vector<std::string>& keys) {
  constexpr std::size_t kMaxNames = 24;  // keeps one run quick on large inputs
  std::size_t pos = 0;
  while (pos < text.size() && (sections.size() < kMaxNames || keys.size() < kMaxNames)) {
    std::size_t nl = text.find('\n', pos);
    if (nl == std::string_view::npos) nl = text.size();
    std::string_view line = text.substr(pos, nl - pos);
    pos = nl + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::string_view trimmed = TrimBlanks(line);
    if (!trimmed.empty() && trimmed.front() == '[') {
      const std::size_t close = trimmed.find(']');
      if (close != std::string_view::npos && sections.size() < kMaxNames) {
        sections.emplace_back(TrimBlanks(trimmed.substr(1, close - 1)));
      }
    } else if (const std::size_t eq = line.find('='); eq != std::string_view::npos) {
      if (keys.size() < kMaxNames) keys.emplace_back(TrimBlanks(line.substr(0, eq)));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  static const char* const kSections[] = {kSectionWindowSize, kSectionDefDir, kSectionDefList,
                                          "windowsize", "DEFLIST", "S"};
  static const char* const kKeys[] = {kKeyTop,     kKeyLeft,    kKeyMinMaxFlag, kKeyDirectory,
                                      "ListName1", "listname10", "K"};

  const bool fixedNames = input.ConsumeBool();
  std::string section, key;
  if (fixedNames) {
    section = kSections[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kSections) - 1)];
    key = kKeys[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kKeys) - 1)];
  } else {
    section = input.ConsumeRandomLengthString(24);
    key = input.ConsumeRandomLengthString(24);
  }
  const std::string value = input.ConsumeRandomLengthString(512);
  const std::string bytes = input.ConsumeRemainingBytesAsString();

  const std::string text = DecodeFileText(bytes);
  if (!textrove::text::IsValidUtf8(text)) std::abort();

  const std::string after = SetValue(text, section, key, value);
  const bool mustStore = fixedNames && value.find_first_of("\r\n") == std::string::npos;
  if (mustStore || after != text) {
    if (FindValue(after, section, key) != value) std::abort();
    if (SetValue(after, section, key, value) != after) std::abort();  // storing again is a no-op
  }

  std::vector<std::string> sections = {section};
  std::vector<std::string> keys = {key};
  CollectNames(text, sections, keys);
  for (const std::string& s : sections) {
    for (const std::string& k : keys) {
      if (SameAsciiCase(s, section) && SameAsciiCase(k, key)) continue;
      if (FindValue(text, s, k) != FindValue(after, s, k)) std::abort();
    }
  }
  return 0;
}
