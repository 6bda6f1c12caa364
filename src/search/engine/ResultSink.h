// Where a search's records go. The GUI, the command-line companion, tests and
// benchmarks each bring their own sink. Calls come in record order from one
// thread at a time (not always the same one: each call happens after the
// one before it), never from two at once.
#pragma once

#include <string>
#include <string_view>

namespace textrove::search {

class ResultSink {
public:
    virtual ~ResultSink() = default;

    // One record, UTF-8, without its line break (the pane adds CR LF before
    // it). Returns false and sets `error` to a description when the record
    // cannot be taken; the record is then not added.
    virtual bool Append(std::string_view record, std::string& error) = 0;

    // A record too long to hand over whole (a hit on a line longer than the
    // scan holds) arrives in parts, in order: `first` on the first, `last` on
    // the last; each part is whole UTF-8 characters. A false return ends the
    // record there (no further part of it comes) and is a failed append; the
    // parts taken before stay. This default gathers the parts and appends the
    // whole record, for sinks that keep every record in memory anyway; a sink
    // whose memory must stay bounded takes the parts as they come.
    virtual bool AppendPart(std::string_view part, bool first, bool last, std::string& error)
    {
        if (first) m_parts.clear();
        m_parts.append(part);
        if (!last) return true;
        std::string record;
        record.swap(m_parts);
        return Append(record, error);
    }

    // A failed append, shown to the user; returns when the user dismissed it.
    virtual void ReportFailure(const std::string& description) { (void)description; }

    // The file about to be scanned (display text, UTF-8). Sinks throttle this.
    virtual void ScanningFile(std::string_view path) { (void)path; }

    // The file last announced is still being scanned (now and then during a
    // long file): a moment to show it if it was not shown yet.
    virtual void StillScanning() { }

    // The same file's path as its bytes (a name need not be valid UTF-8),
    // just before ScanningFile: for a sink that must find the file again
    // from its banner, which follows among the file's records if it has hits.
    virtual void ScanningPath(std::string_view path) { (void)path; }

    // All records of the current file have been handed over: a flush point.
    virtual void FileDone() { }

private:
    std::string m_parts;  // the default AppendPart's record so far
};

}  // namespace textrove::search
