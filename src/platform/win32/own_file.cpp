#include "platform/win32/own_file.h"

#include "platform/serial_device.h"

std::string FileErrorText(DWORD code)
{
    std::string text = FormatSystemError(static_cast<int>(code));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

bool KeepRegularFile(HANDLE handle, std::string& error)
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        error = "is a symbolic link";
        CloseHandle(handle);
        return false;
    }
    if (GetFileType(handle) != FILE_TYPE_DISK ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        error = "is not a regular file";
        CloseHandle(handle);
        return false;
    }
    return true;
}
