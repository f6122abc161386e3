// Runs out of memory on purpose. This test program is linked with malloc and
// calloc wrapped, so the game's own allocations can be made to fail one at a
// time; SDL's and the C++ library's are left alone.
#include <cstddef>
#include <cstring>
#include <string>

#include "edit.h"
#include "file.h"
#include "harness.h"
#include "input.h"
#include "play.h"

extern "C" void* __real_malloc(size_t size);
extern "C" void* __real_calloc(size_t count, size_t size);

namespace {

// Allocations of the game still to go before one fails; 0 when disarmed.
long allocationsBeforeFailure = 0;

bool failNow() {
    if (allocationsBeforeFailure > 0 && --allocationsBeforeFailure == 0) {
        return true;
    }
    return false;
}

// The k-th allocation from now fails.
void failAllocation(long k) {
    allocationsBeforeFailure = k;
}

}  // namespace

extern "C" void* __wrap_malloc(size_t size) {
    return failNow() ? nullptr : __real_malloc(size);
}

extern "C" void* __wrap_calloc(size_t count, size_t size) {
    return failNow() ? nullptr : __real_calloc(count, size);
}

namespace {

const char* const threeLevels = "; A\n#####\n#@$.#\n#####\n\n; B\n###\n#@#\n\n; C\n####\n#@*#\n";

TEST(OutOfMemory, EveryAllocationOfTheReaderFailsCleanly) {
    std::string dir = makeTempDir();
    std::string path = dir + "/levels.txt";
    writeFile(path, threeLevels);
    // Each level is its record, its cells and its name.
    for (long k = 1; k <= 9; k++) {
        failAllocation(k);
        LoadLevelResult loaded = loadLevel(path.data());
        EXPECT_EQ(loaded.result, 2) << "allocation " << k;
        EXPECT_EQ(loaded.level, nullptr) << "allocation " << k;
        failAllocation(0);
    }
    failAllocation(10);
    LoadLevelResult loaded = loadLevel(path.data());
    failAllocation(0);
    EXPECT_EQ(loaded.result, 0) << "a tenth allocation is not needed";
    EXPECT_EQ(countLevels(loaded.level), 3);
    unloadLevel(loaded.level);
    removeTree(dir);
}

class OutOfMemoryScreen : public ScreenTest {
  protected:
    void TearDown() override {
        failAllocation(0);
        ScreenTest::TearDown();
    }
    char filename[64] = {};
};

TEST_F(OutOfMemoryScreen, ThePlayScreenCannotStart) {
    writeFile("egy.txt", "; A\n#####\n#@$.#\n#####\n");
    Frame expected = boxFrame("Memóriafoglalási hiba", false);
    for (long k : {4, 5}) {  // after 3 to read: the working copy's record, then its cells
        std::strcpy(filename, "egy.txt");
        failAllocation(k);
        press(SDL_SCANCODE_RETURN);
        quit();
        EXPECT_EQ(playLevel(renderer, tiles, font, smallFont, filename), 1) << k;
        EXPECT_TRUE(capture().pixels == expected.pixels) << k;
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    std::strcpy(filename, "egy.txt");
    failAllocation(2);  // while reading
    press(SDL_SCANCODE_RETURN);
    quit();
    EXPECT_EQ(playLevel(renderer, tiles, font, smallFont, filename), 1);
    EXPECT_TRUE(capture().pixels == expected.pixels);
}

// A restart or a level switch that runs out of memory keeps the level that
// is on the screen, instead of drawing a copy that was already released.
TEST_F(OutOfMemoryScreen, RestartAndSwitchKeepTheCurrentLevel) {
    writeFile("ket.txt", "; A\n######\n#@ $.#\n######\n\n; B\n###\n#@#\n###\n");
    Frame expected = boxFrame("Memóriafoglalási hiba", false);
    struct Case {
        const char* label;
        // Counted from the start of the screen: 6 to load (each level's
        // record, cells and name), 2 for the first copy, and for a restart 1
        // for the position it keeps for undo.
        long allocation;
        SDL_Scancode key;
        bool ctrl;
    };
    const Case cases[] = {
        {"restart, record", 10, SDL_SCANCODE_R, true},
        {"restart, cells", 11, SDL_SCANCODE_R, true},
        {"next level, record", 9, SDL_SCANCODE_PAGEUP, false},
        {"next level, cells", 10, SDL_SCANCODE_PAGEUP, false},
    };
    for (const Case& c : cases) {
        // The alert comes, and a closed window during it ends the screen.
        std::strcpy(filename, "ket.txt");
        failAllocation(c.allocation);
        if (c.ctrl) {
            keyDown(SDL_SCANCODE_LCTRL);
        }
        press(c.key);
        keyUp(SDL_SCANCODE_LCTRL);
        press(SDL_SCANCODE_ESCAPE);  // an alert ignores it; the screen would leave
        quit();
        EXPECT_EQ(playLevel(renderer, tiles, font, smallFont, filename), 0) << c.label;
        EXPECT_TRUE(capture().pixels == expected.pixels) << c.label;
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);

        // After the alert the same level plays on.
        std::strcpy(filename, "ket.txt");
        press(SDL_SCANCODE_RIGHT);  // a walk first, which takes a block for the history
        failAllocation(c.allocation + 1);
        if (c.ctrl) {
            keyDown(SDL_SCANCODE_LCTRL);
        }
        press(c.key);
        keyUp(SDL_SCANCODE_LCTRL);
        press(SDL_SCANCODE_RETURN);  // the alert
        if (!c.ctrl) {
            press(SDL_SCANCODE_RETURN);  // the store question came first
        }
        press(SDL_SCANCODE_RIGHT);  // the crate onto the target: solved
        press(SDL_SCANCODE_RETURN);
        quit();
        EXPECT_EQ(playLevel(renderer, tiles, font, smallFont, filename), 0) << c.label;
        Frame frame = capture();
        // Level A (6 x 3) at column 7, row 4, solved and green.
        EXPECT_TRUE(cellShows(frame, 10, 5, {brownFloor, player})) << c.label;
        EXPECT_TRUE(cellShows(frame, 11, 5, {brownFloor, crateOnTarget})) << c.label;
        EXPECT_TRUE(cellShows(frame, 2, 2, {greenFloor})) << c.label;
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
}

TEST_F(OutOfMemoryScreen, TheEditorKeepsItsListWhenALevelCannotBeMade) {
    Frame expected = boxFrame("Memóriafoglalási hiba", false);
    for (long k : {1, 2, 3}) {  // the level's record, cells and name
        std::strcpy(filename, "uj.txt");
        press(SDL_SCANCODE_HOME);
        typeText("3x1");
        failAllocation(k);
        press(SDL_SCANCODE_RETURN);
        quit();
        EXPECT_EQ(editLevel(renderer, tiles, font, smallFont, filename), 0) << k;
        EXPECT_TRUE(capture().pixels == expected.pixels) << k;
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        failAllocation(0);

        // Acknowledged, the editor is still empty and unchanged: Escape
        // leaves without a question.
        press(SDL_SCANCODE_HOME);
        typeText("3x1");
        failAllocation(k);
        press(SDL_SCANCODE_RETURN);
        press(SDL_SCANCODE_RETURN);
        press(SDL_SCANCODE_ESCAPE);
        quit();
        EXPECT_EQ(editLevel(renderer, tiles, font, smallFont, filename), 1) << k;
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        failAllocation(0);
    }
}

TEST_F(OutOfMemoryScreen, ARenameThatCannotBeStoredKeepsTheOldName) {
    writeFile("egy.txt", "; Régi\n#####\n#@$.#\n#####\n");
    std::strcpy(filename, "egy.txt");
    press(SDL_SCANCODE_R);
    typeText("uj");
    press(SDL_SCANCODE_RETURN);
    // Saving: the prompt and the alert.
    keyDown(SDL_SCANCODE_LCTRL);
    keyDown(SDL_SCANCODE_S);
    press(SDL_SCANCODE_RETURN);
    press(SDL_SCANCODE_RETURN);
    press(SDL_SCANCODE_ESCAPE);
    quit();
    failAllocation(4);  // 3 to load the level, then the new name
    EXPECT_EQ(editLevel(renderer, tiles, font, smallFont, filename), 1);
    EXPECT_EQ(readFile("egy.txt"), "; Régi\n#####\n#@$.#\n#####\n\n");
}

// Whatever allocation of the history fails, the moves and changes still
// happen and undo never takes back the wrong thing: the position after two
// steps and two undos is one the player actually passed through.
TEST_F(OutOfMemoryScreen, UndoAfterAFailedStepIsNeverWrong) {
    writeFile("egy.txt", "; A\n#######\n#@ $ .#\n#######\n");
    const int startColumn = 8;  // "#@ $ .#" at column 7
    for (long k = 1; k <= 16; k++) {
        std::strcpy(filename, "egy.txt");
        press(SDL_SCANCODE_RIGHT);
        press(SDL_SCANCODE_RIGHT);  // a push
        keyDown(SDL_SCANCODE_LCTRL);
        press(SDL_SCANCODE_R);  // a restart, itself a step
        keyUp(SDL_SCANCODE_LCTRL);
        press(SDL_SCANCODE_RETURN);  // an alert, if the restart had none
        press(SDL_SCANCODE_BACKSPACE);
        press(SDL_SCANCODE_BACKSPACE);
        quit();
        failAllocation(k);
        playLevel(renderer, tiles, font, smallFont, filename);
        failAllocation(0);
        Frame frame = capture();
        bool boxShown = cellShows(frame, 0, 0, {greenFloor});
        // Where the player may stand: start, after one step, after the push.
        bool passed = false;
        for (int column : {startColumn, startColumn + 1, startColumn + 2}) {
            bool crateMoved = column == startColumn + 2;
            passed = passed || (cellShows(frame, column, 5, {brownFloor, player}) &&
                                cellShows(frame, crateMoved ? 11 : 10, 5, {brownFloor, crate}));
        }
        EXPECT_TRUE(boxShown || passed) << "allocation " << k;
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);

        // The editor: a placed cell and a rename, both taken back.
        std::strcpy(filename, "egy.txt");
        press(SDL_SCANCODE_4);
        press(SDL_SCANCODE_RETURN);  // a crate at the top-left corner
        press(SDL_SCANCODE_R);
        typeText("x");
        press(SDL_SCANCODE_RETURN);
        press(SDL_SCANCODE_BACKSPACE);
        press(SDL_SCANCODE_BACKSPACE);
        quit();
        failAllocation(k);
        editLevel(renderer, tiles, font, smallFont, filename);
        failAllocation(0);
        frame = capture();
        // 7 x 3 from column 7, row 4: the corner holds the wall or the crate.
        EXPECT_TRUE(cellShows(frame, 0, 0, {greenFloor}) || cellShows(frame, 7, 4, {brownFloor, wall, selection}) ||
                    cellShows(frame, 7, 4, {brownFloor, crate, selection}))
            << "editor, allocation " << k;
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
}

}  // namespace
