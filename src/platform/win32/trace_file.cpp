#include "platform/trace_file.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include "platform/win32/own_file.h"

std::FILE* OpenTraceFile(const std::string& path, std::string& error)
{
    // FILE_FLAG_OPEN_REPARSE_POINT opens a link itself rather than what it
    // leads to; it is then refused below. The handle is not inherited.
    const HANDLE handle =
        CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = FileErrorText(GetLastError());
        return nullptr;
    }
    if (!KeepRegularFile(handle, error)) {
        return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_APPEND | _O_WRONLY);
    if (fd < 0) {
        error = FileErrorText(ERROR_INVALID_HANDLE);
        CloseHandle(handle);
        return nullptr;
    }
    std::FILE* file = _fdopen(fd, "a");
    if (file == nullptr) {
        error = FileErrorText(ERROR_NOT_ENOUGH_MEMORY);
        _close(fd);
    }
    return file;
}
