#!/usr/bin/env bash
# tools/make-release.sh for a product with a 1-byte firmware, a picture of its own and
# German texts: every file present and carrying that payload, the Debian package's
# contents and control data, its programs flashing the virtual device and starting with
# the product's texts, lintian without errors, the checksums; and refused input that
# writes nothing. Then a signed release: its programs carry the application signed with
# the vendor's key, which their --key takes and another key's refuses. Uses ./test's build trees, or $FWFLASH_RELEASE_BUILD and
# $FWFLASH_RELEASE_WIN_BUILD as make-release.sh does.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
export FWFLASH_BUILD_DIR=${FWFLASH_RELEASE_BUILD:-$root/build}
display=$("$root/tools/start-xvfb.sh")
export DISPLAY=$display
source "$root/tests/e2e/lib.sh"  # $work, the virtual device, the windows, fail
trap 'cleanup; "$root/tools/stop-xvfb.sh" "$display"' EXIT

name=messgeraet-7 version=2.4 cable=/dev/serial/by-id/usb-Acme_Messgeraet_7-if00-port0
title="Firmware für Messgerät 7"
in=$work/in release=$work/out/$name-$version unpacked=$work/unpacked

make_inputs() {
  mkdir "$in"
  printf '\xA5' >"$in/one.bin"
  convert -size 24x16 gradient:orange-navy "BMP3:$in/picture.bmp"
  printf 'not a bitmap\n' >"$in/bad.bmp"
  printf ' \n \n \nGerät anschließen, dann „Übertragen“ drücken.\nÜbertragen\n%s\n' "$title" >"$in/texts.txt"
}

# refused WHAT ARGS...: make-release.sh refuses with exit code 2 and leaves its empty
# output folder empty.
refused() {
  local what=$1 status=0
  shift
  rm -rf "$work/refused" && mkdir "$work/refused"
  "$root/tools/make-release.sh" "$@" --out "$work/refused" 2>"$work/refused.err" || status=$?
  [ "$status" = 2 ] || fail "$what: exit code $status, not 2 ($(cat "$work/refused.err"))"
  [ -z "$(ls -A "$work/refused")" ] || fail "$what: something was written"
}

check_refusals() {
  refused "a picture that is not a bitmap" --name "$name" --firmware "$in/one.bin" --picture "$in/bad.bmp"
  refused "a name in capitals" --name Messgeraet --firmware "$in/one.bin"
  refused "a firmware without a name" --firmware "$in/one.bin"
  refused "a port that is neither auto nor an absolute path" --name "$name" --firmware "$in/one.bin" --port ttyUSB0
}

check_files() {
  local expected
  expected=$(printf '%s\n' "$name" "$name-$version-windows.zip" "$name-cli" "$name-cli.exe" "$name.exe" \
    "${name}_${version}_$(dpkg --print-architecture).deb" README.txt SHA256SUMS | LC_ALL=C sort)
  [ "$(cd "$release" && ls | LC_ALL=C sort)" = "$expected" ] || fail "release files: $(ls "$release")"
  (cd "$release" && sha256sum --quiet -c SHA256SUMS) || fail "the checksums do not match"
  local line exe
  for line in "$name-cli --port" "$cable" "usermod -aG dialout" "--port auto" "Create shortcut"; do
    grep -qF -- "$line" "$release/README.txt" || fail "the README does not say \"$line\""
  done
  python3 -m zipfile -e "$release/$name-$version-windows.zip" "$work/zip"
  [ "$(ls "$work/zip" | LC_ALL=C sort | tr '\n' ' ')" = "README.txt $name-cli.exe $name.exe " ] ||
    fail "the zip holds $(ls "$work/zip")"
  for exe in "$name.exe" "$name-cli.exe"; do
    cmp -s "$work/zip/$exe" "$release/$exe" || fail "the zip's $exe differs"
    strings -el "$release/$exe" | grep -A1 -x ProductVersion | grep -qx "$(project_version)" ||
      fail "$exe carries no version resource of fwflash $(project_version)"
  done
  # PostgreSQL's client and the dashboard linked in: the system's DLLs, sockets among them.
  "$root/tests/win32/cli_imports.sh" "$release/$name-cli.exe" || fail "the release's $name-cli.exe needs other DLLs"
}

project_version() { sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt"; }

# Every program of the release shows the payload that fwflash-pack puts into fwflash.
check_payloads() {
  "$build/fwflash-pack" set "$build/fwflash" -o "$work/reference" --firmware "$in/one.bin" \
    --picture "$in/picture.bmp" --texts "$in/texts.txt"
  "$build/fwflash-pack" show "$work/reference" >"$work/reference.show"
  grep -qx "firmware: 1 bytes, CRC-32 0x$(crc32 "$in/one.bin")" "$work/reference.show" ||
    fail "the reference is not the product's: $(cat "$work/reference.show")"
  local program
  for program in "$release/$name" "$release/$name-cli" "$release/$name.exe" "$release/$name-cli.exe" \
    "$unpacked/usr/bin/$name" "$unpacked/usr/bin/$name-cli"; do
    "$build/fwflash-pack" show "$program" | cmp -s - "$work/reference.show" ||
      fail "$program does not carry the product's payload"
  done
}

crc32() { python3 -c 'import sys, zlib; print("%08X" % zlib.crc32(open(sys.argv[1], "rb").read()))' "$1"; }

check_package() {
  local deb
  deb=$release/${name}_${version}_$(dpkg --print-architecture).deb
  dpkg-deb -x "$deb" "$unpacked"
  local expected=(
    "usr/bin/$name" "usr/bin/$name-cli" "usr/share/applications/$name.desktop"
    "usr/share/doc/$name/changelog.gz" "usr/share/doc/$name/copyright"
    "usr/share/icons/hicolor/16x16/apps/$name.png" "usr/share/icons/hicolor/32x32/apps/$name.png"
    "usr/share/man/man1/$name-cli.1.gz" "usr/share/man/man1/$name.1.gz")
  [ "$(dpkg-deb -c "$deb" | awk '!/\/$/ {print substr($6, 3)}' | LC_ALL=C sort)" = "$(printf '%s\n' "${expected[@]}" | LC_ALL=C sort)" ] ||
    fail "the package holds: $(dpkg-deb -c "$deb")"
  [ "$(dpkg-deb -f "$deb" Package Version Section)" = "$(printf 'Package: %s\nVersion: %s\nSection: electronics' "$name" "$version")" ] ||
    fail "control: $(dpkg-deb -f "$deb")"
  dpkg-deb -f "$deb" Depends | grep -q 'libc6 (>= .*libx11-6' || fail "dependencies: $(dpkg-deb -f "$deb" Depends)"
  grep -qx "Exec=$name --port $cable" "$unpacked/usr/share/applications/$name.desktop" ||
    fail "the menu entry does not start the program on $cable"
  [ "$(identify -format '%m %w ' "$unpacked"/usr/share/icons/hicolor/{16x16,32x32}/apps/"$name.png")" = "PNG 16 PNG 32 " ] ||
    fail "the icons are not PNGs of their sizes"
  lintian "$deb" >"$work/lintian.out" 2>/dev/null || true
  cat "$work/lintian.out"
  ! grep -q '^E:' "$work/lintian.out" || fail "lintian found errors"
}

# The package's programs: the CLI flashes the virtual device, the desktop program shows
# its window with the product's German title.
check_package_programs() {
  start_device --expect "$in/one.bin"
  "$unpacked/usr/bin/$name-cli" --port "$port" >"$work/cli.out" || fail "$name-cli: $(cat "$work/cli.out")"
  device_result || fail "the device did not receive the product's firmware from $name-cli"
  start_program "$unpacked/usr/bin/$name"
  # xdotool's search sees the title as the locale converts X's older title property;
  # getwindowname gives its UTF-8 bytes.
  local main
  main=$(wait_window "Firmware f.+r Messger.+t 7.?")
  [ "$(xdotool getwindowname "$main")" = "$title" ] || fail "the window's title: $(xdotool getwindowname "$main")"
  close "$main"
  expect_exit_code 0
}

# A signed release of a 600-byte application with a blank serial-number region at 16:
# refused without a counter, with a version of four numbers or a region that is not
# blank; made, its firmware shows the version as X.Y.Z and verifies, and the private key
# is in nothing it wrote.
check_signed_release() {
  local app=$in/app.bin signed=$work/signed/$name-$version status=0
  "$build/fwflash-boot-image" --new-key "$in/vendor" >/dev/null
  "$build/fwflash-boot-image" --new-key "$in/other" >/dev/null
  python3 -c 'import sys; a = bytearray((i * 7 + 3) % 251 for i in range(600)); a[16:24] = b"\xff" * 8
open(sys.argv[1], "wb").write(a)' "$app"
  local signing=(--name "$name" --firmware "$app" --sign "$in/vendor.key")
  refused "a signed release without a counter" "${signing[@]}"
  refused "a signed version of four numbers" "${signing[@]}" --version 2.4.0.1 --counter 3
  signing+=(--version "$version")
  refused "a region that is not blank" "${signing[@]}" --counter 3 --region 0:4
  "$root/tools/make-release.sh" "${signing[@]}" --counter 3 --region 16:8 --out "$work/signed" \
    >"$work/signed.out" 2>&1 || fail "the signed release: $(cat "$work/signed.out")"
  python3 - "$in/vendor.key" "$work/signed.out" "$signed"/* <<'PY' || fail "the private key is in the release's output or files"
import sys
key = open(sys.argv[1], 'rb').read()
for path in sys.argv[2:]:
    data = open(path, 'rb').read()
    if key[:32] in data or key[:32].hex().encode() in data.lower():
        sys.exit(1)
PY
  "$build/fwflash-pack" extract "$signed/$name" --firmware "$work/signed.img" >/dev/null
  "$build/fwflash-boot-image" --show "$work/signed.img" --key "$in/vendor.pub" >"$work/show.out" ||
    fail "the signed release's firmware does not verify: $(cat "$work/show.out")"
  grep -qx 'version: 2.4.0' "$work/show.out" && grep -qx 'counter: 3' "$work/show.out" ||
    fail "the signed header: $(cat "$work/show.out")"
  "$signed/$name" --key "$in/vendor.pub" --version >/dev/null || fail "$name --key refuses the vendor's key"
  "$signed/$name-cli" --key "$in/other.pub" --port "$work/no-port" >/dev/null 2>"$work/other.err" || status=$?
  [ "$status" = 2 ] && grep -q "signed by another key" "$work/other.err" ||
    fail "$name-cli --key with another key: exit $status, $(cat "$work/other.err")"
}

make_inputs
check_refusals
"$root/tools/make-release.sh" --name "$name" --firmware "$in/one.bin" --picture "$in/picture.bmp" \
  --texts "$in/texts.txt" --version "$version" --port "$cable" --out "$work/out" >/dev/null
check_files
check_package
check_payloads
check_package_programs
check_signed_release
echo "release: all checks passed"
