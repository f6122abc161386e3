#!/usr/bin/env bash
# Builds and runs the benchmarks and prints the table that the README shows.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" >/dev/null
out=build/bench-results
mkdir -p "$out"
build/bench/boxtolo_screens_bench --benchmark_format=json --benchmark_out="$out/screens.json" \
  --benchmark_out_format=json >/dev/null
build/bench/boxtolo_store_bench --benchmark_format=json --benchmark_out="$out/store.json" \
  --benchmark_out_format=json >/dev/null
/usr/bin/python3 bench/startup.py "$PWD/build/boxtolo" "$PWD/build" 20 > "$out/startup.txt"
/usr/bin/python3 bench/report.py "$out/screens.json" "$out/store.json" "$out/startup.txt"
