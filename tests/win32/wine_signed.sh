#!/usr/bin/env bash
# fwflash-cli.exe's --key under Wine: an image signed by another key is refused with exit
# 2 before COM1 opens; the vendor's signed image, with a serial number written into its
# region, is taken and flashed into a simulation of the reference bootloader built with
# the vendor's key, which finds it valid. Run by run-wine-tests.sh with COM1 mapped to
# $FWFLASH_WINE_COM1 (an empty directory until now, and again afterwards).
set -euo pipefail
build=${FWFLASH_BUILD_DIR:?the Linux build with fwflash-boot-sim and fwflash-boot-image}
exe=${FWFLASH_WINE_CLI:?fwflash-cli.exe}
declare -A ports=([COM1]=${FWFLASH_WINE_COM1:?})
work=$(mktemp -d /tmp/fwflash-wine-signed.XXXXXX)
source "$(dirname "$0")/wine_devices.sh"
sim_pid=
stop_sim() {
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; fi
  rm -rf "${ports[COM1]}"; mkdir "${ports[COM1]}"
}
trap 'stop_sim; rm -rf "$work"' EXIT

for key in vendor other; do "$build/fwflash-boot-image" --new-key "$work/$key" >/dev/null; done
python3 -c "
import sys
app = bytearray((i * 13 + 5) % 251 for i in range(600))
app[16:24] = b'\xff' * 8
open(sys.argv[1], 'wb').write(app)" "$work/app.bin"
for key in vendor other; do
  "$build/fwflash-boot-image" "$work/app.bin" "$work/$key.img" --sign "$work/$key.key" --version 1.2.0 \
    --counter 1 --region 16:8 >/dev/null || fail "fwflash-boot-image could not sign with $key.key"
done
line=(--record "$(windows_path "$work/records.sqlite")" --serial-at 16 --serial-format u32le --protocol 1)

echo "-- another key's image: refused before COM1 opens (an empty directory: exit 3 if opened)"
status=0
out=$(cli --port COM1 --firmware "$(windows_path "$work/other.img")" --key "$(windows_path "$work/vendor.pub")" \
  "${line[@]}") || status=$?
[ "$status" = 2 ] || fail "exit $status, not 2: $out"
grep -q "the image is signed by another key" <<<"$out" || fail "no refusal's reason: $out"

echo "-- the vendor's image: flashed into a device built with the vendor's key"
rmdir "${ports[COM1]}"
"$build/fwflash-boot-sim" --link "${ports[COM1]}" --flash "$work/flash.bin" --page-size 256 --pages 8 \
  --key "$work/vendor.pub" --window-ms 60000 --reset >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
for _ in $(seq 200); do [ -L "${ports[COM1]}" ] && break; sleep 0.05; done
[ -L "${ports[COM1]}" ] || fail "the simulation did not start: $(cat "$work/sim.err")"
out=$(cli --port COM1 --firmware "$(windows_path "$work/vendor.img")" --key "$(windows_path "$work/vendor.pub")" \
  "${line[@]}") || fail "the vendor's image was not flashed: $out"
expected=$(python3 -c "
import sys, zlib
app = bytearray(open(sys.argv[1], 'rb').read())
app[16:20] = (1).to_bytes(4, 'little')
print('0x%08X' % zlib.crc32(app))" "$work/app.bin")
for _ in $(seq 200); do
  grep -q "\"valid\":true,\"length\":600,\"crc32\":\"$expected\".*\"version\":\"1.2.0\"" "$work/sim.out" && break
  sleep 0.05
done
grep -q "\"valid\":true,\"length\":600,\"crc32\":\"$expected\".*\"version\":\"1.2.0\"" "$work/sim.out" ||
  fail "the device did not find its application valid with serial number 1: $(cat "$work/sim.out")"
echo "wine_signed: --key refused another key's image and flashed the vendor's"
