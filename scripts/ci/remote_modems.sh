#!/usr/bin/env bash
# Modems on another host, as the README sets them up, on loopback: the
# simulator's ports are served by ser2net (the modem host), socat links a
# local pseudo-terminal to each as COM<n> (this host), and tellmar scans,
# identifies, sends through and reads an M35 and the CDMA model over it.
#
# Usage: scripts/ci/remote_modems.sh BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$(realpath "${1:?usage: $0 BUILD_DIR}")
scripts/deps.sh ser2net socat jq
tellmar=$build/src/main/tellmar

source scripts/lib/modemsim.bash
work_folder tellmar-remote

fail() {
    echo "modems over ser2net: $*" >&2
    for log in "$work"/*.log; do
        echo "--- $log" >&2
        cat "$log" >&2
    done
    exit 1
}

# Whether a TCP port of this host is in use (bound in any state).
port_in_use() {
    local hex
    hex=$(printf ':%04X ' "$1")
    grep -qi "$hex" /proc/net/tcp /proc/net/tcp6 2>/dev/null
}

free_port() {
    local port
    while :; do
        port=$((20000 + RANDOM % 40000))
        port_in_use "$port" || { echo "$port"; return; }
    done
}

listening() {
    local hex
    hex=$(printf ':%04X 00000000:0000 0A' "$1")
    grep -qi "$hex" /proc/net/tcp
}

# One connection of ser2net's configuration: NAME TCP-PORT DEVICE SETTINGS.
ser2net_connection() {
    cat <<YAML
connection: &$1
    accepter: tcp,127.0.0.1,$2
    enable: on
    options:
      kickolduser: true
    connector: serialdev,$3,$4,local

YAML
}

# The modem host: two modems, one on each of its serial ports.
cat >"$work/modems.json" <<'JSON'
{"ports": [
  {"com": 1, "model": "M35", "bauds": [9600], "iccid": "89860012345678901234",
   "storage": {"SM": [{"index": 1, "from": "13912345678", "time": "24-05-01 09:30:00",
                       "text": "read over the network"}]}},
  {"com": 2, "model": "MC323", "bauds": [115200], "iccid": "89860320245710000006",
   "phonebook": [{"index": 1, "number": "802214417365093", "type": 129, "name": "WMSN"}],
   "storage": {"SM": [{"index": 1, "from": "18912345678", "time": "24-05-03 07:15:00",
                       "dcs": 8, "text": "天气预报：明天晴"}]}}
]}
JSON
modemsim_start "$build/tools/modemsim/tellmar-modemsim" "$work/modems.json" "$work/sim"

# ser2net serves each port at the modem's own line speed; the ports are
# free ones of this host, tried again should another program take one first.
for attempt in 1 2 3; do
    port1=$(free_port)
    port2=$(free_port)
    [[ "$port1" != "$port2" ]] || continue
    {
        echo "%YAML 1.1"
        echo "---"
        ser2net_connection modem1 "$port1" "$work/sim/ports/COM1" 9600n81
        ser2net_connection modem2 "$port2" "$work/sim/ports/COM2" 115200n81
    } >"$work/ser2net.yaml"
    ser2net -n -c "$work/ser2net.yaml" -P "$work/ser2net.pid" >"$work/ser2net.log" 2>&1 &
    ser2net_pid=$!
    cleanup_pids+=("$ser2net_pid")
    for _ in $(seq 50); do
        listening "$port1" && listening "$port2" && break
        kill -0 "$ser2net_pid" 2>/dev/null || break
        sleep 0.1
    done
    listening "$port1" && listening "$port2" && break
    kill "$ser2net_pid" 2>/dev/null || true
    wait "$ser2net_pid" 2>/dev/null || true
    ser2net_pid=
done
[[ -n "${ser2net_pid:-}" ]] || fail "ser2net did not listen"

# This host: one pseudo-terminal per remote port, linked as COM<n>.
mkdir "$work/ports"
socat -d pty,link="$work/ports/COM11",raw,echo=0 tcp:127.0.0.1:"$port1" >"$work/socat11.log" 2>&1 &
cleanup_pids+=($!)
socat -d pty,link="$work/ports/COM12",raw,echo=0 tcp:127.0.0.1:"$port2" >"$work/socat12.log" 2>&1 &
cleanup_pids+=($!)
for _ in $(seq 50); do
    [[ -e "$work/ports/COM11" && -e "$work/ports/COM12" ]] && break
    sleep 0.1
done
[[ -e "$work/ports/COM11" && -e "$work/ports/COM12" ]] || fail "socat made no COM11 and COM12"

export TELLMAR_SERIALCOMM=$work/ports LC_ALL=C.UTF-8
"$tellmar" 13800138000 "sent over the network" >"$work/send.json" 2>"$work/send.log" ||
    fail "the send exited with $?"
jq -e '[.result[] | select(.code == 0) | .com] == ["COM11", "COM12"]' "$work/send.json" >/dev/null ||
    fail "unexpected send document: $(cat "$work/send.json")"
for com in 1 2; do
    jq -s -e --argjson com "$com" 'any(.[]; .event == "message" and .com == $com
        and .number == "13800138000" and (.text | startswith("sent over the network")))' \
        "$work/sim/log.jsonl" >/dev/null ||
        fail "the modem on the remote COM$com did not send the text"
done

"$tellmar" sms sread >"$work/read.json" 2>"$work/read.log" || fail "the inbox read exited with $?"
jq -e '.portcount == 2
       and .ports[0].name == "COM11" and .ports[0].msgs[0].text == "read over the network"
       and .ports[1].name == "COM12" and .ports[1].msgs[0].text == "天气预报：明天晴"' \
    "$work/read.json" >/dev/null || fail "unexpected inbox document: $(cat "$work/read.json")"
echo "through ser2net and socat: sent through COM11 (M35) and COM12 (MC323) and read both inboxes"
