"""A start-up error in a real X session is also shown in a message box, so a
player who started the game from a desktop menu sees why it did not start.

The game starts without tiles.png, and then with a font.ttf that is no font;
each time a window titled Boxtolo must appear and wait, Return must close it,
and the game must end with the error's line and status.

usage: startup_box_test.py BINARY BUILD_DIR
"""
import os
import subprocess
import sys
import tempfile
import time

from Xlib import X

from xgame import XGame, Failure


def find_box(game):
    """The one mapped top-level window: the game hides its own for the box."""
    deadline = time.time() + 15
    root = game.display.screen().root
    while time.time() < deadline:
        mapped = [w for w in root.query_tree().children if w.get_attributes().map_state == X.IsViewable]
        if len(mapped) == 1 and mapped[0].get_geometry().width < 1280:
            return str(mapped[0].id)
        time.sleep(0.05)
    raise Failure("no message box appeared in place of the game's window")


def run(binary, build_dir, assets, files, line, status):
    with XGame(binary, build_dir, assets=assets, files=files, game_window=False) as game:
        box = find_box(game)
        if game.game.poll() is not None:
            raise AssertionError("%s: the game ended without waiting for the box" % line)
        subprocess.run(["xdotool", "windowfocus", "--sync", box], env=game.env, timeout=10)
        game.key("Return")
        got = game.wait_exit()
        if got != status or game.output != line + "\n":
            raise AssertionError("status %d, output %r; expected %d, %r" % (got, game.output, status, line))
    print("%s: shown in a box" % line)


def main():
    binary, build_dir = sys.argv[1], sys.argv[2]
    run(binary, build_dir, ["font.ttf"], {}, "ERROR: Couldn't load tiles texture", 2)
    with tempfile.TemporaryDirectory() as scratch:
        bad = os.path.join(scratch, "not-a-font")
        with open(bad, "w") as out:
            out.write("not a font")
        run(binary, build_dir, ["tiles.png"], {"font.ttf": bad}, "ERROR: Couldn't open font", 3)
    print("2 passed, 0 failed")


if __name__ == "__main__":
    main()
