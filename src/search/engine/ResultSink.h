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

    // A failed append, shown to the user; returns when the user dismissed it.
    virtual void ReportFailure(const std::string& description) { (void)description; }

    // The file about to be scanned (display text, UTF-8). Sinks throttle this.
    virtual void ScanningFile(std::string_view path) { (void)path; }

    // The file last announced is still being scanned (now and then during a
    // long file): a moment to show it if it was not shown yet.
    virtual void StillScanning() {}

    // All records of the current file have been handed over: a flush point.
    virtual void FileDone() {}
};

}  // namespace textrove::search
