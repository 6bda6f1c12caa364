#include "text/Cp932.h"

#include "text/Characters.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ucnv_err.h>

#include <stdexcept>
#include <vector>

namespace textrove::text {

namespace {

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
    case 0x1C:
        return 0x1A;
    case 0x7F:
        return 0x1C;
    case 0x1A:
        return 0x7F;
    default:
        return u;
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
        ucnv_toUnicode(m_cnv, &dst, m_units.data() + m_units.size(), &src, srcEnd, nullptr, true, &err);
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

}  // namespace

void DecodeCp932Append(std::string_view bytes, std::u32string& out)
{
    ThreadConverter().DecodeAppend(bytes, out);
}

}  // namespace textrove::text
