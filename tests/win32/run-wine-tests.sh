#!/usr/bin/env bash
# The Windows suite: builds fwflash.exe and its tests (tools/build-win32.sh), then runs
# them under Wine in a fresh prefix under build-win32: the unit tests, then whole runs of
# fwflash.exe against the virtual device on COM1 (wine_e2e.sh), of fwflash-cli.exe
# (wine_cli.sh), of its records in SQLite (wine_records.sh), of a production job
# (wine_jobs.sh), of both against a simulation of the reference bootloader in the second
# protocol (wine_protocol2.sh), of fwflash-cli.exe's --key against a simulation built
# with a key (wine_signed.sh) and of fwflash-cli.exe on a line with PostgreSQL and the
# dashboard (wine_line.py).
# Needs the Linux build's fwflash-vdev, fwflash-boot-sim, fwflash-boot-image and
# fwflash-pack (build/) and an X server in DISPLAY (DISPLAY=$(tools/start-xvfb.sh) for a
# run of its own).
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
win=$root/build-win32
for tool in fwflash-vdev fwflash-boot-sim fwflash-boot-image fwflash-pack; do
  [ -x "$root/build/$tool" ] || { echo "run-wine-tests: build the Linux tree first (build/$tool)" >&2; exit 1; }
done
[ -n "${DISPLAY:-}" ] || { echo "run-wine-tests: no X server in DISPLAY" >&2; exit 1; }
mkdir -p "$win"
"$root/tools/build-win32.sh" >"$win/build.log" 2>&1 || { cat "$win/build.log"; exit 1; }

export WINEPREFIX=$win/wine-prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# What COM1, COM2, COM3 and COM12 are mapped to: a virtual device's link (or a terminal's)
# while one runs, else an empty directory. Each always names something, since Wine opens
# /dev/ttyS* for a port whose path names nothing.
com1=$win/COM1 com2=$win/COM2 com3=$win/COM3 com12=$win/COM12
vdev_pid=
finish() {
  [ -n "$vdev_pid" ] && kill "$vdev_pid" 2>/dev/null
  wineserver -k 2>/dev/null
}
trap finish EXIT

# A fresh prefix whose COM1 is mapped before any program runs in it; the port drivers
# read the mapping when the prefix starts again. Windows draw their own title bars, as
# no window manager runs.
rm -rf "$WINEPREFIX" "$com1" "$com2" "$com3" "$com12"
mkdir -p "$com1" "$com2" "$com3" "$com12" "$win/screenshots"
timeout 120 wineboot -i >/dev/null 2>&1 || { echo "run-wine-tests: wineboot failed" >&2; exit 1; }
wine reg add 'HKLM\Software\Wine\Ports' /v COM1 /t REG_SZ /d "$com1" /f >/dev/null &&
  wine reg add 'HKLM\Software\Wine\Ports' /v COM2 /t REG_SZ /d "$com2" /f >/dev/null &&
  wine reg add 'HKLM\Software\Wine\Ports' /v COM3 /t REG_SZ /d "$com3" /f >/dev/null &&
  wine reg add 'HKLM\Software\Wine\Ports' /v COM12 /t REG_SZ /d "$com12" /f >/dev/null &&
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null || exit 1
# COM3 as an FTDI adapter with the driver's default latency timer, as the driver keeps it.
ftdi='HKLM\SYSTEM\CurrentControlSet\Enum\FTDIBUS\VID_0403+PID_6001+FT0TEST1A\0000\Device Parameters'
wine reg add "$ftdi" /v PortName /t REG_SZ /d COM3 /f >/dev/null &&
  wine reg add "$ftdi" /v LatencyTimer /t REG_DWORD /d 16 /f >/dev/null || exit 1
timeout 60 wineserver -w

passed=0 failed=0
run() {  # run NAME COMMAND...: one test program, its output shown when it fails
  local name=$1 status; shift
  timeout 300 "$@" >"$win/$name.log" 2>&1
  status=$?
  if [ $status = 0 ]; then passed=$((passed + 1)); echo "ok      $name"
  else failed=$((failed + 1)); cat "$win/$name.log"; echo "FAILED  $name"; fi
}

run platform_test wine "$win/tests/platform_test.exe"
run toolkit_win32_test wine "$win/tests/toolkit_win32_test.exe"
run picture_test wine "$win/tests/picture_test.exe"
run display_failure_test wine "$win/tests/display_failure_test.exe"
run program_test wine "$win/tests/program_test.exe"
run dashboard_socket_test wine "$win/tests/dashboard_socket_test.exe"
rmdir "$com1"
"$root/build/fwflash-vdev" --link "$com1" --quiet --timeout 120 >/dev/null &
vdev_pid=$!
for _ in $(seq 100); do [ -L "$com1" ] && break; sleep 0.05; done
if [ -L "$com1" ]; then run serial_port_test wine "$win/tests/serial_port_test.exe"
else failed=$((failed + 1)); echo "FAILED  serial_port_test: the virtual device did not start"; fi
kill "$vdev_pid"; wait "$vdev_pid" 2>/dev/null; vdev_pid=
rm -f "$com1"; mkdir "$com1"

FWFLASH_BUILD_DIR=$root/build FWFLASH_WINE_COM1=$com1 FWFLASH_WINE_EXE=$win/fwflash.exe \
  FWFLASH_WINE_SHOTS=$win/screenshots run wine_e2e "$root/tests/win32/wine_e2e.sh"

FWFLASH_BUILD_DIR=$root/build FWFLASH_WINE_COM1=$com1 FWFLASH_WINE_COM2=$com2 FWFLASH_WINE_COM3=$com3 \
  FWFLASH_WINE_EXE=$win/fwflash.exe run wine_auto "$root/tests/win32/wine_auto.sh"

FWFLASH_BUILD_DIR=$root/build FWFLASH_WINE_COM1=$com1 FWFLASH_WINE_COM2=$com2 FWFLASH_WINE_COM3=$com3 \
  FWFLASH_WINE_COM12=$com12 FWFLASH_WINE_CLI=$win/fwflash-cli.exe run wine_cli "$root/tests/win32/wine_cli.sh"

FWFLASH_BUILD_DIR=$root/build FWFLASH_WINE_COM1=$com1 FWFLASH_WINE_COM2=$com2 \
  FWFLASH_WINE_CLI=$win/fwflash-cli.exe run wine_records "$root/tests/win32/wine_records.sh"

FWFLASH_BUILD_DIR=$root/build FWFLASH_WINE_COM1=$com1 FWFLASH_WINE_COM2=$com2 \
  FWFLASH_WINE_CLI=$win/fwflash-cli.exe run wine_jobs "$root/tests/win32/wine_jobs.sh"

FWFLASH_BUILD_DIR=$root/build FWFLASH_WINE_COM1=$com1 FWFLASH_WINE_CLI=$win/fwflash-cli.exe \
  FWFLASH_WINE_EXE=$win/fwflash.exe run wine_protocol2 "$root/tests/win32/wine_protocol2.sh"

FWFLASH_BUILD_DIR=$root/build FWFLASH_WINE_COM1=$com1 FWFLASH_WINE_CLI=$win/fwflash-cli.exe \
  run wine_signed "$root/tests/win32/wine_signed.sh"

# fwflash-cli.exe on a line: PostgreSQL over TCP beside the Linux fwflash-cli, an outage,
# the dashboard it serves in Chromium, the refusals; and the DLLs it needs.
run cli_imports "$root/tests/win32/cli_imports.sh" "$win/fwflash-cli.exe"
for scenario in two_pcs_windows_and_linux_give_distinct_serials_and_record_each_device_once \
    an_outage_spools_the_records_and_delivers_each_once the_dashboard_served_from_wine_in_chromium \
    a_wrong_password_and_tls_are_refused_plainly; do
  FWFLASH_BUILD_DIR=$root/build FWFLASH_WINE_COM1=$com1 FWFLASH_WINE_COM2=$com2 FWFLASH_WINE_CLI=$win/fwflash-cli.exe \
    run "wine_line.$scenario" /usr/bin/python3 -W ignore "$root/tests/win32/wine_line.py" "$scenario"
done

echo "Windows suite: $passed passed, $failed failed"
[ "$failed" = 0 ]
