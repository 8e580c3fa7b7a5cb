#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <vector>

#include "codec/charset_conv.h"
#include "codec/pdu.h"
#include "codec/pdu_fields.h"

namespace {

// 67 UCS-2 units: 140 octets of TP-UD less the 6-octet header.
const std::size_t kPartOctets = 134;
const std::size_t kMaxParts = 255;

bool IsHighSurrogate(const std::string& ucs2, std::size_t pos)
{
    const unsigned hi = static_cast<unsigned char>(ucs2[pos]);
    return hi >= 0xD8 && hi <= 0xDB;
}

// Pieces of at most 67 units. A piece never ends between the two units of a
// surrogate pair: receivers decode each part on its own.
std::vector<std::string> SplitUcs2(const std::string& ucs2)
{
    std::vector<std::string> pieces;
    for (std::size_t pos = 0; pos < ucs2.size();) {
        std::size_t n = std::min(kPartOctets, ucs2.size() - pos);
        if (pos + n < ucs2.size() && n >= 2 && IsHighSurrogate(ucs2, pos + n - 2)) {
            n -= 2;
        }
        pieces.push_back(ucs2.substr(pos, n));
        pos += n;
    }
    return pieces;
}

int FirstStoredRef()
{
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    return static_cast<int>(ms.count() % 255);
}

}  // namespace

int NextConcatRef()
{
    static std::atomic<int> stored{FirstStoredRef()};
    int current = stored.load();
    int next = 0;
    do {
        next = current > 254 ? 1 : current + 1;
    } while (!stored.compare_exchange_weak(current, next));
    return next;
}

// Each part: the common header, TP-UDL (octets, header included), then the
// user-data header of 3GPP TS 23.040 9.2.3.24.1: UDHL 05, IEI 00
// (concatenated message, 8-bit reference), IEDL 03, reference, parts, part.
std::vector<std::string> BuildConcatPdus(const SMS_PDU_PARAM_t& param)
{
    std::vector<std::string> pdus;
    if (param.pLongText == nullptr) {
        return pdus;
    }
    const std::vector<std::string> pieces = SplitUcs2(AnsiToUcs2(param.pLongText));
    if (pieces.empty() || pieces.size() > kMaxParts) {
        return pdus;
    }
    const std::string ref = HexOctet(static_cast<unsigned>(NextConcatRef()));
    const std::string header = BuildConcatHeader(param);
    const std::string total = HexOctet(static_cast<unsigned>(pieces.size()));
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        pdus.push_back(header + HexOctet(static_cast<unsigned>(pieces[i].size() + 6)) + "050003" +
                       ref + total + HexOctet(static_cast<unsigned>(i + 1)) +
                       BytesToHex(pieces[i]));
    }
    return pdus;
}
