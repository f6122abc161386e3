"""The window scales: resized to 960 x 576 and to 1920 x 1200 it shows the
same picture as at 1280 x 768, scaled, with bars where its shape differs;
clicks land on the cells they show, and a click on a bar does nothing; F11
switches to full screen and back. On a 1366 x 768 screen the whole window
fits. A window manager runs, as on a desktop.

usage: window_test.py BINARY BUILD_DIR
"""
import sys

from xgame import XGame, expect

FRAME_W, FRAME_H = 1280, 768


def frame_of(game):
    """The window's picture scaled back to 1280 x 768 (nearest pixel), with
    the bars left out: rows of (r, g, b)."""
    width, height = game.size()
    scale = min(width / FRAME_W, height / FRAME_H)
    shown_w, shown_h = round(FRAME_W * scale), round(FRAME_H * scale)
    left, top = (width - shown_w) // 2, (height - shown_h) // 2
    data = game.pixels()
    pixels = []
    for y in range(0, FRAME_H, 2):
        wy = top + min(shown_h - 1, int((y + 0.5) * shown_h / FRAME_H))
        for x in range(0, FRAME_W, 2):
            wx = left + min(shown_w - 1, int((x + 0.5) * shown_w / FRAME_W))
            offset = (wy * width + wx) * 4
            pixels.append((data[offset + 2], data[offset + 1], data[offset]))
    return pixels


def difference(a, b):
    total = sum(abs(p - q) for pa, pb in zip(a, b) for p, q in zip(pa, pb))
    return total / (len(a) * 3)


def at(game, column, row):
    """The window pixel that shows the middle of a cell."""
    width, height = game.size()
    scale = min(width / FRAME_W, height / FRAME_H)
    shown_w, shown_h = round(FRAME_W * scale), round(FRAME_H * scale)
    left, top = (width - shown_w) // 2, (height - shown_h) // 2
    return (left + int((column * 64 + 32) * shown_w / FRAME_W), top + int((row * 64 + 32) * shown_h / FRAME_H))


def main():
    binary, build_dir = sys.argv[1], sys.argv[2]
    with XGame(binary, build_dir, screen="2000x1300", window_manager=True) as game:
        expect(game.size() == (FRAME_W, FRAME_H), "the window opens at the frame's size: %s" % (game.size(),))
        start = frame_of(game)
        exact = game.pixels()

        game.resize(960, 576)
        game.wait_for(lambda: difference(frame_of(game), start) < 12, "the frame scaled down")

        # The down arrow of the room's panel, where the smaller window shows it.
        game.changed(lambda: game.click_pixel(*at(game, 16, 8)), "a step down by a click")
        moved = frame_of(game)
        expect(difference(moved, start) > 0.05, "the click moved the player")

        game.resize(1920, 1200)
        game.wait_for(lambda: difference(frame_of(game), moved) < 12, "the frame scaled up, with bars")
        r, g, b = game.pixel(10, 5)
        expect(abs(r - g) < 30 and abs(g - b) < 30 and 60 < g < 200, "a grey bar above: %s" % ((r, g, b),))
        # On the bar just above the panel's up arrow: nothing happens.
        x, y = at(game, 16, 6)
        before = game.pixels_hash()
        game.click_pixel(x, 10)
        game.click_pixel(x, 1199)
        game.key("Down", "Up")  # the keys still work; the frame is as before
        game.wait_for(lambda: game.pixels_hash() == before, "the frame after clicks on the bars")

        game.changed(lambda: game.key("F11"), "full screen")
        expect(game.size() == (2000, 1300), "full screen fills the screen: %s" % (game.size(),))
        expect(difference(frame_of(game), moved) < 12, "the same frame, full screen")
        game.changed(lambda: game.key("F11"), "a window again")
        expect(game.size() == (1920, 1200), "back to the window's size: %s" % (game.size(),))

        # Back at the frame's own size, pixel for pixel: one step up is the start.
        game.resize(FRAME_W, FRAME_H)
        game.changed(lambda: game.key("Up"), "a step back up")
        game.wait_for(lambda: game.pixels() == exact, "the first frame again, pixel for pixel")
        game.close_window()
        status = game.wait_exit()
        expect(status == 0, "exit status %d" % status)

    # A laptop's 1366 x 768: the window and its title bar fit on the screen,
    # at the frame's shape.
    with XGame(binary, build_dir, screen="1366x768", window_manager=True) as game:
        width, height = game.size()
        root = game.display.screen().root
        frame = game.window
        while frame.query_tree().parent != root:
            frame = frame.query_tree().parent
        outer = frame.get_geometry()
        expect(width < FRAME_W and height < FRAME_H, "a smaller window: %dx%d" % (width, height))
        expect(abs(width * FRAME_H - height * FRAME_W) <= FRAME_W, "the frame's shape: %dx%d" % (width, height))
        expect(outer.y >= 0 and outer.y + outer.height <= 768 and outer.x >= 0 and outer.x + outer.width <= 1366,
               "the whole window is on the screen: %d,%d %dx%d" % (outer.x, outer.y, outer.width, outer.height))
        game.close_window()
        expect(game.wait_exit() == 0, "a clean end")
    print("2 passed, 0 failed")


if __name__ == "__main__":
    main()
