#!/usr/bin/env bash
# Fuzzes every reader of untrusted bytes with libFuzzer (clang, with
# AddressSanitizer and UndefinedBehaviorSanitizer): each target of
# tests/fuzz runs for a bounded time from a copy of its seed corpus
# (tests/data/fuzz/<target>), as many targets at once as there are cores. A crash, a broken invariant, a leak, an input
# that takes more than 10 s or more than 2 GB fails the check; the input is
# printed. Prints the executions of each target.
#
#   scripts/ci/fuzz.sh BUILD_DIR      (builds into BUILD_DIR/fuzz)
#   FUZZ_SECONDS=60 scripts/ci/fuzz.sh build    (longer runs; default 20 s a target)
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
seconds=${FUZZ_SECONDS:-20}
start=$SECONDS
phase() {
    echo "== fuzz: $1 ($((SECONDS - start)) s)"
}

"$root/scripts/deps.sh" clang-14 libclang-rt-14-dev
phase "packages"

targets=()
for source in "$root"/tests/fuzz/fuzz_*.cpp; do
    targets+=("$(basename "$source" .cpp)")
done
CXX=clang++-14 cmake -S "$root" -B "$build/fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTELLMAR_FUZZ=ON -DTELLMAR_WERROR=ON >/dev/null
cmake --build "$build/fuzz" -j"$(nproc)" --target "${targets[@]}"
phase "build"

work=$(mktemp -d "${TMPDIR:-/tmp}/tellmar-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT

# One target: its exit status goes to $work/<target>/status.
fuzz_target() {
    local target=$1 status=0
    mkdir -p "$work/$target"
    cp -r "$root/tests/data/fuzz/$target" "$work/$target/corpus"
    # Standard output is closed: the probe's notes are not looked at.
    (cd "$work/$target" && "$build/fuzz/tests/fuzz/$target" -max_total_time="$seconds" \
        -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -close_fd_mask=1 \
        -artifact_prefix="$work/$target/" corpus) >"$work/$target/log" 2>&1 || status=$?
    echo "$status" >"$work/$target/status"
}

# As many targets at once as there are cores; each runs for its own time.
slots=$(nproc)
for target in "${targets[@]}"; do
    while (($(jobs -rp | wc -l) >= slots)); do
        wait -n || true
    done
    fuzz_target "$target" &
done
wait
phase "runs"

summary=()
failed=0
for target in "${targets[@]}"; do
    log="$work/$target/log"
    if [[ "$(cat "$work/$target/status" 2>/dev/null)" == 0 ]]; then
        executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        summary+=("$(printf '%-22s %10s executions in %s s' "$target" "$executions" "$seconds")")
    else
        failed=1
        summary+=("$(printf '%-22s FAILED' "$target")")
        echo "== fuzz: $target found a fault:"
        grep -v '^#' "$log" | tail -40
        for artifact in "$work/$target"/crash-* "$work/$target"/leak-* "$work/$target"/timeout-* \
                        "$work/$target"/oom-*; do
            [[ -e "$artifact" ]] || continue
            echo "-- $(basename "$artifact") (input in hexadecimal):"
            od -An -tx1 -v "$artifact" | head -40
        done
    fi
done
printf '%s\n' "${summary[@]}"
exit "$failed"
