// The readers of the USSD, PIN and storage answers: the +CUSD result and its
// text in every character set, the +CPIN state, the attempts left of each
// module family and the storages of +CPMS=?, fed the growing prefixes of a
// reply as polls deliver it. Byte 0 chooses the character set and the key
// of the attempts. Nothing read is longer than what came, and a text grows
// at most to four bytes per character read.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "codec/reply_text.h"
#include "codec/sim_pin.h"
#include "codec/ussd_text.h"
#include "fuzz_replies.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const char* const kCharsets[] = {"", "IRA", "GSM", "UCS2", "8859-1"};
    static const struct {
        const char* key;
        std::size_t field;
    } kAttempts[] = {{"^CPIN:", 3}, {"+QTRPIN:", 0}, {"+CPINC:", 0}};
    const FUZZ_REPLIES_t input = ReadFuzzReplies(data, size);
    const std::string& reply = input.Reply(0);
    const std::string charset = kCharsets[input.choice % 5];

    std::string seen;
    USSD_REPLY_t ussd;
    FeedInPieces(
        reply, input.piece,
        [&](const std::string& r) {
            ussd = FindUssdReply(r);
            return ussd.bFound ? PARSE_SUCCEED : PARSE_INCOMPLETE;
        },
        seen);
    if (ussd.bFound) {
        FuzzRequire(ussd.nStatus >= 0);
        FuzzRequire(ussd.strText.size() <= seen.size());
        FuzzRequire(seen.find(ussd.strText) != std::string::npos);
        FuzzRequire(UssdText(ussd, charset).size() <= 4 * ussd.strText.size() + 4);
    }
    FuzzRequire(CharsetOfReply(reply).size() <= reply.size());

    const std::string state = PinStateOfReply(reply);
    FuzzRequire(state.size() <= reply.size());
    FuzzRequire(SimLockOf(state) != SIM_LOCK_UNKNOWN || state.empty());
    const auto& attempts = kAttempts[(input.choice / 5) % 3];
    const int left = AttemptsOfReply(reply, attempts.key, attempts.field);
    FuzzRequire(left >= -1 && left <= 9999);

    std::size_t names = 0;
    for (const std::string& storage : ReadStoragesOfReply(reply)) {
        FuzzRequire(!storage.empty());
        names += storage.size();
    }
    FuzzRequire(names <= reply.size());
    return 0;
}
