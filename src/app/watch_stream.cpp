#include "app/watch_stream.h"

#include "platform/charset.h"
#include "platform/stream_output.h"

std::string CWatchStream::LineText(const Json::Value& record, DOCUMENT_CHARSET_t charset)
{
    // The one-line layout ends with a line end and the empty line after it;
    // a stream line has the one.
    std::string text = CompactDocumentText(record, charset);
    while (text.size() >= 2 && text[text.size() - 1] == '\n' && text[text.size() - 2] == '\n') {
        text.pop_back();
    }
    return text;
}

bool CWatchStream::Write(const Json::Value& record)
{
    const std::string bytes = ToConsoleCharset(LineText(record, m_charset));
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_bFailed.load(std::memory_order_relaxed)) {
        return false;
    }
    std::string error;
    if (!WriteStreamRecord(bytes, error)) {
        m_strFailure = error;
        m_bFailed.store(true, std::memory_order_release);
        return false;
    }
    return true;
}

void CWatchStream::Close(const std::string& reason)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_bFailed.load(std::memory_order_relaxed)) {
        m_strFailure = reason;
        m_bFailed.store(true, std::memory_order_release);
    }
}

std::string CWatchStream::FailureText() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_strFailure;
}
