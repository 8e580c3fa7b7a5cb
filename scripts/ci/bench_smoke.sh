#!/usr/bin/env bash
# A smoke run of the codec benchmark (bench/codec_bench): every benchmark
# runs briefly and none reports an error, such as a listing no longer read
# as its 155 messages. A few seconds; the timings are not checked (the
# figures are the benchmark's to show, see README "Performance").
#
# Usage: scripts/ci/bench_smoke.sh BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$(realpath "${1:?usage: $0 BUILD_DIR}")
scripts/deps.sh libbenchmark-dev
if [[ ! -x "$build/bench/codec_bench" ]]; then
    cmake -S . -B "$build" >/dev/null
    cmake --build "$build" -j"$(nproc)" --target codec_bench >/dev/null
fi
out=$("$build/bench/codec_bench" --benchmark_min_time=0.01 2>&1)
echo "$out" | grep -E '^BM_' || true
if echo "$out" | grep -q 'ERROR OCCURRED'; then
    echo "codec benchmark: a benchmark failed" >&2
    exit 1
fi
[[ $(echo "$out" | grep -c '^BM_') -eq 5 ]] || { echo "codec benchmark: not every benchmark ran" >&2; exit 1; }
