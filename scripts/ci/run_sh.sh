#!/usr/bin/env bash
# The README's main command on both its paths. Real modems: scripts/run.sh
# with TELLMAR_SERIALCOMM naming the simulator's ports sends through an M35
# and the CDMA model and reads their inboxes, with the program it built.
# No modem: it runs the demo, whose documents and deliveries are checked.
#
# Usage: scripts/ci/run_sh.sh BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:?usage: $0 BUILD_DIR}
scripts/deps.sh jq

source scripts/lib/modemsim.bash
work_folder tellmar-run-sh

cat >"$work/config.json" <<'JSON'
{"ports": [
  {"com": 3, "model": "M35", "bauds": [9600], "iccid": "89860012345678901234",
   "storage": {"SM": [{"index": 1, "from": "13912345678", "time": "24-05-01 09:30:00",
                       "text": "stored on the SIM"}]}},
  {"com": 6, "model": "MC323", "bauds": [115200], "iccid": "89860320245710000006",
   "phonebook": [{"index": 1, "number": "802214417365093", "type": 129, "name": "WMSN"}]}
]}
JSON
modemsim_start "$(realpath "$build")/tools/modemsim/tellmar-modemsim" "$work/config.json" "$work/sim"

export TELLMAR_SERIALCOMM=$work/sim/ports TELLMAR_BUILD_DIR=$build LC_ALL=C.UTF-8

fail() {
    echo "run.sh on simulated modems: $*" >&2
    exit 1
}

scripts/run.sh 13800138000 "hello from run.sh" >"$work/send.json" 2>"$work/send.err" ||
    fail "the send exited with $?: $(cat "$work/send.err")"
jq -e '.code == 0 and ([.result[] | select(.code == 0) | .com] == ["COM3", "COM6"])' \
    "$work/send.json" >/dev/null || fail "unexpected send document: $(cat "$work/send.json")"
jq -s -e '[.[] | select(.event == "message" and .number == "13800138000"
       and (.text | startswith("hello from run.sh"))) | .com] | sort == [3, 6]' \
    "$work/sim/log.jsonl" >/dev/null || fail "the network did not get the text from both modems"

scripts/run.sh sms sread >"$work/read.json" 2>"$work/read.err" ||
    fail "the inbox read exited with $?: $(cat "$work/read.err")"
jq -e '.portcount == 2 and .ports[0].name == "COM3"
       and .ports[0].msgs[0].text == "stored on the SIM"' "$work/read.json" >/dev/null ||
    fail "unexpected inbox document: $(cat "$work/read.json")"
echo "scripts/run.sh sent through COM3 and COM6 and read their inboxes"

# Without TELLMAR_SERIALCOMM, and on a machine without USB modems: the demo.
if compgen -G "/sys/class/tty/ttyUSB*/device" >/dev/null || compgen -G "/sys/class/tty/ttyACM*/device" >/dev/null; then
    echo "this machine has USB serial devices: the demo path is not taken, not checked"
    exit 0
fi
env -u TELLMAR_SERIALCOMM scripts/run.sh >"$work/demo.out" 2>"$work/demo.err" ||
    fail "the demo exited with $?: $(cat "$work/demo.err")"
grep -q '"message" : "param is ok"' "$work/demo.out" || fail "the demo printed no send document"
grep -q '"type" : "read"' "$work/demo.out" || fail "the demo printed no inbox document"
grep -q '"text" : "天气预报：明天晴"' "$work/demo.out" || fail "the demo's inbox is not readable UTF-8"
deliveries=$(grep -c -- '-> .*你好，这是 Tellmar 的演示短信' "$work/demo.out" || true)
[[ "$deliveries" -eq 8 ]] || fail "the demo delivered $deliveries texts, not 8: $(cat "$work/demo.out")"
echo "scripts/run.sh without modems ran the demo: 8 texts delivered, inboxes read"
