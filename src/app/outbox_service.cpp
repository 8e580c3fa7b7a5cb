// The watch's side of the outbox (app/outbox_service.h).

#include "app/outbox_service.h"

#include <optional>
#include <vector>

#include "app/outbox_records.h"
#include "drivers/result_codes.h"
#include "platform/clock.h"

namespace {

// A result that could not be recorded (the database busy for longer than its
// time-out) is tried again this often before the row is left to expire.
constexpr int kFinishTries = 3;

}  // namespace

OutboxResult SendingLeftBehind(const std::string& owner)
{
    OutboxResult result;
    result.code = CMD_RESULT_FAILED;
    result.message = owner + " ended while sending it: it may have been sent";
    result.time = NowText();
    return result;
}

bool ServeOutbox(MessageStore& store, const std::string& owner, const COM_PORT_t& port,
                 CAtPort& atPort, CPhoneCardBase& driver,
                 const std::function<void(const OUTBOX_SENT_t&)>& sent, std::string& error)
{
    const std::vector<std::string> ports = {port.strName};
    int expired = 0;
    if (!store.ExpireSending(ports, SendingLeftBehind("tellmar sms watch"), expired, error)) {
        return false;
    }
    while (!atPort.StopToken().StopRequested() && !atPort.IsFailed()) {
        std::optional<OutboxRow> row;
        if (!store.Claim(ports, owner, row, error)) {
            return false;
        }
        if (!row) {
            return true;
        }
        OUTBOX_SENT_t served;
        served.nId = row->id;
        served.result = SendOnPort(driver, atPort, port, row->request.number, row->request.text,
                                   OutboxAsksReports(row->request.options));
        const OutboxResult outcome = OutboxResultOf(served.result);
        bool finished = false;
        for (int tries = 0; tries < kFinishTries && !finished; ++tries) {
            finished = store.Finish(row->id, outcome, error);
        }
        sent(served);
        if (!finished) {
            return false;
        }
    }
    return true;
}
