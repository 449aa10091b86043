#!/usr/bin/env bash
# fwflash-cli.exe under Wine: stations COM1 and COM2, each mapped to a virtual device,
# flashed at once; then COM12, which only opens as \\.\COM12. COM3, which Windows
# refuses (an empty directory), is told as in use or not allowed, and a renamed copy's
# --version names the product. COM2's and COM12's devices have bytes from before waiting
# in their ports (an acknowledgement and a request, in either order), which opening the
# port empties. Run by run-wine-tests.sh with the prefix's ports mapped
# to $FWFLASH_WINE_COM1, _COM2, _COM3 and _COM12 (empty directories until now).
set -euo pipefail
build=${FWFLASH_BUILD_DIR:?the Linux build with fwflash-vdev}
exe=${FWFLASH_WINE_CLI:?fwflash-cli.exe}
firmware=$(cd "$(dirname "$0")/../.." && pwd)/payload/firmware.bin
ports=("${FWFLASH_WINE_COM1:?}" "${FWFLASH_WINE_COM2:?}" "${FWFLASH_WINE_COM12:?}")
names=(COM1 COM2 COM12)
leftovers=("" "--leftover 5A80" "--leftover 805A")
pids=()
cleanup() {
  kill "${pids[@]}" 2>/dev/null || true
  for port in "${ports[@]}"; do rm -rf "$port"; mkdir "$port"; done
}
trap cleanup EXIT

for i in "${!ports[@]}"; do
  rmdir "${ports[$i]}"
  # shellcheck disable=SC2086 # the option and its value, or nothing
  "$build/fwflash-vdev" --link "${ports[$i]}" --expect "$firmware" ${leftovers[$i]} --quiet --timeout 120 >/dev/null &
  pids+=($!)
done
for port in "${ports[@]}"; do
  for _ in $(seq 100); do [ -L "$port" ] && break; sleep 0.05; done
  [ -L "$port" ] || { echo "FAIL: the virtual device at $port did not start"; exit 1; }
done

status=0
out=$(timeout 120 wine "$exe" --port COM1 --port COM2) || status=$?
out+=$'\n'$(timeout 120 wine "$exe" --port COM12) || status=$?
echo "$out"
[ "$status" = 0 ] || { echo "FAIL: fwflash-cli.exe exited with $status"; exit 1; }
for pid in "${pids[@]}"; do
  wait "$pid" || { echo "FAIL: a device did not receive the firmware byte for byte"; exit 1; }
done
pids=()
for name in "${names[@]}"; do
  grep -q "^$name: ok, 3612 bytes in " <<<"$out" || { echo "FAIL: no result line for $name"; exit 1; }
done
[ -d "${FWFLASH_WINE_COM3:?}" ] || { echo "FAIL: COM3 is not mapped to a directory"; exit 1; }
refused=$(timeout 60 wine "$exe" --port COM3 | head -n 1 | tr -d '\r') || true
[ "$refused" = "COM3: failed at byte 0 of 3612: cannot open COM3: in use by another program, or not allowed" ] ||
  { echo "FAIL: COM3 said \"$refused\""; exit 1; }
product=$(mktemp -d)
trap 'cleanup; rm -rf "$product"' EXIT
cp "$exe" "$product/ACME-PROBE-CLI.EXE"
version=$(timeout 60 wine "$product/ACME-PROBE-CLI.EXE" --version | tr -d '\r')
[[ $version == "ACME-PROBE-CLI (fwflash-cli "*", firmware 3612 bytes, CRC-32 0x"* ]] ||
  { echo "FAIL: the copy's --version said \"$version\""; exit 1; }
echo "COM1 and COM2 flashed at once, then COM12; COM3 refused with its reason"
