#!/usr/bin/env bash
# The manual pages: both render with man -l without a warning, and they name
# what the code offers: every environment variable the program reads, every
# key of its JSON documents, and every configuration and fault key of the
# simulator.
#
# Usage: scripts/ci/manpages.sh BUILD_DIR
# ctest runs it too (test "manpages"), with TELLMAR_NO_INSTALL=1: then
# nothing is installed, and without man the check is skipped (status 77).
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$(realpath "${1:?usage: $0 BUILD_DIR}")
if [[ -n "${TELLMAR_NO_INSTALL:-}" ]]; then
    command -v man >/dev/null || { echo "man is not installed: skipped"; exit 77; }
else
    scripts/deps.sh man-db groff-base
fi

failed=0
fail() {
    echo "manual pages: $*" >&2
    failed=1
}

work=$(mktemp -d "${TMPDIR:-/tmp}/tellmar-man.XXXXXX")
trap 'rm -rf "$work"' EXIT

for page in tellmar.1 tellmar-modemsim.1; do
    roff=$build/doc/$page
    [[ -f "$roff" ]] || { fail "$roff is missing: configure $build with scdoc installed (scripts/deps.sh)"; continue; }
    LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$roff" >"$work/$page.txt" 2>"$work/$page.err" ||
        fail "man -l $page failed"
    [[ -s "$work/$page.err" ]] && fail "$page renders with warnings: $(cat "$work/$page.err")"
    for section in NAME SYNOPSIS DESCRIPTION "EXIT STATUS" EXAMPLES "SEE ALSO"; do
        grep -q "^$section\$" "$work/$page.txt" || fail "$page has no $section section"
    done
    echo "$page: $(wc -l <"$work/$page.txt") lines"
done
[[ $failed -eq 0 ]] || exit 1

# Names that must appear in a page, as words.
expect_words() {
    local page=$1 what=$2
    shift 2
    local word
    for word in "$@"; do
        grep -qw -- "$word" "$work/$page.txt" || fail "$page does not name the $what $word"
    done
}

mapfile -t variables < <(grep -rhoE '"(TELLMAR_[A-Z_]+|NO_COLOR)"' src | tr -d '"' | sort -u)
expect_words tellmar.1 "environment variable" "${variables[@]}"

mapfile -t keys < <(grep -hoE '\["[a-z]+"\]|\\?"[a-z]+\\?":' src/app/json_documents.cpp |
    grep -oE '[a-z]+' | sort -u)
expect_words tellmar.1 "JSON key" "${keys[@]}"

mapfile -t simKeys < <(perl -0ne 'while (/OnlyKeys\(\s*\w+,\s*\{([^}]*)\},\s*"(port|faults|)"/g) {
        print "$_\n" for $1 =~ /"([a-z_0-9]+)"/g }' tools/modemsim/sim_config.cpp | sort -u)
((${#simKeys[@]} > 20)) || fail "could not read the simulator's keys from tools/modemsim/sim_config.cpp"
expect_words tellmar-modemsim.1 "configuration key" "${simKeys[@]}"

[[ $failed -eq 0 ]] || exit 1
echo "both pages render and name ${#variables[@]} variables, ${#keys[@]} JSON keys and ${#simKeys[@]} simulator keys"
