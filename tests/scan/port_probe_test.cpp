#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "scan/port_scan.h"
#include "scan/probe_io.h"
#include "scan/probe_rules.h"
#include "support/listed_port.h"

namespace {

// Pseudo-terminals linked as COM<n> in a temporary TELLMAR_SERIALCOMM
// directory. Nobody answers on them unless a test writes to a master.
class CPtyPorts {
public:
    CPtyPorts()
    {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tellmar-scan-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            m_dir = pattern;
        }
        if (const char* old = std::getenv("TELLMAR_SERIALCOMM")) {
            m_oldEnv = old;
            m_hadEnv = true;
        }
        ::setenv("TELLMAR_SERIALCOMM", m_dir.c_str(), 1);
    }

    ~CPtyPorts()
    {
        for (const auto& port : m_masters) {
            ::close(port.second);
        }
        if (m_hadEnv) {
            ::setenv("TELLMAR_SERIALCOMM", m_oldEnv.c_str(), 1);
        } else {
            ::unsetenv("TELLMAR_SERIALCOMM");
        }
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }

    CPtyPorts(const CPtyPorts&) = delete;
    CPtyPorts& operator=(const CPtyPorts&) = delete;

    // Adds COM<number>; the slave is set raw and closed again.
    bool Add(int number)
    {
        int master = -1;
        int slave = -1;
        char name[256] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
            return false;
        }
        termios tio{};
        ::tcgetattr(slave, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(slave, TCSANOW, &tio);
        ::close(slave);
        m_masters[number] = master;
        const std::string link = m_dir + "/COM" + std::to_string(number);
        return ::symlink(name, link.c_str()) == 0;
    }

    // What the program wrote on COM<number> so far (waits up to 1 s for the
    // first bytes).
    std::string Written(int number)
    {
        pollfd pfd{m_masters.at(number), POLLIN, 0};
        std::string got;
        char buffer[256];
        while (::poll(&pfd, 1, got.empty() ? 1000 : 0) > 0) {
            const ssize_t n = ::read(m_masters.at(number), buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            got.append(buffer, static_cast<std::size_t>(n));
        }
        return got;
    }

    // Bytes for the program's side of COM<number>.
    void Write(int number, const std::string& bytes)
    {
        ASSERT_EQ(::write(m_masters.at(number), bytes.data(), bytes.size()),
                  static_cast<ssize_t>(bytes.size()));
    }

    const std::string& Dir() const { return m_dir; }

private:
    std::string m_dir;
    std::string m_oldEnv;
    bool m_hadEnv = false;
    std::map<int, int> m_masters;
};

// Short read time-outs for ports where nothing answers.
class ScanTest : public testing::Test {
protected:
    CPtyPorts m_ports;
    const SCAN_OPTIONS_t m_options{PROBE_TIMING_t{20, 60, 0}};
};

std::vector<std::string> PortsOf(const std::vector<COM_CHECK_RESULT_t>& records)
{
    std::vector<std::string> ports;
    for (const COM_CHECK_RESULT_t& r : records) {
        ports.push_back(r.port.strPath);
    }
    return ports;
}

TEST_F(ScanTest, EnumerationAppendsResolvedPortsInPortOrder)
{
    std::vector<COM_PORT_t> ports;
    EXPECT_FALSE(EnumComPorts(ports));
    EXPECT_TRUE(ports.empty());

    for (int number : {4, 1, 12}) {
        ASSERT_TRUE(m_ports.Add(number));
    }
    ports = {PortNamed("COM99")};
    EXPECT_TRUE(EnumComPorts(ports));
    std::vector<std::string> paths;
    for (const COM_PORT_t& port : ports) {
        paths.push_back(port.strPath);
        EXPECT_EQ(port.strNode.empty(), port.nNumber == 99) << port.strName;
    }
    EXPECT_EQ(paths, (std::vector<std::string>{"\\\\.\\COM99", "\\\\.\\COM1", "\\\\.\\COM4",
                                               "\\\\.\\COM12"}));
}

TEST_F(ScanTest, ReadReplyIsOneBoundedReadCutAtNul)
{
    ASSERT_TRUE(m_ports.Add(1));
    COM_CHECK_RESULT_t record;
    record.hCom = std::make_shared<CSerialDevice>();
    ASSERT_EQ(record.hCom->Open(ListedPort(1)), 0);
    ASSERT_TRUE(SetComBaud(record, 9600, m_options.timing));

    std::string reply = "stale";
    m_ports.Write(1, std::string("\r\nAT\0OK\r\n", 9));
    EXPECT_TRUE(ReadReply(record.hCom, reply, kProbeReplyBytes, "COM1"));
    EXPECT_EQ(reply, "\r\nAT");

    m_ports.Write(1, std::string(300, 'x'));
    EXPECT_TRUE(ReadReply(record.hCom, reply, kProbeReplyBytes, "COM1"));
    EXPECT_EQ(reply, std::string(kProbeReplyBytes, 'x'));
    EXPECT_TRUE(ReadReply(record.hCom, reply, kProbeReplyBytes, "COM1"));
    EXPECT_EQ(reply, std::string(45, 'x'));

    EXPECT_TRUE(ReadReply(record.hCom, reply, kProbeReplyBytes, "COM1"));
    EXPECT_EQ(reply, "");

    std::shared_ptr<CSerialDevice> none;
    reply = "stale";
    EXPECT_FALSE(ReadReply(none, reply, kProbeReplyBytes, "COM1"));
    EXPECT_EQ(reply, "");
    COM_CHECK_RESULT_t unopened;
    EXPECT_FALSE(SetComBaud(unopened, 9600, m_options.timing));
}

TEST_F(ScanTest, AProbeCommandGetsItsOwnAnswerEndingOnItsFinalLine)
{
    ASSERT_TRUE(m_ports.Add(1));
    COM_CHECK_RESULT_t record;
    record.hCom = std::make_shared<CSerialDevice>();
    ASSERT_EQ(record.hCom->Open(ListedPort(1)), 0);
    // A quiet gap far longer than the final line's, so that only the final
    // line can end the read before the late line comes.
    for (const bool quietLine : {false, true}) {
        SCOPED_TRACE(quietLine ? "quiet" : "final line");
        const PROBE_TIMING_t timing{1500, 2500, 0, 10, quietLine};
        CDeviceProbeLine line(record.hCom, "COM1", timing);
        ASSERT_TRUE(SetComBaud(record, 9600, timing));
        m_ports.Write(1, "\r\nRING\r\n");  // waiting before the command: no answer to it
        line.Send("AT\r");
        EXPECT_EQ(m_ports.Written(1), "AT\r");
        m_ports.Write(1, "\r\nOK\r\n");
        std::thread late([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(400));
            m_ports.Write(1, "\r\n+CMTI: \"SM\",3\r\n");
        });
        const std::string reply = line.Receive();
        late.join();
        if (quietLine) {
            EXPECT_EQ(reply, "\r\nOK\r\n\r\n+CMTI: \"SM\",3\r\n");
        } else {
            EXPECT_EQ(reply, "\r\nOK\r\n");
            // The late line is dropped before the next command.
            EXPECT_EQ(line.Exchange("AT\r"), "");
            EXPECT_EQ(m_ports.Written(1), "AT\r");
        }
    }
}

TEST_F(ScanTest, SilentAndHeldPortsEachInTheSlotOfItsPort)
{
    ASSERT_TRUE(m_ports.Add(2));
    ASSERT_TRUE(m_ports.Add(5));
    CSerialDevice holder;
    ASSERT_EQ(holder.Open(ListedPort(5)), 0);

    // The held port fails at once, the silent one after two reads; each
    // record is in the place of its port in the listing.
    std::vector<COM_CHECK_RESULT_t> records = CheckAllPorts(m_options);
    ASSERT_EQ(PortsOf(records), (std::vector<std::string>{"\\\\.\\COM2", "\\\\.\\COM5"}));
    EXPECT_TRUE(records[0].bOpen);
    EXPECT_FALSE(records[1].bOpen);
    ClosePortHandles(records);

    std::string cost;
    records.assign(3, COM_CHECK_RESULT_t{});
    RefreshScan(m_options, records, cost);
    ASSERT_EQ(PortsOf(records), (std::vector<std::string>{"\\\\.\\COM2", "\\\\.\\COM5"}));

    const COM_CHECK_RESULT_t& silent = records[0];
    EXPECT_TRUE(silent.bOpen);
    EXPECT_FALSE(silent.bAT);
    EXPECT_EQ(silent.strBaud, "115200");
    ASSERT_TRUE(silent.hCom);
    EXPECT_FALSE(silent.hCom->IsOpen());

    const COM_CHECK_RESULT_t& held = records[1];
    EXPECT_FALSE(held.bOpen);
    EXPECT_FALSE(held.bAT);
    EXPECT_EQ(held.strBaud, "");
    EXPECT_FALSE(held.hCom);

    ASSERT_EQ(cost.compare(0, 10, "cost time "), 0) << cost;
    ASSERT_EQ(cost.substr(cost.size() - 4), " ms\n") << cost;
    EXPECT_GE(std::stoi(cost.substr(10)), 0);

    // Every port was released: a second scan opens them again.
    holder.Close();
    RefreshScan(m_options, records, cost);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_TRUE(records[0].bOpen);
    EXPECT_TRUE(records[1].bOpen);
}

TEST_F(ScanTest, ThreeHundredPortsAllProbedAndWaitedFor)
{
    for (int number = 1; number <= 300; ++number) {
        ASSERT_TRUE(m_ports.Add(number)) << number;
    }
    std::vector<COM_CHECK_RESULT_t> records;
    std::string cost;
    RefreshScan(m_options, records, cost);
    ASSERT_EQ(records.size(), 300u);
    for (int number = 1; number <= 300; ++number) {
        const COM_CHECK_RESULT_t& r = records[number - 1];
        SCOPED_TRACE(r.port.strName);
        EXPECT_EQ(r.port.nNumber, number);
        EXPECT_TRUE(r.bOpen);
        EXPECT_EQ(r.strBaud, "115200");
        EXPECT_FALSE(r.hCom->IsOpen());
    }
}

TEST_F(ScanTest, NoPortsNoRecords)
{
    std::vector<COM_CHECK_RESULT_t> records(2);
    std::string cost;
    RefreshScan(m_options, records, cost);
    EXPECT_TRUE(records.empty());
    EXPECT_EQ(cost.compare(0, 10, "cost time "), 0);
}

}  // namespace
