#!/usr/bin/env bash
# A 60-second run of the soak (bench/soak): sends and readclear runs against
# 8 simulated modems with random faults while messages arrive. Fails when an
# invariant breaks: a part accepted twice, a message deleted unreported, a
# run without its document, a simulator that grows. The seed is printed
# first; `bench/soak --seed N --seconds 60` replays the run.
#
# Usage: scripts/ci/soak.sh BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$(realpath "${1:?usage: $0 BUILD_DIR}")
scripts/deps.sh python3
bench/soak --seconds "${SOAK_SECONDS:-60}" --build "$build"
