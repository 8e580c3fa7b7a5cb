// The watch mark on Linux: an open-file-description lock (F_OFD_SETLK) on a
// file per device in the user's own folder. The system drops the lock when
// the last descriptor of the file's open description closes, which a
// process's end does however it ends. A test of the mark asks for the lock
// (F_OFD_GETLK) without taking it, so testing never keeps a watch from
// taking its mark.

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/clock.h"
#include "platform/watch_mark.h"
#include "platform/watch_mark_text.h"

namespace {

// A mark being written, or left by a watch that died, is read again this
// often before it counts as unreadable.
constexpr int kReadTries = 10;
constexpr int kReadPauseMs = 5;

// A descriptor closed when it goes out of scope.
class CFd {
public:
    explicit CFd(int fd = -1) : m_fd(fd) {}
    ~CFd()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    CFd(const CFd&) = delete;
    CFd& operator=(const CFd&) = delete;
    int Get() const { return m_fd; }
    int Release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

std::string MarkFolder()
{
    const char* tmp = std::getenv("TMPDIR");
    const std::string base = tmp != nullptr && tmp[0] == '/' ? tmp : "/tmp";
    return base + "/tellmar-" + std::to_string(::getuid());
}

// Opens the user's folder of marks, creating it when `create`; -1 with
// `error` when it is missing (and not created) or not the user's own.
int OpenFolder(bool create, std::string& folder, std::string& error)
{
    folder = MarkFolder();
    if (create && ::mkdir(folder.c_str(), S_IRWXU) != 0 && errno != EEXIST) {
        error = "mark folder " + folder + ": " + std::strerror(errno);
        return -1;
    }
    CFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (fd.Get() < 0) {
        error = "mark folder " + folder + ": " +
                (errno == ELOOP || errno == ENOTDIR ? "is not a folder of its own"
                                                    : std::strerror(errno));
        return -1;
    }
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0 || info.st_uid != ::getuid() ||
        (info.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
        error = "mark folder " + folder + ": belongs to another user or is open to others";
        return -1;
    }
    return fd.Release();
}

// The mark's file name: one per device, whatever name leads to it.
bool MarkName(const COM_PORT_t& port, std::string& name)
{
    const std::string& node = port.strNode.empty() ? port.strPath : port.strNode;
    struct stat info {};
    if (node.empty() || ::stat(node.c_str(), &info) != 0) {
        return false;
    }
    if (S_ISCHR(info.st_mode)) {
        name = "watch-c" + std::to_string(major(info.st_rdev)) + "." +
               std::to_string(minor(info.st_rdev));
    } else {
        name = "watch-f" + std::to_string(info.st_dev) + "." + std::to_string(info.st_ino);
    }
    return true;
}

// Whether another open description holds the lock of `fd`.
bool LockedElsewhere(int fd)
{
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    return ::fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
}

std::string ReadAll(int fd)
{
    std::string text;
    char buffer[512];
    off_t at = 0;
    for (;;) {
        const ssize_t got = ::pread(fd, buffer, sizeof buffer, at);
        if (got <= 0) {
            return text;
        }
        text.append(buffer, static_cast<std::size_t>(got));
        at += got;
    }
}

bool Alive(std::int64_t pid)
{
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

// The holder of a locked mark file: its text, read again while it is not a
// whole mark of a live process (it is being written over a dead watch's).
WATCH_HOLDER_t ReadHolder(int fd)
{
    WATCH_HOLDER_t holder;
    holder.bWatched = true;
    for (int tries = 0; tries < kReadTries; ++tries) {
        WATCH_HOLDER_t read;
        if (ParseWatchMarkText(ReadAll(fd), read) && Alive(read.nPid)) {
            holder.nPid = read.nPid;
            holder.strStore = read.strStore;
            return holder;
        }
        SleepMs(kReadPauseMs);
    }
    return holder;
}

std::string Absolute(const std::string& path)
{
    if (path.empty() || path[0] == '/') {
        return path;
    }
    char* here = ::getcwd(nullptr, 0);
    if (here == nullptr) {
        return path;
    }
    std::string full = here;
    std::free(here);
    return full + "/" + path;
}

bool SameInode(int fd, int folder, const std::string& name)
{
    struct stat held {};
    struct stat named {};
    return ::fstat(fd, &held) == 0 &&
           ::fstatat(folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

}  // namespace

CWatchMark::~CWatchMark()
{
    Release();
}

bool CWatchMark::Take(const COM_PORT_t& port, const std::string& storePath, std::string& error)
{
    Release();
    std::string name;
    if (!MarkName(port, name)) {
        error = "mark of " + port.strName + ": " + std::strerror(ENOENT);
        return false;
    }
    std::string folderPath;
    const CFd folder(OpenFolder(true, folderPath, error));
    if (folder.Get() < 0) {
        return false;
    }
    const std::string text = WatchMarkText(::getpid(), Absolute(storePath));
    // A file removed by the watch that held it just before, or a test of
    // the mark in progress, is met by trying again.
    for (int tries = 0; tries < kReadTries; ++tries) {
        CFd fd(::openat(folder.Get(), name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC,
                        S_IRUSR | S_IWUSR));
        struct stat info {};
        if (fd.Get() < 0 || ::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
            error = "mark " + folderPath + "/" + name + ": " +
                    (fd.Get() < 0 ? (errno == ELOOP ? "is a symbolic link" : std::strerror(errno))
                                  : "is not a regular file");
            return false;
        }
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        if (::fcntl(fd.Get(), F_OFD_SETLK, &lock) != 0) {
            if (errno != EAGAIN && errno != EACCES) {
                error = "mark " + folderPath + "/" + name + ": " + std::strerror(errno);
                return false;
            }
            error = WatchHolderText(ReadHolder(fd.Get()));
            return false;
        }
        if (!SameInode(fd.Get(), folder.Get(), name)) {
            continue;
        }
        // The new text first, then the end cut: a reader sees the old text
        // or the new one, never a mix (and the old one names a dead process).
        if (::pwrite(fd.Get(), text.data(), text.size(), 0) != static_cast<ssize_t>(text.size()) ||
            ::ftruncate(fd.Get(), static_cast<off_t>(text.size())) != 0) {
            error = "mark " + folderPath + "/" + name + ": " + std::strerror(errno);
            return false;
        }
        m_handle = fd.Release();
        m_path = folderPath + "/" + name;
        return true;
    }
    error = "mark " + folderPath + "/" + name + ": it keeps changing";
    return false;
}

void CWatchMark::Release()
{
    if (m_handle == -1) {
        return;
    }
    // Removed while it is still locked, so that no watch takes a file that
    // is about to go (one that opened it before checks that it is still
    // there once it holds the lock).
    ::unlink(m_path.c_str());
    ::close(static_cast<int>(m_handle));
    m_handle = -1;
    m_path.clear();
}

WATCH_HOLDER_t CWatchMark::Test(const COM_PORT_t& port)
{
    std::string name;
    std::string folderPath;
    std::string error;
    if (!MarkName(port, name)) {
        return WATCH_HOLDER_t();
    }
    const CFd folder(OpenFolder(false, folderPath, error));
    if (folder.Get() < 0) {
        return WATCH_HOLDER_t();
    }
    const CFd fd(::openat(folder.Get(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (fd.Get() < 0 || !LockedElsewhere(fd.Get())) {
        return WATCH_HOLDER_t();
    }
    return ReadHolder(fd.Get());
}
