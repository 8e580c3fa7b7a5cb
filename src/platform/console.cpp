#include "platform/console.h"

#include <atomic>
#include <cstdlib>

#include "iconv/gb18030_text.h"
#include "platform/charset.h"
#include "platform/console_backend.h"

namespace console_backend {

void OutputBuffer::Append(const std::string& internal)
{
    m_text += internal;
    const bool lineDone = internal.find('\n') != std::string::npos;
    if (m_text.size() >= kOutputBufferLimit || (lineDone && OutputIsInteractive())) {
        Flush();
    }
}

void OutputBuffer::Flush()
{
    if (!m_text.empty()) {
        WriteOutput(m_text);
        m_text.clear();
    }
}

int KeyInput::ReadByte(int timeoutMs)
{
    if (!m_ahead.empty()) {
        const unsigned char c = static_cast<unsigned char>(m_ahead.front());
        m_ahead.erase(0, 1);
        return c;
    }
    return ReadInputByte(timeoutMs);
}

void KeyInput::PushBack(int byte)
{
    if (byte >= 0) {
        m_ahead.insert(m_ahead.begin(), static_cast<char>(byte));
    }
}

int KeyInput::QueueCharacter(const std::string& internal)
{
    for (std::size_t k = 1; k < internal.size(); ++k) {
        keys.push_back(static_cast<unsigned char>(internal[k]));
    }
    return internal.empty() ? 0 : static_cast<unsigned char>(internal[0]);
}

namespace {

int ReadCharacter(KeyInput& in, int lead)
{
    std::string bytes(1, static_cast<char>(lead));
    if (ConsoleCharset() == "UTF-8") {
        const int length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        for (int k = 1; k < length; ++k) {
            const int c = in.ReadByte(kSequenceWaitMs);
            if (c < 0x80 || c > 0xBF) {
                in.PushBack(c);
                break;
            }
            bytes.push_back(static_cast<char>(c));
        }
    } else if (LeadsTwoByteCharacter(static_cast<unsigned char>(lead))) {
        const int trail = in.ReadByte(kSequenceWaitMs);
        if (trail >= 0) {
            bytes.push_back(static_cast<char>(trail));
        }
    }
    return in.QueueCharacter(FromConsoleCharset(bytes));
}

}  // namespace

int ReadKeyFromBytes(KeyInput& in)
{
    const int c = in.ReadByte(-1);
    if (c < 0) {
        return kKeyQuit;
    }
    if (c == '\r') {
        // CR LF arriving together (a pipe written on Windows) is one Enter.
        const int next = in.ReadByte(0);
        if (next != '\n') {
            in.PushBack(next);
        }
        return kKeyEnter;
    }
    if (c == '\n') {
        return kKeyEnter;
    }
    if (c == 0x1B) {
        return KeyAfterEsc(in);
    }
    if (c >= 0x80) {
        return ReadCharacter(in, c);
    }
    return c;
}

bool CutTypedLine(std::string& line, bool overflow)
{
    const bool longer = overflow || line.size() > kMaxTypedLineBytes;
    if (longer) {
        line = CutToCharBoundary(line, kMaxTypedLineBytes);
    }
    return longer;
}

bool ReadPipedLine(const std::function<int()>& nextByte, const std::string& charset,
                   std::string& line, bool& cut)
{
    std::string raw;
    bool any = false;
    bool overflow = false;
    for (;;) {
        const int c = nextByte();
        if (c < 0) {
            break;
        }
        any = true;
        if (c == '\n') {
            break;
        }
        if (raw.size() < kRawLineLimit) {
            raw.push_back(static_cast<char>(c));
        } else {
            overflow = true;
        }
    }
    if (!any) {
        return false;
    }
    if (!overflow && !raw.empty() && raw.back() == '\r') {
        raw.pop_back();
    }
    line = ConvertFromCharset(raw, charset);
    cut = CutTypedLine(line, overflow);
    return true;
}

}  // namespace console_backend

namespace {

using console_backend::Colour;
using console_backend::KeyInput;
using console_backend::OutputBuffer;

class Writer {
public:
    ~Writer() { Flush(); }

    void Append(const std::string& internal)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_buffer.Append(internal);
    }

    void AppendColoured(Colour colour, const std::string& internal)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        console_backend::WriteColoured(colour, internal, m_buffer);
    }

    void Flush()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_buffer.Flush();
    }

private:
    std::mutex m_mutex;
    OutputBuffer m_buffer;
};

Writer& TheWriter()
{
    // Function-local so that it exists before any static of another file
    // writes, and is flushed by its destructor at exit.
    static Writer writer;
    return writer;
}

std::atomic<bool> gNotesToStandardError{false};

void PrintColoured(Colour colour, const std::string& text)
{
    if (console_backend::OutputIsInteractive() && std::getenv("NO_COLOR") == nullptr) {
        TheWriter().AppendColoured(colour, text);
    } else {
        TheWriter().Append(text);
    }
}

KeyInput& TheKeyInput()
{
    static KeyInput input;
    return input;
}

}  // namespace

void ConsoleWrite(const std::string& text)
{
    TheWriter().Append(text);
}

void ConsoleNote(const std::string& text)
{
    if (!gNotesToStandardError.load()) {
        ConsoleWrite(text);
        return;
    }
    static std::mutex noteMutex;
    std::lock_guard<std::mutex> lock(noteMutex);
    console_backend::WriteError(text);
}

void SendNotesToStandardError()
{
    gNotesToStandardError = true;
}

void PrintGreen(std::string text)
{
    PrintColoured(Colour::kGreen, text);
}

void PrintRed(std::string text)
{
    PrintColoured(Colour::kRed, text);
}

void ConsoleFlush()
{
    TheWriter().Flush();
}

int ConsoleReadKey()
{
    ConsoleFlush();
    KeyInput& in = TheKeyInput();
    std::lock_guard<std::mutex> lock(in.mutex);
    if (!in.keys.empty()) {
        const int key = in.keys.front();
        in.keys.pop_front();
        return key;
    }
    return console_backend::ReadKey(in);
}

bool ConsoleReadLine(std::string& line, bool* cut)
{
    ConsoleFlush();
    KeyInput& in = TheKeyInput();
    std::lock_guard<std::mutex> lock(in.mutex);
    // Codes left of an earlier key press belong to that key, not to the line.
    in.keys.clear();
    bool overflow = false;
    bool shortened = false;
    switch (console_backend::ReadConsoleLine(line, console_backend::kRawLineLimit, overflow)) {
    case console_backend::ConsoleLine::kEnd:
        return false;
    case console_backend::ConsoleLine::kLine:
        shortened = console_backend::CutTypedLine(line, overflow);
        break;
    case console_backend::ConsoleLine::kNotConsole:
        if (!console_backend::ReadPipedLine([&in] { return in.ReadByte(-1); }, ConsoleCharset(),
                                            line, shortened)) {
            return false;
        }
        break;
    }
    if (cut != nullptr) {
        *cut = shortened;
    }
    return true;
}
