#!/usr/bin/env bash
# Fetches the sources of a Debian package into DIR with `apt-get source`, at
# the version of BINARY that this machine has installed (or would install),
# through a private sources list and private apt state, so the machine's
# own lists stay untouched. Prints the unpacked source folder. Nothing is
# fetched when a folder holding MARKER (a path inside the sources) is
# already there.
#
#   scripts/windows/debian-source.sh SOURCE BINARY MARKER DIR
#   (e.g. sqlite3 libsqlite3-dev sqlite3.h build-win/sqlite)
set -euo pipefail

source_package=$1
binary=$2
marker=$3
dir=$(mkdir -p "$4" && cd "$4" && pwd)
name=$(basename "$0")

version=$(dpkg-query -W -f='${Version}' "$binary" 2>/dev/null ||
          apt-cache policy "$binary" | awk '/Candidate:/ {print $2}')
if [[ -z "$version" || "$version" == "(none)" ]]; then
    echo "$name: no version of $binary is known to apt" >&2
    exit 1
fi
# A binary-only rebuild (+b1) has the version of its source without it.
version=${version%+b[0-9]*}
upstream=${version#*:}
upstream=${upstream%-*}
src="$dir/$source_package-$upstream"
if [[ -e "$src/$marker" ]]; then
    echo "$src"
    exit 0
fi

# The archives of the machine's binary packages (release, updates and
# security), as source archives: the installed version may come from any.
mapfile -t archives < <(apt-get indextargets --format '$(REPO_URI) $(RELEASE) $(COMPONENT)' \
                            'Created-By: Packages' | sort -u)
if ((${#archives[@]} == 0)); then
    echo "$name: no Debian archive configured for apt" >&2
    exit 1
fi
state="$dir/apt"
mkdir -p "$state/lists/partial" "$state/cache/archives/partial"
keyring=/usr/share/keyrings/debian-archive-keyring.gpg
signed=""
[[ -f $keyring ]] && signed="[signed-by=$keyring] "
for archive in "${archives[@]}"; do
    read -r uri suite component <<<"$archive"
    echo "deb-src ${signed}${uri} ${suite} ${component}"
done | sort -u >"$state/sources.list"
apt_opts=(-o "Dir::Etc::sourcelist=$state/sources.list" -o "Dir::Etc::sourceparts=-"
          -o "Dir::State::Lists=$state/lists" -o "Dir::Cache=$state/cache"
          -o "APT::Get::List-Cleanup=0" -o "APT::Sandbox::User=root" -qq)

command -v dpkg-source >/dev/null || {
    export DEBIAN_FRONTEND=noninteractive
    apt-get install -y -qq --no-install-recommends dpkg-dev >/dev/null
}
apt-get "${apt_opts[@]}" update >&2
(cd "$dir" && apt-get "${apt_opts[@]}" source "$source_package=$version" >&2)
if [[ ! -e "$src/$marker" ]]; then
    echo "$name: $src has no $marker" >&2
    exit 1
fi
echo "$src"
