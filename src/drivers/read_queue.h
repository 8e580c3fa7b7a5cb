#pragma once
// The reads one stored message at a time that follow a listing of indexes,
// on the models that list first and read each index after (the CLM920_NC5
// and the CDMA model): what is still to read, front first, and the index
// being read.

#include <string>
#include <vector>

class CReadQueue {
public:
    bool Empty() const { return m_vecPending.empty(); }
    void Clear() { m_vecPending.clear(); }
    // Queued behind what is left of an earlier listing; the index goes into
    // the read command as it is.
    void Push(const std::string& index) { m_vecPending.push_back(index); }

    // `command` + the first index + "\r\n"; that index leaves the queue and
    // is the one being read. Empty, with none being read, when the queue is
    // empty.
    std::string TakeNext(const std::string& command);

    // The index being read (its leading number), -1 for none; Done ends it.
    int Reading() const { return m_nReadingIndex; }
    void Done() { m_nReadingIndex = -1; }

private:
    std::vector<std::string> m_vecPending;
    int m_nReadingIndex = -1;
};
