#include "platform/posix/lock_files.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

constexpr const char* kUucpLockDir = "/var/lock";
// A lock file of any known layout is at most a few dozen bytes (HDB "%10d\n"
// is 11, some programs add their name and user).
constexpr int kMaxLockFileBytes = 64;

// The name a UUCP lock file uses for a node: the path below /dev with "/"
// turned into "_" ("ttyUSB0", "pts_3").
std::string LockNameOf(const std::string& node)
{
    char* real = ::realpath(node.c_str(), nullptr);
    std::string path = real != nullptr ? real : node;
    std::free(real);
    if (path.compare(0, 5, "/dev/") == 0) {
        path.erase(0, 5);
    }
    std::replace(path.begin(), path.end(), '/', '_');
    return path;
}

// The lock folder is writable by every user on many systems (/run/lock is
// mode 1777): a lock file may be a FIFO, a link, a device or a huge file that
// someone else made. Only a small regular file is read, without following a
// link and without waiting; anything else holds no port.
bool ReadLockFile(const std::string& lockFile, std::string& content)
{
    const int fd =
        ::open(lockFile.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    char buffer[kMaxLockFileBytes];
    ssize_t n = -1;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= kMaxLockFileBytes) {
        do {
            n = ::read(fd, buffer, sizeof buffer);
        } while (n < 0 && errno == EINTR);
    }
    ::close(fd);
    if (n < 0) {
        return false;
    }
    content.assign(buffer, static_cast<std::size_t>(n));
    return true;
}

// Lock files hold the owner's pid as text (HDB style, "%10d\n") or, in old
// programs, as a binary int of 4 bytes.
pid_t LockOwner(const std::string& lockFile)
{
    std::string content;
    if (!ReadLockFile(lockFile, content)) {
        return 0;
    }
    long pid = 0;
    bool digits = false;
    for (char c : content) {
        if (c >= '0' && c <= '9') {
            digits = true;
            pid = pid * 10 + (c - '0');
            if (pid > 0x7fffffffL) {
                return 0;
            }
        } else if (digits || (c != ' ' && c != '\t')) {
            break;
        }
    }
    if (!digits && content.size() == sizeof(int)) {
        int binary = 0;
        std::memcpy(&binary, content.data(), sizeof binary);
        return binary;
    }
    return static_cast<pid_t>(pid);
}

}  // namespace

bool UucpLockHeld(const std::string& node)
{
    const pid_t owner = LockOwner(std::string(kUucpLockDir) + "/LCK.." + LockNameOf(node));
    if (owner <= 0 || owner == ::getpid()) {
        return false;
    }
    return ::kill(owner, 0) == 0 || errno == EPERM;
}
