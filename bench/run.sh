#!/bin/sh
# The benchmark: builds what it needs, then prints one run of the commands
# against simulated modems (default pacing beside the quiet-line mode, with
# the ratios and targets) and the Google Benchmark figures of the PDU codec
# and of the listing parse. Takes about five minutes, most of it the
# quiet-line mode.
#
#   bench/run.sh [BUILD_DIR]
set -eu

cd "$(dirname "$0")/.."
BUILD=${1:-build}
[ -f "$BUILD/CMakeCache.txt" ] || cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target tellmar tellmar-modemsim tellmar_bench codec_bench >/dev/null

"$BUILD/bench/tellmar_bench" "$BUILD"
echo
"$BUILD/bench/codec_bench" --benchmark_min_time=0.2
