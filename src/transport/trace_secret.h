#pragma once
// What the AT trace must never show, such as a SIM's PIN: its bytes, in what
// is written to a port and in what is read back (a modem's echo), become
// "****" before the trace gets them, also when a read ends in the middle of
// them and the next read goes on with the rest.

#include <cstddef>
#include <string>

class CTraceSecret {
public:
    // From now on `secret` is hidden; an empty one hides nothing.
    void Set(std::string secret);

    // The bytes of one write, each whole occurrence of the secret hidden.
    std::string HideInWrite(const std::string& bytes) const;

    // The bytes of one read, after the reads before it: whole occurrences
    // hidden, the rest of a secret that the last read began hidden, and a
    // beginning of the secret that ends this read hidden (even if what
    // follows turns out to be something else: the trace then shows "****"
    // for a few bytes that were no secret, never a secret).
    std::string HideInRead(const std::string& bytes);

private:
    std::string m_secret;
    std::size_t m_carried = 0;  // bytes of the secret that ended the last read
};
