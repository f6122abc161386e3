#!/usr/bin/env bash
# Builds and runs the benchmarks and prints the table that the README shows:
# the screens under SDL's dummy driver, the same once more in a real X11
# window under Xvfb, the level store, and the start-up.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" >/dev/null
out=build/bench-results
mkdir -p "$out"
build/bench/boxtolo_screens_bench --benchmark_format=json --benchmark_out="$out/screens.json" \
  --benchmark_out_format=json >/dev/null
# A private X server for the real-window run; it stops with this script.
exec {displayfd}<> <(:)
Xvfb -displayfd "$displayfd" -screen 0 1920x1200x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true' EXIT
read -r -t 20 number <&"$displayfd"
DISPLAY=":$number" BENCH_VIDEO=x11 build/bench/boxtolo_screens_bench \
  --benchmark_filter='Floor|MenuRoom|PlayScreen|Editor|TextInput|AlertBox|Confirmation' \
  --benchmark_format=json --benchmark_out="$out/screens-x11.json" --benchmark_out_format=json >/dev/null
build/bench/boxtolo_store_bench --benchmark_format=json --benchmark_out="$out/store.json" \
  --benchmark_out_format=json >/dev/null
/usr/bin/python3 bench/startup.py "$PWD/build/boxtolo" "$PWD/build" 20 > "$out/startup.txt"
/usr/bin/python3 bench/report.py "$out/screens.json" "$out/screens-x11.json" "$out/store.json" "$out/startup.txt"
