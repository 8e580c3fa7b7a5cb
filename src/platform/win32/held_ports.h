#pragma once
// The ports this process holds, so that each is handed back as it was found
// (line settings and time-outs) when it is closed and when the process ends
// without closing it; the next program finds the port as it was.

#include <windows.h>

// Takes a slot for the open port `handle` with the line settings `dcb` found
// at open and its present time-outs. A port that gets no slot (every slot
// taken, or its time-outs unreadable) still works but is not handed back.
void HoldPort(HANDLE handle, const DCB& dcb);

// Hands the port back, once what was written has been sent, and frees its
// slot; the handle stays open.
void ReleasePort(HANDLE handle);
