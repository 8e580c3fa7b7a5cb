#include "sms_pdu.h"

#include <cctype>
#include <vector>

namespace modemsim {
namespace {

const int kMaxSeptets = 160;
const int kMaxOctets = 140;

bool IsDialDigit(char c)
{
    return std::isdigit(static_cast<unsigned char>(c)) || c == '*' || c == '#';
}

int DigitNibble(char c)
{
    if (c == '*')
        return 0xA;
    if (c == '#')
        return 0xB;
    return c - '0';
}

char NibbleDigit(int nibble)
{
    static const char kDigits[] = "0123456789*#abc";
    return nibble < 15 ? kDigits[nibble] : '\0';
}

// TS 23.040 9.1.2.3: semi-octets, low nibble first, odd count padded with F.
void AppendSemiOctets(const std::string& digits, Bytes& out)
{
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        int lo = DigitNibble(digits[i]);
        int hi = i + 1 < digits.size() ? DigitNibble(digits[i + 1]) : 0xF;
        out.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
    }
}

// TS 23.040 9.1.2.5: address length (useful semi-octets), type, value.
bool AppendAddress(const std::string& number, Bytes& out, std::string& error)
{
    bool international = !number.empty() && number[0] == '+';
    std::string digits = international ? number.substr(1) : number;
    bool dialable = !digits.empty();
    for (char c : digits)
        dialable = dialable && IsDialDigit(c);
    if (dialable) {
        if (digits.size() > 20) {
            error = "number longer than 20 digits: " + number;
            return false;
        }
        out.push_back(static_cast<std::uint8_t>(digits.size()));
        out.push_back(international ? 0x91 : 0x81);
        AppendSemiOctets(digits, out);
        return true;
    }
    // Alphanumeric (TON 5): the name in packed GSM 7-bit, at most 11 septets.
    std::vector<std::uint8_t> septets;
    if (number.empty() || !Utf8ToGsmSeptets(number, septets) || septets.size() > 11) {
        error = "number is neither digits nor a short GSM name: " + number;
        return false;
    }
    Bytes packed = PackSeptets(septets, 0);
    out.push_back(static_cast<std::uint8_t>((septets.size() * 7 + 3) / 4));
    out.push_back(0xD0);
    out.insert(out.end(), packed.begin(), packed.end());
    return true;
}

// TS 24.008 10.5.4.9 (the service-centre address of TS 23.040 9.1.2.5 in
// its RP form): length counts the type octet and the value octets.
bool AppendServiceCentre(const std::string& sca, Bytes& out, std::string& error)
{
    if (sca.empty()) {
        out.push_back(0);
        return true;
    }
    bool international = sca[0] == '+';
    std::string digits = international ? sca.substr(1) : sca;
    bool ok = !digits.empty() && digits.size() <= 20;
    for (char c : digits)
        ok = ok && IsDialDigit(c);
    if (!ok) {
        error = "bad service-centre number: " + sca;
        return false;
    }
    out.push_back(static_cast<std::uint8_t>(1 + (digits.size() + 1) / 2));
    out.push_back(international ? 0x91 : 0x81);
    AppendSemiOctets(digits, out);
    return true;
}

bool CheckTime(const std::string& time, int zoneQuarters, std::string& error)
{
    const char* kShape = "00-00-00 00:00:00";
    bool ok = time.size() == 17;
    for (std::size_t i = 0; ok && i < time.size(); ++i) {
        ok = kShape[i] == '0' ? std::isdigit(static_cast<unsigned char>(time[i])) != 0
                              : time[i] == kShape[i];
    }
    if (!ok || zoneQuarters < -79 || zoneQuarters > 79) {
        error = "time must read YY-MM-DD hh:mm:ss: " + time;
        return false;
    }
    return true;
}

// TS 23.040 9.2.3.11: YY MM DD hh mm ss as swapped BCD, then the zone in
// quarter hours with its sign in bit 3.
bool AppendTimeStamp(const std::string& time, int zoneQuarters, Bytes& out, std::string& error)
{
    if (!CheckTime(time, zoneQuarters, error))
        return false;
    for (std::size_t i = 0; i < time.size(); i += 3) {
        out.push_back(static_cast<std::uint8_t>((time[i + 1] - '0') << 4 | (time[i] - '0')));
    }
    int quarters = zoneQuarters < 0 ? -zoneQuarters : zoneQuarters;
    auto zone = static_cast<std::uint8_t>((quarters % 10) << 4 | quarters / 10);
    if (zoneQuarters < 0)
        zone |= 0x08;
    out.push_back(zone);
    return true;
}

// User-data length and user data (TS 23.040 9.2.3.16 / 9.2.3.24), with the
// concatenation header when asked for.
bool AppendUserData(const MessageSpec& spec, Bytes& out, std::string& error)
{
    Bytes header;
    if (spec.concat.present) {
        header = {0x05,
                  0x00,
                  0x03,
                  static_cast<std::uint8_t>(spec.concat.ref),
                  static_cast<std::uint8_t>(spec.concat.total),
                  static_cast<std::uint8_t>(spec.concat.part)};
    }
    if (spec.dcs == 0) {
        std::vector<std::uint8_t> septets;
        if (!Utf8ToGsmSeptets(spec.textUtf8, septets)) {
            error = "text has characters without a GSM 7-bit form";
            return false;
        }
        int headerSeptets = header.empty() ? 0 : static_cast<int>((header.size() * 8 + 6) / 7);
        int fill = header.empty() ? 0 : headerSeptets * 7 - static_cast<int>(header.size()) * 8;
        int udl = headerSeptets + static_cast<int>(septets.size());
        if (udl > kMaxSeptets) {
            error = "7-bit text longer than one message";
            return false;
        }
        Bytes packed = PackSeptets(septets, fill);
        out.push_back(static_cast<std::uint8_t>(udl));
        out.insert(out.end(), header.begin(), header.end());
        out.insert(out.end(), packed.begin(), packed.end());
        return true;
    }
    Bytes text;
    if (spec.dcs == 8) {
        if (!Utf8ToUcs2(spec.textUtf8, text)) {
            error = "text is not valid UTF-8";
            return false;
        }
    } else if (spec.dcs == 4) {
        text.assign(spec.textUtf8.begin(), spec.textUtf8.end());
    } else {
        error = "dcs must be 0, 4 or 8";
        return false;
    }
    if (header.size() + text.size() > static_cast<std::size_t>(kMaxOctets)) {
        error = "text longer than one message";
        return false;
    }
    out.push_back(static_cast<std::uint8_t>(header.size() + text.size()));
    out.insert(out.end(), header.begin(), header.end());
    out.insert(out.end(), text.begin(), text.end());
    return true;
}

std::string Build(const MessageSpec& spec, bool deliver, std::string& error)
{
    Bytes pdu;
    if (!AppendServiceCentre(spec.serviceCentre, pdu, error))
        return "";
    std::uint8_t udhi = spec.concat.present ? 0x40 : 0x00;
    if (deliver) {
        pdu.push_back(0x04 | udhi);  // SMS-DELIVER, no more messages to send
        if (!AppendAddress(spec.number, pdu, error))
            return "";
        pdu.push_back(0x00);
        pdu.push_back(static_cast<std::uint8_t>(spec.dcs));
        if (!AppendTimeStamp(spec.time, spec.timeZoneQuarters, pdu, error))
            return "";
    } else {
        // The PDU has no time stamp, but the CDMA read serves the stored
        // time field by field.
        if (!CheckTime(spec.time, spec.timeZoneQuarters, error))
            return "";
        pdu.push_back(0x11 | udhi);  // SMS-SUBMIT, relative validity period
        pdu.push_back(0x00);
        if (!AppendAddress(spec.number, pdu, error))
            return "";
        pdu.push_back(0x00);
        pdu.push_back(static_cast<std::uint8_t>(spec.dcs));
        pdu.push_back(0x00);  // validity: 5 minutes
    }
    if (!AppendUserData(spec, pdu, error))
        return "";
    return ToHex(pdu);
}

int Alphabet(int dcs)
{
    // TS 23.038 4: general data coding groups, then the special groups.
    if ((dcs & 0x80) == 0) {
        int bits = (dcs >> 2) & 3;
        return bits == 0 ? 0 : bits == 2 ? 8 : 4;
    }
    if ((dcs & 0xF0) == 0xF0)
        return (dcs & 0x04) ? 4 : 0;
    if ((dcs & 0xF0) == 0xE0)
        return 8;
    if ((dcs & 0xF0) == 0xC0 || (dcs & 0xF0) == 0xD0)
        return 0;
    return 4;
}

// TS 23.040 9.2.3.24: information elements of the user-data header.
bool ReadHeader(const Bytes& ud, std::size_t headerLength, Concat& concat, std::string& error)
{
    std::size_t i = 1;
    std::size_t end = 1 + headerLength;
    while (i < end) {
        if (i + 2 > end) {
            error = "user-data header element cut short";
            return false;
        }
        std::uint8_t iei = ud[i];
        std::size_t length = ud[i + 1];
        if (i + 2 + length > end) {
            error = "user-data header element longer than the header";
            return false;
        }
        const std::uint8_t* data = &ud[i + 2];
        if (iei == 0x00 && length == 3) {
            concat = {true, data[0], data[1], data[2]};
        } else if (iei == 0x08 && length == 4) {
            concat = {true, data[0] << 8 | data[1], data[2], data[3]};
        }
        i += 2 + length;
    }
    return true;
}

}  // namespace

std::string BuildDeliverPdu(const MessageSpec& spec, std::string& error)
{
    return Build(spec, true, error);
}

std::string BuildSubmitPdu(const MessageSpec& spec, std::string& error)
{
    return Build(spec, false, error);
}

// TS 23.040 9.2.2.3: first octet (TP-MTI 10, TP-MMS), TP-MR, TP-RA,
// TP-SCTS, TP-DT, TP-ST.
std::string BuildStatusReportPdu(const ReportSpec& spec, std::string& error)
{
    Bytes pdu;
    if (!AppendServiceCentre(spec.serviceCentre, pdu, error))
        return "";
    pdu.push_back(0x06);
    pdu.push_back(static_cast<std::uint8_t>(spec.messageReference));
    bool dialable = !spec.recipient.empty() && spec.recipient.size() <= 20;
    for (char c : spec.recipient)
        dialable = dialable && IsDialDigit(c);
    if (!dialable) {
        error = "a report needs a recipient of digits: " + spec.recipient;
        return "";
    }
    pdu.push_back(static_cast<std::uint8_t>(spec.recipient.size()));
    pdu.push_back(static_cast<std::uint8_t>(spec.typeOfAddress));
    AppendSemiOctets(spec.recipient, pdu);
    if (!AppendTimeStamp(spec.submitted, 32, pdu, error) ||
        !AppendTimeStamp(spec.discharged, 32, pdu, error)) {
        return "";
    }
    pdu.push_back(static_cast<std::uint8_t>(spec.status));
    return ToHex(pdu);
}

int TpduLength(const std::string& pduHex)
{
    Bytes first;
    int octets = static_cast<int>(pduHex.size() / 2);
    if (pduHex.size() < 2 || !FromHex(pduHex.substr(0, 2), first))
        return octets;
    int rest = octets - 1 - first[0];
    return rest >= 0 ? rest : octets;
}

bool DecodeSubmitBody(const std::string& hex, int announcedLength, Submit& out, std::string& error)
{
    Bytes bytes;
    if (!FromHex(hex, bytes) || bytes.empty()) {
        error = "body is not hexadecimal octets";
        return false;
    }
    std::size_t scaLength = bytes[0];
    if (scaLength > 11 || 1 + scaLength > bytes.size()) {
        error = "bad service-centre length";
        return false;
    }
    std::string serviceCentre;
    if (scaLength >= 1) {
        // Type of address, then the digits as semi-octets (F fills the last).
        serviceCentre = bytes[1] == 0x91 ? "+" : "";
        for (std::size_t i = 2; i < 1 + scaLength; ++i) {
            for (int nibble : {bytes[i] & 0x0F, bytes[i] >> 4}) {
                if (nibble != 0x0F)
                    serviceCentre += NibbleDigit(nibble);
            }
        }
    }
    Bytes tpdu(bytes.begin() + 1 + static_cast<std::ptrdiff_t>(scaLength), bytes.end());
    if (static_cast<int>(tpdu.size()) != announcedLength) {
        error = "announced length " + std::to_string(announcedLength) + " but the PDU has " +
                std::to_string(tpdu.size()) + " octets after the service centre";
        return false;
    }
    std::size_t pos = 0;
    auto need = [&](std::size_t n) {
        if (pos + n <= tpdu.size())
            return true;
        error = "PDU cut short";
        return false;
    };
    if (!need(3))
        return false;
    std::uint8_t firstOctet = tpdu[pos++];
    if ((firstOctet & 0x03) != 0x01) {
        error = "not an SMS-SUBMIT";
        return false;
    }
    int validityFormat = (firstOctet >> 3) & 0x03;
    bool hasHeader = (firstOctet & 0x40) != 0;
    out = Submit();
    out.statusReportRequest = (firstOctet & 0x20) != 0;
    out.serviceCentre = serviceCentre;
    out.messageReference = tpdu[pos++];

    std::size_t digitCount = tpdu[pos++];
    if (digitCount > 20 || !need(1 + (digitCount + 1) / 2)) {
        if (error.empty())
            error = "bad destination length";
        return false;
    }
    out.typeOfAddress = tpdu[pos++];
    Bytes value(tpdu.begin() + static_cast<std::ptrdiff_t>(pos),
                tpdu.begin() + static_cast<std::ptrdiff_t>(pos + (digitCount + 1) / 2));
    pos += value.size();
    if ((out.typeOfAddress & 0x70) == 0x50) {
        std::vector<std::uint8_t> septets;
        UnpackSeptets(value, 0, digitCount * 4 / 7, 0, septets);
        out.number = GsmSeptetsToUtf8(septets);
    } else {
        for (std::size_t i = 0; i < digitCount; ++i) {
            int nibble = (i % 2 == 0) ? value[i / 2] & 0x0F : value[i / 2] >> 4;
            char c = NibbleDigit(nibble);
            if (c == '\0') {
                error = "filler inside the destination number";
                return false;
            }
            out.number += c;
        }
    }

    if (!need(2))
        return false;
    ++pos;  // protocol identifier
    out.dcs = tpdu[pos++];
    out.alphabet = Alphabet(out.dcs);
    std::size_t validityOctets = validityFormat == 0 ? 0 : validityFormat == 2 ? 1 : 7;
    if (!need(validityOctets + 1))
        return false;
    pos += validityOctets;
    std::size_t udl = tpdu[pos++];
    Bytes ud(tpdu.begin() + static_cast<std::ptrdiff_t>(pos), tpdu.end());

    std::size_t headerOctets = 0;  // header length octet included
    if (hasHeader) {
        if (ud.empty() || static_cast<std::size_t>(ud[0]) + 1 > ud.size()) {
            error = "user-data header longer than the user data";
            return false;
        }
        headerOctets = static_cast<std::size_t>(ud[0]) + 1;
        if (!ReadHeader(ud, ud[0], out.concat, error))
            return false;
    }

    if (out.alphabet == 0) {
        if (udl > static_cast<std::size_t>(kMaxSeptets) || ud.size() != (udl * 7 + 7) / 8) {
            error = "user-data length " + std::to_string(udl) + " septets does not match " +
                    std::to_string(ud.size()) + " octets";
            return false;
        }
        std::size_t headerSeptets = (headerOctets * 8 + 6) / 7;
        if (headerSeptets > udl) {
            error = "user-data header longer than the user data";
            return false;
        }
        int fill = static_cast<int>(headerSeptets * 7 - headerOctets * 8);
        std::vector<std::uint8_t> septets;
        UnpackSeptets(ud, headerOctets, udl - headerSeptets, fill, septets);
        out.textUtf8 = GsmSeptetsToUtf8(septets);
        return true;
    }
    if (udl > static_cast<std::size_t>(kMaxOctets) || ud.size() != udl) {
        error = "user-data length " + std::to_string(udl) + " does not match " +
                std::to_string(ud.size()) + " octets";
        return false;
    }
    Bytes text(ud.begin() + static_cast<std::ptrdiff_t>(headerOctets), ud.end());
    if (out.alphabet == 8) {
        out.ucs2 = text;
        out.textUtf8 = Ucs2ToUtf8(text);
    } else {
        out.textUtf8 = Latin1ToUtf8(std::string(text.begin(), text.end()));
    }
    return true;
}

}  // namespace modemsim
