#pragma once
// The file of the message store (store/message_store.h), held open while
// SQLite opens it by name: the one part of the store that differs between
// systems.

#include <cstdint>
#include <string>

class StoreFile {
public:
    StoreFile() = default;
    ~StoreFile() { Close(); }
    StoreFile(const StoreFile&) = delete;
    StoreFile& operator=(const StoreFile&) = delete;

    // Opens `path` for reading and writing, creating it when missing with
    // access for its owner alone (mode 0600 on Linux; on Windows the file
    // inherits the folder's access list). The last component of the path
    // must not be a symbolic link (or, on Windows, any reparse point): it is
    // not followed. Only a regular file is accepted; opening never waits (a
    // FIFO is refused at once). False with `error` set to the system's text
    // of why not ("No such file or directory", "Is a directory", "is a
    // symbolic link", "is not a regular file", "Permission denied", ...).
    bool Open(const std::string& path, std::string& error);

    // The name under which SQLite is to open the file held, in UTF-8 (as
    // sqlite3_open_v2 takes it): on Linux the path with its folder resolved
    // to one without symbolic links, so SQLite may refuse every link it
    // meets (SQLITE_OPEN_NOFOLLOW); on Windows the full path.
    const std::string& SqliteName() const { return m_sqliteName; }

    // True when SqliteName() still leads to the very file held: nothing
    // replaced it since Open.
    bool StillNamed() const;

    // Lets go of the file. On Linux, call it before SQLite takes any lock on
    // the file: closing a descriptor drops every POSIX lock the process
    // holds on that file, SQLite's too.
    void Close();

private:
    std::intptr_t m_handle = -1;
    std::string m_sqliteName;
};

// Whether two paths name one file (the same device and inode on Linux, the
// same volume and file index on Windows), however each is written: relative
// or absolute, through links in its folders. False when either cannot be
// looked at.
bool SameStoreFile(const std::string& one, const std::string& other);
