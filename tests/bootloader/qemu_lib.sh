# What the emulated boards' tests share (sourced after setting qemu_board, which names the
# scratch folder): a scratch folder removed at the end with QEMU, waits on the device's
# report, and the device's line on a pseudo-terminal.
#   await FILE TEXT [N]    waits (30 s at most) until N lines of FILE (default 1) hold TEXT
#   state_of APP [VERSION COUNTER]
#                          the line the device reports for this application, valid (a
#                          build with keys adds the installed version and the counter)
#   run_qemu COMMAND...    starts QEMU ($qemu_pid), its output in $work/qemu.out, and opens
#                          the pseudo-terminal that it names there: $pty, held open on fd 3
#   stop_qemu              ends the QEMU started last ($qemu_pid) and waits for it
set -euo pipefail
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${FWFLASH_BUILD_DIR:?FWFLASH_BUILD_DIR must name the build directory}
work=$(mktemp -d "/tmp/fwflash-boot-${qemu_board:?}-XXXXXX")
# Debian's, by its path: a version manager's shim first in PATH costs 0.4 s a start.
python=/usr/bin/python3
qemu_pid=
stop_qemu() {
  if [ -n "$qemu_pid" ]; then kill "$qemu_pid" 2>/dev/null || true; wait "$qemu_pid" 2>/dev/null || true; fi
  qemu_pid=
}
cleanup() {
  stop_qemu
  rm -rf "$work"
}
trap cleanup EXIT

await() {
  local i found wanted=${3:-1}
  for i in $(seq 1500); do
    found=$(grep -cF -- "$2" "$1" 2>/dev/null || true)
    [ "${found:-0}" -ge "$wanted" ] && return 0
    sleep 0.02
  done
  echo "FAIL: not $wanted lines with '$2' in $1:" >&2
  cat "$1" >&2 || true
  return 1
}

state_of() {
  "$python" -c 'import sys, zlib
d = open(sys.argv[1], "rb").read()
keyed = ",\"version\":\"%s\",\"counter\":%s" % tuple(sys.argv[2:4]) if len(sys.argv) > 2 else ""
print("{\"valid\":true,\"length\":%d,\"crc32\":\"0x%08X\"%s}" % (len(d), zlib.crc32(d), keyed))' "$@"
}

run_qemu() {
  # Emptied here: the background redirection empties it only once that child runs, which
  # on a busy machine may be after the wait below has found an earlier QEMU's terminal.
  : >"$work/qemu.out"
  "$@" >>"$work/qemu.out" 2>&1 &
  qemu_pid=$!
  await "$work/qemu.out" /dev/pts/
  pty=$(grep -o '/dev/pts/[0-9]*' "$work/qemu.out")
  # QEMU drops what the device sends while no program holds the terminal open.
  exec 3<>"$pty"
}
