#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "edit.h"
#include "harness.h"
#include "results.h"
#include "input.h"
#include "play.h"

namespace {

class EditScreen : public ScreenTest {
  protected:
    int edit(const char* name = "uj.txt") {
        std::strcpy(filename, name);
        return editLevel(renderer, tiles, font, smallFont, filename);
    }
    void typeSize(const char* size) {
        typeText(size);
        press(SDL_SCANCODE_RETURN);
    }
    // Saves under the current name: Ctrl+S, the prompt, the alert.
    void saveByKeys() {
        ctrlPress(SDL_SCANCODE_S);
        press(SDL_SCANCODE_RETURN);
        press(SDL_SCANCODE_RETURN);
    }
    // The file as saved by the keys after `input` on `before`.
    std::string savedAfter(const std::string& before, const std::function<void()>& input) {
        writeFile("uj.txt", before);
        input();
        saveByKeys();
        quit();
        EXPECT_EQ(edit(), 0);
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        return readFile("uj.txt");
    }

    char filename[64] = {};
};

TEST_F(EditScreen, ANewFileOpensEmptyAndMostThingsDoNothing) {
    countFrames();
    const SDL_Scancode keys[] = {SDL_SCANCODE_LEFT, SDL_SCANCODE_DOWN, SDL_SCANCODE_W,
                                 SDL_SCANCODE_D,    SDL_SCANCODE_F2,   SDL_SCANCODE_LCTRL};
    for (SDL_Scancode key : keys) {
        press(key);
    }
    click(0, 5);    // palette column
    click(10, 11);  // name row
    click(10, 5);   // where a level would be
    click(0, 9);
    quit();
    EXPECT_EQ(edit(), 0);
    EXPECT_EQ(presentedFrames(), 1);
    Frame frame = capture();
    EXPECT_TRUE(cellShows(frame, 0, 0, {greyFloor, home}));
    EXPECT_TRUE(cellShows(frame, 0, 1, {greyFloor, save}));
    EXPECT_TRUE(cellShows(frame, 1, 11, {greyFloor, add}));
    EXPECT_TRUE(cellShows(frame, 18, 11, {greyFloor, add}));
    EXPECT_TRUE(cellShows(frame, 0, 9, {greyFloor, undo}));
    for (int y = 2; y <= 11; y++) {
        EXPECT_TRUE(y == 9 || cellShows(frame, 0, y, {greyFloor})) << y;
    }
    EXPECT_TRUE(cellShows(frame, 19, 11, {greyFloor}));
    EXPECT_FALSE(fileExists("uj.txt"));
}

TEST_F(EditScreen, KeysThatRedrawWithoutALevelChangeNothing) {
    const SDL_Scancode keys[] = {SDL_SCANCODE_RETURN, SDL_SCANCODE_SPACE,  SDL_SCANCODE_R,
                                 SDL_SCANCODE_DELETE, SDL_SCANCODE_PAGEUP, SDL_SCANCODE_PAGEDOWN,
                                 SDL_SCANCODE_3,      SDL_SCANCODE_ESCAPE};
    for (SDL_Scancode key : keys) {
        press(key);
    }
    quit();
    EXPECT_EQ(edit(), 1) << "nothing changed: Escape leaves without a question";
}

TEST_F(EditScreen, BuildsALevelByKeyboardAndSavesItsExactBytes) {
    press(SDL_SCANCODE_END);
    typeSize("5x3");
    // Walls along the top row.
    for (int i = 0; i < 5; i++) {
        press(SDL_SCANCODE_RETURN);
        press(SDL_SCANCODE_RIGHT);
    }
    press(SDL_SCANCODE_DOWN);
    press(SDL_SCANCODE_2);  // player
    press(SDL_SCANCODE_SPACE);
    press(SDL_SCANCODE_A);
    press(SDL_SCANCODE_4);  // crate
    press(SDL_SCANCODE_SPACE);
    press(SDL_SCANCODE_A);
    press(SDL_SCANCODE_6);  // target
    press(SDL_SCANCODE_SPACE);
    press(SDL_SCANCODE_A);
    press(SDL_SCANCODE_3);  // player on target
    press(SDL_SCANCODE_SPACE);
    press(SDL_SCANCODE_A);
    press(SDL_SCANCODE_5);  // crate on target
    press(SDL_SCANCODE_SPACE);
    press(SDL_SCANCODE_S);
    press(SDL_SCANCODE_7);  // floor over floor still counts
    press(SDL_SCANCODE_RETURN);
    press(SDL_SCANCODE_R);
    for (int i = 0; i < 14; i++) {
        press(SDL_SCANCODE_BACKSPACE);
    }
    typeText("kezdo");
    press(SDL_SCANCODE_RETURN);
    saveByKeys();
    press(SDL_SCANCODE_ESCAPE);
    quit();
    EXPECT_EQ(edit(), 1);
    // A new level starts with walls round its edge.
    EXPECT_EQ(readFile("uj.txt"), "; kezdo\n#####\n*+.$@\n ####\n\n");
}

TEST_F(EditScreen, BuildsALevelByClicksAloneAndDrawsIt) {
    click(1, 11);  // add before, into the empty list
    // Size "7x5" on the on-screen keyboard: 7, x, 5, OK.
    click(11, 6);
    click(6, 9);
    click(9, 6);
    click(17, 1);
    // 7 x 5 starts at column 7, row 3. Each palette entry in a row.
    for (int entry = 0; entry < 7; entry++) {
        click(0, 2 + entry, entry % 2 == 0 ? SDL_BUTTON_LEFT : SDL_BUTTON_RIGHT);
        click(7 + entry, 4);
    }
    click(0, 3);  // the player
    click(8, 5);  // the cursor ends here
    click(14, 5);  // right of the level: nothing
    quit();
    EXPECT_EQ(edit(), 0);
    Frame frame = capture();
    EXPECT_TRUE(cellShows(frame, 7, 4, {brownFloor, wall}));
    EXPECT_TRUE(cellShows(frame, 8, 4, {brownFloor, player}));
    EXPECT_TRUE(cellShows(frame, 9, 4, {brownFloor, player, target}));
    EXPECT_TRUE(cellShows(frame, 10, 4, {brownFloor, crate}));
    EXPECT_TRUE(cellShows(frame, 11, 4, {brownFloor, crateOnTarget}));
    EXPECT_TRUE(cellShows(frame, 12, 4, {brownFloor, target}));
    EXPECT_TRUE(cellShows(frame, 13, 4, {brownFloor}));
    EXPECT_TRUE(cellShows(frame, 8, 5, {brownFloor, player, selection}));
    EXPECT_TRUE(cellShows(frame, 7, 3, {brownFloor, wall})) << "a new level's edge";
    EXPECT_TRUE(cellShows(frame, 10, 6, {brownFloor})) << "and its inside";
    EXPECT_TRUE(cellShows(frame, 6, 4, {greyFloor}));
    // The palette, the chosen entry marked.
    EXPECT_TRUE(cellShows(frame, 0, 2, {greyFloor, wall}));
    EXPECT_TRUE(cellShows(frame, 0, 3, {greyFloor, player, selection}));
    EXPECT_TRUE(cellShows(frame, 0, 4, {greyFloor, player, target}));
    EXPECT_TRUE(cellShows(frame, 0, 5, {greyFloor, crate}));
    EXPECT_TRUE(cellShows(frame, 0, 6, {greyFloor, crateOnTarget}));
    EXPECT_TRUE(cellShows(frame, 0, 7, {greyFloor, target}));
    EXPECT_TRUE(cellShows(frame, 0, 8, {greyFloor, brownFloor}));
    EXPECT_TRUE(cellShows(frame, 0, 9, {greyFloor, undo}));
    EXPECT_TRUE(cellShows(frame, 0, 10, {greyFloor, deleteButton}));
    EXPECT_TRUE(cellShows(frame, 0, 11, {greyFloor}));
    EXPECT_TRUE(cellShows(frame, 19, 11, {greyFloor}));
    int w = 0, h = 0;
    TTF_SizeUTF8(font, "Névtelen szint", &w, &h);
    EXPECT_GT(countColor(frame, SDL_Rect{672 - w / 2, 736 - h / 2, w, h}, 255, 255, 255, 0), 100);
}

TEST_F(EditScreen, NavigatesRenamesDeletesAndSavesByClicks) {
    writeFile("ket.txt", "; A\n###\n#@#\n\n; B\n####\n#@$.\n");
    click(19, 11);       // to B
    click(12, 11);       // rename B
    click(16, 6);        // "<-": one letter off
    click(5, 7);         // w
    click(17, 1);        // OK
    click(0, 11);        // back to A
    click(0, 10);        // delete A
    click(6, 5);         // OK
    click(18, 11);       // add after B
    typeSize("3x1");
    click(0, 1);         // save
    click(17, 1);        // OK in the name prompt
    click(9, 5);         // OK in the alert
    click(0, 0);         // leave: saved, no question
    quit();
    EXPECT_EQ(edit("ket.txt"), 1);
    EXPECT_EQ(readFile("ket.txt"), "; w\n####\n#@$.\n\n; Névtelen szint\n###\n\n");
}

// Another level shows its own cells (5 x 3 from column 8, row 4: the
// second holds a crate where the first holds the player).
TEST_F(EditScreen, AnotherLevelShowsItsOwnCells) {
    const std::string two = "; A\n#####\n#@$.#\n#####\n\n; B\n#####\n#$@.#\n#####\n";
    struct Case {
        std::vector<SDL_Scancode> keys;
        Tile shown;
    };
    const Case cases[] = {{{}, player}, {{SDL_SCANCODE_PAGEUP}, crate}, {{SDL_SCANCODE_PAGEUP, SDL_SCANCODE_PAGEDOWN}, player}};
    for (const Case& c : cases) {
        writeFile("uj.txt", two);
        for (SDL_Scancode key : c.keys) {
            press(key);
        }
        quit();
        EXPECT_EQ(edit(), 0);
        EXPECT_TRUE(cellShows(capture(), 9, 5, {brownFloor, c.shown})) << c.keys.size();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
}

TEST_F(EditScreen, CtrlDownSavesAndOtherKeysWaitForCtrlsRelease) {
    writeFile("egy.txt", "; A\n#####\n#@$.#\n#####\n");
    keyDown(SDL_SCANCODE_RCTRL);
    press(SDL_SCANCODE_1);  // nothing while Ctrl is held
    press(SDL_SCANCODE_RETURN);
    press(SDL_SCANCODE_ESCAPE);
    keyDown(SDL_SCANCODE_DOWN);  // saves
    press(SDL_SCANCODE_RETURN);
    press(SDL_SCANCODE_RETURN);
    press(SDL_SCANCODE_DOWN);    // Ctrl cleared: the cursor moves
    press(SDL_SCANCODE_D);
    press(SDL_SCANCODE_RETURN);  // places a wall (selection 0) over the player
    press(SDL_SCANCODE_ESCAPE);  // unsaved: asks
    press(SDL_SCANCODE_ESCAPE);  // Mégse
    saveByKeys();
    press(SDL_SCANCODE_ESCAPE);
    quit();
    EXPECT_EQ(edit("egy.txt"), 1);
    EXPECT_EQ(readFile("egy.txt"), "; A\n#####\n##$.#\n#####\n\n");
}

TEST_F(EditScreen, EscapeAsksOnlyAfterAChange) {
    writeFile("egy.txt", "; A\n#####\n#@$.#\n#####\n");
    Frame question = boxFrame("Biztosan szeretnél mentés nélkül kilépni?", true);
    press(SDL_SCANCODE_7);
    press(SDL_SCANCODE_SPACE);  // floor over a wall: a change
    press(SDL_SCANCODE_ESCAPE);
    quit();
    EXPECT_EQ(edit("egy.txt"), 0);
    expectShows(question, "exit question");
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);

    press(SDL_SCANCODE_SPACE);
    press(SDL_SCANCODE_ESCAPE);
    press(SDL_SCANCODE_RETURN);  // leave without saving
    quit();
    EXPECT_EQ(edit("egy.txt"), 1);
    EXPECT_EQ(readFile("egy.txt"), "; A\n#####\n#@$.#\n#####\n");

    // Closing the window with changes ends at once without a question.
    press(SDL_SCANCODE_SPACE);
    quit();
    press(SDL_SCANCODE_RETURN);
    EXPECT_EQ(edit("egy.txt"), 0);
}

TEST_F(EditScreen, ClosingTheWindowInEachDialogEndsAndWritesNothing) {
    const std::string original = "; A\n#####\n#@$.#\n#####\n";
    writeFile("egy.txt", original);
    struct Case {
        const char* label;
        std::vector<SDL_Scancode> keys;
        std::vector<Coordinates> clicks;
    };
    const std::vector<Case> cases = {
        {"size prompt", {SDL_SCANCODE_HOME}, {}},
        {"size alert", {SDL_SCANCODE_HOME, SDL_SCANCODE_RETURN}, {}},
        {"delete question", {SDL_SCANCODE_DELETE}, {}},
        {"rename prompt", {SDL_SCANCODE_R}, {}},
        {"save prompt", {SDL_SCANCODE_LCTRL, SDL_SCANCODE_S}, {}},
        {"exit question", {SDL_SCANCODE_SPACE, SDL_SCANCODE_ESCAPE}, {}},
        {"delete by click", {}, {{0, 10}}},
    };
    for (const Case& c : cases) {
        for (SDL_Scancode key : c.keys) {
            keyDown(key);
        }
        for (Coordinates cell : c.clicks) {
            click(cell.x, cell.y);
        }
        quit();
        press(SDL_SCANCODE_RETURN);
        EXPECT_EQ(edit("egy.txt"), 0) << c.label;
        EXPECT_EQ(readFile("egy.txt"), original) << c.label;
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
}

TEST_F(EditScreen, OpeningFollowsTheLoadResult) {
    struct Case {
        const char* label;
        std::string bytes;
        const char* message;
        bool question;
    };
    const Case cases[] = {
        {"bad character", "###\n#x#\n", "A fájl hibás karaktereket tartalmaz", false},
        {"too large", std::string(65, '#') + "\n", "Néhány szint túl nagy. Biztosan megnyitod?\nKimarad: 1. szint", true},
    };
    int index = 0;
    for (const Case& c : cases) {
        std::string name = "nyit" + std::to_string(++index) + ".txt";
        writeFile(name, c.bytes);
        Frame expected = boxFrame(c.message, c.question);
        quit();
        EXPECT_EQ(edit(name.c_str()), 0) << c.label;
        expectShows(expected, c.label);
        press(c.question ? SDL_SCANCODE_ESCAPE : SDL_SCANCODE_RETURN);
        quit();
        EXPECT_EQ(edit(name.c_str()), 1) << c.label;
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    // OK on a file whose every level was too large: an empty editor.
    press(SDL_SCANCODE_RETURN);
    press(SDL_SCANCODE_ESCAPE);
    quit();
    EXPECT_EQ(edit("nyit2.txt"), 1);
}

// A file that exists but cannot be read is not a new file: saving an empty
// list over it would lose its levels.
TEST_F(EditScreen, AnUnreadableFileIsNotTreatedAsNew) {
    ASSERT_EQ(mkdir("mappa", 0755), 0);
    Frame expected = boxFrame("Nem lehet megnyitni a fájlt", false);
    quit();
    EXPECT_EQ(edit("mappa"), 0);
    expectShows(expected, "a directory");
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    press(SDL_SCANCODE_RETURN);
    quit();
    EXPECT_EQ(edit("mappa"), 1);
}

TEST_F(EditScreen, SavingAnEmptyListAndAFailedSave) {
    Frame saved = boxFrame("Sikeres mentés!", false);
    ctrlPress(SDL_SCANCODE_S);
    press(SDL_SCANCODE_RETURN);
    quit();
    EXPECT_EQ(edit("ures.txt"), 0);
    expectShows(saved, "empty list saved");
    EXPECT_TRUE(fileExists("ures.txt"));
    EXPECT_EQ(readFile("ures.txt"), "");
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);

    // A name inside a missing folder: the save fails and the change stays
    // unsaved, so leaving still asks.
    Frame question = boxFrame("Biztosan szeretnél mentés nélkül kilépni?", true);
    press(SDL_SCANCODE_HOME);
    typeSize("3x1");
    click(0, 1);
    keyDown(SDL_SCANCODE_LSHIFT);
    press(SDL_SCANCODE_6);  // "/"
    keyUp(SDL_SCANCODE_LSHIFT);
    typeText("x");
    press(SDL_SCANCODE_RETURN);
    press(SDL_SCANCODE_RETURN);  // "Sikertelen mentés"
    press(SDL_SCANCODE_ESCAPE);
    quit();
    EXPECT_EQ(edit("ures.txt"), 0);
    expectShows(question, "still unsaved after a failed save");
    EXPECT_STREQ(filename, "ures.txt/x");
}

// A save must never report success when it wrote nothing, never leave a file
// of its own beside the target, and clean up what a killed game left.
TEST_F(EditScreen, SavesTellTheTruthAndLeaveNothingBehind) {
    std::string big;
    for (int i = 0; i < 2000; i++) {
        big += "; Szint\n###################\n#@$.              #\n###################\n\n";
    }
    const std::string small = "; Régi\n#####\n#@$.#\n#####\n\n";
    const std::string stale = ".szintek.txt." + std::to_string(deadPid()) + ".0.tmp";
    // pid 1 always runs: its name must stay, as must files the game did not make.
    const std::set<std::string> kept = {"szintek.txt", ".szintek.txt.1.0.tmp", ".szintek.txt.x.tmp", "jegyzet.tmp"};
    struct Case {
        const char* label;
        const std::string& before;
        std::function<void()> restrict;  // undone by `lift`
        std::function<void()> lift;
        const char* message;
        bool replaced;
        std::set<std::string> after;
    };
    const Case cases[] = {
        {"read-only file", small,
         [&] {
             // Root may write anything: drop to nobody, who may write the
             // folder but not the file.
             ASSERT_EQ(chmod(tempDir.c_str(), 0777), 0);
             ASSERT_EQ(chmod("szintek.txt", 0444), 0);
             if (geteuid() == 0) {
                 ASSERT_EQ(seteuid(65534), 0);
             }
         },
         [&] {
             if (getuid() == 0) {
                 ASSERT_EQ(seteuid(0), 0);
             }
             chmod("szintek.txt", 0644);
         },
         "Sikertelen mentés", false, {"szintek.txt"}},
        {"file-size limit", big,
         [&] {
             // As the game does, so that the write fails instead of killing.
             signal(SIGXFSZ, SIG_IGN);
             struct rlimit limit;
             getrlimit(RLIMIT_FSIZE, &limit);
             limit.rlim_cur = 4096;
             setrlimit(RLIMIT_FSIZE, &limit);
         },
         [&] {
             struct rlimit limit;
             getrlimit(RLIMIT_FSIZE, &limit);
             limit.rlim_cur = limit.rlim_max;
             setrlimit(RLIMIT_FSIZE, &limit);
             signal(SIGXFSZ, SIG_DFL);
         },
         "Sikertelen mentés", false, {"szintek.txt"}},
        {"a dead game's temporary file", small,
         [&] {
             for (const std::string& name : {stale, std::string(".szintek.txt.1.0.tmp"),
                                             std::string(".szintek.txt.x.tmp"), std::string("jegyzet.tmp")}) {
                 writeFile(name, "x");
             }
         },
         [] {}, "Sikeres mentés!", true, kept},
    };
    for (const Case& c : cases) {
        removeTree(tempDir);
        ASSERT_EQ(mkdir(tempDir.c_str(), 0700), 0);
        ASSERT_EQ(chdir(tempDir.c_str()), 0);
        writeFile("szintek.txt", c.before);
        Frame expected = boxFrame(c.message, false);
        press(SDL_SCANCODE_7);
        press(SDL_SCANCODE_RETURN);  // floor in place of the top-left wall
        ctrlPress(SDL_SCANCODE_S);
        press(SDL_SCANCODE_RETURN);
        quit();  // while the alert is shown
        c.restrict();
        int result = edit("szintek.txt");
        c.lift();
        EXPECT_EQ(result, 0) << c.label;
        expectShows(expected, c.label);
        EXPECT_EQ(readFile("szintek.txt") == c.before, !c.replaced) << c.label;
        EXPECT_EQ(folderListing(tempDir), c.after) << c.label;
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
}

// A Ctrl held while clicking a button that opens a dialog is released inside
// the dialog; the editor must not go on thinking it is held.
TEST_F(EditScreen, CtrlDoesNotStickAfterAClickThatOpensADialog) {
    struct Case {
        const char* label;
        bool changeFirst;  // the home button asks only after a change
        int x, y;
    };
    const Case cases[] = {
        {"save", false, 0, 1},   {"home", true, 0, 0},     {"add before", false, 1, 11},
        {"add after", false, 18, 11}, {"delete", false, 0, 10}, {"name row", false, 5, 11},
    };
    writeFile("szintek.txt", "; A\n#####\n#@$.#\n#####\n");
    for (const Case& c : cases) {
        if (c.changeFirst) {
            press(SDL_SCANCODE_RETURN);
        }
        keyDown(SDL_SCANCODE_LCTRL);
        click(c.x, c.y);
        keyUp(SDL_SCANCODE_LCTRL);  // swallowed by the dialog
        press(SDL_SCANCODE_ESCAPE);
        press(SDL_SCANCODE_RIGHT);
        quit();
        EXPECT_EQ(edit("szintek.txt"), 0) << c.label;
        // 5 x 3 from column 8, row 4: the cursor went right to (9, 4).
        EXPECT_TRUE(cellShows(capture(), 9, 4, {brownFloor, wall, selection})) << c.label;
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
}

// Backspace and the undo button take back a placed cell, a rename and a
// delete; leaving still asks, on the safe side.
TEST_F(EditScreen, UndoByKeyAndButtonAndTheLevelRow) {
    writeFile("szintek.txt", "; A\n#####\n#@$.#\n#####\n\n; B\n###\n#@#\n###\n");
    quit();
    edit("szintek.txt");
    Frame start = capture();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);

    press(SDL_SCANCODE_4);
    press(SDL_SCANCODE_RETURN);  // a crate
    press(SDL_SCANCODE_R);
    typeText("x");
    press(SDL_SCANCODE_RETURN);  // renamed
    press(SDL_SCANCODE_DELETE);
    press(SDL_SCANCODE_RETURN);  // deleted
    press(SDL_SCANCODE_BACKSPACE);
    click(0, 9);
    keyDown(SDL_SCANCODE_RCTRL);
    press(SDL_SCANCODE_BACKSPACE);
    keyUp(SDL_SCANCODE_RCTRL);
    press(SDL_SCANCODE_1);  // the palette as it was
    quit();
    EXPECT_EQ(edit("szintek.txt"), 0);
    expectShows(start, "every change taken back");
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);

    Frame question = boxFrame("Biztosan szeretnél mentés nélkül kilépni?", true);
    press(SDL_SCANCODE_RETURN);
    press(SDL_SCANCODE_BACKSPACE);
    press(SDL_SCANCODE_ESCAPE);
    quit();
    EXPECT_EQ(edit("szintek.txt"), 0);
    expectShows(question, "leaving asks after an undo");
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);

    writeFile("hosszu.txt", "; " + std::string(63, 'W') + "\n#####\n#@$.#\n#####\n");
    quit();
    EXPECT_EQ(edit("hosszu.txt"), 0);
    expectLevelRow(capture(), smallFont, 200, 1080, "1/1", nullptr, nullptr, 12, 300);
}

// A level made in the editor can be played and solved.
TEST_F(EditScreen, ALevelMadeHereIsPlayedAndSolved) {
    press(SDL_SCANCODE_END);
    typeSize("4x1");
    press(SDL_SCANCODE_2);
    press(SDL_SCANCODE_SPACE);  // player at 0
    press(SDL_SCANCODE_D);
    press(SDL_SCANCODE_4);
    press(SDL_SCANCODE_SPACE);  // crate at 1
    press(SDL_SCANCODE_D);
    press(SDL_SCANCODE_7);
    press(SDL_SCANCODE_SPACE);  // floor at 2, in the wall a new level starts with
    press(SDL_SCANCODE_D);
    press(SDL_SCANCODE_6);
    press(SDL_SCANCODE_SPACE);  // target at 3
    saveByKeys();
    press(SDL_SCANCODE_ESCAPE);
    quit();
    ASSERT_EQ(edit("kesz.txt"), 1);
    ASSERT_EQ(readFile("kesz.txt"), "; Névtelen szint\n@$ .\n\n");
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);

    Frame won = boxFrame("Sikeresen tejesítetted a pályát!\n2 tolás, 2 lépés", false);
    press(SDL_SCANCODE_RIGHT);
    press(SDL_SCANCODE_RIGHT);
    quit();
    EXPECT_EQ(playLevel(renderer, tiles, font, smallFont, filename), 0);
    expectShows(won, "solved on the play screen");
}

// A 7 x 3 level of floor lies from column 7, row 4.
const char* const floorLevel = "; A\n       \n       \n       \n";

TEST_F(EditScreen, AStrokePaintsEveryCellPassedAsOneUndo) {
    const std::string painted = "; A\n####   \n   #   \n   #   \n\n";
    const std::string plain = "; A\n       \n       \n       \n\n";
    struct Case {
        const char* label;
        std::function<void()> after;  // after the stroke, before the save
        std::string saved;
    };
    const Case cases[] = {
        {"the stroke", [] {}, painted},
        {"one undo takes all of it back", [&] { press(SDL_SCANCODE_BACKSPACE); }, plain},
        {"redo paints it again",
         [&] {
             press(SDL_SCANCODE_BACKSPACE);
             keyDown(SDL_SCANCODE_LSHIFT);
             press(SDL_SCANCODE_BACKSPACE);
             keyUp(SDL_SCANCODE_LSHIFT);
         },
         painted},
        {"a new change drops the redo",
         [&] {
             press(SDL_SCANCODE_BACKSPACE);
             press(SDL_SCANCODE_7);
             press(SDL_SCANCODE_RETURN);  // floor onto floor at the cursor, still a change
             keyDown(SDL_SCANCODE_LSHIFT);
             press(SDL_SCANCODE_BACKSPACE);
             keyUp(SDL_SCANCODE_LSHIFT);
         },
         plain},
    };
    for (const Case& c : cases) {
        std::string saved = savedAfter(floorLevel, [&] {
            press(SDL_SCANCODE_1);            // wall
            click(7, 4);                      // the stroke starts at (0, 0)
            moveTo(10, 4, SDL_BUTTON_LMASK);  // a quick move: (1, 0) and (2, 0) too
            moveTo(10, 6, SDL_BUTTON_LMASK);  // (3, 1) and (3, 2)
            moveTo(3, 6, SDL_BUTTON_LMASK);   // off the level: nothing
            letGo(3, 6);
            moveTo(12, 5, 0);                 // no button held: nothing
            c.after();
        });
        EXPECT_EQ(saved, c.saved) << c.label;
    }
    // A press outside the level and a move onto it place nothing; nor does
    // a move with the button held that began on a button.
    writeFile("uj.txt", floorLevel);
    press(SDL_SCANCODE_1);
    click(3, 4);
    moveTo(8, 4, SDL_BUTTON_LMASK);
    click(0, 5);  // the palette: crate
    moveTo(9, 5, SDL_BUTTON_LMASK);
    press(SDL_SCANCODE_ESCAPE);  // nothing changed: no question
    EXPECT_EQ(edit(), 1);
}

// A key while the button is held ends the stroke: an undo then takes back
// only the stroke so far, the button paints nothing more until a new press,
// and a new press starts where it is, not where the last stroke ended.
TEST_F(EditScreen, AKeyEndsTheStrokeAndANewPressStartsAfresh) {
    const std::string pasted = "; P\n###\n#@#\n\n; Q\n###\n#+#\n";
    struct Case {
        const char* label;
        int undos;  // after the release
        std::string saved;
    };
    const std::string level = "; A\n       \n       \n       \n\n";
    const Case cases[] = {
        {"the stroke undone, the paste kept", 0, level + "; P\n###\n#@#\n\n; Q\n###\n#+#\n\n"},
        {"the next undo takes the paste back alone", 1, level},
    };
    for (const Case& c : cases) {
        std::string saved = savedAfter(floorLevel, [&] {
            SDL_SetClipboardText(pasted.c_str());
            ctrlPress(SDL_SCANCODE_V);
            keyUp(SDL_SCANCODE_LCTRL);
            press(SDL_SCANCODE_PAGEDOWN);   // back to A
            press(SDL_SCANCODE_1);          // wall
            click(7, 4);
            press(SDL_SCANCODE_BACKSPACE);  // the button still held
            moveTo(9, 4, SDL_BUTTON_LMASK);
            letGo(9, 4);
            for (int i = 0; i < c.undos; i++) {
                press(SDL_SCANCODE_BACKSPACE);
            }
        });
        EXPECT_EQ(saved, c.saved) << c.label;
    }
    std::string saved = savedAfter(floorLevel, [&] {
        press(SDL_SCANCODE_1);
        click(9, 6);  // a stroke from (2, 2) to (3, 2)
        moveTo(10, 6, SDL_BUTTON_LMASK);
        letGo(10, 6);
        click(7, 4);  // a new one from (0, 0) to (1, 0)
        moveTo(8, 4, SDL_BUTTON_LMASK);
        letGo(8, 4);
    });
    EXPECT_EQ(saved, "; A\n##     \n       \n  ##   \n\n");
}

TEST_F(EditScreen, LevelsGoToAndComeFromTheClipboard) {
    writeFile("uj.txt", "; A\n#####\n#@$.#\n#####\n\n; B\n###\n#@#\n");
    ctrlPress(SDL_SCANCODE_C);
    keyUp(SDL_SCANCODE_LCTRL);
    press(SDL_SCANCODE_C);  // without Ctrl: nothing
    press(SDL_SCANCODE_V);
    quit();
    SDL_SetClipboardText("");
    EXPECT_EQ(edit(), 0);
    char* copied = SDL_GetClipboardText();
    EXPECT_STREQ(copied, "; A\n#####\n#@$.#\n#####\n") << "its name line and rows, as a file holds them";
    SDL_free(copied);

    const std::string two = "; Egy\n#####\n#@$.#\n#####\n\nmegjegyzés\n; Kettő\n####\n#@*#\n####\n";
    struct Case {
        const char* label;
        std::string clipboard;
        std::vector<SDL_Scancode> after;  // after Ctrl+V, before the save
        std::string saved;                // empty: a message and the file as it was
        const char* message;
    };
    const std::string a = "; A\n#####\n#@$.#\n#####\n\n";
    const std::string b = "; B\n###\n#@#\n\n";
    const std::string pasted = "; Egy\n#####\n#@$.#\n#####\n\n; Kettő\n####\n#@*#\n####\n\n";
    const Case cases[] = {
        {"one level, after the current one", "; Új\n###\n#+#\n", {}, a + "; Új\n###\n#+#\n\n" + b, nullptr},
        {"without a final line end", "; Új\n###\n#+#", {}, a + "; Új\n###\n#+#\n\n" + b, nullptr},
        {"two levels and a comment", two, {}, a + pasted + b, nullptr},
        {"taken back in one", two, {SDL_SCANCODE_BACKSPACE}, a + b, nullptr},
        {"and pasted again by redo", two, {SDL_SCANCODE_BACKSPACE, SDL_SCANCODE_RSHIFT}, a + pasted + b, nullptr},
        {"no level", "szia, ezt nézd meg", {}, "", "A vágólapon nincs pálya"},
        {"nothing at all", "", {}, "", "A vágólapon nincs pálya"},
        {"bad characters", "; Rossz\n#####\n#@$x#\n", {}, "", "A fájl hibás karaktereket tartalmaz"},
    };
    for (const Case& c : cases) {
        writeFile("uj.txt", a + b);
        SDL_SetClipboardText(c.clipboard.c_str());
        ctrlPress(SDL_SCANCODE_V);
        keyUp(SDL_SCANCODE_LCTRL);
        if (c.message != nullptr) {
            quit();
            EXPECT_EQ(edit(), 0) << c.label;
            expectBox(capture(), c.message, false, c.label);
            EXPECT_EQ(readFile("uj.txt"), a + b) << c.label;
            continue;
        }
        for (SDL_Scancode key : c.after) {
            if (key == SDL_SCANCODE_RSHIFT) {
                keyDown(key);
                press(SDL_SCANCODE_BACKSPACE);
                keyUp(key);
            } else {
                press(key);
            }
        }
        saveByKeys();
        quit();
        EXPECT_EQ(edit(), 0) << c.label;
        EXPECT_EQ(readFile("uj.txt"), c.saved) << c.label;
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
}

TEST_F(EditScreen, APastedLevelTooLargeIsAskedAbout) {
    const std::string a = "; A\n###\n#@#\n\n";
    const std::string wide = "; Széles\n" + std::string(65, '#') + "\n\n; Jó\n###\n#+#\n";
    for (bool ok : {true, false}) {
        writeFile("uj.txt", a);
        SDL_SetClipboardText(wide.c_str());
        ctrlPress(SDL_SCANCODE_V);
        keyUp(SDL_SCANCODE_LCTRL);
        press(ok ? SDL_SCANCODE_RETURN : SDL_SCANCODE_ESCAPE);
        saveByKeys();
        quit();
        EXPECT_EQ(edit(), 0);
        EXPECT_EQ(readFile("uj.txt"), ok ? a + "; Jó\n###\n#+#\n\n" : a) << (ok ? "OK: what fitted" : "Mégse");
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
}


// Ctrl+P and its button play the level as it stands on the real play
// screen; the win's message or Escape brings the editor back as it was
// (level, cursor, undo, the unsaved mark), and nothing of the try is
// written or kept.
TEST_F(EditScreen, ALevelIsTriedAndTheEditorComesBackAsItWas) {
    const std::string level = "; A\n#######\n#@ $ .#\n#######\n";
    const SDL_Scancode right = SDL_SCANCODE_RIGHT, enter = SDL_SCANCODE_RETURN, escape = SDL_SCANCODE_ESCAPE,
                       back = SDL_SCANCODE_BACKSPACE, ctrlP = SDL_NUM_SCANCODES, button = SDL_SCANCODE_UNKNOWN;
    auto frameAfter = [&](const std::vector<SDL_Scancode>& keys) {
        writeFile("uj.txt", level);
        press(SDL_SCANCODE_1);
        press(SDL_SCANCODE_RETURN);  // a wall over the corner's wall: unsaved
        for (SDL_Scancode key : keys) {
            if (key == ctrlP) {
                ctrlPress(SDL_SCANCODE_P);
                keyUp(SDL_SCANCODE_LCTRL);
            } else if (key == button) {
                click(16, 11);
            } else {
                press(key);
            }
        }
        quit();
        EXPECT_EQ(edit(), 0);
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        return capture();
    };
    struct Case {
        const char* label;
        std::vector<SDL_Scancode> keys, same;  // two ways to the same editor
    };
    const Case cases[] = {
        {"won and back", {ctrlP, right, right, right, enter}, {}},
        {"left by Escape", {ctrlP, right, escape}, {}},
        {"by the button, and the edit taken back", {button, right, right, right, enter, back}, {back}},
        {"still unsaved", {ctrlP, escape, escape}, {escape}},
    };
    for (const Case& c : cases) {
        Frame tried = frameAfter(c.keys);
        EXPECT_TRUE(tried.pixels == frameAfter(c.same).pixels) << c.label;
        EXPECT_EQ(readFile("uj.txt"), level) << c.label << ": nothing written";
    }
    EXPECT_FALSE(fileExists(resultsPath())) << "no record of a try";
    // A level the play screen would refuse is told why.
    writeFile("uj.txt", "; B\n#####\n# $.#\n#####\n");
    ctrlPress(SDL_SCANCODE_P);
    quit();
    EXPECT_EQ(edit(), 0);
    expectBox(capture(), "A pályán nincs játékos", false, "no player");
}

// Ctrl+T and the test button tell whether the level on screen can be
// solved: the play screen's refusal in a sentence, else the solver's
// answer; the redo button does again what undo took back.
TEST_F(EditScreen, TheTestTellsWhetherALevelCanBeSolved) {
    struct Case {
        const char* label;
        std::string level;
        bool byButton;
        const char* message;
    };
    const Case cases[] = {
        {"solvable", "; A\n#######\n#@ $ .#\n#######\n", false, "Megoldható: 2 tolás"},
        {"by the button", "; A\n#######\n#@ $ .#\n#######\n", true, "Megoldható: 2 tolás"},
        {"a crate in a corner", "; A\n######\n#$   #\n#  @.#\n######\n", false, "Nem megoldható"},
        {"no player", "; A\n#####\n# $.#\n#####\n", false, "A pályán nincs játékos"},
        {"two players", "; A\n#######\n#@$.@ #\n#######\n", true, "A pályán több játékos is van"},
        {"fewer crates than targets", "; A\n######\n#@$..#\n######\n", false, "A pályán kevesebb a láda, mint a cél"},
        {"a target under the player counts", "; A\n######\n#+$ .#\n######\n", false,
         "A pályán kevesebb a láda, mint a cél"},
        {"a frozen pair in an open room: at once",
         "; A\n###################\n#@                #\n#$                #\n#$$      ...      #\n"
         "#                 #\n#                 #\n#                 #\n#                 #\n#                 #\n"
         "#                 #\n###################\n",
         false, "Nem megoldható"},
    };
    for (const Case& c : cases) {
        writeFile("uj.txt", c.level);
        if (c.byButton) {
            click(17, 11);
        } else {
            ctrlPress(SDL_SCANCODE_T);
        }
        quit();
        EXPECT_EQ(edit(), 0) << c.label;
        expectBox(capture(), c.message, false, c.label);
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    // "Nem megoldható" crosses out the crate the rules tell lost (6 x 4 from
    // column 7, row 3), until the next change.
    for (bool edited : {false, true}) {
        writeFile("uj.txt", "; A\n######\n#$   #\n#  @.#\n######\n");
        ctrlPress(SDL_SCANCODE_T);
        keyUp(SDL_SCANCODE_LCTRL);
        press(SDL_SCANCODE_RETURN);
        if (edited) {
            press(SDL_SCANCODE_RETURN);
        }
        quit();
        EXPECT_EQ(edit(), 0);
        EXPECT_EQ(cellShows(capture(), 8, 4, {brownFloor, crate, lost}), !edited) << edited;
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    // A search too long to wait for: Escape stops it and the editor goes on;
    // the button redoes the cell undo took back.
    writeFile("uj.txt",
              "; Nagy terem\n###################\n#@                #\n#  $  $  $  $  $  #\n#        $        #\n"
              "#  $  $  $  $  $  #\n#        $        #\n#     ##   ##     #\n#        $        #\n"
              "#  ...# ... #...  #\n#  .            . #\n###################\n");
    ctrlPress(SDL_SCANCODE_T);
    press(SDL_SCANCODE_ESCAPE);
    keyUp(SDL_SCANCODE_LCTRL);
    press(SDL_SCANCODE_7);
    press(SDL_SCANCODE_RETURN);  // floor over the top-left wall
    press(SDL_SCANCODE_BACKSPACE);
    click(2, 11);
    saveByKeys();
    quit();
    Uint32 start = SDL_GetTicks();
    EXPECT_EQ(edit(), 0);
    EXPECT_LT(SDL_GetTicks() - start, 3000u) << "stopped well before the search's own end";
    EXPECT_EQ(readFile("uj.txt").substr(0, 22), "; Nagy terem\n ########") << "the cell placed again";
}

}  // namespace
