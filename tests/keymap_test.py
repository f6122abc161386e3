"""Typing in the real window reads key positions, whatever the X keymap.

From the menu room the crate goes onto the editor's target; in the file-name
prompt the keys in the positions of Y, Z and the key left of 1 are pressed,
which the game's Hungarian layout types as "z", "y" and "0". The editor then
saves under that name.

usage: keymap_test.py BINARY BUILD_DIR
"""
import os
import sys

from xgame import XGame

# The keysym each X keymap gives the keys at those three positions.
POSITION_KEYS = {
    "us": ["y", "z", "grave"],
    "hu": ["z", "y", "0"],
}


def run(binary, build_dir, keymap):
    with XGame(binary, build_dir, keymap=keymap) as game:
        game.changed(lambda: game.key("Right", "Down", "Down"), "the file-name prompt")
        game.changed(lambda: game.key(*POSITION_KEYS[keymap]), "the typed name")
        game.changed(lambda: game.key("Return"), "the editor")
        game.changed(lambda: game.key("ctrl+s"), "the save prompt")
        game.changed(lambda: game.key("Return"), "the save alert")
        game.wait_file("zy0")
        names = sorted(n for n in os.listdir(game.dir) if n not in ("tiles.png", "font.ttf"))
        if names != ["zy0"]:
            raise AssertionError("%s: expected only zy0, found %s" % (keymap, names))
        game.close_window()
        status = game.wait_exit()
        if status != 0:
            raise AssertionError("%s: exit status %d" % (keymap, status))
    print("%s keymap: saved zy0" % keymap)


def main():
    binary, build_dir = sys.argv[1], sys.argv[2]
    for keymap in ("us", "hu"):
        run(binary, build_dir, keymap)
    print("2 passed, 0 failed")


if __name__ == "__main__":
    main()
