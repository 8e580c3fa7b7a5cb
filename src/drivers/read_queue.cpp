#include "drivers/read_queue.h"

#include "codec/reply_text.h"

void CReadQueue::Push(const std::string& index, int status)
{
    m_vecPending.push_back(PENDING_READ_t{index, status});
}

std::string CReadQueue::TakeNext(const std::string& command)
{
    if (m_vecPending.empty()) {
        m_nReadingIndex = -1;
        return std::string();
    }
    const std::string index = m_vecPending.front().strIndex;
    m_vecPending.erase(m_vecPending.begin());
    m_nReadingIndex = LeadingInt(index);
    return command + index + "\r\n";
}
