// PDUs from the network are untrusted: whatever the text, the decoders stay
// inside their input and the fixed fields, which end NUL-terminated.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
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

// The block between guard bytes: a write past a field of the block shows in
// the guards, a field without its NUL in the checks.
class GuardedDecode : public ::testing::Test {
protected:
    struct Guarded {
        unsigned char before[64];
        SMS_PDU_PARAM_t param;
        unsigned char after[64];
    };

    void SetUp() override
    {
        std::memset(m_block.before, 0xA5, sizeof m_block.before);
        std::memset(m_block.after, 0x5A, sizeof m_block.after);
    }

    template <std::size_t N>
    static void ExpectTerminated(const char (&field)[N], const char* name)
    {
        EXPECT_NE(std::memchr(field, 0, N), nullptr) << name << " has no NUL inside its size";
    }

    void ExpectSound()
    {
        const SMS_PDU_PARAM_t& p = m_block.param;
        ExpectTerminated(p.szSca, "szSca");
        ExpectTerminated(p.szNumber, "szNumber");
        ExpectTerminated(p.szTime, "szTime");
        ExpectTerminated(p.szText, "szText");
        ExpectTerminated(p.szUrl, "szUrl");
        ExpectTerminated(p.szPartHex, "szPartHex");
        EXPECT_GE(p.nPartHexLen, 0);
        EXPECT_EQ(static_cast<std::size_t>(p.nPartHexLen), std::strlen(p.szPartHex));
        EXPECT_TRUE(std::all_of(std::begin(m_block.before), std::end(m_block.before),
                                [](unsigned char c) { return c == 0xA5; }));
        EXPECT_TRUE(std::all_of(std::begin(m_block.after), std::end(m_block.after),
                                [](unsigned char c) { return c == 0x5A; }));
    }

    // Both decoders on one text, each on a fresh block.
    void DecodeBoth(const std::string& pdu)
    {
        m_block.param = SMS_PDU_PARAM_t();
        DecodeDeliverPdu(pdu, m_block.param);
        ExpectSound();
        m_block.param = SMS_PDU_PARAM_t();
        DecodeSubmitPdu(pdu, m_block.param);
        ExpectSound();
    }

    Guarded m_block;
};

TEST_F(GuardedDecode, TruncatedAtEveryLength)
{
    for (const std::string& seed : kSeeds) {
        for (std::size_t n = 0; n <= seed.size(); ++n) {
            SCOPED_TRACE(seed.substr(0, n));
            DecodeBoth(seed.substr(0, n));
        }
    }
}

TEST_F(GuardedDecode, TruncatedUcs2TextIsAPrefixOfTheWhole)
{
    const std::string whole = GB("你好世界");
    const std::size_t udStart = kUcs2Deliver.size() - 16;
    for (std::size_t n = udStart; n <= kUcs2Deliver.size(); ++n) {
        SCOPED_TRACE(n);
        DecodeDeliverPdu(kUcs2Deliver.substr(0, n), m_block.param);
        const std::string text = m_block.param.szText;
        EXPECT_EQ(whole.compare(0, text.size(), text), 0) << text;
        EXPECT_EQ(text.size(), (n - udStart) / 4 * 2);
    }
}

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

TEST_F(GuardedDecode, MalformedTexts)
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

TEST_F(GuardedDecode, OverLongFieldsAreCutToTheirSize)
{
    SMS_PDU_PARAM_t& p = m_block.param;
    DecodeDeliverPdu("FF91" + std::string(600, '1'), p);
    EXPECT_EQ(std::string(p.szSca), "+" + std::string(14, '1'));

    DecodeDeliverPdu(
        "00"
        "04"
        "FF81" +
            std::string(300, '2'),
        p);
    EXPECT_EQ(std::string(p.szNumber), std::string(47, '2'));

    std::string chinese;
    for (int i = 0; i < 500; ++i) {
        chinese += "4E2D";
    }
    DecodeDeliverPdu(Short("44", "08", "FF", "050003A70201" + chinese), p);
    EXPECT_TRUE(p.bConcat);
    EXPECT_EQ(p.nPartHexLen, 2 * 0xFF - 12) << "TP-UDL bounds the part";
    EXPECT_STREQ(p.szText, "") << "124 Chinese characters do not fit the text field";

    DecodeDeliverPdu(Short("04", "00", "FF", std::string(600, '0')), p);
    EXPECT_EQ(std::string(p.szText), std::string(160, '@'));
    ExpectSound();
}

TEST_F(GuardedDecode, ShortDataGivesWhatIsThere)
{
    SMS_PDU_PARAM_t& p = m_block.param;
    DecodeDeliverPdu(Short("04", "00", "FF", "E8329BFD06"), p);
    EXPECT_STREQ(p.szText, "hello");
    DecodeDeliverPdu(Short("04", "08", "FF", "4E2D65"), p);
    EXPECT_STREQ(p.szText, GB("中").c_str());
    DecodeDeliverPdu(Short("04", "08", "", "").substr(0, 20), p);
    EXPECT_STREQ(p.szTime, "2103");
    EXPECT_STREQ(p.szNumber, "123");
    EXPECT_STREQ(p.szText, "");
}

}  // namespace
