#include "search/engine/ByteSearch.h"

#include <immintrin.h>

#include <algorithm>

namespace textrove::search {

namespace {

bool IsAsciiLetter(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

#define TEXTROVE_TABLE256(t) _mm256_load_si256(reinterpret_cast<const __m256i*>(t))
#define TEXTROVE_CLASSES256(v, l, h)                                                                                   \
    _mm256_and_si256(_mm256_shuffle_epi8((l), _mm256_and_si256((v), nib)),                                             \
                     _mm256_shuffle_epi8((h), _mm256_and_si256(_mm256_srli_epi16((v), 4), nib)))
#define TEXTROVE_TABLE512(t) _mm512_load_si512(t)
#define TEXTROVE_CLASSES512(v, l, h)                                                                                   \
    _mm512_and_si512(_mm512_shuffle_epi8((l), _mm512_and_si512((v), nib)),                                             \
                     _mm512_shuffle_epi8((h), _mm512_and_si512(_mm512_srli_epi16((v), 4), nib)))

// Bit k set when position i + k may hold a fingerprint; p[i, i + 66) readable.
__attribute__((target("avx2"))) std::uint64_t MaskAvx2(const std::uint8_t* lo, const std::uint8_t* hi,
                                                       const unsigned char* p, std::size_t i)
{
    const __m256i lo0 = TEXTROVE_TABLE256(lo), lo1 = TEXTROVE_TABLE256(lo + 64), lo2 = TEXTROVE_TABLE256(lo + 128);
    const __m256i hi0 = TEXTROVE_TABLE256(hi), hi1 = TEXTROVE_TABLE256(hi + 64), hi2 = TEXTROVE_TABLE256(hi + 128);
    const __m256i nib = _mm256_set1_epi8(0x0F);
    const __m256i zero = _mm256_setzero_si256();
    std::uint64_t mask = 0;
    for (std::size_t half = 0; half < 2; ++half) {
        const unsigned char* q = p + i + 32 * half;
        const __m256i v0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(q));
        const __m256i v1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(q + 1));
        const __m256i v2 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(q + 2));
        const __m256i r =
            _mm256_and_si256(_mm256_and_si256(TEXTROVE_CLASSES256(v0, lo0, hi0), TEXTROVE_CLASSES256(v1, lo1, hi1)),
                             TEXTROVE_CLASSES256(v2, lo2, hi2));
        const auto none = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(r, zero)));
        mask |= static_cast<std::uint64_t>(~none) << (32 * half);
    }
    return mask;
}

__attribute__((target("avx512f,avx512bw"))) std::uint64_t MaskAvx512(const std::uint8_t* lo, const std::uint8_t* hi,
                                                                     const unsigned char* p, std::size_t i)
{
    const __m512i lo0 = TEXTROVE_TABLE512(lo), lo1 = TEXTROVE_TABLE512(lo + 64), lo2 = TEXTROVE_TABLE512(lo + 128);
    const __m512i hi0 = TEXTROVE_TABLE512(hi), hi1 = TEXTROVE_TABLE512(hi + 64), hi2 = TEXTROVE_TABLE512(hi + 128);
    const __m512i nib = _mm512_set1_epi8(0x0F);
    const __m512i v0 = _mm512_loadu_si512(p + i);
    const __m512i v1 = _mm512_loadu_si512(p + i + 1);
    const __m512i v2 = _mm512_loadu_si512(p + i + 2);
    const __m512i r =
        _mm512_and_si512(_mm512_and_si512(TEXTROVE_CLASSES512(v0, lo0, hi0), TEXTROVE_CLASSES512(v1, lo1, hi1)),
                         TEXTROVE_CLASSES512(v2, lo2, hi2));
    return _mm512_test_epi8_mask(r, r);
}

enum class Isa { Scalar, Avx2, Avx512 };

const Isa kIsa = __builtin_cpu_supports("avx512bw") ? Isa::Avx512
    : __builtin_cpu_supports("avx2")                ? Isa::Avx2
                                                    : Isa::Scalar;

}  // namespace

std::string FoldAsciiLetters(std::string_view bytes)
{
    std::string out(bytes);
    for (char& c : out) {
        if (IsAsciiLetter(static_cast<unsigned char>(c))) c = static_cast<char>(c | 0x20);
    }
    return out;
}

BytePattern::BytePattern(std::string_view bytes)
{
    AddAlternative(bytes);
    for (std::size_t k = 0; k < bytes.size(); ++k) {
        const auto b = static_cast<unsigned char>(bytes[k]);
        if (IsAsciiLetter(b)) {
            const unsigned char other = b ^ 0x20;
            m_classes[k][other >> 6] |= std::uint64_t{1} << (other & 63);
        }
    }
}

void BytePattern::AddAlternative(std::string_view bytes)
{
    if (m_classes.empty()) m_classes.resize(bytes.size());
    for (std::size_t k = 0; k < bytes.size() && k < m_classes.size(); ++k) {
        const auto b = static_cast<unsigned char>(bytes[k]);
        m_classes[k][b >> 6] |= std::uint64_t{1} << (b & 63);
    }
}

void BytePattern::Append(const BytePattern& other)
{
    m_classes.insert(m_classes.end(), other.m_classes.begin(), other.m_classes.end());
}

bool BytePattern::MatchesAt(const unsigned char* data) const
{
    for (std::size_t k = 0; k < m_classes.size(); ++k) {
        if (!Accepts(k, data[k])) return false;
    }
    return true;
}

std::size_t BytePattern::Find(const unsigned char* data, std::size_t from, std::size_t end) const
{
    const std::size_t m = size();
    if (end < from || end - from < m) return end;
    for (std::size_t i = from; i + m <= end; ++i) {
        if (MatchesAt(data + i)) return i;
    }
    return end;
}

void MultiSearch::Add(int bucket, const BytePattern& pattern, std::size_t offset)
{
    const auto bit = static_cast<std::uint8_t>(1u << bucket);
    m_used |= bit;
    for (std::size_t k = 0; k < kWidth; ++k) {
        for (unsigned b = 0; b < 256; ++b) {
            if (offset + k >= pattern.size() || pattern.Accepts(offset + k, static_cast<unsigned char>(b))) {
                m_lo[k][b & 15] |= bit;
                m_hi[k][b >> 4] |= bit;
            }
        }
        for (std::size_t r = 0; r < 64; ++r) {
            m_wideLo[k][r] = m_lo[k][r % 16];
            m_wideHi[k][r] = m_hi[k][r % 16];
        }
    }
}

unsigned MultiSearch::BitsAt(const unsigned char* p, std::size_t j, std::size_t end) const
{
    unsigned bits = m_used;
    for (std::size_t k = 0; k < kWidth && j + k < end; ++k) {
        const unsigned char b = p[j + k];
        bits &= m_lo[k][b & 15] & m_hi[k][b >> 4];
    }
    return bits;
}

std::size_t MultiSearch::NextScalar(const unsigned char* p, std::size_t from, std::size_t end, unsigned& bits) const
{
    for (std::size_t j = from; j < end; ++j) {
        bits = BitsAt(p, j, end);
        if (bits) return j;
    }
    bits = 0;
    return end;
}

std::uint64_t MultiSearch::Mask64(const unsigned char* p, std::size_t i) const
{
    if (kIsa == Isa::Avx512) return MaskAvx512(m_wideLo[0].data(), m_wideHi[0].data(), p, i);
    if (kIsa == Isa::Avx2) return MaskAvx2(m_wideLo[0].data(), m_wideHi[0].data(), p, i);
    std::uint64_t mask = 0;
    for (std::size_t k = 0; k < 64; ++k) {
        if (BitsAt(p, i + k, i + 66)) mask |= std::uint64_t{1} << k;
    }
    return mask;
}

std::size_t MultiSearch::Next(Cursor& cursor, const unsigned char* p, std::size_t from, std::size_t end,
                              unsigned& bits) const
{
    bits = 0;
    if (m_used == 0) return end;
    while (from < end) {
        if (cursor.base != static_cast<std::size_t>(-1) && from >= cursor.base && from < cursor.base + 64) {
            const std::uint64_t m = cursor.mask & (~std::uint64_t{0} << (from - cursor.base));
            if (m != 0) {
                const std::size_t j = cursor.base + static_cast<std::size_t>(__builtin_ctzll(m));
                bits = BitsAt(p, j, end);
                return j;
            }
            from = cursor.base + 64;
            continue;
        }
        if (from + 66 > end) return NextScalar(p, from, end, bits);
        cursor.base = from;
        cursor.mask = Mask64(p, from);
        while (cursor.mask == 0 && cursor.base + 64 + 66 <= end) {
            cursor.base += 64;
            cursor.mask = Mask64(p, cursor.base);
        }
        from = std::max(from, cursor.base);
    }
    return end;
}

}  // namespace textrove::search
