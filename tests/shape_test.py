#!/usr/bin/env python3
"""The shaping tool on a small drawing: it keeps the drawn cells, puts crates,
targets and the player only where the drawing lets it (and pieces named to
stay where the start put them), leaves a level the solver solves, and nothing
behind in the temporary folder, which is the test's own. The placing tool beside it, on the same drawing's walls: each
proposal keeps them, holds the pieces asked for and solves in the pushes it
states, within the limit.
usage: shape_test.py SHAPE SOLVE CHECK"""
import glob
import os
import re
import subprocess
import sys
import tempfile

shape, solve, check = sys.argv[1:4]
DRAWING = ["##########",
           "#MMMM  NN#",
           "#MMMM# NN#",
           "##########"]
SEED = "918273"
failures = []
with tempfile.TemporaryDirectory() as folder:
    drawing = os.path.join(folder, "rajz.txt")
    with open(drawing, "w", encoding="utf-8") as f:
        f.write("\n".join(DRAWING) + "\n")
    scratch = os.path.join(folder, "tmp")
    os.mkdir(scratch)
    env = dict(os.environ, BOXTOLO_SOLVE=solve, BOXTOLO_CHECK=check, TMPDIR=scratch)
    best = drawing + ".best"
    # With no step taken the start itself is the level written.
    for steps in ("0", "25"):
        if os.path.exists(best):
            os.remove(best)
        run = subprocess.run([sys.executable, shape, drawing, SEED, steps, "2", "64", "Próba"],
                             capture_output=True, text=True, env=env, timeout=300)
        if run.returncode != 0:
            failures.append("%s steps: exit %d: %s" % (steps, run.returncode, run.stderr.strip()))
        if not os.path.exists(best):
            failures.append("%s steps: no level written" % steps)
        else:
            lines = open(best, encoding="utf-8").read().split("\n")
            if lines[0] != "; Próba":
                failures.append("name line %r" % lines[0])
            rows = lines[1:1 + len(DRAWING)]
            for y, (drawn, made) in enumerate(zip(DRAWING, rows)):
                for x, c in enumerate(drawn):
                    got = made[x] if x < len(made) else "?"
                    if c not in "MN" and got != c:
                        failures.append("drawn cell (%d, %d) became %r" % (x, y, got))
                    if got in "$@" and c != "M" and not (got == "$" and c == "N"):
                        failures.append("%r on (%d, %d), outside the stores" % (got, x, y))
            text = "\n".join(rows)
            if text.count("$") != 2 or text.count(".") != 2 or text.count("@") != 1:
                failures.append("crates, targets and player: %r" % text)
            solved = subprocess.run([solve, best], capture_output=True, text=True).stdout
            if " pushes" not in solved:
                failures.append("the level does not solve: %s" % solved.strip())
    # Pieces named to stay end the run where the start put them.
    START = ["##########",
             "#@$ $  ..#",
             "#    #   #",
             "##########"]
    start = os.path.join(folder, "kezdes.txt")
    with open(start, "w", encoding="utf-8") as f:
        f.write("\n".join(START) + "\n")
    run = subprocess.run([sys.executable, shape, drawing, SEED, "40", "2", "64", "Próba", start],
                         capture_output=True, text=True, env=dict(env, BOXTOLO_SHAPE_KEEP="$@"), timeout=300)
    kept = open(best, encoding="utf-8").read().split("\n")[1:1 + len(START)] if run.returncode == 0 else []
    pieces = lambda rows: [(x, y, c) for y, r in enumerate(rows) for x, c in enumerate(r) if c in "$@"]
    if not kept or pieces(kept) != pieces(START) or "step" not in run.stdout:
        failures.append("kept pieces moved or no step kept: %r %s" % (kept, run.stderr.strip()))
    # Unsolvable tries are among the random ones; were they not dropped before
    # the check, every proposal after the first would carry a wrong count.
    place = os.path.join(os.path.dirname(shape), "place.py")
    board = os.path.join(folder, "terv.txt")
    with open(board, "w", encoding="utf-8") as f:
        f.write("\n".join(r.replace("M", " ").replace("N", " ") for r in DRAWING) + "\n")
    run = subprocess.run([sys.executable, place, board, "2", "300", "6", SEED, "4"],
                         capture_output=True, text=True, env=env, timeout=300)
    proposals = re.findall(r"pushes (\d+) excess \d+ effort \d+\n(; p\d+\n(?:.*\n){%d})" % len(DRAWING), run.stdout)
    if run.returncode != 0 or not proposals:
        failures.append("placing: exit %d, %d proposals: %s" % (run.returncode, len(proposals), run.stderr.strip()))
    for stated, level in proposals:
        rows = level.split("\n")[1:1 + len(DRAWING)]
        walls = ["".join("#" if c == "#" else " " for c in r) for r in rows]
        if walls != ["".join("#" if c == "#" else " " for c in r) for r in DRAWING]:
            failures.append("placing moved walls: %r" % rows)
        if level.count("$") != 2 or level.count(".") != 2 or level.count("@") != 1 or int(stated) > 6:
            failures.append("placing: pieces or limit: %s pushes %r" % (stated, level))
        with open(board + ".lv", "w", encoding="utf-8") as f:
            f.write(level)
        solved = subprocess.run([solve, board + ".lv"], capture_output=True, text=True).stdout
        if not re.search(r"\b%s pushes" % stated, solved):
            failures.append("placing stated %s pushes: %s" % (stated, solved.strip()))
    left = glob.glob(os.path.join(scratch, "*"))
    if left:
        failures.append("left behind: %s" % left)
for failure in failures:
    print(failure)
sys.exit(1 if failures else 0)
