#!/usr/bin/env bash
# Plays the typical game in a real window (the road test) and copies its
# screenshots into docs/screenshots for the README.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build >/dev/null
cmake --build build -j"$(nproc)" >/dev/null
ctest --test-dir build -R TypicalGame --output-on-failure
mkdir -p docs/screenshots
cp build/road-artefacts/*.png docs/screenshots/
ls docs/screenshots
