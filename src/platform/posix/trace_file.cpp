#include "platform/trace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

std::FILE* OpenTraceFile(const std::string& path, std::string& error)
{
    // O_NONBLOCK keeps a FIFO from holding the open; it is cleared again
    // once the file is known to be a regular one.
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
               S_IRUSR | S_IWUSR);
    if (fd < 0) {
        // O_NOFOLLOW on a symbolic link fails with ELOOP; say what it means.
        error = errno == ELOOP ? "is a symbolic link" : std::strerror(errno);
        return nullptr;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        error = "is not a regular file";
        ::close(fd);
        return nullptr;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    std::FILE* file = ::fdopen(fd, "a");
    if (file == nullptr) {
        error = std::strerror(errno);
        ::close(fd);
    }
    return file;
}
