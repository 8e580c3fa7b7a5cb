#pragma once
// The watch's stream: JSON Lines on standard output, one record a line,
// each written whole before the call returns (and synced when standard
// output is a regular file: platform/stream_output.h), in the charset of
// the documents (app/json_text.h). The workers of all ports write through
// one stream; a line is never mixed with another.

#include <atomic>
#include <mutex>
#include <string>

#include <json/value.h>

#include "app/json_text.h"

class CWatchStream {
public:
    explicit CWatchStream(DOCUMENT_CHARSET_t charset) : m_charset(charset) {}

    // Writes the record as one line. True when it was written whole (and
    // synced); false after any failure, this one or an earlier one: the
    // first failure closes the stream for good, and nothing is written
    // after it, so a caller that deletes only after a true result deletes
    // nothing once the output fails.
    bool Write(const Json::Value& record);
    // Closes the stream for good without writing, with the reason (standard
    // output seen closed).
    void Close(const std::string& reason);

    bool Failed() const { return m_bFailed.load(std::memory_order_acquire); }
    // Why it failed: the system's text ("Broken pipe"); empty while it works.
    std::string FailureText() const;

    // The line of a record as the stream writes it (internal text, ending
    // with one line end): jsoncpp's one-line layout in `charset`.
    static std::string LineText(const Json::Value& record, DOCUMENT_CHARSET_t charset);

private:
    DOCUMENT_CHARSET_t m_charset;
    mutable std::mutex m_mutex;
    std::atomic<bool> m_bFailed{false};
    std::string m_strFailure;
};
