"""The level tools as the scripts beside this file find them, and what the
checker prints read back: its table row and its problems for each level."""
import os
import re

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SOLVE = os.environ.get("BOXTOLO_SOLVE", os.path.join(ROOT, "build", "tools", "boxtolo_solve"))
CHECK = os.environ.get("BOXTOLO_CHECK", os.path.join(ROOT, "build", "tools", "boxtolo_check"))


def rows(report):
    """The table's row of each level by its number: crates, pushes, excess, effort."""
    out = {}
    for line in report.split("\n"):
        v = line.split()
        # number, crates, pushes, moves, bound, excess, crate changes,
        # floor per crate, effort, score, used %, name
        if len(v) >= 12 and v[0].isdigit() and v[10].endswith("%"):
            out[int(v[0])] = dict(crates=int(v[1]), pushes=int(v[2]), excess=int(v[5]), effort=int(v[8]))
    return out


def problems(report, ignore):
    """Each level's problems by its number, leaving out those that match ignore."""
    out = {}
    for line in report.split("\n"):
        if line.startswith("PROBLEM "):
            head, text = line.split(":", 1)
            text = text.strip()
            if not re.search(ignore, text):
                out.setdefault(int(head.split()[1]), []).append(text)
    return out
