#include "platform/store_file.h"

#include <windows.h>

#include <vector>

#include "platform/win32/own_file.h"

namespace {

// Text of a code page (CP_ACP, as the environment gives a path, or CP_UTF8)
// as UTF-16.
std::wstring Wide(const std::string& text, UINT codePage)
{
    const int size =
        MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0) {
        MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                            size);
    }
    return wide;
}

std::string Utf8(const std::wstring& wide)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(),
                            size, nullptr, nullptr);
    }
    return text;
}

bool SameFile(HANDLE one, HANDLE other)
{
    BY_HANDLE_FILE_INFORMATION a{};
    BY_HANDLE_FILE_INFORMATION b{};
    return GetFileInformationByHandle(one, &a) && GetFileInformationByHandle(other, &b) &&
           a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

}  // namespace

bool StoreFile::Open(const std::string& path, std::string& error)
{
    Close();
    const std::wstring wide = Wide(path, CP_ACP);
    if (wide.empty()) {
        error = FileErrorText(ERROR_PATH_NOT_FOUND);
        return false;
    }
    // FILE_FLAG_OPEN_REPARSE_POINT opens a link itself rather than what it
    // leads to; it is then refused below. Without FILE_SHARE_DELETE nobody
    // can rename or delete the file while it is held, so the name SQLite
    // opens next is this file.
    const HANDLE handle = CreateFileW(
        wide.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = FileErrorText(GetLastError());
        return false;
    }
    if (!KeepRegularFile(handle, error)) {
        return false;
    }
    const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    std::vector<wchar_t> full(size + 1, L'\0');
    if (size == 0 || GetFullPathNameW(wide.c_str(), size + 1, full.data(), nullptr) == 0) {
        error = FileErrorText(GetLastError());
        CloseHandle(handle);
        return false;
    }
    m_handle = reinterpret_cast<std::intptr_t>(handle);
    m_sqliteName = Utf8(full.data());
    return true;
}

bool StoreFile::StillNamed() const
{
    if (m_handle == -1) {
        return false;
    }
    const std::wstring wide = Wide(m_sqliteName, CP_UTF8);
    const HANDLE named = CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (named == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool same = SameFile(reinterpret_cast<HANDLE>(m_handle), named);
    CloseHandle(named);
    return same;
}

void StoreFile::Close()
{
    if (m_handle != -1) {
        CloseHandle(reinterpret_cast<HANDLE>(m_handle));
        m_handle = -1;
    }
}

bool SameStoreFile(const std::string& one, const std::string& other)
{
    if (one.empty() || other.empty()) {
        return false;
    }
    auto open = [](const std::string& path) {
        return CreateFileW(Wide(path, CP_ACP).c_str(), FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    const HANDLE a = open(one);
    if (a == INVALID_HANDLE_VALUE) {
        return false;
    }
    const HANDLE b = open(other);
    const bool same = b != INVALID_HANDLE_VALUE && SameFile(a, b);
    if (b != INVALID_HANDLE_VALUE) {
        CloseHandle(b);
    }
    CloseHandle(a);
    return same;
}
