#pragma once
// The application object: one per run, created by main.

#include <functional>
#include <string>
#include <vector>

#include "app/device_errors.h"
#include "codec/sim_pin.h"
#include "drivers/models.h"
#include "drivers/phone_card_base.h"
#include "drivers/sms_message.h"
#include "iconv/text_literal.h"
#include "platform/port.h"
#include "platform/stop_request.h"
#include "platform/styled_text.h"
#include "scan/check_result.h"
#include "scan/scan_options.h"
#include "transport/at_port.h"

// The text sent when none is given, on the command line or in the dialogue.
inline const std::string& DefaultSmsText()
{
    return GB(" 北京Corvel短信为您服务 ");
}

// A usable port as discovery sees it.
struct COM_DEVICE_t {
    COM_PORT_t port;
    int nBaud = 9600;
    bool bAT = false;
    std::string strCardNo;  // the SIM card number as the modem answered it
    // The SIM's ICCID as the ports document shows it (the store's "sim");
    // empty when none was read.
    std::string strIccid;
    std::string strSignal;
    std::string strSerialNo;
    PHONE_TYPE_t nDeviceType = PHONE_TYPE_BASE;
    bool bPortFound = true;
    // How the AT transactions with the device are paced: discovery gives
    // every device the application's pacing.
    AT_PACING_t pacing;
    // Why the port is not usable, as the ports document gives it (the state's
    // reason of scan/port_view.h: "Code:16   Device or resource busy", "no
    // answer", "not found", "SIM PIN required", ...); empty for a usable port.
    std::string strReason;
    // The SIM's lock as the scan found it: a locked SIM is sent nothing but
    // its PIN (the pin command).
    SIM_LOCK_t nSimLock = SIM_LOCK_UNKNOWN;
    // What stops the work on the device: the commands give every device the
    // application's stop token; a default one never stops.
    CStopToken stop{};
};

// The outcome of one number on one device.
struct SEND_RESULT_t {
    COM_PORT_t port;
    std::string strNumber;
    std::string strTime;
    COM_CMD_OPERATE_RESULT_t nResult = CMD_RESULT_SUCCEED;
    std::string strMessage;
    // For a device that was not usable (codes 2 to 9): the device's reason.
    std::string strError;
    // With delivery reports asked for (--report) and a model that gives
    // references: the reference (TP-MR) of each part the network accepted,
    // in part order (-1 where the modem gave none); "references".
    bool bReferences = false;
    std::vector<int> vecReferences;
};

// The outcome of the pin or the ussd command on one device.
struct PORT_COMMAND_RESULT_t {
    COM_PORT_t port;
    std::string strTime;
    COM_CMD_OPERATE_RESULT_t nResult = CMD_RESULT_SUCCEED;
    std::string strMessage;  // code 1: the modem's error, or why the exchange failed
    std::string strError;    // codes 2 to 9: the device's reason
    // pin: the PIN attempts left after a refused PIN, where the module tells
    // them ("attempts"); -1 when it does not.
    int nAttempts = -1;
    // ussd: the answer's text ("reply"), and whether the network asked for
    // more input ("more"; the session was closed).
    bool bReply = false;
    std::string strReply;
    bool bMore = false;
};

// A port that an inbox command could not read at all, and why.
struct UNAVAILABLE_PORT_t {
    COM_PORT_t port;
    std::string strError;
};

// Messages of one device, as an inbox read leaves them.
struct INBOX_READ_t {
    std::vector<SmsMessage> vecMe;  // modem memory
    std::vector<SmsMessage> vecSm;  // SIM
    bool bMeRead = false;           // storage selected and read
    bool bSmRead = false;
    bool bMeComplete = false;  // listing and every single read succeeded
    bool bSmComplete = false;
    std::vector<int> vecMeIndexes;  // storage indexes read, for deleting exactly them
    std::vector<int> vecSmIndexes;
    std::vector<SmsUnreadable> vecMeUnreadable;  // stored messages that could not be read
    std::vector<SmsUnreadable> vecSmUnreadable;
    // The storage of status reports ("SR"), where the module offers one
    // (AT+CPMS=?): read after the other two.
    bool bSrOffered = false;
    std::vector<SmsMessage> vecSr;
    bool bSrRead = false;
    bool bSrComplete = false;
    std::vector<int> vecSrIndexes;
    std::vector<SmsUnreadable> vecSrUnreadable;
    // Why the read is not complete ("error" of the inbox document): empty
    // when both storages were read completely.
    std::string strError;
    // Why nothing could be read, for the interactive receive's failure line.
    bool bHasDriver = false;
    DEVICE_ERRORS_t errors;
};

class CApplication {
public:
    // The interactive mode, which the console layer provides (console/console.h).
    using InteractiveMode = int (*)(CApplication& app);
    // One send result, as soon as it is there.
    using SendReport = std::function<void(const SEND_RESULT_t& result)>;

    // app/dispatch: entry modes; without arguments `interactive` runs. The
    // exit status: 0, or 128 + the signal that stopped a command.
    int Run(int argc, char** argv, InteractiveMode interactive);
    // The command forms stop in order on SIGINT, SIGTERM and SIGHUP: the
    // signals make m_stopToken's request, which the scan options carry too.
    void CatchStops();

    // scan results, kept as the application's state
    void RefreshPorts();

    // discovery and driver sessions
    //
    // Every port: one device per modem (scan/port_view.h), so a modem that
    // answers on two ports is worked through one of them. Named ports: one
    // device per item, as named, also when two of them are one modem (a note
    // says so).
    // `servedElsewhere` (for sends): every-port form only, a port for which
    // it is true counts as a complete modem whatever the scan found (a
    // watch holds it and sends for this command).
    bool DiscoverDevices(const std::string& portList, std::vector<COM_DEVICE_t>& devices,
                         const std::function<bool(const COM_PORT_t&)>& servedElsewhere = {});
    // The complete modems of the named ports, or of every port when
    // `portList` is empty (one device per modem; each named port once), and
    // the ports that could not be read at all with the reason: for every
    // port the ones that are not complete (a port of a modem read through
    // another is neither), for named ports each one that is not complete or
    // that the scan did not see; a modem whose SIM is locked is among them
    // ("SIM PIN required"). False, with nothing collected, when the port
    // list is malformed.
    bool CollectInboxDevices(const std::string& portList, std::vector<COM_DEVICE_t>& devices,
                             std::vector<UNAVAILABLE_PORT_t>& unavailable);

    // send command: a leading "--report" or "-r" asks for delivery reports,
    // then the forms without it
    void RunSendCommand(int argc, char** argv);
    // `statusReports`: every part asks the network for a status report, and
    // the results carry the references of the parts.
    int ParseSendArguments(int argc, char** argv, bool statusReports = false);
    // The send loop: every number through every device, all devices at once.
    // `report` gets each result on the calling thread, in device order and,
    // within a device, in number order, as soon as it and those before it
    // are there.
    void SendToDevices(const std::vector<COM_DEVICE_t>& devices,
                       const std::vector<std::string>& numbers, const std::string& text,
                       const SendReport& report, bool statusReports = false);
    // The send loop of the command: m_vecSendResults emptied, then filled.
    void CollectSendResults(const std::vector<COM_DEVICE_t>& devices,
                            const std::vector<std::string>& numbers, const std::string& text,
                            bool statusReports = false);
    void PrintSendResults();

    // pin command: the arguments after "pin" (ports, then the PIN). The PIN
    // is entered once on each named port whose SIM waits for it.
    void RunPinCommand(const std::vector<std::string>& args);
    // ussd command: the arguments after "ussd" (ports, then the code).
    void RunUssdCommand(const std::vector<std::string>& args);
    // What the pin and ussd commands share: ports, then a value that must
    // pass isValid (else invalidOutcome's document) before anything is
    // scanned or written; then work on each named device, and the document.
    void RunNamedPortCommand(
        const std::vector<std::string>& args, bool (*isValid)(const std::string& value),
        int invalidOutcome,
        const std::function<PORT_COMMAND_RESULT_t(const COM_DEVICE_t&, const std::string&)>& work);

    // inbox command: the word, then the arguments that name its ports (none:
    // every complete modem)
    void RunInboxCommand(const std::string& word, const std::vector<std::string>& portArgs = {});

    // The watch (sms watch [PORTS]): JSON Lines on standard output until a
    // stop signal (status 0) or until standard output fails or is closed
    // (kWatchStatusOutputFailed); a malformed port list is refused before
    // anything is scanned (kWatchStatusBadArguments). The exit status.
    int RunWatchCommand(const std::vector<std::string>& portArgs);
    static constexpr int kWatchStatusOutputFailed = 1;
    static constexpr int kWatchStatusBadArguments = 2;

    // ports command: the scan of every port as one document
    void RunPortsCommand(bool compact);

    // How RefreshPorts scans: Run sets the quiet-line mode from
    // TELLMAR_PACING, the inbox command turns the probe's notes off.
    SCAN_OPTIONS_t m_scanOptions;
    // The pacing of every AT transaction of the run: Run sets the quiet-line
    // mode from TELLMAR_PACING.
    AT_PACING_t m_atPacing;
    // The stop request of the command forms: Run catches the stop signals
    // for them, and the commands give it to the scan and to every device.
    // The console keeps a token that never stops (the signals end it as
    // they always did).
    CStopToken m_stopToken;
    std::vector<COM_CHECK_RESULT_t> m_vecCheckResults;
    std::string m_strCostText;
    std::vector<SEND_RESULT_t> m_vecSendResults;
};

// Free functions of the command-line front end.
// Reads both storages of one device (modem memory first, then SIM), and
// the storage of status reports where the module offers one (AT+CPMS=?). A
// storage that cannot be selected or read is left empty with its read flag
// false; strError says what kept the read from being complete (a stop
// request ends the read: "Stopped by SIGTERM"). What was read before the
// stop is kept.
INBOX_READ_t ReadInbox(COM_DEVICE_t device);
// Empties both storages (each selected, then AT+CMGD=0,4), and the storage
// of status reports where offered; true only when every deletion
// succeeded. False for a device without a driver, and once a stop is
// requested.
bool ClearInbox(COM_DEVICE_t device);
// Deletes, per storage, only the indexes that a complete read returned, one
// AT+CMGD=<index> each, so a message that arrived after the read stays. True
// only when every storage read was read completely and every index was
// deleted. When no storage was read completely the port is not opened. Once
// a stop is requested no further deletion is sent (the one in progress
// ends), and the result is false.
bool ClearReadMessages(COM_DEVICE_t device, const INBOX_READ_t& read);

// The device of a scan record, its model identified by the record's ATI
// reply, as discovery builds it.
COM_DEVICE_t DeviceOfRecord(const COM_CHECK_RESULT_t& record, const AT_PACING_t& pacing);

std::string AppendSendTime(const std::string& text, const std::string& number,
                           const std::string& time);
// One number through a driver and its port, which may be open already (a
// watch's) or not (opened then): the one sequence of every send. The text
// gets the send time (AppendSendTime, the result's time); the driver's
// initialisation commands run, then the text is transmitted, a part the
// network refused with a retryable error up to three times in all. With
// `statusReports` and a model that gives references, every part asks for a
// status report and the result carries the references (the driver keeps
// the setting until the next send). Code 0 when every part went out, else 1
// with the reason (the modem's error, the port's, or "Stopped by SIGTERM: 1
// of 3 parts sent" when the port's stop request ended it). A port that
// stopped working stays failed (CAtPort::IsFailed).
SEND_RESULT_t SendOnPort(CPhoneCardBase& driver, CAtPort& port, const COM_PORT_t& com,
                         const std::string& number, const std::string& text, bool statusReports);
// The result of a number for a device nothing is sent through: a locked SIM
// (its code), no SIM (code 4), or no driver for its model (its status code,
// "设备不AT"), with the device's reason as "error"; `references`: the
// element shows "references" (empty), as a send asking for reports does.
SEND_RESULT_t UnusableSendResult(const COM_DEVICE_t& device, const std::string& number,
                                 bool references, bool hasDriver);
COM_CMD_OPERATE_RESULT_t DeviceStatusCode(const COM_DEVICE_t& device);

// The help text: a green title line, then the usage lines.
CStyledText HelpText();
// The version line.
std::string VersionText();
