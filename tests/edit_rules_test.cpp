// The editor's level operations are file-local to the editor screen; this
// test compiles that file into itself to reach them directly.
#include "../src/edit.cpp"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "harness.h"

namespace {

TEST(SizeEntry, AcceptsWhatTheSizePromptAllows) {
    struct Case {
        const char* text;
        bool accepted;
        int width, height;
    };
    const Case cases[] = {
        {"7x5", true, 7, 5},
        {"19x11", true, 19, 11},
        {"1x1", true, 1, 1},
        {"2x1", true, 2, 1},
        {"3x11", true, 3, 11},
        {" 7x 5", true, 7, 5},
        {"\t7x\n5", true, 7, 5},
        {"7x5abc", true, 7, 5},
        {"+7x+5", true, 7, 5},
        {"007x05", true, 7, 5},
        {"20x5", true, 20, 5},
        {"5x12", true, 5, 12},
        {"64x64", true, 64, 64},
        {"65x5", false, 0, 0},
        {"5x65", false, 0, 0},
        {"0x3", false, 0, 0},
        {"-3x4", false, 0, 0},
        {"7 x5", false, 0, 0},
        {"7X5", false, 0, 0},
        {"7", false, 0, 0},
        {"7x", false, 0, 0},
        {"x5", false, 0, 0},
        {"", false, 0, 0},
        {"7x- 5", false, 0, 0},
        // Numbers an int cannot hold are refused, never wrapped.
        {"4294967297x5", false, 0, 0},
        {"7x4294967301", false, 0, 0},
        {"99999999999999999999999x5", false, 0, 0},
        {"2147483647x5", false, 0, 0},
        {"-2147483648x5", false, 0, 0},
        // One- and two-cell wide levels taller than a row cannot be stored.
        {"1x2", false, 0, 0},
        {"2x11", false, 0, 0},
    };
    for (const Case& c : cases) {
        Coordinates size{0, 0};
        EXPECT_EQ(parseSize(c.text, &size), c.accepted) << "\"" << c.text << "\"";
        if (c.accepted) {
            EXPECT_EQ(size.x, c.width) << c.text;
            EXPECT_EQ(size.y, c.height) << c.text;
        }
    }
}

class EditorLists : public ScreenTest {
  protected:
    void SetUp() override {
        ScreenTest::SetUp();
        state = openState(renderer, tiles, font, smallFont, filename, nullptr);
    }
    void TearDown() override {
        releasePicture(&state.picture);
        dropHistory(&state.history);
        unloadLevel(state.firstLevel);
        ScreenTest::TearDown();
    }
    // Adds a level named after its width, typed at the size prompt.
    void add(bool after, int width) {
        typeText((std::to_string(width) + "x1").c_str());
        press(SDL_SCANCODE_RETURN);
        quit();
        addLevel(&state, after);
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    void remove(bool confirm) {
        press(confirm ? SDL_SCANCODE_RETURN : SDL_SCANCODE_ESCAPE);
        quit();
        deleteCurrent(&state);
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    // The widths of the list in order, after checking every link both ways.
    std::vector<int> widths() {
        std::vector<int> seen;
        const Level* previous = nullptr;
        bool currentFound = state.level == nullptr;
        for (const Level* level = state.firstLevel; level != nullptr; level = level->next) {
            EXPECT_EQ(level->prev, previous);
            currentFound = currentFound || level == state.level;
            seen.push_back(level->size.x);
            previous = level;
        }
        EXPECT_TRUE(currentFound) << "the current level is in the list";
        return seen;
    }

    EditState state{};
    char filename[64] = "lista.txt";
};

TEST_F(EditorLists, AddingLinksBeforeAndAfter) {
    add(true, 5);  // into the empty list
    EXPECT_EQ(widths(), (std::vector<int>{5}));
    EXPECT_TRUE(state.unsaved);
    EXPECT_STREQ(state.level->name, "Névtelen szint");
    EXPECT_EQ(levelRows(state.level), (std::vector<std::string>{"#####"})) << "a one-row room is all edge";
    add(false, 3);  // before the first
    EXPECT_EQ(widths(), (std::vector<int>{3, 5}));
    EXPECT_EQ(state.level->size.x, 3);
    add(true, 4);  // after the first, in the middle
    EXPECT_EQ(widths(), (std::vector<int>{3, 4, 5}));
    state.level = state.level->next;  // to the last
    add(true, 9);  // after the last
    EXPECT_EQ(widths(), (std::vector<int>{3, 4, 5, 9}));
    state.level = state.firstLevel->next;  // the middle "4"
    state.edit = Coordinates{2, 0};
    add(false, 6);  // before a middle level
    EXPECT_EQ(widths(), (std::vector<int>{3, 6, 4, 5, 9}));
    EXPECT_EQ(state.level->size.x, 6);
    EXPECT_EQ(state.edit.x, 0);
}

TEST_F(EditorLists, CancelledOrRefusedAddsChangeNothing) {
    add(true, 5);
    state.unsaved = false;
    press(SDL_SCANCODE_ESCAPE);  // cancel at the size prompt
    quit();
    addLevel(&state, true);
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    EXPECT_EQ(widths(), (std::vector<int>{5}));
    EXPECT_FALSE(state.unsaved);
    EXPECT_EQ(state.result, -1);

    // A wrong size is refused, and the prompt comes back empty.
    typeText("65x5");
    press(SDL_SCANCODE_RETURN);
    press(SDL_SCANCODE_RETURN);  // "Hibás méret!"
    typeText("1x3");
    press(SDL_SCANCODE_RETURN);
    press(SDL_SCANCODE_RETURN);
    typeText("4x2");
    press(SDL_SCANCODE_RETURN);
    quit();
    addLevel(&state, true);
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    EXPECT_EQ(widths(), (std::vector<int>{5, 4}));
    EXPECT_EQ(state.level->size.y, 2);

    // Closing the window in the prompt or in the alert ends the editor.
    quit();
    addLevel(&state, false);
    EXPECT_EQ(state.result, 0);
    state.result = -1;
    typeText("0x0");
    press(SDL_SCANCODE_RETURN);
    quit();
    addLevel(&state, false);
    EXPECT_EQ(state.result, 0);
    EXPECT_EQ(widths(), (std::vector<int>{5, 4}));
}

TEST_F(EditorLists, DeletingRelinksAndPicksTheNextCurrent) {
    for (int width : {3, 4, 5, 6}) {
        add(true, width);
    }
    state.level = state.firstLevel->next;  // "4", a middle level
    state.unsaved = false;
    remove(false);
    EXPECT_EQ(widths(), (std::vector<int>{3, 4, 5, 6}));
    EXPECT_FALSE(state.unsaved);
    remove(true);
    EXPECT_EQ(widths(), (std::vector<int>{3, 5, 6}));
    EXPECT_EQ(state.level->size.x, 5) << "the one that followed";
    EXPECT_TRUE(state.unsaved);
    state.level = state.firstLevel;
    remove(true);
    EXPECT_EQ(widths(), (std::vector<int>{5, 6}));
    EXPECT_EQ(state.level, state.firstLevel);
    state.level = state.firstLevel->next;  // the last
    remove(true);
    EXPECT_EQ(widths(), (std::vector<int>{5}));
    EXPECT_EQ(state.level->size.x, 5) << "the previous one";
    remove(true);
    EXPECT_EQ(widths(), (std::vector<int>{}));
    EXPECT_EQ(state.level, nullptr);
    EXPECT_EQ(state.firstLevel, nullptr);
    // With no level there is nothing to ask.
    remove(true);
    EXPECT_EQ(state.result, -1);
}

TEST_F(EditorLists, RenamingWorksOnACopy) {
    add(true, 5);
    state.unsaved = false;
    press(SDL_SCANCODE_BACKSPACE);
    press(SDL_SCANCODE_ESCAPE);
    quit();
    renameLevel(&state);
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    EXPECT_STREQ(state.level->name, "Névtelen szint");
    EXPECT_FALSE(state.unsaved);

    for (int i = 0; i < 14; i++) {
        press(SDL_SCANCODE_BACKSPACE);
    }
    press(SDL_SCANCODE_RETURN);
    quit();
    renameLevel(&state);
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    EXPECT_STREQ(state.level->name, "");
    EXPECT_TRUE(state.unsaved);

    typeText("uj nev");
    press(SDL_SCANCODE_RETURN);
    quit();
    renameLevel(&state);
    EXPECT_STREQ(state.level->name, "uj nev");
}

// Every change is taken back in reverse order, each time with the links
// checked both ways and the current level and cursor where it happened.
TEST_F(EditorLists, UndoTakesBackEachChangeWhereItHappened) {
    add(true, 5);
    add(false, 3);
    add(true, 4);  // 3 4 5, on "4"
    state.edit = Coordinates{2, 0};
    state.selection = 3;
    modifyTile(&state);  // a crate
    char* name = static_cast<char*>(std::malloc(3));
    std::strcpy(name, "uj");
    setName(&state, name);
    state.level = state.firstLevel;
    state.edit = Coordinates{1, 0};
    removeCurrent(&state);  // "3"
    state.level = state.firstLevel->next;
    removeCurrent(&state);  // "5"
    EXPECT_EQ(widths(), (std::vector<int>{4}));

    struct Step {
        const char* label;
        std::vector<int> widths;
        int current;  // width of the current level, 0 for none
        Coordinates cursor;
        const char* currentName;
        char crateRow;  // cell (2, 0) of "4" in file characters
    };
    const Step steps[] = {
        {"the last delete", {4, 5}, 5, {0, 0}, "Névtelen szint", '$'},
        {"the first delete", {3, 4, 5}, 3, {1, 0}, "Névtelen szint", '$'},
        {"the rename", {3, 4, 5}, 4, {2, 0}, "Névtelen szint", '$'},
        {"the placed crate", {3, 4, 5}, 4, {2, 0}, "Névtelen szint", '#'},
        {"the add after", {3, 5}, 3, {0, 0}, "Névtelen szint", 0},
        {"the add before", {5}, 5, {0, 0}, "Névtelen szint", 0},
        {"the first add", {}, 0, {0, 0}, nullptr, 0},
    };
    for (const Step& step : steps) {
        ASSERT_TRUE(undoEdit(&state)) << step.label;
        EXPECT_EQ(widths(), step.widths) << step.label;
        EXPECT_EQ(state.level == nullptr ? 0 : state.level->size.x, step.current) << step.label;
        EXPECT_EQ(state.edit.x, step.cursor.x) << step.label;
        EXPECT_EQ(state.edit.y, step.cursor.y) << step.label;
        if (step.currentName != nullptr) {
            EXPECT_STREQ(state.level->name, step.currentName) << step.label;
        }
        for (const Level* level = state.firstLevel; level != nullptr; level = level->next) {
            if (level->size.x == 4 && step.crateRow != 0) {
                EXPECT_EQ(levelRows(level)[0][2], step.crateRow) << step.label;
            }
        }
        EXPECT_TRUE(state.unsaved) << step.label;
    }
    EXPECT_FALSE(undoEdit(&state));
    EXPECT_EQ(state.firstLevel, nullptr);

    // Redo does every change again, in order, where it happened; the levels
    // and names it brings back are the very ones undo took away.
    const Step redone[] = {
        {"the first add", {5}, 5, {0, 0}, "Névtelen szint", 0},
        {"the add before", {3, 5}, 3, {0, 0}, "Névtelen szint", 0},
        {"the add after", {3, 4, 5}, 4, {0, 0}, "Névtelen szint", '#'},
        {"the placed crate", {3, 4, 5}, 4, {2, 0}, "Névtelen szint", '$'},
        {"the rename", {3, 4, 5}, 4, {2, 0}, "uj", '$'},
        {"the first delete", {4, 5}, 4, {0, 0}, "uj", '$'},
        {"the last delete", {4}, 4, {0, 0}, "uj", '$'},
    };
    for (const Step& step : redone) {
        ASSERT_TRUE(redoEdit(&state)) << step.label;
        EXPECT_EQ(widths(), step.widths) << step.label;
        EXPECT_EQ(state.level == nullptr ? 0 : state.level->size.x, step.current) << step.label;
        EXPECT_EQ(state.edit.x, step.cursor.x) << step.label;
        EXPECT_STREQ(state.level->name, step.currentName) << step.label;
    }
    EXPECT_FALSE(redoEdit(&state));
    // Half undone again, then a level switch: redo has nothing left.
    undoEdit(&state);
    undoEdit(&state);
    nextLevel(&state);
    EXPECT_FALSE(redoEdit(&state));
    EXPECT_EQ(widths(), (std::vector<int>{3, 4, 5}));
    while (undoEdit(&state)) {
    }

    // A save starts the history afresh: nothing before it can be taken back.
    add(true, 6);
    state.filename = filename;
    press(SDL_SCANCODE_RETURN);
    press(SDL_SCANCODE_RETURN);
    quit();
    saveState(&state);
    EXPECT_FALSE(undoEdit(&state));
    EXPECT_EQ(widths(), (std::vector<int>{6}));
}

// Levels read from one file share their memory: each one goes on its own,
// by a delete whose history is dropped, a rename, an undo or the end, and
// none takes a neighbour with it (the sanitizers would see either).
TEST_F(EditorLists, LevelsReadTogetherGoOneByOne) {
    writeFile(filename, "; A\n###\n\n; B\n####\n\n; C\n#####\n\n; D\n######\n");
    LoadLevelResult loaded = loadLevel(filename);
    ASSERT_EQ(loaded.result, 0);
    state.firstLevel = state.level = loaded.level;
    char* name = static_cast<char*>(std::malloc(3));
    std::strcpy(name, "uj");
    setName(&state, name);
    state.level = state.firstLevel->next;
    removeCurrent(&state);  // "B"
    state.level = state.firstLevel->next->next;
    removeCurrent(&state);  // "D"
    EXPECT_EQ(widths(), (std::vector<int>{3, 5}));
    ASSERT_TRUE(undoEdit(&state));
    EXPECT_EQ(widths(), (std::vector<int>{3, 5, 6}));
    dropHistory(&state.history);  // "B" and the first name of "A" go for good
    EXPECT_STREQ(state.firstLevel->name, "uj");
    EXPECT_EQ(levelRows(state.firstLevel->next->next), (std::vector<std::string>{"######"}));

    ASSERT_TRUE(saveLevel(state.firstLevel, filename));
    LoadLevelResult again = loadLevel(filename);
    ASSERT_EQ(again.result, 0);
    std::vector<std::string> names;
    for (const Level* level = again.level; level != nullptr; level = level->next) {
        names.push_back(level->name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"uj", "C", "D"}));
    unloadLevel(again.level);
}


// While the mouse rests on a button, a palette entry or the name row, the
// level row says what it does: each its own text from the tables.
TEST_F(EditorLists, EveryButtonSaysWhatItDoes) {
    writeFile("uj.txt", "; A\n#####\n#@$.#\n#####\n\n; B\n###\n#@#\n###\n");
    const SDL_Rect row{0, 704, 1280, 64};
    char name[64] = "uj.txt";
    auto rowAfter = [&](std::function<void()> input) {
        return areaAfter(input, [&] { return editLevel(renderer, tiles, font, smallFont, name); }, row);
    };
    std::vector<uint32_t> plain = rowAfter([] {});
    std::vector<std::pair<Coordinates, const char*>> pointed;
    for (const EditButton& button : editButtons) {
        if (button.shown == withPrevious) {
            EXPECT_EQ(rowAfter([&] { moveTo(button.cell.x, button.cell.y, 0); }), plain)
                << "the first level's hidden " << button.says;
            continue;
        }
        pointed.emplace_back(button.cell, button.says);
    }
    for (int i = 0; i < paletteSize; i++) {
        pointed.emplace_back(Coordinates{0, paletteTop + i}, paletteSays[i]);
    }
    pointed.emplace_back(Coordinates{10, 11}, renameSays);
    std::vector<std::vector<uint32_t>> shown;
    for (const auto& [cell, says] : pointed) {
        shown.push_back(rowAfter([&, cell = cell] { moveTo(cell.x, cell.y, 0); }));
        EXPECT_NE(shown.back(), plain) << says;
        // The text whole, beside the level's number.
        int ink = inkPixels(smallFont, "1/2") + inkPixels(smallFont, says);
        EXPECT_EQ(static_cast<int>(std::count(shown.back().begin(), shown.back().end(), 0xFFFFFFFFu)), ink) << says;
        for (size_t i = 0; i + 1 < shown.size(); i++) {
            EXPECT_NE(shown[i], shown.back()) << says << " drawn as " << pointed[i].second;
        }
    }
    EXPECT_EQ(rowAfter([&] { moveTo(0, 0, 0); movePixel(-1, -1); }), plain) << "the mouse gone";
}

}  // namespace
