#!/usr/bin/env bash
# fwflash.exe --port auto under Wine: FWFLASH_AUTO_PORTS names COM1 to COM3, mapped to
# two silent pseudo-terminals and the virtual device. The device gets the firmware byte
# for byte, each silent terminal exactly one sync byte. Run by run-wine-tests.sh with
# the prefix's COM1, COM2 and COM3 mapped to $FWFLASH_WINE_COM1 to _COM3 (empty
# directories until now, and again afterwards: Wine opens /dev/ttyS0 for a mapping that
# names nothing).
source "$(dirname "$0")/../e2e/lib.sh"
source "$(dirname "$0")/wine_keys.sh"

exe=${FWFLASH_WINE_EXE:?fwflash.exe}
com=("${FWFLASH_WINE_COM1:?}" "${FWFLASH_WINE_COM2:?}" "${FWFLASH_WINE_COM3:?}")
restore() {
  stop_program
  for mapped in "${com[@]}"; do rm -rf "$mapped"; mkdir "$mapped"; done
  cleanup
}
stop_program() {
  [ -n "$program_pid" ] || return 0
  WINEDEBUG=-all wineserver -k 2>/dev/null
  wait "$program_pid" 2>/dev/null
  program_pid=
}
trap restore EXIT

"$source_dir/tests/e2e/bare-terminals.py" "$work" 2 >"$work/terminals" &
terminals_pid=$!
helper_pids="$helper_pids $terminals_pid"
for _ in $(seq 100); do [ "$(wc -l <"$work/terminals")" = 2 ] && break; sleep 0.05; done
mapfile -t terminal <"$work/terminals"
[ "${#terminal[@]}" = 2 ] || fail "no pseudo-terminals"
rmdir "${com[0]}" "${com[1]}" "${com[2]}"
ln -s "${terminal[0]}" "${com[0]}"
ln -s "${terminal[1]}" "${com[1]}"
port=${com[2]} start_device --expect "$firmware"

FWFLASH_AUTO_PORTS=COM1:COM2:COM3 start_program wine "$exe" --port auto
main=$(wait_window "Firmware Flash Program" 30)
press_until Return "$main" "Flashing... Please Wait!|Congratulation"
done_window=$(wait_window Congratulation 60)
press Return "$done_window"
expect_exit_code 0 15
device_result || fail "the device on COM3 did not receive the firmware byte for byte"
kill -TERM "$terminals_pid"
wait "$terminals_pid" || true
for i in 0 1; do
  got=$(od -An -tx1 "$work/arrived-$i" | tr -d ' \n')
  [ "$got" = a5 ] || fail "silent COM$((i + 1)) received \"$got\", not one sync byte"
done
echo "COM3's device flashed; COM1 and COM2 had one sync byte each"
