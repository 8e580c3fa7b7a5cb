#include "transport/com_port.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "support/listed_port.h"
#include "transport/pty_peer.h"

namespace {

// The pseudo-terminal of each test, as the listing gives it.
COM_PORT_t Port()
{
    return ListedPort(3);
}

class ComPortTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(peer.Ready()); }

    ptytest::PtyPeer peer{3};
};

TEST_F(ComPortTest, AMissingPortStaysClosedWithCode2)
{
    CComPortBase port(ListedPort(4), 9600);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_TRUE(port.HasError());
    EXPECT_EQ(2, port.GetErrorCode());
    EXPECT_EQ("Code:2   No such file or directory\r\n", port.GetErrorText());
}

TEST_F(ComPortTest, APortHeldElsewhereDoesNotOpenAndSaysWhy)
{
    CComPortBase holder(Port(), 9600);
    ASSERT_TRUE(holder.IsOpen());
    CComPortBase second(Port(), 9600);
    EXPECT_FALSE(second.IsOpen());
    EXPECT_EQ(EBUSY, second.GetErrorCode());
    EXPECT_EQ("Code:16   Device or resource busy\r\n", second.GetErrorText());
    holder.Close();
    EXPECT_TRUE(second.Open());
    EXPECT_FALSE(second.HasError());
}

TEST_F(ComPortTest, ARateTheLineCannotTakeClosesThePortAgain)
{
    CComPortBase port(Port(), 12345);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(EINVAL, port.GetErrorCode());
    // Closed again, so nothing holds the port.
    CComPortBase good(Port(), 9600);
    EXPECT_TRUE(good.IsOpen());
}

TEST_F(ComPortTest, OpenOnAnOpenPortClearsTheCodeAndKeepsTheText)
{
    CComPortBase port(Port(), 9600);
    ASSERT_TRUE(port.IsOpen());
    peer.CloseMaster();
    std::string target;
    EXPECT_FALSE(port.Read(target));
    ASSERT_TRUE(port.HasError());
    EXPECT_EQ(EIO, port.GetErrorCode());

    EXPECT_TRUE(port.Open());
    EXPECT_FALSE(port.HasError());
    EXPECT_EQ("Code:5   Input/output error\r\n", port.GetErrorText());
}

TEST_F(ComPortTest, WritesSendAllBytesAndEmptyWritesSendNothing)
{
    CComPortBase port(Port(), 115200);
    ASSERT_TRUE(port.IsOpen());
    EXPECT_FALSE(port.Write(""));
    EXPECT_FALSE(port.HasError());
    const std::string body("0011000B\x1A\0", 10);
    EXPECT_TRUE(port.Write(body));
    EXPECT_EQ(body, peer.ReceiveFor(200));

    port.Close();
    EXPECT_FALSE(port.Write("AT\r"));
    EXPECT_EQ(EBADF, port.GetErrorCode());
    EXPECT_EQ("", peer.ReceiveFor(100));
}

TEST_F(ComPortTest, ReadsOnAClosedPortLeaveTheTargetAlone)
{
    CComPortBase port(Port(), 9600);
    port.Close();
    std::string target = "before";
    EXPECT_FALSE(port.Read(target));
    EXPECT_EQ("before", target);
    EXPECT_TRUE(port.ReadAll(target));
    EXPECT_EQ("before", target);
    EXPECT_FALSE(port.HasError());
}

TEST_F(ComPortTest, ReadReplacesTheTargetAndRecordsEveryOutcome)
{
    CComPortBase port(Port(), 9600);
    ASSERT_TRUE(port.IsOpen());
    peer.Send("\r\nOK\r\n");
    std::string target = "old";
    EXPECT_TRUE(port.Read(target));
    EXPECT_EQ("\r\nOK\r\n", target);
    EXPECT_EQ(0, port.GetErrorCode());
    EXPECT_EQ("Code:0   Success\r\n", port.GetErrorText());

    // A quiet line: nothing, and still a recorded outcome.
    EXPECT_FALSE(port.Read(target));
    EXPECT_EQ("", target);
    EXPECT_FALSE(port.HasError());
}

TEST_F(ComPortTest, ReadWaitingTakesWhatHasComeAndRecordsTheOutcome)
{
    CComPortBase port(Port(), 9600);
    ASSERT_TRUE(port.IsOpen());
    std::string target = "old";
    EXPECT_FALSE(port.ReadWaiting(target, 0));
    EXPECT_EQ("", target);
    EXPECT_FALSE(port.HasError());

    peer.Send("\r\n+CMTI: \"SM\",3\r\n");
    EXPECT_TRUE(port.ReadWaiting(target, 5000));
    EXPECT_EQ(0u, target.find("\r\n+CMTI"));

    port.Close();
    target = "kept";
    EXPECT_FALSE(port.ReadWaiting(target, 0));
    EXPECT_EQ("kept", target);
}

TEST_F(ComPortTest, NulBytesArriveUnchanged)
{
    CComPortBase port(Port(), 9600);
    ASSERT_TRUE(port.IsOpen());
    const std::string reply("\r\n+CMGR: \0\0 1\r\n\0OK\r\n", 19);
    peer.Send(reply);
    std::string one;
    EXPECT_TRUE(port.Read(one));
    EXPECT_EQ(reply, one);

    peer.Send(reply);
    std::string all;
    EXPECT_TRUE(port.ReadAll(all));
    EXPECT_EQ(reply, all);
}

TEST_F(ComPortTest, ReadAllAppendsPiecesAcrossReadsAndCalls)
{
    CComPortBase port(Port(), 115200);
    ASSERT_TRUE(port.IsOpen());
    // More than one read's worth, in pieces closer than the quiet gap.
    const std::string big(1300, 'p');
    peer.RunScript({{"", {{0, big.substr(0, 600)}, {3, big.substr(600)}}}});
    std::string target = "head:";
    EXPECT_TRUE(port.ReadAll(target));
    EXPECT_EQ("head:" + big, target);

    peer.Send("\r\nOK\r\n");
    EXPECT_TRUE(port.ReadAll(target));
    EXPECT_EQ("head:" + big + "\r\nOK\r\n", target);

    // A quiet line leaves the target as it was.
    EXPECT_TRUE(port.ReadAll(target));
    EXPECT_EQ("head:" + big + "\r\nOK\r\n", target);
}

TEST_F(ComPortTest, ReadAllOnAFloodingLineEnds)
{
    CComPortBase port(Port(), 115200);
    ASSERT_TRUE(port.IsOpen());
    peer.Flood("\r\nRING\r\n");
    std::string target;
    EXPECT_TRUE(port.ReadAll(target));
    peer.Stop();
    EXPECT_GT(target.size(), 0u);
    EXPECT_LT(target.size(), CComPortBase::kReadAllLimit + CComPortBase::kReadChunk);
}

TEST_F(ComPortTest, ADeviceVanishingMidReadEndsTheReadWithEio)
{
    CComPortBase port(Port(), 9600);
    ASSERT_TRUE(port.IsOpen());
    peer.Send("\r\n+CSQ: 2");
    peer.VanishAfter(100);
    std::string target;
    EXPECT_TRUE(port.ReadAll(target));
    peer.Stop();
    EXPECT_EQ("\r\n+CSQ: 2", target);
    EXPECT_TRUE(port.HasError());
    EXPECT_EQ(EIO, port.GetErrorCode());
    // The failed write records why.
    EXPECT_FALSE(port.Write("AT\r"));
    EXPECT_EQ(EIO, port.GetErrorCode());
    EXPECT_FALSE(port.ReadWaiting(target, 0));
    EXPECT_EQ(EIO, port.GetErrorCode());
    EXPECT_TRUE(port.IsOpen());
    EXPECT_TRUE(port.Close());
}

}  // namespace
