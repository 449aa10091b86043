#!/usr/bin/env bash
# Fetches a Debian source package into the current folder with `apt-get source`, Debian's
# patches applied, trying versions in order until one can be fetched: the installed
# version of BINARY first (its source matches what the Linux build uses), then every
# version apt knows of SOURCE, newest first. A newer version that the mirrors list but
# no longer (or not yet) serve is passed over, so an update published by Debian does not
# break the build. Prints the version fetched.
#   tools/debian-source.sh SOURCE BINARY
set -uo pipefail
source_package=${1:?usage: debian-source.sh SOURCE BINARY} binary=${2:?usage: debian-source.sh SOURCE BINARY}

candidates() {
  dpkg-query -W -f='${Version}\n' "$binary" 2>/dev/null
  apt-cache showsrc "$source_package" 2>/dev/null |
    awk -v p="$source_package" '$1 == "Package:" { ours = $2 == p } ours && $1 == "Version:" { print $2 }' |
    sort -urV
}

tried=
for version in $(candidates | awk 'NF && !seen[$0]++'); do
  if apt-get source -qq --only-source "$source_package=$version" >&2; then
    echo "$version"
    exit 0
  fi
  tried="$tried $version"
  rm -rf "$source_package"[-_]*  # what a failed fetch left
done
echo "debian-source: no version of $source_package could be fetched (tried:${tried:- none})" >&2
exit 1
