#!/usr/bin/env bash
# The campaign's tool run: builds the level tools, solves every bundled level
# push-optimally (writing levels/palyak.solutions), checks the set against
# what it is chosen by, draws docs/levels.png and prints the README's table.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target boxtolo_solve boxtolo_check boxtolo_sheet boxtolo_assets >/dev/null
time build/tools/boxtolo_solve levels/palyak.txt --solutions levels/palyak.solutions
build/tools/boxtolo_check levels/palyak.txt levels/palyak.solutions || true
build/tools/boxtolo_sheet levels/palyak.txt levels/palyak.solutions build/tiles.png build/font.ttf docs/levels.png
build/tools/boxtolo_check levels/palyak.txt levels/palyak.solutions --markdown || true
