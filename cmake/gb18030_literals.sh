#!/bin/sh
# Writes a copy of a C++ source in which every character beyond ASCII is
# encoded in GB18030 and each of its bytes written as an octal escape, so
# that string literals hold the bytes that g++ -fexec-charset=GB18030 gives
# them, for a compiler without that execution charset (clang). Comments get
# the same escapes, which change nothing. A source that has characters beyond
# ASCII and raw or u8 string literals is refused: escapes would not mean the
# same there.
#
#   cmake/gb18030_literals.sh SOURCE COPY
set -eu
source=$1
copy=$2
if LC_ALL=C grep -q '[^[:print:][:space:]]' "$source" && grep -Eq '(R|u8)"' "$source"; then
    echo "$source: raw or u8 string literals and characters beyond ASCII" >&2
    exit 1
fi
mkdir -p "$(dirname "$copy")"
iconv -f UTF-8 -t GB18030 "$source" |
    LC_ALL=C perl -pe 's/([\x80-\xff])/sprintf("\\%03o", ord($1))/ge' >"$copy.tmp"
mv "$copy.tmp" "$copy"
