#pragma once
// The modem driver interface and the base driver (device type 1).
//
// A driver never touches a port: each operation a modem can be asked for is a
// command operation that returns the AT text to write and a parse operation
// that takes the whole reply gathered so far and returns PARSE_SUCCEED,
// PARSE_FAILED or PARSE_INCOMPLETE (keep reading). The transport's SMS
// sequences (transport/sms_sequences.h) join the two. The interface holds
// the operations the program runs; a model overrides only where its module
// differs.
//
// The model classes, one file pair each named after its module:
//
//   type  class           module               files
//   2     CClm920Nc5      Yuga CLM920_NC5      clm920_nc5
//   3     CM35            Quectel M35          m35
//   4     CMe909s         Huawei ME909s-821    me909s
//   5     CMg301          Huawei MG301         mg301
//   6     CWavecomQ2406b  Wavecom Q2406B       wavecom_q2406b
//   7     CMc323          Huawei MC323 (CDMA)  mc323
//
// What identifies each model, and what the port scan asks it: models.h.

#include <string>
#include <utility>
#include <vector>

#include "codec/reply_text.h"
#include "drivers/result_codes.h"
#include "drivers/sms_indication.h"
#include "drivers/sms_message.h"

// (prompt command, body) of one message or one part of a long message.
using SendPair = std::pair<std::string, std::string>;

class CPhoneCardBase {
public:
    CPhoneCardBase() = default;
    virtual ~CPhoneCardBase();

    // Whether the "ATI" reply is of this driver's model: it holds the
    // identity text of the model's row in models.h (with "OK" where the row
    // asks for it). The base driver, which has no row, takes any reply that
    // holds "OK".
    virtual bool MatchIdentity(std::string reply);
    virtual std::string PduModeCommand();
    virtual PARSE_RESULT_t ParsePduMode(std::string reply);
    // One pair for a text of at most 70 UCS-2 characters (and at most 160
    // bytes), concatenated parts otherwise. Empty, with the codec's reason as error text, when the
    // message cannot be built (a service centre longer than 15 digits, a
    // destination longer than 20, a text of more than 255 parts).
    virtual std::vector<SendPair> BuildSendCommands(std::string number, std::string text);
    // Succeeds on a complete "OK" line, keeping the reference of its
    // "+CMGS: <mr>" line (LastReference); an error line fails and sets the
    // retry flag (RetryableError) when it carries a number from 500 to 600.
    virtual PARSE_RESULT_t ParseSendBody(std::string reply);
    virtual PARSE_RESULT_t ParseSendPrompt(std::string reply);
    virtual std::string ServiceCentreCommand();
    // Takes the number of a "+CSCA:" line (once the line is whole); a value
    // that must be read in the modem's character set waits for the set
    // (ServiceCentreNeedsCharset, ReadServiceCentreInCharset). A reply
    // without the line succeeds on OK and keeps the number before.
    virtual PARSE_RESULT_t ParseServiceCentre(std::string reply);
    // Reads the service centre that waits for it in the set ParseCharset
    // found (Charset()); a value that is no plain number in it, or no set,
    // leaves the centre empty, and the PDU leaves the centre to the modem.
    void ReadServiceCentreInCharset();
    virtual std::string DeleteAllCommand();
    virtual PARSE_RESULT_t ParseDeleteAll(std::string reply);
    virtual std::string PrepareReadCommand();
    virtual PARSE_RESULT_t ParsePrepareRead(std::string reply);
    virtual std::string ListCommand();
    // Rebuilds the messages, listed indexes and unreadable entries from
    // the whole reply on every call. "ERROR" fails the listing and leaves
    // them empty.
    virtual PARSE_RESULT_t ParseList(std::string reply);
    virtual bool HasPendingRead();
    virtual std::string ReadNextCommand();
    virtual bool ParseReadNext(std::string reply);
    virtual PHONE_TYPE_t GetDeviceType();
    virtual std::string GetLastErrorText();
    virtual std::string SelectMeStorageCommand();
    virtual PARSE_RESULT_t ParseSelectMeStorage(std::string reply);
    virtual std::string SelectSmStorageCommand();
    virtual PARSE_RESULT_t ParseSelectSmStorage(std::string reply);
    virtual std::vector<std::string> InitCommands();
    // Succeeds once the reply holds a final line, whatever it says.
    virtual PARSE_RESULT_t ParseInit(std::string reply);
    virtual std::vector<SendPair> BuildLongPduSend(std::string number, std::string text);
    virtual std::vector<SendPair> BuildPduSend(std::string number, std::string text);

    // A copy of the messages of the last listing.
    std::vector<SmsMessage> GetMessages() const { return m_vecMessages; }

    // Storage indexes of the messages the last listing read, so that a
    // caller can delete exactly what it has read (AT+CMGD=<index>): the
    // entries whose PDU was decoded, on either route (one listing, or one
    // read per index). Emptied when a listing starts.
    std::vector<int> GetListedIndexes() const { return m_vecListedIndexes; }

    // The stored messages of the last listing whose PDU could not be read,
    // by storage index; never among the listed indexes. Emptied when a
    // listing starts.
    std::vector<SmsUnreadable> GetUnreadable() const { return m_vecUnreadable; }

    // Before a storage is read: the messages, indexes and unreadable entries
    // of the last listing, the line not understood and the last error text
    // are emptied, so that nothing of an earlier storage passes for this
    // one's.
    void StartListing();

    // The first line of the last listing (or of a single read) that the
    // parse did not understand; empty when it understood every line. A
    // storage read with such a line is read in part: what the modem holds
    // there may be more than was reported.
    const std::string& NotUnderstoodLine() const { return m_strNotUnderstood; }

    // How many messages the last storage selection said the selected storage
    // holds (+CPMS: <used>,<total>...); -1 when it did not say. The listing's
    // deadline follows it.
    int StoredCount() const { return m_nStoredCount; }

    // Forgets the last error text, so that the next failing step's is its own.
    void ClearLastError() { m_strLastError.clear(); }

    // The last message body failed with a network error (a number from 500
    // to 600) that another attempt may overcome; ParseSendBody sets it.
    bool RetryableError() const { return m_bRetryableError; }
    // Before the first attempt of a message, so that the flag of an earlier
    // message cannot make this one repeat.
    void ClearRetryableError() { m_bRetryableError = false; }

    // The service centre the last service-centre query stored, exactly as
    // the modem quoted it (an international number keeps its "+"); the PDUs
    // carry it.
    const std::string& ServiceCentre() const { return m_strServiceCentre; }
    // The last service-centre value can only be read once the modem's
    // character set is known (AT+CSCS?).
    bool ServiceCentreNeedsCharset() const { return m_bCentreNeedsCharset; }
    // The last value could not be read (or its set not learnt): the PDUs
    // leave the centre to the modem.
    bool ServiceCentreLeftToModem() const { return m_bCentreLeftToModem; }

    // "AT+CMGD=<index>\r\n": deletes one stored message of the selected storage.
    std::string DeleteOneCommand(int index) const;

    // The storages a listing can be read from: "AT+CPMS=?\r\n" and its
    // answer, kept (codec/reply_text.h, ReadStoragesOfReply); any final line
    // succeeds.
    std::string ReadStoragesCommand() const;
    PARSE_RESULT_t ParseReadStorages(std::string reply);
    // Whether the answer offered a storage of its own for status reports
    // ("SR").
    bool OffersStatusReportStorage() const;
    // "AT+CPMS=\"SR\"\r\n": the one storage named (Wavecom modules take no
    // more); the general rule.
    std::string SelectSrStorageCommand() const;
    PARSE_RESULT_t ParseSelectSrStorage(std::string reply);

    // Delivery reports. With `ask`, every SUBMIT built afterwards (each part
    // of a long text) asks the network for a status report (TP-SRR).
    void SetStatusReports(bool ask) { m_bStatusReports = ask; }
    // Whether the model's sends ask for reports and give references: the
    // CDMA model's do not.
    virtual bool SupportsStatusReports();
    // The message reference (TP-MR, 0 to 255) the network gave the last
    // message body that ParseSendBody saw accepted, from its "+CMGS: <mr>"
    // line; -1 when the reply held none.
    int LastReference() const { return m_nLastReference; }

    // The SIM's PIN. "AT+CPIN?\r\n".
    std::string PinStateCommand() const;
    // Succeeds on a complete "+CPIN: <code>" line, whose code it keeps
    // (PinState; codec/sim_pin.h): the line alone is the answer, Wavecom
    // modules send no OK after it. An error line (+CME ERROR: 10 for no SIM)
    // fails with that line as error text and leaves the state empty.
    PARSE_RESULT_t ParsePinState(std::string reply);
    const std::string& PinState() const { return m_strPinState; }
    // "AT+CPIN=\"<pin>\"\r\n". The argument is what the port's trace must
    // hide (PinTraceSecret).
    std::string EnterPinCommand(const std::string& pin) const;
    // "\"<pin>\"": the argument of EnterPinCommand.
    static std::string PinTraceSecret(const std::string& pin);
    // OK unlocks; an error line (+CME ERROR: 16 for a wrong PIN) fails with
    // that line as error text.
    PARSE_RESULT_t ParseEnterPin(std::string reply);
    // The module's own command for the PIN attempts left; empty where it has
    // none (the base driver, the CLM920_NC5 and the CDMA model).
    virtual std::string PinAttemptsCommand();
    // Keeps the PIN attempts left that the answer shows (PinAttempts) and
    // succeeds on any final line, leaving the last error text alone.
    virtual PARSE_RESULT_t ParsePinAttempts(std::string reply);
    // -1 when not known.
    int PinAttempts() const { return m_nPinAttempts; }

    // USSD. Whether the model speaks it: the CDMA model does not.
    virtual bool SupportsUssd();
    // "AT+CSCS?\r\n", and its answer: the character set the modem gives
    // texts in (Charset, upper case; empty when the answer names none). Any
    // final line succeeds.
    std::string CharsetCommand() const;
    PARSE_RESULT_t ParseCharset(std::string reply);
    const std::string& Charset() const { return m_strCharset; }
    // "AT+CUSD=1,\"<code>\",15\r\n": the code as typed, in the default
    // alphabet (DCS 15).
    std::string UssdCommand(const std::string& code) const;
    // Waits for the +CUSD result (codec/ussd_text.h); OK may come before it.
    // Status 0 and 1, and 2 with a text (the network ends the session with
    // its answer), succeed with the text decoded in the modem's character
    // set (UssdReply; UssdWantsMore for status 1). Any other status fails
    // with its text (UssdStatusText); an error line fails with that line.
    PARSE_RESULT_t ParseUssd(std::string reply);
    const std::string& UssdReply() const { return m_strUssdReply; }
    bool UssdWantsMore() const { return m_bUssdWantsMore; }
    // "AT+CUSD=2\r\n": ends the session (answered by ParseInit).
    std::string UssdCancelCommand() const;

    // New-message indications, for a reader that keeps the port open. The
    // AT+CNMI settings to try, best first (IndicationSettings): the base
    // driver asks <mode> 2 and status reports kept in their storage (+CDSI)
    // before +CDS lines; a model whose module refuses some of them puts the
    // ones it takes first. The general rule decides each.
    virtual std::vector<std::string> IndicationCommands();
    PARSE_RESULT_t ParseIndicationSetting(std::string reply);
    // The indications among the unsolicited lines of `text` (what the
    // port's unsolicited channel gathered), as ParseIndications reads them.
    std::vector<SMS_INDICATION_t> ParseUnsolicited(const std::string& text,
                                                   std::size_t& consumed) const;

protected:
    // The general rule in its base version (the body of the base ParsePduMode),
    // which other parsers use even where a model replaces ParsePduMode.
    PARSE_RESULT_t GeneralRule(const std::string& reply);

    // ParsePinAttempts of a module whose answer has the count in field
    // `field` of its `key` line (codec/sim_pin.h, AttemptsOfReply).
    PARSE_RESULT_t ReadPinAttempts(const std::string& reply, const char* key, std::size_t field);

    // Error text of a send that cannot be built.
    void RefuseSend(const std::string& reason);

    // Keeps `line` as the line not understood, unless one is kept already.
    void NoteNotUnderstood(const std::string& line);

    // StoredCount from a storage selection's reply.
    void ReadStoredCount(const std::string& reply);

    // What the parsers keep of a listing and of the last error; the model
    // classes keep theirs here too.
    std::vector<SmsMessage> m_vecMessages;
    std::vector<int> m_vecListedIndexes;
    std::vector<SmsUnreadable> m_vecUnreadable;
    std::string m_strLastError;

    std::string m_strNotUnderstood;

private:
    bool m_bRetryableError = false;
    bool m_bStatusReports = false;
    int m_nLastReference = -1;
    std::vector<std::string> m_vecReadStorages;
    std::string m_strPinState;
    int m_nPinAttempts = -1;
    std::string m_strCharset;
    std::string m_strUssdReply;
    bool m_bUssdWantsMore = false;
    int m_nStoredCount = -1;
    std::string m_strServiceCentre;
    // The service centre as the modem quoted it, before its character set
    // was applied.
    std::string m_strServiceCentreQuoted;
    bool m_bCentreNeedsCharset = false;
    // The quoted value could not be read: the PDUs name no centre and the
    // modem uses its own.
    bool m_bCentreLeftToModem = false;
    // What ParseList has decoded of the listing so far: the bytes of the
    // reply up to where it stopped, and their entries.
    std::string m_strListingParsed;
    std::vector<SmsListEntry> m_vecListingEntries;
};
