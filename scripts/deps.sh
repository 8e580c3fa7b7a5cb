#!/usr/bin/env bash
# Installs, with apt-get, whatever the build and the tests need and is missing,
# and the further Debian packages named as arguments (for the checks under
# scripts/ci/). Meant for Debian 12 as root; does nothing when everything is
# present.
#
# Usage: scripts/deps.sh [PACKAGE...]
set -euo pipefail

packages=(cmake g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev libjsoncpp-dev libsqlite3-dev tmux scdoc "$@")
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
