#include "platform/trace_file.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include "platform/serial_device.h"

namespace {

// The system's text without the line end it carries.
std::string ErrorText(DWORD code)
{
    std::string text = FormatSystemError(static_cast<int>(code));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

}  // namespace

std::FILE* OpenTraceFile(const std::string& path, std::string& error)
{
    // FILE_FLAG_OPEN_REPARSE_POINT opens a link itself rather than what it
    // leads to; it is then refused below. The handle is not inherited.
    const HANDLE handle =
        CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = ErrorText(GetLastError());
        return nullptr;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        error = "is a symbolic link";
        CloseHandle(handle);
        return nullptr;
    }
    if (GetFileType(handle) != FILE_TYPE_DISK ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        error = "is not a regular file";
        CloseHandle(handle);
        return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_APPEND | _O_WRONLY);
    if (fd < 0) {
        error = ErrorText(ERROR_INVALID_HANDLE);
        CloseHandle(handle);
        return nullptr;
    }
    std::FILE* file = _fdopen(fd, "a");
    if (file == nullptr) {
        error = ErrorText(ERROR_NOT_ENOUGH_MEMORY);
        _close(fd);
    }
    return file;
}
