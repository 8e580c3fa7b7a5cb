# Sourced by the scripts that run the programs against simulated modems.
#
#   source scripts/lib/modemsim.bash
#   work_folder tellmar-NAME                 # $work, removed at exit
#   modemsim_start MODEMSIM CONFIG "$work/sim"   # ports in $work/sim/ports
#   ... TELLMAR_SERIALCOMM=$work/sim/ports tellmar ...
#
# The simulator logs to DIR/log.jsonl and keeps its state in DIR/state.json.
# At exit the processes named in cleanup_pids are ended, the simulator is
# stopped and $work is removed.

modemsim_pid=
cleanup_pids=()

# Makes the script's work folder $work and sets the EXIT trap that cleans up.
work_folder() {
    work=$(mktemp -d "${TMPDIR:-/tmp}/$1.XXXXXX")
    trap work_cleanup EXIT
    trap 'exit 130' INT TERM
}

work_cleanup() {
    local pid
    for pid in "${cleanup_pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    modemsim_stop
    rm -rf "$work"
}

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
