#include "platform/port_map.h"
#include "platform/posix/tty_ports.h"

#include "platform/console.h"
#include "platform/serial_device.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <set>
#include <tuple>

namespace {

constexpr const char* kSerialCommEnv = "TELLMAR_SERIALCOMM";
constexpr const char* kSysClassTty = "/sys/class/tty";
constexpr int kMaxPortNumber = 9999999;
constexpr int kOthersFirstNumber = 301;

// Decimal digits without a leading zero, at most 7 of them; -1 otherwise.
int ParsePortDigits(const std::string& digits)
{
    if (digits.empty() || digits.size() > 7 || digits[0] == '0') {
        return -1;
    }
    int value = 0;
    for (char c : digits) {
        if (!std::isdigit(static_cast<unsigned char>(c))) {
            return -1;
        }
        value = value * 10 + (c - '0');
    }
    return value <= kMaxPortNumber ? value : -1;
}

// The k of <prefix><k> (k written without leading zeros, "0" allowed); -1 otherwise.
int TtyIndex(const std::string& name, const std::string& prefix)
{
    if (name.compare(0, prefix.size(), prefix) != 0 || name.size() == prefix.size()) {
        return -1;
    }
    const std::string digits = name.substr(prefix.size());
    if (digits == "0") {
        return 0;
    }
    return ParsePortDigits(digits);
}

// Natural order: "ttyAMA2" before "ttyAMA10".
bool NaturalLess(const std::string& a, const std::string& b)
{
    auto key = [](const std::string& s) {
        std::size_t cut = s.size();
        while (cut > 0 && std::isdigit(static_cast<unsigned char>(s[cut - 1]))) {
            --cut;
        }
        const std::string digits = s.substr(cut);
        // Over-long digit runs compare by length first, which keeps the order
        // numeric without converting them.
        return std::make_tuple(s.substr(0, cut), digits.size(), digits, s);
    };
    return key(a) < key(b);
}

std::string SerialCommDir()
{
    const char* dir = std::getenv(kSerialCommEnv);
    return dir != nullptr ? std::string(dir) : std::string();
}

// Why another user could change what the folder lists (and so which device
// a COM name opens); empty when nobody but this user and root can. The
// folder itself must be owned by one of them and writable by nobody else;
// every folder above it too, unless it is sticky (as /tmp), where others
// can add entries but cannot move or replace this user's.
std::string WhoElseCanChange(const std::string& folder)
{
    char* real = ::realpath(folder.c_str(), nullptr);
    if (real == nullptr) {
        return std::string();  // a missing folder is said when it is listed
    }
    std::string path = real;
    std::free(real);
    const uid_t self = ::geteuid();
    for (bool listed = true;; listed = false) {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) {
            return path + " cannot be examined";
        }
        if (st.st_uid != self && st.st_uid != 0) {
            return path + " belongs to another user";
        }
        const bool othersWrite = (st.st_mode & (S_IWGRP | S_IWOTH)) != 0;
        if (othersWrite && (listed || (st.st_mode & S_ISVTX) == 0)) {
            return path + " can be written by other users";
        }
        if (path == "/") {
            return std::string();
        }
        const std::size_t slash = path.rfind('/');
        path = slash == 0 ? "/" : path.substr(0, slash);
    }
}

bool IsCharDevice(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

bool ReadIntFile(const std::string& path, long& value)
{
    std::ifstream in(path);
    return static_cast<bool>(in >> value);
}

// serial8250 registers a fixed number of ttyS ports whether or not a UART is
// there; the ones without hardware report the type "unknown" (0). They would
// otherwise show up as ports that open but never answer.
bool IsPlaceholderUart(const std::string& sysClassTty, const std::string& ttyName)
{
    long type = 0;
    if (ReadIntFile(sysClassTty + "/" + ttyName + "/type", type)) {
        return type == PORT_UNKNOWN;
    }
    if (ttyName.compare(0, 4, "ttyS") != 0) {
        return false;
    }
    const std::string node = "/dev/" + ttyName;
    const int fd = ::open(node.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct serial_struct info {};
    const bool unknown = ::ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type == PORT_UNKNOWN;
    ::close(fd);
    return unknown;
}

}  // namespace

std::vector<std::string> SystemTtyNames(const std::string& sysClassTty)
{
    std::vector<std::string> names;
    DIR* dir = ::opendir(sysClassTty.c_str());
    if (dir == nullptr) {
        return names;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.empty() || name[0] == '.') {
            continue;
        }
        struct stat st {};
        const std::string device = sysClassTty + "/" + name + "/device";
        if (::stat(device.c_str(), &st) != 0 || IsPlaceholderUart(sysClassTty, name)) {
            continue;
        }
        names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

namespace {

// The system's text for errno, without its line end.
std::string ErrnoText()
{
    std::string text = FormatSystemError(errno);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

// COM<n> entries of the TELLMAR_SERIALCOMM directory, by port number; `error`
// says why a folder that cannot be listed is not (a missing folder, a file,
// one this user may not read).
std::vector<int> SerialCommDirPorts(const std::string& dirPath, std::string& error)
{
    std::vector<int> numbers;
    DIR* dir = ::opendir(dirPath.c_str());
    if (dir == nullptr) {
        error = errno == ENOTDIR ? "it is no folder" : ErrnoText();
        return numbers;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        const int number = ComEntryNumber(name);
        if (number > 0 && IsCharDevice(dirPath + "/" + name)) {
            numbers.push_back(number);
        }
    }
    ::closedir(dir);
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

}  // namespace

int ComEntryNumber(const std::string& entryName)
{
    if (entryName.compare(0, 3, "COM") != 0) {
        return -1;
    }
    const int number = ParsePortDigits(entryName.substr(3));
    return number > 0 ? number : -1;
}

std::vector<SYSTEM_PORT_t> NumberSystemPorts(std::vector<std::string> ttyNames)
{
    std::sort(ttyNames.begin(), ttyNames.end(), NaturalLess);
    ttyNames.erase(std::unique(ttyNames.begin(), ttyNames.end()), ttyNames.end());

    struct RANGE_t {
        const char* prefix;
        int base;
    };
    static const RANGE_t kRanges[] = {{"ttyUSB", 101}, {"ttyACM", 201}, {"ttyS", 1}};

    std::vector<SYSTEM_PORT_t> ports;
    int nextOther = kOthersFirstNumber;
    for (const std::string& name : ttyNames) {
        int number = -1;
        for (const RANGE_t& range : kRanges) {
            const int index = TtyIndex(name, range.prefix);
            if (index >= 0 && index < 100) {
                number = range.base + index;
                break;
            }
        }
        if (number < 0) {
            number = nextOther++;
        }
        ports.push_back({number, name});
    }
    std::sort(ports.begin(), ports.end(),
              [](const SYSTEM_PORT_t& a, const SYSTEM_PORT_t& b) { return a.number < b.number; });
    return ports;
}

namespace {

COM_PORT_t ResolvedPort(int number, std::string node)
{
    COM_PORT_t port = PortNamed("COM" + std::to_string(number));
    port.strNode = std::move(node);
    return port;
}

}  // namespace

std::vector<COM_PORT_t> ListComPorts()
{
    std::vector<COM_PORT_t> ports;
    const std::string dir = SerialCommDir();
    if (!dir.empty()) {
        const std::string why = WhoElseCanChange(dir);
        if (!why.empty()) {
            ConsoleNote(std::string(kSerialCommEnv) + "=" + dir + " is not used: " + why +
                        ", so its COM links could be made to lead anywhere\n");
            return ports;
        }
        // A folder that cannot be listed would otherwise look like a machine
        // without modems.
        std::string error;
        for (int number : SerialCommDirPorts(dir, error)) {
            ports.push_back(ResolvedPort(number, dir + "/COM" + std::to_string(number)));
        }
        if (!error.empty()) {
            ConsoleNote(std::string(kSerialCommEnv) + "=" + dir + " is not used: " + error + "\n");
        }
        return ports;
    }
    for (const SYSTEM_PORT_t& port : NumberSystemPorts(SystemTtyNames(kSysClassTty))) {
        ports.push_back(ResolvedPort(port.number, "/dev/" + port.ttyName));
    }
    return ports;
}

std::string PortNoteName(const COM_PORT_t& port)
{
    return port.strName;
}
