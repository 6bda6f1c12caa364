#include "text/EucJpTables.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

#include <memory>

namespace textrove::text {

const EucTables& EucJpTable()
{
    static const std::unique_ptr<EucTables> tables = [] {
        auto t = std::make_unique<EucTables>();
        UErrorCode err = U_ZERO_ERROR;
        UConverter* cnv = ucnv_open("euc-jp-2007", &err);
        if (U_FAILURE(err) || !cnv) {
            err = U_ZERO_ERROR;
            cnv = ucnv_open("EUC-JP", &err);
        }
        if (U_FAILURE(err) || !cnv) return t;  // every character then invalid
        ucnv_setToUCallBack(cnv, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &err);
        auto one = [cnv](const char* bytes, std::size_t n) -> char32_t {
            UChar units[4];
            UChar* dst = units;
            const char* src = bytes;
            UErrorCode e = U_ZERO_ERROR;
            ucnv_resetToUnicode(cnv);
            ucnv_toUnicode(cnv, &dst, units + 4, &src, bytes + n, nullptr, true, &e);
            const auto count = dst - units;
            if (U_FAILURE(e) || src != bytes + n) return 0;
            if (count == 1 && !U16_IS_SURROGATE(units[0])) return units[0];
            if (count == 2 && U16_IS_LEAD(units[0]) && U16_IS_TRAIL(units[1]))
                return U16_GET_SUPPLEMENTARY(units[0], units[1]);
            return 0;
        };
        for (int a = 0; a < 94; ++a) {
            for (int b = 0; b < 94; ++b) {
                const char two[2] = {static_cast<char>(0xA1 + a), static_cast<char>(0xA1 + b)};
                const char three[3] = {'\x8F', two[0], two[1]};
                t->twoByte[a * 94 + b] = one(two, 2);
                t->threeByte[a * 94 + b] = one(three, 3);
            }
            const char kana[2] = {'\x8E', static_cast<char>(0xA1 + a)};
            t->kana[a] = one(kana, 2);
        }
        ucnv_close(cnv);
        auto packed = [](char32_t c) -> std::uint32_t {
            if (c >= 0x10000) return 0;
            unsigned char bytes[4] = {kInvalidByte, 0, 0, 0};
            const auto length = static_cast<std::uint32_t>(c == 0 ? 1 : PutUtf8(bytes, c) - bytes);
            return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | length << 24;
        };
        for (std::size_t a = 0; a < 94; ++a) {
            for (std::size_t b = 0; b < 94; ++b) {
                const std::uint32_t e = packed(t->twoByte[a * 94 + b]);
                t->pairUtf8[PairKey(0xA1 + a, 0xA1 + b)] = e;
                t->threeByteUtf8[a * 94 + b] = packed(t->threeByte[a * 94 + b]);
            }
        }
        for (std::size_t b = 0; b <= 0xDF - 0xA1; ++b) t->pairUtf8[PairKey(0x8E, 0xA1 + b)] = packed(t->kana[b]);
        return t;
    }();
    return *tables;
}

}  // namespace textrove::text
