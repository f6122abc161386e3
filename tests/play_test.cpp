#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "harness.h"
#include "input.h"
#include "play.h"
#include "results.h"

namespace {

const char* const twoLevels =
    "; Első\n"
    "#######\n"
    "#@ $ .#\n"
    "#######\n"
    "\n"
    "; Második\n"
    "######\n"
    "#@$ .#\n"
    "#.$  #\n"
    "######\n";

class PlayScreen : public ScreenTest {
  protected:
    int play(const char* name = "szintek.txt") {
        std::strcpy(filename, name);
        return playLevel(renderer, tiles, font, smallFont, filename);
    }
    // The frame the play screen leaves on `file` after `input`, ended by a
    // closed window.
    Frame afterInput(const std::string& file, const std::function<void()>& input) {
        writeFile("szintek.txt", file);
        input();
        quit();
        EXPECT_EQ(play(), 0);
        Frame frame = capture();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        return frame;
    }
    // Presses keys by scancode: firstStart is Ctrl+Shift+R, chooseFirst
    // opens the chooser and plays its first level, and a click is
    // clickAt + 100 * column + row.
    static constexpr int firstStart = -1, chooseFirst = -2, clickAt = 10000;
    void keys(const std::vector<int>& codes) {
        for (int code : codes) {
            if (code == firstStart) {
                keyDown(SDL_SCANCODE_LCTRL);
                keyDown(SDL_SCANCODE_LSHIFT);
                press(SDL_SCANCODE_R);
                keyUp(SDL_SCANCODE_LSHIFT);
                keyUp(SDL_SCANCODE_LCTRL);
            } else if (code == chooseFirst) {
                press(SDL_SCANCODE_TAB);
                press(SDL_SCANCODE_HOME);
                press(SDL_SCANCODE_RETURN);
            } else if (code >= clickAt) {
                click((code - clickAt) / 100, (code - clickAt) % 100);
            } else {
                press(static_cast<SDL_Scancode>(code));
            }
        }
    }

    char filename[64] = {};
};

TEST_F(PlayScreen, FilesThatCannotBePlayedAreRefusedWithTheirMessage) {
    struct Case {
        const char* label;
        std::string bytes;  // empty with makeDirectory: a directory of that name
        bool makeDirectory;
        bool missing;
        const char* message;
    };
    const Case cases[] = {
        {"missing file", "", false, true, "Nem lehet megnyitni a fájlt"},
        {"a directory", "", true, false, "Nem lehet megnyitni a fájlt"},
        {"bad character", "#@$.#\n#x  #\n", false, false, "A fájl hibás karaktereket tartalmaz"},
        {"no levels", "csak egy megjegyzés\n", false, false, "A fájl nem tartalmaz szinteket"},
        {"a level without a player", "; Jó\n#@$.#\n\n; Rossz\n# $.#\n", false, false, "Néhány szint hibás"},
        {"fewer crates than targets", "#@$..#\n", false, false, "Néhány szint hibás"},
    };
    int index = 0;
    for (const Case& c : cases) {
        index++;
        for (bool closeWindow : {false, true}) {
            std::string name = "eset" + std::to_string(index) + (closeWindow ? "a" : "b") + ".txt";
            if (c.makeDirectory) {
                mkdir(name.c_str(), 0755);
            } else if (!c.missing) {
                writeFile(name, c.bytes);
            }
            Frame expected = boxFrame(c.message, false);
            if (!closeWindow) {
                press(SDL_SCANCODE_RETURN);
            }
            quit();
            EXPECT_EQ(play(name.c_str()), closeWindow ? 0 : 1) << c.label;
            expectShows(expected, c.label);
            SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        }
    }
}

TEST_F(PlayScreen, TooLargeLevelsAreAskedAbout) {
    std::string wide = std::string(65, '#');
    writeFile("nagy.txt", "; Nagy\n" + wide + "\n#@$.#\n\n; Kicsi\n#@$.#\n");
    writeFile("mind.txt", wide + "\n\n" + wide + "\n");
    Frame question = boxFrame("Néhány szint túl nagy. Biztosan megnyitod?\nKimarad: 1. szint (\xE2\x80\x9ENagy\xE2\x80\x9D)", true);

    press(SDL_SCANCODE_ESCAPE);
    quit();
    EXPECT_EQ(play("nagy.txt"), 1) << "Mégse goes back to the menu";
    expectShows(question, "question");
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);

    quit();
    EXPECT_EQ(play("nagy.txt"), 0) << "a closed window ends";
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);

    press(SDL_SCANCODE_RETURN);
    quit();
    EXPECT_EQ(play("nagy.txt"), 0) << "OK plays what fitted";
    Frame frame = capture();
    // Only "Kicsi" is left: 5 x 1 at (8,5) with no arrows.
    EXPECT_TRUE(cellShows(frame, 9, 5, {brownFloor, player}));
    EXPECT_TRUE(cellShows(frame, 0, 11, {greyFloor}));
    EXPECT_TRUE(cellShows(frame, 19, 11, {greyFloor}));
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);

    Frame empty = boxFrame("A fájl nem tartalmaz szinteket", false);
    press(SDL_SCANCODE_RETURN);
    press(SDL_SCANCODE_RETURN);
    quit();
    EXPECT_EQ(play("mind.txt"), 1);
    expectShows(empty, "every level too large");
}

TEST_F(PlayScreen, DrawsTheLevelCentredWithButtonsAndName) {
    writeFile("szintek.txt", twoLevels);
    quit();
    EXPECT_EQ(play(), 0);
    Frame frame = capture();
    // 7 x 3 starts at column (19 - 7) / 2 + 1 = 7, row (11 - 3) / 2 = 4.
    EXPECT_TRUE(cellShows(frame, 7, 4, {brownFloor, wall}));
    EXPECT_TRUE(cellShows(frame, 8, 5, {brownFloor, player}));
    EXPECT_TRUE(cellShows(frame, 9, 5, {brownFloor}));
    EXPECT_TRUE(cellShows(frame, 10, 5, {brownFloor, crate}));
    EXPECT_TRUE(cellShows(frame, 12, 5, {brownFloor, target}));
    EXPECT_TRUE(cellShows(frame, 6, 5, {greyFloor}));
    const struct {
        int y;
        Tile picture;
    } buttons[] = {{0, home}, {1, retry}, {2, save},  {3, undo},  {4, redo},      {5, hint},
                   {6, up},   {7, left},  {8, right}, {9, down}, {10, levelList}};
    for (const auto& button : buttons) {
        EXPECT_TRUE(cellShows(frame, 0, button.y, {greyFloor, button.picture})) << button.y;
    }
    EXPECT_TRUE(cellShows(frame, 0, 11, {greyFloor})) << "no previous level";
    EXPECT_TRUE(cellShows(frame, 19, 11, {greyFloor, right})) << "a next level";
    // The name, white, centred on cell (10,11).
    int w = 0, h = 0;
    TTF_SizeUTF8(font, "Első", &w, &h);
    EXPECT_GT(countColor(frame, SDL_Rect{672 - w / 2, 736 - h / 2, w, h}, 255, 255, 255, 0), 50);
    // The level's number after the left arrow, the counters before the right
    // one, in the small size, and nothing white between them and the name.
    int nw = 0, cw = 0;
    TTF_SizeUTF8(smallFont, "1/2", &nw, &h);
    TTF_SizeUTF8(smallFont, "Lépés: 0  Tolás: 0", &cw, &h);
    EXPECT_GT(countColor(frame, SDL_Rect{72, 704, nw, 64}, 255, 255, 255, 0), 20);
    EXPECT_EQ(countColor(frame, SDL_Rect{0, 704, 72, 64}, 255, 255, 255, 0), 0);
    EXPECT_EQ(countColor(frame, SDL_Rect{72 + nw, 704, 672 - w / 2 - 72 - nw, 64}, 255, 255, 255, 0), 0);
    EXPECT_GT(countColor(frame, SDL_Rect{1208 - cw, 704, cw, 64}, 255, 255, 255, 0), 40);
    EXPECT_EQ(countColor(frame, SDL_Rect{672 + w / 2 + 1, 704, 1208 - cw - 672 - w / 2 - 1, 64}, 255, 255, 255, 0), 0);
}

TEST_F(PlayScreen, LevelSizesArePlacedByIntegerHalves) {
    std::string full = "; Teljes\n" + std::string(19, '#') + "\n";
    for (int row = 1; row <= 9; row++) {
        full += (row == 5 ? "#." + std::string(16, ' ') : "#" + std::string(17, ' ')) + "#\n";
    }
    full += "#@$" + std::string(15, ' ') + "#\n";
    writeFile("teljes.txt", full);
    quit();
    EXPECT_EQ(play("teljes.txt"), 0);
    Frame frame = capture();
    EXPECT_TRUE(cellShows(frame, 1, 0, {brownFloor, wall}));
    EXPECT_TRUE(cellShows(frame, 19, 0, {brownFloor, wall}));
    EXPECT_TRUE(cellShows(frame, 2, 10, {brownFloor, player}));
    EXPECT_TRUE(cellShows(frame, 19, 10, {brownFloor, wall}));
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);

    // A 1 x 1 level holds only the player: solved from the start.
    writeFile("egy.txt", "; Egy\n@\n");
    quit();
    EXPECT_EQ(play("egy.txt"), 0);
    frame = capture();
    EXPECT_TRUE(cellShows(frame, 10, 5, {brownFloor, player}));
    EXPECT_TRUE(cellShows(frame, 9, 5, {greenFloor}));
    EXPECT_TRUE(cellShows(frame, 11, 5, {greenFloor}));
}

// A level of any size up to 64 x 64 is drawn in the play area with cells of
// one size, as large as fit, centred; a click lands on the cell shown under
// the pointer: the figure walks there from its corner.
TEST_F(PlayScreen, LevelsOfEverySizeAreDrawnToFitAndClickedWhereShown) {
    struct Case {
        int width, height, cell;
    };
    const Case cases[] = {{5, 3, 64}, {19, 11, 64}, {20, 11, 60}, {19, 12, 58}, {30, 20, 35}, {64, 64, 11}, {64, 1, 19}};
    for (const Case& c : cases) {
        std::string text = "; Méret\n";
        Coordinates start{1, 1}, goal{c.width - 2, c.height - 2}, empty{2, 1};
        if (c.height < 3) {
            start = Coordinates{0, 0};
            goal = Coordinates{c.width - 1, 0};
            empty = Coordinates{2, 0};
            text += "@" + std::string(static_cast<size_t>(c.width - 1), ' ') + "\n";
        } else {
            for (int y = 0; y < c.height; y++) {
                std::string row(static_cast<size_t>(c.width), y == 0 || y == c.height - 1 ? '#' : ' ');
                row.front() = row.back() = '#';
                text += (y == 1 ? "#@" + row.substr(2) : row) + "\n";
            }
        }
        bool whole = c.width <= 19 && c.height <= 11;
        int left = whole ? ((19 - c.width) / 2 + 1) * 64 : 64 + (1216 - c.width * c.cell) / 2;
        int top = whole ? (11 - c.height) / 2 * 64 : (704 - c.height * c.cell) / 2;
        auto rect = [&](Coordinates cell) { return SDL_Rect{left + cell.x * c.cell, top + cell.y * c.cell, c.cell, c.cell}; };
        SDL_Rect to = rect(goal);
        Frame before = afterInput(text, [] {});
        Frame after = afterInput(text, [&] { clickPixel(to.x + c.cell / 2, to.y + c.cell / 2); });
        std::string size = std::to_string(c.width) + "x" + std::to_string(c.height);
        EXPECT_NE(areaPixels(before, rect(start)), areaPixels(before, rect(empty))) << size << ": the figure shown";
        EXPECT_EQ(areaPixels(before, rect(start)), areaPixels(after, to)) << size << ": and shown where clicked";
        EXPECT_EQ(areaPixels(before, rect(empty)), areaPixels(after, rect(start))) << size << ": the floor it left";
    }
}

TEST_F(PlayScreen, WinningShowsTheAlertThenTheGreenLevel) {
    writeFile("szintek.txt", twoLevels);
    Frame alert = boxFrame("Sikeresen tejesítetted a pályát!\n2 tolás, 3 lépés", false);
    press(SDL_SCANCODE_RIGHT);
    press(SDL_SCANCODE_RIGHT);
    press(SDL_SCANCODE_RIGHT);  // the crate onto the target
    quit();
    EXPECT_EQ(play(), 0);
    expectShows(alert, "win alert");
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);

    press(SDL_SCANCODE_D);
    press(SDL_SCANCODE_D);
    press(SDL_SCANCODE_D);
    press(SDL_SCANCODE_RETURN);
    quit();
    EXPECT_EQ(play(), 0);
    Frame frame = capture();
    EXPECT_TRUE(cellShows(frame, 3, 3, {greenFloor}));
    EXPECT_TRUE(cellShows(frame, 12, 5, {brownFloor, crateOnTarget}));
    EXPECT_TRUE(cellShows(frame, 11, 5, {brownFloor, player}));
    EXPECT_TRUE(cellShows(frame, 19, 11, {greenFloor, right}));
    // Nothing was saved.
    EXPECT_EQ(readFile("szintek.txt"), twoLevels);
}

// The win's message tells the result, against the least pushes where the
// game knows them, with a star for a best in that many; after it the row
// shows the way on, and a click on the row takes it.
TEST_F(PlayScreen, TheWinTellsTheResultAndTheWayOn) {
    const int right = SDL_SCANCODE_RIGHT, left = SDL_SCANCODE_LEFT, h = SDL_SCANCODE_H;
    struct Case {
        const char* label;
        int least;  // the proven least pushes, 0: not known
        std::vector<int> keys;
        const char* result;
    };
    const Case cases[] = {
        {"no least known", 0, {right, right, right}, "2 tolás, 3 lépés"},
        {"the least, a best", 2, {right, right, right}, "2 tolás, 3 lépés, a legkevesebb 2 \xE2\x98\x85"},
        {"the least with a walk more", 2, {right, left, right, right, right}, "2 tolás, 5 lépés, a legkevesebb 2 \xE2\x98\x85"},
        {"with a hint: no star", 2, {h, h}, "2 tolás, 3 lépés, a legkevesebb 2"},
        {"more than the least: no star", 1, {right, right, right}, "2 tolás, 3 lépés, a legkevesebb 1"},
    };
    for (const Case& c : cases) {
        removeTree(std::getenv("XDG_DATA_HOME"));
        Level* list = levelsFromText(twoLevels);
        char line[96];
        std::snprintf(line, sizeof line, "Első\t%d\t1\trRR\t%016llx\n", c.least, static_cast<unsigned long long>(levelIdentity(list)));
        writeFile("palyak.solutions", c.least > 0 ? line : "");
        unloadLevel(list);
        Frame frame = afterInput(twoLevels, [&] { keys(c.keys); });
        expectBox(frame, (std::string("Sikeresen tejesítetted a pályát!\n") + c.result).c_str(), false, c.label);
    }
    // A level opened solved has had no win here: its row shows its name.
    std::string solvedFirst = std::string(twoLevels).replace(std::string(twoLevels).find("#@ $ .#"), 7, "#   @*#");
    Frame opened = afterInput(solvedFirst, [] {});
    int ink = inkPixels(smallFont, "1/2") + inkPixels(font, "Első") + inkPixels(smallFont, "Lépés: 0  Tolás: 0");
    EXPECT_EQ(countColor(opened, SDL_Rect{72, 704, 1136, 64}, 255, 255, 255, 0), ink) << "the name, not the way on";
    // Enter, then a click on the row: the next level.
    const SDL_Rect row{72, 704, 1136, 64};
    Frame won = afterInput(twoLevels, [&] { keys({right, right, right, SDL_SCANCODE_RETURN}); });
    Frame moved = afterInput(twoLevels, [&] { keys({right, right, right, SDL_SCANCODE_RETURN, SDL_SCANCODE_BACKSPACE}); });
    EXPECT_NE(areaPixels(won, row), areaPixels(moved, row)) << "the way on while the level is solved";
    Frame next = afterInput(twoLevels, [&] { keys({right, right, right, SDL_SCANCODE_RETURN, clickAt + 1011}); });
    EXPECT_TRUE(cellShows(next, 7, 3, {brownFloor, wall})) << "the second level, 6 x 4 from column 7, row 3";
}

// A file opens at the level the player was last on in it, kept by the
// file's full path; a file never played opens at its first level.
TEST_F(PlayScreen, AFileOpensWhereThePlayerStopped) {
    const int next = SDL_SCANCODE_PAGEUP, back = SDL_SCANCODE_PAGEDOWN;
    struct Case {
        const char* label;
        std::vector<std::vector<int>> sessions;  // one play of the file each
        bool second;  // the last play opened at the second level
    };
    const Case cases[] = {
        {"never played", {{}}, false},
        {"left on the second", {{next}, {}}, true},
        {"and back to the first", {{next}, {back}, {}}, false},
        {"chosen in the chooser", {{SDL_SCANCODE_TAB, SDL_SCANCODE_END, SDL_SCANCODE_RETURN}, {}}, true},
    };
    for (const Case& c : cases) {
        removeTree(std::getenv("XDG_DATA_HOME"));
        Frame frame;
        for (const std::vector<int>& input : c.sessions) {
            frame = afterInput(twoLevels, [&] { keys(input); });
        }
        EXPECT_EQ(cellShows(frame, 7, 3, {brownFloor, wall}), c.second) << c.label;
    }
    // Of two lines of one file (two games, a hand edit), the later counts.
    char* path = realpath("szintek.txt", nullptr);
    writeFile(placesPath(), "2\t" + std::string(path) + "\n1\t" + std::string(path) + "\n");
    std::free(path);
    quit();
    EXPECT_EQ(play(), 0);
    EXPECT_FALSE(cellShows(capture(), 7, 3, {brownFloor, wall})) << "the later line: the first level";
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    // The same name in another folder is another file.
    mkdir("masik", 0755);
    writeFile("masik/szintek.txt", twoLevels);
    quit();
    EXPECT_EQ(play("masik/szintek.txt"), 0);
    EXPECT_FALSE(cellShows(capture(), 7, 3, {brownFloor, wall})) << "another file's place";
}

TEST_F(PlayScreen, SavingWritesEveryPositionReached) {
    writeFile("szintek.txt", twoLevels);
    press(SDL_SCANCODE_RIGHT);                    // level 1: a walk, unsolved
    press(SDL_SCANCODE_PAGEUP);                   // store question
    press(SDL_SCANCODE_RETURN);                   // OK: written into the list
    click(0, 9);                                  // level 2: walk down onto the target
    ctrlPress(SDL_SCANCODE_S);
    typeText("2");                                // save as szintek.txt2
    press(SDL_SCANCODE_RETURN);                   // the name prompt
    press(SDL_SCANCODE_RETURN);                   // "Sikeres mentés!"
    press(SDL_SCANCODE_ESCAPE);                   // saved: leaves without a question
    quit();
    EXPECT_EQ(play(), 1);
    EXPECT_STREQ(filename, "szintek.txt2");
    EXPECT_EQ(readFile("szintek.txt2"),
              "; Első\n#######\n# @$ .#\n#######\n\n; Második\n######\n# $ .#\n#+$  #\n######\n\n");
    EXPECT_EQ(readFile("szintek.txt"), twoLevels);
}

TEST_F(PlayScreen, TheStoreQuestionComesBeforeTheNeighbourTest) {
    writeFile("szintek.txt", twoLevels);
    Frame question = boxFrame("Szeretnéd eltárolni a módosításaidat?", true);
    click(19, 11);          // to level 2, no moves: no question
    press(SDL_SCANCODE_D);  // a push on level 2
    click(19, 11);          // the last level: asks, stays
    quit();
    EXPECT_EQ(play(), 0);
    expectShows(question, "store question at the last level");
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);

    press(SDL_SCANCODE_PAGEUP);
    press(SDL_SCANCODE_D);
    press(SDL_SCANCODE_PAGEUP);
    press(SDL_SCANCODE_RETURN);  // store
    press(SDL_SCANCODE_D);       // a walk after storing
    ctrlPress(SDL_SCANCODE_R);   // restart: back to the stored position
    quit();
    EXPECT_EQ(play(), 0);
    Frame frame = capture();
    // 6 x 4 at (7,3): the player stored at (2,1), the crate pushed to (3,1).
    EXPECT_TRUE(cellShows(frame, 9, 4, {brownFloor, player}));
    EXPECT_TRUE(cellShows(frame, 10, 4, {brownFloor, crate}));
    EXPECT_TRUE(cellShows(frame, 0, 11, {greyFloor, left}));
    EXPECT_TRUE(cellShows(frame, 19, 11, {greyFloor}));
}

TEST_F(PlayScreen, LeavingAsksOnlyWithUnsavedMoves) {
    writeFile("szintek.txt", twoLevels);
    press(SDL_SCANCODE_ESCAPE);
    quit();
    EXPECT_EQ(play(), 1) << "nothing moved";
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);

    Frame question = boxFrame("Biztosan szeretnél mentés nélkül kilépni?", true);
    press(SDL_SCANCODE_LEFT);  // refused, yet a change
    click(0, 0);               // asks
    quit();
    EXPECT_EQ(play(), 0);
    expectShows(question, "leave question");
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);

    press(SDL_SCANCODE_LEFT);
    press(SDL_SCANCODE_ESCAPE);
    click(12, 5);  // Mégse: play goes on
    press(SDL_SCANCODE_ESCAPE);
    press(SDL_SCANCODE_RETURN);  // OK: leave
    quit();
    EXPECT_EQ(play(), 1);
    EXPECT_EQ(readFile("szintek.txt"), twoLevels);
}

TEST_F(PlayScreen, ClosingTheWindowInAnyDialogEndsWithoutWriting) {
    writeFile("szintek.txt", twoLevels);
    struct Case {
        const char* label;
        std::vector<SDL_Scancode> keys;
    };
    const std::vector<Case> cases = {
        {"win alert", {SDL_SCANCODE_RIGHT, SDL_SCANCODE_RIGHT, SDL_SCANCODE_RIGHT}},
        {"store question", {SDL_SCANCODE_RIGHT, SDL_SCANCODE_PAGEUP}},
        {"file-name prompt", {SDL_SCANCODE_RIGHT, SDL_SCANCODE_LCTRL, SDL_SCANCODE_DOWN}},
        {"leave question", {SDL_SCANCODE_RIGHT, SDL_SCANCODE_ESCAPE}},
    };
    for (const Case& c : cases) {
        for (SDL_Scancode key : c.keys) {
            keyDown(key);
        }
        quit();
        press(SDL_SCANCODE_RETURN);
        press(SDL_SCANCODE_RETURN);
        EXPECT_EQ(play(), 0) << c.label;
        EXPECT_EQ(readFile("szintek.txt"), twoLevels) << c.label;
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    // And in the alert after a save: the file stays written.
    press(SDL_SCANCODE_RIGHT);
    ctrlPress(SDL_SCANCODE_S);
    press(SDL_SCANCODE_RETURN);
    quit();
    EXPECT_EQ(play(), 0);
    EXPECT_NE(readFile("szintek.txt"), twoLevels);
}

TEST_F(PlayScreen, CtrlChangesWhatKeysDo) {
    writeFile("szintek.txt", twoLevels);
    countFrames();
    keyDown(SDL_SCANCODE_RCTRL);
    press(SDL_SCANCODE_D);         // nothing
    press(SDL_SCANCODE_RIGHT);     // nothing
    press(SDL_SCANCODE_ESCAPE);    // nothing
    press(SDL_SCANCODE_PAGEUP);    // nothing
    press(SDL_SCANCODE_PAGEDOWN);  // nothing
    keyUp(SDL_SCANCODE_RCTRL);
    press(SDL_SCANCODE_R);  // nothing without Ctrl
    press(SDL_SCANCODE_F3);
    quit();
    EXPECT_EQ(play(), 0);
    EXPECT_EQ(presentedFrames(), 1) << "nothing asked for a redraw";
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    unsetenv("SDL_VIDEO_DUMMY_SAVE_FRAMES");

    // Ctrl+Down saves like Ctrl+S, and Ctrl is clear afterwards.
    press(SDL_SCANCODE_RIGHT);
    ctrlPress(SDL_SCANCODE_DOWN);
    press(SDL_SCANCODE_RETURN);
    press(SDL_SCANCODE_RETURN);
    press(SDL_SCANCODE_RIGHT);  // moves again: Ctrl was cleared by the save
    press(SDL_SCANCODE_ESCAPE);
    press(SDL_SCANCODE_RETURN);
    quit();
    EXPECT_EQ(play(), 1);
    EXPECT_EQ(readFile("szintek.txt"),
              "; Első\n#######\n# @$ .#\n#######\n\n; Második\n######\n#@$ .#\n#.$  #\n######\n\n");
}

// A Ctrl held while clicking a button that opens a dialog is released inside
// the dialog; the play screen must not go on thinking it is held.
TEST_F(PlayScreen, CtrlDoesNotStickAfterAClickThatOpensADialog) {
    struct Case {
        const char* label;
        int rightsBefore;  // steps right first: a move makes home and the arrows ask
        int x, y;          // the button clicked with Ctrl held
        SDL_Scancode answer;
        SDL_Scancode after;
        int playerColumn;  // where the move after the dialog leaves the player
    };
    // "#@ $ .#" at column 7: the player starts at 8, the crate at 10, the target at 12.
    const Case cases[] = {
        {"save", 0, 0, 2, SDL_SCANCODE_ESCAPE, SDL_SCANCODE_RIGHT, 9},
        {"home", 1, 0, 0, SDL_SCANCODE_ESCAPE, SDL_SCANCODE_RIGHT, 10},
        {"level arrow with the store question", 1, 0, 11, SDL_SCANCODE_ESCAPE, SDL_SCANCODE_RIGHT, 10},
        {"winning push by the arrow button", 2, 0, 8, SDL_SCANCODE_RETURN, SDL_SCANCODE_LEFT, 10},
    };
    writeFile("szintek.txt", twoLevels);
    for (const Case& c : cases) {
        for (int i = 0; i < c.rightsBefore; i++) {
            press(SDL_SCANCODE_RIGHT);
        }
        keyDown(SDL_SCANCODE_LCTRL);
        click(c.x, c.y);
        keyUp(SDL_SCANCODE_LCTRL);  // swallowed by the dialog
        press(c.answer);
        press(c.after);
        quit();
        EXPECT_EQ(play(), 0) << c.label;
        EXPECT_TRUE(cellShows(capture(), c.playerColumn, 5, {brownFloor, player})) << c.label;
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
}

// Backspace (Ctrl or not) and the undo button take back moves and pushes,
// and the counters count back with them.
TEST_F(PlayScreen, UndoByKeyAndButtonAndTheLevelRow) {
    writeFile("szintek.txt", twoLevels);
    quit();
    play();
    Frame start = capture();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);

    press(SDL_SCANCODE_RIGHT);
    press(SDL_SCANCODE_RIGHT);  // a push
    keyDown(SDL_SCANCODE_LCTRL);
    press(SDL_SCANCODE_BACKSPACE);
    keyUp(SDL_SCANCODE_LCTRL);
    click(0, 3);
    quit();
    EXPECT_EQ(play(), 0);
    expectShows(start, "back at the start, counters at 0");
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);

    // Undone moves still count as changes: leaving asks.
    Frame question = boxFrame("Biztosan szeretnél mentés nélkül kilépni?", true);
    press(SDL_SCANCODE_RIGHT);
    press(SDL_SCANCODE_BACKSPACE);
    press(SDL_SCANCODE_ESCAPE);
    quit();
    EXPECT_EQ(play(), 0);
    expectShows(question, "leaving asks after an undo");
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);

    // A name of 63 bytes is cut to fit between the number and the counters.
    writeFile("hosszu.txt", "; " + std::string(63, 'W') + "\n######\n#@ $.#\n######\n\n; B\n#####\n#@$.#\n#####\n");
    press(SDL_SCANCODE_RIGHT);
    press(SDL_SCANCODE_LEFT);
    quit();
    EXPECT_EQ(play("hosszu.txt"), 0);
    expectLevelRow(capture(), smallFont, 72, 1208, "1/2", "Lépés: 2  Tolás: 0", "Lépés: 8888  Tolás: 8888", 12, 300);
}

TEST_F(PlayScreen, NavigationCellsActEvenWithoutArrows) {
    writeFile("egy.txt", "; Egyetlen\n#####\n#@$.#\n#####\n");
    countFrames();
    click(0, 11);
    click(19, 11, SDL_BUTTON_MIDDLE);
    click(10, 11);  // the name: nothing
    click(8, 4);    // the level: nothing
    quit();
    EXPECT_EQ(play("egy.txt"), 0);
    EXPECT_EQ(presentedFrames(), 3);
    Frame frame = capture();
    EXPECT_TRUE(cellShows(frame, 0, 11, {greyFloor}));
    EXPECT_TRUE(cellShows(frame, 19, 11, {greyFloor}));
    EXPECT_TRUE(cellShows(frame, 9, 5, {brownFloor, player}));
}

TEST_F(PlayScreen, AFailedSaveKeepsTheMovesUnsaved) {
    writeFile("szintek.txt", twoLevels);
    Frame failed = boxFrame("Sikertelen mentés", false);
    Frame question = boxFrame("Biztosan szeretnél mentés nélkül kilépni?", true);
    for (bool acknowledge : {false, true}) {
        press(SDL_SCANCODE_RIGHT);
        click(0, 2);
        keyDown(SDL_SCANCODE_LSHIFT);
        press(SDL_SCANCODE_6);  // "/": a file inside a file cannot be made
        keyUp(SDL_SCANCODE_LSHIFT);
        typeText("x");
        press(SDL_SCANCODE_RETURN);
        if (acknowledge) {
            press(SDL_SCANCODE_RETURN);
            press(SDL_SCANCODE_ESCAPE);  // still unsaved: asks
        }
        quit();
        EXPECT_EQ(play(), 0);
        expectShows(acknowledge ? question : failed, acknowledge ? "question after failure" : "failure");
        EXPECT_STREQ(filename, "szintek.txt/x");
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    EXPECT_EQ(readFile("szintek.txt"), twoLevels);
}

// On the first level (7 x 3 from column 7, row 4) the player stands at
// (8, 5), the crate at (10, 5) and the target at (12, 5).
TEST_F(PlayScreen, ClicksWalkAndPushAndAreTakenBackAndRedoneWhole) {
    struct Case {
        const char* label;
        std::vector<std::pair<int, int>> clicks;  // cells; (-1, k): key k pressed
        int playerX;
        int crateX;
        bool solved;
        int alerts;  // win alerts to answer
    };
    const int backspace = SDL_SCANCODE_BACKSPACE, shiftBack = -2;
    const Case cases[] = {
        {"a walk", {{9, 5}}, 9, 10, false, 0},
        {"a walk to where it stands", {{8, 5}}, 8, 10, false, 0},
        {"a walk to a wall or past a crate", {{7, 5}, {11, 5}, {15, 5}}, 8, 10, false, 0},
        {"a crate chosen, pushed onto the target", {{10, 5}, {12, 5}}, 11, 12, true, 1},
        {"the push taken back whole, the walk not", {{9, 5}, {10, 5}, {12, 5}, {-1, backspace}}, 9, 10, false, 1},
        {"and done again by Shift+Backspace", {{9, 5}, {10, 5}, {12, 5}, {-1, backspace}, {-1, shiftBack}}, 11, 12,
         true, 2},
        {"both clicks back, one redone by the button",
         {{9, 5}, {10, 5}, {12, 5}, {-1, backspace}, {-1, backspace}, {0, 4}}, 9, 10, false, 1},
        {"a new move drops what redo had",
         {{9, 5}, {-1, backspace}, {-1, SDL_SCANCODE_RIGHT}, {0, 4}, {-1, shiftBack}}, 9, 10, false, 0},
        {"the right Shift let go, Backspace undoes",
         {{9, 5}, {-1, backspace}, {-1, shiftBack}, {-1, backspace}}, 8, 10, false, 0},
    };
    for (const Case& c : cases) {
        writeFile("szintek.txt", twoLevels);
        int alerts = c.alerts;
        for (const auto& [x, y] : c.clicks) {
            if (x >= 0) {
                click(x, y);
            } else if (y == shiftBack) {
                keyDown(SDL_SCANCODE_RSHIFT);
                press(SDL_SCANCODE_BACKSPACE);
                keyUp(SDL_SCANCODE_RSHIFT);
            } else {
                press(static_cast<SDL_Scancode>(y));
            }
            // A win's alert is answered where it comes; a click's way shown
            // step by step is cut short first, by a key that does nothing.
            if ((x == 12 || y == shiftBack) && alerts > 0) {
                press(SDL_SCANCODE_X);
                press(SDL_SCANCODE_RETURN);
                alerts--;
            }
        }
        quit();
        EXPECT_EQ(play(), 0) << c.label;
        Frame frame = capture();
        EXPECT_TRUE(cellShows(frame, c.playerX, 5, {brownFloor, player})) << c.label;
        EXPECT_TRUE(cellShows(frame, c.crateX, 5, {brownFloor, c.crateX == 12 ? crateOnTarget : crate})) << c.label;
        EXPECT_EQ(cellShows(frame, 2, 2, {greenFloor}), c.solved) << c.label;
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
}

// In an open room (7 x 5 from column 7, row 3): a walk of several cells is
// one undo, and a second click on the chosen crate puts it down even where
// it could be pushed away and back.
TEST_F(PlayScreen, AClickIsOneUndoAndTheChosenCrateClickedAgainStays) {
    const char* room = "; Terem\n#######\n#@    #\n#  $  #\n#   . #\n#######\n";
    struct Case {
        const char* label;
        std::vector<std::pair<int, int>> clicks;
        bool undo;
        int playerX, playerY;
    };
    const Case cases[] = {
        {"a walk of four cells", {{12, 4}}, false, 12, 4},
        {"taken back whole", {{12, 4}}, true, 8, 4},
        {"the crate clicked twice", {{10, 5}, {10, 5}}, false, 8, 4},
    };
    for (const Case& c : cases) {
        Frame frame = afterInput(room, [&] {
            for (const auto& [x, y] : c.clicks) {
                click(x, y);
            }
            if (c.undo) {
                press(SDL_SCANCODE_BACKSPACE);
            }
        });
        EXPECT_TRUE(cellShows(frame, c.playerX, c.playerY, {brownFloor, player})) << c.label;
        EXPECT_TRUE(cellShows(frame, 10, 5, {brownFloor, crate})) << c.label;
    }
}

TEST_F(PlayScreen, AChosenCrateShowsWhereItCanGoUntilPutDown) {
    writeFile("szintek.txt", twoLevels);
    click(10, 5);
    quit();
    EXPECT_EQ(play(), 0);
    Frame frame = capture();
    EXPECT_TRUE(cellShows(frame, 10, 5, {brownFloor, crate, selection}));
    EXPECT_TRUE(cellShows(frame, 11, 5, {brownFloor, marker}));
    EXPECT_TRUE(cellShows(frame, 12, 5, {brownFloor, target, marker}));
    EXPECT_TRUE(cellShows(frame, 9, 5, {brownFloor})) << "it cannot be pushed left";
    // Put down by any key, by the crate or an unmarked cell clicked: no
    // push, no marks left; an unmarked floor cell the figure can reach is
    // walked to.
    struct Case {
        const char* label;
        bool key;
        int cellX;
        int playerX;
    };
    const Case cases[] = {{"a key", true, 0, 8},
                          {"the crate again", false, 10, 8},
                          {"an unmarked floor cell: walked to", false, 9, 9},
                          {"a wall", false, 7, 8},
                          {"outside the level", false, 16, 8}};
    for (const Case& c : cases) {
        click(10, 5);
        c.key ? press(SDL_SCANCODE_X) : click(c.cellX, 5);
        quit();
        EXPECT_EQ(play(), 0) << c.label;
        frame = capture();
        EXPECT_TRUE(cellShows(frame, c.playerX, 5, {brownFloor, player})) << c.label;
        EXPECT_TRUE(cellShows(frame, 10, 5, {brownFloor, crate})) << c.label;
        EXPECT_TRUE(cellShows(frame, 11, 5, {brownFloor})) << c.label;
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
}


// H and the hint button make the next push of an optimal solution; taken
// to the end they solve the level, which is kept as solved but not as a
// best. On a hopeless position the alert says so, and the light marks the
// crate that is lost.
TEST_F(PlayScreen, HintsSolveTheLevelAndTheLightShowsALostPosition) {
    const char* two = "; Kettő\n#######\n#@    #\n# $$ .#\n#  #  #\n#.    #\n#######\n";
    // The last hint's way is cut short by a key that does nothing, before
    // the win's alert is answered. The level (7 x 6) lies from column 7,
    // row 2: pushed up, its crate at (9, 4) goes to (9, 3), against the top
    // wall, where it is lost.
    const int h = SDL_SCANCODE_H, x = SDL_SCANCODE_X, enter = SDL_SCANCODE_RETURN, hint = clickAt + 5;
    const int down = SDL_SCANCODE_DOWN, right = SDL_SCANCODE_RIGHT, up = SDL_SCANCODE_UP;
    struct Case {
        const char* label;
        std::vector<int> input;
        bool solved, lost;
        const char* alert;  // shown at the end, or null
    };
    const Case cases[] = {
        {"H to the end", {h, h, h, h, h, x, enter}, true, false, nullptr},
        {"the button to the end", {hint, hint, hint, hint, hint, x, enter}, true, false, nullptr},
        {"pushed against the top wall: crossed out", {down, down, right, up}, false, true, nullptr},
        {"and taken back", {down, down, right, up, SDL_SCANCODE_BACKSPACE}, false, false, nullptr},
        {"then H", {down, down, right, up, h}, false, true, "Innen nincs megoldás"},
    };
    for (const Case& c : cases) {
        Frame frame = afterInput(two, [&] { keys(c.input); });
        if (c.alert != nullptr) {
            expectBox(frame, c.alert, false, c.label);
            continue;
        }
        EXPECT_EQ(cellShows(frame, 2, 2, {greenFloor}), c.solved) << c.label;
        EXPECT_EQ(cellShows(frame, 9, 3, {brownFloor, crate, lost}), c.lost) << c.label;
    }
    Results results = readResults(resultsPath());
    ASSERT_EQ(results.size(), 1u);
    EXPECT_TRUE(results.begin()->second.helpedKnown) << "solved with hints";
    EXPECT_FALSE(results.begin()->second.byPushesKnown) << "but never a best";
    EXPECT_EQ(results.begin()->second.helped.pushes, 5) << "in the fewest pushes";
}

// What belongs to the position in play is made anew with every start put
// in place, so that no part of it answers for another: each row plays
// files one after another (the records carry over) and looks at the end.
TEST_F(PlayScreen, HelpAndRecordsFollowTheStartPutInPlace) {
    const int h = SDL_SCANCODE_H, right = SDL_SCANCODE_RIGHT, up = SDL_SCANCODE_UP, left = SDL_SCANCODE_LEFT,
              back = SDL_SCANCODE_BACKSPACE, next = SDL_SCANCODE_PAGEUP, escape = SDL_SCANCODE_ESCAPE,
              enter = SDL_SCANCODE_RETURN, restart = -3;
    // Two levels of the same walls and targets, the player in either room.
    const std::string twoRooms =
        "; A\n#########\n#   #@$.#\n#########\n\n; B\n#########\n#@  # $.#\n#########\n";
    // A spare crate in the corner; the same level with it taken away.
    const std::string spare = "; S\n#######\n#@ $ .#\n#    $#\n#######\n";
    const std::string noSpare = "; S\n#######\n#@ $ .#\n#     #\n#######\n";
    const std::string single = "; E\n######\n#@$ .#\n######\n";
    // The same walls, crate and player, the target left in one and right in
    // the other (9 x 4 from column 6, row 3).
    const std::string leftRight =
        "; L\n#########\n#.  $   #\n#   @   #\n#########\n\n; R\n#########\n#   $  .#\n#   @   #\n#########\n";
    struct Session {
        std::string file;
        std::vector<int> input;
    };
    struct Case {
        const char* label;
        std::vector<Session> sessions;
        bool solved;
        Coordinates crate;  // a cell that shows a crate, not crossed out; x -1: none looked at
        int best;           // the records know a best of the first level: 1, none: 0, not looked at: -1
    };
    const Case cases[] = {
        {"another level's first start, then a hint", {{twoRooms, {next, firstStart, h, enter}}}, true, {-1, 0}, -1},
        {"a first start with a crate the level lost: not lost", {{spare, {}}, {noSpare, {firstStart}}}, false,
         {12, 5}, -1},
        {"and solved by hints", {{spare, {}}, {noSpare, {firstStart, h, h, enter}}}, true, {-1, 0}, -1},
        {"a hint, a restart taken back: no best", {{single, {h, restart, back, right, enter}}}, true, {-1, 0}, 0},
        {"a hint, then the first start: a best", {{single, {h, firstStart, right, right, enter}}}, true, {-1, 0}, 1},
        {"a hint's plan is not followed on another level",
         {{leftRight, {h, next, escape, right, up, left, h, h}}}, false, {11, 4}, -1},
        {"Escape during a walk shown step by step only ends it", {{leftRight, {clickAt + 1305, escape}}}, false,
         {10, 4}, -1},
    };
    for (const Case& c : cases) {
        removeTree(std::getenv("XDG_DATA_HOME"));
        Frame frame;
        for (const Session& session : c.sessions) {
            frame = afterInput(session.file, [&] {
                for (int key : session.input) {
                    if (key == restart) {
                        ctrlPress(SDL_SCANCODE_R);
                        keyUp(SDL_SCANCODE_LCTRL);
                    } else {
                        keys({key});
                    }
                }
            });
        }
        EXPECT_TRUE(cellShows(frame, 0, 0, {greyFloor, home}) || cellShows(frame, 0, 0, {greenFloor, home}))
            << c.label << ": the play screen, no question";
        EXPECT_EQ(cellShows(frame, 2, 2, {greenFloor}), c.solved) << c.label;
        if (c.crate.x >= 0) {
            EXPECT_TRUE(cellShows(frame, c.crate.x, c.crate.y, {brownFloor, crate})) << c.label;
        }
        if (c.best >= 0) {
            Level* level = levelsFromText(c.sessions[0].file);
            LevelResults kept = readResults(resultsPath())[levelIdentity(level)];
            unloadLevel(level);
            EXPECT_TRUE(kept.solved()) << c.label;
            EXPECT_EQ(kept.byPushesKnown, c.best == 1) << c.label;
        }
    }
}

// A search that takes long shows that the game is thinking, and Escape
// stops it at once: no alert, the level as it was, the screen going on.
TEST_F(PlayScreen, EscapeStopsALongSearch) {
    writeFile("szintek.txt",
              "; Nagy terem\n###################\n#@                #\n#  $  $  $  $  $  #\n#        $        #\n"
              "#  $  $  $  $  $  #\n#        $        #\n#     ##   ##     #\n#        $        #\n"
              "#  ...# ... #...  #\n#  .            . #\n###################\n");
    press(SDL_SCANCODE_H);
    press(SDL_SCANCODE_ESCAPE);
    press(SDL_SCANCODE_RIGHT);  // waits for the search, then walks
    quit();
    Uint32 start = SDL_GetTicks();
    EXPECT_EQ(play(), 0);
    EXPECT_LT(SDL_GetTicks() - start, 3000u) << "stopped well before the search's own end";
    Frame frame = capture();
    EXPECT_TRUE(cellShows(frame, 3, 1, {brownFloor, player})) << "the walk made after the search";
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    press(SDL_SCANCODE_RIGHT);
    quit();
    EXPECT_EQ(play(), 0);
    const SDL_Rect row{0, 704, 1280, 64};
    EXPECT_EQ(areaPixels(frame, row), areaPixels(capture(), row)) << "no longer thinking";
}


// On the first level (7 x 3 from column 7, row 4) the player stands at
// (8, 5), the crate at (10, 5), the target at (12, 5): two pushes right.
TEST_F(PlayScreen, TheFirstStartIsKeptOnceAndPlayedAgain) {
    const int right = SDL_SCANCODE_RIGHT, up = SDL_SCANCODE_PAGEUP, down = SDL_SCANCODE_PAGEDOWN,
              enter = SDL_SCANCODE_RETURN, back = SDL_SCANCODE_BACKSPACE;
    struct Case {
        const char* label;
        std::vector<int> input;
        int playerX, crateX;
    };
    const Case cases[] = {
        {"a stored position", {right, right, up, enter, down}, 10, 11},
        {"back to the first start", {right, right, up, enter, down, firstStart}, 8, 10},
        {"and undone", {right, right, up, enter, down, firstStart, back}, 10, 11},
        {"the chooser on an unsolved level: as stored", {right, right, up, enter, chooseFirst}, 10, 11},
        {"the chooser on a solved level: the first start", {right, right, right, enter, chooseFirst}, 8, 10},
    };
    for (const Case& c : cases) {
        Frame frame = afterInput(twoLevels, [&] { keys(c.input); });
        EXPECT_TRUE(cellShows(frame, c.playerX, 5, {brownFloor, player})) << c.label;
        EXPECT_TRUE(cellShows(frame, c.crateX, 5, {brownFloor, crate})) << c.label;
    }
    // Each level's first start is in the records once, as it was first seen;
    // a level opened solved has none.
    writeFile("megoldott.txt", "; Kész\n#####\n#@ *#\n#####\n");
    quit();
    EXPECT_EQ(play("megoldott.txt"), 0);
    EXPECT_EQ(readFile(resultsPath()).find(" S #####|#@ *#"), std::string::npos) << "no start kept solved";
    std::string records = readFile(resultsPath());
    Level* list = levelsFromText(twoLevels);
    for (const Level* level = list; level != nullptr; level = level->next) {
        std::string line = " S " + startRows(level) + "\n";
        size_t at = records.find(line);
        EXPECT_NE(at, std::string::npos) << level->name;
        EXPECT_EQ(records.find(line, at + 1), std::string::npos) << level->name << " once";
    }
    unloadLevel(list);
}

// A win counts as the best only from the first start: from a stored
// position, or on a level whose crates stand elsewhere than when it was
// first opened, it is solved, not a best. The level row marks a solved
// level with a tick, and a best in the proven fewest pushes with a star.
TEST_F(PlayScreen, OnlyWinsFromTheFirstStartAreBestsAndTheRowMarksThem) {
    const int right = SDL_SCANCODE_RIGHT, up = SDL_SCANCODE_PAGEUP, down = SDL_SCANCODE_PAGEDOWN,
              enter = SDL_SCANCODE_RETURN;
    const std::string moved = std::string(twoLevels).replace(std::string(twoLevels).find("#@ $ .#"), 7, "# @$ .#");
    struct Case {
        const char* label;
        std::string file;
        std::vector<int> keys;
        bool best;
        Tile mark;
    };
    const Case cases[] = {
        {"from a stored position", twoLevels, {right, right, up, enter, down, right, enter}, false, tick},
        {"with its crates moved", moved, {right, right, enter}, false, tick},
        {"from the first start", twoLevels, {right, right, right, enter}, true, star},
    };
    for (const Case& c : cases) {
        removeTree(std::getenv("XDG_DATA_HOME"));
        Level* original = levelsFromText(twoLevels);
        recordStart(resultsPath(), levelIdentity(original), startRows(original));
        // The proven least pushes of the first level: two.
        char line[96];
        std::snprintf(line, sizeof line, "Első\t2\t1\trRR\t%016llx\n", static_cast<unsigned long long>(levelIdentity(original)));
        writeFile("palyak.solutions", line);
        unloadLevel(original);
        Frame frame = afterInput(c.file, [&] { keys(c.keys); });
        Results results = readResults(resultsPath());
        Level* list = levelsFromText(twoLevels);
        const LevelResults& first = results[levelIdentity(list)];
        unloadLevel(list);
        EXPECT_TRUE(first.solved()) << c.label;
        EXPECT_EQ(first.byPushesKnown, c.best) << c.label;
        // The mark stands after the number "1/2" of the level row.
        int w = 0, h = 0;
        TTF_SizeUTF8(smallFont, "1/2", &w, &h);
        SDL_Rect markArea{72 + w, 704, 60, 64};
        int green = countColor(frame, markArea, 0x7f, 0xd1, 0x6b, 12);
        int gold = countColor(frame, markArea, 0xff, 0xd6, 0x40, 12);
        EXPECT_EQ(green > 20, c.mark == tick) << c.label;
        EXPECT_EQ(gold > 20, c.mark == star) << c.label;
    }
}


// An Escape that comes a moment after a hint's walk has ended was meant to
// stop it: it does not ask about leaving. A while later it does.
TEST_F(PlayScreen, AnEscapeJustAfterAHintOnlyStopsIt) {
    const char* corridor = "; Folyosó\n##########\n#@    $ .#\n##########\n";
    for (Uint32 after : {450u, 1400u}) {
        writeFile("szintek.txt", corridor);
        press(SDL_SCANCODE_H);  // a walk of four steps and a push, about 170 ms
        SDL_TimerID escape = SDL_AddTimer(after, escapeLater, nullptr);
        SDL_TimerID done = SDL_AddTimer(after + 400, quitLater, nullptr);
        EXPECT_EQ(play(), 0);
        SDL_RemoveTimer(escape);
        SDL_RemoveTimer(done);
        bool asked = !cellShows(capture(), 0, 0, {greyFloor, home}) && !cellShows(capture(), 0, 0, {greenFloor, home});
        EXPECT_EQ(asked, after > 1000) << after << " ms after H";
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
}

// A click's walk is drawn a step at a time, about thirty a second; a key
// during it finishes the walk at once and then counts as itself. On a row
// of floor (7 x 3 from column 7, row 4) the figure walks from (8, 5) to
// (12, 5).
TEST_F(PlayScreen, AClicksWayIsShownStepByStepUntilAKeyCutsItShort) {
    const char* corridor = "; Folyosó\n#######\n#@    #\n#######\n";
    struct Case {
        const char* label;
        int input;                   // during the walk: none, Left pressed, the window closed
        std::vector<int> playerAt;   // the figure's column in each frame presented
    };
    const int none = 0, left = 1, closed = 2;
    const Case cases[] = {
        {"shown step by step", none, {8, 9, 10, 11, 12}},
        {"cut short by a key, which then moves back", left, {8, 9, 12, 11}},
        {"cut short by the window closed", closed, {8, 9, 12}},
    };
    for (const Case& c : cases) {
        removeTree(tempDir);
        ASSERT_EQ(mkdir(tempDir.c_str(), 0700), 0);
        ASSERT_EQ(chdir(tempDir.c_str()), 0);
        writeFile("szintek.txt", corridor);
        countFrames();
        click(12, 5);
        SDL_TimerID timer = 0;
        if (c.input == left) {
            press(SDL_SCANCODE_LEFT);
        }
        if (c.input != none) {
            quit();
        } else {
            timer = SDL_AddTimer(1000, quitLater, nullptr);
        }
        Uint32 start = SDL_GetTicks();
        EXPECT_EQ(play(), 0) << c.label;
        Uint32 took = SDL_GetTicks() - start;
        SDL_RemoveTimer(timer);
        unsetenv("SDL_VIDEO_DUMMY_SAVE_FRAMES");
        std::vector<Frame> frames = savedFrames();
        ASSERT_EQ(frames.size(), c.playerAt.size()) << c.label;
        for (size_t i = 0; i < frames.size(); i++) {
            EXPECT_TRUE(cellShows(frames[i], c.playerAt[i], 5, {brownFloor, player})) << c.label << ", frame " << i;
        }
        if (c.input == none) {
            EXPECT_GE(took, 3 * 30u) << "three steps shown a step's time each";
        }
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
}

}  // namespace
