#include "platform/port_trace.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <mutex>

#include "platform/clock.h"
#include "platform/serial_device.h"
#include "platform/trace_file.h"

namespace {

const char kVariable[] = "TELLMAR_TRACE";

// Read without the lock by every port call: the whole cost of a trace that
// is off. True only while gFile is open.
std::atomic<bool> gOn{false};
std::mutex gMutex;
std::FILE* gFile = nullptr;
std::string gPath;

void Report(const std::string& path, const std::string& problem)
{
    std::fprintf(stderr, "tellmar: %s=%s %s; no AT trace is written\n", kVariable, path.c_str(),
                 problem.c_str());
}

void StopLocked()
{
    gOn.store(false);
    if (gFile != nullptr) {
        std::fclose(gFile);
        gFile = nullptr;
    }
}

void WriteLocked(const std::string& line)
{
    if (gFile == nullptr) {
        return;
    }
    // The stream is unbuffered: one line is one write, so neither a buffer
    // boundary nor another process appending to the file can cut it.
    if (std::fwrite(line.data(), 1, line.size(), gFile) != line.size()) {
        // A full disk (or any write error) ends the trace, reported once.
        Report(gPath, std::string("cannot be written: ") + std::strerror(errno));
        StopLocked();
    }
}

// Each of `entries` ("<port> <dir> <text>", without line end) becomes a
// line. The time is taken under the lock, so the lines of the file are in
// time order whichever thread wrote them.
void WriteEntries(std::initializer_list<const std::string*> entries)
{
    std::lock_guard<std::mutex> lock(gMutex);
    const std::string ms = std::to_string(MonotonicMs());
    std::string lines;
    for (const std::string* entry : entries) {
        lines += ms + " " + *entry + "\n";
    }
    WriteLocked(lines);
}

std::string FailureText(const char* operation, int code)
{
    std::string text = FormatSystemError(code);
    text.erase(text.find_last_not_of("\r\n") + 1);
    // An unknown code's text is not ASCII.
    return std::string(operation) + " failed: Code:" + std::to_string(code) + "   " +
           EscapeTraceBytes(text);
}

char HexDigit(unsigned value)
{
    return "0123456789ABCDEF"[value & 0xFu];
}

}  // namespace

void StartPortTrace()
{
    const char* path = std::getenv(kVariable);
    if (path != nullptr && *path != '\0') {
        StartPortTraceAt(path);
    }
}

bool StartPortTraceAt(const std::string& path)
{
    std::lock_guard<std::mutex> lock(gMutex);
    StopLocked();
    std::string error;
    std::FILE* file = OpenTraceFile(path, error);
    if (file == nullptr) {
        Report(path, error);
        return false;
    }
    std::setvbuf(file, nullptr, _IONBF, 0);
    gFile = file;
    gPath = path;
    gOn.store(true);
    WriteLocked(std::to_string(MonotonicMs()) + " # trace started " + NowText() + " (UTC+8)\n");
    return gFile != nullptr;
}

void StopPortTrace()
{
    std::lock_guard<std::mutex> lock(gMutex);
    StopLocked();
}

bool PortTraceOn()
{
    return gOn.load(std::memory_order_relaxed);
}

void TracePortIo(const std::string& portName, char direction, const std::string& bytes,
                 int errorCode)
{
    if (!PortTraceOn()) {
        return;
    }
    const std::string data = TraceEntry(portName, direction, EscapeTraceBytes(bytes));
    if (errorCode == 0) {
        if (!bytes.empty()) {
            WriteEntries({&data});
        }
        return;
    }
    const std::string failure =
        TraceEntry(portName, '!', FailureText(direction == '>' ? "write" : "read", errorCode));
    if (bytes.empty()) {
        WriteEntries({&failure});
    } else {
        WriteEntries({&data, &failure});
    }
}

void TracePortOpenFailure(const std::string& portName, int errorCode)
{
    if (PortTraceOn()) {
        const std::string failure = TraceEntry(portName, '!', FailureText("open", errorCode));
        WriteEntries({&failure});
    }
}

std::string EscapeTraceBytes(const std::string& bytes)
{
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (const char c : bytes) {
        const unsigned char b = static_cast<unsigned char>(c);
        switch (b) {
        case '\\':
            out += "\\\\";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (b < 0x20 || b >= 0x7F) {
                out += "\\x";
                out += HexDigit(b >> 4);
                out += HexDigit(b);
            } else {
                out += c;
            }
        }
    }
    return out;
}

std::string TraceEntry(const std::string& portName, char direction, const std::string& text)
{
    return portName + " " + direction + " " + text;
}
