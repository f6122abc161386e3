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
    for (long k = 1; k <= 9; k++) {
        failAllocation(k);
        LoadLevelResult loaded = loadLevel(path.data());
        EXPECT_EQ(loaded.result, 2) << "allocation " << k;
        EXPECT_EQ(loaded.level, nullptr) << "allocation " << k;
        failAllocation(0);
    }
    LoadLevelResult loaded = loadLevel(path.data());
    EXPECT_EQ(loaded.result, 0);
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
    for (long k : {4, 5}) {  // the working copy's record, then its cells
        std::strcpy(filename, "egy.txt");
        failAllocation(k);
        press(SDL_SCANCODE_RETURN);
        quit();
        EXPECT_EQ(playLevel(renderer, tiles, font, filename), 1) << k;
        EXPECT_TRUE(capture().pixels == expected.pixels) << k;
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    std::strcpy(filename, "egy.txt");
    failAllocation(2);  // while reading
    press(SDL_SCANCODE_RETURN);
    quit();
    EXPECT_EQ(playLevel(renderer, tiles, font, filename), 1);
    EXPECT_TRUE(capture().pixels == expected.pixels);
}

// A restart or a level switch that runs out of memory keeps the level that
// is on the screen, instead of drawing a copy that was already released.
TEST_F(OutOfMemoryScreen, RestartAndSwitchKeepTheCurrentLevel) {
    writeFile("ket.txt", "; A\n######\n#@ $.#\n######\n\n; B\n###\n#@#\n###\n");
    Frame expected = boxFrame("Memóriafoglalási hiba", false);
    struct Case {
        const char* label;
        long allocation;  // counted from the start of the screen: 6 to load, 2 for the first copy
        SDL_Scancode key;
        bool ctrl;
    };
    const Case cases[] = {
        {"restart, record", 9, SDL_SCANCODE_R, true},
        {"restart, cells", 10, SDL_SCANCODE_R, true},
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
        EXPECT_EQ(playLevel(renderer, tiles, font, filename), 0) << c.label;
        EXPECT_TRUE(capture().pixels == expected.pixels) << c.label;
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);

        // After the alert the same level plays on.
        std::strcpy(filename, "ket.txt");
        press(SDL_SCANCODE_RIGHT);  // a walk first
        failAllocation(c.allocation);
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
        EXPECT_EQ(playLevel(renderer, tiles, font, filename), 0) << c.label;
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
    for (long k : {1, 2, 3}) {  // record, name, cells
        std::strcpy(filename, "uj.txt");
        press(SDL_SCANCODE_HOME);
        typeText("3x1");
        failAllocation(k);
        press(SDL_SCANCODE_RETURN);
        quit();
        EXPECT_EQ(editLevel(renderer, tiles, font, filename), 0) << k;
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
        EXPECT_EQ(editLevel(renderer, tiles, font, filename), 1) << k;
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
    EXPECT_EQ(editLevel(renderer, tiles, font, filename), 1);
    EXPECT_EQ(readFile("egy.txt"), "; Régi\n#####\n#@$.#\n#####\n\n");
}

}  // namespace
