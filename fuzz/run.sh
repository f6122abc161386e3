#!/usr/bin/env bash
# Builds the level file fuzzer with clang (libFuzzer, ASan, UBSan) and runs it
# for the given number of seconds (default 60) from the seed corpus.
set -euo pipefail
cd "$(dirname "$0")"
seconds="${1:-60}"
out=../build-fuzz
mkdir -p "$out/corpus"
clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -I../src level_fuzz.cpp ../src/file.cpp -o "$out/level_fuzz"
cp corpus/* "$out/corpus/"
cp ../levels/palyak.txt "$out/corpus/"
"$out/level_fuzz" -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=1024 \
  -print_final_stats=1 "$out/corpus" 2>&1 | tail -n 15
rm -f /tmp/boxtolo-fuzz-*
