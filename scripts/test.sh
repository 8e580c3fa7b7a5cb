#!/usr/bin/env bash
# Builds everything in a fresh build directory of its own (build-ci, or
# TELLMAR_CI_BUILD_DIR; a developer's build/ is left alone), with every
# warning an error, and runs every test, then each further check under
# scripts/ci/ (one script per check, run in name order with the build
# directory as argument; each installs what it needs).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
build=${TELLMAR_CI_BUILD_DIR:-build-ci}
rm -rf "$build"
start=$SECONDS
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTELLMAR_WERROR=ON
cmake --build "$build" -j"$(nproc)"
ctest --test-dir "$build" --output-on-failure -j2 --timeout 600
echo "== build and tests: $((SECONDS - start)) s"

shopt -s nullglob
for check in scripts/ci/*.sh; do
    start=$SECONDS
    echo "== $check"
    "$check" "$build"
    echo "== $check: $((SECONDS - start)) s"
done
