#!/usr/bin/env bash
# Makes cpp-httplib's code for the Windows build from Debian's cpp-httplib source package
# (Debian's /usr/include/httplib.h only declares it; its code is in a Linux library): the
# package's split.py writes httplib.h (Debian's header) and httplib.cc. Writes
# OUT_DIR/httplib.h, httplib.cc and VERSION; does nothing when they are there. About 10 s.
#   tools/httplib/split-httplib.sh OUT_DIR
set -euo pipefail
out=${1:?usage: split-httplib.sh OUT_DIR}
[ -s "$out/VERSION" ] && exit 0
root=$(cd "$(dirname "$0")/../.." && pwd)

source "$root/tools/install-packages.sh"
install_missing_packages dpkg-dev python3

mkdir -p "$out"
work=$(mktemp -d "$out/source.XXXXXX")
trap 'rm -rf "$work"' EXIT
split() {  # in $work
  local version tree
  version=$("$root/tools/debian-source.sh" cpp-httplib libcpp-httplib-dev) || return 1
  tree=$(find . -mindepth 1 -maxdepth 1 -type d -name 'cpp-httplib-*')
  [ -f "$tree/split.py" ] || { echo "apt-get source cpp-httplib gave no split.py"; return 1; }
  (cd "$tree" && python3 ./split.py -o "$work/out") && echo "$version" >out/VERSION
}
echo "cpp-httplib for MinGW: apt-get source cpp-httplib, split.py"
(cd "$work" && split) >"$work.log" 2>&1 ||
  { tail -n 30 "$work.log" >&2; rm -f "$work.log"; echo "split-httplib: failed" >&2; exit 1; }
rm -f "$work.log"

# Each file lands whole (a rename), VERSION last: its presence says the rest is there.
for file in httplib.h httplib.cc VERSION; do
  mv "$work/out/$file" "$out/$file" || { echo "split-httplib: cannot write $out/$file" >&2; exit 1; }
done
echo "cpp-httplib $(cat "$out/VERSION") in $out"
