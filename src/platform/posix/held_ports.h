#pragma once
// The ports this process holds, so that each is handed back as it was found
// when it is closed and when the process ends without closing it.

#include <termios.h>

// Takes a slot for the open port `fd` with the line settings found at open;
// false when every slot is taken.
bool HoldPort(int fd, const termios& found);

// Hands the port back, once what was written has been sent (TCSADRAIN also
// waits for the transmitter), and frees its slot; the descriptor stays open.
void ReleasePort(int fd);
