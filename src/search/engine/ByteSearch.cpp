#include "search/engine/ByteSearch.h"

#include <immintrin.h>

namespace textrove::search {

namespace {

bool IsAsciiLetter(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// OR-ing 0x20 maps exactly 'A' and 'a' (and nothing else) onto 'a', so a
// folded compare against a lower-case letter is an exact either-case test.
inline bool Matches(const unsigned char* data, const std::string& bytes, const std::string& fold)
{
    const std::size_t m = bytes.size();
    for (std::size_t k = 0; k < m; ++k) {
        if (static_cast<unsigned char>(data[k] | static_cast<unsigned char>(fold[k])) !=
            static_cast<unsigned char>(bytes[k]))
            return false;
    }
    return true;
}

std::size_t FindScalar(const unsigned char* data, std::size_t from, std::size_t end,
                       const std::string& bytes, const std::string& fold)
{
    const std::size_t m = bytes.size();
    if (end < from || end - from < m) return end;
    for (std::size_t i = from; i + m <= end; ++i) {
        if (Matches(data + i, bytes, fold)) return i;
    }
    return end;
}

// Compares the first and the last byte of the pattern at 32 positions at a
// time and confirms the survivors byte by byte.
__attribute__((target("avx2"))) std::size_t FindAvx2(const unsigned char* data, std::size_t from,
                                                     std::size_t end, const std::string& bytes,
                                                     const std::string& fold)
{
    const std::size_t m = bytes.size();
    if (end < from || end - from < m) return end;
    const std::size_t last = end - m;  // last possible start
    const __m256i vf = _mm256_set1_epi8(static_cast<char>(bytes[0]));
    const __m256i vfm = _mm256_set1_epi8(fold[0]);
    const __m256i vl = _mm256_set1_epi8(static_cast<char>(bytes[m - 1]));
    const __m256i vlm = _mm256_set1_epi8(fold[m - 1]);
    std::size_t i = from;
    for (; i + 31 <= last; i += 32) {
        const __m256i a = _mm256_or_si256(
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i)), vfm);
        const __m256i b = _mm256_or_si256(
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i + m - 1)), vlm);
        auto mask = static_cast<unsigned>(_mm256_movemask_epi8(
            _mm256_and_si256(_mm256_cmpeq_epi8(a, vf), _mm256_cmpeq_epi8(b, vl))));
        while (mask) {
            const unsigned k = static_cast<unsigned>(__builtin_ctz(mask));
            if (Matches(data + i + k, bytes, fold)) return i + k;
            mask &= mask - 1;
        }
    }
    return FindScalar(data, i, end, bytes, fold);
}

std::size_t FindSse2(const unsigned char* data, std::size_t from, std::size_t end,
                     const std::string& bytes, const std::string& fold)
{
    const std::size_t m = bytes.size();
    if (end < from || end - from < m) return end;
    const std::size_t last = end - m;
    const __m128i vf = _mm_set1_epi8(static_cast<char>(bytes[0]));
    const __m128i vfm = _mm_set1_epi8(fold[0]);
    const __m128i vl = _mm_set1_epi8(static_cast<char>(bytes[m - 1]));
    const __m128i vlm = _mm_set1_epi8(fold[m - 1]);
    std::size_t i = from;
    for (; i + 15 <= last; i += 16) {
        const __m128i a =
            _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i)), vfm);
        const __m128i b = _mm_or_si128(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + m - 1)), vlm);
        auto mask = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, vf), _mm_cmpeq_epi8(b, vl))));
        while (mask) {
            const unsigned k = static_cast<unsigned>(__builtin_ctz(mask));
            if (Matches(data + i + k, bytes, fold)) return i + k;
            mask &= mask - 1;
        }
    }
    return FindScalar(data, i, end, bytes, fold);
}

const bool kHaveAvx2 = __builtin_cpu_supports("avx2");

}  // namespace

std::string FoldAsciiLetters(std::string_view bytes)
{
    std::string out(bytes);
    for (char& c : out) {
        if (IsAsciiLetter(static_cast<unsigned char>(c))) c = static_cast<char>(c | 0x20);
    }
    return out;
}

BytePattern::BytePattern(std::string_view bytes) : m_bytes(FoldAsciiLetters(bytes))
{
    m_fold.resize(m_bytes.size());
    for (std::size_t k = 0; k < m_bytes.size(); ++k)
        m_fold[k] = IsAsciiLetter(static_cast<unsigned char>(m_bytes[k])) ? 0x20 : 0;
}

std::size_t BytePattern::Find(const unsigned char* data, std::size_t from, std::size_t end) const
{
    if (m_bytes.empty()) return from < end ? from : end;
    return kHaveAvx2 ? FindAvx2(data, from, end, m_bytes, m_fold)
                     : FindSse2(data, from, end, m_bytes, m_fold);
}

bool BytePattern::MatchesAt(const unsigned char* data) const
{
    return Matches(data, m_bytes, m_fold);
}

}  // namespace textrove::search
