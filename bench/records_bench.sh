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

run_pairs "$pairs" 1.02 "without records" plain "with records" records
