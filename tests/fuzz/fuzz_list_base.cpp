// The listing of the base driver (AT+CMGL, used by the M35, ME909s, MG301
// and Q2406B models): the reply fed in the pieces polls deliver. Only
// indexes of "+CMGL:" headers may be offered for deletion, an unreadable
// entry never is, and what is handed out stays bounded.
#include <cstddef>
#include <cstdint>
#include <string>

#include "drivers/phone_card_base.h"
#include "fuzz_replies.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const FUZZ_REPLIES_t input = ReadFuzzReplies(data, size);
    CPhoneCardBase driver;
    std::string seen;
    FeedInPieces(
        input.Reply(0), input.piece,
        [&](const std::string& reply) { return driver.ParseList(reply); }, seen);
    RequireOfferedFrom(driver.GetListedIndexes(), ResultIndexes(seen, "+CMGL"));
    for (const SmsUnreadable& entry : driver.GetUnreadable()) {
        for (int index : driver.GetListedIndexes()) {
            FuzzRequire(index != entry.nIndex);
        }
    }
    RequireBoundedMessages(driver, size);
    return 0;
}
