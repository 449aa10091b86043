#!/usr/bin/env bash
# Sixteen stations against one: fwflash-cli flashes the built-in 3,612-byte image into
# virtual devices at emulated 9600 baud, all sixteen in parallel, and one alone, pair
# by pair. Prints each run's wall time and CPU time, the medians, their ratio (aim: at
# most 1.05) and CPU time per image byte.
#   bench/stations_bench.sh [PAIRS] [STATIONS]     (defaults 3 and 16; build/ built)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FWFLASH_BUILD_DIR:-$root/build}
pairs=${1:-3} stations=${2:-16}
bytes=3612
work=$(mktemp -d)
source "$root/bench/stations_lib.sh"
start_devices "$stations"

echo "pair  one station: wall s  cpu s    $stations stations: wall s  cpu s"
: >"$work/one" ; : >"$work/all"
for pair in $(seq "$pairs"); do
  one=$(run one "${ports[@]:0:2}")
  all=$(run all "${ports[@]}")
  echo "$one" >>"$work/one"; echo "$all" >>"$work/all"
  printf '%4d  %20s %6s    %20s %6s\n' "$pair" $one $all
done
one_wall=$(cut -d' ' -f1 "$work/one" | median); all_wall=$(cut -d' ' -f1 "$work/all" | median)
one_cpu=$(cut -d' ' -f2 "$work/one" | median); all_cpu=$(cut -d' ' -f2 "$work/all" | median)
awk -v o="$one_wall" -v a="$all_wall" -v oc="$one_cpu" -v ac="$all_cpu" -v n="$stations" -v b="$bytes" 'BEGIN {
  printf "median wall: one station %.3f s, %d stations %.3f s, ratio %.3f (aim: at most 1.05)\n", o, n, a, a / o
  printf "CPU per image byte: one station %.2f us, %d stations %.2f us per station\n", oc / b * 1e6, n, ac / n / b * 1e6
}'
