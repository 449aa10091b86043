#!/usr/bin/env bash
# At the density the desktop asks for (Xft.dpi), the main window is laid out at that
# density: its client area, its place, its controls and its font all scaled from their
# 96-dpi sizes, the controls still where they belong. Xft.dpi goes to an X server of the
# scenario's own, so that it never reaches the other tests.
source "$(dirname "$0")/lib.sh"

own_display
# scaled LENGTH DPI: a length given at 96 dots per inch, rounded as the program rounds it.
scaled() { echo $((($1 * $2 + 48) / 96)); }

# The language-version label's text at 96 dpi, against which the others' font is measured.
printf 'English\n' >"$work/deflang.txt"
ink96=

for dpi in 96 120 144; do
  echo "Xft.dpi: $dpi" | xrdb -merge
  start_program
  main=$(wait_window "Firmware Flash Program")
  screenshot "main-window-${dpi}dpi"

  read -r left top width height < <(xwininfo -id "$main" |
    awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF} /Width:/ {w=$NF} /Height:/ {h=$NF}
         END {print x, y, w, h}')
  [ "$width x $height" = "$(scaled 203 $dpi) x $(scaled 243 $dpi)" ] ||
    fail "at $dpi dpi the client area is $width x $height"
  [ "$left,$top" = "$(scaled 198 $dpi),$(scaled 132 $dpi)" ] || fail "at $dpi dpi the window is at $left,$top"

  # Probes through each control's expected place: the picture's inside, the static text
  # box's left and top edges, the button's middle, and the label's text.
  s() { scaled "$1" $dpi; }
  runs=$(import -window "$main" -depth 8 rgb:- | "$(dirname "$0")/window-runs.py" "$width" "$height" \
    "picture:$(s 10),$(s 10)" \
    "box-left:$(s 24),$(($(s 40) + $(s 137) / 2))" "box-top:$(($(s 24) + $(s 153) / 2)),$(s 40)" \
    "button:$(($(s 80) + 4)),$(($(s 192) + 4))" "label:$(s 8),$(s 184),$(($(s 80) - $(s 8))),$(($(s 13) + 2))")
  probe() { sed -n "s/^$1 //p" <<<"$runs"; }
  expect_probe() {  # NAME "LEFT TOP WIDTH HEIGHT" (a - leaves that one unchecked)
    local got want i
    read -r -a got <<<"$(probe "$1")"
    read -r -a want <<<"$2"
    for i in 0 1 2 3; do
      [ "${want[$i]}" = - ] || [ "${got[$i]:-}" = "${want[$i]}" ] ||
        fail "at $dpi dpi $1 is at \"$(probe "$1")\", expected \"$2\""
    done
  }
  expect_probe picture "$(s 8) $(s 8) $(s 9) $(s 9)"
  expect_probe box-left "$(s 24) $(s 40) - $(s 137)"
  expect_probe box-top "$(s 24) $(s 40) $(s 153) -"
  expect_probe button "$(s 80) $(s 192) $(s 89) $(s 25)"

  # The font: the label's text grows as the font's pixel size does (11 at 96 dpi).
  read -r _ _ ink _ <<<"$(probe label)"
  [ "${ink:-none}" != none ] || fail "at $dpi dpi the label shows no text"
  ink96=${ink96:-$ink}
  font=$(s 11)
  awk -v ink="$ink" -v base="$ink96" -v font="$font" 'BEGIN {r = ink / base / (font / 11); exit !(r > 0.9 && r < 1.1)}' ||
    fail "at $dpi dpi the label's text is $ink pixels wide, $ink96 at 96 dpi: not a ${font}-pixel font"
  echo "$dpi dpi: client $width x $height at $left,$top; label text $ink pixels wide"
  stop_program
done
