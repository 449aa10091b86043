#!/usr/bin/env bash
# A picture file that cannot be written in full (a file-size limit stops the write part
# way, as a full disk does): message 12 in its default words, since the language file is
# read only later; the partial file is still loaded, and its error box ends the main
# window's creation, which keeps its stored title. The file holds what was written.
source "$(dirname "$0")/lib.sh"

printf ' \n \n \n \nFlashen!\nFlash-Programm\n \n \n \n \n \n \nBild nicht geschrieben\n' >"$work/deflang.txt"
# 1024 bytes of the picture's 1272; the write past them fails instead of stopping the program.
start_program bash -c 'trap "" XFSZ; ulimit -f 1; exec "$0"' "$build/fwflash"
close_dialog "Cannot write product picture file"
close_dialog "Stream read error."
wait_window Mainform 10 FFFFFF >/dev/null  # its stored title and colour
picture=$(find "$work/tmp" -name 'pic*.bmp')
[ "$(stat -c %s "$picture")" = 1024 ] || fail "the picture file holds $(stat -c %s "$picture") bytes"
cmp -s "$picture" <(head -c 1024 "$source_dir/payload/product_picture.bmp") ||
  fail "the picture file is not the picture's start"
stop_program
