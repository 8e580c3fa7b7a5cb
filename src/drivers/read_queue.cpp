#include "drivers/read_queue.h"

#include "codec/reply_text.h"

std::string CReadQueue::TakeNext(const std::string& command)
{
    if (m_vecPending.empty()) {
        m_nReadingIndex = -1;
        return std::string();
    }
    const std::string index = m_vecPending.front();
    m_vecPending.erase(m_vecPending.begin());
    m_nReadingIndex = LeadingInt(index);
    return command + index + "\r\n";
}
