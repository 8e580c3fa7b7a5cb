#!/bin/sh
# Port scan benchmark: times the scan of 1 and of 64 simulated modems.
#
#   bench/scan_bench.sh [BUILD_DIR] [RUNS]
#
# Each case starts tellmar-modemsim with that many modems (models in turn,
# all with a SIM card, all at 9600 baud), runs the interactive program with
# no input (one scan, the port table, then quit) RUNS times and prints the
# scan's own "cost time" figure and the wall time of the whole run.
# All ports are probed at once, so both cases should take about as long.
set -eu

BUILD=${1:-build}
RUNS=${2:-3}
TELLMAR=$BUILD/src/app/tellmar
MODEMSIM=$BUILD/tools/modemsim/tellmar-modemsim
for program in "$TELLMAR" "$MODEMSIM"; do
    [ -x "$program" ] || { echo "missing $program (build the tellmar and tellmar-modemsim targets)" >&2; exit 1; }
done

WORK=$(mktemp -d "${TMPDIR:-/tmp}/tellmar-scanbench-XXXXXX")
SIM_PID=
cleanup() {
    if [ -n "$SIM_PID" ]; then
        kill "$SIM_PID" 2>/dev/null || true
        wait "$SIM_PID" 2>/dev/null || true
    fi
    rm -rf "$WORK"
}
trap cleanup EXIT INT TERM

# The simulator's configuration for `count` modems on COM1..COM<count>.
write_config() {
    count=$1
    set -- M35 CLM920_NC5 ME909s-821 MG301 Q2406B MC323
    models=$#
    {
        printf '{"ports":['
        i=1
        while [ "$i" -le "$count" ]; do
            shift_by=$(( (i - 1) % models + 1 ))
            model=$(eval "echo \${$shift_by}")
            [ "$i" -gt 1 ] && printf ','
            printf '{"com":%d,"model":"%s","bauds":[9600],"imei":"8661234500%05d",' "$i" "$model" "$i"
            printf '"iccid":"898600123456789%05d","csq":"23,99","operator":"CHINA MOBILE"}' "$i"
            i=$((i + 1))
        done
        printf ']}\n'
    } > "$WORK/config.json"
}

now_ms() {
    date +%s%3N
}

bench_case() {
    count=$1
    rm -rf "$WORK/ports" && mkdir "$WORK/ports"
    write_config "$count"
    "$MODEMSIM" --config "$WORK/config.json" --dir "$WORK/ports" > "$WORK/modemsim.out" 2> "$WORK/modemsim.err" &
    SIM_PID=$!
    waited=0
    until grep -q READY "$WORK/modemsim.out" 2>/dev/null; do
        if [ "$waited" -ge 100 ] || ! kill -0 "$SIM_PID" 2>/dev/null; then
            echo "the simulator did not start:" >&2
            cat "$WORK/modemsim.err" >&2
            exit 1
        fi
        sleep 0.1
        waited=$((waited + 1))
    done

    run=1
    while [ "$run" -le "$RUNS" ]; do
        start=$(now_ms)
        TELLMAR_SERIALCOMM=$WORK/ports LC_ALL=C.UTF-8 "$TELLMAR" < /dev/null > "$WORK/out.txt" 2>&1
        end=$(now_ms)
        cost=$(sed -n 's/.*cost time \([0-9]*\) ms.*/\1/p' "$WORK/out.txt" | head -n 1)
        rows=$(grep -c '^COM' "$WORK/out.txt" || true)
        ok=$(grep -c '^COM[0-9]* *[0-9]* *OK' "$WORK/out.txt" || true)
        printf '%3d modem(s)  run %d:  scan %6s ms   whole run %6d ms   rows %3d   answering %3d\n' \
            "$count" "$run" "${cost:-?}" $((end - start)) "$rows" "$ok"
        run=$((run + 1))
    done

    kill "$SIM_PID"
    wait "$SIM_PID" 2>/dev/null || true
    SIM_PID=
}

bench_case 1
bench_case 64
