#!/usr/bin/env bash
# Every start leaves a new pair in the temporary directory: an empty "pic" file and its
# ".bmp" twin holding the product picture.
source "$(dirname "$0")/lib.sh"

for run in 1 2; do
  start_program
  wait_window "Firmware Flash Program" >/dev/null
  stop_program
done
empty=$(find "$work/tmp" -name 'pic*' ! -name '*.bmp' -empty | wc -l)
pictures=$(find "$work/tmp" -name 'pic*.bmp' | wc -l)
[ "$empty" = 2 ] && [ "$pictures" = 2 ] || fail "expected two pairs, found $empty empty files and $pictures pictures"
for bmp in "$work"/tmp/pic*.bmp; do
  [ -e "${bmp%.bmp}" ] || fail "$bmp has no empty twin"
  cmp -s "$bmp" "$source_dir/payload/product_picture.bmp" || fail "$bmp is not the product picture"
done
