#!/usr/bin/env bash
# The second compiler: the whole project built with clang 14 (Debian's), with
# every warning an error, and every test suite run against that build.
#
#   scripts/ci/clang.sh BUILD_DIR      (builds into BUILD_DIR/clang)
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
start=$SECONDS
phase() {
    echo "== clang: $1 ($((SECONDS - start)) s)"
}

"$root/scripts/deps.sh" clang-14
phase "packages"

CC=clang-14 CXX=clang++-14 cmake -S "$root" -B "$build/clang" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTELLMAR_WERROR=ON >/dev/null
cmake --build "$build/clang" -j"$(nproc)"
phase "build"
ctest --test-dir "$build/clang" --output-on-failure -j2 --timeout 600
phase "every suite"
