"""The editor's paste in a real X window. SDL hands over a clipboard text it
cannot read (one of 1 MiB or more, which its owner sends in pieces) as an
empty text; the game must not call that a clipboard without a level.

usage: clipboard_test.py BINARY BUILD_DIR
"""
import os
import sys
import tempfile
import threading
import time

from Xlib import X, Xatom, display as xdisplay
from Xlib.protocol import event

from xgame import XGame, expect


class ClipboardOwner(threading.Thread):
    """Owns the clipboard on a connection of its own. With a text it hands
    it over whole; without one it answers as a large text's owner does, in
    pieces (INCR), which SDL 2.26 does not read."""

    def __init__(self, display_name, text=None):
        super().__init__(daemon=True)
        self.text = text
        self.stopped = False
        self.display = xdisplay.Display(display_name)
        self.window = self.display.screen().root.create_window(0, 0, 1, 1, 0, X.CopyFromParent)
        atom = self.display.intern_atom
        self.clipboard, self.targets = atom("CLIPBOARD"), atom("TARGETS")
        self.utf8, self.incr = atom("UTF8_STRING"), atom("INCR")
        self.window.set_selection_owner(self.clipboard, X.CurrentTime)
        self.display.flush()

    def run(self):
        while not self.stopped:
            while self.display.pending_events():
                request = self.display.next_event()
                if request.type != X.SelectionRequest:
                    continue
                if request.target == self.targets:
                    request.requestor.change_property(request.property, Xatom.ATOM, 32, [self.targets, self.utf8])
                elif self.text is None:
                    request.requestor.change_property(request.property, self.incr, 32, [2 << 20])
                else:
                    request.requestor.change_property(request.property, self.utf8, 8, self.text.encode())
                request.requestor.send_event(event.SelectionNotify(
                    time=request.time, requestor=request.requestor, selection=request.selection,
                    target=request.target, property=request.property))
                self.display.flush()
            time.sleep(0.01)

    def stop(self):
        self.stopped = True
        self.join()
        self.display.close()


def main():
    binary, build_dir = sys.argv[1:3]
    level = "; A\n#####\n#@$.#\n#####\n\n"
    with tempfile.NamedTemporaryFile("w", suffix=".txt", delete=False) as f:
        f.write(level)
    try:
        with XGame(binary, build_dir, files={"ab": f.name}) as game:
            game.changed(lambda: game.key("Right", "Down", "Down"), "the editor's file prompt")
            game.changed(lambda: game.key("a", "b"), "the name")
            game.changed(lambda: game.key("Return"), "the editor")
            editor = game.pixels_hash()
            shown = {}
            for label, text in (("unreadable", None), ("no level", "szia")):
                owner = ClipboardOwner(game.env["DISPLAY"], text)
                owner.start()
                game.changed(lambda: game.key("ctrl+v"), "an alert for the clipboard " + label)
                shown[label] = game.pixels_hash()
                owner.stop()
                game.changed(lambda: game.key("Return"), "the editor again")
                expect(game.pixels_hash() == editor, "nothing pasted")
            expect(shown["unreadable"] != shown["no level"], "an unreadable clipboard has a message of its own")
            game.close_window()
            expect(game.wait_exit() == 0, "a clean end")
    finally:
        os.unlink(f.name)
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
