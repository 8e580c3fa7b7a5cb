#!/usr/bin/env bash
# The tests under the sanitizers, and the second compiler. The whole suite
# (but for the long waits named below),
# built by clang 14 with AddressSanitizer and UndefinedBehaviorSanitizer and
# every warning an error (the ordinary build is GCC's, so each compiler builds
# the project and passes every suite); then, built by GCC with
# ThreadSanitizer, the scan, transport, store and end-to-end suites, which
# run the probe threads, the device
# workers (in the program the end-to-end tests start) and the store's
# connections from several threads.
# The programs the tests start (tellmar, the simulator) are built the same
# way, so a finding in them fails the test that ran them. Any finding fails
# the check.
#
#   scripts/ci/sanitizers.sh BUILD_DIR     (builds into BUILD_DIR/asan and BUILD_DIR/tsan)
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
start=$SECONDS
phase() {
    echo "== sanitizers: $1 ($((SECONDS - start)) s)"
}

"$root/scripts/deps.sh" clang-14 libclang-rt-14-dev libtsan2 util-linux
phase "packages"

export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1:check_initialization_order=1:strict_init_order=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$root/scripts/ci/tsan.supp"
# ThreadSanitizer needs the low address space it expects; a kernel with more
# address randomisation than it knows breaks it. Without randomisation it
# always finds it (the setting is inherited by every process a test starts).
norandom=(setarch "$(uname -m)" -R)

# Tests that spend nearly all their time waiting out a long deadline of the
# program (the 120 s a network may take over a message body) run only in the
# ordinary build: the code they reach is run under the sanitizers by the
# tests of the short deadlines (silence, listing), so here they would add
# two minutes of waiting and nothing the sanitizers could find. A test that
# waits out a deadline of more than a minute belongs in this list.
long_waits=(
    FaultScenariosE2E.ABodyTheNetworkNeverAnswersIsGivenUpAtTheModulesMaximum
)
exclude="^($(IFS='|'; echo "${long_waits[*]}"))\$"

# -O1 with line tables only: half the compile time of -O2 -g, with stack
# traces that still name files and lines; assertions stay on.
flags=(-DCMAKE_BUILD_TYPE=None "-DCMAKE_CXX_FLAGS=-O1 -g1" -DTELLMAR_WERROR=ON)

CC=clang-14 CXX=clang++-14 cmake -S "$root" -B "$build/asan" "${flags[@]}" -DTELLMAR_SANITIZE=address >/dev/null
cmake --build "$build/asan" -j"$(nproc)"
phase "ASan+UBSan build (clang)"
ctest --test-dir "$build/asan" --output-on-failure -j2 --timeout 900 -E "$exclude"
phase "ASan+UBSan: every suite"

suites=(scan_tests transport_tests store_tests e2e_tests tellmar tellmar-modemsim)
cmake -S "$root" -B "$build/tsan" "${flags[@]}" -DTELLMAR_SANITIZE=thread >/dev/null
cmake --build "$build/tsan" -j"$(nproc)" --target "${suites[@]}"
phase "TSan build"
"${norandom[@]}" ctest --test-dir "$build/tsan" --output-on-failure -j2 --timeout 900 \
    -L '^(scan|transport|store|e2e)$' -E "$exclude"
phase "TSan: scan, transport, store and end-to-end suites"
