#include "main/NumberText.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace textrove {

namespace {

bool IsIgnored(char c)
{
    return c == ' ' || c == '\t' || c == '\n';
}
bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

}  // namespace

double LenientNumber(std::string_view text)
{
    std::string clean;
    clean.reserve(text.size());
    for (char c : text)
        if (!IsIgnored(c)) clean.push_back(c);

    // Longest prefix of the form [sign] digits [. digits] [e [sign] digits].
    std::size_t i = 0;
    bool negative = false;
    if (i < clean.size() && (clean[i] == '+' || clean[i] == '-')) {
        negative = clean[i] == '-';
        ++i;
    }
    const std::size_t mantissaStart = i;
    std::size_t intDigits = 0;
    while (i < clean.size() && IsDigit(clean[i])) {
        ++i;
        ++intDigits;
    }
    std::size_t fracDigits = 0;
    if (i < clean.size() && clean[i] == '.') {
        std::size_t j = i + 1;
        while (j < clean.size() && IsDigit(clean[j])) {
            ++j;
            ++fracDigits;
        }
        i = j;
    }
    if (intDigits == 0 && fracDigits == 0) return 0.0;
    const std::size_t mantissaEnd = i;
    long long exponent = 0;
    if (i < clean.size() && (clean[i] == 'e' || clean[i] == 'E')) {
        std::size_t j = i + 1;
        bool expNegative = false;
        if (j < clean.size() && (clean[j] == '+' || clean[j] == '-')) {
            expNegative = clean[j] == '-';
            ++j;
        }
        if (j < clean.size() && IsDigit(clean[j])) {
            while (j < clean.size() && IsDigit(clean[j])) {
                // Saturate: anything this large is out of range either way.
                if (exponent < 100000) exponent = exponent * 10 + (clean[j] - '0');
                ++j;
            }
            if (expNegative) exponent = -exponent;
            i = j;
        }
        // "1e" or "1e+" ends before the e.
    }

    // Canonical text for from_chars: mantissa and a clamped exponent.
    std::string canonical;
    if (clean[mantissaStart] == '.') canonical.push_back('0');
    canonical.append(clean, mantissaStart, mantissaEnd - mantissaStart);
    if (canonical.back() == '.') canonical.pop_back();
    if (exponent != 0) {
        canonical.push_back('e');
        canonical.append(std::to_string(exponent));
    }

    double value = 0.0;
    const auto [ptr, ec] = std::from_chars(canonical.data(), canonical.data() + canonical.size(), value);
    (void)ptr;
    if (ec == std::errc::result_out_of_range) {
        // Decide overflow or underflow from the position of the first
        // significant digit.
        const std::string digits = canonical.substr(0, canonical.find('e'));
        const std::size_t point = digits.find('.');
        const std::size_t intLen = point == std::string::npos ? digits.size() : point;
        const std::size_t firstSig = digits.find_first_of("123456789");
        if (firstSig == std::string::npos) {
            value = 0.0;
        } else {
            long long magnitude = firstSig < intLen ? static_cast<long long>(intLen - firstSig)
                                                    : -static_cast<long long>(firstSig - intLen - 1);
            magnitude += exponent;
            value = magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
        }
    } else if (ec != std::errc()) {
        return 0.0;
    }
    return negative ? -value : value;
}

float GeometryValue(double number)
{
    if (!std::isfinite(number) || std::fabs(number) > std::numeric_limits<float>::max()) return 0.0f;
    return static_cast<float>(number);
}

std::uint8_t WindowStateValue(double number)
{
    if (!std::isfinite(number)) return 0;
    // Half to even, independent of the current floating-point rounding mode.
    double rounded = std::floor(number);
    const double fraction = number - rounded;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(rounded, 2.0) != 0.0)) rounded += 1.0;
    if (rounded == 1.0) return 1;
    if (rounded == 2.0) return 2;
    return 0;
}

std::string FloatText(float value)
{
    char buffer[64];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (ec != std::errc()) return "0";
    std::string text(buffer, end);
    if (text == "-0") text = "0";
    return text;
}

}  // namespace textrove
