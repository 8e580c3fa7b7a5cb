#!/usr/bin/env bash
# The main job against simulated modems: starts tellmar-modemsim with
# tools/modemsim/demo.json, sends a text through every usable modem, reads
# every inbox with "sms read", prints both JSON documents and what the
# simulated network received, and stops the simulator.
#
# Usage: scripts/demo.sh [BUILD_DIR]   (default: $TELLMAR_BUILD_DIR or build;
# the two programs are built there when they are missing)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-${TELLMAR_BUILD_DIR:-build}}
tellmar=$build/src/main/tellmar
modemsim=$build/tools/modemsim/tellmar-modemsim

if [[ ! -x "$tellmar" || ! -x "$modemsim" ]]; then
    scripts/deps.sh
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$build" -j"$(nproc)" --target tellmar tellmar-modemsim
fi

source scripts/lib/modemsim.bash
work_folder tellmar-demo

modemsim_start "$modemsim" tools/modemsim/demo.json "$work"

# The demo's own texts are UTF-8, whatever the caller's locale.
export LC_ALL=C.UTF-8
export TELLMAR_SERIALCOMM=$work/ports

echo "Simulated modems (tools/modemsim/demo.json): $(ls "$TELLMAR_SERIALCOMM" | tr '\n' ' ')"
echo

text="你好，这是 Tellmar 的演示短信"
echo "\$ tellmar 13800138000,10086 \"$text\""
"$tellmar" 13800138000,10086 "$text"

echo "\$ tellmar sms read"
"$tellmar" sms read

# The simulator logs every accepted message body ("sms") and every message
# whose parts have all come ("message"), one JSON object a line.
echo "What the simulated network received:"
perl -ne '
    next unless /"event":"(sms|message)"/;
    my $event = $1;
    my %f;
    while (/"(\w+)":("(?:[^"\\]|\\.)*"|-?\d+)/g) {
        my ($key, $value) = ($1, $2);
        $value =~ s/^"(.*)"$/$1/s and $value =~ s/\\(["\\\/])/$1/g;
        $f{$key} //= $value;
    }
    if ($event eq "sms") {
        print "  COM$f{com}   part $f{part}/$f{total} to $f{number}: $f{text}\n" if defined $f{total};
    } else {
        my $parts = $f{parts} > 1 ? " ($f{parts} parts)" : "";
        print "  COM$f{com} -> $f{number}$parts: $f{text}\n";
    }
' "$work/log.jsonl"
