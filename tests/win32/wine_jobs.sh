#!/usr/bin/env bash
# fwflash-cli.exe's production jobs under Wine, in a SQLite file: a job with a counter, a
# secret list and a generator (a small .exe, run through CreateProcess with an argument
# array), two stations, each device's image checked byte for byte and no secret in the
# output or the store; the job named from its own folder and from the one above, its
# generator written as a path; a one-shot run whose generator cannot start ended before
# its port opens; a .bat generator refused before anything is sent.
# Run by run-wine-tests.sh with COM1 and COM2 mapped to $FWFLASH_WINE_COM1 and _COM2
# (empty directories until now).
set -euo pipefail
build=${FWFLASH_BUILD_DIR:?the Linux build with fwflash-vdev}
exe=${FWFLASH_WINE_CLI:?fwflash-cli.exe}
declare -A ports=([COM1]=${FWFLASH_WINE_COM1:?} [COM2]=${FWFLASH_WINE_COM2:?})
work=$(mktemp -d /tmp/fwflash-wine-jobs.XXXXXX)
source "$(dirname "$0")/wine_devices.sh"
trap 'stop_devices || true; rm -rf "$work"' EXIT

mkdir "$work/job"
python3 -c "
import random, sys
image = bytearray(random.Random(21).randrange(1, 255) for _ in range(600))
image[0x100:0x120] = bytes(32)
open(sys.argv[1], 'wb').write(image)" "$work/job/base.bin"
# The generator: 16 bytes of the system's random numbers as hex, its argument checked.
cat >"$work/keygen.c" <<'C'
#include <stdio.h>
#include <string.h>
#include <windows.h>
#include <bcrypt.h>
int main(int argc, char** argv) {
  unsigned char key[16];
  if (argc != 3 || strcmp(argv[1], "--product") != 0 || strcmp(argv[2], "wine probe") != 0) return 3;
  if (BCryptGenRandom(NULL, key, sizeof key, BCRYPT_USE_SYSTEM_PREFERRED_RNG) != 0) return 4;
  printf("{\"device_key\":\"");
  for (int i = 0; i < 16; ++i) printf("%02x", key[i]);
  printf("\"}\n");
  return 0;
}
C
i686-w64-mingw32-gcc -O2 -o "$work/job/keygen.exe" "$work/keygen.c" -lbcrypt || fail "cannot build the generator"
printf 'Pw-wine-%04d\n' 1 2 3 4 5 6 7 >"$work/passwords.txt"
job() {  # job GENERATOR: the job file with this generator's program
  cat >"$work/job/job.toml" <<TOML
product = "wine-probe"
firmware = "base.bin"
record = "line.sqlite"
[[field]]
name = "serial"
at = 0x100
format = "u32le"
counter = { first = 500, last = 999 }
[[field]]
name = "password"
at = 0x104
format = "ascii:12"
list = "passwords"
secret = true
[[field]]
name = "device_key"
at = 0x110
format = "bytes:16"
generator = "keygen"
secret = true
[generator.keygen]
command = ["$1", "--product", "wine probe"]
TOML
}

echo "-- a .bat generator is refused before any port opens (COM1 is an empty directory: exit 3 if opened)"
job "./keygen.bat"
status=0; out=$(cli --job "$(windows_path "$work/job/job.toml")" --port COM1 2>&1) || status=$?
[ "$status" = 2 ] || fail "exit $status, not 2, for a .bat generator: $out"
grep -qF "cmd.exe would read its arguments as commands" <<<"$out" || fail "no reason for the .bat: $out"

echo "-- two stations: a counter, a secret list and a generator .exe"
job "./keygen.exe"
out=$(cli --job "$(windows_path "$work/job/job.toml")" --import-list passwords "$(windows_path "$work/passwords.txt")" \
  --list-kind text --list-length 12 --secret) || fail "the import failed: $out"
start_device COM1; start_device COM2
out=$(cli --job "$(windows_path "$work/job/job.toml")" --port COM1 --port COM2) || fail "the run failed: $out"
echo "$out" | grep -v ' % '
wait_for_conversation COM1 1; wait_for_conversation COM2 1
stop_devices
python3 - "$work" "$out" <<'PY' || fail "the devices' images or the records are not as they must be"
import hashlib, json, sqlite3, struct, sys
work, out = sys.argv[1], sys.argv[2]
base = open(work + "/job/base.bin", "rb").read()
db = sqlite3.connect(work + "/job/line.sqlite")
records = {row[0]: json.loads(row[1]) for row in db.execute("SELECT serial, fields FROM fwflash_records")}
seen = set()
for name in ("COM1", "COM2"):
    sent = open(work + "/" + name + "-1.bin", "rb").read()
    assert sent[:0x100] == base[:0x100] and sent[0x120:] == base[0x120:], name + ": a byte outside the fields"
    serial = struct.unpack("<I", sent[0x100:0x104])[0]
    password, key = sent[0x104:0x110], sent[0x110:0x120]
    assert password.startswith(b"Pw-wine-000"), name
    fields = records[serial]
    assert fields["password"] == "sha256:" + hashlib.sha256(password).hexdigest()[:16], fields
    assert fields["device_key"] == "sha256:" + hashlib.sha256(key).hexdigest()[:16], fields
    assert password.decode() not in out and key.hex() not in out.lower(), name + ": a secret in the output"
    raw = open(work + "/job/line.sqlite", "rb").read()
    assert password not in raw and key.hex().encode() not in raw, name + ": a secret in the store's file"
    seen.add(serial)
assert seen == {500, 501}, seen
given = list(db.execute("SELECT item = digest FROM fwflash_list_items WHERE given_ms IS NOT NULL"))
assert given == [(1,), (1,)], given
PY

echo "-- the job named from its own folder (job.toml, .\\job.toml) and from the one above (job\\job.toml)"
named=0
named_run() {  # FOLDER JOB GENERATOR: one device on COM1 flashed by the job named JOB in FOLDER
  job "$3"
  rm -f "$work/COM1.report"
  start_device COM1
  out=$(cd "$1" && cli --job "$2" --port COM1) || fail "the job $2 in $1 with the generator $3 failed: $out"
  wait_for_conversation COM1 1
  stop_devices
  named=$((named + 1))
  mv "$work/COM1-1.bin" "$work/named-$named.bin"
}
named_run "$work/job" job.toml ./keygen.exe
named_run "$work/job" '.\job.toml' ./keygen.exe
named_run "$work" 'job\job.toml' ./keygen.exe
named_run "$work/job" job.toml '.\\keygen.exe'  # a TOML string: ".\keygen.exe"
python3 - "$work" "$named" <<'PY' || fail "a device of the job named from a folder did not get its values"
import os, sqlite3, struct, sys
work, runs = sys.argv[1], int(sys.argv[2])
base = open(work + "/job/base.bin", "rb").read()
serials = set()
for run in range(1, runs + 1):
    sent = open("%s/named-%d.bin" % (work, run), "rb").read()
    assert sent[:0x100] == base[:0x100] and sent[0x120:] == base[0x120:], run
    assert sent[0x104:0x110].startswith(b"Pw-wine-000") and sent[0x110:0x120] != bytes(16), run
    serials.add(struct.unpack("<I", sent[0x100:0x104])[0])
assert serials == set(range(502, 502 + runs)), serials
db = sqlite3.connect(work + "/job/line.sqlite")
assert list(db.execute("SELECT count(*) FROM fwflash_records WHERE ok")) == [(2 + runs,)]
assert not os.path.exists(work + "/line.sqlite"), "a store outside the job's folder"
PY

echo "-- a one-shot run whose generator cannot start ends with exit 1 before its port opens (COM2: exit 3 if opened)"
job "./nokeygen.exe"
status=0; out=$(cd "$work/job" && cli --job job.toml --port COM2) || status=$?
[ "$status" = 1 ] || fail "exit $status, not 1, for a generator that cannot start: $out"
grep -qE 'the generator keygen: cannot start \.[\\/]nokeygen\.exe .*; no device was started$' <<<"$out" ||
  fail "no reason for the generator that cannot start: $out"
echo "wine_jobs: ok"
