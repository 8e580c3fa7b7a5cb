// The status and command parsers of every model: service centre, PDU mode,
// init, storage selection, deletion, the preparing command, prompt and
// message body, the PIN's state, entry and attempts, the character set and
// USSD, fed in the pieces polls deliver, and the identity match. Byte 0 chooses the model
// and the parser. Every answer is one of the three results, and what a parser keeps is cut from the
// reply.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "drivers/clm920_nc5.h"
#include "drivers/m35.h"
#include "drivers/mc323.h"
#include "drivers/me909s.h"
#include "drivers/mg301.h"
#include "drivers/phone_card_base.h"
#include "drivers/wavecom_q2406b.h"
#include "fuzz_replies.h"

namespace {

std::unique_ptr<CPhoneCardBase> MakeDriver(unsigned model)
{
    switch (model % 7) {
    case 0:
        return std::make_unique<CPhoneCardBase>();
    case 1:
        return std::make_unique<CClm920Nc5>();
    case 2:
        return std::make_unique<CM35>();
    case 3:
        return std::make_unique<CMe909s>();
    case 4:
        return std::make_unique<CMg301>();
    case 5:
        return std::make_unique<CWavecomQ2406b>();
    default:
        return std::make_unique<CMc323>();
    }
}

using Result = PARSE_RESULT_t;
using Parser = Result (CPhoneCardBase::*)(std::string);
using Test = bool (CPhoneCardBase::*)(std::string);

const Parser kParsers[] = {
    &CPhoneCardBase::ParseServiceCentre,
    &CPhoneCardBase::ParsePduMode,
    &CPhoneCardBase::ParseInit,
    &CPhoneCardBase::ParseSelectMeStorage,
    &CPhoneCardBase::ParseSelectSmStorage,
    &CPhoneCardBase::ParseDeleteAll,
    &CPhoneCardBase::ParsePrepareRead,
    &CPhoneCardBase::ParseSendPrompt,
    &CPhoneCardBase::ParseSendBody,
    &CPhoneCardBase::ParsePinState,
    &CPhoneCardBase::ParseEnterPin,
    &CPhoneCardBase::ParsePinAttempts,
    &CPhoneCardBase::ParseCharset,
    &CPhoneCardBase::ParseUssd,
};

// The yes/no parsers: each answer counts as final, as their callers use them.
const Test kTests[] = {
    &CPhoneCardBase::MatchIdentity,
};

constexpr unsigned kParserCount = sizeof kParsers / sizeof kParsers[0];
constexpr unsigned kTestCount = sizeof kTests / sizeof kTests[0];

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const FUZZ_REPLIES_t input = ReadFuzzReplies(data, size);
    const std::unique_ptr<CPhoneCardBase> driver = MakeDriver(input.choice);
    const unsigned which = (input.choice / 7) % (kParserCount + kTestCount);
    const std::string& reply = input.Reply(0);
    std::string seen;
    if (which < kParserCount) {
        const Parser parse = kParsers[which];
        FeedInPieces(
            reply, input.piece, [&](const std::string& r) { return ((*driver).*parse)(r); }, seen);
    } else {
        (*driver.*kTests[which - kParserCount])(reply);
        seen = reply;
    }
    // What a parser keeps is a part of the reply, at most trimmed; an error
    // text may carry a short prefix of the driver's own.
    FuzzRequire(driver->ServiceCentre().size() <= seen.size());
    FuzzRequire(driver->GetLastErrorText().size() <= seen.size() + 64);
    FuzzRequire(!driver->RetryableError() || seen.find("ERROR") != std::string::npos);
    FuzzRequire(driver->PinState().size() <= seen.size());
    FuzzRequire(driver->Charset().size() <= seen.size());
    FuzzRequire(driver->UssdReply().size() <= 4 * seen.size());
    FuzzRequire(driver->LastReference() >= -1 && driver->LastReference() <= 255);
    return 0;
}
