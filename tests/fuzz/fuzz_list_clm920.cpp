// The CLM920_NC5 route: the index list of AT+CMGD=? fed in pieces, then one
// AT+CMGR read per listed index, each answered by the next reply. A read is
// asked only for an index of the list, and only an index that was read may
// be offered for deletion.
#include <cstddef>
#include <cstdint>
#include <string>

#include "drivers/clm920_nc5.h"
#include "fuzz_replies.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const FUZZ_REPLIES_t input = ReadFuzzReplies(data, size);
    CClm920Nc5 driver;
    std::string seen;
    FeedInPieces(
        input.Reply(0), input.piece,
        [&](const std::string& reply) { return driver.ParseList(reply); }, seen);
    const std::set<int> read = RunSingleReads(driver, input, 1);
    RequireOfferedFrom(std::vector<int>(read.begin(), read.end()),
                       IndexesInParentheses(seen, "+CMGD"));
    RequireOfferedFrom(driver.GetListedIndexes(), read);
    RequireBoundedMessages(driver, size);
    return 0;
}
