#!/bin/sh
# How long a command takes when one modem fails beside a healthy one, for
# every way a modem fails: silent, trickling (a byte every 300 ms) or
# unplugged, in each phase of a read and of a send. Each run is timed from
# its start to its end, scan included, and prints what the faulty port
# reported. The targets: a silent modem given up within 30 s, a trickling
# one within 60 s, an unplugged one within 2 s. About 3 minutes.
#
#   bench/faults.sh [BUILD_DIR]
set -eu

cd "$(dirname "$0")/.."
BUILD=$(cd "${1:-build}" && pwd)
[ -f "$BUILD/CMakeCache.txt" ] || cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target tellmar tellmar-modemsim >/dev/null
work=$(mktemp -d "${TMPDIR:-/tmp}/tellmar-faults.XXXXXX")
sim=
trap '[ -z "$sim" ] || kill "$sim" 2>/dev/null; rm -rf "$work"' EXIT

# run NAME TARGET FAULTS ARGS...: COM3 healthy, COM4 with FAULTS, three
# messages stored in each.
run() {
    name=$1 target=$2 faults=$3
    shift 3
    storage='"storage":{"SM":[{"from":"10086","time":"24-05-01 09:30:00","text":"a"},
        {"from":"10086","time":"24-05-01 09:31:00","text":"b"}],
        "ME":[{"from":"10086","time":"24-05-01 09:32:00","text":"c"}]}'
    rm -rf "$work/ports"
    cat >"$work/config.json" <<JSON
{"ports":[{"com":3,"model":"M35","bauds":[115200],"iccid":"89860012345678901233",$storage},
          {"com":4,"model":"M35","bauds":[115200],"iccid":"89860012345678901234",$storage,
           "faults":{$faults}}]}
JSON
    "$BUILD/tools/modemsim/tellmar-modemsim" --config "$work/config.json" --dir "$work/ports" \
        >"$work/sim.out" 2>&1 &
    sim=$!
    i=0
    until grep -q READY "$work/sim.out" 2>/dev/null; do
        i=$((i + 1))
        [ $i -lt 100 ] || { cat "$work/sim.out" >&2; exit 1; }
        sleep 0.1
    done
    start=$(date +%s%N)
    TELLMAR_SERIALCOMM=$work/ports "$BUILD/src/main/tellmar" "$@" >"$work/out.json" 2>/dev/null
    end=$(date +%s%N)
    kill "$sim"
    wait "$sim" 2>/dev/null || true
    sim=
    # What COM4 said: COM3 is healthy, so an error or a failed send in the
    # document is COM4's.
    said=$(grep -o '"\(error\|message\)" *: *"[^"]*"' "$work/out.json" |
        grep -v -e '"Succeed"' -e '"param is ok"' | head -n 1 | sed 's/.*: *"\(.*\)"/\1/')
    if [ -z "$said" ] && grep -q '"clear" *: *false' "$work/out.json"; then
        said='"clear": false'
    fi
    printf '| %s | %s s | %s | %s |\n' "$name" \
        "$(echo "$start $end" | awk '{printf "%.1f", ($2 - $1) / 1e9}')" "${said:--}" "$target"
}

echo "| fault of COM4 (COM3 healthy) | run | COM4 reported | target |"
echo "|---|---|---|---|"
run "none (sreadclear)" "" "" sms sreadclear
run "none (send)" "" "" 3,4 13800138000 hello
run "silent from its set-up (sreadclear)" "30 s" '"silent_from":"AT+CPMS"' sms sreadclear
run "silent at its listing (sreadclear)" "30 s" '"silent_from":"AT+CMGL"' sms sreadclear
run "silent at its first deletion (sreadclear)" "30 s" '"silent_from":"AT+CMGD"' sms sreadclear
run "trickling from its set-up (sreadclear)" "60 s" '"trickle":{"from":"AT+CPMS","every_ms":300}' sms sreadclear
run "trickling at its listing (sreadclear)" "60 s" '"trickle":{"from":"AT+CMGL","every_ms":300}' sms sreadclear
run "unplugged in its listing (sreadclear)" "2 s" '"vanish_in_reply":{"prefix":"AT+CMGL","bytes":60}' sms sreadclear
run "silent at the centre query (send)" "30 s" '"silent_from":"AT+CSCA"' 3,4 13800138000 hello
run "silent at the prompt (send)" "30 s" '"silent_from":"AT+CMGS"' 3,4 13800138000 hello
run "trickling from its set-up (send)" "60 s" '"trickle":{"from":"AT+CMGF","every_ms":300}' 3,4 13800138000 hello
run "unplugged at the prompt (send)" "2 s" '"vanish_in_reply":{"prefix":"AT+CMGS","bytes":2}' 3,4 13800138000 hello
