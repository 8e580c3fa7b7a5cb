#!/usr/bin/env bash
# The Debian package: built with CPack from the build directory (nothing is
# rebuilt when it is up to date), checked with lintian, unpacked into a
# temporary root, its systemd unit verified, and its programs run from
# there: tellmar -v, and a send and an inbox read against its own simulator.
#
# Usage: scripts/ci/package.sh BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$(realpath "${1:?usage: $0 BUILD_DIR}")
scripts/deps.sh dpkg-dev lintian jq systemd

fail() {
    echo "package: $*" >&2
    exit 1
}

[[ -f "$build/doc/tellmar.1.gz" ]] ||
    fail "$build has no manual pages: configure it with scdoc installed (scripts/deps.sh)"
rm -f "$build"/tellmar_*.deb
(cd "$build" && cpack -G DEB) >"$build/cpack.log" 2>&1 || { cat "$build/cpack.log" >&2; fail "cpack failed"; }
debs=("$build"/tellmar_*_"$(dpkg --print-architecture)".deb)
[[ -f "${debs[0]}" ]] || fail "no tellmar_<version>_<arch>.deb in $build"
deb=${debs[0]}
echo "built $(basename "$deb")"
dpkg-deb --field "$deb" Package Version Depends

# Errors fail the check; warnings and notes are shown.
lintian --fail-on error --display-info "$deb" 2>&1 | grep -v '^running with root privileges' || true
lintian --fail-on error "$deb" >/dev/null 2>&1 || fail "lintian reports errors"

source scripts/lib/modemsim.bash
work_folder tellmar-package

root=$work/root
dpkg-deb -x "$deb" "$root"
for file in usr/bin/tellmar usr/bin/tellmar-modemsim usr/share/man/man1/tellmar.1.gz \
    usr/share/man/man1/tellmar-modemsim.1.gz usr/share/doc/tellmar/copyright \
    usr/share/doc/tellmar/changelog.gz usr/share/doc/tellmar/README.md \
    usr/share/doc/tellmar/examples/demo.json usr/share/bash-completion/completions/tellmar \
    lib/systemd/system/tellmar-watch.service; do
    [[ -e "$root/$file" ]] || fail "the package lacks /$file"
done

# The watch's unit, checked by systemd itself in a root made of the unpacked
# package and this system's units: its ExecStart must name the packaged
# program, and every line must be understood (systemd ignores a line it
# cannot read with a warning only, so any message fails the check).
unitroot=$work/unitroot
cp -a "$root" "$unitroot"
cp -a --no-clobber /lib/systemd/system/. "$unitroot/lib/systemd/system/"
verified=$(systemd-analyze verify --man=no --root="$unitroot" /lib/systemd/system/tellmar-watch.service 2>&1) ||
    fail "systemd-analyze verify: $verified"
[[ -z "$verified" ]] || fail "systemd-analyze verify: $verified"
exposure=$(systemd-analyze security --offline=yes --root="$unitroot" /lib/systemd/system/tellmar-watch.service 2>&1 |
    sed -n 's/.*Overall exposure level for [^:]*: //p')
echo "tellmar-watch.service verified; systemd's exposure level: $exposure"
grep -qx 'ExecStart=/usr/bin/tellmar sms watch $TELLMAR_PORTS' "$root/lib/systemd/system/tellmar-watch.service" ||
    fail "the unit does not run tellmar sms watch"

export LC_ALL=C.UTF-8
# The version of project(VERSION), as the build was configured with it.
project_version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
version=$("$root/usr/bin/tellmar" -v)
[[ -n "$project_version" && "$version" == "${project_version}版本 编译时间 "* ]] ||
    fail "unexpected version line: $version (version $project_version)"
echo "tellmar -v: $version"

modemsim_start "$root/usr/bin/tellmar-modemsim" "$root/usr/share/doc/tellmar/examples/demo.json" "$work/sim"
export TELLMAR_SERIALCOMM=$work/sim/ports
"$root/usr/bin/tellmar" 3,6 13800138000 "sent by the packaged program" >"$work/send.json"
jq -e '[.result[] | select(.code == 0) | .com] == ["COM3", "COM6"]' "$work/send.json" >/dev/null ||
    fail "the packaged program did not send: $(cat "$work/send.json")"
"$root/usr/bin/tellmar" sms sread >"$work/read.json"
jq -e '.portcount >= 2 and ([.ports[].msgcount] | add) > 0' "$work/read.json" >/dev/null ||
    fail "the packaged program read no inbox: $(cat "$work/read.json")"
echo "the unpacked tellmar sent through COM3 and COM6 and read $(jq '[.ports[].msgcount] | add' "$work/read.json") stored messages"

# The packaged completion offers the inbox words and the simulator's ports.
completed=$(bash --norc -c 'source "$1" || exit 1
    COMP_LINE="tellmar sms sread " COMP_WORDS=(tellmar sms sread "") COMP_CWORD=3
    _tellmar; echo "${COMPREPLY[*]}"
    COMP_LINE="tellmar sms r" COMP_WORDS=(tellmar sms r) COMP_CWORD=2
    _tellmar; echo "${COMPREPLY[*]}"' \
    bash "$root/usr/share/bash-completion/completions/tellmar")
[[ "$completed" == *3*6*$'\n'"read readclear" ]] ||
    fail "the packaged completion does not complete: $completed"
echo "the packaged bash completion: ports $(head -1 <<<"$completed"), sms r: $(tail -1 <<<"$completed")"
