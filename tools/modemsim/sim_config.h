#pragma once
// The simulator's configuration: one entry per simulated port (README.md
// documents every key).

#include <map>
#include <string>
#include <vector>

namespace modemsim {

// One message in a storage, in both the forms the models serve: the PDU
// (GSM listings) and the parts the CDMA commands show.
struct StoredMessage {
    int index = 0;
    int status = 0;        // 0 unread, 1 read, 2 unsent, 3 sent
    std::string pduHex;    // service-centre part included
    bool hasText = false;  // from/time/text known (the convenience form)
    std::string number;
    std::string time;  // "YY-MM-DD hh:mm:ss"
    std::string textUtf8;
    int dcs = 0;
};

// A message the network delivers while the simulator runs: stored in
// `storage` at the lowest free index (or at message.index when it is set),
// announced with +CMTI or not.
struct Arrival {
    StoredMessage message;  // index 0: the lowest free one
    std::string storage = "SM";
    // When it arrives, in ms after the simulator's start; negative: when the
    // simulator is asked (SIGUSR1 delivers the next held arrival of the
    // configuration, in its order).
    int afterMs = -1;
    bool announce = true;
};

// A command prefix (as normalised: upper case, blanks outside quotes left
// out) and the final line it is answered with.
struct ErrorRule {
    std::string prefix;
    std::string reply;
};

// A command prefix (normalised as ErrorRule) and the delay of its replies.
struct DelayRule {
    std::string prefix;
    int delayMs = 0;
};

struct Faults {
    int delayMs = 0;
    int splitSize = 0;  // 0: replies go out whole
    int splitGapMs = 20;
    std::vector<std::string> unsolicited;
    int cmsErrorBodies = 0;
    int cmsErrorCode = 500;
    std::vector<ErrorRule> errorCommands;
    int nulBytes = 0;
    int garbage = 0;
    int overlongReply = 0;
    bool flood = false;
    int vanishAfterCommands = -1;
    int silentAfterCommands = -1;
    std::string silentFrom;      // from the first command with this prefix: no answers
    std::string trickleFrom;     // from the first command with this prefix: no
    int trickleEveryMs = 300;    //   answers, one byte every trickleEveryMs for ever
    std::string vanishInReply;   // the reply to the first command with this prefix
    int vanishInReplyBytes = 0;  //   goes out up to this many bytes, then the line closes
    int returnAfterMs = -1;      // >= 0: a line closed by a vanish comes back this much later
    std::vector<DelayRule> delayCommands;
    std::vector<int> cmsErrorBodyNumbers;  // these valid bodies (1 = the first) are refused
    int hcmgsf = 0;                        // 0: the CDMA network accepts sends
    int hcmgssDelayMs = 50;
    int bodyDelayMs = -1;       // >= 0: the reply to a message body waits this long
    std::string pduLineSuffix;  // after every PDU line of +CMGL and +CMGR
    // AT+CNMI is taken, but no indication (+CMTI, +CDSI, +CDS) ever comes.
    bool noIndications = false;
};

struct PhoneBookEntry {
    std::string number;
    int type = 129;
    std::string name;
};

// The network's answer to one USSD code.
struct UssdAnswer {
    std::string code;      // as the program sends it ("*100#")
    std::string textUtf8;  // the answer
    // How the module writes the text: "plain" (the module's character set,
    // DCS 15), "packed" (hexadecimal of packed GSM septets, DCS 15) or
    // "ucs2" (UCS-2 hexadecimal, DCS 72).
    std::string form = "plain";
    int status = 0;  // <m>: 0 done, 1 the network asks for more, 2 ended by the network
    // OK first and the +CUSD line later (-1: as the model does, Wavecom so).
    int okFirst = -1;
    int delayMs = 300;  // the +CUSD line after the OK, when OK comes first
};

struct PortConfig {
    int com = 0;
    // The port whose module this is: com itself, or for a further port of a
    // module ("same_modem_as") that module's first port. Ports of one module
    // share its identity, storages, phone book and network mode.
    int moduleCom = 0;
    std::string model;
    std::vector<int> bauds;
    bool garbageAtWrongBaud = true;
    bool echo = true;
    std::string imei;
    std::string esn;     // MC323: answer AT+CGSN with it; empty: ERROR
    std::string serial;  // AT+WMSN; empty: ERROR
    bool hasSim = false;
    std::string iccid;
    std::string csq;
    std::string operatorName;
    std::string serviceCentre;
    int modeConfig = 2;
    int messageReference = 1;
    std::map<std::string, std::string> identity;  // "ati", "ati3", "cgmi", "cgmm" replies
    std::map<std::string, std::vector<StoredMessage>> storage;  // "SM", "ME"
    std::map<std::string, int> capacity;
    std::map<int, PhoneBookEntry> phoneBook;
    std::vector<Arrival> arrivals;  // in the order of the configuration
    // The SIM's PIN: empty for a SIM without PIN lock (it starts ready);
    // otherwise the SIM starts waiting for it, with `pinAttempts` attempts
    // left (0: blocked, waiting for the PUK).
    std::string pin;
    std::string puk = "12345678";
    int pinAttempts = 3;
    std::string charset = "IRA";  // AT+CSCS: IRA, GSM, UCS2 or HEX
    std::vector<UssdAnswer> ussd;
    // Status reports of the network on sends that asked for one: "" none,
    // "store" kept in the storage ("SR" where the model has one, else "SM"),
    // "cds" routed as +CDS lines when AT+CNMI asked for them (<ds> 1), kept
    // with a +CDSI line for <ds> 2, dropped otherwise.
    std::string statusReports;
    int reportStatus = 0;  // TP-ST of the reports
    // Result lines without the blank after the colon ("+CMGL:1,1,,23"), as
    // some modules write them.
    bool compactResults = false;
    // AT+CNMI: the setting at start, "<mode>,<mt>,<bm>,<ds>,<bfr>" (as the
    // module starts, or as another program left it), and the values the
    // module refuses with +CMS ERROR: 303, as "mode=2" or "ds=1"; both by
    // model unless configured.
    std::string cnmi;
    std::vector<std::string> cnmiRefused;
    Faults faults;
};

struct SimConfig {
    std::vector<PortConfig> ports;
};

// Reads and checks a configuration document. False with a message naming
// the port and key at fault.
bool ParseConfig(const std::string& text, SimConfig& config, std::string& error);

}  // namespace modemsim
