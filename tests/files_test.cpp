// The list of level files at the file prompt.
#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include "harness.h"
#include "input.h"
#include "results.h"

namespace {

std::string levels(int count, int width) {
    std::string text;
    for (int i = 0; i < count; i++) {
        std::string wall(static_cast<size_t>(width + i), '#');
        text += "; " + std::to_string(i + 1) + "\n" + wall + "\n#@$." + std::string(static_cast<size_t>(width + i - 5), ' ') +
                "#\n" + wall + "\n\n";
    }
    return text;
}

class FileList : public ScreenTest {
  protected:
    void SetUp() override {
        ScreenTest::SetUp();
        data = std::string(std::getenv("XDG_DATA_HOME")) + "/boxtolo";
        std::string command = "mkdir -p '" + data + "' masik";
        ASSERT_EQ(std::system(command.c_str()), 0);
        writeFile("palyak.txt", levels(2, 5));
        writeFile("b.txt", levels(1, 9));
        writeFile("a.txt", levels(3, 12));
        writeFile("jegyzet.txt", "ez nem pálya\n#x#\n");
        writeFile(".rejtett.txt", levels(1, 5));
        // A level too large is left out, the file listed with the others.
        writeFile("z.txt", std::string(65, '#') + "\n\n" + levels(1, 7));
        writeFile(data + "/c.txt", levels(1, 20));
        writeFile(data + "/a.txt", levels(1, 30));
        // One level of a.txt solved.
        Level* list = levelsFromText(levels(3, 12));
        recordStart(resultsPath(), levelIdentity(list->next), startRows(list->next));
        recordWin(resultsPath(), levelIdentity(list->next), Win{1, 1, "R"});
        unloadLevel(list);
    }
    int prompt() { return fileInput(renderer, tiles, font, name); }

    std::string data;
    char name[64] = "gepelt.txt";
};

// Tab or the button beside the field list the level files of the working
// and the data folder, the bundled one first and the rest by name: a file
// chosen is the name, confirmed; Escape goes back to typing.
TEST_F(FileList, AFileIsChosenFromTheListByKeysOrClicks) {
    const int tab = SDL_SCANCODE_TAB, down = SDL_SCANCODE_DOWN, enter = SDL_SCANCODE_RETURN, end = SDL_SCANCODE_END,
              clickButton = -1, clickSecondRow = -2, shiftDown = -3, shiftUp = -4;
    struct Case {
        const char* label;
        std::vector<int> input;
        int result;
        std::string chosen;
    };
    const Case cases[] = {
        {"Tab and Enter: the bundled file", {tab, enter}, dialogOk, "palyak.txt"},
        {"down a row", {tab, down, enter}, dialogOk, "a.txt"},
        {"the last: a file with a level too large", {tab, end, enter}, dialogOk, "z.txt"},
        {"the data folder's", {tab, end, SDL_SCANCODE_UP, enter}, dialogOk, data + "/c.txt"},
        {"the same name in the data folder", {tab, down, down, enter}, dialogOk, data + "/a.txt"},
        {"by clicks", {clickButton, clickSecondRow}, dialogOk, "a.txt"},
        {"back to typing", {tab, SDL_SCANCODE_ESCAPE, enter}, dialogOk, "gepelt.txt"},
        {"a Shift held into the list let go there", {shiftDown, tab, shiftUp, SDL_SCANCODE_ESCAPE, SDL_SCANCODE_B, enter},
         dialogOk, "gepelt.txtb"},
    };
    for (const Case& c : cases) {
        std::strcpy(name, "gepelt.txt");
        for (int key : c.input) {
            if (key == clickButton) {
                click(16, 3);
            } else if (key == clickSecondRow) {
                click(5, 2);
            } else if (key == shiftDown || key == shiftUp) {
                key == shiftDown ? keyDown(SDL_SCANCODE_LSHIFT) : keyUp(SDL_SCANCODE_LSHIFT);
            } else {
                press(static_cast<SDL_Scancode>(key));
            }
        }
        quit();
        EXPECT_EQ(prompt(), c.result) << c.label;
        EXPECT_EQ(std::string(name), c.chosen) << c.label;
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    press(SDL_SCANCODE_TAB);
    quit();
    EXPECT_EQ(prompt(), dialogClosed) << "the window closed in the list";
}

// Each row tells the file's levels and how many the player solved; what is
// no level file is not listed; hundreds of files list at once.
TEST_F(FileList, RowsCountLevelsAndSolvedOnesAndManyFilesListAtOnce) {
    press(SDL_SCANCODE_TAB);
    quit();
    EXPECT_EQ(prompt(), dialogClosed);
    Frame frame = capture();
    // Rows from row 1: palyak.txt, a.txt, a.txt (adatmappa), b.txt, c.txt,
    // z.txt.
    int width = 0;
    TTF_SizeUTF8(font, "00/00", &width, nullptr);
    const char* counts[] = {"0/2", "1/3", "0/1", "0/1", "0/1", "0/1"};
    for (int row = 0; row < 6; row++) {
        SDL_Rect right{1216 - 16 - width, (row + 1) * 64, width + 16, 64};
        EXPECT_EQ(countColor(frame, right, 255, 255, 255, 0), inkPixels(font, counts[row])) << row;
    }
    EXPECT_EQ(countColor(frame, cellsRect(1, 7, 18, 10), 255, 255, 255, 0), 0) << "six files, no more";
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);

    for (int i = 0; i < 300; i++) {
        writeFile("sok" + std::to_string(i) + ".txt", levels(1 + i % 5, 6));
    }
    press(SDL_SCANCODE_TAB);
    press(SDL_SCANCODE_PAGEUP);
    press(SDL_SCANCODE_RETURN);
    quit();
    Uint32 start = SDL_GetTicks();
    EXPECT_EQ(prompt(), dialogOk);
    EXPECT_LT(SDL_GetTicks() - start, 3000u) << "three hundred files at once";
    EXPECT_STREQ(name, "sok102.txt") << "the first of the second page, by name after the bundled file";
}

}  // namespace
