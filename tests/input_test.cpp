#include <cstring>
#include <map>
#include <string>

#include "harness.h"
#include "input.h"

namespace {

class TextInputScreen : public ScreenTest {
  protected:
    int run(const char* prompt = "File neve", int maxLength = 63) {
        return textInput(renderer, tiles, font, prompt, buffer, maxLength);
    }
    char buffer[4096] = {};
};

// Every physical key position and the Hungarian character it types.
struct Mapping {
    SDL_Scancode key;
    const char* lower;
    const char* upper;
};

const Mapping hungarianLayout[] = {
    {SDL_SCANCODE_Y, "z", "Z"},           {SDL_SCANCODE_Z, "y", "Y"},
    {SDL_SCANCODE_1, "1", "'"},           {SDL_SCANCODE_2, "2", "\""},
    {SDL_SCANCODE_3, "3", "+"},           {SDL_SCANCODE_4, "4", "!"},
    {SDL_SCANCODE_5, "5", "%"},           {SDL_SCANCODE_6, "6", "/"},
    {SDL_SCANCODE_7, "7", "="},           {SDL_SCANCODE_8, "8", "("},
    {SDL_SCANCODE_9, "9", ")"},           {SDL_SCANCODE_0, "ö", "Ö"},
    {SDL_SCANCODE_GRAVE, "0", "§"},       {SDL_SCANCODE_MINUS, "ü", "Ü"},
    {SDL_SCANCODE_EQUALS, "ó", "Ó"},      {SDL_SCANCODE_LEFTBRACKET, "ő", "Ő"},
    {SDL_SCANCODE_RIGHTBRACKET, "ú", "Ú"}, {SDL_SCANCODE_BACKSLASH, "ű", "Ű"},
    {SDL_SCANCODE_SEMICOLON, "é", "É"},   {SDL_SCANCODE_APOSTROPHE, "á", "Á"},
    {SDL_SCANCODE_NONUSBACKSLASH, "í", "Í"}, {SDL_SCANCODE_COMMA, ",", "?"},
    {SDL_SCANCODE_PERIOD, ".", ":"},      {SDL_SCANCODE_SLASH, "-", "_"},
    {SDL_SCANCODE_SPACE, " ", " "},
};

bool endsOrEdits(SDL_Scancode key) {
    return key == SDL_SCANCODE_RETURN || key == SDL_SCANCODE_ESCAPE || key == SDL_SCANCODE_BACKSPACE ||
           key == SDL_SCANCODE_LSHIFT || key == SDL_SCANCODE_RSHIFT;
}

std::string expectedFor(SDL_Scancode key, bool shift) {
    if (key >= SDL_SCANCODE_A && key <= SDL_SCANCODE_X) {
        return std::string(1, static_cast<char>((shift ? 'A' : 'a') + (key - SDL_SCANCODE_A)));
    }
    for (const Mapping& m : hungarianLayout) {
        if (m.key == key) {
            return shift ? m.upper : m.lower;
        }
    }
    return "";
}

// Sweeps every scancode, with and without shift: exactly the mapped keys type,
// and they type their Hungarian character.
TEST_F(TextInputScreen, EveryPhysicalKeyTypesItsHungarianCharacter) {
    for (bool shift : {false, true}) {
        buffer[0] = '\0';
        std::string expected;
        if (shift) {
            keyDown(SDL_SCANCODE_LSHIFT);
        }
        for (int code = 0; code < SDL_NUM_SCANCODES; code++) {
            SDL_Scancode key = static_cast<SDL_Scancode>(code);
            if (endsOrEdits(key)) {
                continue;
            }
            press(key);
            expected += expectedFor(key, shift);
        }
        press(SDL_SCANCODE_RETURN);
        quit();
        EXPECT_EQ(run(nullptr, 4000), 1);
        EXPECT_EQ(std::string(buffer), expected) << (shift ? "with shift" : "without shift");
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
}

TEST_F(TextInputScreen, KeysThatDoNothingAskForNoRedraw) {
    countFrames();
    const SDL_Scancode idle[] = {SDL_SCANCODE_TAB,    SDL_SCANCODE_CAPSLOCK, SDL_SCANCODE_NONUSHASH,
                                 SDL_SCANCODE_KP_ENTER, SDL_SCANCODE_KP_1,   SDL_SCANCODE_LEFT,
                                 SDL_SCANCODE_F1,     SDL_SCANCODE_LCTRL,    SDL_SCANCODE_RALT};
    for (SDL_Scancode key : idle) {
        press(key);
    }
    press(SDL_SCANCODE_RETURN);
    quit();
    EXPECT_EQ(run(), 1);
    EXPECT_EQ(presentedFrames(), 1);
    EXPECT_STREQ(buffer, "");
}

TEST_F(TextInputScreen, CtrlOrAltWithALetterTypesTheLetter) {
    keyDown(SDL_SCANCODE_LCTRL);
    press(SDL_SCANCODE_S);
    keyUp(SDL_SCANCODE_LCTRL);
    keyDown(SDL_SCANCODE_RALT);
    press(SDL_SCANCODE_Y);
    keyUp(SDL_SCANCODE_RALT);
    press(SDL_SCANCODE_RETURN);
    quit();
    EXPECT_EQ(run(), 1);
    EXPECT_STREQ(buffer, "sz");
}

TEST_F(TextInputScreen, ResultsAndTheBufferLeftBehind) {
    struct Case {
        const char* label;
        SDL_Scancode last;  // SDL_SCANCODE_UNKNOWN: a quit
        int clickX, clickY; // or a click on a cell, when last is UNKNOWN and clickX >= 0
        int result;
    };
    const Case cases[] = {
        {"Return", SDL_SCANCODE_RETURN, -1, -1, 1},
        {"Escape", SDL_SCANCODE_ESCAPE, -1, -1, 2},
        {"OK button", SDL_SCANCODE_UNKNOWN, 18, 1, 1},
        {"cancel button", SDL_SCANCODE_UNKNOWN, 17, 3, 2},
        {"quit", SDL_SCANCODE_UNKNOWN, -1, -1, 0},
    };
    for (const Case& c : cases) {
        std::strcpy(buffer, "abc");
        typeText("de");
        if (c.last != SDL_SCANCODE_UNKNOWN) {
            press(c.last);
        } else if (c.clickX >= 0) {
            click(c.clickX, c.clickY, SDL_BUTTON_RIGHT);
        }
        quit();
        EXPECT_EQ(run(), c.result) << c.label;
        EXPECT_STREQ(buffer, "abcde") << c.label;
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
}

TEST_F(TextInputScreen, ReturnAndEscapeEndWithoutARedraw) {
    countFrames();
    press(SDL_SCANCODE_A);
    press(SDL_SCANCODE_ESCAPE);
    quit();
    EXPECT_EQ(run(), 2);
    EXPECT_EQ(presentedFrames(), 2);  // the first drawing and the one after "a"
}

TEST_F(TextInputScreen, DeletingRemovesWholeCharacters) {
    struct Case {
        const char* label;
        const char* start;
        int deletions;
        const char* left;
    };
    const Case cases[] = {
        {"empty stays empty", "", 1, ""},
        {"one byte", "ab", 1, "a"},
        {"two-byte letter goes whole", "aő", 1, "a"},
        {"only the plain letter after ö", "öa", 1, "ö"},
        {"two two-byte letters", "öő", 2, ""},
        {"a caller's three-byte character takes two presses", "a€", 1, "a\xE2"},
        {"and the second removes its lead byte", "a€", 2, "a"},
    };
    for (const Case& c : cases) {
        std::strcpy(buffer, c.start);
        for (int i = 0; i < c.deletions; i++) {
            press(SDL_SCANCODE_BACKSPACE);
        }
        quit();
        EXPECT_EQ(run(), 0) << c.label;
        EXPECT_STREQ(buffer, c.left) << c.label;
    }
}

TEST_F(TextInputScreen, TheTextNeverOutgrowsItsLimitNorEndsInHalfACharacter) {
    // At 62 bytes a two-byte letter does not fit; a one-byte one does.
    std::string start(62, 'a');
    std::strcpy(buffer, start.c_str());
    press(SDL_SCANCODE_0);  // ö
    press(SDL_SCANCODE_B);
    press(SDL_SCANCODE_C);
    quit();
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(std::string(buffer), start + "b");

    // At 61 bytes it fits and fills the text to 63.
    start.assign(61, 'a');
    std::strcpy(buffer, start.c_str());
    click(14, 6);  // on-screen ö
    click(6, 10);  // space: no room left
    quit();
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(std::string(buffer), start + "ö");
}

TEST_F(TextInputScreen, ShiftFollowsTheLastShiftEvent) {
    // Physical down sets, its release clears, an on-screen shift toggles.
    click(3, 9);
    press(SDL_SCANCODE_1);  // '
    keyDown(SDL_SCANCODE_RSHIFT);
    keyUp(SDL_SCANCODE_RSHIFT);
    press(SDL_SCANCODE_1);  // 1
    keyDown(SDL_SCANCODE_LSHIFT);
    click(16, 9);           // toggled off while held
    press(SDL_SCANCODE_A);  // a
    click(16, 9, SDL_BUTTON_MIDDLE);
    click(4, 7);            // on-screen Q
    keyUp(SDL_SCANCODE_LSHIFT);
    click(4, 7);  // q
    press(SDL_SCANCODE_RETURN);
    quit();
    EXPECT_EQ(run(), 1);
    EXPECT_STREQ(buffer, "'1aQq");
}

// The Hungarian keyboard, row by row, one character per key.
std::vector<std::string> layoutRow(bool shift, int row) {
    static const char* const lower[] = {"0123456789öü", "qwertzuiopőú", "asdfghjkléáű", "íyxcvbnm,.-ó"};
    static const char* const upper[] = {"§'\"+!%/=()ÖÜ", "QWERTZUIOPŐÚ", "ASDFGHJKLÉÁŰ", "ÍYXCVBNM?:_Ó"};
    std::string text = shift ? upper[row] : lower[row];
    std::vector<std::string> keys;
    for (size_t i = 0; i < text.size();) {
        size_t length = (static_cast<unsigned char>(text[i]) & 0x80) ? 2 : 1;
        keys.push_back(text.substr(i, length));
        i += length;
    }
    return keys;
}

// Each on-screen key appends its character of the Hungarian layout, and
// exactly the character drawn on it.
TEST_F(TextInputScreen, EveryOnScreenKeyTypesItsLabel) {
    for (bool shift : {false, true}) {
        if (shift) {
            click(3, 9);
        }
        quit();
        run();
        Frame keyboard = capture();
        for (int row = 0; row < 4; row++) {
            for (int k = 0; k < 12; k++) {
                buffer[0] = '\0';
                if (shift) {
                    click(16, 9);
                }
                click(4 + k, 6 + row, row % 2 == 0 ? SDL_BUTTON_LEFT : SDL_BUTTON_RIGHT);
                quit();
                EXPECT_EQ(run(), 0);
                std::string typed = buffer;
                ASSERT_FALSE(typed.empty()) << "key " << k << " of row " << row;
                EXPECT_EQ(typed, layoutRow(shift, row)[k]) << "key " << k << " of row " << row;
                // Draw that character the way a key is drawn, and compare.
                SDL_RenderClear(renderer);
                renderTile(renderer, tiles, greenFloor, 4 + k, 6 + row);
                renderTile(renderer, tiles, blank, 4 + k, 6 + row);
                renderFont(renderer, font, SDL_Color{205, 140, 74, 0}, typed.c_str(), 4 + k, 6 + row, true, true);
                showFrame(renderer);
                Frame reference = capture();
                int differing = 0;
                SDL_Rect cell = cellRect(4 + k, 6 + row);
                for (int y = cell.y; y < cell.y + cell.h; y++) {
                    for (int x = cell.x; x < cell.x + cell.w; x++) {
                        differing += keyboard.at(x, y) != reference.at(x, y);
                    }
                }
                EXPECT_EQ(differing, 0) << "typed \"" << typed << "\" on key " << k << " of row " << row
                                        << (shift ? " with shift" : "");
            }
        }
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
}

TEST_F(TextInputScreen, SpaceBarAndBackspaceKeyAndEveryClickRedraws) {
    countFrames();
    std::strcpy(buffer, "ab");
    click(6, 10);
    click(13, 10);
    click(16, 6);
    click(17, 6);
    click(17, 6);
    click(0, 0);    // green floor
    click(5, 3);    // the field
    click(3, 1);    // the prompt
    quit();
    EXPECT_EQ(run(), 0);
    EXPECT_STREQ(buffer, "a");
    EXPECT_EQ(presentedFrames(), 9);
}

// A text longer than the field shows its end, where typing goes on, within
// the field's walls.
TEST_F(TextInputScreen, DrawsPromptFieldAndTheEndOfALongText) {
    std::strcpy(buffer, "nagyon hosszú szöveg, ami túlfut a mezőn");
    quit();
    run("Szint neve");
    Frame frame = capture();
    EXPECT_TRUE(cellShows(frame, 0, 0, {greenFloor}));
    EXPECT_TRUE(cellShows(frame, 1, 2, {wall}));
    EXPECT_TRUE(cellShows(frame, 15, 4, {wall}));
    EXPECT_TRUE(cellShows(frame, 14, 3, {greyFloor}) || countColor(frame, cellRect(14, 3), 255, 255, 255, 0) > 0);
    EXPECT_TRUE(cellShows(frame, 6, 10, {greenFloor, blankR}));
    EXPECT_TRUE(cellShows(frame, 9, 10, {greenFloor, blankLR}));
    EXPECT_TRUE(cellShows(frame, 13, 10, {greenFloor, blankL}));
    // The prompt starts at pixel 96, the text at 160 and stops before the wall.
    EXPECT_EQ(countColor(frame, SDL_Rect{0, 64, 96, 64}, 255, 255, 255, 0), 0);
    EXPECT_GT(countColor(frame, SDL_Rect{96, 64, 200, 64}, 255, 255, 255, 0), 100);
    EXPECT_EQ(countColor(frame, SDL_Rect{128, 192, 32, 64}, 255, 255, 255, 0), 0);
    EXPECT_GT(countColor(frame, SDL_Rect{160, 192, 100, 64}, 255, 255, 255, 0), 100);
    EXPECT_GT(countColor(frame, cellRect(14, 3), 255, 255, 255, 0), 10) << "the end, near the wall";
    EXPECT_EQ(countColor(frame, cellsRect(15, 3, 19, 3), 255, 255, 255, 0), 0) << "nothing over the wall";
    // What is shown is the text's end: the last word ends it.
    int whole = 0, tail = 0, h = 0;
    TTF_SizeUTF8(font, "\xE2\x80\xA6" "túlfut a mezőn", &tail, &h);
    TTF_SizeUTF8(font, buffer, &whole, &h);
    EXPECT_GT(whole, 15 * 64 - 160) << "a text longer than the field";
    int right = 0;
    for (int x = 160; x < 15 * 64; x++) {
        right = countColor(frame, SDL_Rect{x, 192, 1, 64}, 255, 255, 255, 0) > 0 ? x : right;
    }
    EXPECT_GT(right, 15 * 64 - 64) << "the text reaches to the field's end";
}

class Boxes : public ScreenTest {};

TEST_F(Boxes, AnswerByKeyAndByClick) {
    struct Case {
        const char* label;
        bool dialog;
        int script;  // index into the scripts below
        int result;
    };
    enum { returnKey, escapeKey, clickOk, clickOkRight, clickCancel, between, above, below, quitOnly };
    const Case cases[] = {
        {"alert Return", false, returnKey, 1},     {"alert Escape ignored", false, escapeKey, 0},
        {"alert OK", false, clickOk, 1},           {"alert OK right button", false, clickOkRight, 1},
        {"alert quit", false, quitOnly, 0},        {"alert above", false, above, 0},
        {"dialog Return", true, returnKey, 1},     {"dialog Escape", true, escapeKey, 2},
        {"dialog OK", true, clickOk, 1},           {"dialog OK middle button", true, clickOkRight, 1},
        {"dialog Mégse", true, clickCancel, 2},    {"dialog between", true, between, 0},
        {"dialog above", true, above, 0},          {"dialog below", true, below, 0},
        {"dialog quit", true, quitOnly, 0},
    };
    for (const Case& c : cases) {
        int okFirst = c.dialog ? 5 : 8;
        int okLast = c.dialog ? 8 : 11;
        switch (c.script) {
            case returnKey:
                press(SDL_SCANCODE_KP_ENTER);
                press(SDL_SCANCODE_RETURN);
                break;
            case escapeKey:
                press(SDL_SCANCODE_ESCAPE);
                break;
            case clickOk:
                clickPixel(okFirst * 64, 5 * 64);
                break;
            case clickOkRight:
                clickPixel(okLast * 64 + 63, 5 * 64 + 63, c.dialog ? SDL_BUTTON_MIDDLE : SDL_BUTTON_RIGHT);
                break;
            case clickCancel:
                click(14, 5);
                break;
            case between:
                click(9, 5);
                click(10, 5);
                click(4, 5);
                click(15, 5);
                break;
            case above:
                clickPixel(okFirst * 64 + 10, 5 * 64 - 1);
                break;
            case below:
                click(12, 6);
                click(6, 4);
                break;
            default:
                break;
        }
        quit();
        int got = c.dialog ? dialogBox(renderer, tiles, font, "Kérdés?") : alertBox(renderer, tiles, font, "Üzenet");
        EXPECT_EQ(got, c.result) << c.label;
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
}

TEST_F(Boxes, DrawOnceAndNeverAgainWhileWaiting) {
    countFrames();
    press(SDL_SCANCODE_A);
    click(0, 0);
    keyUp(SDL_SCANCODE_RETURN);
    quit();
    EXPECT_EQ(dialogBox(renderer, tiles, font, "Biztosan törlöd a szintet?"), 0);
    EXPECT_EQ(presentedFrames(), 1);
    Frame frame = capture();
    EXPECT_TRUE(cellShows(frame, 0, 0, {greenFloor}));
    EXPECT_TRUE(cellShows(frame, 1, 1, {wall}));
    EXPECT_TRUE(cellShows(frame, 18, 2, {wall}));
    EXPECT_TRUE(cellShows(frame, 5, 5, {greenFloor, blankR}));
    EXPECT_TRUE(cellShows(frame, 14, 5, {greenFloor, blankL}));
    EXPECT_TRUE(cellShows(frame, 9, 5, {greenFloor}));
    // The question in white from pixel 160 on the strip's row.
    EXPECT_EQ(countColor(frame, SDL_Rect{128, 128, 32, 64}, 255, 255, 255, 0), 0);
    EXPECT_GT(countColor(frame, SDL_Rect{160, 128, 400, 64}, 255, 255, 255, 0), 200);
    // The labels in the buttons' tan.
    EXPECT_GT(countColor(frame, cellsRect(6, 5, 7, 5), 205, 140, 74, 0), 50);
    EXPECT_GT(countColor(frame, cellsRect(11, 5, 13, 5), 205, 140, 74, 0), 50);
}

TEST_F(Boxes, AlertShowsOneButton) {
    quit();
    EXPECT_EQ(alertBox(renderer, tiles, font, "Sikeres mentés!"), 0);
    Frame frame = capture();
    EXPECT_TRUE(cellShows(frame, 8, 5, {greenFloor, blankR}));
    EXPECT_TRUE(cellShows(frame, 11, 5, {greenFloor, blankL}));
    EXPECT_TRUE(cellShows(frame, 5, 5, {greenFloor}));
    EXPECT_TRUE(cellShows(frame, 14, 5, {greenFloor}));
}


// The bottom row says what the button under the mouse does: the two "<-"
// apart, the two shift keys alike, nothing over a character key.
TEST_F(TextInputScreen, TheButtonsSayWhatTheyDo) {
    const SDL_Rect foot{0, 704, 1280, 64};
    auto footAfter = [&](int x, int y) { return areaAfter([&] { moveTo(x, y, 0); }, [&] { return run(); }, foot); };
    std::vector<uint32_t> empty = footAfter(1, 1);
    std::vector<uint32_t> backspace = footAfter(16, 6), cancel = footAfter(17, 3), ok = footAfter(18, 1);
    std::vector<uint32_t> shiftLeft = footAfter(3, 9), shiftRight = footAfter(16, 9), space = footAfter(9, 10);
    for (const auto* said : {&backspace, &cancel, &ok, &shiftLeft, &space}) {
        EXPECT_NE(*said, empty);
    }
    EXPECT_NE(backspace, cancel) << "the two <- keys";
    EXPECT_NE(ok, cancel);
    EXPECT_EQ(shiftLeft, shiftRight) << "the two shift keys";
    EXPECT_EQ(footAfter(5, 7), empty) << "a character key says nothing";
}

}  // namespace
