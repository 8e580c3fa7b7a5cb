#!/usr/bin/env bash
# The layout of the C++ sources: every tracked .cpp and .h is as
# clang-format 14 writes it with the checked-in .clang-format. On a
# difference the check fails and shows it; `cmake --build BUILD_DIR --target
# format` rewrites the sources.
#
# Usage: scripts/ci/format.sh [BUILD_DIR]   (the build directory is not used)
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/deps.sh clang-format-14

report=$(mktemp "${TMPDIR:-/tmp}/tellmar-format.XXXXXX")
trap 'rm -f "$report"' EXIT
mapfile -t sources < <(git ls-files '*.cpp' '*.h')
if ! clang-format-14 --dry-run --Werror "${sources[@]}" 2>"$report"; then
    head -60 "$report" >&2
    echo "format: the sources above differ from .clang-format's layout;" \
        "run: cmake --build BUILD_DIR --target format" >&2
    exit 1
fi
echo "format: ${#sources[@]} sources in the project's layout"
