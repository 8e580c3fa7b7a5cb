#!/usr/bin/python3
"""Writes ussd_replies.json: USSD replies that modules gave, with their texts.

Run with the unpacked Debian source package gammu:
    make_ussd_replies.py GAMMU_SOURCE_DIR > ussd_replies.json
Needs python3-gammu. The replies are gammu's recordings (tests/at-ussd/*.dump,
each one +CUSD result as a module sent it); the character set is the one
gammu's own test runs them in (a file whose name starts with "U" in UCS2,
the others in GSM).

gammu's test only checks that the reply is accepted, so the expected texts
come from python3-gammu's PDU decoder: the octets of the reply are wrapped as
the user data of an SMS-DELIVER with the coding the reply has (packed
septets: TP-DCS 0 with a septet count; UCS-2: TP-DCS 8) and decoded by the
library. Where our rules take a step the library does not, the case says so
in "expect_from".
"""
import glob
import json
import os
import re
import sys

import gammu

GAMMU_VERSION = "gammu 1.42.0 (Debian source package gammu 1.42.0-8)"
READER = "python3-gammu %s DecodePDU" % gammu.Version()[1]

# An SMS-DELIVER up to TP-DCS: no service centre, originator 12345, TP-PID 0.
HEAD = "000405812143F500"
SCTS = "42501090300000"

def pack(septets):
    bits = 0
    count = 0
    out = bytearray()
    for s in septets:
        bits |= s << count
        count += 7
        while count >= 8:
            out.append(bits & 0xFF)
            bits >>= 8
            count -= 8
    if count:
        out.append(bits & 0xFF)
    return bytes(out)


# One PDU holds 140 octets: longer replies are read in pieces of 140 octets,
# which end on a whole septet and a whole UCS-2 unit.
PIECE = 140


def septets_read(octets, count):
    text = ""
    for at in range(0, len(octets), PIECE):
        piece = octets[at:at + PIECE]
        septets = min(count - at * 8 // 7, PIECE * 8 // 7)
        pdu = HEAD + "00" + SCTS + "%02X" % septets + piece.hex().upper()
        text += gammu.DecodePDU(bytes.fromhex(pdu))["Text"]
    return text


def ucs2_read(octets):
    text = ""
    for at in range(0, len(octets), PIECE):
        piece = octets[at:at + PIECE]
        pdu = HEAD + "08" + SCTS + "%02X" % len(piece) + piece.hex().upper()
        text += gammu.DecodePDU(bytes.fromhex(pdu))["Text"]
    return text


def parse(line):
    m = re.match(r'\+CUSD:\s*(\d+)\s*(?:,\s*"?(.*?)"?\s*(?:,\s*(\d+))?)?\s*$', line)
    status, text, dcs = m.group(1), m.group(2), m.group(3)
    return int(status), text, int(dcs) if dcs else -1


def case_of(path):
    raw = open(path, "rb").read().decode("latin-1")
    line = raw.strip("\r\n")
    status, text, dcs = parse(line)
    name = os.path.basename(path)
    charset = "UCS2" if name.startswith("U") else "GSM"
    case = {"name": "at-ussd/" + name,
            "source": "%s, tests/at-ussd/%s (a +CUSD result recorded from a module)"
                      % (GAMMU_VERSION, name),
            "reply": raw, "charset": charset, "status": status, "dcs": dcs}
    hexadecimal = re.fullmatch(r"(?:[0-9A-Fa-f]{2})+", text) is not None
    if dcs in (72, 17) or (charset == "UCS2" and hexadecimal):
        octets = bytes.fromhex(text)
        if dcs == 17:
            octets = octets[2:]
        end = next((i for i in range(0, len(octets) - 1, 2) if octets[i:i + 2] == b"\0\0"), None)
        expect = READER + ", the octets as UCS-2"
        if dcs == 17:
            expect += " after the two octets of the language"
        if end is not None:
            octets = octets[:end]
            expect += ", up to the first U+0000"
        case["text_utf8"] = ucs2_read(octets)
        case["expect_from"] = expect
    elif hexadecimal:
        octets = bytes.fromhex(text)
        count = len(octets) * 8 // 7
        read = septets_read(octets, count)
        expect = READER + ", the octets as packed septets"
        if len(octets) % 7 == 0 and read.endswith("\r"):
            read = read[:-1]
            expect += "; the <CR> that pads them to whole octets dropped (3GPP TS 23.038 6.1.2.3.1)"
        case["text_utf8"] = read
        case["expect_from"] = expect
    else:
        septets = [ord(c) & 0x7F for c in text]
        case["text_utf8"] = septets_read(pack(septets), len(septets))
        case["expect_from"] = READER + ", the bytes as septet values of the GSM character set"
    return case


def main():
    root = sys.argv[1]
    cases = [case_of(p) for p in sorted(glob.glob(os.path.join(root, "tests", "at-ussd", "*.dump")))]
    doc = {
        "source": "USSD results from the test tree of Debian's source package gammu (tests/at-ussd), "
                  "each naming its file. Made by make_ussd_replies.py.",
        "notes": [
            "reply: the module's output as recorded (line ends kept)",
            "charset: the module's character set (AT+CSCS) the reply is read in",
            "status, dcs: <m> and <dcs> of the result; dcs -1 where it gives none",
            "text_utf8: the text of the reply",
            "expect_from: whose expectation the text is",
        ],
        "cases": cases,
    }
    json.dump(doc, sys.stdout, ensure_ascii=False, indent=1)
    sys.stdout.write("\n")


main()
