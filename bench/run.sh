#!/usr/bin/env bash
# Builds and runs the benchmarks and prints the tables that the README shows:
# the screens under SDL's dummy driver and again in a real X11 window under
# Xvfb (a screen of 1920 x 1080 for the two smaller sizes, where the larger
# is full screen, and one of 3840 x 2160 for full screen at that size), the
# level store, the solver, and the start-up.
set -euo pipefail
cd "$(dirname "$0")/.."
# The games measured keep their records in a home of their own, never in
# the player's.
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME="$home" XDG_DATA_HOME="$home/data"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" >/dev/null
out=build/bench-results
mkdir -p "$out"
bench=build/bench/boxtolo_screens_bench
json() { echo --benchmark_format=json --benchmark_out="$out/$1" --benchmark_out_format=json; }
$bench $(json screens.json) >/dev/null

# Runs the screens under a private X server of the given size.
under_xvfb() {
  local size=$1 filter=$2 file=$3
  exec {displayfd}<> <(:)
  Xvfb -displayfd "$displayfd" -screen 0 "${size}x24" -nolisten tcp >/dev/null 2>&1 &
  local xvfb=$!
  read -r -t 20 number <&"$displayfd"
  DISPLAY=":$number" BENCH_VIDEO=x11 $bench --benchmark_filter="$filter" $(json "$file") >/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  wait "$xvfb" 2>/dev/null || true
}
under_xvfb 1920x1080 '/1280/|/1920/' screens-x11.json
under_xvfb 3840x2160 '/3840/' screens-x11-4k.json

build/bench/boxtolo_store_bench $(json store.json) >/dev/null
build/bench/boxtolo_solver_bench $(json solver.json) >/dev/null
build/tools/boxtolo_solve levels/palyak.txt > "$out/solve.txt"
/usr/bin/python3 bench/startup.py "$PWD/build/boxtolo" "$PWD/build" 20 > "$out/startup.txt"
/usr/bin/python3 bench/report.py "$out"
