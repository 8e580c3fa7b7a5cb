# Sourced by the scripts that run the programs against simulated modems.
#
#   source scripts/lib/modemsim.bash
#   modemsim_start MODEMSIM CONFIG WORKDIR   # ports in WORKDIR/ports
#   ... TELLMAR_SERIALCOMM=$WORKDIR/ports tellmar ...
#   modemsim_stop
#
# The simulator logs to WORKDIR/log.jsonl and keeps its state in
# WORKDIR/state.json. The calling script stops it from its EXIT trap
# (modemsim_stop does nothing when it is not running).

modemsim_pid=

modemsim_stop() {
    if [[ -n "$modemsim_pid" ]]; then
        kill "$modemsim_pid" 2>/dev/null || true
        wait "$modemsim_pid" 2>/dev/null || true
        modemsim_pid=
    fi
}

# Starts the simulator and waits (10 s at most) for its READY line; on
# failure prints its standard error and returns 1.
modemsim_start() {
    local modemsim=$1 config=$2 work=$3
    mkdir -p "$work"
    "$modemsim" --config "$config" --dir "$work/ports" \
        --log "$work/log.jsonl" --state "$work/state.json" >"$work/sim.out" 2>"$work/sim.err" &
    modemsim_pid=$!
    local _
    for _ in $(seq 100); do
        grep -qx READY "$work/sim.out" 2>/dev/null && return 0
        kill -0 "$modemsim_pid" 2>/dev/null || break
        sleep 0.1
    done
    echo "The modem simulator did not start:" >&2
    cat "$work/sim.err" >&2
    return 1
}
