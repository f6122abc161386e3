#!/usr/bin/env python3
"""Places pieces on a map drawn by hand: the walls and floor stay as drawn,
crates, targets and the player go at random onto its floor, every try is
solved and checked in one run of the level tools, and the best clean ones
within a push limit are printed, most pushes first. It proposes; a person
picks and names. The first chapter's later lessons were found this way.

usage: tools/place.py MAP CRATES TRIES MAXPUSHES SEED [SHOW]
  MAP   walls (#) and floor (spaces) only
  SHOW  how many proposals to print (default 8)
BOXTOLO_SOLVE and BOXTOLO_CHECK name the tools when they are not in build/tools.
"""
import os
import random
import subprocess
import sys
import tempfile

from levelreport import CHECK, SOLVE, problems, rows as tableRows

# Problems of a set, not of one level: a batch of tries is no campaign.
SET_ONLY = "easier|harder|first-chapter"


def main():
    drawing, crates, tries, most, seed = sys.argv[1:6]
    show = int(sys.argv[6]) if len(sys.argv) > 6 else 8
    crates, rnd = int(crates), random.Random(int(seed))
    rows = [l.rstrip("\n") for l in open(drawing, encoding="utf-8") if l.strip() and not l.startswith(";")]
    floor = [(x, y) for y, r in enumerate(rows) for x, c in enumerate(r)
             if c == " " and "#" in r[:x] and "#" in r[x + 1:]]
    if len(floor) < 2 * crates + 1:
        sys.exit("the map has floor for fewer than %d pieces" % (2 * crates + 1))
    tried = []
    for i in range(int(tries)):
        cells = rnd.sample(floor, 2 * crates + 1)
        grid = [list(r) for r in rows]
        for n, (x, y) in enumerate(cells):
            grid[y][x] = "$" if n < crates else "." if n < 2 * crates else "@"
        tried.append("; p%d\n%s\n" % (i, "\n".join("".join(r) for r in grid)))
    with tempfile.TemporaryDirectory() as folder:
        batch, solutions = os.path.join(folder, "tries.txt"), os.path.join(folder, "tries.sol")
        with open(batch, "w", encoding="utf-8") as f:
            f.write("\n".join(tried))
        subprocess.run([SOLVE, batch, "--budget", "64", "--solutions", solutions], capture_output=True)
        # The checker pairs levels and solutions in order, so only the solved go on.
        solved = {int(l.split("\t")[0][1:]) for l in open(solutions, encoding="utf-8") if l.startswith("p")}
        kept = [t for i, t in enumerate(tried) if i in solved]
        with open(batch, "w", encoding="utf-8") as f:
            f.write("\n".join(kept))
        report = subprocess.run([CHECK, batch, solutions], capture_output=True, text=True).stdout
    flawed = problems(report, SET_ONLY)
    found = [(m["pushes"], m["excess"], m["effort"], index) for index, m in tableRows(report).items()
             if index not in flawed and m["pushes"] <= int(most)]
    for pushes, excess, effort, index in sorted(found, reverse=True)[:show]:
        print("pushes %d excess %d effort %d" % (pushes, excess, effort))
        print(kept[index - 1])


if __name__ == "__main__":
    main()
