#include <windows.h>

#include <string>

#include "iconv/text_literal.h"
#include "platform/serial_device.h"
#include "platform/win32/wide_text.h"

void SetLastSystemError(int code)
{
    SetLastError(static_cast<DWORD>(code));
}

std::string FormatSystemError(int code)
{
    if (code == 0) {
        code = static_cast<int>(GetLastError());
    }
    // The wide text, converted here, is right whatever the ANSI code page;
    // it keeps the "\r\n" that system texts end with.
    LPWSTR text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
        reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    if (length == 0 || text == nullptr) {
        return GB("{未定义错误描述(") + std::to_string(code) + ")}";
    }
    const std::string internal = WideToInternal(std::wstring(text, length));
    LocalFree(text);
    return internal;
}

OPEN_FAILURE_t OpenFailureOf(int code)
{
    switch (code) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return OPEN_FAILURE_BUSY;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return OPEN_FAILURE_NOT_FOUND;
    default:
        return OPEN_FAILURE_OTHER;
    }
}
