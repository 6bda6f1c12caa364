#include "text/TextCodec.h"

#include "text/StreamDecoder.h"

namespace textrove::text {

namespace {

bool BreaksRecordLine(char32_t c)
{
    return c == '\n' || c == '\r' || c == 0x2028 || c == 0x2029 || c == 0xFDD0 || c == 0xFDD1;
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

void DecodeAppend(std::string_view bytes, Encoding encoding, std::u32string& out)
{
    if (encoding == Encoding::Utf8) {
        DecodeUtf8Append(bytes, false, out);
    } else if (encoding == Encoding::Cp932) {
        DecodeCp932Append(bytes, out);
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

}  // namespace textrove::text
