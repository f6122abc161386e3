#!/usr/bin/env python3
"""Shapes a level drawn by hand: cells marked M (stores: crates and the player
start there) and N (rooms: targets) change one or two at a time; every other
cell of the drawing stays. Each change is solved and checked with the level
tools, and kept when the level is no worse: fewer rule problems first, then
more excess, pushes and crates. It proposes; a person picks and names.

usage: tools/shape.py DRAWING SEED STEPS CRATES BUDGET NAME [START]
  DRAWING  the fixed walls and floor, with M and N cells
  BUDGET   megabytes the solver may hold per try
  START    a level of that drawing to start from (else each crate is put
           one push from its target, so that the start is solvable)
writes the best level so far (from the start on) to DRAWING.best and its
progress to stdout. BOXTOLO_SOLVE and BOXTOLO_CHECK name the tools when they
are not in build/tools. BOXTOLO_SHAPE_EFFORT (default 0) adds that many points
for each doubling of the solver's search, for levels meant for late chapters,
where the order is by search effort rather than by length. BOXTOLO_SHAPE_KEEP
names pieces ("$" crates, "@" the player) that stay where the START puts them,
for a level whose idea is where the crates stand.
"""
import math
import os
import random
import re
import subprocess
import sys
import tempfile

from levelreport import CHECK, SOLVE, problems as problemsOf, rows as tableRows

EFFORT = float(os.environ.get("BOXTOLO_SHAPE_EFFORT", "0"))
KEEP = os.environ.get("BOXTOLO_SHAPE_KEEP", "")
SIDES = ((1, 0), (-1, 0), (0, 1), (0, -1))


def main():
    drawing, seed, steps, crates, budget, name = sys.argv[1:7]
    rnd = random.Random(int(seed))
    rows = [l.rstrip("\n") for l in open(drawing, encoding="utf-8") if not l.startswith(";")]
    width = max(len(r) for r in rows)
    rows = [r.ljust(width, "#") for r in rows]
    store = [(x, y) for y, r in enumerate(rows) for x, c in enumerate(r) if c == "M"]
    room = [(x, y) for y, r in enumerate(rows) for x, c in enumerate(r) if c == "N"]
    cells = store + room
    scratch = os.path.join(tempfile.gettempdir(), "shape_%d_%s.txt" % (os.getpid(), seed))

    def floor(s, x, y):
        if (x, y) in s:
            return s[(x, y)] != "#"
        return 0 <= y < len(rows) and 0 <= x < width and rows[y][x] != "#"

    def text(s):
        grid = [list(r.replace("M", " ").replace("N", " ")) for r in rows]
        for (x, y), c in s.items():
            grid[y][x] = c
        return "; %s\n%s\n" % (name, "\n".join("".join(r) for r in grid))

    def suspects(s):
        """Floor in an open 3 x 3 block or in a dead end: walls to try first."""
        out = set()
        for (x, y) in s:
            if all(floor(s, x + i, y + j) for i in range(3) for j in range(3)):
                out |= {(x + i, y + j) for i in range(3) for j in range(3) if s.get((x + i, y + j)) == " "}
            if s[(x, y)] == " " and sum(not floor(s, x + dx, y + dy) for dx, dy in SIDES) >= 3:
                out.add((x, y))
        return list(out)

    def measure(s):
        with open(scratch, "w", encoding="utf-8") as f:
            f.write(text(s))
        solved = subprocess.run([SOLVE, scratch, "--budget", budget, "--solutions", scratch + ".sol"],
                                capture_output=True, text=True).stdout
        if not re.search(r"\d+ pushes", solved):
            return None
        report = subprocess.run([CHECK, scratch, scratch + ".sol"], capture_output=True, text=True).stdout
        m = tableRows(report).get(1)
        if m is None:
            return None
        problems = problemsOf(report, "easier|harder").get(1, [])
        m["problems"] = problems
        # A slope towards a clean level: each cell short of 80 % used, each suspect.
        value = min(m["excess"], 20) * 10 + m["pushes"] / 4 + 15 * m["crates"] - 1000 * len(problems)
        value += EFFORT * math.log2(1 + m["effort"])
        for p in problems:
            used = re.search(r"\((\d+) of (\d+)\)", p)
            if used:
                value -= 10 * max(0, -(-8 * int(used.group(2)) // 10) - int(used.group(1)))
        if problems:
            value -= 20 * len(suspects(s))
        m["value"] = value
        return m

    def start():
        for _ in range(5000):
            s = {c: " " for c in cells}
            order = list(s)
            rnd.shuffle(order)
            for (x, y) in order:
                if all(floor(s, x + i, y + j) for i in (-1, 0, 1) for j in (-1, 0, 1)):
                    s[(x, y)] = "#"
            free = [c for c in cells if s[c] == " "]
            rnd.shuffle(free)
            placed = 0
            for (x, y) in free:
                dx, dy = rnd.choice(SIDES)
                if placed < int(crates) and s[(x, y)] == " " and s.get((x + dx, y + dy)) == " " \
                        and s.get((x - dx, y - dy)) == " ":
                    s[(x, y)], s[(x + dx, y + dy)] = "$", "."
                    placed += 1
            starts = [c for c in store if s[c] == " "]
            if placed == int(crates) and starts:
                s[rnd.choice(starts)] = "@"
                m = measure(s)
                if m:
                    return s, m
        sys.exit("no solvable start found")

    def change(s):
        s = dict(s)
        if rnd.random() < 0.35 and suspects(s):
            s[rnd.choice(suspects(s))] = "#"
            return s
        kind = rnd.random()
        free = [c for c in cells if s[c] == " "]
        if kind < 0.4:
            c = rnd.choice(cells)
            s[c] = {"#": " ", " ": "#"}.get(s[c], s[c])
        elif free:
            what = "$" if kind < 0.7 else "." if kind < 0.9 else "@"
            if what in KEEP:
                return s
            a = rnd.choice([c for c in s if s[c] == what])
            b = rnd.choice([c for c in (store if what == "@" else cells) if s[c] == " "] or [a])
            s[a], s[b] = " ", what
        return s

    if len(sys.argv) > 7:
        given = [l.rstrip("\n") for l in open(sys.argv[7], encoding="utf-8") if not l.startswith(";")]
        state = {(x, y): given[y][x] for (x, y) in cells}
        best = measure(state)
    else:
        state, best = start()
    if best is None:
        sys.exit("the start given does not solve")

    def keep():
        with open(drawing + ".best", "w", encoding="utf-8") as f:
            f.write(text(state))

    keep()
    for step in range(int(steps)):
        tried = change(state)
        if rnd.random() < 0.3:
            tried = change(tried)
        if tried == state:
            continue  # a kept piece or a full room left nothing to try: no solve, no step
        m = measure(tried)
        if m and m["value"] >= best["value"]:
            state, best = tried, m
            print("step %d: %d crates, %d pushes, excess %d, effort %d %s" %
                  (step, m["crates"], m["pushes"], m["excess"], m["effort"], m["problems"]), flush=True)
            keep()
    for leftover in (scratch, scratch + ".sol"):
        if os.path.exists(leftover):
            os.remove(leftover)


if __name__ == "__main__":
    main()
