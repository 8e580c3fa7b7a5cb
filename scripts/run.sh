#!/usr/bin/env bash
# Builds tellmar and runs it: on the machine's modems when serial hardware is
# attached (or TELLMAR_SERIALCOMM names a port directory), otherwise the demo
# against the built-in modem simulator.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
build=${TELLMAR_BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTELLMAR_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target tellmar tellmar-modemsim

has_hardware() {
    [[ -n "${TELLMAR_SERIALCOMM:-}" ]] && return 0
    local dev
    for dev in /sys/class/tty/ttyUSB* /sys/class/tty/ttyACM*; do
        [[ -e "$dev/device" ]] && return 0
    done
    return 1
}

if has_hardware; then
    exec "$build/tellmar" "$@"
fi
exec scripts/demo.sh "$build"
