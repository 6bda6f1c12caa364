// Every record a search produces is built here: the header naming the words,
// each file's banner (after an empty record), the hit records and the abort
// record. The scan finds; this class says how a find reads.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "search/engine/SearchTypes.h"

namespace textrove::search {

class RecordPrinter {
public:
    // Takes a record, or a part of a record too long to hold (as
    // ResultSink::AppendPart): `first` and `last` are both set on a whole
    // record. False when the record was refused.
    using Print = std::function<bool(std::string_view text, bool first, bool last)>;

    // Room a hit's line text leaves before it for "WORD :", so the record is
    // the line's own buffer and a long line is not copied again.
    static constexpr std::size_t kPrefixRoom = 4 * kMaxWordLength + 2;

    // `shownWords` are the words as the header shows them, in list order.
    static std::string HeaderRecord(const std::vector<std::string>& shownWords);
    static std::string_view AbortRecord() { return kAbortRecord; }

    // Decoded text as shown in a record: each invalid byte as U+FFFD.
    static void AppendShown(std::string& out, const unsigned char* p, std::size_t n);

    // Starts a file's records; `print` and `displayPath` outlive the file.
    void BeginFile(const Print& print, std::string_view displayPath);

    // The empty record and the banner, once per file, before its first hit.
    void Banner();

    // A whole hit record. `line` holds the line's text after kPrefixRoom
    // bytes of room, which this fills. A refusal is left to the cancellation
    // it raises, as for any other record.
    void Hit(std::string_view word, std::string& line);

    // A hit on a line too long to hold, handed over in parts: the head
    // ("WORD :", after the banner), then the text. False when refused.
    bool HitHead(std::string_view word);
    bool HitPart(std::string_view part, bool last) { return (*m_print)(part, false, last); }

    // A long record's buffer is not kept past its use.
    void Release(std::size_t keepBytes);

private:
    const Print* m_print = nullptr;
    std::string_view m_displayPath;
    bool m_banner = false;
    std::string m_record;
};

}  // namespace textrove::search
