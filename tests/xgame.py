"""The built game in a real X window under Xvfb, driven like a player would.

Starts its own Xvfb on a free display and stops it on every way out; presses
keys and clicks with xdotool, reads the window's pixels with python3-xlib.
"""
import hashlib
import os
import shutil
import struct
import subprocess
import tempfile
import time
import zlib

from Xlib import X, display as xdisplay, protocol

CELL = 64
WIDTH, HEIGHT = 20 * CELL, 12 * CELL


class Failure(Exception):
    pass


def expect(condition, message):
    if not condition:
        raise AssertionError(message)


def green_at(game, column, row):
    """Whether a cell's corner shows green floor: a solved level's background."""
    r, g, b = game.pixel(column * 64 + 3, row * 64 + 3)
    return g > r + 20 and g > b + 20


def write_png(path, width, height, rgb_rows):
    """Writes 8-bit RGB rows (bytes) as a PNG file."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    raw = b"".join(b"\x00" + row for row in rgb_rows)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        out.write(chunk(b"IDAT", zlib.compress(raw, 6)))
        out.write(chunk(b"IEND", b""))


class XGame:
    """Use as a context manager: the game and Xvfb end with the block."""

    def __init__(self, binary, build_dir, files=None, keymap=None, artefacts=None,
                 assets=("tiles.png", "font.ttf"), game_window=True, screen="1280x1024",
                 window_manager=False, env=None, home=False, home_slash=False):
        self.binary = binary
        self.assets = assets
        self.screen = screen
        # openbox, for what only a window manager does: full screen.
        self.window_manager = window_manager
        self.extra_env = env or {}
        # The game started in a home folder of its own, as a desktop menu does;
        # with home_slash, named with a slash at its end.
        self.home = home
        self.home_slash = home_slash
        self.wm = None
        # False when the window expected is not the game's own 1280 x 768 one.
        self.game_window = game_window
        self.build_dir = build_dir
        self.files = files or {}
        self.keymap = keymap
        self.artefacts = artefacts
        self.xvfb = None
        self.game = None
        self.display = None
        self.window_id = None
        self.dir = None
        self.private = None
        self.shots = 0

    def __enter__(self):
        try:
            self._start()
        except BaseException:
            self._stop()
            raise
        return self

    def __exit__(self, *exc):
        self._stop()
        return False

    def _start(self):
        self.dir = tempfile.mkdtemp(prefix="boxtolo-x-")
        for name in self.assets:
            shutil.copy(os.path.join(self.build_dir, name), self.dir)
        for name, source in self.files.items():
            shutil.copy(source, os.path.join(self.dir, name))
        # Xvfb picks a free display itself and tells us its number.
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", self.screen + "x24", "-nolisten", "tcp",
             "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        deadline = time.time() + 20
        while not number.endswith(b"\n") and time.time() < deadline:
            piece = os.read(read_end, 16)
            if not piece:
                break
            number += piece
        os.close(read_end)
        if not number.strip():
            raise Failure("Xvfb did not start")
        self.env = dict(os.environ, DISPLAY=":" + number.decode().strip(), SDL_AUDIODRIVER="dummy")
        self.env.pop("SDL_VIDEODRIVER", None)
        # The player's records go into a home and a data folder of the test's
        # own, never into the real ones.
        self.private = tempfile.mkdtemp(prefix="boxtolo-home-")
        self.env["HOME"] = (self.dir + ("/" if self.home_slash else "")) if self.home else self.private
        self.env["XDG_DATA_HOME"] = os.path.join(self.private, "data")
        self.env.update(self.extra_env)
        if self.keymap:
            subprocess.run(["setxkbmap", self.keymap], env=self.env, check=True)
        self.display = xdisplay.Display(self.env["DISPLAY"])
        if self.window_manager:
            self.wm = subprocess.Popen(["openbox"], env=self.env, stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL)
            time.sleep(0.5)
        self.started = time.time()
        self.game = subprocess.Popen([self.binary], cwd=self.dir, env=self.env,
                                     stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        if not self.game_window:
            return
        found = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name", "^Boxtolo$"],
                               env=self.env, capture_output=True, text=True, timeout=20)
        ids = found.stdout.split()
        if not ids:
            raise Failure("the game's window did not appear")
        self.window_id = int(ids[0])
        self.window = self.display.create_resource_object("window", self.window_id)
        subprocess.run(["xdotool", "windowfocus", "--sync", str(self.window_id)], env=self.env, timeout=10)
        self.wait_for(lambda: self.pixels_hash() != self._blank_hash(), "the first frame")

    def _stop(self):
        if self.game is not None and self.game.poll() is None:
            self.game.kill()
            self.game.wait()
        if self.wm is not None:
            self.wm.kill()
            self.wm.wait()
        if self.display is not None:
            try:
                self.display.close()
            except Exception:
                pass
        if self.xvfb is not None:
            self.xvfb.terminate()
            try:
                self.xvfb.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.xvfb.kill()
                self.xvfb.wait()
        for folder in (self.dir, self.private):
            if folder is not None:
                shutil.rmtree(folder, ignore_errors=True)

    # --- looking -----------------------------------------------------------

    def size(self):
        geometry = self.window.get_geometry()
        return geometry.width, geometry.height

    def pixels(self):
        width, height = self.size()
        image = self.window.get_image(0, 0, width, height, X.ZPixmap, 0xFFFFFFFF)
        return image.data

    def pixels_hash(self):
        return hashlib.sha1(self.pixels()).hexdigest()

    def _blank_hash(self):
        width, height = self.size()
        return hashlib.sha1(bytes(width * height * 4)).hexdigest()

    def pixel(self, x, y, data=None):
        data = data if data is not None else self.pixels()
        offset = (y * self.size()[0] + x) * 4
        b, g, r = data[offset], data[offset + 1], data[offset + 2]
        return r, g, b

    def screenshot(self, name):
        """Saves the window as NAME.png among the artefacts, if kept."""
        if not self.artefacts:
            return None
        os.makedirs(self.artefacts, exist_ok=True)
        width, height = self.size()
        data = self.pixels()
        rows = []
        for y in range(height):
            row = bytearray(width * 3)
            line = data[y * width * 4:(y + 1) * width * 4]
            row[0::3] = line[2::4]
            row[1::3] = line[1::4]
            row[2::3] = line[0::4]
            rows.append(bytes(row))
        path = os.path.join(self.artefacts, name + ".png")
        write_png(path, width, height, rows)
        return path

    def wait_for(self, condition, what, timeout=15):
        deadline = time.time() + timeout
        while time.time() < deadline:
            if self.game is not None and self.game.poll() is not None and what != "exit":
                raise Failure("the game ended while waiting for " + what)
            if condition():
                return
            time.sleep(0.02)
        raise Failure("timed out waiting for " + what)

    def changed(self, action, what):
        """Runs ACTION and waits until the window shows something new."""
        before = self.pixels_hash()
        action()
        self.wait_for(lambda: self.pixels_hash() != before, what)

    # --- acting ------------------------------------------------------------

    def key(self, *keys):
        subprocess.run(["xdotool", "key", "--delay", "30"] + list(keys), env=self.env, check=True, timeout=30)

    def click(self, column, row, button=1):
        self.click_pixel(column * CELL + CELL // 2, row * CELL + CELL // 2, button)

    def move_to(self, column, row):
        """Moves the mouse to the middle of a cell, no button pressed."""
        width, height = self.size()
        x = (column * CELL + CELL // 2) * width // WIDTH
        y = (row * CELL + CELL // 2) * height // HEIGHT
        subprocess.run(["xdotool", "mousemove", "--window", str(self.window_id), str(x), str(y)], env=self.env,
                       check=True, timeout=10)

    def click_pixel(self, x, y, button=1):
        """A click at window pixel (x, y), whatever the window's size."""
        subprocess.run(["xdotool", "mousemove", "--window", str(self.window_id), str(x), str(y),
                        "click", str(button)], env=self.env, check=True, timeout=30)

    def resize(self, width, height):
        subprocess.run(["xdotool", "windowsize", str(self.window_id), str(width), str(height)],
                       env=self.env, check=True, timeout=30)
        self.wait_for(lambda: self.size() == (width, height), "the size %dx%d" % (width, height))

    def close_window(self):
        """Asks the window to close as a window manager does."""
        protocols = self.display.intern_atom("WM_PROTOCOLS")
        delete = self.display.intern_atom("WM_DELETE_WINDOW")
        event = protocol.event.ClientMessage(window=self.window, client_type=protocols,
                                             data=(32, [delete, X.CurrentTime, 0, 0, 0]))
        self.window.send_event(event, event_mask=X.NoEventMask)
        self.display.flush()

    def wait_exit(self, timeout=10):
        try:
            status = self.game.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise Failure("the game did not end")
        self.output = self.game.stdout.read().decode(errors="replace")
        if status != 0:
            print(self.output)
        return status

    def path(self, name):
        return os.path.join(self.dir, name)

    def wait_file(self, name, timeout=15):
        self.wait_for(lambda: os.path.exists(self.path(name)), "the file " + name, timeout)
        return self.path(name)
