#include "platform/stream_output.h"

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "platform/serial_device.h"

namespace {

std::string ErrorText(int code)
{
    std::string text = FormatSystemError(code);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

bool IsRegularFile(int fd)
{
    struct stat st {};
    return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

void PrepareStreamOutput()
{
    std::signal(SIGPIPE, SIG_IGN);
}

bool WriteStreamRecord(const std::string& bytes, std::string& error)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(STDOUT_FILENO, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            error = ErrorText(n < 0 ? errno : EIO);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    if (IsRegularFile(STDOUT_FILENO) && ::fsync(STDOUT_FILENO) != 0) {
        error = ErrorText(errno);
        return false;
    }
    return true;
}

bool StreamOutputClosed()
{
    struct stat st {};
    if (::fstat(STDOUT_FILENO, &st) != 0 || !(S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode))) {
        return false;
    }
    // The write end of a pipe whose readers have all gone polls as an error.
    pollfd out{STDOUT_FILENO, 0, 0};
    return ::poll(&out, 1, 0) == 1 && (out.revents & (POLLERR | POLLHUP)) != 0;
}
