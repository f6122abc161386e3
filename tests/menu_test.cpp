#include <cstring>

#include <functional>
#include <vector>

#include "harness.h"
#include "menu.h"

namespace {

class MenuRoom : public ScreenTest {
  protected:
    int run() { return mainMenu(renderer, tiles, font, filename); }

    void expectRoom(const Frame& frame, Coordinates playerCell, Coordinates crateCell) {
        const Coordinates targets[] = {{4, 4}, {4, 7}, {2, 2}, {5, 2}, {2, 9}, {5, 9}};
        for (int x = 2; x <= 5; x++) {
            for (int y = 2; y <= 9; y++) {
                bool isTarget = false;
                for (Coordinates t : targets) {
                    isTarget = isTarget || (t.x == x && t.y == y);
                }
                bool isPlayer = playerCell.x == x && playerCell.y == y;
                bool isCrate = crateCell.x == x && crateCell.y == y;
                double difference;
                if (isPlayer && isTarget) {
                    difference = cellDifference(frame, x, y, {brownFloor, target, player});
                } else if (isPlayer) {
                    difference = cellDifference(frame, x, y, {brownFloor, player});
                } else if (isCrate) {
                    difference = cellDifference(frame, x, y, {brownFloor, crate});
                } else if (isTarget) {
                    difference = cellDifference(frame, x, y, {brownFloor, target});
                } else {
                    difference = cellDifference(frame, x, y, {brownFloor});
                }
                EXPECT_LT(difference, 2.0) << "cell " << x << "," << y;
            }
        }
    }

    char filename[64] = {};
};

TEST_F(MenuRoom, DrawsTheRoomPanelAndTexts) {
    quit();
    EXPECT_EQ(run(), 0);
    Frame frame = capture();
    expectRoom(frame, {3, 4}, {4, 6});
    for (int y = 1; y <= 10; y++) {
        EXPECT_TRUE(cellShows(frame, 1, y, {wall}));
        EXPECT_TRUE(cellShows(frame, 6, y, {wall}));
    }
    EXPECT_TRUE(cellShows(frame, 3, 1, {wall}));
    EXPECT_TRUE(cellShows(frame, 3, 10, {wall}));
    EXPECT_TRUE(cellShows(frame, 0, 0, {greyFloor}));
    EXPECT_TRUE(cellShows(frame, 16, 6, {greenFloor, up}));
    EXPECT_TRUE(cellShows(frame, 16, 8, {greenFloor, down}));
    EXPECT_TRUE(cellShows(frame, 15, 7, {greenFloor, left}));
    EXPECT_TRUE(cellShows(frame, 17, 7, {greenFloor, right}));
    EXPECT_TRUE(cellShows(frame, 16, 7, {greenFloor, retry}));
    EXPECT_TRUE(cellShows(frame, 14, 5, {wall}));
    EXPECT_TRUE(cellShows(frame, 18, 9, {wall}));
    // Labels begin at the centre of their cell: nothing white left of it.
    const Coordinates labelCells[] = {{10, 1}, {7, 4}, {7, 7}, {7, 9}, {7, 2}, {0, 11}};
    for (Coordinates cell : labelCells) {
        int left = cell.x * 64 + 32;
        EXPECT_GT(countColor(frame, SDL_Rect{left, cell.y * 64, 200, 64}, 255, 255, 255, 0), 100);
        EXPECT_EQ(countColor(frame, SDL_Rect{left - 32, cell.y * 64, 32, 64}, 255, 255, 255, 0), 0);
    }
}

// Walks, pushes and walls, by keys and by the arrow panel; a crate pushed
// where only the quit targets are left (Down, Down, Right) comes back by
// Backspace, Ctrl+R or the panel's centre.
TEST_F(MenuRoom, WalksAndPushes) {
    const SDL_Scancode ctrlR = SDL_NUM_SCANCODES;
    struct Case {
        const char* label;
        std::vector<SDL_Scancode> keys;
        std::vector<Coordinates> clicks;
        Coordinates player, crate;
    };
    const SDL_Scancode down = SDL_SCANCODE_DOWN, right = SDL_SCANCODE_RIGHT, back = SDL_SCANCODE_BACKSPACE;
    const std::vector<Case> cases = {
        {"walk right by key", {SDL_SCANCODE_D}, {}, {4, 4}, {4, 6}},
        {"walk left into the wall stops", {SDL_SCANCODE_LEFT, SDL_SCANCODE_A, SDL_SCANCODE_A}, {}, {2, 4}, {4, 6}},
        {"walk up to the top row", {SDL_SCANCODE_W, SDL_SCANCODE_UP, SDL_SCANCODE_UP}, {}, {3, 2}, {4, 6}},
        {"push the crate right to the wall and no further",
         {SDL_SCANCODE_DOWN, SDL_SCANCODE_S, SDL_SCANCODE_D, SDL_SCANCODE_D},
         {},
         {4, 6},
         {5, 6}},
        {"arrow panel moves, its walls do not",
         {},
         {{17, 7}, {16, 8}, {14, 7}, {18, 5}, {16, 6}, {15, 7}},
         {3, 4},
         {4, 6}},
        {"locked, and a push taken back", {down, down, right, back}, {}, {3, 6}, {4, 6}},
        {"every move taken back", {down, down, right, back, back, back, back}, {}, {3, 4}, {4, 6}},
        {"Ctrl+R puts the room back", {down, down, right, ctrlR}, {}, {3, 4}, {4, 6}},
        {"and leaves nothing to take back", {down, down, right, ctrlR, back}, {}, {3, 4}, {4, 6}},
        {"R alone does not", {down, down, right, SDL_SCANCODE_R}, {}, {4, 6}, {5, 6}},
        {"and the panel's centre does", {down, down, right}, {{16, 7}}, {3, 4}, {4, 6}},
        {"push the crate left to the wall and no further",
         {SDL_SCANCODE_RIGHT, SDL_SCANCODE_RIGHT, SDL_SCANCODE_DOWN, SDL_SCANCODE_DOWN, SDL_SCANCODE_LEFT,
          SDL_SCANCODE_LEFT, SDL_SCANCODE_LEFT},
         {},
         {3, 6},
         {2, 6}},
    };
    for (const Case& c : cases) {
        for (SDL_Scancode key : c.keys) {
            if (key == ctrlR) {
                ctrlPress(SDL_SCANCODE_R);
                keyUp(SDL_SCANCODE_LCTRL);
            } else {
                press(key);
            }
        }
        for (Coordinates cell : c.clicks) {
            click(cell.x, cell.y, SDL_BUTTON_RIGHT);
        }
        quit();
        EXPECT_EQ(run(), 0) << c.label;
        SCOPED_TRACE(c.label);
        expectRoom(capture(), c.player, c.crate);
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
}

TEST_F(MenuRoom, BlockedMovesAskForNoRedraw) {
    countFrames();
    click(16, 7);              // panel centre: the room is as it was
    press(SDL_SCANCODE_BACKSPACE);  // nothing to take back
    press(SDL_SCANCODE_LEFT);  // to column 2: one redraw
    press(SDL_SCANCODE_LEFT);  // wall
    press(SDL_SCANCODE_F5);    // no binding
    click(0, 0);
    quit();
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(presentedFrames(), 2);
}

TEST_F(MenuRoom, TargetsChooseTheirOption) {
    struct Case {
        const char* label;
        std::vector<SDL_Scancode> keys;
        const char* typed;
        SDL_Scancode answer;
        int result;
    };
    const std::vector<Case> cases = {
        {"editor below the crate", {SDL_SCANCODE_RIGHT, SDL_SCANCODE_DOWN, SDL_SCANCODE_DOWN}, "uj", SDL_SCANCODE_RETURN, 2},
        {"play above the crate",
         {SDL_SCANCODE_DOWN, SDL_SCANCODE_DOWN, SDL_SCANCODE_DOWN, SDL_SCANCODE_RIGHT, SDL_SCANCODE_UP,
          SDL_SCANCODE_UP},
         "palyak.txt",
         SDL_SCANCODE_RETURN,
         1},
    };
    for (const Case& c : cases) {
        filename[0] = '\0';
        for (SDL_Scancode key : c.keys) {
            press(key);
        }
        typeText(c.typed);
        if (c.answer != SDL_SCANCODE_UNKNOWN) {
            press(c.answer);
        }
        quit();
        EXPECT_EQ(run(), c.result) << c.label;
        EXPECT_STREQ(filename, c.typed) << c.label;
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
}

TEST_F(MenuRoom, CornerExitLeavesTheFollowingEventsUntouched) {
    // Push the crate right to column 5, then down into the corner (5,9).
    press(SDL_SCANCODE_DOWN);
    press(SDL_SCANCODE_DOWN);   // player (3,6) left of the crate
    press(SDL_SCANCODE_RIGHT);  // crate to (5,6)
    press(SDL_SCANCODE_UP);     // player (4,5)
    press(SDL_SCANCODE_RIGHT);  // (5,5)
    press(SDL_SCANCODE_DOWN);   // crate to (5,7)
    press(SDL_SCANCODE_DOWN);   // crate to (5,8)
    press(SDL_SCANCODE_DOWN);   // crate onto (5,9): exit
    keyDown(SDL_SCANCODE_F1);
    EXPECT_EQ(run(), 0);
    // The menu returned at the push: the rest of the queue is still there.
    SDL_Event event;
    ASSERT_EQ(SDL_PollEvent(&event), 1);
    EXPECT_EQ(event.type, static_cast<Uint32>(SDL_KEYUP));
    ASSERT_EQ(SDL_PollEvent(&event), 1);
    EXPECT_EQ(event.key.keysym.scancode, SDL_SCANCODE_F1);
}

TEST_F(MenuRoom, ACancelledPromptKeepsTheRoomAndTheTextTyped) {
    press(SDL_SCANCODE_RIGHT);
    press(SDL_SCANCODE_DOWN);
    press(SDL_SCANCODE_DOWN);  // editor prompt
    typeText("ab");
    click(17, 3);              // "<-": cancel
    press(SDL_SCANCODE_DOWN);  // the same push asks again, showing "ab"
    typeText("c");
    press(SDL_SCANCODE_ESCAPE);
    quit();
    EXPECT_EQ(run(), 0);
    EXPECT_STREQ(filename, "abc");
    expectRoom(capture(), {4, 5}, {4, 6});
}

TEST_F(MenuRoom, ClosingTheWindowInThePromptEndsTheProgram) {
    press(SDL_SCANCODE_RIGHT);
    press(SDL_SCANCODE_DOWN);
    press(SDL_SCANCODE_DOWN);
    typeText("x");
    quit();
    press(SDL_SCANCODE_RETURN);
    EXPECT_EQ(run(), 0);
    EXPECT_STREQ(filename, "x");
}


// The line at the foot says what the arrow under the mouse does, a text of
// its own for each, and the instruction again once the mouse moves off.
TEST_F(MenuRoom, EachArrowSaysWhatItDoes) {
    const SDL_Rect foot{0, 704, 1280, 64};
    auto footAfter = [&](std::function<void()> input) { return areaAfter(input, [&] { return run(); }, foot); };
    std::vector<uint32_t> plain = footAfter([] {});
    std::vector<std::vector<uint32_t>> shown;
    for (Coordinates arrow :
         {Coordinates{16, 6}, Coordinates{16, 8}, Coordinates{15, 7}, Coordinates{17, 7}, Coordinates{16, 7}}) {
        shown.push_back(footAfter([&] { moveTo(arrow.x, arrow.y, 0); }));
        EXPECT_NE(shown.back(), plain) << arrow.x << "," << arrow.y;
        EXPECT_EQ(countColor(capture(), SDL_Rect{1280 - 24, 704, 24, 64}, 255, 255, 255, 0), 0)
            << arrow.x << "," << arrow.y << ": the text ends within the window";
        for (size_t i = 0; i + 1 < shown.size(); i++) {
            EXPECT_NE(shown[i], shown.back()) << arrow.x << "," << arrow.y;
        }
    }
    EXPECT_EQ(footAfter([&] { moveTo(16, 6, 0); moveTo(15, 6, 0); }), plain) << "between the arrows";
}

}  // namespace
