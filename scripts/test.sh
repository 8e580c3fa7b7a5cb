#!/usr/bin/env bash
# Builds everything in a fresh build directory and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
build=${TELLMAR_BUILD_DIR:-build}
rm -rf "$build"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j"$(nproc)"
ctest --test-dir "$build" --output-on-failure -j2 --timeout 600
