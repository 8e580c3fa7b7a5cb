#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "codec/charset_conv.h"
#include "codec/pdu.h"
#include "codec/pdu_address.h"
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
SMS_CONCAT_PDUS_t BuildConcatPdus(const SMS_SUBMIT_REQUEST_t& request)
{
    SMS_CONCAT_PDUS_t built;
    built.strError = AddressError(request);
    if (!built.strError.empty()) {
        return built;
    }
    const std::vector<std::string> pieces = SplitUcs2(AnsiToUcs2(request.strText));
    if (pieces.empty() || pieces.size() > kMaxParts) {
        built.strError = "Text cannot be sent as concatenated SMS";
        return built;
    }
    const std::string ref = HexOctet(static_cast<unsigned>(NextConcatRef()));
    const std::string header = BuildConcatHeader(request);
    const std::string total = HexOctet(static_cast<unsigned>(pieces.size()));
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        built.vecPdus.push_back(header + HexOctet(static_cast<unsigned>(pieces[i].size() + 6)) +
                                "050003" + ref + total + HexOctet(static_cast<unsigned>(i + 1)) +
                                BytesToHex(pieces[i]));
    }
    return built;
}

namespace {

// What makes parts one message.
struct PartKey {
    std::uint8_t type;
    std::string number;
    std::uint16_t ref;
    std::uint16_t total;

    bool operator<(const PartKey& other) const
    {
        return std::tie(type, number, ref, total) <
               std::tie(other.type, other.number, other.ref, other.total);
    }
};

std::string JoinedText(const std::vector<const SMS_PDU_t*>& pdus,
                       const std::vector<std::size_t>& parts)
{
    std::string text;
    std::string units;
    for (const std::size_t position : parts) {
        const SMS_PDU_t& part = *pdus[position];
        if (part.bUserTextUcs2) {
            units += part.strUserText;
            continue;
        }
        text += Ucs2ToAnsiString(units);
        units.clear();
        text += part.strUserText;
    }
    return text + Ucs2ToAnsiString(units);
}

}  // namespace

std::vector<SMS_JOINED_t> JoinConcatParts(const std::vector<const SMS_PDU_t*>& pdus)
{
    // Each message, by the position of its first PDU; the parts of one key
    // in the order of their part numbers, storage order among equal ones.
    std::map<std::size_t, std::vector<std::size_t>> messages;
    std::map<PartKey, std::vector<std::size_t>> groups;
    for (std::size_t i = 0; i < pdus.size(); ++i) {
        const SMS_PDU_t& pdu = *pdus[i];
        if (!pdu.bConcat) {
            messages[i].push_back(i);
            continue;
        }
        groups[PartKey{pdu.byMessageType, pdu.strNumber, pdu.nConcatRef, pdu.nConcatTotal}]
            .push_back(i);
    }
    for (auto& group : groups) {
        std::vector<std::size_t>& members = group.second;
        std::stable_sort(members.begin(), members.end(), [&](std::size_t x, std::size_t y) {
            return pdus[x]->nPartNo < pdus[y]->nPartNo;
        });
        // The k-th copy of a part number goes to the k-th message of the key.
        std::vector<std::vector<std::size_t>> copies;
        std::size_t copy = 0;
        for (std::size_t m = 0; m < members.size(); ++m) {
            const bool repeat = m > 0 && pdus[members[m]]->nPartNo == pdus[members[m - 1]]->nPartNo;
            copy = repeat ? copy + 1 : 0;
            if (copy >= copies.size()) {
                copies.emplace_back();
            }
            copies[copy].push_back(members[m]);
        }
        for (const std::vector<std::size_t>& parts : copies) {
            const std::size_t first = *std::min_element(parts.begin(), parts.end());
            messages[first] = parts;
        }
    }
    std::vector<SMS_JOINED_t> joined;
    for (const auto& message : messages) {
        joined.push_back(SMS_JOINED_t{message.second, JoinedText(pdus, message.second)});
    }
    return joined;
}
