#include "platform/port_map.h"
#include "platform/posix/tty_ports.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "transport/pty_peer.h"

namespace {

TEST(PortMapTest, SerialCommDirListsItsComEntriesInPortOrder)
{
    ptytest::TempDir dir;
    ASSERT_FALSE(dir.Path().empty());
    auto link = [&](const std::string& name, const char* target) {
        ASSERT_EQ(0, ::symlink(target, (dir.Path() + "/" + name).c_str())) << name;
    };
    link("COM10", "/dev/null");
    link("COM2", "/dev/null");
    link("COM9", "/dev/null");
    // Not ports: other names, a leading zero, no number, a dangling link and
    // a regular file.
    for (const char* name : {"com5", "COM", "COM0", "COM07", "COM4x", "ttyUSB0", "COM12345678"}) {
        link(name, "/dev/null");
    }
    link("COM4", "/nonexistent/tty");
    std::ofstream(dir.Path() + "/COM6") << "not a device";
    ScopedEnv env("TELLMAR_SERIALCOMM", dir.Path());

    const std::vector<COM_PORT_t> ports = ListComPorts();
    ASSERT_EQ(3u, ports.size());
    const int numbers[] = {2, 9, 10};
    for (std::size_t i = 0; i < ports.size(); ++i) {
        const std::string name = "COM" + std::to_string(numbers[i]);
        SCOPED_TRACE(name);
        EXPECT_EQ(numbers[i], ports[i].nNumber);
        EXPECT_EQ(name, ports[i].strName);
        EXPECT_EQ("\\\\.\\" + name, ports[i].strPath);
        EXPECT_EQ(dir.Path() + "/" + name, ports[i].strNode);
    }
}

// Whoever can change the folder decides which device a COM name opens: a
// folder that another user could change is not used at all.
TEST(PortMapTest, ASerialCommDirOthersCouldChangeIsNotUsed)
{
    ptytest::TempDir root;
    ASSERT_FALSE(root.Path().empty());
    const std::string ports = root.Path() + "/ports";
    ASSERT_EQ(0, ::mkdir(ports.c_str(), 0755));
    ASSERT_EQ(0, ::symlink("/dev/null", (ports + "/COM3").c_str()));
    ScopedEnv env("TELLMAR_SERIALCOMM", ports);
    const auto listed = [] { return ListComPorts().size(); };
    EXPECT_EQ(1u, listed()) << "private to this user";

    struct CASE_t {
        const char* what;
        const std::string* folder;
        mode_t mode;
        std::size_t expected;
    };
    const CASE_t cases[] = {
        {"the folder writable by everyone", &ports, 0777, 0},
        {"the folder writable by its group", &ports, 0775, 0},
        {"the folder sticky but writable by everyone", &ports, 01777, 0},
        {"a folder above it writable by everyone", &root.Path(), 0777, 0},
        {"a folder above it sticky, as /tmp", &root.Path(), 01777, 1},
    };
    for (const CASE_t& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(0, ::chmod(c.folder->c_str(), c.mode));
        EXPECT_EQ(c.expected, listed());
        ASSERT_EQ(0, ::chmod(c.folder->c_str(), c.folder == &ports ? 0755 : 0700));
    }
    if (::geteuid() == 0) {
        ASSERT_EQ(0, ::chown(ports.c_str(), 65534, 65534));  // nobody
        EXPECT_EQ(0u, listed()) << "another user's folder";
        ASSERT_EQ(0, ::chown(ports.c_str(), 0, 0));
    }
    EXPECT_EQ(1u, listed());
}

TEST(PortMapTest, AnEmptyOrMissingSerialCommDirListsNothing)
{
    ptytest::TempDir dir;
    {
        ScopedEnv env("TELLMAR_SERIALCOMM", dir.Path());
        EXPECT_TRUE(ListComPorts().empty());
    }
    ScopedEnv env("TELLMAR_SERIALCOMM", dir.Path() + "/gone");
    EXPECT_TRUE(ListComPorts().empty());
}

TEST(PortMapTest, LinkEntriesCountOnlyAsComWithAPlainNumber)
{
    struct CASE_t {
        const char* name;
        int number;
    };
    const CASE_t cases[] = {
        {"COM3", 3},
        {"COM12", 12},
        {"COM9999999", 9999999},
        {"COM10000000", -1},
        {"COM99999999999999999999", -1},
        {"COM0", -1},
        {"COM03", -1},
        {"COM", -1},
        {"", -1},
        {"COM3 ", -1},
        {"COM-3", -1},
        {"com3", -1},
        {"LPT1", -1},
        {"ttyS0", -1},
        {"COM3\\", -1},
    };
    for (const CASE_t& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.number, ComEntryNumber(c.name));
    }
}

// The one place a port name is read: the number is the digits after the
// first "COM", the path the device namespace form.
TEST(PortValueTest, ANameGivesItsNumberAndPathAndNoNode)
{
    struct CASE_t {
        const char* name;
        int number;
    };
    const CASE_t cases[] = {
        {"COM3", 3}, {"COM12", 12}, {"COM03", 3}, {"CNCA0", 0},
        {"COM", 0},  {"", 0},       {"XCOM7", 7}, {"COM99999999999", 0},
    };
    for (const CASE_t& c : cases) {
        SCOPED_TRACE(c.name);
        const COM_PORT_t port = PortNamed(c.name);
        EXPECT_EQ(c.number, port.nNumber);
        EXPECT_EQ(c.name, port.strName);
        EXPECT_EQ(std::string("\\\\.\\") + c.name, port.strPath);
        EXPECT_EQ("", port.strNode);
    }
}

TEST(PortMapTest, SystemDevicesAreNumberedByTheirRangesAndNeverShareANumber)
{
    const std::vector<std::string> names = {
        "ttyUSB1", "ttyS0",  "ttyACM0",  "ttyS31",   "ttyAMA10", "ttyUSB0", "ttyAMA2",
        "ttyS100", "ttyUSB", "ttyUSB07", "ttyACM99", "rfcomm0",  "ttyS0",   "ttyXRUSB0",
    };
    const std::vector<std::pair<int, std::string>> expected = {
        {1, "ttyS0"},       {32, "ttyS31"},    {101, "ttyUSB0"}, {102, "ttyUSB1"},
        {201, "ttyACM0"},   {300, "ttyACM99"}, {301, "rfcomm0"}, {302, "ttyAMA2"},
        {303, "ttyAMA10"},  {304, "ttyS100"},  {305, "ttyUSB"},  {306, "ttyUSB07"},
        {307, "ttyXRUSB0"},
    };
    const std::vector<SYSTEM_PORT_t> ports = NumberSystemPorts(names);
    ASSERT_EQ(expected.size(), ports.size());
    for (std::size_t i = 0; i < ports.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(expected[i].first, ports[i].number);
        EXPECT_EQ(expected[i].second, ports[i].ttyName);
    }
}

TEST(PortMapTest, SystemPortsResolveToTheirTtyNodes)
{
    ScopedEnv env("TELLMAR_SERIALCOMM", "");
    int previous = 0;
    for (const COM_PORT_t& port : ListComPorts()) {
        SCOPED_TRACE(port.strName);
        EXPECT_GT(port.nNumber, previous);
        previous = port.nNumber;
        EXPECT_EQ("COM" + std::to_string(port.nNumber), port.strName);
        EXPECT_EQ(0u, port.strNode.rfind("/dev/tty", 0));
    }
}

}  // namespace

// A sysfs class folder as the kernel lays it out: the serial8250 driver
// registers ttyS ports whether a UART is there or not, and only the ones with
// a known UART type are ports; virtual terminals have no device link.
TEST(PortMapTest, SystemTtysWithoutHardwareOrWithAnUnknownUartAreNotPorts)
{
    ptytest::TempDir sys;
    ASSERT_FALSE(sys.Path().empty());
    auto tty = [&](const std::string& name, bool device, const char* type) {
        const std::string dir = sys.Path() + "/" + name;
        ASSERT_EQ(0, ::mkdir(dir.c_str(), 0755)) << name;
        if (device) {
            ASSERT_EQ(0, ::mkdir((dir + "/device").c_str(), 0755)) << name;
        }
        if (type != nullptr) {
            std::ofstream(dir + "/type") << type << "\n";
        }
    };
    tty("ttyS0", true, "4");  // a 16550A
    tty("ttyS1", true, "0");  // placeholder
    tty("ttyS3", true, "0");
    tty("ttyUSB0", true, nullptr);
    tty("ttyACM2", true, nullptr);
    tty("tty1", false, nullptr);
    tty("console", false, nullptr);

    EXPECT_EQ((std::vector<std::string>{"ttyACM2", "ttyS0", "ttyUSB0"}),
              SystemTtyNames(sys.Path()));

    ptytest::TempDir onlyPlaceholders;
    ASSERT_EQ(0, ::mkdir((onlyPlaceholders.Path() + "/ttyS0").c_str(), 0755));
    ASSERT_EQ(0, ::mkdir((onlyPlaceholders.Path() + "/ttyS0/device").c_str(), 0755));
    std::ofstream(onlyPlaceholders.Path() + "/ttyS0/type") << "0\n";
    EXPECT_TRUE(SystemTtyNames(onlyPlaceholders.Path()).empty());
    EXPECT_TRUE(SystemTtyNames(sys.Path() + "/missing").empty());
}
