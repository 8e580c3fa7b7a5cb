// PDUs from the network are untrusted: whatever the text, the decoders stay
// inside their input (the sanitizers watch), give fields no bigger than the
// user data can carry, cut nothing, and call readable only a PDU that was
// read whole within the protocol's limits.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "codec/charset_conv.h"
#include "codec/pdu.h"
#include "iconv/text_literal.h"

namespace {

const std::string kUcs2Deliver =
    "0891683108100005F0040B813119325476F9000812305001112100084F60597D4E16754C";
const std::string kConcatDeliver =
    "0891683108100005F0440B813107001011F10008123060102030001A050003A703034E2D6587957F77ED4FE14E2D65"
    "87"
    "957F";
const std::string kSevenBitDeliver =
    "0891683108100005F0040B813119325476F80000123040506070000FC8329BFD0699E5EF36E8264ED301";
const std::string kPushDeliver = "0891683108100005F0440B813119325476F800F51230405060700030" +
                                 std::string(34, '0') + "05" + std::string(14, '0') +
                                 "687474703A2F2F612E636E00"
                                 "0100"
                                 "E68EA8E98081";
const std::string kSubmit = "0891683108100005F011000B813108108300F00008AA044E2D6587";

// A DELIVER without service centre, from originator 123, stamped
// 21-03-04 05:06:07: the fields that the cases below vary, in their order.
std::string Short(const std::string& firstOctet, const std::string& dcs, const std::string& udl,
                  const std::string& ud)
{
    return "00" + firstOctet +
           "038121F3"
           "00" +
           dcs + "12304050607000" + udl + ud;
}

const std::vector<std::string> kSeeds = {kUcs2Deliver, kConcatDeliver, kSevenBitDeliver,
                                         kPushDeliver, kSubmit};

// What any decoded PDU of a text of `inputSize` characters may hold.
void ExpectSound(const SMS_PDU_t& p, std::size_t inputSize)
{
    EXPECT_LE(p.strTime.size(), 14u);
    // No more octets than 255 of user data, or than the text holds (the push
    // format reads to its end), and at most four bytes of internal text for
    // each octet or septet.
    const std::size_t octets = std::max<std::size_t>(255, inputSize / 2);
    EXPECT_LE(p.strText.size(), 4 * octets);
    EXPECT_LE(p.strUserText.size(), 4 * octets);
    EXPECT_LE(p.strUrl.size(), octets);
    EXPECT_EQ(p.strPartHex.size() % 2, 0u);
    EXPECT_EQ(p.strPartHex.find_first_not_of("0123456789ABCDEF"), std::string::npos);
    if (p.bConcat) {
        EXPECT_GE(p.nPartNo, 1);
        EXPECT_LE(p.nPartNo, p.nConcatTotal);
    } else {
        EXPECT_EQ(p.strPartHex, "");
    }
    if (p.bReadable) {
        const std::size_t plus = !p.strServiceCentre.empty() && p.strServiceCentre[0] == '+';
        EXPECT_LE(p.strServiceCentre.size() - plus, kMaxAddressDigits);
        EXPECT_NE(p.byAlphabet, SMS_ALPHABET_NONE);
    }
}

// Both decoders on one text.
void DecodeBoth(const std::string& pdu)
{
    ExpectSound(DecodeDeliverPdu(pdu), pdu.size());
    ExpectSound(DecodeSubmitPdu(pdu), pdu.size());
}

TEST(HostilePdu, TruncatedAtEveryLength)
{
    for (const std::string& seed : kSeeds) {
        for (std::size_t n = 0; n <= seed.size(); ++n) {
            SCOPED_TRACE(seed.substr(0, n));
            DecodeBoth(seed.substr(0, n));
            if (n < seed.size()) {
                EXPECT_FALSE(DecodeStoredPdu(seed.substr(0, n)).bReadable) << "cut short";
            }
        }
    }
}

TEST(HostilePdu, TruncatedUcs2TextIsAPrefixOfTheWhole)
{
    const std::string whole = GB("你好世界");
    const std::size_t udStart = kUcs2Deliver.size() - 16;
    for (std::size_t n = udStart; n <= kUcs2Deliver.size(); ++n) {
        SCOPED_TRACE(n);
        const std::string text = DecodeDeliverPdu(kUcs2Deliver.substr(0, n)).strText;
        EXPECT_EQ(whole.compare(0, text.size(), text), 0) << text;
        EXPECT_EQ(text.size(), (n - udStart) / 4 * 2);
    }
}

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

TEST(HostilePdu, MalformedTexts)
{
    struct Case {
        const char* name;
        std::string pdu;
    };
    std::vector<Case> cases = {
        {"empty", ""},
        {"one character", "0"},
        {"odd length", kUcs2Deliver + "4"},
        {"lower case", Lower(kConcatDeliver)},
        {"lower case 7-bit", Lower(kSevenBitDeliver)},
        {"non-hex letters", std::string(kUcs2Deliver.size(), 'Z')},
        {"blanks and line ends", "08 91 68\r\n31 08\t10"},
        {"high bytes", std::string(200, '\xFF')},
        {"embedded NUL", std::string("0891683108100005F0\0"
                                     "040B81",
                                     25)},
        {"service centre 0xFF", "FF91" + std::string(600, '1')},
        {"service centre 0xFF, short",
         "FF91"
         "1234"},
        {"originator length 0xFF",
         "00"
         "04"
         "FF81" +
             std::string(300, '2')},
        {"UDL 0xFF, 7-bit, short data", Short("04", "00", "FF", "E832")},
        {"UDL 0xFF, UCS-2, short data", Short("04", "08", "FF", "4E2D")},
        {"UDL 0xFF, 8-bit, short data", Short("04", "04", "FF", "41")},
        {"header with UDL below 6", Short("44", "08", "02", "050003A7020141")},
        {"header with UDL 0xFF and long data",
         Short("44", "08", "FF", "050003A70201" + std::string(2000, 'A'))},
        {"header with zero reference and parts", Short("44", "00", "0A", "05000300000041")},
        {"push with huge text",
         Short("44", "F5", "FF",
               std::string(34, '0') + "05" + std::string(14, '0') + std::string(400, '4') +
                   "000100" + std::string(2000, 'E'))},
        {"push with no zero after the URL",
         Short("44", "F5", "FF",
               std::string(34, '0') + "03" + std::string(54, '0') + std::string(600, '7'))},
        {"submit, absolute validity cut off",
         "00"
         "19"
         "00"
         "0381"
         "21F3"
         "0008"
         "1230"},
        {"long garbage", std::string(20000, '9')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DecodeBoth(c.pdu);
    }
}

TEST(HostilePdu, OverLongFieldsAreKeptWholeAndUnreadable)
{
    SMS_PDU_t p = DecodeDeliverPdu("FF91" + std::string(600, '1'));
    EXPECT_EQ(p.strServiceCentre, "+" + std::string(508, '1'));
    EXPECT_FALSE(p.bReadable);

    p = DecodeDeliverPdu(
        "00"
        "04"
        "FF81" +
        std::string(300, '2'));
    EXPECT_EQ(p.strNumber, std::string(256, '2')) << "255 digits and the filler, not cut";
    EXPECT_FALSE(p.bReadable);

    std::string chinese;
    for (int i = 0; i < 500; ++i) {
        chinese += "4E2D";
    }
    p = DecodeDeliverPdu(Short("44", "08", "FF", "050003A70201" + chinese));
    EXPECT_TRUE(p.bConcat);
    EXPECT_EQ(p.strPartHex.size(), 2u * 0xFF - 12) << "TP-UDL bounds the part";
    std::string expected;
    for (int i = 0; i < 124; ++i) {
        expected += GB("中");
    }
    EXPECT_EQ(p.strText.substr(0, expected.size()), expected) << "124 characters, none cut";
    ExpectSound(p, 0);

    p = DecodeDeliverPdu(Short("04", "00", "FF", std::string(600, '0')));
    EXPECT_EQ(p.strText, std::string(255, '@'));
    EXPECT_TRUE(p.bReadable);
    ExpectSound(p, 0);
}

TEST(HostilePdu, ShortDataGivesWhatIsThere)
{
    EXPECT_EQ(DecodeDeliverPdu(Short("04", "00", "FF", "E8329BFD06")).strText, "hello");
    EXPECT_EQ(DecodeDeliverPdu(Short("04", "08", "FF", "4E2D65")).strText, GB("中"));
    const SMS_PDU_t p = DecodeDeliverPdu(Short("04", "08", "", "").substr(0, 20));
    EXPECT_EQ(p.strTime, "2103");
    EXPECT_EQ(p.strNumber, "123");
    EXPECT_EQ(p.strText, "");
    EXPECT_FALSE(p.bReadable);
}

}  // namespace
