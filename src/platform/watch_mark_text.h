#pragma once
// The text a watch mark holds (platform/watch_mark.h), the same on every
// system:
//
//   tellmar watch
//   pid=1234
//   store=/var/lib/tellmar/messages.db
//
// The store line runs to the end of the text (a path may hold any byte but
// NUL) and is "store=" alone for a watch without a store.

#include <cstdint>
#include <string>

#include "platform/watch_mark.h"

std::string WatchMarkText(std::int64_t pid, const std::string& store);

// Fills the holder's pid and store from a mark's text; false (holder
// untouched) when the text is not a whole mark, as while it is being written.
bool ParseWatchMarkText(const std::string& text, WATCH_HOLDER_t& holder);
