#!/usr/bin/env bash
# SQLite for the cross build: the amalgamation (sqlite3.c and sqlite3.h) made
# from the sources of Debian's sqlite3 package, at the version the Linux
# build links, with the tools of the build machine (its C compiler and
# tclsh, from Debian's tcl). The sources are fetched into DIR unless
# SOURCE_DIR names them. Prints the folder that holds the two files; nothing
# is made again when it is there for the same sources.
#
#   scripts/windows/sqlite-amalgamation.sh DIR [SOURCE_DIR]
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
dir=$(mkdir -p "$1" && cd "$1" && pwd)
if [[ -n "${2:-}" ]]; then
    src=$(cd "$2" && pwd)
else
    src=$("$root/scripts/windows/debian-source.sh" sqlite3 libsqlite3-dev src/sqlite.h.in "$dir")
fi
out="$dir/sqlite-amalgamation"
if [[ -f "$out/sqlite3.c" && -f "$out/sqlite3.h" && "$(cat "$out/source" 2>/dev/null)" == "$src" ]]; then
    echo "$out"
    exit 0
fi
for tool in tclsh "${HOST_CC:-cc}" make; do
    command -v "$tool" >/dev/null || {
        echo "sqlite-amalgamation: $tool is missing (Debian packages tcl, gcc and make)" >&2
        exit 1
    }
done

# The sources' own makefile for builds without configure (main.mk, which
# Makefile.linux-gcc includes) makes the amalgamation from src/ with its
# tools (lemon, mkkeywordhash, the Tcl scripts in tool/); nothing else is
# built.
work="$dir/sqlite-work"
rm -rf "$work" "$out"
mkdir -p "$work"
cc="${HOST_CC:-cc} -O1"
(cd "$work" && make -f "$src/main.mk" TOP="$src" BCC="$cc" TCC="$cc" -j"$(nproc)" sqlite3.c \
     >make.log 2>&1) || { tail -20 "$work/make.log" >&2; exit 1; }
mkdir -p "$out"
cp "$work/sqlite3.c" "$work/sqlite3.h" "$out/"
echo "$src" >"$out/source"
rm -rf "$work"
echo "$out"
