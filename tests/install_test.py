"""The installed game, as a desktop menu starts it: installed into a
temporary prefix, started in a home folder without its pictures, font or
levels and with an empty XDG_DATA_HOME. Its window must appear, the bundled
palyak.txt must be copied into its data folder, and at the first file prompt
Enter alone must play the first level. A second start keeps what was saved,
also when HOME ends in a slash; started in any other folder, the first prompt
offers the data folder's copy.

usage: install_test.py BUILD_DIR
"""
import os
import shutil
import subprocess
import sys
import tempfile

from xgame import XGame, expect, green_at


def main():
    build_dir = sys.argv[1]
    scratch = tempfile.mkdtemp(prefix="boxtolo-install-")
    try:
        prefix = os.path.join(scratch, "prefix")
        data = os.path.join(scratch, "data")
        os.makedirs(data)
        subprocess.run(["cmake", "--install", build_dir, "--prefix", prefix], check=True,
                       stdout=subprocess.DEVNULL)
        binary = os.path.join(prefix, "bin", "boxtolo")
        bundled = os.path.join(prefix, "share", "games", "boxtolo", "palyak.txt")
        copied = os.path.join(data, "boxtolo", "palyak.txt")
        for name in ("applications/hu.boxtolo.Boxtolo.desktop", "metainfo/hu.boxtolo.Boxtolo.metainfo.xml",
                     "icons/hicolor/scalable/apps/hu.boxtolo.Boxtolo.svg",
                     "icons/hicolor/48x48/apps/hu.boxtolo.Boxtolo.png", "games/boxtolo/tiles.png",
                     "games/boxtolo/font.ttf"):
            expect(os.path.exists(os.path.join(prefix, "share", name)), "installed: " + name)
        with XGame(binary, build_dir, assets=(), home=True, env={"XDG_DATA_HOME": data}) as game:
            expect(os.path.exists(copied), "palyak.txt copied into the data folder")
            with open(copied, "rb") as a, open(bundled, "rb") as b:
                expect(a.read() == b.read(), "the bundled levels, unchanged")
            # The crate onto "Játék kezdése"; the prompt offers palyak.txt.
            game.changed(lambda: game.key("Down", "Down", "Down", "Right", "Up"), "a push in the room")
            game.changed(lambda: game.key("Up"), "the file-name prompt")
            game.changed(lambda: game.key("Return"), "the first level")
            # The first level is one push: the win, then the level on green.
            game.changed(lambda: game.key("Right"), "the win alert")
            game.changed(lambda: game.key("Return"), "the solved level")
            expect(green_at(game, 3, 3), "the first level solved")
            game.changed(lambda: game.key("ctrl+s"), "the save prompt")
            game.changed(lambda: game.key("Return"), "the save alert")
            game.close_window()
            expect(game.wait_exit() == 0, "a clean end")
            with open(copied, "rb") as a, open(bundled, "rb") as b:
                saved = a.read()
                expect(saved != b.read(), "the progress is saved in the data folder")
        # Started again, with HOME named with a slash at its end, the game
        # keeps the player's file and plays and saves it in the data folder.
        with XGame(binary, build_dir, assets=(), home=True, home_slash=True, env={"XDG_DATA_HOME": data}) as game:
            with open(copied, "rb") as a:
                expect(a.read() == saved, "the saved levels are not overwritten")
            game.changed(lambda: game.key("Down", "Down", "Down", "Right", "Up"), "a push in the room")
            game.changed(lambda: game.key("Up"), "the file-name prompt")
            game.changed(lambda: game.key("Return"), "the first level")
            expect(green_at(game, 3, 3), "the level saved solved")
            game.changed(lambda: game.key("Prior"), "the second level")
            game.changed(lambda: game.key("Right"), "a move")
            game.changed(lambda: game.key("ctrl+s"), "the save prompt")
            game.changed(lambda: game.key("Return"), "the save alert")
            game.close_window()
            expect(game.wait_exit() == 0, "a clean end")
            expect(not os.path.exists(game.path("palyak.txt")), "nothing saved into the home folder")
            with open(copied, "rb") as a:
                expect(a.read() != saved, "the second level's move saved into the data folder's copy")
        # Started in a folder of the player's without palyak.txt: the first
        # prompt offers the data folder's copy, which opens on the second
        # level, where the player stopped; its first level solved and all.
        with XGame(binary, build_dir, assets=(), env={"XDG_DATA_HOME": data}) as game:
            game.changed(lambda: game.key("Down", "Down", "Down", "Right", "Up"), "a push in the room")
            game.changed(lambda: game.key("Up"), "the file-name prompt")
            game.changed(lambda: game.key("Return"), "the second level")
            expect(not green_at(game, 3, 3), "where the player stopped")
            game.changed(lambda: game.key("Next"), "the first level")
            expect(green_at(game, 3, 3), "the data folder's copy, its first level solved")
            game.close_window()
            expect(game.wait_exit() == 0, "a clean end")
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
