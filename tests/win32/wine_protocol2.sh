#!/usr/bin/env bash
# The second protocol under Wine: fwflash-cli.exe, then fwflash.exe, each flash a
# simulation of the reference bootloader (build/fwflash-boot-sim) on COM1 at the highest
# rate that both the device and Wine's port take. fwflash-cli.exe's JSON tells every
# change of rate and a result in protocol 2 at the last rate taken, for an image above
# the raw images' 16,388 bytes; fwflash.exe, its payload a headered image, flashes with
# --protocol 2 (which fails unless the probe is answered) at the rate the CLI was given.
# Each device finds its application whole at its next reset. Run by run-wine-tests.sh
# with COM1 mapped to $FWFLASH_WINE_COM1 (an empty directory until now, and again
# afterwards: Wine opens /dev/ttyS0 for a mapping that names nothing).
source "$(dirname "$0")/../e2e/lib.sh"
source "$(dirname "$0")/wine_keys.sh"

com1=${FWFLASH_WINE_COM1:?the path COM1 is mapped to}
cli_exe=${FWFLASH_WINE_CLI:?fwflash-cli.exe}
gui_exe=${FWFLASH_WINE_EXE:?fwflash.exe}
sim_pid=
# The prefix's programs end first: the server holds the port's terminal.
stop_sim() {
  WINEDEBUG=-all wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; sim_pid=; fi
  rm -rf "$com1"; mkdir "$com1"
}
trap 'stop_sim; cleanup' EXIT

# start_sim PAGES: an erased device of PAGES 256-byte pages behind COM1; its state lines
# go to $work/sim.out.
start_sim() {
  rmdir "$com1"
  rm -f "$work/flash.bin"
  "$build/fwflash-boot-sim" --link "$com1" --flash "$work/flash.bin" --page-size 256 --pages "$1" \
    >"$work/sim.out" 2>"$work/sim.err" &
  sim_pid=$!
  for _ in $(seq 200); do [ -L "$com1" ] && return 0; sleep 0.05; done
  fail "the simulation did not start: $(cat "$work/sim.err")"
}
# expect_valid APP_BYTES: the device reset after the flash and found the application whole.
expect_valid() {
  for _ in $(seq 200); do
    grep -q "^{\"valid\":true,\"length\":$1," "$work/sim.out" && return 0
    sleep 0.05
  done
  fail "the device did not find its $1-byte application valid: $(cat "$work/sim.out")"
}
make_image() {  # make_image APP_BYTES OUT
  python3 -c "import random, sys; sys.stdout.buffer.write(random.Random(29).randbytes(int(sys.argv[1])))" \
    "$1" >"$work/app.bin"
  "$build/fwflash-boot-image" "$work/app.bin" "$2" >/dev/null || fail "fwflash-boot-image failed"
}

echo "-- fwflash-cli.exe: a 64 KiB application in protocol 2, at the highest rate taken"
make_image 65536 "$work/large.bin"
start_sim 257
status=0
timeout 120 wine "$cli_exe" --port COM1 --firmware "Z:${work//\//\\}\\large.bin" --json >"$work/cli.out" 2>&1 ||
  status=$?
tr -d '\r' <"$work/cli.out" | grep -v '"event":"progress"' | tee "$work/cli.events"
[ "$status" = 0 ] || fail "fwflash-cli.exe exited with $status"
rate=$(python3 - "$work/cli.events" <<'PY'
import json, sys
events = [json.loads(line) for line in open(sys.argv[1]) if line.startswith("{")]
rates = [e for e in events if e["event"] == "rate"]
results = [e for e in events if e["event"] == "result"]
assert rates, "no change of rate was told"
taken = [e["to"] for e in rates if e["taken"]]
assert len(results) == 1 and results[0]["ok"], results
result = results[0]
assert result["protocol"] == 2 and result["bytes"] == 65544, result
assert result["baud"] == (taken[-1] if taken else 9600), (result, rates)
assert result["baud"] > 9600, "no faster rate was taken under Wine"
print(result["baud"])
PY
) || fail "fwflash-cli.exe's events are not a protocol-2 flash at a faster rate"
expect_valid 65536
stop_sim
echo "fwflash-cli.exe: protocol 2 at $rate baud"

echo "-- fwflash.exe: its payload a headered image, --protocol 2 --max-baud $rate"
make_image 12000 "$work/small.bin"
"$build/fwflash-pack" set "$gui_exe" -o "$work/fwflash.exe" --firmware "$work/small.bin" >/dev/null ||
  fail "fwflash-pack could not put the image into fwflash.exe"
start_sim 48
start_program wine "$work/fwflash.exe" --protocol 2 --max-baud "$rate"
main=$(wait_window "Firmware Flash Program" 30)
press_until Return "$main" "Flashing... Please Wait!|Congratulation"
done_window=$(wait_window Congratulation 60)
press Return "$done_window"
expect_exit_code 0 15
expect_valid 12000
echo "fwflash.exe: protocol 2 at up to $rate baud"
