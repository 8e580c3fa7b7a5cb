#!/usr/bin/env bash
# Fetches the sources of Debian's libjsoncpp (the version the Linux build
# links) into DIR with `apt-get source`, through a private sources list and
# private apt state, so the machine's own lists stay untouched. Prints the
# unpacked source folder. Nothing is fetched when it is already there.
#
#   scripts/windows/jsoncpp-source.sh DIR
set -euo pipefail

dir=$(mkdir -p "$1" && cd "$1" && pwd)
version=$(dpkg-query -W -f='${Version}' libjsoncpp-dev 2>/dev/null ||
          apt-cache policy libjsoncpp-dev | awk '/Candidate:/ {print $2}')
upstream=${version#*:}
upstream=${upstream%-*}
src="$dir/libjsoncpp-$upstream"
if [[ -f "$src/include/json/json.h" ]]; then
    echo "$src"
    exit 0
fi

# The same archive and suite as the machine's binary packages: the entry
# whose suite carries no -updates/-security suffix.
read -r uri suite < <(apt-get indextargets --format '$(REPO_URI) $(RELEASE)' 'Created-By: Packages' |
                      awk '$2 !~ /-/ {print; exit}')
if [[ -z "${uri:-}" ]]; then
    echo "jsoncpp-source: no Debian archive configured for apt" >&2
    exit 1
fi
state="$dir/apt"
mkdir -p "$state/lists/partial" "$state/cache/archives/partial"
keyring=/usr/share/keyrings/debian-archive-keyring.gpg
signed=""
[[ -f $keyring ]] && signed="[signed-by=$keyring] "
echo "deb-src ${signed}${uri} ${suite} main" > "$state/sources.list"
apt_opts=(-o "Dir::Etc::sourcelist=$state/sources.list" -o "Dir::Etc::sourceparts=-"
          -o "Dir::State::Lists=$state/lists" -o "Dir::Cache=$state/cache"
          -o "APT::Get::List-Cleanup=0" -o "APT::Sandbox::User=root" -qq)

command -v dpkg-source >/dev/null || {
    export DEBIAN_FRONTEND=noninteractive
    apt-get install -y -qq --no-install-recommends dpkg-dev >/dev/null
}
apt-get "${apt_opts[@]}" update >&2
(cd "$dir" && apt-get "${apt_opts[@]}" source "libjsoncpp=$version" >&2)
if [[ ! -f "$src/include/json/json.h" ]]; then
    echo "jsoncpp-source: $src has no include/json/json.h" >&2
    exit 1
fi
echo "$src"
