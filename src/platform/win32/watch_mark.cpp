// The watch mark on Windows: a region lock (LockFileEx) on a file per port
// name in %TEMP%\tellmar. The system drops the lock when the handle closes,
// which the end of the process does however it ends. The lock covers one
// byte far beyond the text, so the text stays readable while it is held. A
// test of the mark takes the lock for an instant and gives it back; a watch
// taking its mark meanwhile tries again.

#include <windows.h>

#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/watch_mark.h"
#include "platform/watch_mark_text.h"
#include "platform/win32/own_file.h"
#include "platform/win32/wide_text.h"

namespace {

constexpr int kTries = 10;
constexpr int kPauseMs = 5;
constexpr DWORD kLockOffsetHigh = 1;  // the locked byte: at 4 GiB

std::wstring MarkFolder()
{
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD size = GetTempPathW(MAX_PATH + 1, temp);
    std::wstring folder = size > 0 && size <= MAX_PATH ? std::wstring(temp, size) : L".\\";
    if (folder.back() != L'\\') {
        folder += L'\\';
    }
    return folder + L"tellmar";
}

// One file per port name, in upper case; characters that cannot be in a
// file name are written as their code.
std::wstring MarkFile(const COM_PORT_t& port)
{
    std::wstring name = L"watch-";
    for (const char c : port.strName) {
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || c == '-' || c == '_') {
            name += static_cast<wchar_t>(c);
        } else if (c >= 'a' && c <= 'z') {
            name += static_cast<wchar_t>(c - 'a' + 'A');
        } else {
            name += L"%" + std::to_wstring(static_cast<unsigned char>(c));
        }
    }
    return MarkFolder() + L"\\" + name + L".lock";
}

HANDLE OpenMark(const std::wstring& path, DWORD access, DWORD disposition)
{
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, disposition, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                       nullptr);
}

bool Lock(HANDLE handle)
{
    OVERLAPPED at{};
    at.OffsetHigh = kLockOffsetHigh;
    return LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) !=
           FALSE;
}

void Unlock(HANDLE handle)
{
    OVERLAPPED at{};
    at.OffsetHigh = kLockOffsetHigh;
    UnlockFileEx(handle, 0, 1, 0, &at);
}

std::string ReadAll(HANDLE handle)
{
    std::string text;
    char buffer[512];
    OVERLAPPED at{};
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(handle, buffer, sizeof buffer, &got, &at) || got == 0) {
            return text;
        }
        text.append(buffer, got);
        at.Offset += got;
    }
}

bool Alive(std::int64_t pid)
{
    const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
    if (process == nullptr) {
        return GetLastError() == ERROR_ACCESS_DENIED;
    }
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

WATCH_HOLDER_t ReadHolder(HANDLE handle)
{
    WATCH_HOLDER_t holder;
    holder.bWatched = true;
    for (int tries = 0; tries < kTries; ++tries) {
        WATCH_HOLDER_t read;
        if (ParseWatchMarkText(ReadAll(handle), read) && Alive(read.nPid)) {
            holder.nPid = read.nPid;
            holder.strStore = read.strStore;
            return holder;
        }
        SleepMs(kPauseMs);
    }
    return holder;
}

// The store's path as the store opens it: in the ANSI code page.
std::string FullPath(const std::string& path)
{
    if (path.empty()) {
        return path;
    }
    const DWORD size = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
    std::vector<char> full(size + 1, '\0');
    if (size == 0 || GetFullPathNameA(path.c_str(), size + 1, full.data(), nullptr) == 0) {
        return path;
    }
    return full.data();
}

}  // namespace

CWatchMark::~CWatchMark()
{
    Release();
}

bool CWatchMark::Take(const COM_PORT_t& port, const std::string& storePath, std::string& error)
{
    Release();
    const std::wstring folder = MarkFolder();
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        error = "mark folder " + WideToInternal(folder) + ": " + FileErrorText(GetLastError());
        return false;
    }
    const std::wstring path = MarkFile(port);
    const HANDLE handle = OpenMark(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
    if (handle == INVALID_HANDLE_VALUE) {
        error = "mark " + WideToInternal(path) + ": " + FileErrorText(GetLastError());
        return false;
    }
    std::string kept;
    if (!KeepRegularFile(handle, kept)) {
        error = "mark " + WideToInternal(path) + ": " + kept;
        return false;
    }
    bool locked = false;
    for (int tries = 0; tries < kTries && !locked; ++tries) {
        locked = Lock(handle);
        if (!locked) {
            SleepMs(kPauseMs);
        }
    }
    if (!locked) {
        error = WatchHolderText(ReadHolder(handle));
        CloseHandle(handle);
        return false;
    }
    const std::string text = WatchMarkText(GetCurrentProcessId(), FullPath(storePath));
    DWORD written = 0;
    if (!WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written != text.size() || !SetEndOfFile(handle)) {
        error = "mark " + WideToInternal(path) + ": " + FileErrorText(GetLastError());
        CloseHandle(handle);
        return false;
    }
    m_handle = reinterpret_cast<std::intptr_t>(handle);
    m_path = WideToInternal(path);
    return true;
}

void CWatchMark::Release()
{
    if (m_handle == -1) {
        return;
    }
    const HANDLE handle = reinterpret_cast<HANDLE>(m_handle);
    // The text goes before the lock, so no reader takes it for a live watch.
    SetFilePointer(handle, 0, nullptr, FILE_BEGIN);
    SetEndOfFile(handle);
    Unlock(handle);
    CloseHandle(handle);
    m_handle = -1;
    m_path.clear();
}

WATCH_HOLDER_t CWatchMark::Test(const COM_PORT_t& port)
{
    const HANDLE handle = OpenMark(MarkFile(port), GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
    if (handle == INVALID_HANDLE_VALUE) {
        return WATCH_HOLDER_t();
    }
    WATCH_HOLDER_t holder;
    if (Lock(handle)) {
        Unlock(handle);
    } else {
        holder = ReadHolder(handle);
    }
    CloseHandle(handle);
    return holder;
}
