#pragma once
// The simulator's own SMS PDU builder and reader (3GPP TS 23.040): it builds
// the SMS-DELIVER PDUs that it serves from configured messages, and reads the
// SMS-SUBMIT PDUs that a program sends.

#include <cstdint>
#include <string>

#include "text_codec.h"

namespace modemsim {

// A concatenation header (TS 23.040 9.2.3.24.1 / .8).
struct Concat {
    bool present = false;
    int ref = 0;
    int total = 0;
    int part = 0;
};

// One message to encode. `number` is digits with an optional leading "+"
// (international), or letters (alphanumeric originator). `time` is
// "YY-MM-DD hh:mm:ss". `dcs` 0 (7-bit), 4 (8-bit: the text's UTF-8 bytes) or
// 8 (UCS-2).
struct MessageSpec {
    std::string serviceCentre;
    std::string number;
    std::string time;
    int timeZoneQuarters = 32;
    int dcs = 0;
    std::string textUtf8;
    Concat concat;
};

// Whole PDU as hex, service-centre part first. Empty with `error` set when
// the described message does not fit one PDU (text too long, a character without a
// GSM form, bad number or time).
std::string BuildDeliverPdu(const MessageSpec& spec, std::string& error);
// A stored outgoing message (SMS-SUBMIT, relative validity), same rules.
std::string BuildSubmitPdu(const MessageSpec& spec, std::string& error);

// Octets after the service-centre part of a PDU in hex, as AT+CMGS and
// +CMGL announce them; falls back to half the hex length when the
// service-centre length octet cannot be read.
int TpduLength(const std::string& pduHex);

// What an SMS-SUBMIT carried.
struct Submit {
    // The service centre the body names ("+" and digits for an international
    // one); empty when the body leaves it to the module (length 00).
    std::string serviceCentre;
    int messageReference = 0;
    std::string number;  // digits (or an alphanumeric name), never a "+"
    int typeOfAddress = 0;
    int dcs = 0;
    int alphabet = 0;  // 0 7-bit, 4 8-bit, 8 UCS-2
    std::string textUtf8;
    Bytes ucs2;  // the raw text octets when the alphabet is UCS-2
    Concat concat;
    bool statusReportRequest = false;  // TP-SRR: the sender asks for a status report
};

// A status report on a message the network accepted (TS 23.040 9.2.2.3).
struct ReportSpec {
    std::string serviceCentre;
    int messageReference = 0;  // TP-MR the network gave the message reported on
    std::string recipient;     // digits, as the SUBMIT had them
    int typeOfAddress = 0x81;  // the SUBMIT's type of address
    std::string submitted;     // "YY-MM-DD hh:mm:ss": when the centre took the message
    std::string discharged;    // "YY-MM-DD hh:mm:ss": when it was delivered or given up
    int status = 0;            // TP-ST
};

// SMS-STATUS-REPORT as hex, service-centre part first; empty with `error`
// set for a recipient that is no digits or a bad time.
std::string BuildStatusReportPdu(const ReportSpec& spec, std::string& error);

// Reads a PDU body as written after the "> " prompt (hex, service-centre part
// included, no Ctrl-Z) against the length announced with AT+CMGS. False with
// a reason when the hex, the length or any field is wrong.
bool DecodeSubmitBody(const std::string& hex, int announcedLength, Submit& out, std::string& error);

}  // namespace modemsim
