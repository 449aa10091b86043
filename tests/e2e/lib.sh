# Shared steps of the end-to-end tests: the real program in a fresh working directory,
# the virtual device on a pseudo-terminal, xdotool as the person at the keyboard.
# Sourced by the scenario scripts; they run in the X server that ./test started.
set -euo pipefail

build=${FWFLASH_BUILD_DIR:?FWFLASH_BUILD_DIR names the build directory}
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
firmware=$source_dir/payload/firmware.bin
shots=$build/screenshots
mkdir -p "$shots"

# No display: nothing to drive (CTest shows the test as skipped).
[ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1 || exit 77

work=$(mktemp -d)
mkdir "$work/tmp"
port=$work/COM1
vdev_pid= program_pid= helper_pids= own_displays=
cleanup() {
  kill $program_pid $vdev_pid $helper_pids 2>/dev/null || true
  wait 2>/dev/null || true
  for d in $own_displays; do "$source_dir/tools/stop-xvfb.sh" "$d"; done
  rm -rf "$work"
}
trap cleanup EXIT

# own_display: an X server of this scenario's own from now on, for what must not reach
# the one the other tests share (X resources, a window manager); stopped at exit.
own_display() {
  DISPLAY=$("$source_dir/tools/start-xvfb.sh")
  export DISPLAY
  own_displays="$own_displays $DISPLAY"
}

# fail MESSAGE: the screen and the device's report are kept for a look.
fail() {
  echo "FAIL: $*" >&2
  timeout 30 import -window root "$shots/failed-$(basename "$0" .sh).png" 2>/dev/null || true
  cat "$work/vdev.err" >&2 2>/dev/null || true
  exit 1
}

# start_device [vdev options...]: the virtual device behind $port. Like a real device, with a
# CPU of its own, it answers within the program's 100 ms however busy the machine is: it
# runs ahead of the load where it may (as root; nice execs it, so $! is the device).
start_device() {
  nice -n -10 "$build/fwflash-vdev" --link "$port" "$@" >"$work/vdev.out" 2>"$work/vdev.err" &
  vdev_pid=$!
  for _ in $(seq 100); do [ -e "$port" ] && return 0; sleep 0.05; done
  fail "the virtual device did not start: $(cat "$work/vdev.err")"
}

# device_result: waits for a device started with --expect and gives its exit status.
device_result() {
  local status=0
  wait "$vdev_pid" || status=$?
  vdev_pid=
  return $status
}

# start_program [COMMAND...]: fwflash (or COMMAND) in $work, COM1 at $port, temporary
# files in $work/tmp.
start_program() {
  [ $# -gt 0 ] || set -- "$build/fwflash"
  (cd "$work" && FWFLASH_COM1=$port TMPDIR=$work/tmp exec "$@") &
  program_pid=$!
}

# expect_exit_code CODE [seconds]: waits for the program to end with that exit code.
expect_exit_code() {
  wait_program_end "${2:-10}"
  [ "$program_exit" = "$1" ] || fail "the program ended with exit code $program_exit, not $1"
}

wait_program_end() {
  local deadline=$((SECONDS + $1))
  while kill -0 "$program_pid" 2>/dev/null; do
    [ $SECONDS -lt $deadline ] || fail "the program did not end"
    sleep 0.05
  done
  program_exit=0
  wait "$program_pid" || program_exit=$?
  program_pid=
}

# stop_program: ends the program as a window manager's kill would.
stop_program() {
  kill "$program_pid" 2>/dev/null || true
  wait "$program_pid" 2>/dev/null || true
  program_pid=
}

# The backgrounds the program draws: its windows' colour and the dialogs' face. A window
# shows one of them at its client area's corner once it has been drawn.
drawn_colours=${drawn_colours:-"5661A8 F0F0F0"}

# window_pixel WINDOW X Y: one pixel of the window as RRGGBB (empty while it cannot be read).
window_pixel() {
  timeout 10 import -window "$1" -crop "1x1+$2+$3" -depth 8 txt:- 2>/dev/null |
    sed -n 's/.*#\([0-9A-Fa-f]\{6\}\).*/\1/p' | head -n 1
}

# drawn WINDOW [COLOURS]: whether the window has been drawn in one of the colours.
drawn() {
  local pixel
  pixel=$(window_pixel "$1" 2 2)
  [ -n "$pixel" ] && [[ " ${2:-$drawn_colours} " == *" ${pixel^^} "* ]]
}

# wait_window TITLE [seconds [COLOUR]]: prints the id of the visible window with that
# exact title (an extended regular expression), once it has been drawn (in COLOUR, if
# it is not one of the usual): a window throws away the input that reaches it before,
# as a person would never notice.
wait_window() {
  local deadline=$((SECONDS + ${2:-10})) id
  while [ $SECONDS -lt $deadline ]; do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1 || true)
    [ -n "$id" ] && drawn "$id" "${3:-}" && { echo "$id"; return 0; }
    sleep 0.05
  done
  fail "no window \"$1\" appeared"
}

# wait_progress WINDOW: waits until the progress window's picture changes, that is
# until its bar is seen to move.
wait_progress() {
  local deadline=$((SECONDS + 30)) first
  first=$(timeout 10 import -window "$1" rgb:- 2>/dev/null | md5sum)
  while [ "$(timeout 10 import -window "$1" rgb:- 2>/dev/null | md5sum)" = "$first" ]; do
    [ $SECONDS -lt $deadline ] || fail "the progress bar did not move"
    sleep 0.05
  done
}

# wait_gone TITLE [seconds]
wait_gone() {
  local deadline=$((SECONDS + ${2:-10}))
  while xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; do
    [ $SECONDS -lt $deadline ] || fail "window \"$1\" stayed"
    sleep 0.05
  done
}

# press KEY WINDOW: a key pressed in that window (a key that closes it makes xdotool
# complain about the key-up; that is not a failure).
press() { timeout 10 xdotool key --window "$2" "$1" 2>/dev/null || true; }

# dialog_text WINDOW: the text of a message dialog, copied with Ctrl+C as a person would.
dialog_text() {
  # xclip stays behind as the clipboard's owner until another takes it: it must not hold
  # the test's output open, or CTest would wait for it.
  printf '' | xclip -selection clipboard >/dev/null 2>&1
  copy_text "$1"
  clipboard_text
}
copy_text() { timeout 10 xdotool key --window "$1" ctrl+c 2>/dev/null || true; }

# clipboard_text: the clipboard's text once it holds one (empty after 5 s without).
clipboard_text() {
  local deadline=$((SECONDS + 5)) text
  while [ $SECONDS -lt $deadline ]; do
    text=$(timeout 5 xclip -selection clipboard -o 2>/dev/null || true)
    [ -n "$text" ] && { printf '%s' "$text"; return 0; }
    sleep 0.05
  done
}

# close_dialog EXPECTED_TEXT: the next message dialog (titled "fwflash") must say that.
close_dialog() {
  local id text
  id=$(wait_window fwflash "${2:-10}")
  text=$(dialog_text "$id")
  [ "$text" = "$1" ] || fail "dialog said \"$text\", expected \"$1\""
  press Return "$id"
  wait_gone_id "$id"
}

wait_gone_id() {
  local deadline=$((SECONDS + 10))
  while xdotool getwindowname "$1" >/dev/null 2>&1 && xwininfo -id "$1" 2>/dev/null | grep -q IsViewable; do
    [ $SECONDS -lt $deadline ] || fail "window $1 stayed"
    sleep 0.05
  done
}

# close WINDOW: its close box, as a window manager would press it.
close() { "$build/tests/close_window" "$1"; }

screenshot() { timeout 30 import -window root "$shots/$1.png"; }
