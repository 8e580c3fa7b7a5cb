#include "support/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string>

extern char** environ;

namespace {

void CloseFd(int& fd)
{
    if (fd >= 0)
        close(fd);
    fd = -1;
}

}  // namespace

ProcessResult RunProcess(const std::vector<std::string>& argv,
                         const std::vector<std::pair<std::string, std::string>>& env,
                         const std::string& stdinText, int timeoutSec)
{
    ProcessResult result{-1, "", ""};
    if (argv.empty())
        return result;
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) != 0)
        return result;
    if (pipe2(out, O_CLOEXEC) != 0) {
        close(in[0]);
        close(in[1]);
        return result;
    }
    if (pipe2(err, O_CLOEXEC) != 0) {
        close(in[0]);
        close(in[1]);
        close(out[0]);
        close(out[1]);
        return result;
    }
    // Built before fork: the child may only make async-signal-safe calls.
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<std::string> envText;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        bool replaced = false;
        for (const auto& [name, value] : env)
            replaced = replaced || entry.rfind(name + "=", 0) == 0;
        if (!replaced)
            envText.push_back(entry);
    }
    for (const auto& [name, value] : env)
        envText.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (const std::string& e : envText)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);

    pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        execve(args[0], args.data(), envp.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    if (pid < 0) {
        close(in[1]);
        close(out[0]);
        close(err[0]);
        return result;
    }
    int inFd = in[1], outFd = out[0], errFd = err[0];
    fcntl(inFd, F_SETFL, O_NONBLOCK);
    std::size_t written = 0;
    if (stdinText.empty())
        CloseFd(inFd);

    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSec);
    char buffer[65536];
    while (outFd >= 0 || errFd >= 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            result.timedOut = true;
            kill(pid, SIGKILL);
            break;
        }
        pollfd fds[3];
        nfds_t count = 0;
        int* owners[3];
        for (int* fd : {&inFd, &outFd, &errFd}) {
            if (*fd < 0)
                continue;
            fds[count] = {*fd, static_cast<short>(fd == &inFd ? POLLOUT : POLLIN), 0};
            owners[count++] = fd;
        }
        if (poll(fds, count, static_cast<int>(left.count())) < 0 && errno != EINTR)
            break;
        for (nfds_t i = 0; i < count; ++i) {
            if (!fds[i].revents)
                continue;
            int& fd = *owners[i];
            if (&fd == &inFd) {
                ssize_t n = write(fd, stdinText.data() + written, stdinText.size() - written);
                if (n > 0)
                    written += static_cast<std::size_t>(n);
                if (n < 0 && errno != EAGAIN && errno != EINTR)
                    CloseFd(fd);
                if (written == stdinText.size())
                    CloseFd(fd);
                continue;
            }
            ssize_t n = read(fd, buffer, sizeof buffer);
            if (n > 0) {
                (&fd == &outFd ? result.out : result.err)
                    .append(buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                CloseFd(fd);
            }
        }
    }
    CloseFd(inFd);
    CloseFd(outFd);
    CloseFd(errFd);
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    result.maxRssKb = usage.ru_maxrss;
    if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.exitCode = 128 + WTERMSIG(status);
    }
    return result;
}
