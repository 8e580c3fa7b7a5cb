#include "platform/store_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

bool StoreFile::Open(const std::string& path, std::string& error)
{
    Close();
    if (path.empty()) {
        error = std::strerror(ENOENT);
        return false;
    }
    // O_NONBLOCK keeps a FIFO from holding the open; nothing is read or
    // written through this descriptor.
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                          S_IRUSR | S_IWUSR);
    if (fd < 0) {
        // O_NOFOLLOW on a symbolic link fails with ELOOP; say what it means.
        error = errno == ELOOP ? "is a symbolic link" : std::strerror(errno);
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        error = "is not a regular file";
        ::close(fd);
        return false;
    }
    // SQLite resolves every symbolic link of a name it opens; with its
    // no-follow flag it refuses them all instead. The folder is resolved
    // here, so that only the last component (checked above) is left to it.
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    char* resolved = ::realpath(folder.c_str(), nullptr);
    if (resolved == nullptr) {
        error = std::strerror(errno);
        ::close(fd);
        return false;
    }
    std::string name = resolved;
    std::free(resolved);
    if (name.empty() || name.back() != '/') {
        name += '/';
    }
    name += slash == std::string::npos ? path : path.substr(slash + 1);
    m_handle = fd;
    m_sqliteName = name;
    return true;
}

bool StoreFile::StillNamed() const
{
    struct stat held {};
    struct stat named {};
    return m_handle >= 0 && ::fstat(static_cast<int>(m_handle), &held) == 0 &&
           ::lstat(m_sqliteName.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
           held.st_ino == named.st_ino;
}

void StoreFile::Close()
{
    if (m_handle >= 0) {
        ::close(static_cast<int>(m_handle));
        m_handle = -1;
    }
}

bool SameStoreFile(const std::string& one, const std::string& other)
{
    struct stat a {};
    struct stat b {};
    return !one.empty() && !other.empty() && ::stat(one.c_str(), &a) == 0 &&
           ::stat(other.c_str(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}
