#!/usr/bin/env bash
# The level tools on small cases, each run in a folder of its own: the
# checker refuses floor the player can never reach, one cell of it too, and
# the generator's levels have none.
# usage: tools_test.sh CHECK GENERATE
set -euo pipefail
check=$1 generate=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
printf '# names and solutions\n' > "$dir/none.solutions"

printf '; Zárt\n#######\n#@$. ##\n##### #\n#######\n' > "$dir/closed.txt"
# The checker's problems make it fail; what it says is what counts here.
said=$("$check" "$dir/closed.txt" "$dir/none.solutions" || true)
if ! grep -q "1 floor cells the player can never reach" <<< "$said"; then
  echo "the checker let one floor cell the player can never reach through"
  exit 1
fi

for args in "302 40 7 7 3" "100 20 10 9 5"; do
  # shellcheck disable=SC2086
  "$generate" $args > "$dir/generated.txt" 2>/dev/null
  levels=$(grep -c '^;' "$dir/generated.txt" || true)
  if [ "$levels" -eq 0 ]; then
    echo "the generator made no level with $args"
    exit 1
  fi
  said=$("$check" "$dir/generated.txt" "$dir/none.solutions" || true)
  if grep "never reach" <<< "$said"; then
    echo "the generator left floor the player can never reach with $args"
    exit 1
  fi
  echo "$levels levels of $args, no floor out of reach"
done
