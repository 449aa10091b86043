#!/usr/bin/env bash
# What a production job costs a line: sixteen stations flash a 3,612-byte image into
# virtual devices at emulated 9600 baud, with --serial-at alone and with a four-field job
# (serial, a MAC counter with step 8, a password from a secret list, a key from a
# generator), pair by pair, in a SQLite file each. Prints each run's wall and CPU time,
# the medians and their ratio (aim: at most 1.01).
#   bench/job_bench.sh [PAIRS] [STATIONS]     (defaults 4 and 16; build/ built)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FWFLASH_BUILD_DIR:-$root/build}
pairs=${1:-4} stations=${2:-16}
work=$(mktemp -d)
source "$root/bench/stations_lib.sh"

# The image: random bytes with a blank placeholder of 64 bytes at 0x40.
head -c 3612 /dev/urandom >"$work/firmware.bin"
head -c 64 /dev/zero | tr '\0' '\377' | dd of="$work/firmware.bin" bs=1 seek=64 conv=notrunc status=none
cat >"$work/keygen" <<'KEYGEN'
#!/bin/sh
printf '{"device_key":"%s"}\n' "$(head -c 16 /dev/urandom | od -An -tx1 | tr -d ' \n')"
KEYGEN
chmod +x "$work/keygen"
cat >"$work/job.toml" <<JOB
product = "bench"
firmware = "firmware.bin"
record = "job.sqlite"
spool = "spool.sqlite"
[[field]]
name = "serial"
at = 0x40
format = "u32le"
counter = { first = 1, last = 99999999 }
[[field]]
name = "mac"
at = 0x44
format = "u48be"
counter = { first = 0x0050C2000000, last = 0x0050C2FFFFFF, step = 8 }
[[field]]
name = "password"
at = 0x4A
format = "ascii:12"
list = "passwords"
secret = true
[[field]]
name = "device_key"
at = 0x56
format = "bytes:16"
generator = "keygen"
secret = true
[generator.keygen]
command = ["./keygen"]
JOB
for i in $(seq $((pairs * stations + 10))); do head -c 9 /dev/urandom | base64; done >"$work/passwords.txt"
"$build/fwflash-cli" --job "$work/job.toml" --import-list passwords "$work/passwords.txt" \
  --list-kind text --list-length 12 --secret >/dev/null
start_devices "$stations" --size 3612

serial=(--firmware "$work/firmware.bin" "${ports[@]}" --record "$work/serial.sqlite"
        --spool "$work/spool.sqlite" --serial-at 0x40 --serial-format u32le)
job=(--job "$work/job.toml" "${ports[@]}")

run_pairs "$pairs" 1.01 "--serial-at alone" serial "four-field job" job
