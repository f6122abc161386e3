#!/usr/bin/env python3
"""Proposes new levels for the game's level files.

Carves a room out of random rectangles, puts crates on targets and then walks
the player backwards through random pulls, so every proposal can be solved by
pushing the crates back. Prints the proposals in the level file format; pick
and name the good ones by hand and check them with boxtolo_level_report.

usage: generate_levels.py SEED COUNT WIDTH HEIGHT CRATES PULLS
"""
import random
import sys


def carve(rng, width, height):
    floor = set()
    for _ in range(rng.randint(3, 6)):
        w = rng.randint(2, max(2, width - 3))
        h = rng.randint(2, max(2, height - 3))
        x = rng.randint(1, width - 1 - w)
        y = rng.randint(1, height - 1 - h)
        for i in range(x, x + w):
            for j in range(y, y + h):
                floor.add((i, j))
    # pillars make it less open; keep the room in one piece
    for _ in range(len(floor) // 6):
        cell = rng.choice(sorted(floor))
        floor.discard(cell)
        if not connected(floor):
            floor.add(cell)
    return floor


def connected(floor):
    return bool(floor) and len(reachable(floor, set(), next(iter(floor)))) == len(floor)


def reachable(floor, crates, start):
    seen = {start}
    todo = [start]
    while todo:
        x, y = todo.pop()
        for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
            n = (x + dx, y + dy)
            if n in floor and n not in crates and n not in seen:
                seen.add(n)
                todo.append(n)
    return seen


def propose(rng, width, height, crate_count, pulls):
    floor = carve(rng, width, height)
    if not connected(floor) or len(floor) < crate_count * 4:
        return None
    cells = sorted(floor)
    targets = set(rng.sample(cells, crate_count))
    crates = set(targets)
    free = [c for c in cells if c not in crates]
    player = rng.choice(free)
    for _ in range(pulls):
        area = reachable(floor, crates, player)
        options = []
        for (px, py) in area:
            for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                crate = (px + dx, py + dy)
                back = (px - dx, py - dy)
                if crate in crates and back in floor and back not in crates:
                    options.append(((px, py), crate, back))
        if not options:
            break
        stand, crate, back = rng.choice(options)
        # keep pulling the same crate the same way for a while: long pulls
        # make the crates travel far from their targets
        dx, dy = stand[0] - crate[0], stand[1] - crate[1]
        for _ in range(rng.randint(1, 4)):
            crates.discard(crate)
            crates.add(stand)
            player = back
            crate, stand, back = stand, back, (back[0] + dx, back[1] + dy)
            if back not in floor or back in crates or stand in crates:
                break
    if crates == targets:
        return None
    return floor, targets, crates, player


def render(width, height, floor, targets, crates, player):
    rows = []
    for y in range(height):
        row = ""
        for x in range(width):
            c = (x, y)
            if c not in floor:
                near = any((x + dx, y + dy) in floor for dx in (-1, 0, 1) for dy in (-1, 0, 1))
                row += "#" if near else " "
            elif c == player:
                row += "+" if c in targets else "@"
            elif c in crates:
                row += "*" if c in targets else "$"
            elif c in targets:
                row += "."
            else:
                row += " "
        rows.append(row.rstrip())
    while rows and not rows[0].strip():
        rows.pop(0)
    while rows and not rows[-1].strip():
        rows.pop()
    indent = min(len(r) - len(r.lstrip()) for r in rows if r.strip())
    return [r[indent:] for r in rows]


def main():
    seed, count, width, height, crate_count, pulls = (int(a) for a in sys.argv[1:7])
    rng = random.Random(seed)
    made = 0
    while made < count:
        level = propose(rng, width, height, crate_count, pulls)
        if level is None:
            continue
        made += 1
        print("; javaslat %d-%d" % (seed, made))
        print("\n".join(render(width, height, *level)))
        print()


if __name__ == "__main__":
    main()
