#pragma once
// How the driver and probe entries read their input: modem replies as a
// port delivers them.
//
// Input layout: byte 0 chooses what is fuzzed where an entry has a choice,
// byte 1 the size of the pieces in which a reply arrives (1 to 64 bytes, as
// polls gather it), the rest is the replies, one after the other, separated
// by the byte 0x1E. The seeds are recorded replies in this layout.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "codec/reply_text.h"
#include "drivers/result_codes.h"
#include "drivers/sms_message.h"
#include "fuzz_checks.h"

constexpr char kReplySeparator = '\x1E';

struct FUZZ_REPLIES_t {
    unsigned choice = 0;
    std::size_t piece = 1;
    std::vector<std::string> replies;

    // The reply at `i`, empty past the last one (a modem that stopped).
    const std::string& Reply(std::size_t i) const
    {
        static const std::string none;
        return i < replies.size() ? replies[i] : none;
    }
};

// The literals of the code under test hold internal (GB18030) bytes, as in
// the program, whichever compiler built it (clang has no GB18030 execution
// charset; tests/fuzz/CMakeLists.txt says how its build gets them).
inline void RequireInternalLiterals()
{
    // "设备未插卡"
    FuzzRequire(ResultTextZh(CMD_RESULT_NO_SIM) == "\xC9\xE8\xB1\xB8\xCE\xB4\xB2\xE5\xBF\xA8");
}

inline FUZZ_REPLIES_t ReadFuzzReplies(const std::uint8_t* data, std::size_t size)
{
    static const bool literalsChecked = (RequireInternalLiterals(), true);
    (void)literalsChecked;
    FUZZ_REPLIES_t input;
    if (size < 2) {
        return input;
    }
    input.choice = data[0];
    input.piece = 1 + data[1] % 64;
    std::string current;
    for (std::size_t i = 2; i < size; ++i) {
        if (data[i] == static_cast<std::uint8_t>(kReplySeparator)) {
            input.replies.push_back(current);
            current.clear();
        } else {
            current.push_back(static_cast<char>(data[i]));
        }
    }
    input.replies.push_back(current);
    return input;
}

inline bool IsResult(int result)
{
    return result == PARSE_SUCCEED || result == PARSE_FAILED || result == PARSE_INCOMPLETE;
}

// Feeds a parser the growing prefixes of `reply`, `piece` bytes more each
// time, as the transaction does, until it answers something other than
// "incomplete" or the reply has come whole. Returns the last answer and
// leaves in `seen` the prefix it was given.
template <class Parse>
int FeedInPieces(const std::string& reply, std::size_t piece, Parse parse, std::string& seen)
{
    int result = PARSE_INCOMPLETE;
    std::size_t length = 0;
    do {
        length = std::min(reply.size(), length + piece);
        seen = reply.substr(0, length);
        result = parse(seen);
        FuzzRequire(IsResult(result));
    } while (result == PARSE_INCOMPLETE && length < reply.size());
    return result;
}

// The index written from `i` on: plain decimal digits with blanks around
// them, ended by a comma, a closing parenthesis, a line end or the end.
inline bool IndexAt(const std::string& reply, std::size_t i, int& index)
{
    const auto blank = [&reply](std::size_t at) {
        return at < reply.size() && (reply[at] == ' ' || reply[at] == '\t');
    };
    while (blank(i)) {
        ++i;
    }
    long value = 0;
    std::size_t digits = 0;
    while (i < reply.size() && reply[i] >= '0' && reply[i] <= '9' && value < 100000000) {
        value = value * 10 + (reply[i] - '0');
        ++digits;
        ++i;
    }
    while (blank(i)) {
        ++i;
    }
    if (digits == 0 || (i < reply.size() && reply[i] != ',' && reply[i] != ')' &&
                        reply[i] != '\r' && reply[i] != '\n')) {
        return false;
    }
    index = static_cast<int>(value);
    return true;
}

// The indexes written right after each `key` of a reply or command ("=" of
// "AT+CMGR=3").
inline std::set<int> HeaderIndexes(const std::string& reply, const std::string& key)
{
    std::set<int> indexes;
    int index = 0;
    for (std::size_t at = reply.find(key); at != std::string::npos; at = reply.find(key, at + 1)) {
        if (IndexAt(reply, at + key.size(), index)) {
            indexes.insert(index);
        }
    }
    return indexes;
}

// Where the value of each result `name` ("+CMGL") starts, as modules write
// result lines: the name in either case, blanks allowed before its colon
// ("+CMGL: 1", "+cmgl:1", "+CMGL :1"). Anywhere in the reply, so that the
// set is never narrower than what a parser may take.
inline std::vector<std::size_t> ResultValueStarts(const std::string& reply, const std::string& name)
{
    const auto upper = [](char c) {
        return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    };
    std::vector<std::size_t> starts;
    for (std::size_t at = 0; at + name.size() <= reply.size(); ++at) {
        std::size_t i = 0;
        while (i < name.size() && upper(reply[at + i]) == upper(name[i])) {
            ++i;
        }
        if (i < name.size()) {
            continue;
        }
        std::size_t colon = at + name.size();
        while (colon < reply.size() && (reply[colon] == ' ' || reply[colon] == '\t')) {
            ++colon;
        }
        if (colon < reply.size() && reply[colon] == ':') {
            starts.push_back(colon + 1);
        }
    }
    return starts;
}

// The indexes that open the results `name` of a reply: the storage indexes
// of "+CMGL: 3,1,,23" or "^HCMGL: 3,...".
inline std::set<int> ResultIndexes(const std::string& reply, const std::string& name)
{
    std::set<int> indexes;
    int index = 0;
    for (std::size_t start : ResultValueStarts(reply, name)) {
        if (IndexAt(reply, start, index)) {
            indexes.insert(index);
        }
    }
    return indexes;
}

// Everything a driver hands out of what it read stays within a bound of
// what came: no reply can make it grow without end.
template <class Driver>
void RequireBoundedMessages(Driver& driver, std::size_t inputSize)
{
    std::size_t total = 0;
    for (const SmsMessage& m : driver.GetMessages()) {
        total += m.strFrom.size() + m.strTime.size() + m.strText.size();
    }
    for (const SmsUnreadable& u : driver.GetUnreadable()) {
        total += u.strPdu.size();
    }
    // A UCS-2 or 7-bit text is at most twice its octets in internal text,
    // each message adds a time and a number of fixed size.
    FuzzRequire(total <= 4 * inputSize + 64 * (driver.GetMessages().size() + 1));
}

// The numbers of the first "(...)" group after each result `name` of a
// reply, each written as plain decimal digits with blanks around it allowed:
// the storage indexes a "+CMGD: (1,2,5),(0-4)" answer lists.
inline std::set<int> IndexesInParentheses(const std::string& reply, const std::string& name)
{
    std::set<int> indexes;
    int index = 0;
    for (std::size_t start : ResultValueStarts(reply, name)) {
        const std::size_t open = reply.find('(', start);
        const std::size_t close = open == std::string::npos ? open : reply.find(')', open);
        if (close == std::string::npos) {
            continue;
        }
        // Each piece of the group ends at a comma; the added one ends the last.
        const std::string group = reply.substr(open + 1, close - open - 1) + ",";
        std::size_t piece = 0;
        for (std::size_t comma = group.find(','); comma != std::string::npos;
             comma = group.find(',', piece)) {
            if (IndexAt(group, piece, index)) {
                indexes.insert(index);
            }
            piece = comma + 1;
        }
    }
    return indexes;
}

// The reads of a driver that lists first and then reads one stored message
// at a time, as the transport runs them: at most 100 reads, each answered by
// the next reply. Returns the indexes the read commands named (the digits
// after "=").
template <class Driver>
std::set<int> RunSingleReads(Driver& driver, const FUZZ_REPLIES_t& input, std::size_t firstReply)
{
    std::set<int> read;
    for (int round = 0; round < 100 && driver.HasPendingRead(); ++round) {
        const std::string command = driver.ReadNextCommand();
        const std::set<int> named = HeaderIndexes(command, "=");
        FuzzRequire(named.size() == 1);
        read.insert(*named.begin());
        driver.ParseReadNext(input.Reply(firstReply + static_cast<std::size_t>(round)));
    }
    return read;
}

// Every index offered for deletion is one of `allowed`.
inline void RequireOfferedFrom(const std::vector<int>& offered, const std::set<int>& allowed)
{
    for (int index : offered) {
        FuzzRequire(allowed.count(index) == 1);
    }
}
