#!/usr/bin/env bash
# Fuzzes the meter-reply decoders: builds tests/fuzz/records_fuzz.cpp with clang's libFuzzer
# under the address and undefined-behaviour sanitizers into build-fuzz/, then runs it for
# the given number of seconds (default 60), starting from the seed replies in
# tests/fuzz/corpus. Inputs it finds are kept in build-fuzz/corpus for the next run; a
# crashing input is written to build-fuzz/ and the script fails.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
out=build-fuzz
mkdir -p "$out/corpus"
clang++ -std=c++20 -O1 -g -Wall -Wextra -Wpedantic -Werror \
  -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer \
  -Isrc src/meter/records.cpp tests/fuzz/records_fuzz.cpp -o "$out/records_fuzz"
"$out/records_fuzz" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
  -artifact_prefix="$out/" "$out/corpus" tests/fuzz/corpus
