#!/usr/bin/env bash
# Solves a range of the bundled levels afresh and checks that the pushes the
# solutions file states are the optimum the solver proves.
# usage: solver_chapter_test.sh SOLVER LEVELS SOLUTIONS FIRST-LAST
set -euo pipefail
solver=$1 levels=$2 kept=$3 range=$4
fresh=$(mktemp)
trap 'rm -f "$fresh"' EXIT
"$solver" "$levels" --levels "$range" --solutions "$fresh" >/dev/null
first=${range%-*}
last=${range#*-}
expected=$(grep -v '^#' "$kept" | sed -n "${first},${last}p" | cut -f1,2)
proven=$(grep -v '^#' "$fresh" | cut -f1,2)
if [ "$expected" != "$proven" ]; then
  diff <(echo "$expected") <(echo "$proven") || true
  echo "the solutions file and the solver disagree"
  exit 1
fi
echo "$(echo "$proven" | wc -l) levels proven optimal"
