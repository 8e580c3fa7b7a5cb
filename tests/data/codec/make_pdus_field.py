#!/usr/bin/python3
"""Writes pdus_field.json: stored PDUs written by others, with what they hold.

Run with the unpacked Debian source packages gammu and ofono:
    make_pdus_field.py GAMMU_SOURCE_DIR OFONO_SOURCE_DIR > pdus_field.json
Needs python3-gammu. The sources are read, never copied whole: each case keeps
its PDU and names the file (and the test) it comes from.

Expected values come from the source's own expectation where it has one (the
assertions of ofono's unit/test-sms.c; gammu's at-sms-failing folder, whose
messages the library must refuse), and otherwise from python3-gammu's
DecodePDU. Where our rules differ from the library's reading on purpose, the
case says so in "expect_from".
"""
import glob
import json
import os
import re
import sys

import gammu

GAMMU_VERSION = "gammu 1.42.0 (Debian source package gammu 1.42.0-8)"
OFONO_VERSION = "ofono 1.31 (Debian source package ofono 1.31-3)"
READER = "python3-gammu %s DecodePDU" % gammu.Version()[1]


def words(status):
    """TP-ST ranges of 3GPP TS 23.040 9.2.3.15; reserved values confirm nothing."""
    if status <= 0x1F:
        return "delivered"
    if status <= 0x3F:
        return "pending"
    return "failed"


def alphabet(dcs):
    """TP-DCS groups of 3GPP TS 23.038 4, as the issue has them read."""
    group = dcs >> 4
    if group <= 7:
        if dcs & 0x20:
            return "none"
        return ["gsm7", "8bit", "ucs2", "none"][(dcs >> 2) & 3]
    if group in (0xC, 0xD):
        return "gsm7"
    if group == 0xE:
        return "ucs2"
    if group == 0xF:
        if dcs == 0xF5:
            return "push"
        if dcs & 0x08:
            return "none"
        return "8bit" if dcs & 0x04 else "gsm7"
    return "none"


def sms_type(pdu):
    sca = int(pdu[0:2], 16)
    return ["deliver", "submit", "status-report", "reserved"][int(pdu[2 + 2 * sca:4 + 2 * sca], 16) & 3]


def dcs_of(pdu):
    """TP-DCS of a DELIVER or SUBMIT, read by position."""
    pos = 2 + 2 * int(pdu[0:2], 16)
    first = int(pdu[pos:pos + 2], 16)
    pos += 2
    if first & 3 == 1:
        pos += 2  # TP-MR
    digits = int(pdu[pos:pos + 2], 16)
    pos += 4 + digits + (digits & 1)
    return int(pdu[pos + 2:pos + 4], 16)


def decoded(pdu):
    """What python3-gammu reads, in the fields of our messages."""
    d = gammu.DecodePDU(bytes.fromhex(pdu))
    kind = sms_type(pdu)
    case = {"type": kind, "number": d["Number"], "readable": True}
    if kind == "status-report":
        case["time"] = d["SMSCDateTime"].strftime("%y-%m-%d %H:%M:%S")
        case["text_utf8"] = "Delivery report for message %d: %s (TP-ST 0x%02X)" % (
            d["MessageReference"], words(d["DeliveryStatus"]), d["DeliveryStatus"])
        case["report"] = {"reference": d["MessageReference"], "status": words(d["DeliveryStatus"]),
                          "tp_st": d["DeliveryStatus"], "discharged": case["time"]}
        return case
    case["time"] = d["DateTime"].strftime("%y-%m-%d %H:%M:%S") if kind == "deliver" else ""
    case["dcs"] = dcs_of(pdu)
    udh = d["UDH"]
    if udh["Type"].startswith("ConcatenatedMessages"):
        ref = udh["ID16bit"] if udh["Type"].endswith("16bit") else udh["ID8bit"]
        case["concat"] = {"ref": ref, "total": udh["AllParts"], "part": udh["PartNumber"]}
    text = d["Text"]
    if isinstance(text, bytes):
        case["text_hex"] = text.hex().upper()
    else:
        case["text_utf8"] = text
    return case


def gammu_dumps(root):
    cases = []
    for folder in ("at-sms", "at-sms-failing"):
        for path in sorted(glob.glob(os.path.join(root, "tests", folder, "*.dump"))):
            lines = [l.strip() for l in open(path, encoding="latin-1") if l.strip()]
            header = next(i for i, l in enumerate(lines) if l.startswith("+CMGR:"))
            line = lines[header + 1]
            # The hexadecimal digits; one phone ends the line with a quote.
            pdu = re.match(r"[0-9A-Fa-f]*", line).group(0)
            if line[len(pdu):].strip(' "'):
                pdu = line
            case = {"name": "%s/%s" % (folder, os.path.basename(path)),
                    "source": "%s, tests/%s/%s (an AT+CMGR reply collected from the field)"
                              % (GAMMU_VERSION, folder, os.path.basename(path)),
                    "reply": lines[header], "pdu": pdu}
            if line != pdu:
                case["line"] = line
            if folder == "at-sms-failing":
                case["expect_from"] = "gammu's own test: the library must refuse this message"
                case["readable"] = False
                cases.append(case)
                continue
            case.update(decoded(pdu))
            case["expect_from"] = READER
            if case.get("dcs") == 0xF5:
                # The push format keeps its own reading, which the library
                # does not share: only the fields before the text are compared.
                case["expect_from"] = READER + " (no text: the push format keeps its own reading)"
                case.pop("text_utf8", None)
                case.pop("text_hex", None)
            if case["name"] == "at-sms/09.dump":
                # The library reads the year 99 of this stamp as 2089.
                case["time"] = "99-03-29 15:16:59"
                case["expect_from"] = READER + ", the year as the stamp's own digits"
            if case["name"] == "at-sms/04.dump":
                # Six semi-octets hold three septets; the library leaves the
                # third one (0x11) as a control character, the default
                # alphabet has "_" there.
                case["number"] = "O2_"
                case["expect_from"] = READER + ", the sender's third septet by the default alphabet"
            if case["type"] != "status-report" and alphabet(case["dcs"]) == "none":
                case["expect_from"] = ("our rule: a compressed or reserved coding has no text and "
                                       "stays on the modem (%s reads it as given)" % READER)
                case["readable"] = False
                case.pop("text_utf8", None)
                case.pop("text_hex", None)
            cases.append(case)
    return cases


def gammu_cds(root):
    """The status report of a +CDS line in gammu's test of the watch mode of its daemon."""
    name = "atgen/smsd-incoming-cds.c"
    source = open(os.path.join(root, "tests", name), encoding="utf-8").read()
    event = re.search(r'const char \*event = "\+CDS:\d+\\r([0-9A-F]+)\\r";', source).group(1)
    case = {"name": name, "source": "%s, tests/%s (the PDU line of a +CDS result code)"
                                     % (GAMMU_VERSION, name),
            "pdu": event}
    case.update(decoded(event))
    case["expect_from"] = READER
    return [case]


def c_string(source, name):
    m = re.search(r'static const char \*%s\s*=\s*((?:"[^"]*"\s*)+);' % name, source)
    return "".join(re.findall(r'"([^"]*)"', m.group(1)))


def c_struct_pdu_and_text(source, name):
    m = re.search(r"static struct sms_charset_data %s = \{(.*?)\n\};" % name, source, re.S)
    body = m.group(1)
    pdu = "".join(re.findall(r'"([^"]*)"', body.split(".data_len")[0]))
    data = body.split(".expected_text")[1]
    text = bytes(int(x, 16) for x in re.findall(r"0x([0-9a-fA-F]{2})", data))
    return pdu, text.rstrip(b"\0").decode("utf-8")


def c_ems(source, name):
    m = re.search(r"static struct ems_udh_test %s = \{(.*?)\n\};" % name, source, re.S)
    body = m.group(1)
    pdu = "".join(re.findall(r'"([^"]*)"', body.split(".len")[0]))
    expected = "".join(re.findall(r'"([^"]*)"', body.split(".expected")[1].split(".formats")[0]))
    return pdu, expected.encode().decode("unicode_escape")


def ofono_cases(root):
    source = open(os.path.join(root, "unit", "test-sms.c"), encoding="utf-8").read()
    where = "%s, unit/test-sms.c" % OFONO_VERSION
    own = "ofono's assertions in unit/test-sms.c"
    cases = []

    def add(name, pdu, expect_from, **fields):
        case = {"name": "ofono " + name, "source": "%s (%s)" % (where, name), "pdu": pdu.upper(),
                "expect_from": expect_from}
        reading = decoded(pdu)
        reading.update(fields)
        case.update(reading)
        cases.append(case)

    add("simple_deliver", c_string(source, "simple_deliver"), own, number="+31641600986",
        time="02-08-26 19:37:41", text_utf8="How are you?")
    add("alnum_sender", c_string(source, "alnum_sender"), own, number="sipgate",
        time="08-08-13 12:07:22", text_utf8="Testmail")
    add("simple_submit", c_string(source, "simple_submit"), own, number="+46708251358",
        text_utf8="hellohello")
    add("simple_mwi", c_string(source, "simple_mwi"), own + " (number, time, empty user data)",
        number="+33660660001", time="13-08-07 16:47:41", text_utf8="")
    # The library reads this alphanumeric sender's septets as ASCII ("{" for
    # 0x7B); the default alphabet has "ä" and "ö" there.
    add("unicode_deliver", c_string(source, "unicode_deliver"),
        READER + ", the alphanumeric sender by the default alphabet",
        number="\u00e4" * 9 + "\u00f6\u00e4")
    for name in ("sms_charset_default", "sms_charset_default_ext"):
        pdu, text = c_struct_pdu_and_text(source, name)
        add(name, pdu, own, text_utf8=text)
    for name in ("ems_udh_test_1", "ems_udh_test_2"):
        pdu, text = c_ems(source, name)
        add(name, pdu, own, text_utf8=text)
    for name in ("assembly_pdu1", "assembly_pdu2", "assembly_pdu3"):
        add(name, c_string(source, name), READER)
    # Status reports on the parts of one message (mr 4 and 5) and on another
    # (mr 6), as test_sr_assembly has them: TPDUs, given here the empty
    # service-centre part a stored PDU begins with.
    for name in ("sr_pdu1", "sr_pdu2", "sr_pdu3"):
        m = re.search(r'const char \*%s\s*=\s*((?:"[^"]*"\s*)+);' % name, source)
        tpdu = "".join(re.findall(r'"([^"]*)"', m.group(1)))
        add("test_sr_assembly " + name, "00" + tpdu, READER)
    return cases


SCTS = "42501090300000"  # 24-05-01 09:30:00, zone 0
ALICE = "0D91683107001011F1"  # +8613700001111
OPERATOR = "05810180F6"  # 10086


def deliver(originator, udh, ucs2):
    ud = udh + ucs2
    return ("0891683108100005F0" + ("44" if udh else "04") + originator + "0008" + SCTS +
            "%02X" % (len(ud) // 2) + ud)


def rank(message):
    """Single messages first, then long ones by reference, then by storage index."""
    return (message["ref"] is not None, message["ref"] or 0, message["first"])


def linked(parts):
    """The messages python3-gammu makes of the parts (LinkSMS, DecodeSMS)."""
    decoded_parts = []
    for p in parts:
        d = gammu.DecodePDU(bytes.fromhex(p["pdu"]))
        d["Location"] = p["index"]
        decoded_parts.append([d])
    messages = []
    for group in gammu.LinkSMS(decoded_parts):
        info = gammu.DecodeSMS(group)
        text = info["Entries"][0]["Buffer"] if info else "".join(x["Text"] for x in group)
        udh = group[0]["UDH"]
        concat = udh["Type"].startswith("ConcatenatedMessages")
        ref = (udh["ID16bit"] if udh["Type"].endswith("16bit") else udh["ID8bit"]) if concat else None
        last = group[-1]
        messages.append({"from": last["Number"], "time": last["DateTime"].strftime("%y-%m-%d %H:%M:%S"),
                         "text_utf8": text, "ref": ref, "first": min(x["Location"] for x in group)})
    messages.sort(key=rank)
    for m in messages:
        del m["ref"], m["first"]
    return messages


def joining_cases(ofono_root):
    source = open(os.path.join(ofono_root, "unit", "test-sms.c"), encoding="utf-8").read()
    assembly = [c_string(source, "assembly_pdu%d" % i).upper() for i in (1, 2, 3)]
    made = "made here (the UCS-2 DELIVER layout of 3GPP TS 23.040), read by " + READER
    cases = [
        {"name": "three real parts stored out of order",
         "source": "%s, unit/test-sms.c (assembly_pdu1 to 3)" % OFONO_VERSION,
         "parts": [{"index": 4, "pdu": assembly[2]}, {"index": 5, "pdu": assembly[0]},
                   {"index": 6, "pdu": assembly[1]}]},
        {"name": "two senders with the same reference, interleaved", "source": made,
         "parts": [{"index": 1, "pdu": deliver(ALICE, "050003050201", "0061")},
                   {"index": 2, "pdu": deliver(OPERATOR, "050003050201", "0063")},
                   {"index": 3, "pdu": deliver(ALICE, "050003050202", "0062")},
                   {"index": 4, "pdu": deliver(OPERATOR, "050003050202", "0064")}]},
        {"name": "two long messages whose part numbers rise", "source": made,
         "parts": [{"index": 1, "pdu": deliver(ALICE, "050003050301", "0061")},
                   {"index": 2, "pdu": deliver(OPERATOR, "050003060302", "0062")}]},
        {"name": "16-bit reference", "source": made,
         "parts": [{"index": 7, "pdu": deliver(ALICE, "06080412340202", "4E16754C")},
                   {"index": 8, "pdu": deliver(ALICE, "06080412340201", "4F60597D")}]},
        {"name": "reference 0 after a single message", "source": made,
         "parts": [{"index": 1, "pdu": deliver(ALICE, "050003000201", "0061")},
                   {"index": 2, "pdu": deliver(OPERATOR, "", "0078")},
                   {"index": 3, "pdu": deliver(ALICE, "050003000202", "0062")}]},
    ]
    for case in cases:
        case["expected"] = linked(case["parts"])
    # The library decodes each part on its own, so a surrogate pair split
    # between two parts is lost there; the joined units are read with
    # Python's UTF-16 codec instead.
    units = ["0048D83D", "DE00"]
    cases.append({
        "name": "an emoji whose surrogate pair is split between two parts",
        "source": "made here; the expected text is Python's utf-16-be codec over the joined units",
        "parts": [{"index": 1, "pdu": deliver(ALICE, "050003440201", units[0])},
                  {"index": 2, "pdu": deliver(ALICE, "050003440202", units[1])}],
        "expected": [{"from": "+8613700001111", "time": "24-05-01 09:03:00",
                      "text_utf8": bytes.fromhex("".join(units)).decode("utf-16-be")}]})
    return cases


def main():
    gammu_root, ofono_root = sys.argv[1], sys.argv[2]
    doc = {
        "source": "Stored PDUs from the test trees of Debian's source packages gammu (tests/at-sms, "
                  "tests/at-sms-failing: AT+CMGR replies collected from the field) and ofono "
                  "(unit/test-sms.c); each case names its file. Made by make_pdus_field.py.",
        "notes": [
            "reply: the +CMGR line the PDU came with (gammu's dumps); its status is not what decides",
            "line: the PDU line as the modem sent it, where it holds more than the PDU's digits",
            "type: deliver, submit or status-report, by the PDU's own TP-MTI",
            "number: the sender (deliver), destination (submit) or the recipient reported on, "
            "with + when international",
            "time: YY-MM-DD hh:mm:ss; the discharge time of a status report; empty for a submit",
            "report: of a status report, the reference (TP-MR) of the message it reports on, "
            "its status by the TP-ST ranges (delivered, pending, failed), TP-ST and the "
            "discharge time",
            "text_utf8 or text_hex (8-bit data, the octets as they are): the text without any "
            "user-data header",
            "readable: false where the message must be reported as unreadable and kept",
            "expect_from: whose expectation the values are",
            "messages: stored parts (storage index, PDU) and the messages they make, single "
            "messages first by index, then long ones by reference and index; from, time and "
            "text as above",
        ],
        "cases": gammu_dumps(gammu_root) + gammu_cds(gammu_root) + ofono_cases(ofono_root),
        "messages": joining_cases(ofono_root),
    }
    json.dump(doc, sys.stdout, ensure_ascii=False, indent=1)
    sys.stdout.write("\n")


main()
