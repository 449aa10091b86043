#!/usr/bin/env bash
# What records and serial numbers cost a line: sixteen stations flash a 3,612-byte image
# into virtual devices at emulated 9600 baud, without records, and with a record of every
# device in a SQLite file and a serial number written into every image, pair by pair.
# Prints each run's wall and CPU time, the medians and their ratio (aim: at most 1.02).
#   bench/records_bench.sh [PAIRS] [STATIONS]     (defaults 4 and 16; build/ built)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FWFLASH_BUILD_DIR:-$root/build}
pairs=${1:-4} stations=${2:-16}
work=$(mktemp -d)
source "$root/bench/stations_lib.sh"

# The image: random bytes with a blank placeholder for a 32-bit serial number at 0x40.
head -c 3612 /dev/urandom >"$work/firmware.bin"
printf '\377\377\377\377' | dd of="$work/firmware.bin" bs=1 seek=64 conv=notrunc status=none
start_devices "$stations" --size 3612

plain=(--firmware "$work/firmware.bin" "${ports[@]}")
records=("${plain[@]}" --record "$work/records.sqlite" --spool "$work/spool.sqlite"
         --serial-at 0x40 --serial-format u32le)

echo "pair  without records: wall s  cpu s    with records: wall s  cpu s"
: >"$work/without"; : >"$work/with"
for pair in $(seq "$pairs"); do
  without=$(run without "${plain[@]}")
  with=$(run with "${records[@]}")
  echo "$without" >>"$work/without"; echo "$with" >>"$work/with"
  printf '%4d  %23s %6s    %20s %6s\n' "$pair" $without $with
done
paste -d' ' "$work/without" "$work/with" | awk '{ print $3 / $1 }' >"$work/ratios"
awk -v w="$(cut -d' ' -f1 "$work/without" | median)" -v r="$(cut -d' ' -f1 "$work/with" | median)" \
    -v wc="$(cut -d' ' -f2 "$work/without" | median)" -v rc="$(cut -d' ' -f2 "$work/with" | median)" \
    -v q="$(median <"$work/ratios")" -v n="$stations" 'BEGIN {
  printf "median wall: without records %.3f s, with records %.3f s; ratio pair by pair %.3f (aim: at most 1.02)\n", w, r, q
  printf "median CPU: without %.3f s, with %.3f s, for %d devices\n", wc, rc, n
}'
