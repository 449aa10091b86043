#!/usr/bin/env bash
# The desktop program's command line: --version names the version and the firmware it
# carries, after the product's name in a renamed copy (fwflash-cli's too); a bad command
# line is refused with exit code 2 before any window; --port flashes the device on that
# path while COM1's path names nothing.
source "$(dirname "$0")/lib.sh"

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
carried=$(python3 -c 'import sys, zlib; d = open(sys.argv[1], "rb").read()
print(f"firmware {len(d)} bytes, CRC-32 0x{zlib.crc32(d):08X}")' "$firmware")
[ "$("$build/fwflash" --version)" = "fwflash $version, $carried" ] ||
  fail "--version said \"$("$build/fwflash" --version)\""
# A product's programs name the product first, by their own file's name, not a link's.
cp "$build/fwflash" "$work/acme-probe"
cp "$build/fwflash-cli" "$work/acme-probe-cli.exe"
ln -s "$work/acme-probe-cli.exe" "$work/fwflash-cli"
for check in "acme-probe:acme-probe (fwflash $version), $carried" \
             "fwflash-cli:acme-probe-cli (fwflash-cli $version), $carried" \
             "$build/fwflash-cli:fwflash-cli $version, $carried"; do
  program=${check%%:*} expected=${check#*:}
  [[ $program == /* ]] || program=$work/$program
  [ "$("$program" --version)" = "$expected" ] || fail "$program --version said \"$("$program" --version)\""
done

# refused MESSAGE ARGS...: the first line on standard error, nothing on standard output.
refused() {
  local message=$1 status=0; shift
  "$build/fwflash" "$@" >"$work/out" 2>"$work/err" || status=$?
  [ "$status" = 2 ] || fail "fwflash $* ended with $status, not 2"
  [ "$(head -n 1 "$work/err")" = "fwflash: $message" ] || fail "fwflash $* said: $(cat "$work/err")"
  [ ! -s "$work/out" ] || fail "fwflash $* wrote to standard output"
}
refused 'unknown option "--bogus"' --bogus
refused '--port needs a path' --port
refused 'unexpected argument "COM2"' COM2
refused '--exclude needs --port auto' --exclude /dev/ttyUSB0
refused 'protocol "3": give 1, 2 or auto' --protocol 3
refused '--protocol needs a value' --protocol
refused '--max-baud takes a rate from 1 to 2000000' --max-baud 2000001

port=$work/cable start_device --expect "$firmware"
port=$work/missing start_program "$build/fwflash" --port "$work/cable"
main=$(wait_window "Firmware Flash Program")
press Return "$main"
done_window=$(wait_window Congratulation 30)
press Return "$done_window"
expect_exit_code 0
device_result || fail "the device on --port's path did not receive the firmware byte for byte"
[ ! -e "$work/missing" ] || fail "something was created at COM1's path"
