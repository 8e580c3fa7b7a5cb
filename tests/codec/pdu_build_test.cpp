#include "codec/pdu.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <thread>
#include <vector>

#include "codec/charset_conv.h"
#include "iconv/text_literal.h"

namespace {

SMS_SUBMIT_REQUEST_t Request(const std::string& sca, const std::string& number, bool national,
                             const std::string& text = "")
{
    SMS_SUBMIT_REQUEST_t request;
    request.strServiceCentre = sca;
    request.strNumber = number;
    request.bNational = national;
    request.strText = text;
    return request;
}

std::string Repeat(const std::string& piece, int count)
{
    std::string out;
    for (int i = 0; i < count; ++i) {
        out += piece;
    }
    return out;
}

// Octets after the service-centre field, as the send command counts them.
int TpduOctets(const std::string& pdu)
{
    const std::string scaLength = HexToBytes(pdu.substr(0, 2));
    return static_cast<int>(pdu.size() / 2) - (static_cast<unsigned char>(scaLength[0]) + 1);
}

TEST(BuildSubmitPdu, MatchesTheWorkedExample)
{
    const SMS_SUBMIT_PDU_t built =
        BuildSubmitPdu(Request("+8613800100500", "13800138000", true, "AB"));
    EXPECT_EQ(built.strPdu, std::string("0891683108100005F0") + "1100" + "0B" + "81" +
                                "3108108300F0" + "0008" + "AA04" + "00410042" + "\x1A");
    EXPECT_EQ(built.strCommand, "AT+CMGS=18\r");
    EXPECT_EQ(built.strError, "");
}

TEST(BuildSubmitPdu, AddressFormsAndServiceCentre)
{
    struct Case {
        const char* name;
        std::string sca;
        std::string number;
        bool national;
        std::string expectedPrefix;
    };
    const std::vector<Case> cases = {
        {"international destination", "+8613800100500", "8613800138000", false,
         "0891683108100005F0"
         "1100"
         "0D91683108108300F0"},
        {"leading + of the destination not counted", "+8613800100500", "+8613800138000", false,
         "0891683108100005F0"
         "1100"
         "0D91683108108300F0"},
        {"service centre without +", "8613800100500", "10086", true,
         "0891683108100005F0"
         "1100"
         "0581"
         "0180F6"},
        {"empty service centre", "", "10086", true,
         "0191"
         "1100"
         "0581"
         "0180F6"},
        {"15-character service centre", "123456789012345", "10086", true,
         "0991"
         "21436587092143F5"
         "1100"},
        // Characters that have no place in an address would break the hex text.
        {"non-digits are left out", "86-1380010\r0500",
         "138\x1A"
         "00138000",
         true,
         "0891683108100005F0"
         "1100"
         "0B81"
         "3108108300F0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const SMS_SUBMIT_PDU_t built = BuildSubmitPdu(Request(c.sca, c.number, c.national, "A"));
        const std::string& pdu = built.strPdu;
        ASSERT_EQ(built.strError, "");
        EXPECT_EQ(pdu.substr(0, c.expectedPrefix.size()), c.expectedPrefix);
        EXPECT_EQ(pdu.substr(pdu.size() - 13), "0008AA020041\x1A");
        EXPECT_EQ(built.strCommand,
                  "AT+CMGS=" + std::to_string(TpduOctets(pdu.substr(0, pdu.size() - 1))) + "\r");
    }
}

// A centre left to the modem: the field is "00" in a single PDU and in every
// part, and the announced length counts from the first octet after it.
TEST(BuildSubmitPdu, ACentreLeftToTheModemIsAnEmptyField)
{
    SMS_SUBMIT_REQUEST_t request = Request("002B0038", "13800138000", true, "AB");
    request.bCentreFromModem = true;
    const SMS_SUBMIT_PDU_t built = BuildSubmitPdu(request);
    EXPECT_EQ(built.strError, "");
    EXPECT_EQ(built.strPdu, std::string("00") + "1100" + "0B" + "81" + "3108108300F0" + "0008" +
                                "AA04" + "00410042" + "\x1A");
    EXPECT_EQ(built.strCommand, "AT+CMGS=18\r");
    request.strText = std::string(100, 'x');
    const SMS_CONCAT_PDUS_t parts = BuildConcatPdus(request);
    ASSERT_EQ(parts.strError, "");
    ASSERT_EQ(parts.vecPdus.size(), 2u);
    for (const std::string& part : parts.vecPdus) {
        EXPECT_EQ(part.substr(0, 6), "005100");
    }
}

// A field beyond the protocol's limit is refused with the reason, never cut:
// a cut number would reach some other service centre or recipient.
TEST(BuildSubmitPdu, FieldsBeyondTheirLimitsAreRefusedNotCut)
{
    const std::string sca(16, '1');
    const std::string number(48, '2');
    const std::string text(161, 'x');
    const struct {
        const char* name;
        SMS_SUBMIT_REQUEST_t request;
        std::string error;
    } cases[] = {
        {"16-digit service centre", Request(sca, "10086", true, "x"),
         "Service centre number too long: " + sca},
        {"16-digit service centre after its +", Request("+" + sca, "10086", true, "x"),
         "Service centre number too long: +" + sca},
        {"48-digit destination", Request("", number, true, "x"),
         "Destination number too long: " + number},
        {"21-digit destination", Request("", "+" + std::string(21, '2'), false, "x"),
         "Destination number too long: +" + std::string(21, '2')},
        {"161 characters", Request("", "10086", true, text), "Text too long for one SMS"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const SMS_SUBMIT_PDU_t built = BuildSubmitPdu(c.request);
        EXPECT_EQ(built.strError, c.error);
        EXPECT_EQ(built.strPdu, "");
        EXPECT_EQ(built.strCommand, "");
    }

    // At the limits: a 15-digit service centre, a 20-digit destination and
    // 70 characters.
    const SMS_SUBMIT_PDU_t built = BuildSubmitPdu(
        Request(std::string(15, '1'), std::string(20, '2'), false, std::string(70, 'x')));
    ASSERT_EQ(built.strError, "");
    EXPECT_EQ(built.strPdu.substr(0, 20), "0991" + std::string(14, '1') + "F1");
    EXPECT_EQ(built.strPdu.substr(20, 28),
              "1100"
              "1491" +
                  std::string(20, '2'));
    EXPECT_EQ(built.strPdu.substr(48, 8), "0008AA8C");
}

TEST(BuildSubmitPdu, SeventyCharactersFitSeventyOneDoNot)
{
    SMS_SUBMIT_PDU_t built =
        BuildSubmitPdu(Request("+8613800100500", "13800138000", true, Repeat(GB("中"), 70)));
    EXPECT_NE(built.strPdu.find("AA8C" + Repeat("4E2D", 70) + "\x1A"), std::string::npos);
    EXPECT_EQ(built.strCommand, "AT+CMGS=154\r");

    built = BuildSubmitPdu(Request("+8613800100500", "13800138000", true, Repeat("A", 71)));
    EXPECT_EQ(built.strPdu, "");
    EXPECT_EQ(built.strCommand, "");
    EXPECT_EQ(built.strError, "Text too long for one SMS");
}

// TP-SRR is bit 5 of the first octet (3GPP TS 23.040 9.2.3.5); nothing
// else of the PDU changes when a report is asked for.
TEST(BuildSubmitPdu, AStatusReportIsAskedForByTpSrrAlone)
{
    SMS_SUBMIT_REQUEST_t request = Request("+8613800100500", "13800138000", true, "AB");
    const std::string plain = BuildSubmitPdu(request).strPdu;
    request.bStatusReport = true;
    const SMS_SUBMIT_PDU_t asking = BuildSubmitPdu(request);
    EXPECT_EQ(asking.strPdu.substr(18, 2), "31");
    EXPECT_EQ(plain.substr(18, 2), "11");
    EXPECT_EQ(asking.strPdu.substr(20), plain.substr(20));
    EXPECT_EQ(asking.strCommand, "AT+CMGS=18\r");

    SMS_SUBMIT_REQUEST_t longRequest = request;
    longRequest.strText = Repeat("a", 150);
    const std::vector<std::string> parts = BuildConcatPdus(longRequest).vecPdus;
    ASSERT_EQ(parts.size(), 3u);
    for (const std::string& part : parts) {
        EXPECT_EQ(part.substr(18, 2), "71") << "TP-UDHI and TP-SRR in every part";
    }
}

TEST(BuildConcatHeader, DiffersFromTheSinglePduInThreePlaces)
{
    SMS_SUBMIT_REQUEST_t request = Request("8613800100500", "13800138000", true);
    EXPECT_EQ(BuildConcatHeader(request),
              "0891683108100005F0"
              "5100"
              "0BA13108108300F0"
              "0008"
              "A7");
    request.bNational = false;
    EXPECT_EQ(BuildConcatHeader(request),
              "0891683108100005F0"
              "5100"
              "0B913108108300F0"
              "0008"
              "A7");
    request.strNumber = std::string(21, '1');
    EXPECT_EQ(BuildConcatHeader(request), "") << "a destination beyond 20 digits";
}

class ConcatPdusTest : public ::testing::Test {
protected:
    std::vector<std::string> Build(const std::string& text)
    {
        m_request = Request("8613800100500", "13800138000", true, text);
        const SMS_CONCAT_PDUS_t built = BuildConcatPdus(m_request);
        m_error = built.strError;
        return built.vecPdus;
    }

    std::string Header() const { return BuildConcatHeader(m_request); }

    SMS_SUBMIT_REQUEST_t m_request;
    std::string m_error;
};

TEST_F(ConcatPdusTest, HundredChineseCharactersGiveTwoParts)
{
    const std::vector<std::string> parts = Build(Repeat(GB("中"), 100));
    ASSERT_EQ(parts.size(), 2u);
    const std::string header = Header();
    for (const std::string& part : parts) {
        ASSERT_EQ(part.compare(0, header.size(), header), 0);
    }
    const std::string first = parts[0].substr(header.size());
    const std::string second = parts[1].substr(header.size());
    EXPECT_EQ(first.substr(0, 8), "8C050003");
    EXPECT_EQ(first.substr(10, 4), "0201");
    EXPECT_EQ(first.substr(14), Repeat("4E2D", 67));
    EXPECT_EQ(second.substr(0, 8), "48050003");
    EXPECT_EQ(second.substr(10, 4), "0202");
    EXPECT_EQ(second.substr(14), Repeat("4E2D", 33));
    EXPECT_EQ(first.substr(8, 2), second.substr(8, 2)) << "one reference per message";
    EXPECT_EQ(TpduOctets(parts[0]), 154);
}

TEST_F(ConcatPdusTest, PartCountsAtTheBoundaries)
{
    struct Case {
        const char* name;
        std::string text;
        std::vector<std::string> lengths;  // TP-UDL of each part
    };
    const std::vector<Case> cases = {
        {"71 Chinese characters", Repeat(GB("中"), 71), {"8C", "0E"}},
        {"exactly 67", Repeat(GB("中"), 67), {"8C"}},
        {"exactly 134", Repeat("a", 134), {"8C", "8C"}},
        {"135", Repeat("a", 135), {"8C", "8C", "08"}},
        {"300 ASCII characters", Repeat("a", 300), {"8C", "8C", "8C", "8C", "46"}},
        // An emoji would straddle parts 1 and 2: part 1 carries 66 units.
        {"surrogate pair at the cut", Repeat("a", 66) + "\x94\x39\xFC\x36" + "b", {"8A", "0C"}},
        {"surrogate pair just before the cut",
         Repeat("a", 65) + "\x94\x39\xFC\x36" + "b",
         {"8C", "08"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<std::string> parts = Build(c.text);
        ASSERT_EQ(parts.size(), c.lengths.size());
        const std::string header = Header();
        std::string joined;
        for (std::size_t i = 0; i < parts.size(); ++i) {
            const std::string body = parts[i].substr(header.size());
            EXPECT_EQ(body.substr(0, 2), c.lengths[i]);
            const unsigned udl = static_cast<unsigned char>(HexToBytes(body.substr(0, 2))[0]);
            EXPECT_EQ(body.size(), 2 + 2 * udl) << "TP-UDL matches the data";
            EXPECT_EQ(body.substr(2, 6), "050003");
            EXPECT_EQ(body.substr(10, 2), BytesToHex(std::string(1, char(parts.size()))));
            EXPECT_EQ(body.substr(12, 2), BytesToHex(std::string(1, char(i + 1))));
            joined += body.substr(14);
        }
        EXPECT_EQ(Ucs2ToAnsiString(HexToBytes(joined)), c.text);
    }
}

TEST_F(ConcatPdusTest, NoPartsForEmptyOrOverLongTextOrNumbers)
{
    EXPECT_TRUE(Build("").empty());
    EXPECT_EQ(m_error, "Text cannot be sent as concatenated SMS");
    EXPECT_EQ(Build(Repeat("a", 255 * 67)).size(), 255u);
    EXPECT_EQ(m_error, "");
    EXPECT_TRUE(Build(Repeat("a", 255 * 67 + 1)).empty()) << "256 parts cannot be numbered";
    EXPECT_EQ(m_error, "Text cannot be sent as concatenated SMS");

    SMS_SUBMIT_REQUEST_t request = Request("+8613800100500123", "10086", true, Repeat("a", 100));
    EXPECT_EQ(BuildConcatPdus(request).strError,
              "Service centre number too long: +8613800100500123");
    request = Request("", std::string(21, '1'), true, Repeat("a", 100));
    const SMS_CONCAT_PDUS_t built = BuildConcatPdus(request);
    EXPECT_TRUE(built.vecPdus.empty());
    EXPECT_EQ(built.strError, "Destination number too long: " + std::string(21, '1'));
}

TEST(NextConcatRef, RunsFromOneTo255AndWraps)
{
    int previous = NextConcatRef();
    ASSERT_GE(previous, 1);
    ASSERT_LE(previous, 255);
    bool wrapped = false;
    for (int i = 0; i < 300; ++i) {
        const int next = NextConcatRef();
        if (previous == 255) {
            EXPECT_EQ(next, 1);
            wrapped = true;
        } else {
            EXPECT_EQ(next, previous + 1);
        }
        previous = next;
    }
    EXPECT_TRUE(wrapped);
}

TEST(NextConcatRef, ThreadsShareOneSequence)
{
    // 4 x 255 calls walk the cycle four times: every reference exactly four
    // times, whichever thread drew it.
    std::vector<std::vector<int>> drawn(4);
    std::vector<std::thread> threads;
    for (auto& mine : drawn) {
        threads.emplace_back([&mine] {
            for (int i = 0; i < 255; ++i) {
                mine.push_back(NextConcatRef());
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    std::map<int, int> counts;
    for (const auto& mine : drawn) {
        for (const int ref : mine) {
            ++counts[ref];
        }
    }
    EXPECT_EQ(counts.size(), 255u);
    EXPECT_EQ(counts.begin()->first, 1);
    for (const auto& entry : counts) {
        EXPECT_EQ(entry.second, 4) << "reference " << entry.first;
    }
}

TEST(NextConcatRef, ConsecutiveLongMessagesCarryConsecutiveReferences)
{
    const SMS_SUBMIT_REQUEST_t request =
        Request("8613800100500", "13800138000", true, std::string(100, 'a'));
    const std::size_t refAt = BuildConcatHeader(request).size() + 8;
    const int first = std::stoi(BuildConcatPdus(request).vecPdus[0].substr(refAt, 2), nullptr, 16);
    const int second = std::stoi(BuildConcatPdus(request).vecPdus[0].substr(refAt, 2), nullptr, 16);
    EXPECT_EQ(second, first == 255 ? 1 : first + 1);
}

}  // namespace
