#include "text/TextCodec.h"

#include "text/StreamDecoder.h"

#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ucnv_err.h>

#include <immintrin.h>

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace textrove::text {

namespace {

// One step of UTF-8 decoding. Returns the code point and sets `length` to the
// bytes consumed; an invalid sequence yields kInvalid and consumes its
// maximal ill-formed prefix (at least one byte), so the next byte starts fresh.
char32_t DecodeUtf8Step(const unsigned char* p, std::size_t avail, std::size_t& length)
{
    const unsigned char b0 = p[0];
    if (b0 < 0x80) {
        length = 1;
        return b0;
    }
    std::size_t need;
    char32_t cp;
    unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        need = 1;
        cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        need = 2;
        cp = b0 & 0x0F;
        if (b0 == 0xE0) lo = 0xA0;       // no overlongs
        else if (b0 == 0xED) hi = 0x9F;  // no surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        need = 3;
        cp = b0 & 0x07;
        if (b0 == 0xF0) lo = 0x90;
        else if (b0 == 0xF4) hi = 0x8F;  // nothing past U+10FFFF
    } else {
        length = 1;
        return kInvalid;
    }
    std::size_t i = 1;
    for (; i <= need; ++i) {
        if (i >= avail) break;
        const unsigned char b = p[i];
        const unsigned char l = (i == 1) ? lo : 0x80;
        const unsigned char h = (i == 1) ? hi : 0xBF;
        if (b < l || b > h) break;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (i <= need) {
        length = i;
        return kInvalid;
    }
    length = need + 1;
    return cp;
}

bool BreaksRecordLine(char32_t c)
{
    return c == '\n' || c == '\r' || c == 0x2028 || c == 0x2029 || c == 0xFDD0 || c == 0xFDD1;
}

// ICU's own substitution writes U+001A for some single-byte errors; a marker
// that no CP932 mapping produces keeps invalid bytes distinguishable.
constexpr UChar kIcuInvalidMarker = 0xFFFF;

void U_CALLCONV MarkInvalid(const void*, UConverterToUnicodeArgs* args, const char*, int32_t,
                            UConverterCallbackReason reason, UErrorCode* err)
{
    if (reason > UCNV_IRREGULAR) return;  // reset, close, clone
    *err = U_ZERO_ERROR;
    ucnv_cbToUWriteUChars(args, &kIcuInvalidMarker, 1, 0, err);
}

// The IBM table rotates three control codes (0x1A->U+001C, 0x1C->U+007F,
// 0x7F->U+001A); Windows maps every byte below 0x80 to itself. These three
// code points come from no other byte sequence, so the rotation is undone.
char32_t FromIbmControl(UChar u)
{
    switch (u) {
    case 0x1C: return 0x1A;
    case 0x7F: return 0x1C;
    case 0x1A: return 0x7F;
    default: return u;
    }
}

// ICU converters are not thread-safe: each thread keeps its own.
class Cp932Converter {
public:
    Cp932Converter()
    {
        UErrorCode err = U_ZERO_ERROR;
        m_cnv = ucnv_open("ibm-943_P15A-2003", &err);
        if (U_FAILURE(err) || !m_cnv) throw std::runtime_error("CP932 converter unavailable");
        ucnv_setToUCallBack(m_cnv, MarkInvalid, nullptr, nullptr, nullptr, &err);
        if (U_FAILURE(err)) throw std::runtime_error("CP932 converter callback");
    }
    ~Cp932Converter() { ucnv_close(m_cnv); }
    Cp932Converter(const Cp932Converter&) = delete;
    Cp932Converter& operator=(const Cp932Converter&) = delete;

    void DecodeAppend(std::string_view bytes, std::u32string& out)
    {
        if (bytes.empty()) return;
        ucnv_resetToUnicode(m_cnv);
        // CP932 never yields more UTF-16 units than bytes (plus one marker per
        // byte at worst).
        m_units.resize(bytes.size() + 8);
        const char* src = bytes.data();
        const char* srcEnd = src + bytes.size();
        UChar* dst = m_units.data();
        UErrorCode err = U_ZERO_ERROR;
        ucnv_toUnicode(m_cnv, &dst, m_units.data() + m_units.size(), &src, srcEnd, nullptr, true,
                       &err);
        const std::size_t count = static_cast<std::size_t>(dst - m_units.data());
        out.reserve(out.size() + count);
        for (std::size_t i = 0; i < count; ++i) {
            const UChar u = m_units[i];
            if (u == kIcuInvalidMarker) {
                out.push_back(kInvalid);
            } else if (u < 0x80) {
                out.push_back(FromIbmControl(u));
            } else if (U16_IS_LEAD(u) && i + 1 < count && U16_IS_TRAIL(m_units[i + 1])) {
                out.push_back(U16_GET_SUPPLEMENTARY(u, m_units[i + 1]));
                ++i;
            } else {
                out.push_back(u);
            }
        }
        if (U_FAILURE(err)) {
            // Cannot happen with the buffer sized above; never lose the rest.
            for (; src < srcEnd; ++src) out.push_back(kInvalid);
        }
    }

private:
    UConverter* m_cnv = nullptr;
    std::vector<UChar> m_units;
};

Cp932Converter& ThreadConverter()
{
    thread_local Cp932Converter converter;
    return converter;
}

void DecodeUtf8Append(std::string_view bytes, bool invalidAsReplacement, std::u32string& out)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t size = bytes.size();
    out.reserve(out.size() + size);
    std::size_t i = 0;
    while (i < size) {
        if (p[i] < 0x80) {
            out.push_back(p[i++]);
            continue;
        }
        std::size_t len;
        char32_t cp = DecodeUtf8Step(p + i, size - i, len);
        if (cp == kInvalid && invalidAsReplacement) cp = kReplacement;
        out.push_back(cp);
        i += len;
    }
}

}  // namespace

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
        if (((b0 >= 0xE1 && b0 <= 0xEC) || b0 >= 0xEE) && b0 <= 0xEF && i + 2 < size &&
            (p[i + 1] & 0xC0) == 0x80 && (p[i + 2] & 0xC0) == 0x80) {
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

alignas(32) constexpr std::uint8_t kByte1High[32] = {
    kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong,
    kTwoConts, kTwoConts, kTwoConts, kTwoConts,
    kTooShort | kOverlong2, kTooShort, kTooShort | kOverlong3 | kSurrogate,
    kTooShort | kTooLarge | kTooLarge1000 | kOverlong4,
    kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong,
    kTwoConts, kTwoConts, kTwoConts, kTwoConts,
    kTooShort | kOverlong2, kTooShort, kTooShort | kOverlong3 | kSurrogate,
    kTooShort | kTooLarge | kTooLarge1000 | kOverlong4};
alignas(32) constexpr std::uint8_t kByte1Low[32] = {
    kCarry | kOverlong3 | kOverlong2 | kOverlong4, kCarry | kOverlong2, kCarry, kCarry,
    kCarry | kTooLarge, kCarry | kTooLarge | kTooLarge1000, kCarry | kTooLarge | kTooLarge1000,
    kCarry | kTooLarge | kTooLarge1000, kCarry | kTooLarge | kTooLarge1000,
    kCarry | kTooLarge | kTooLarge1000, kCarry | kTooLarge | kTooLarge1000,
    kCarry | kTooLarge | kTooLarge1000, kCarry | kTooLarge | kTooLarge1000,
    kCarry | kTooLarge | kTooLarge1000 | kSurrogate, kCarry | kTooLarge | kTooLarge1000,
    kCarry | kTooLarge | kTooLarge1000,
    kCarry | kOverlong3 | kOverlong2 | kOverlong4, kCarry | kOverlong2, kCarry, kCarry,
    kCarry | kTooLarge, kCarry | kTooLarge | kTooLarge1000, kCarry | kTooLarge | kTooLarge1000,
    kCarry | kTooLarge | kTooLarge1000, kCarry | kTooLarge | kTooLarge1000,
    kCarry | kTooLarge | kTooLarge1000, kCarry | kTooLarge | kTooLarge1000,
    kCarry | kTooLarge | kTooLarge1000, kCarry | kTooLarge | kTooLarge1000,
    kCarry | kTooLarge | kTooLarge1000 | kSurrogate, kCarry | kTooLarge | kTooLarge1000,
    kCarry | kTooLarge | kTooLarge1000};
constexpr std::uint8_t kCont80 = kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge1000 | kOverlong4;
constexpr std::uint8_t kCont90 = kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge;
constexpr std::uint8_t kContA0 = kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge;
alignas(32) constexpr std::uint8_t kByte2High[32] = {
    kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort,
    kCont80, kCont90, kContA0, kContA0, kTooShort, kTooShort, kTooShort, kTooShort,
    kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort,
    kCont80, kCont90, kContA0, kContA0, kTooShort, kTooShort, kTooShort, kTooShort};

// Validates whole 32-byte blocks from the start; returns where the scalar
// check is to go on (a character start), or -1 on an error.
__attribute__((target("avx2"))) std::size_t ValidBlocksAvx2(const unsigned char* p, std::size_t size,
                                                            bool& sawHighByte)
{
    const __m256i byte1High = _mm256_load_si256(reinterpret_cast<const __m256i*>(kByte1High));
    const __m256i byte1Low = _mm256_load_si256(reinterpret_cast<const __m256i*>(kByte1Low));
    const __m256i byte2High = _mm256_load_si256(reinterpret_cast<const __m256i*>(kByte2High));
    const __m256i nib = _mm256_set1_epi8(0x0F);
    __m256i prev = _mm256_setzero_si256();
    __m256i error = _mm256_setzero_si256();
    __m256i high = _mm256_setzero_si256();
    const __m256i openLimit = _mm256_setr_epi8(
        -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
        -1, -1, -1, -1, static_cast<char>(0xEF), static_cast<char>(0xDF), static_cast<char>(0xBF));
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
            _mm256_and_si256(
                _mm256_shuffle_epi8(byte1High, _mm256_and_si256(_mm256_srli_epi16(prev1, 4), nib)),
                _mm256_shuffle_epi8(byte1Low, _mm256_and_si256(prev1, nib))),
            _mm256_shuffle_epi8(byte2High, _mm256_and_si256(_mm256_srli_epi16(in, 4), nib)));
        const __m256i third = _mm256_subs_epu8(prev2, _mm256_set1_epi8(static_cast<char>(0xE0 - 0x80)));
        const __m256i fourth = _mm256_subs_epu8(prev3, _mm256_set1_epi8(static_cast<char>(0xF0 - 0x80)));
        const __m256i must23 = _mm256_and_si256(_mm256_or_si256(third, fourth), _mm256_set1_epi8(static_cast<char>(0x80)));
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

void DecodeAppend(std::string_view bytes, Encoding encoding, std::u32string& out)
{
    if (encoding == Encoding::Utf8) {
        DecodeUtf8Append(bytes, false, out);
    } else if (encoding == Encoding::Cp932) {
        ThreadConverter().DecodeAppend(bytes, out);
    } else {
        StreamDecoder decoder(encoding);
        decoder.SetState({true, 0});
        std::string utf8(bytes.size() * StreamDecoder::kMaxGrowth, '\0');
        std::size_t written = 0;
        decoder.Decode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), true,
                       reinterpret_cast<unsigned char*>(utf8.data()), written);
        utf8.resize(written);
        DecodeUtf8Append(utf8, false, out);  // kInvalidByte becomes kInvalid
    }
}

std::u32string Decode(std::string_view bytes, Encoding encoding)
{
    std::u32string out;
    DecodeAppend(bytes, encoding, out);
    return out;
}

std::string Cp932ToUtf8(std::string_view bytes)
{
    return U32ToUtf8(Decode(bytes, Encoding::Cp932));
}

std::u32string Utf8ToU32(std::string_view utf8)
{
    std::u32string out;
    DecodeUtf8Append(utf8, true, out);
    return out;
}

void AppendUtf8(char32_t c, std::string& out)
{
    if (c == kInvalid || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) c = kReplacement;
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

std::string U32ToUtf8(std::u32string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char32_t c : text) AppendUtf8(c, out);
    return out;
}

std::string LossyUtf8(std::string_view bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        std::size_t len;
        const char32_t cp = DecodeUtf8Step(p + i, bytes.size() - i, len);
        if (cp == kInvalid) {
            AppendUtf8(kReplacement, out);
        } else {
            out.append(bytes.data() + i, len);
        }
        i += len;
    }
    return out;
}

bool ShownAsRecord(std::string_view utf8, std::string& out)
{
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    const std::size_t n = utf8.size();
    // Common case first: one pass for the breaking characters' bytes
    // (E2 80 A8/A9, EF B7 90/91), then the validity check.
    std::size_t i = 0;
    for (; i < n; ++i) {
        const unsigned char b = p[i];
        if (b == '\n' || b == '\r') break;
        if (b == 0xE2 && i + 2 < n && p[i + 1] == 0x80 && (p[i + 2] == 0xA8 || p[i + 2] == 0xA9)) break;
        if (b == 0xEF && i + 2 < n && p[i + 1] == 0xB7 && (p[i + 2] == 0x90 || p[i + 2] == 0x91)) break;
    }
    if (i == n && IsValidUtf8(utf8)) return false;

    std::string shown;
    shown.reserve(n + 8);
    for (i = 0; i < n;) {
        std::size_t len;
        const char32_t c = DecodeUtf8Step(p + i, n - i, len);
        if (c == kInvalid || BreaksRecordLine(c))
            AppendUtf8(kReplacement, shown);
        else
            shown.append(utf8.data() + i, len);
        i += len;
    }
    out.swap(shown);
    return true;
}

char32_t ToUpper(char32_t c)
{
    if (c < 0x80) return (c >= 'a' && c <= 'z') ? c - 0x20 : c;
    // The basic plane through a table filled once from ICU: lines are
    // upper-cased character by character.
    static const std::vector<char32_t> bmp = [] {
        std::vector<char32_t> t(0x10000);
        for (UChar32 x = 0; x < 0x10000; ++x) t[static_cast<std::size_t>(x)] = static_cast<char32_t>(u_toupper(x));
        return t;
    }();
    if (c < 0x10000) return bmp[c];
    if (c > 0x10FFFF) return c;  // kInvalid stays as it is
    return static_cast<char32_t>(u_toupper(static_cast<UChar32>(c)));
}

void ToUpperInPlace(std::u32string& text)
{
    for (char32_t& c : text) c = ToUpper(c);
}

std::u32string ToUpper(std::u32string_view text)
{
    std::u32string out(text);
    ToUpperInPlace(out);
    return out;
}

std::string ToUpperUtf8(std::string_view utf8)
{
    std::u32string cps = Utf8ToU32(utf8);
    ToUpperInPlace(cps);
    return U32ToUtf8(cps);
}

std::size_t CodePointLength(std::string_view utf8)
{
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    std::size_t count = 0;
    std::size_t i = 0;
    while (i < utf8.size()) {
        std::size_t len;
        DecodeUtf8Step(p + i, utf8.size() - i, len);
        i += len;
        ++count;
    }
    return count;
}

std::string CutCodePoints(std::string_view utf8, std::size_t maxCodePoints)
{
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    std::size_t i = 0;
    for (std::size_t n = 0; n < maxCodePoints && i < utf8.size(); ++n) {
        std::size_t len;
        DecodeUtf8Step(p + i, utf8.size() - i, len);
        i += len;
    }
    return std::string(utf8.substr(0, i));
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
