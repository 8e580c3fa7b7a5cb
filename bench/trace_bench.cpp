// What the AT trace costs per port read or write: with TELLMAR_TRACE unset
// (the flag check alone) and set (a line formatted and written), beside the
// cost of the read it would accompany, one byte through a pseudo-terminal.
//
//   build/bench/trace_bench [CALLS]

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/port_trace.h"

namespace {

using Clock = std::chrono::steady_clock;

template <typename F>
double NanosecondsPerCall(long calls, F&& call)
{
    const auto start = Clock::now();
    for (long i = 0; i < calls; ++i) {
        call();
    }
    return std::chrono::duration<double, std::nano>(Clock::now() - start).count() / calls;
}

}  // namespace

int main(int argc, char** argv)
{
    const long calls = argc > 1 ? std::atol(argv[1]) : 200000;
    const std::string reply = "\r\n+CMGS: 12\r\n\r\nOK\r\n";

    const double off = NanosecondsPerCall(calls, [&] { TracePortIo("COM3", '<', reply, 0); });

    std::string dir =
        std::filesystem::temp_directory_path().string() + "/tellmar-tracebench-XXXXXX";
    if (::mkdtemp(dir.data()) == nullptr || !StartPortTraceAt(dir + "/trace.txt")) {
        return 1;
    }
    const double on = NanosecondsPerCall(calls / 10, [&] { TracePortIo("COM3", '<', reply, 0); });
    StopPortTrace();
    const auto traceBytes = std::filesystem::file_size(dir + "/trace.txt");
    std::filesystem::remove_all(dir);

    // One byte written on one side of a pseudo-terminal and read on the other:
    // far less than any modem reply costs, with no line speed at all.
    int master = -1;
    int slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
        return 1;
    }
    termios raw{};
    ::tcgetattr(slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave, TCSANOW, &raw);
    char byte = 'x';
    const double pty = NanosecondsPerCall(calls / 10, [&] {
        if (::write(master, &byte, 1) != 1 || ::read(slave, &byte, 1) != 1) {
            std::abort();
        }
    });
    ::close(master);
    ::close(slave);

    std::printf("trace off: %8.1f ns per read or write\n", off);
    std::printf("trace on:  %8.1f ns per read or write (%ju bytes written)\n", on,
                static_cast<std::uintmax_t>(traceBytes));
    std::printf("one byte through a pseudo-terminal: %8.1f ns\n", pty);
    return 0;
}
