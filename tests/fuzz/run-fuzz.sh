#!/usr/bin/env bash
# Builds the language-file fuzzer with clang in build-fuzz and runs it for a bounded
# time (FWFLASH_FUZZ_SECONDS, 20 by default) from a copy of the committed corpus.
# Exits non-zero on any finding; the crashing input is left in build-fuzz/.
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${FWFLASH_FUZZ_SECONDS:-20}

cmake -S . -B build-fuzz -DFWFLASH_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all" \
  >/dev/null
cmake --build build-fuzz -j 2 --target language_file_fuzz >/dev/null

corpus=build-fuzz/fuzz-corpus
rm -rf "$corpus" && mkdir -p "$corpus" && cp tests/fuzz/corpus/* "$corpus"/
log=build-fuzz/fuzz.log
status=0
build-fuzz/tests/language_file_fuzz -max_total_time="$seconds" -artifact_prefix=build-fuzz/ \
  "$corpus" >"$log" 2>&1 || status=$?

if [ $status -ne 0 ]; then
  tail -n 40 "$log"
  echo "language-file fuzzer: FINDING (exit $status), see $log"
  exit 1
fi
grep -o 'Done [0-9]* runs in [0-9]* second(s)' "$log" | sed 's/^/language-file fuzzer: /'
echo "language-file fuzzer: corpus grew from $(ls tests/fuzz/corpus | wc -l) to $(ls "$corpus" | wc -l) inputs"
