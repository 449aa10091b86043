#!/usr/bin/env bash
# fwflash-cli.exe under Wine against the Linux fwflash-cli on one line: eight stations flash
# a 3,612-byte image into virtual devices at emulated 9600 baud, with a record of every
# device and a u32le serial number from one private PostgreSQL 15 server over TCP
# (scram-sha-256, the password by PGPASSWORD), run after run, pair by pair. Prints each
# run's wall time, the medians and the ratio pair by pair (aim: at most 1.05).
#   bench/wine_line_bench.sh [PAIRS]     (default 4; build/ and build-win32/ built)
# The Wine prefix is build-win32/bench-line-prefix, made at the first run with COM1 to
# COM8 mapped to build-win32/bench-line-COMn: the devices' links while it runs, else empty
# directories (Wine opens /dev/ttyS* for a port whose path names nothing).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build win=$root/build-win32
pairs=${1:-4} stations=8
work=$(mktemp -d /tmp/fwwlb.XXXXXX) pg=$(mktemp -d /tmp/fwpg.XXXXXX)  # the server's folder: its own
export WINEPREFIX=$win/bench-line-prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
pids=()
links=()
for i in $(seq "$stations"); do links+=("$win/bench-line-COM$i"); done
finish() {
  wineserver -k 2>/dev/null || true
  kill "${pids[@]}" 2>/dev/null || true
  wait 2>/dev/null || true
  for link in "${links[@]}"; do rm -rf "$link"; mkdir -p "$link"; done
  "$root/tests/support/postgres-server.sh" stop "$pg" 2>/dev/null || true
  rm -rf "$work"
}
trap finish EXIT

if [ ! -d "$WINEPREFIX" ]; then
  for link in "${links[@]}"; do mkdir -p "$link"; done
  timeout 120 wineboot -i >/dev/null 2>&1
  for i in $(seq "$stations"); do
    wine reg add 'HKLM\Software\Wine\Ports' /v "COM$i" /t REG_SZ /d "${links[$((i - 1))]}" /f >/dev/null
  done
  timeout 60 wineserver -w
fi

# The image: random bytes with a blank placeholder for the serial number at 0x40.
head -c 3612 /dev/urandom >"$work/firmware.bin"
printf '\377\377\377\377' | dd of="$work/firmware.bin" bs=1 seek=64 conv=notrunc status=none
uri=$(POSTGRES_SERVER_OWNER=$$ "$root/tests/support/postgres-server.sh" start "$pg" tcp)
export PGPASSWORD=fwflash-test  # the script's

linux_ports=() wine_ports=()
for i in $(seq "$stations"); do
  rm -rf "${links[$((i - 1))]}"
  "$build/fwflash-vdev" --link "${links[$((i - 1))]}" --baud-emulation --size 3612 --quiet >/dev/null &
  pids+=($!)
  linux_ports+=(--port "${links[$((i - 1))]}")
  wine_ports+=(--port "COM$i")
done
for link in "${links[@]}"; do
  for _ in $(seq 100); do [ -L "$link" ] && break; sleep 0.05; done
done
wineserver -p  # one server for every run, started apart from them
records=(--record "$uri" --serial-at 0x40 --serial-format u32le)

run() {  # LABEL COMMAND...: prints the wall seconds; fails unless all stations passed
  local label=$1 TIMEFORMAT=%R seconds; shift
  seconds=$( { time "$@" >"$work/$label.out" 2>&1; } 2>&1 ) &&
    grep -q "^summary: $stations passed, 0 failed" <(tr -d '\r' <"$work/$label.out") ||
    { cat "$work/$label.out" >&2; echo "wine_line_bench: $label failed" >&2; exit 1; }
  echo "$seconds"
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

linux=("$build/fwflash-cli" --firmware "$work/firmware.bin" "${records[@]}" --pc linux-pc
       --spool "$work/spool.sqlite" "${linux_ports[@]}")
windows=(wine "$win/fwflash-cli.exe" --firmware "Z:${work//\//\\}\\firmware.bin" "${records[@]}"
         --pc windows-pc "${wine_ports[@]}")
run warm-up "${windows[@]}" >/dev/null
echo "pair  Linux wall s  Wine wall s  ratio"
: >"$work/ratios"; : >"$work/linux"; : >"$work/wine"
for pair in $(seq "$pairs"); do
  l=$(run linux "${linux[@]}") w=$(run wine "${windows[@]}")
  echo "$l" >>"$work/linux"; echo "$w" >>"$work/wine"
  awk -v l="$l" -v w="$w" 'BEGIN { print w / l }' >>"$work/ratios"
  printf '%4d  %12s %12s  %5.3f\n' "$pair" "$l" "$w" "$(tail -n 1 "$work/ratios")"
done
devices=$(psql -X -A -t -d "$uri" -c 'SELECT count(*), count(DISTINCT serial) FROM fwflash_records')
echo "median wall: Linux $(median <"$work/linux") s, Wine $(median <"$work/wine") s;" \
     "ratio pair by pair $(median <"$work/ratios") (aim: at most 1.05); records|distinct serials: $devices"
