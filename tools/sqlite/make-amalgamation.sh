#!/usr/bin/env bash
# Makes SQLite's amalgamation (sqlite3.c, sqlite3.h) for the Windows build from Debian's
# sqlite3 source package, Debian's patches applied: `apt-get source sqlite3`, its
# configure, `make sqlite3.c`. Writes OUT_DIR/sqlite3.c, sqlite3.h and VERSION (the
# package's version); does nothing when they are there. About 20 s.
#   tools/sqlite/make-amalgamation.sh OUT_DIR
set -euo pipefail
out=${1:?usage: make-amalgamation.sh OUT_DIR}
[ -s "$out/sqlite3.c" ] && [ -s "$out/sqlite3.h" ] && [ -s "$out/VERSION" ] && exit 0
root=$(cd "$(dirname "$0")/../.." && pwd)

# The source entries (install_missing_packages adds them), and what configure and make
# run (tclsh writes the amalgamation).
source "$root/tools/install-packages.sh"
install_missing_packages dpkg-dev tcl gcc make

mkdir -p "$out"
work=$(mktemp -d "$out/source.XXXXXX")
trap 'rm -rf "$work"' EXIT
log=$work.log

# Runs in $work. The tools it builds run here, so they are built for this machine: a
# caller's CC (CMake's cross compiler) does not apply.
make_amalgamation() {
  apt-get source -qq sqlite3 || return 1
  local tree
  tree=$(find . -mindepth 1 -maxdepth 1 -type d -name 'sqlite3-*')
  [ -x "$tree/configure" ] || { echo "apt-get source sqlite3 gave no source tree"; return 1; }
  cd "$tree" &&
    env -u CC -u CFLAGS -u CPPFLAGS -u LDFLAGS -u MAKEFLAGS ./configure --disable-tcl &&
    env -u CC -u CFLAGS -u CPPFLAGS -u LDFLAGS -u MAKEFLAGS make sqlite3.c &&
    dpkg-parsechangelog -S Version >VERSION.debian &&
    cp sqlite3.c sqlite3.h VERSION.debian ..
}
echo "SQLite amalgamation: apt-get source sqlite3, make sqlite3.c (log: $log)"
(cd "$work" && make_amalgamation) >"$log" 2>&1 ||
  { tail -n 30 "$log" >&2; echo "make-amalgamation: failed (log: $log)" >&2; exit 1; }

# Each file lands whole (a rename), VERSION last: its presence says the rest is there.
for file in sqlite3.c sqlite3.h VERSION; do
  cp "$work/${file/VERSION/VERSION.debian}" "$out/$file.tmp" && mv "$out/$file.tmp" "$out/$file" ||
    { echo "make-amalgamation: cannot write $out/$file" >&2; exit 1; }
done
rm -f "$log"
echo "SQLite amalgamation $(cat "$out/VERSION") in $out"
