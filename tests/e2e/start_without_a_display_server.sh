#!/usr/bin/env bash
# DISPLAY names an X server that is not there: the toolkit's exception leaves the start-up
# and reaches main, which shows it in the error box (on the standard error stream, as no
# window can be shown) and returns 0 without making any window, so no picture is written.
source "$(dirname "$0")/lib.sh"

n=600
while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
status=0
(cd "$work" && DISPLAY=:$n FWFLASH_COM1=$port TMPDIR=$work/tmp timeout 30 "$build/fwflash" 2>"$work/err") ||
  status=$?
[ "$status" = 0 ] || fail "the program ended with exit code $status"
[ "$(cat "$work/err")" = "fwflash: Cannot open display :$n." ] || fail "it said: $(cat "$work/err")"
[ -z "$(ls -A "$work/tmp")" ] || fail "a window was made: $(ls "$work/tmp")"
