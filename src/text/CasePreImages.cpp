#include "text/CasePreImages.h"

#include "text/CaseMapping.h"

#include <unicode/uset.h>

#include <cstdint>
#include <unordered_map>

namespace textrove::text {

namespace {

struct CaseTables {
    // c -> every x != c with ToUpper(x) == c
    std::unordered_map<char32_t, std::vector<char32_t>> lowerOf;
};

// Every character that upper-cases to something else lies in ICU's
// Changes_When_Uppercased set (its full mapping differs whenever the simple
// one does); looking only there saves a pass over all code points. Should
// the set be unavailable, all code points are looked at.
const CaseTables& Cases()
{
    static const CaseTables tables = [] {
        CaseTables t;
        auto look = [&t](char32_t x) {
            if (x >= 0xD800 && x <= 0xDFFF) return;
            const char32_t u = ToUpper(x);
            if (u != x) t.lowerOf[u].push_back(x);
        };
        UErrorCode err = U_ZERO_ERROR;
        USet* set = uset_openPattern(u"[:Changes_When_Uppercased:]", -1, &err);
        if (U_SUCCESS(err) && set) {
            const int32_t items = uset_getItemCount(set);
            for (int32_t i = 0; i < items && U_SUCCESS(err); ++i) {
                UChar32 first = 0, last = 0;
                if (uset_getItem(set, i, &first, &last, nullptr, 0, &err) != 0) continue;  // a string
                for (UChar32 x = first; x <= last; ++x) look(static_cast<char32_t>(x));
            }
        }
        if (set) uset_close(set);
        if (U_FAILURE(err) || t.lowerOf.empty()) {
            t.lowerOf.clear();
            for (char32_t x = 0; x <= 0x10FFFF; ++x) look(x);
        }
        return t;
    }();
    return tables;
}

}  // namespace

const std::vector<char32_t>& PreImages(char32_t c)
{
    thread_local std::unordered_map<char32_t, std::vector<char32_t>> cache;
    auto it = cache.find(c);
    if (it != cache.end()) return it->second;
    std::vector<char32_t> result;
    if (c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF)) {
        if (ToUpper(c) == c) result.push_back(c);
        const auto& lower = Cases().lowerOf;
        auto found = lower.find(c);
        if (found != lower.end()) result.insert(result.end(), found->second.begin(), found->second.end());
    }
    return cache.emplace(c, std::move(result)).first->second;
}

}  // namespace textrove::text
