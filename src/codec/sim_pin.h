#pragma once
// The SIM's PIN state as modules report it (+CPIN, 3GPP TS 27.007 8.3) and
// the attempts left that some modules report in a command of their own.
// Pure functions over reply texts; they never fail.

#include <cstddef>
#include <string>

enum SIM_LOCK_t {
    SIM_LOCK_UNKNOWN,  // not asked, or no state in the answer
    SIM_LOCK_READY,    // "READY": nothing to enter
    SIM_LOCK_PIN,      // "SIM PIN": the SIM waits for its PIN
    SIM_LOCK_PUK,      // "SIM PUK": blocked, only its PUK unblocks it
    SIM_LOCK_OTHER,    // any other code ("SIM PIN2", "PH-SIM PIN", ...)
};

// The <code> of the first complete "+CPIN: <code>" line (the line end has
// come; the blank after the colon is optional), without quotes and blanks
// around it, in upper case; empty when the reply holds no such line. The
// line alone is the answer: Wavecom modules send no OK after it.
std::string PinStateOfReply(const std::string& reply);

// What a <code> means.
SIM_LOCK_t SimLockOf(const std::string& state);

// The number in field `field` (0: the first after the colon) of the first
// complete line of the reply that begins with `key` ("+QTRPIN:", "^CPIN:",
// "+CPINC:"); fields are cut at commas, blanks around them do not count.
// -1 when there is no such line or the field holds no number.
int AttemptsOfReply(const std::string& reply, const std::string& key, std::size_t field);
