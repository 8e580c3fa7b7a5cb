#!/usr/bin/env bash
# Builds tellmar and runs it: on the machine's modems when serial hardware is
# attached (or TELLMAR_SERIALCOMM names a port directory), otherwise the demo
# against the built-in modem simulator. Arguments are passed to tellmar on
# the real-modem path.
set -euo pipefail
cd "$(dirname "$0")/.."

# Installing and building talk on standard error, so that standard output
# carries tellmar's document alone.
scripts/deps.sh >&2
build=${TELLMAR_BUILD_DIR:-build}
# A build directory that is already configured (with or without the tests)
# keeps its settings; only the two programs are brought up to date.
if [[ ! -f "$build/CMakeCache.txt" ]]; then
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTELLMAR_BUILD_TESTS=OFF >&2
fi
cmake --build "$build" -j"$(nproc)" --target tellmar tellmar-modemsim >&2

has_hardware() {
    [[ -n "${TELLMAR_SERIALCOMM:-}" ]] && return 0
    local dev
    for dev in /sys/class/tty/ttyUSB* /sys/class/tty/ttyACM*; do
        [[ -e "$dev/device" ]] && return 0
    done
    return 1
}

if has_hardware; then
    exec "$build/src/main/tellmar" "$@"
fi
exec scripts/demo.sh "$build"
