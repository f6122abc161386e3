#!/usr/bin/env bash
# Installs what is missing, builds the game and starts it from build/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/packages.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DBOXTOLO_TESTS=OFF -DBOXTOLO_BENCHMARKS=OFF
cmake --build build -j"$(nproc)" --target boxtolo
cd build
exec ./boxtolo
