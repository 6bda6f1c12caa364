#include "text/Utf8.h"

#include <immintrin.h>

#include <cstdint>
#include <cstring>

namespace textrove::text {

bool IsValidUtf8(std::string_view bytes)
{
    bool high;
    return IsValidUtf8(bytes, high);
}

namespace {

bool IsValidUtf8Scalar(const unsigned char* p, std::size_t size, std::size_t i, bool& sawHighByte)
{
    while (i < size) {
        // ASCII stretches 64 bytes at a time.
        while (i + 64 <= size) {
            const auto* v = reinterpret_cast<const __m128i*>(p + i);
            const __m128i any = _mm_or_si128(_mm_or_si128(_mm_loadu_si128(v), _mm_loadu_si128(v + 1)),
                                             _mm_or_si128(_mm_loadu_si128(v + 2), _mm_loadu_si128(v + 3)));
            if (_mm_movemask_epi8(any) != 0) break;
            i += 64;
        }
        while (i + 8 <= size) {
            std::uint64_t a;
            std::memcpy(&a, p + i, 8);
            if (a & 0x8080808080808080ull) break;
            i += 8;
        }
        if (i >= size) break;
        const unsigned char b0 = p[i];
        if (b0 < 0x80) {
            ++i;
            continue;
        }
        sawHighByte = true;
        // Three-byte characters without overlong or surrogate forms (all of
        // Japanese text) take the short way.
        if (((b0 >= 0xE1 && b0 <= 0xEC) || b0 >= 0xEE) && b0 <= 0xEF && i + 2 < size && (p[i + 1] & 0xC0) == 0x80
            && (p[i + 2] & 0xC0) == 0x80) {
            i += 3;
            continue;
        }
        std::size_t len;
        if (DecodeUtf8Step(p + i, size - i, len) == kInvalid) return false;
        i += len;
    }
    return true;
}

// Error classes of a byte pair (the byte before and the byte), looked up
// by nibbles: each table marks the classes its nibble allows; a pair is bad
// when all three agree on a class. Three- and four-byte sequences add the
// rule that the second continuation byte must follow.
constexpr std::uint8_t kTooShort = 1 << 0;
constexpr std::uint8_t kTooLong = 1 << 1;
constexpr std::uint8_t kOverlong3 = 1 << 2;
constexpr std::uint8_t kTooLarge = 1 << 3;
constexpr std::uint8_t kSurrogate = 1 << 4;
constexpr std::uint8_t kOverlong2 = 1 << 5;
constexpr std::uint8_t kTooLarge1000 = 1 << 6;
constexpr std::uint8_t kOverlong4 = 1 << 6;
constexpr std::uint8_t kTwoConts = 1 << 7;
constexpr std::uint8_t kCarry = kTooShort | kTooLong | kTwoConts;

alignas(32) constexpr std::uint8_t kByte1High[32] = {kTooLong,
                                                     kTooLong,
                                                     kTooLong,
                                                     kTooLong,
                                                     kTooLong,
                                                     kTooLong,
                                                     kTooLong,
                                                     kTooLong,
                                                     kTwoConts,
                                                     kTwoConts,
                                                     kTwoConts,
                                                     kTwoConts,
                                                     kTooShort | kOverlong2,
                                                     kTooShort,
                                                     kTooShort | kOverlong3 | kSurrogate,
                                                     kTooShort | kTooLarge | kTooLarge1000 | kOverlong4,
                                                     kTooLong,
                                                     kTooLong,
                                                     kTooLong,
                                                     kTooLong,
                                                     kTooLong,
                                                     kTooLong,
                                                     kTooLong,
                                                     kTooLong,
                                                     kTwoConts,
                                                     kTwoConts,
                                                     kTwoConts,
                                                     kTwoConts,
                                                     kTooShort | kOverlong2,
                                                     kTooShort,
                                                     kTooShort | kOverlong3 | kSurrogate,
                                                     kTooShort | kTooLarge | kTooLarge1000 | kOverlong4};
alignas(32) constexpr std::uint8_t kByte1Low[32] = {kCarry | kOverlong3 | kOverlong2 | kOverlong4,
                                                    kCarry | kOverlong2,
                                                    kCarry,
                                                    kCarry,
                                                    kCarry | kTooLarge,
                                                    kCarry | kTooLarge | kTooLarge1000,
                                                    kCarry | kTooLarge | kTooLarge1000,
                                                    kCarry | kTooLarge | kTooLarge1000,
                                                    kCarry | kTooLarge | kTooLarge1000,
                                                    kCarry | kTooLarge | kTooLarge1000,
                                                    kCarry | kTooLarge | kTooLarge1000,
                                                    kCarry | kTooLarge | kTooLarge1000,
                                                    kCarry | kTooLarge | kTooLarge1000,
                                                    kCarry | kTooLarge | kTooLarge1000 | kSurrogate,
                                                    kCarry | kTooLarge | kTooLarge1000,
                                                    kCarry | kTooLarge | kTooLarge1000,
                                                    kCarry | kOverlong3 | kOverlong2 | kOverlong4,
                                                    kCarry | kOverlong2,
                                                    kCarry,
                                                    kCarry,
                                                    kCarry | kTooLarge,
                                                    kCarry | kTooLarge | kTooLarge1000,
                                                    kCarry | kTooLarge | kTooLarge1000,
                                                    kCarry | kTooLarge | kTooLarge1000,
                                                    kCarry | kTooLarge | kTooLarge1000,
                                                    kCarry | kTooLarge | kTooLarge1000,
                                                    kCarry | kTooLarge | kTooLarge1000,
                                                    kCarry | kTooLarge | kTooLarge1000,
                                                    kCarry | kTooLarge | kTooLarge1000,
                                                    kCarry | kTooLarge | kTooLarge1000 | kSurrogate,
                                                    kCarry | kTooLarge | kTooLarge1000,
                                                    kCarry | kTooLarge | kTooLarge1000};
constexpr std::uint8_t kCont80 = kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge1000 | kOverlong4;
constexpr std::uint8_t kCont90 = kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge;
constexpr std::uint8_t kContA0 = kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge;
alignas(32) constexpr std::uint8_t kByte2High[32] = {
    kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort,
    kCont80,   kCont90,   kContA0,   kContA0,   kTooShort, kTooShort, kTooShort, kTooShort,
    kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort,
    kCont80,   kCont90,   kContA0,   kContA0,   kTooShort, kTooShort, kTooShort, kTooShort};

// Validates whole 32-byte blocks from the start; returns where the scalar
// check is to go on (a character start), or -1 on an error.
__attribute__((target("avx2"))) std::size_t ValidBlocksAvx2(const unsigned char* p, std::size_t size, bool& sawHighByte)
{
    const __m256i byte1High = _mm256_load_si256(reinterpret_cast<const __m256i*>(kByte1High));
    const __m256i byte1Low = _mm256_load_si256(reinterpret_cast<const __m256i*>(kByte1Low));
    const __m256i byte2High = _mm256_load_si256(reinterpret_cast<const __m256i*>(kByte2High));
    const __m256i nib = _mm256_set1_epi8(0x0F);
    __m256i prev = _mm256_setzero_si256();
    __m256i error = _mm256_setzero_si256();
    __m256i high = _mm256_setzero_si256();
    const __m256i openLimit =
        _mm256_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                         -1, -1, -1, -1, -1, static_cast<char>(0xEF), static_cast<char>(0xDF), static_cast<char>(0xBF));
    std::size_t i = 0;
    for (; i + 32 <= size; i += 32) {
        // Most text fails or passes early: a Shift-JIS file is given up at
        // its first error, not validated to the end.
        if (!_mm256_testz_si256(error, error)) return static_cast<std::size_t>(-1);
        const __m256i in = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i));
        if (i + 64 <= size) {
            // Two ASCII blocks at a time.
            const __m256i next = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i + 32));
            if (_mm256_movemask_epi8(_mm256_or_si256(in, next)) == 0) {
                error = _mm256_or_si256(error, _mm256_subs_epu8(prev, openLimit));
                prev = next;
                i += 32;
                continue;
            }
        }
        high = _mm256_or_si256(high, in);
        if (_mm256_movemask_epi8(in) == 0) {
            // ASCII: only a sequence left open by the previous block can fail.
            error = _mm256_or_si256(error, _mm256_subs_epu8(prev, openLimit));
            prev = in;
            continue;
        }
        // The input shifted by 1, 2 and 3 bytes, the previous block filling in.
        const __m256i carried = _mm256_permute2x128_si256(prev, in, 0x21);
        const __m256i prev1 = _mm256_alignr_epi8(in, carried, 15);
        const __m256i prev2 = _mm256_alignr_epi8(in, carried, 14);
        const __m256i prev3 = _mm256_alignr_epi8(in, carried, 13);
        const __m256i special = _mm256_and_si256(
            _mm256_and_si256(_mm256_shuffle_epi8(byte1High, _mm256_and_si256(_mm256_srli_epi16(prev1, 4), nib)),
                             _mm256_shuffle_epi8(byte1Low, _mm256_and_si256(prev1, nib))),
            _mm256_shuffle_epi8(byte2High, _mm256_and_si256(_mm256_srli_epi16(in, 4), nib)));
        const __m256i third = _mm256_subs_epu8(prev2, _mm256_set1_epi8(static_cast<char>(0xE0 - 0x80)));
        const __m256i fourth = _mm256_subs_epu8(prev3, _mm256_set1_epi8(static_cast<char>(0xF0 - 0x80)));
        const __m256i must23 =
            _mm256_and_si256(_mm256_or_si256(third, fourth), _mm256_set1_epi8(static_cast<char>(0x80)));
        error = _mm256_or_si256(error, _mm256_xor_si256(must23, special));
        prev = in;
    }
    sawHighByte = _mm256_movemask_epi8(high) != 0;
    if (!_mm256_testz_si256(error, error)) return static_cast<std::size_t>(-1);
    // Go back to the start of a character left open at the last block end.
    std::size_t j = i;
    for (std::size_t k = 1; k <= 3 && k <= i; ++k) {
        const unsigned char b = p[i - k];
        if (b < 0x80) break;
        if (b >= 0xC0) {
            j = i - k;
            break;
        }
    }
    return j;
}

const bool kUtf8Avx2 = __builtin_cpu_supports("avx2");

}  // namespace

bool IsValidUtf8(std::string_view bytes, bool& sawHighByte)
{
    sawHighByte = false;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t size = bytes.size();
    std::size_t from = 0;
    if (kUtf8Avx2 && size >= 64) {
        from = ValidBlocksAvx2(p, size, sawHighByte);
        if (from == static_cast<std::size_t>(-1)) return false;
    }
    bool tailHigh = false;
    const bool valid = IsValidUtf8Scalar(p, size, from, tailHigh);
    sawHighByte = sawHighByte || tailHigh;
    return valid;
}

bool HasHighByte(std::string_view bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t size = bytes.size();
    std::size_t i = 0;
    for (; i + 64 <= size; i += 64) {
        const auto* v = reinterpret_cast<const __m128i*>(p + i);
        const __m128i any = _mm_or_si128(_mm_or_si128(_mm_loadu_si128(v), _mm_loadu_si128(v + 1)),
                                         _mm_or_si128(_mm_loadu_si128(v + 2), _mm_loadu_si128(v + 3)));
        if (_mm_movemask_epi8(any) != 0) return true;
    }
    for (; i < size; ++i) {
        if (p[i] >= 0x80) return true;
    }
    return false;
}

std::size_t CompleteUtf8Prefix(const unsigned char* p, std::size_t n)
{
    for (std::size_t k = 1; k <= 3 && k <= n; ++k) {
        const unsigned char b = p[n - k];
        if ((b & 0xC0) == 0x80) continue;
        if (b < 0x80) return n;
        const std::size_t need = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
        return k < need ? n - k : n;
    }
    return n;
}

}  // namespace textrove::text
