// The encodings a searched file can be read in.
#pragma once

#include <cstddef>
#include <string_view>

namespace textrove::text {

enum class Encoding { Utf8, Cp932, Utf16Le, Utf16Be, Iso2022Jp, EucJp };

// The encodings that are searched by decoding them to UTF-8 first
// (StreamDecoder), all but UTF-8 and CP932.
constexpr bool ReadThroughUtf8(Encoding e)
{
    return e != Encoding::Utf8 && e != Encoding::Cp932;
}

// Length of a leading UTF-8 byte-order mark (3 or 0).
inline std::size_t Utf8BomLength(std::string_view bytes)
{
    return bytes.size() >= 3 && bytes[0] == '\xEF' && bytes[1] == '\xBB' && bytes[2] == '\xBF' ? 3 : 0;
}

// Length of the byte-order mark that is not part of a file's text in the
// given encoding (0 for CP932).
inline std::size_t BomLength(std::string_view bytes, Encoding encoding)
{
    switch (encoding) {
    case Encoding::Cp932:
        return 0;
    case Encoding::Utf16Le:
        return bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE' ? 2 : 0;
    case Encoding::Utf16Be:
        return bytes.size() >= 2 && bytes[0] == '\xFE' && bytes[1] == '\xFF' ? 2 : 0;
    default:
        return Utf8BomLength(bytes);
    }
}

}  // namespace textrove::text
