#pragma once
// The mark a running `tellmar sms watch` holds on each port it watches, so
// that a send command can tell that the port is busy because of a watch, and
// which one: its process id and the store it hands sends through.
//
// The mark is a lock the system drops when the process ends in any way, a
// SIGKILL or a crash included, so a mark is never left behind by a watch
// that is gone. On Linux it is an flock(2)'d file per port in a folder of
// the user's own, ${TMPDIR:-/tmp}/tellmar-<uid> (mode 0700, refused when it
// is a link, someone else's, or open to others); the file (mode 0600, never
// followed through a link) is named by the device's number, so every name
// of one device (a link in /dev/serial/by-id, the node itself) is one mark.
// On Windows it is a region lock (LockFileEx) on a file per port name in
// %TEMP%\tellmar. Both hold the watch's pid and its store path as text.
//
// Only processes of the same user see each other's marks: a send run by
// another user finds the port busy as it would find any other program's.

#include <cstdint>
#include <string>

#include "platform/port.h"

// What a port's mark says.
struct WATCH_HOLDER_t {
    bool bWatched = false;  // a live watch holds the port
    std::int64_t nPid = 0;  // its process id (0 when the mark could not be read)
    // The store the watch was started with, as an absolute path; empty when
    // it runs without one.
    std::string strStore;
};

// "tellmar sms watch (pid 1234)", without the pid when it is not known.
std::string WatchName(const WATCH_HOLDER_t& holder);
// "held by tellmar sms watch (pid 1234)": the reason a send gives for a port
// a watch holds.
std::string WatchHolderText(const WATCH_HOLDER_t& holder);

class CWatchMark {
public:
    CWatchMark() = default;
    // Releases the mark.
    ~CWatchMark();
    CWatchMark(const CWatchMark&) = delete;
    CWatchMark& operator=(const CWatchMark&) = delete;

    // Takes the mark of `port` for this process, recording this process's id
    // and `storePath` (made absolute; empty: no store). Never waits. False
    // with `error` set when another watch holds it (WatchHolderText of that
    // watch) or the mark cannot be made (the folder or the file is refused or
    // cannot be created: the system's text). Taking a second port, or the
    // same one again, needs a mark object of its own; a mark already held by
    // this object is released first.
    bool Take(const COM_PORT_t& port, const std::string& storePath, std::string& error);

    // Lets the mark go (and removes its file); nothing when none is held.
    void Release();

    bool Held() const { return m_handle != -1; }

    // What the mark of `port` says now: not watched (no mark, or one whose
    // watch is gone), or watched with the watch's pid and store. Never
    // waits long (a mark being written is read again a few times, at most
    // about 50 ms). A port without a device (not found) is not watched.
    static WATCH_HOLDER_t Test(const COM_PORT_t& port);

private:
    std::intptr_t m_handle = -1;
    std::string m_path;  // the mark's file
};
