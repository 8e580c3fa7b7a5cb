#include "codec/pdu_push.h"

#include "codec/charset_conv.h"
#include "codec/pdu_fields.h"
#include "iconv/gb18030_text.h"

namespace {

// A walk over the user data by the fixed offsets of the push layout. Every
// step stays inside the text: a skip that would reach the end is not taken,
// an octet past the end reads as 0.
class PushWalk {
public:
    explicit PushWalk(const std::string& ud) : m_ud(ud) {}

    void Skip(std::size_t chars)
    {
        if (Remaining() > chars) {
            m_pos += chars;
        }
    }

    unsigned Read() const { return OctetValue(m_ud.substr(m_pos, 2)); }

    // Octets up to and including a 0 octet, while more than two characters
    // remain. False (nothing collected) when the first octet is 0.
    bool Collect(std::string& out)
    {
        if (Read() == 0) {
            return false;
        }
        while (Remaining() > 2) {
            const unsigned octet = Read();
            m_pos += 2;
            if (octet == 0) {
                break;
            }
            out.push_back(static_cast<char>(octet));
        }
        return true;
    }

    std::string Rest() const { return m_ud.substr(m_pos); }

private:
    std::size_t Remaining() const { return m_ud.size() - m_pos; }

    const std::string& m_ud;
    std::size_t m_pos = 0;
};

void CollectUrl(PushWalk& walk, SMS_PDU_t& pdu)
{
    std::string url;
    if (walk.Collect(url)) {
        pdu.strUrl = url;
    }
}

}  // namespace

// The operator push layout of data coding 0xF5 (8-bit data, message class 1,
// 3GPP TS 23.038 4): fixed offsets to a NUL-terminated URL, then a UTF-8 text.
void DecodePushUserData(const std::string& ud, SMS_PDU_t& pdu)
{
    PushWalk walk(ud);
    walk.Skip(16);
    walk.Skip(18);
    unsigned t = walk.Read();
    if (t != 5) {
        walk.Skip(36);
        walk.Skip(4);
        walk.Skip(8);
        walk.Skip(8);
        CollectUrl(walk, pdu);
        return;
    }
    walk.Skip(6);
    walk.Skip(10);
    CollectUrl(walk, pdu);
    t = walk.Read();
    walk.Skip(2);
    if (t == 1) {
        walk.Skip(2);
    } else {
        walk.Skip(2);
        t = walk.Read();
        walk.Skip(2);
        if (t == 7) {
            walk.Skip(14);
            walk.Skip(4);
            t = walk.Read();
            walk.Skip(2);
            walk.Skip(t == 7 ? 14 : 8);
        } else {
            walk.Skip(8);
        }
        walk.Skip(2);
        walk.Skip(2);
    }
    const std::string bytes = HexToBytes(walk.Rest());
    pdu.strText = Utf8ToAnsi(bytes.substr(0, bytes.find('\0')));
}
