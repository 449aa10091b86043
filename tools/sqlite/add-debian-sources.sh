#!/usr/bin/env bash
# Makes Debian 12's source packages known to apt (for `apt-get source sqlite3`), from the
# mirrors already configured for bookworm: each "deb" entry of a bookworm suite gets its
# "deb-src" twin in /etc/apt/sources.list.d/fwflash-deb-src.list. Does nothing when apt
# already knows sqlite3's source. Needs root, or sudo.
set -euo pipefail
apt-cache showsrc sqlite3 2>/dev/null | grep -q '^Package: sqlite3$' && exit 0

sudo=
[ "$(id -u)" -eq 0 ] || sudo=sudo
list=/etc/apt/sources.list.d/fwflash-deb-src.list

# One-line entries ("deb [options] URI SUITE COMPONENTS") and deb822 stanzas alike become
# "deb-src [signed-by=KEY] URI SUITE COMPONENTS" lines of bookworm suites.
one_line_entries() {
  cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
    awk '$1 == "deb" && / bookworm(-[a-z]+)? / { sub(/^deb/, "deb-src"); print }'
}
deb822_entries() {  # FILE
  awk 'function flush(  u, s) {
         if (types ~ /(^| )deb( |$)/ && enabled != "no")
           for (u in uris) for (s in suites) if (suites[s] ~ /^bookworm(-[a-z]+)?$/)
             print "deb-src" (key ~ /^\// ? " [signed-by=" key "]" : "") " " uris[u] " " suites[s] " " comps
         types = comps = key = enabled = ""; split("", uris); split("", suites)
       }
       /^[ \t]*#/ { next }
       /^[ \t]*$/ { flush(); next }
       /^[ \t]/ { next }  # a field continued (an inline key)
       { field = tolower($1); sub(/:$/, "", field); $1 = ""; sub(/^ +/, "") }
       field == "types" { types = $0 }
       field == "uris" { split($0, uris, " ") }
       field == "suites" { split($0, suites, " ") }
       field == "components" { comps = $0 }
       field == "signed-by" { key = $0 }
       field == "enabled" { enabled = tolower($0) }
       END { flush() }' "$1"
}
entries=$(
  one_line_entries
  for file in /etc/apt/sources.list.d/*.sources; do [ -e "$file" ] && deb822_entries "$file"; done
)
[ -n "$entries" ] || { echo "add-debian-sources: no Debian 12 (bookworm) mirror is configured" >&2; exit 1; }
echo "Adding Debian 12 source entries: $list"
printf '# Written by fwflash tools/sqlite/add-debian-sources.sh: apt-get source sqlite3\n%s\n' \
  "$(sort -u <<<"$entries")" | $sudo tee "$list" >/dev/null
$sudo apt-get update -qq
