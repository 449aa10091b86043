# Driving fwflash.exe under Wine with the helpers of tests/e2e/lib.sh, sourced after it:
# keys and the drawn window as Wine needs them.

# Keys as a person types them (XTEST), into the window given the focus; Wine takes keys
# sent to a window with XSendEvent as held down.
press() { timeout 5 xdotool windowfocus --sync "$2" key "$1" 2>/dev/null || true; }
copy_text() { press ctrl+c "$1"; }
# press_until KEY WINDOW TITLE: the key, again until a window TITLE shows. Wine stamps the
# first input after a window appears with a time that the program may take for input
# made before its start, and drops it; a key it took disables the window, so a repeat
# never reaches it.
press_until() {
  local try
  for try in 1 2 3 4 5; do
    press "$1" "$2"
    timeout 3 xdotool search --sync --onlyvisible --name "^$3\$" >/dev/null 2>&1 && return 0
  done
  fail "no window \"$3\" after $1"
}
# Wine draws each window's frame itself: drawn is a client-area pixel that is no longer
# the black of the screen behind it.
drawn() {
  local pixel
  pixel=$(window_pixel "$1" 8 30)
  [ -n "$pixel" ] && [ "$pixel" != 000000 ]
}
