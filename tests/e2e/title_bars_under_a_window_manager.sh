#!/usr/bin/env bash
# Under a window manager that keeps Motif hints (metacity), each window's title bar offers
# what its border icons say: the main window minimise and close, the progress window
# neither, the completion window minimise and close (its maximise asked for, which a fixed
# border does not allow), a message dialog close only. The progress window and the
# dialogs belong to the main window. The screenshots show the decorations.
source "$(dirname "$0")/lib.sh"

own_display
# Every title-bar button metacity can draw, so that the screenshots show what is offered.
mkdir -p "$work/config/glib-2.0/settings"
printf "[org/gnome/desktop/wm/preferences]\nbutton-layout='menu:minimize,maximize,close'\n" \
  >"$work/config/glib-2.0/settings/keyfile"
XDG_CONFIG_HOME=$work/config GSETTINGS_BACKEND=keyfile metacity --sm-disable >"$work/wm.log" 2>&1 &
helper_pids=$!
deadline=$((SECONDS + 20))
until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
  [ $SECONDS -lt $deadline ] || fail "metacity did not start: $(cat "$work/wm.log")"
  sleep 0.05
done

# actions WINDOW: the window manager's allowed actions, as short names on one line.
actions() {
  xprop -id "$1" _NET_WM_ALLOWED_ACTIONS 2>/dev/null | sed 's/.*= //; s/_NET_WM_ACTION_//g; s/,//g'
}

# expect_actions WINDOW NAME "OFFERED..." "NOT OFFERED...": once the window manager has
# taken the window's hints.
expect_actions() {
  local deadline=$((SECONDS + 10)) have action ok
  while :; do
    have=" $(actions "$1") " ok=1
    for action in $3; do [[ $have == *" $action "* ]] || ok=0; done
    for action in $4; do [[ $have != *" $action "* ]] || ok=0; done
    [ $ok = 1 ] && return 0
    [ $SECONDS -lt $deadline ] || fail "the $2 offers:$have (expected $3, not $4)"
    sleep 0.05
  done
}

# owner WINDOW: the window it belongs to (WM_TRANSIENT_FOR), in decimal; empty for none.
owner() {
  local id
  id=$(xprop -id "$1" WM_TRANSIENT_FOR 2>/dev/null | sed -n 's/.*window id # //p')
  [ -z "$id" ] || printf '%d\n' "$id"
}

start_device --baud-emulation  # the progress window stays for the image's 11 s
start_program
main=$(wait_window "Firmware Flash Program")
expect_actions "$main" "main window" "MOVE MINIMIZE CLOSE" "MAXIMIZE RESIZE"
[ -z "$(owner "$main")" ] || fail "the main window belongs to another"

xdotool mousemove --window "$main" 124 204 click 1  # Flash!
progress=$(wait_window "Flashing... Please Wait!")
expect_actions "$progress" "progress window" "MOVE" "MINIMIZE CLOSE MAXIMIZE RESIZE"
[ "$(owner "$progress")" = "$main" ] || fail "the progress window does not belong to the main window"
screenshot title-bars-progress

done_window=$(wait_window Congratulation 40)
expect_actions "$done_window" "completion window" "MOVE MINIMIZE CLOSE" "RESIZE"
motif=$(xprop -id "$done_window" _MOTIF_WM_HINTS | sed 's/.*= //')
[ $(($(cut -d, -f2 <<<"$motif") & 16)) != 0 ] || fail "the completion window does not ask for maximise: $motif"
[ -z "$(owner "$done_window")" ] || fail "the completion window belongs to another, so it cannot be minimised alone"
screenshot title-bars-completion

# Without the device, the next press reports in dialogs.
close "$done_window"
wait_gone Congratulation
kill "$vdev_pid"
device_result || true
xdotool mousemove --window "$main" 124 204 click 1
shown=0
for text in "Cannot open COM1 port!" "Cannot initialize com1, exit..."; do
  dialog=$(wait_window fwflash)
  [ "$(dialog_text "$dialog")" = "$text" ] || fail "the dialog does not say \"$text\""
  expect_actions "$dialog" "dialog" "MOVE CLOSE" "MINIMIZE MAXIMIZE RESIZE"
  [ "$(owner "$dialog")" = "$main" ] || fail "the dialog does not belong to the main window"
  screenshot "title-bars-dialog-$((++shown))"
  close "$dialog"
  wait_gone_id "$dialog"
done
expect_exit_code 0
