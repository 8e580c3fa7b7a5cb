#pragma once
// One simulated module on one line: takes the bytes a program writes, speaks
// the AT dialogue of its model and says what to send back and when. It does
// no I/O itself; the server (pty_server.h) moves the bytes.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "event_log.h"
#include "models.h"
#include "sim_config.h"
#include "sim_state.h"
#include "sms_pdu.h"

namespace modemsim {

// Bytes to send `gapMs` after the previous piece went out (or after now);
// `hangUp`: the line closes once they are out.
struct Outgoing {
    std::string bytes;
    int gapMs = 0;
    bool hangUp = false;
};

// What a module keeps whichever of its ports a command comes in on: the
// storages, the phone book, the network mode, the next message reference
// and the parts of long messages received so far. The ports of one module
// (PortConfig::moduleCom) share it; the settings of the dialogue (echo,
// formats, the selected storages) belong to each port.
struct ModuleMemory {
    std::map<std::string, std::map<int, StoredMessage>> storage;
    std::map<std::string, std::map<int, PhoneBookEntry>> phoneBook;
    int modeConfig = 2;
    int messageReference = 1;
    // Parts of concatenated messages received so far, by number/ref/total.
    std::map<std::string, std::map<int, Submit>> parts;
    // The SIM's lock: "READY", "SIM PIN" or "SIM PUK", the PIN in force and
    // the attempts left.
    std::string simState = "READY";
    std::string pin;
    int pinLeft = 3;
    int pukLeft = 10;
    // A USSD session waits for the user's answer (+CUSD: 1 was sent).
    bool ussdOpen = false;
    // Arrivals a full storage could not take: the network delivers them
    // again once a deletion makes room (the memory-available notice of TS
    // 23.040 10.3).
    std::vector<Arrival> waiting;
};

class Modem {
public:
    // `memory`: the module's memory when another of its ports has made it
    // already; when empty it is made from the configuration and the state
    // file, and handed back for the module's other ports.
    Modem(const PortConfig& config, EventLog& log, SimState& state,
          std::shared_ptr<ModuleMemory>& memory);

    // Bytes from the program, sent at `baud`; at a rate the module is not
    // set to it cannot make them out.
    void OnInput(const std::string& bytes, int baud);
    // A message the network delivers now (arrivals of the configuration):
    // stored at its index or the lowest free one, logged ("arrival"),
    // announced with +CMTI when it asks to be and the module still talks.
    // A storage that is full drops it (logged with a reason).
    void Arrive(const Arrival& arrival);
    // What to send since the last call, in order.
    std::vector<Outgoing> TakeOutput();

    // The module has gone (the "vanish" fault): the line must be closed.
    bool Vanished() const { return m_vanished; }
    // The module never stops sending (the "flood" fault).
    bool Flooding() const { return m_flooding; }
    std::string FloodChunk();
    // The module sends one byte every TrickleEveryMs() for ever (the
    // "trickle" fault).
    bool Trickling() const { return m_trickling; }
    int TrickleEveryMs() const { return m_config.faults.trickleEveryMs; }

private:
    enum class Mode { Command, PduBody, TextBody, CdmaBody };

    void OnCommandByte(char c, const std::string& rest, std::size_t& i);
    void OnBodyByte(char c);
    // Back to command mode with +CMS ERROR 304, logged as a rejected send.
    void RejectLongBody();
    void RunCommand(const std::string& raw);
    // Whether the normalised command starts with the normalised prefix.
    static bool Matches(const std::string& command, const std::string& prefix);
    // The command starts a fault of the "from this command on" kind; true
    // when the module answers nothing from now on.
    bool StartsFault(const std::string& raw);
    // Answers one normalised command (upper case, blanks outside quotes
    // left out, "AT" removed) by the first row of the command table that
    // matches it and that this module speaks; an unknown command otherwise.
    void Answer(const std::string& cmd);

    // Which modules answer a row of the command table (ModelInfo's families).
    enum class Speakers { All, Gsm, Cdma, Huawei, ModeConfig, Atver };
    // The answer of a row: `cmd` the normalised command, `args` what follows
    // the row's pattern.
    using Answerer = void (Modem::*)(const std::string& cmd, const std::string& args);
    struct CommandRow {
        const char* pattern;
        bool prefix;  // the pattern begins the command; its arguments follow
        Speakers speakers;
        Answerer answer;
    };
    static const std::vector<CommandRow>& Commands();
    bool Speaks(Speakers speakers) const;

    // The answers of the command table.
    void AnswerOk(const std::string& cmd, const std::string& args);
    void AnswerEcho(const std::string& cmd, const std::string& args);
    void AnswerReset(const std::string& cmd, const std::string& args);
    void AnswerAti(const std::string& cmd, const std::string& args);
    void AnswerAti3(const std::string& cmd, const std::string& args);
    void AnswerMaker(const std::string& cmd, const std::string& args);
    void AnswerModel(const std::string& cmd, const std::string& args);
    void AnswerSetCmee(const std::string& cmd, const std::string& args);
    void AnswerCmee(const std::string& cmd, const std::string& args);
    void AnswerSerialNumber(const std::string& cmd, const std::string& args);
    void AnswerWmsn(const std::string& cmd, const std::string& args);
    void AnswerCcid(const std::string& cmd, const std::string& args);
    void AnswerHuaweiIccid(const std::string& cmd, const std::string& args);
    void AnswerCxxcid(const std::string& cmd, const std::string& args);
    void AnswerSignal(const std::string& cmd, const std::string& args);
    void AnswerOperator(const std::string& cmd, const std::string& args);
    void AnswerServiceCentre(const std::string& cmd, const std::string& args);
    void AnswerSetServiceCentre(const std::string& cmd, const std::string& args);
    void AnswerSetCmgf(const std::string& cmd, const std::string& args);
    void AnswerCmgf(const std::string& cmd, const std::string& args);
    void AnswerStorage(const std::string& cmd, const std::string& args);
    void AnswerList(const std::string& cmd, const std::string& args);
    void AnswerRead(const std::string& cmd, const std::string& args);
    void AnswerDelete(const std::string& cmd, const std::string& args);
    void AnswerSendCommand(const std::string& cmd, const std::string& args);
    void AnswerModeConfig(const std::string& cmd, const std::string& args);
    void AnswerSetModeConfig(const std::string& cmd, const std::string& args);
    void AnswerCaretReports(const std::string& cmd, const std::string& args);
    void AnswerRssiReports(const std::string& cmd, const std::string& args);
    void AnswerCdmaFormat(const std::string& cmd, const std::string& args);
    void AnswerCdmaSendCommand(const std::string& cmd, const std::string& args);
    void AnswerCdmaList(const std::string& cmd, const std::string& args);
    void AnswerCdmaRead(const std::string& cmd, const std::string& args);
    void AnswerSetPhoneBookStorage(const std::string& cmd, const std::string& args);
    void AnswerPhoneBookStorage(const std::string& cmd, const std::string& args);
    void AnswerPhoneBookRead(const std::string& cmd, const std::string& args);
    void AnswerPhoneBookWrite(const std::string& cmd, const std::string& args);
    // The SIM's PIN (modem_sim_card.cpp).
    void AnswerPinState(const std::string& cmd, const std::string& args);
    void AnswerEnterPin(const std::string& cmd, const std::string& args);
    void AnswerPinCounter(const std::string& cmd, const std::string& args);
    // The character set and USSD (modem_ussd.cpp).
    void AnswerCharset(const std::string& cmd, const std::string& args);
    void AnswerSetCharset(const std::string& cmd, const std::string& args);
    void AnswerUssd(const std::string& cmd, const std::string& args);
    // Where the network's messages and status reports are announced
    // (AT+CNMI), and the setting (AT+CNMI?).
    void AnswerSetIndications(const std::string& cmd, const std::string& args);
    void AnswerIndications(const std::string& cmd, const std::string& args);
    // Whether the module sends indications at all (the "no_indications"
    // fault keeps them back).
    bool Indicates() const;
    // A setting of 0 to `most`: stored, and answered OK; false (nothing
    // answered) for anything else.
    bool SetNumber(const std::string& args, int most, int& setting);
    // The identity text `key` of the configuration, else the model's own.
    void Identity(const char* key, const char* builtIn);

    void FinishPduBody();
    void FinishTextBody();
    void FinishCdmaBody();
    void Deliver(const Submit& submit);
    // The network's status report on an accepted message that asked for one,
    // with the reference the network gave it: kept or routed as the
    // configuration and AT+CNMI say.
    void ReportDelivery(const Submit& submit, int reference);
    // The body just counted is refused by the injected network error.
    bool RefusesBody() const;
    // The reference of the send being accepted; the next one wraps at 256.
    int NextReference();

    // Reply texts.
    void Reply(const std::string& text);
    void Ok();
    // The lines, then OK; a bare OK when there are none.
    void Info(const std::vector<std::string>& lines);
    void Unknown();
    void CmeError(int code);
    void CmsError(int code);
    void InjectedError(int code);

    std::string Noise(std::size_t count);
    // Without a SIM a general command gets +CME ERROR 10 and a message
    // command +CMS ERROR 310; false once that reply is queued.
    bool NeedsSim();
    bool NeedsSimForMessages();
    // The same, and a locked SIM refuses too: +CME ERROR 11 (PIN) or 12
    // (PUK) for a general command.
    bool NeedsReadySim();
    // The SIM waits for its PIN or PUK.
    bool SimLocked() const;
    std::map<int, StoredMessage>& Selected();
    void SavePhoneBook();
    void Log(Json::Value event);

    PortConfig m_config;
    const ModelInfo* m_model;
    EventLog& m_log;
    SimState& m_state;
    std::vector<Outgoing> m_out;

    Mode m_mode = Mode::Command;
    std::string m_line;
    bool m_lineOverflow = false;
    std::string m_body;
    int m_announcedLength = 0;
    std::string m_bodyNumber;

    bool m_echo;
    int m_cmee = 0;
    int m_cmgf = 0;
    int m_cdmaFormat = 6;
    bool m_caretReports = true;  // ^CURC
    bool m_rssiReports = true;   // ^RSSIREP
    std::string m_mem1 = "SM";
    std::string m_mem2 = "SM";
    std::string m_mem3 = "SM";
    std::string m_phoneBookStorage = "ME";
    // The character set of AT+CSCS: each port has its own, as each AT
    // channel of a module keeps its settings.
    std::string m_charset;
    // AT+CNMI: <mode>, <mt> (1: a stored message is announced with +CMTI),
    // <bm>, <ds> (1: +CDS lines, 2: kept with +CDSI) and <bfr>.
    int m_cnmi[5] = {0, 0, 0, 0, 0};
    int m_commands = 0;
    int m_bodies = 0;
    bool m_silent = false;
    bool m_vanished = false;
    bool m_flooding = false;
    bool m_trickling = false;
    bool m_vanishInReplyDone = false;
    int m_cutReplyAt = -1;  // >= 0: the reply being built is cut there and the line closes
    int m_replyDelayMs = 0;
    std::uint32_t m_noiseState;

    std::shared_ptr<ModuleMemory> m_memory;
};

}  // namespace modemsim
