#pragma once
// Field-level helpers shared by the PDU builders and decoders (codec only):
// the read position over PDU text and octets as hexadecimal text.

#include <string>

#include "codec/pdu.h"

// A read position over PDU hexadecimal text. Reads past the end give what is
// there (a short or empty text, the octet value 0) and never move beyond it,
// so a PDU whose lengths lie decodes to short or empty fields; Complete()
// then tells that some read found less than it asked for.
class PduReader {
public:
    // The PDU text ends at its first NUL, as a C string would; lower-case
    // digits are taken as upper-case ones.
    explicit PduReader(const std::string& pdu);

    // The octet at the position (HexToBytes arithmetic), 0 when fewer than two
    // characters remain; the position moves past it.
    unsigned Octet();

    // Up to `chars` characters from the position; the position moves past them.
    std::string Take(std::size_t chars);

    // Everything from the position to the end.
    std::string Rest() const { return m_text.substr(m_pos); }

    // Every read so far got all it asked for.
    bool Complete() const { return m_complete; }

    // The text is hexadecimal digits in pairs.
    bool WellFormed() const { return m_wellFormed; }

    // Marks a field longer than the protocol allows.
    void MarkBeyondLimits() { m_withinLimits = false; }

    // Complete, well formed and within the protocol's limits.
    bool Readable() const { return m_complete && m_wellFormed && m_withinLimits; }

private:
    std::string m_text;
    std::size_t m_pos = 0;
    bool m_complete = true;
    bool m_wellFormed = true;
    bool m_withinLimits = true;
};

// "%02X" of the low octet of `value`.
std::string HexOctet(unsigned value);

// The octet that the first two characters of `hex` spell (HexToBytes
// arithmetic); 0 when fewer than two are there.
unsigned OctetValue(const std::string& hex);
