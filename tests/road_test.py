"""A typical game in a real X window, from the first key to the closed window.

Pushes the crate to "Játék kezdése", clears the offered palyak.txt and types
it again on the on-screen keyboard by clicks, solves the first level, saves, goes on to the next level,
pushes a crate of the third where it is lost, rests the mouse on the hint button and leaves; opens the editor on a new file, makes a level with the mouse and
saves it; then closes the window as a window manager does. Every step waits
for the window to change. The files on disk are compared byte for byte.

usage: road_test.py BINARY BUILD_DIR LEVELS ARTEFACT_DIR
"""
import os
import sys

from xgame import XGame, expect, green_at

# Cells of the on-screen keyboard: rows 6 to 9 from column 4.
KEY_ROWS = ["0123456789öü", "qwertzuiopőú", "asdfghjkléáű", "íyxcvbnm,.-ó"]
OK_BUTTON = (17, 1)
BACKSPACE_KEY = (16, 6)


def key_cell(char):
    for row, keys in enumerate(KEY_ROWS):
        if char in keys:
            return 4 + keys.index(char), 6 + row
    raise ValueError(char)


def file_form(text):
    """The bytes the game writes for the levels of TEXT: rows at full width."""
    levels, current = [], None
    for line in text.split("\n"):
        if line.startswith("; "):
            current = {"name": line[2:], "rows": []}
            levels.append(current)
        elif line == "":
            current = None
        elif current is not None:
            current["rows"].append(line)
    out = []
    for level in levels:
        width = max(len(r) for r in level["rows"])
        out.append("; " + level["name"] + "\n")
        out.extend(r.ljust(width) + "\n" for r in level["rows"])
        out.append("\n")
    return "".join(out)


def main():
    binary, build_dir, levels, artefacts = sys.argv[1:5]
    with open(levels, encoding="utf-8") as f:
        original = f.read()
    # The bundled levels' least pushes lie beside them, as in the build folder.
    solutions = os.path.splitext(levels)[0] + ".solutions"
    with XGame(binary, build_dir, files={"palyak.txt": levels, "palyak.solutions": solutions},
               artefacts=artefacts) as game:
        game.screenshot("menu")
        # 1. The crate onto the target in front of "Játék kezdése".
        game.changed(lambda: game.key("Down", "Down", "Down", "Right", "Up"), "a push in the room")
        game.changed(lambda: game.key("Up"), "the file-name prompt")
        # The level files to choose from, and back to typing.
        game.changed(lambda: game.key("Tab"), "the list of level files")
        game.screenshot("files")
        game.changed(lambda: game.key("Escape"), "the prompt again")
        # 2. palyak.txt by clicks alone: the prompt offers it already, so it
        # is cleared with the on-screen backspace key and typed again.
        for _ in range(len("palyak.txt")):
            game.changed(lambda: game.click(*BACKSPACE_KEY), "a character less")
        for char in "palyak.txt":
            game.changed(lambda: game.click(*key_cell(char)), "the letter " + char)
        game.screenshot("input")
        game.changed(lambda: game.click(*OK_BUTTON), "the play screen")
        game.screenshot("play")
        expect(not green_at(game, 3, 3), "an unsolved level is on grey")
        # 3. The first level solved with keys: the alert, then green.
        game.changed(lambda: game.key("Right"), "the win alert")
        game.screenshot("alert")
        game.changed(lambda: game.key("Return"), "the solved level")
        expect(green_at(game, 3, 3), "a solved level is on green")
        game.screenshot("solved")
        # 4. Saved under the same name.
        game.changed(lambda: game.key("ctrl+s"), "the save prompt")
        game.changed(lambda: game.key("Return"), "the save alert")
        game.screenshot("saved")
        game.changed(lambda: game.key("Return"), "the level again")
        # 5. The next level by its arrow cell, then away to the menu.
        game.changed(lambda: game.click(19, 11), "the second level")
        expect(not green_at(game, 3, 3), "the second level is unsolved")
        # The level chooser by its button: the first level solved, on green.
        game.changed(lambda: game.click(0, 10), "the level chooser")
        expect(green_at(game, 2, 1), "the solved first level on green")
        game.screenshot("chooser")
        game.changed(lambda: game.key("Escape"), "the second level again")
        # The third level: the crate pushed where it can never reach the
        # target; the row says so, and the crate is crossed out.
        game.changed(lambda: game.key("Prior"), "the third level")
        game.move_to(19, 5)  # off the buttons, whose texts would take the row
        game.changed(lambda: game.key("Right", "Right", "Down", "Left"), "a hopeless push")
        game.screenshot("hopeless")
        # The hint button explains itself while the mouse rests on it.
        game.changed(lambda: game.move_to(0, 5), "the hint button's text")
        game.screenshot("hover")
        game.changed(lambda: game.key("Escape"), "the leave question")
        game.changed(lambda: game.key("Return"), "the menu")
        # 6. The editor on a new file.
        game.changed(lambda: game.key("Right", "Down", "Down"), "the editor's file prompt")
        game.changed(lambda: game.key(*(["BackSpace"] * 10)), "an empty name")
        game.changed(lambda: game.key("s", "a", "j", "a", "t"), "the new name")
        game.changed(lambda: game.key("Return"), "the empty editor")
        game.changed(lambda: game.key("End"), "the size prompt")
        game.changed(lambda: game.key("5", "x", "3"), "the size")
        game.changed(lambda: game.key("Return"), "the new level")
        # 5 x 3 lies from column 8, row 4, walls round it; palette in column 0
        # from row 2: the player, a crate and a target inside.
        for palette_row, cell in ((3, (9, 5)), (5, (10, 5)), (7, (11, 5))):
            game.changed(lambda: game.click(0, palette_row), "a palette choice")
            game.changed(lambda: game.click(*cell), "a placed cell")
        game.screenshot("editor")
        # Leaving with unsaved changes asks first; "Mégse" stays.
        game.changed(lambda: game.key("Escape"), "the exit question")
        game.screenshot("question")
        game.changed(lambda: game.key("Escape"), "the editor after Mégse")
        game.changed(lambda: game.click(0, 1), "the editor's save prompt")
        game.changed(lambda: game.key("Return"), "the editor's save alert")
        game.changed(lambda: game.key("Return"), "the editor again")
        # 7. Closed as a window manager closes it.
        game.close_window()
        status = game.wait_exit(timeout=5)
        expect(status == 0, "exit status %d" % status)
        with open(game.path("palyak.txt"), encoding="utf-8") as f:
            saved = f.read()
        expected = file_form(original).replace("; Első lecke\n#####\n#@$.#\n", "; Első lecke\n#####\n# @*#\n", 1)
        expect(saved == expected, "palyak.txt holds the solved first level and every other level unchanged")
        with open(game.path("sajat"), encoding="utf-8") as f:
            made = f.read()
        expect(made == "; Névtelen szint\n#####\n#@$.#\n#####\n\n", "sajat holds the level made: %r" % made)
        extra = sorted(set(os.listdir(game.dir)) - {"tiles.png", "font.ttf", "palyak.txt", "palyak.solutions", "sajat"})
        expect(not extra, "no other files: %s" % extra)
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
