#!/usr/bin/env bash
# The README's MQTT recipe on loopback: a mosquitto broker on a free port,
# `tellmar sms watch | mosquitto_pub -l` against a simulated modem, and a
# subscriber, all started and stopped here. A message that arrives at the
# modem must reach the subscriber once, be kept once in the store (the
# durable copy) and be gone from the modem.
#
# Usage: scripts/ci/mqtt.sh BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$(realpath "${1:?usage: $0 BUILD_DIR}")
scripts/deps.sh mosquitto mosquitto-clients jq sqlite3 python3

fail() {
    echo "mqtt: $*" >&2
    for log in broker.log watch.err sub.out; do
        [[ -s "$work/$log" ]] && { echo "-- $log" >&2; tail -20 "$work/$log" >&2; }
    done
    exit 1
}

# Waits up to $1 tenths of a second for the command that follows to succeed.
wait_for() {
    local tries=$1 _
    shift
    for _ in $(seq "$tries"); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

source scripts/lib/modemsim.bash
work_folder tellmar-mqtt

port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cat >"$work/broker.conf" <<EOF
listener $port 127.0.0.1
allow_anonymous true
persistence false
EOF
/usr/sbin/mosquitto -c "$work/broker.conf" >"$work/broker.log" 2>&1 &
cleanup_pids+=($!)
broker=(-h 127.0.0.1 -p "$port")
wait_for 100 mosquitto_pub "${broker[@]}" -t tellmar/probe -m up 2>/dev/null ||
    fail "the broker did not start on port $port"

# The subscriber, ready once it has seen a probe of its own.
mosquitto_sub "${broker[@]}" -t 'tellmar/#' >"$work/sub.out" 2>&1 &
cleanup_pids+=($!)
subscribed() {
    mosquitto_pub "${broker[@]}" -t tellmar/probe -m ready
    grep -qx ready "$work/sub.out"
}
wait_for 100 subscribed || fail "the subscriber did not subscribe"

text="MQTT check $(date +%s) 经由代理"
cat >"$work/modems.json" <<EOF
{"ports": [{"com": 3, "model": "M35", "bauds": [115200], "iccid": "89860012345678901233",
            "arrivals": [{"from": "13912345678", "time": "24-05-01 09:30:00", "text": "$text", "dcs": 8}]}]}
EOF
modemsim_start "$build/tools/modemsim/tellmar-modemsim" "$work/modems.json" "$work/sim"

# The recipe: the watch's stream, one JSON object a line, one MQTT message each.
mkfifo "$work/stream"
mosquitto_pub "${broker[@]}" -t tellmar/messages -q 1 -l <"$work/stream" 2>"$work/pub.err" &
cleanup_pids+=($!)
TELLMAR_SERIALCOMM=$work/sim/ports TELLMAR_STORE=$work/store.db LC_ALL=C.UTF-8 \
    "$build/src/main/tellmar" sms watch >"$work/stream" 2>"$work/watch.err" &
watch=$!
cleanup_pids+=("$watch")

ready() { grep '^{' "$work/sub.out" | jq -e 'select(.type == "port" and .state == "ready")' >/dev/null 2>&1; }
wait_for 300 ready || fail "the watch's ready line did not reach the subscriber"
kill -USR1 "$modemsim_pid"

arrived() { grep '^{' "$work/sub.out" | jq -e --arg text "$text" 'select(.type == "message" and .text == $text)' >/dev/null 2>&1; }
wait_for 300 arrived || fail "the message did not reach the subscriber"
# Once, also after the watch's next sweeps.
sleep 12
count=$(grep '^{' "$work/sub.out" | jq -c --arg text "$text" 'select(.type == "message" and .text == $text)' | wc -l)
[[ $count == 1 ]] || fail "the message reached the subscriber $count times"
grep '^{' "$work/sub.out" | jq -e --arg text "$text" \
    'select(.type == "message" and .text == $text) | .com == "COM3" and .from == "13912345678"' >/dev/null ||
    fail "the message reached the subscriber without its port or sender"

kill -TERM "$watch"
wait "$watch" || fail "the watch ended with status $? on SIGTERM"
stored=$(sqlite3 "$work/store.db" "SELECT count(*) FROM messages WHERE text = '$text'" 2>&1) ||
    fail "the store cannot be read: $stored"
[[ $stored == 1 ]] || fail "the store holds the message $stored times"
deleted=$(jq -c 'select(.event == "delete")' "$work/sim/log.jsonl" | wc -l)
[[ $deleted == 1 ]] || fail "the modem saw $deleted deletions"
echo "mqtt: a message that arrived at COM3 reached the subscriber through mosquitto once, was kept in the store and deleted from the modem"
