#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors and runs every
# test; then again with AddressSanitizer and UndefinedBehaviorSanitizer, and
# the level file fuzzer for a while.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/packages.sh --tests
jobs=$(nproc)

cmake -S . -B build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBOXTOLO_WERROR=ON
cmake --build build-test -j"$jobs"
ctest --test-dir build-test --output-on-failure

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DBOXTOLO_WERROR=ON -DBOXTOLO_SANITIZE=ON \
  -DBOXTOLO_BENCHMARKS=OFF
cmake --build build-sanitize -j"$jobs"
# The real-window tests stay with the plain build: SDL's X11 driver keeps
# memory for the whole process that the leak checker would report.
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-sanitize --output-on-failure -E "^RealWindow"

if [ -f fuzz/run.sh ]; then
  bash fuzz/run.sh "${FUZZ_SECONDS:-60}"
fi
