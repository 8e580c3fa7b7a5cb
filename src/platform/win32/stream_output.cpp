#include "platform/stream_output.h"

#include <windows.h>

#include <algorithm>

#include "platform/win32/own_file.h"

void PrepareStreamOutput() {}

bool WriteStreamRecord(const std::string& bytes, std::string& error)
{
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out == nullptr || out == INVALID_HANDLE_VALUE) {
        error = FileErrorText(ERROR_INVALID_HANDLE);
        return false;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
        if (!WriteFile(out, bytes.data() + done, chunk, &written, nullptr) || written == 0) {
            error = FileErrorText(GetLastError());
            return false;
        }
        done += written;
    }
    if (GetFileType(out) == FILE_TYPE_DISK && !FlushFileBuffers(out)) {
        error = FileErrorText(GetLastError());
        return false;
    }
    return true;
}

bool StreamOutputClosed()
{
    // A pipe whose reader has gone shows on the next write (ERROR_NO_DATA).
    return false;
}
