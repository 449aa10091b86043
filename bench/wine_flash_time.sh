#!/usr/bin/env bash
# Times whole flashes of the desktop program against the virtual device: the Linux build
# (build/fwflash) and the Windows build under Wine (build-win32/fwflash.exe), round by
# round, at full speed and at emulated 9600 baud; the figures are in bench/README.md. The
# time of a flash is the device's: from its answer to the sync to its last echo, read from
# an strace of its writes to the terminal.
#
#   DISPLAY=$(tools/start-xvfb.sh) bench/wine_flash_time.sh [ROUNDS]   # default 3
#
# FWFLASH_LINUX and FWFLASH_EXE name other programs to time (an older build, say). The
# Wine prefix is build-win32/bench-prefix, made at the first run with COM1 mapped to
# build-win32/bench-COM1 and no window manager's frames, as in the Windows suite.
root=$(cd "$(dirname "$0")/.." && pwd)
export FWFLASH_BUILD_DIR=$root/build
source "$root/tests/e2e/lib.sh"
source "$root/tests/win32/wine_keys.sh"  # its drawn test suits both programs

rounds=${1:-3}
linux_exe=${FWFLASH_LINUX:-$root/build/fwflash}
wine_exe=${FWFLASH_EXE:-$root/build-win32/fwflash.exe}
export WINEPREFIX=$root/build-win32/bench-prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine_com1=$root/build-win32/bench-COM1  # an empty directory while no device runs
bytes=$(stat -c %s "$firmware")

rm -rf "$wine_com1" && mkdir -p "$wine_com1"
if [ ! -d "$WINEPREFIX" ]; then
  timeout 120 wineboot -i >/dev/null 2>&1 &&
    wine reg add 'HKLM\Software\Wine\Ports' /v COM1 /t REG_SZ /d "$wine_com1" /f >/dev/null &&
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null &&
    timeout 60 wineserver -w || { rm -rf "$WINEPREFIX"; fail "the Wine prefix could not be made"; }
fi
trap 'wineserver -k 2>/dev/null; rm -rf "$wine_com1"; mkdir -p "$wine_com1"; cleanup' EXIT

# flash_seconds PROGRAM LINK [vdev options]: one flash, its seconds on the device's clock.
flash_seconds() {
  local program=$1 link=$2 trace=$work/vdev.trace main done_window; shift 2
  rm -rf "$link"
  strace --seccomp-bpf -tt -e trace=write -o "$trace" \
    "$build/fwflash-vdev" --link "$link" --quiet --expect "$firmware" "$@" >/dev/null 2>&1 &
  vdev_pid=$!
  for _ in $(seq 100); do [ -L "$link" ] && break; sleep 0.05; done
  if [ "$program" = wine ]; then
    (cd "$work" && exec wine "$wine_exe") >/dev/null 2>&1 &
  else
    (cd "$work" && FWFLASH_COM1=$link TMPDIR=$work/tmp exec "$linux_exe") &
  fi
  program_pid=$!
  main=$(wait_window "Firmware Flash Program" 60)
  press_until Return "$main" "Flashing... Please Wait!"
  done_window=$(wait_window Congratulation 120)
  press Return "$done_window"
  wait_program_end 30
  device_result || fail "the device did not receive the firmware"
  rm -rf "$link"
  grep -E '^[0-9:.]+ write\(([3-9]|[1-9][0-9]+), "' "$trace" | awk '{ print $1 }' | sed -n '1p;$p' |
    awk -F: '{ t = $1 * 3600 + $2 * 60 + $3 } NR == 1 { first = t } END { printf "%.3f\n", t - first }'
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }

for speed in full 9600; do
  options=()
  [ $speed = 9600 ] && options=(--baud-emulation)
  : >"$work/linux.times"
  : >"$work/wine.times"
  for _ in $(seq "$rounds"); do
    flash_seconds linux "$port" "${options[@]}" >>"$work/linux.times"
    flash_seconds wine "$wine_com1" "${options[@]}" >>"$work/wine.times"
    mkdir -p "$wine_com1"
  done
  linux=$(median <"$work/linux.times") wine=$(median <"$work/wine.times")
  linux_best=$(sort -n "$work/linux.times" | head -n 1) wine_best=$(sort -n "$work/wine.times" | head -n 1)
  awk -v s="$speed" -v l="$linux" -v w="$wine" -v lb="$linux_best" -v wb="$wine_best" -v n="$bytes" \
      -v r="$rounds" 'BEGIN {
    printf "%s, %d-byte image, %d flashes:    median            fastest\n",
           s == "full" ? "Full speed" : "9600-baud line time", n, r
    printf "  Linux build   %7.3f s %6.3f ms/byte   %7.3f s %6.3f ms/byte\n", l, l * 1000 / n, lb, lb * 1000 / n
    printf "  under Wine    %7.3f s %6.3f ms/byte   %7.3f s %6.3f ms/byte\n", w, w * 1000 / n, wb, wb * 1000 / n
    printf "  ratio         %7.2f                   %7.2f\n", w / l, wb / lb
  }'
done
