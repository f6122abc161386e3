#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "choose.h"
#include "harness.h"
#include "input.h"
#include "play.h"
#include "results.h"

namespace {

// Fourteen one-push levels, each a corridor of its own length, so that no
// two share an identity: level i is 5 + i cells wide.
std::string corridors() {
    std::string text;
    for (int i = 0; i < 14; i++) {
        std::string wall(5 + static_cast<size_t>(i), '#');
        text += "; Folyosó " + std::to_string(i + 1) + "\n" + wall + "\n#@$." + std::string(static_cast<size_t>(i), ' ') +
                "#\n" + wall + "\n\n";
    }
    return text;
}

class LevelChooser : public ScreenTest {
  protected:
    void SetUp() override {
        ScreenTest::SetUp();
        writeFile("szintek.txt", corridors());
        LoadLevelResult loaded = loadLevel(const_cast<char*>("szintek.txt"));
        levels = loaded.level;
        for (const Level* level = levels; level != nullptr; level = level->next) {
            identities.push_back(levelIdentity(level));
        }
    }
    void TearDown() override {
        unloadLevel(levels);
        ScreenTest::TearDown();
    }
    // Level i solved from its first start in `moves` (odd) moves with its
    // one push: the push, then steps back and forth.
    void solve(int i, int moves = 1) {
        const Level* level = levels;
        for (int k = 0; k < i; k++) {
            level = level->next;
        }
        recordStart(resultsPath(), identities[static_cast<size_t>(i)], startRows(level));
        std::string solution = "R";
        while (static_cast<int>(solution.size()) < moves) {
            solution += "lr";
        }
        recordWin(resultsPath(), identities[static_cast<size_t>(i)], Win{moves, 1, solution});
    }
    // The proven least pushes of every level: one.
    void knowTheOptimum() {
        std::string text = "# name\tpushes\tpositions searched\tmoves\tidentity\n";
        for (uint64_t identity : identities) {
            char hex[17];
            std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(identity));
            text += "Folyosó\t1\t1\tR\t" + std::string(hex) + "\n";
        }
        writeFile("palyak.solutions", text);
    }
    int choose(int* index) { return chooseLevel(renderer, tiles, font, smallFont, levels, index); }

    Level* levels = nullptr;
    std::vector<uint64_t> identities;
};

TEST_F(LevelChooser, TheCursorStartsOnTheNextUnsolvedLevel) {
    for (int i : {0, 1, 2, 5, 13}) {
        solve(i);
    }
    struct Case {
        int current;
        int cursor;
    };
    const Case cases[] = {{0, 3}, {3, 3}, {5, 6}, {13, 3}, {12, 12}};
    for (const Case& c : cases) {
        int index = c.current;
        press(SDL_SCANCODE_RETURN);
        EXPECT_EQ(choose(&index), choosePlay) << c.current;
        EXPECT_EQ(index, c.cursor) << "from " << c.current;
    }
    for (int i = 0; i < 14; i++) {
        solve(i);
    }
    int index = 9;
    press(SDL_SCANCODE_RETURN);
    EXPECT_EQ(choose(&index), choosePlay);
    EXPECT_EQ(index, 9) << "every level solved: the current one";
}

TEST_F(LevelChooser, KeysMoveTheCursorAndTurnPages) {
    struct Case {
        const char* label;
        std::vector<SDL_Scancode> keys;
        int chosen;
    };
    // Four levels a row, twelve a page; the cursor stays within the list.
    const Case cases[] = {
        {"right", {SDL_SCANCODE_RIGHT}, 6},
        {"D", {SDL_SCANCODE_D}, 6},
        {"down", {SDL_SCANCODE_DOWN}, 9},
        {"S", {SDL_SCANCODE_S}, 9},
        {"left, up", {SDL_SCANCODE_LEFT, SDL_SCANCODE_UP}, 0},
        {"A, W", {SDL_SCANCODE_A, SDL_SCANCODE_W}, 0},
        {"up past the first", {SDL_SCANCODE_UP, SDL_SCANCODE_UP, SDL_SCANCODE_LEFT}, 0},
        {"page up", {SDL_SCANCODE_PAGEUP}, 13},
        {"page up, page down", {SDL_SCANCODE_PAGEUP, SDL_SCANCODE_PAGEDOWN}, 1},
        {"down past the last", {SDL_SCANCODE_DOWN, SDL_SCANCODE_DOWN, SDL_SCANCODE_DOWN, SDL_SCANCODE_RIGHT}, 13},
        {"keys that do nothing", {SDL_SCANCODE_TAB, SDL_SCANCODE_X, SDL_SCANCODE_F1}, 5},
    };
    for (const Case& c : cases) {
        int index = 5;
        for (SDL_Scancode key : c.keys) {
            press(key);
        }
        press(SDL_SCANCODE_RETURN);
        EXPECT_EQ(choose(&index), choosePlay) << c.label;
        EXPECT_EQ(index, c.chosen) << c.label;
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    int index = 5;
    press(SDL_SCANCODE_RIGHT);
    press(SDL_SCANCODE_ESCAPE);
    EXPECT_EQ(choose(&index), chooseBack);
    EXPECT_EQ(index, 5) << "Escape keeps the level that was open";
    quit();
    EXPECT_EQ(choose(&index), chooseClosed);
}

TEST_F(LevelChooser, ClicksChooseLevelsAndTurnPages) {
    // Slots of 304 x 234 pixels right of column 0: four across, three down.
    auto slot = [](int i, int* x, int* y) {
        *x = 64 + (i % 4) * 304 + 152;
        *y = (i / 4) * 234 + 117;
    };
    struct Case {
        const char* label;
        std::vector<std::pair<int, int>> cells;  // cells clicked first
        int slotClicked;
        int result;
        int chosen;
    };
    const Case cases[] = {
        {"a level", {}, 6, choosePlay, 6},
        {"the next page", {{19, 11}}, 1, choosePlay, 13},
        {"there and back", {{19, 11}, {0, 11}}, 2, choosePlay, 2},
        {"an empty slot, then home", {{19, 11}}, 5, chooseBack, 0},
        {"a bar of grey, then home", {{0, 5}}, -1, chooseBack, 0},
    };
    for (const Case& c : cases) {
        int index = 0;
        for (const auto& cell : c.cells) {
            click(cell.first, cell.second, SDL_BUTTON_RIGHT);
        }
        if (c.slotClicked >= 0) {
            int x = 0, y = 0;
            slot(c.slotClicked, &x, &y);
            clickPixel(x, y);
        }
        click(0, 0);
        EXPECT_EQ(choose(&index), c.result) << c.label;
        EXPECT_EQ(index, c.chosen) << c.label;
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
}

// The next-page arrow turns to a following page whatever the count, a whole
// number of pages included, and is drawn only where one follows.
TEST_F(LevelChooser, TheNextPageArrowTurnsEveryPage) {
    struct Case {
        int count;
        int from;
        bool drawn;
        int chosen;  // after the arrow and Enter
    };
    const Case cases[] = {{24, 5, true, 17}, {24, 17, false, 23}, {12, 5, false, 11}, {13, 5, true, 12},
                          {36, 13, true, 25}};
    for (const Case& c : cases) {
        std::string text;
        for (int i = 0; i < c.count; i++) {
            std::string wall(5 + static_cast<size_t>(i % 14), '#');
            text += wall + "\n#@$." + std::string(static_cast<size_t>(i % 14), ' ') + "#\n" + wall + "\n\n";
        }
        Level* list = levelsFromText(text);
        ASSERT_EQ(countLevels(list), c.count);
        int index = c.from;
        quit();
        EXPECT_EQ(chooseLevel(renderer, tiles, font, smallFont, list, &index), chooseClosed);
        EXPECT_EQ(cellShows(capture(), 19, 11, {greyFloor, right}), c.drawn) << c.count << " from " << c.from;
        click(19, 11);
        press(SDL_SCANCODE_RETURN);
        EXPECT_EQ(chooseLevel(renderer, tiles, font, smallFont, list, &index), choosePlay);
        EXPECT_EQ(index, c.chosen) << c.count << " from " << c.from;
        unloadLevel(list);
    }
}

// Solved levels lie on green floor, a best equal to the proven least pushes
// has a star, and the bottom row tells the best and the least.
TEST_F(LevelChooser, ShowsSolvedLevelsStarsAndResults) {
    knowTheOptimum();
    solve(0);     // the least pushes: a star
    solve(1, 3);  // the same pushes in more moves: a star too
    int index = 2;
    quit();
    EXPECT_EQ(choose(&index), chooseClosed);
    Frame frame = capture();
    const int slotX[] = {64, 368, 672};
    for (int i = 0; i < 3; i++) {
        SDL_Rect corner{slotX[i] + 8, 200, 40, 30};
        EXPECT_EQ(countColor(frame, corner, 0x6b, 0x71, 0x7a, 30) > 600, i == 2) << "slot " << i << ": grey or green";
        SDL_Rect star{slotX[i] + 304 - 40, 4, 36, 36};
        EXPECT_EQ(countColor(frame, star, 255, 214, 64, 10) > 10, i < 2) << "slot " << i << ": the star";
    }
    // The cursor on level 3, unsolved: its least pushes on the right, one
    // line; on a solved level the best stands above them.
    SDL_Rect right{900, 704, 308, 64};
    int unsolvedRow = countColor(frame, right, 255, 255, 255, 0);
    EXPECT_GT(unsolvedRow, 50) << "Legkevesebb tolás: 1";
    index = 0;
    for (int i = 0; i < 14; i++) {
        solve(i, 3);
    }
    quit();
    EXPECT_EQ(choose(&index), chooseClosed);
    EXPECT_GT(countColor(capture(), right, 255, 255, 255, 0), unsolvedRow + 50) << "Legjobb: 3 lépés, 1 tolás too";
}

// The row's left end tells the page and the solved count; the wheel turns
// pages, Home and End go to the ends, the cursor follows the mouse over
// the levels, and a button under the mouse says what it does.
// The left end of the row tells the page of pages and the levels solved,
// a level solved with a hint among them, both lines whole within the row.
TEST_F(LevelChooser, TheRowCountsPagesAndSolvedLevelsWhole) {
    struct Case {
        int count, from, solved, hinted;
        const char* standing;
    };
    const Case cases[] = {
        {12, 0, 0, 0, "1/1. oldal\nMegoldva: 0/12"},
        {24, 13, 1, 0, "2/2. oldal\nMegoldva: 1/24"},
        {36, 0, 0, 2, "1/3. oldal\nMegoldva: 2/36"},
        {13, 12, 3, 1, "2/2. oldal\nMegoldva: 4/13"},
    };
    for (const Case& c : cases) {
        removeTree(std::getenv("XDG_DATA_HOME"));
        std::string text;
        for (int i = 0; i < c.count; i++) {
            std::string wall(5 + static_cast<size_t>(i % 14), '#');
            std::string inner = "#@$." + std::string(static_cast<size_t>(i % 14), ' ') + "#";
            inner[inner.size() - 2] = i >= 14 ? '#' : inner[inner.size() - 2];  // each level its own
            text += wall + "\n" + inner + "\n" + wall + "\n" + (i >= 28 ? wall + "\n" : "") + "\n";
        }
        Level* list = levelsFromText(text);
        const Level* level = list;
        for (int i = 0; i < c.solved + c.hinted; i++, level = level->next) {
            recordStart(resultsPath(), levelIdentity(level), startRows(level));
            recordWin(resultsPath(), levelIdentity(level), Win{1, 1, "R"}, i >= c.solved);
        }
        int index = c.from;
        quit();
        EXPECT_EQ(chooseLevel(renderer, tiles, font, smallFont, list, &index), chooseClosed);
        int width = 0, height = 0;
        TTF_SizeUTF8(smallFont, "Megoldva: 00/00", &width, &height);
        SDL_Rect left{72, 704, width, 64};
        EXPECT_EQ(countColor(capture(), left, 255, 255, 255, 0), inkPixels(smallFont, c.standing)) << c.standing;
        SDL_Rect edges[] = {{left.x, 704, left.w, 1}, {left.x, 767, left.w, 1}};
        for (SDL_Rect edge : edges) {
            EXPECT_EQ(countColor(capture(), edge, 255, 255, 255, 0), 0) << c.standing << ": clear of the row's edges";
        }
        unloadLevel(list);
    }
}

TEST_F(LevelChooser, TheRowSaysWhereThePlayerStandsAndTheMouseLeads) {
    auto motion = [](int x, int y) {
        SDL_Event event{};
        event.type = SDL_MOUSEMOTION;
        event.motion.x = x;
        event.motion.y = y;
        SDL_PushEvent(&event);
    };
    auto wheel = [](int y) {
        SDL_Event event{};
        event.type = SDL_MOUSEWHEEL;
        event.wheel.y = y;
        SDL_PushEvent(&event);
    };
    struct Case {
        const char* label;
        std::function<void()> input;
        int chosen;
    };
    const Case cases[] = {
        {"End", [&] { press(SDL_SCANCODE_END); }, 13},
        {"End, then Home", [&] { press(SDL_SCANCODE_END); press(SDL_SCANCODE_HOME); }, 0},
        {"the wheel towards the player", [&] { wheel(-1); }, 13},
        {"and back", [&] { wheel(-1); wheel(1); }, 1},
        {"the mouse over the seventh level", [&] { motion(64 + 2 * 304 + 100, 234 + 100); }, 6},
        {"over a button: the cursor stays", [&] { motion(20, 20); }, 5},
    };
    for (const Case& c : cases) {
        int index = 5;
        c.input();
        press(SDL_SCANCODE_RETURN);
        EXPECT_EQ(choose(&index), choosePlay) << c.label;
        EXPECT_EQ(index, c.chosen) << c.label;
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    // The left end differs by page and by the count solved; the middle says
    // what the home button does while the mouse rests on it.
    SDL_Rect left{72, 704, 300, 64}, middle{400, 704, 480, 64};
    auto rowOf = [&](std::function<void()> before, int index, SDL_Rect area) {
        return areaAfter(before, [&] { return choose(&index); }, area);
    };
    auto nothing = [] {};
    EXPECT_NE(rowOf(nothing, 0, left), rowOf(nothing, 13, left)) << "1/2. oldal, 2/2. oldal";
    std::vector<uint32_t> noneSolved = rowOf(nothing, 0, left);
    solve(3);
    EXPECT_NE(rowOf(nothing, 0, left), noneSolved) << "Megoldva: 1/14";
    EXPECT_GT(countColor(capture(), left, 255, 255, 255, 0), 100);
    EXPECT_NE(rowOf([&] { motion(20, 20); }, 0, middle), rowOf(nothing, 0, middle)) << "Vissza a pályához (Escape)";
}

class ChooserFromPlay : public ScreenTest {
  protected:
    int play() {
        std::strcpy(filename, "szintek.txt");
        return playLevel(renderer, tiles, font, smallFont, filename);
    }
    char filename[64] = {};
};

// A win keeps its record; Tab and Enter then go on to the next unsolved
// level, leaving an unsolved level with moves asks first, and Escape in the
// chooser returns to the level as it was.
TEST_F(ChooserFromPlay, TabAndEnterContinueTheCampaign) {
    writeFile("szintek.txt", corridors());
    press(SDL_SCANCODE_RIGHT);   // level 1 solved
    press(SDL_SCANCODE_RETURN);  // the win alert
    press(SDL_SCANCODE_TAB);
    press(SDL_SCANCODE_RETURN);  // the next unsolved: level 2
    quit();
    EXPECT_EQ(play(), 0);
    Frame frame = capture();
    // Level 2 is 6 x 3: it starts at column 7, the player at (8, 5).
    EXPECT_TRUE(cellShows(frame, 8, 5, {brownFloor, player}));
    EXPECT_TRUE(cellShows(frame, 9, 5, {brownFloor, crate}));
    Results results = readResults(resultsPath());
    Level* list = levelsFromText(corridors());
    ASSERT_EQ(results.size(), 2u) << "the first starts of the two levels opened";
    EXPECT_EQ(results[levelIdentity(list)].byPushes.solution, "R") << "a best: played from the first start";
    EXPECT_FALSE(results[levelIdentity(list->next)].solved());
    unloadLevel(list);

    // A walk on level 2, then the chooser by its button: the question.
    Frame question = boxFrame("Szeretnéd eltárolni a módosításaidat?", true);
    press(SDL_SCANCODE_TAB);
    press(SDL_SCANCODE_RETURN);  // level 1 is solved: level 2
    press(SDL_SCANCODE_LEFT);    // a refused move is a move too
    click(0, 10);
    press(SDL_SCANCODE_RIGHT);
    press(SDL_SCANCODE_RETURN);  // level 3
    quit();
    EXPECT_EQ(play(), 0);
    expectShows(question, "the store question before another level");

    // Escape in the chooser: back to the level with its moves, no question.
    press(SDL_SCANCODE_LEFT);
    press(SDL_SCANCODE_TAB);
    press(SDL_SCANCODE_ESCAPE);
    press(SDL_SCANCODE_ESCAPE);  // leaving the game asks: the move is unsaved
    quit();
    EXPECT_EQ(play(), 0);
    expectBox(capture(), "Biztosan szeretnél mentés nélkül kilépni?", true, "the leave question");
}

}  // namespace
