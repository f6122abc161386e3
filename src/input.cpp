#include "input.h"

#include <cstring>

#include "coordinates.h"
#include "file.h"
#include "files.h"
#include "tiles.h"
#include "window.h"

namespace {

constexpr int keyRows = 4;
constexpr int keysPerRow = 12;
constexpr int keyCount = keyRows * keysPerRow;
constexpr int firstKeyColumn = 4;
constexpr int firstKeyRow = 6;
// A key's label: one character of one or two bytes and its terminator.
constexpr int labelBytes = 3;

// The on-screen keyboard, Hungarian QWERTZ, row by row.
const char keysLC[] = "0123456789öüqwertzuiopőúasdfghjkléáűíyxcvbnm,.-ó";
const char keysUC[] = "§'\"+!%/=()ÖÜQWERTZUIOPŐÚASDFGHJKLÉÁŰÍYXCVBNM?:_Ó";

const SDL_Color labelColor{205, 140, 74, 0};
const SDL_Color white{255, 255, 255, 0};

struct InputState {
    const char* promptText;
    char* enteredText;
    int maxLength;
    bool upperCase;
    int result;
    SDL_Renderer* renderer;
    SDL_Texture* tiles;
    TTF_Font* font;
    const char* pointing;  // what the button under the mouse does, or null
    bool offersFiles;      // a file name: the level files can be listed
};

// Bytes that are neither plain ASCII nor the terminator: both bytes of every
// two-byte character the keyboard can type.
bool nonPlain(unsigned char byte) {
    return byte != 0 && (byte < 0x20 || byte >= 0x80);
}

// Splits the active key string into the 48 key labels with one walk, so that
// drawing and clicking agree on which character each key carries.
void keyLabels(bool upperCase, char labels[keyCount][labelBytes]) {
    const char* keys = upperCase ? keysUC : keysLC;
    int keyIndex = 0;
    for (int k = 0; k < keyCount; k++) {
        labels[k][0] = keys[keyIndex++];
        labels[k][1] = '\0';
        if (nonPlain(static_cast<unsigned char>(labels[k][0]))) {
            labels[k][1] = keys[keyIndex++];
            labels[k][2] = '\0';
        }
    }
}

Coordinates keyCell(int k) {
    return Coordinates{firstKeyColumn + k % keysPerRow, firstKeyRow + k / keysPerRow};
}

// Draws a button over columns x1..x2 of one row, joining the wide pieces.
void drawButton(SDL_Renderer* renderer, SDL_Texture* tiles, int x1, int x2, int y) {
    if (x1 == x2) {
        renderTile(renderer, tiles, blank, x1, y);
        return;
    }
    renderTile(renderer, tiles, blankR, x1, y);
    renderTiles(renderer, tiles, blankLR, x1 + 1, y, x2 - 1, y);
    renderTile(renderer, tiles, blankL, x2, y);
}

enum InputAction { toggleShift, appendSpace, backspace, confirm, cancel, listFiles };

struct InputButton {
    int x1, x2, y;     // cells covered, one row
    const char* label;  // null for none
    int labelX;         // cell the label is anchored at
    bool centeredX;
    InputAction action;
    const char* says;  // while the mouse rests on it: what it does, and its key
};

// The keys beside the 48 character keys, in drawing order. They never
// overlap, so clicks may test them in this order too.
const InputButton inputButtons[] = {
    {6, 13, 10, nullptr, 6, false, appendSpace, "Szóköz"},
    {3, 3, 9, "^", 3, true, toggleShift, "Nagybetűk (Shift)"},
    {16, 16, 9, "^", 16, true, toggleShift, "Nagybetűk (Shift)"},
    {16, 17, 6, "<-", 16, false, backspace, "Az utolsó betű törlése (Backspace)"},
    {17, 18, 1, "OK", 17, false, confirm, "Kész (Enter)"},
    {17, 18, 3, "<-", 17, false, cancel, "Mégse (Escape)"},
};
// Beside a file name's field: the level files to choose from.
const InputButton filesButton{16, 16, 3, nullptr, 16, false, listFiles, "Pályafájlok listája (Tab)"};

// The field's text starts at the centre of cell (2, 3) and stays clear of
// its right wall.
constexpr int fieldLeft = 2 * tileSize + tileSize / 2;
constexpr int fieldRight = 15 * tileSize - tileSize / 4;

// The end of `text` that fits the field, after "…" when the start is left
// out: the place being typed at stays in view.
void fieldText(TTF_Font* font, const char* text, char* out, size_t outSize) {
    static const char ellipsis[] = "\xE2\x80\xA6";
    int width = 0;
    size_t length = std::strlen(text);
    if (TTF_SizeUTF8(font, text, &width, nullptr) != 0 || width <= fieldRight - fieldLeft || length + 1 > outSize) {
        SDL_strlcpy(out, text, outSize);
        return;
    }
    for (size_t from = 1; from < length; from++) {
        if ((static_cast<unsigned char>(text[from]) & 0xC0) == 0x80) {
            continue;  // inside a character
        }
        SDL_snprintf(out, outSize, "%s%s", ellipsis, text + from);
        if (TTF_SizeUTF8(font, out, &width, nullptr) == 0 && width <= fieldRight - fieldLeft) {
            return;
        }
    }
}

void renderInput(InputState* state) {
    SDL_Renderer* renderer = state->renderer;
    renderTiles(renderer, state->tiles, greenFloor, 0, 0, gridColumns - 1, gridRows - 1);
    char labels[keyCount][labelBytes];
    keyLabels(state->upperCase, labels);
    for (int k = 0; k < keyCount; k++) {
        Coordinates cell = keyCell(k);
        renderTileC(renderer, state->tiles, blank, cell);
        renderFontC(renderer, state->font, labelColor, labels[k], cell, true, true);
    }
    for (const InputButton& button : inputButtons) {
        drawButton(renderer, state->tiles, button.x1, button.x2, button.y);
        renderFont(renderer, state->font, labelColor, button.label, button.labelX, button.y, button.centeredX, true);
    }
    renderFont(renderer, state->font, white, state->promptText, 1, 1, false, true);
    if (state->offersFiles) {
        renderTile(renderer, state->tiles, levelList, filesButton.x1, filesButton.y);
    }
    renderTiles(renderer, state->tiles, greyFloor, 1, 2, 15, 4);
    renderTiles(renderer, state->tiles, wall, 1, 2, 15, 2);
    renderTiles(renderer, state->tiles, wall, 1, 4, 15, 4);
    renderTile(renderer, state->tiles, wall, 1, 3);
    renderTile(renderer, state->tiles, wall, 15, 3);
    char shown[128];
    fieldText(state->font, state->enteredText, shown, sizeof shown);
    renderFontAt(renderer, state->font, white, shown, fieldLeft, 3 * tileSize + tileSize / 2, false, true);
    renderFont(renderer, state->font, white, state->pointing, 10, gridRows - 1, true, true);
    showFrame(renderer);
}

// A character that would not fit whole is left out, so the text never
// exceeds maxLength and never ends in half a character.
void appendChar(InputState* state, const char* character) {
    size_t length = std::strlen(state->enteredText);
    size_t add = std::strlen(character);
    if (length + add > static_cast<size_t>(state->maxLength)) {
        return;
    }
    std::memcpy(state->enteredText + length, character, add + 1);
}

void deleteChar(InputState* state) {
    size_t length = std::strlen(state->enteredText);
    if (length == 0) {
        return;
    }
    unsigned char* text = reinterpret_cast<unsigned char*>(state->enteredText);
    if (length >= 2 && nonPlain(text[length - 1]) && nonPlain(text[length - 2])) {
        text[length - 2] = '\0';
    } else {
        text[length - 1] = '\0';
    }
}

struct PhysicalKey {
    SDL_Scancode scancode;
    const char* lower;
    const char* upper;
};

// The physical keys mapped to the Hungarian layout by position. Letters A to X
// sit where their names say and are handled before this table.
const PhysicalKey physicalKeys[] = {
    {SDL_SCANCODE_Y, "z", "Z"},
    {SDL_SCANCODE_Z, "y", "Y"},
    {SDL_SCANCODE_1, "1", "'"},
    {SDL_SCANCODE_2, "2", "\""},
    {SDL_SCANCODE_3, "3", "+"},
    {SDL_SCANCODE_4, "4", "!"},
    {SDL_SCANCODE_5, "5", "%"},
    {SDL_SCANCODE_6, "6", "/"},
    {SDL_SCANCODE_7, "7", "="},
    {SDL_SCANCODE_8, "8", "("},
    {SDL_SCANCODE_9, "9", ")"},
    {SDL_SCANCODE_0, "ö", "Ö"},
    {SDL_SCANCODE_GRAVE, "0", "§"},
    {SDL_SCANCODE_MINUS, "ü", "Ü"},
    {SDL_SCANCODE_EQUALS, "ó", "Ó"},
    {SDL_SCANCODE_LEFTBRACKET, "ő", "Ő"},
    {SDL_SCANCODE_RIGHTBRACKET, "ú", "Ú"},
    {SDL_SCANCODE_BACKSLASH, "ű", "Ű"},
    {SDL_SCANCODE_SEMICOLON, "é", "É"},
    {SDL_SCANCODE_APOSTROPHE, "á", "Á"},
    {SDL_SCANCODE_NONUSBACKSLASH, "í", "Í"},
    {SDL_SCANCODE_COMMA, ",", "?"},
    {SDL_SCANCODE_PERIOD, ".", ":"},
    {SDL_SCANCODE_SLASH, "-", "_"},
    {SDL_SCANCODE_SPACE, " ", " "},
};

// The list of level files; a file chosen there is the text, confirmed.
bool pickFile(InputState* state) {
    char chosen[nameBufferSize];
    std::memcpy(chosen, state->enteredText, std::strlen(state->enteredText) + 1);
    int answer = chooseFile(state->renderer, state->tiles, state->font, chosen);
    state->upperCase = false;  // the list swallowed a Shift's release
    if (answer == filesClosed) {
        state->result = dialogClosed;
    } else if (answer == fileChosen && std::strlen(chosen) <= static_cast<size_t>(state->maxLength)) {
        std::memcpy(state->enteredText, chosen, std::strlen(chosen) + 1);
        state->result = dialogOk;
    }
    return true;
}

bool handleKeydown(InputState* state, SDL_Scancode key) {
    if (key >= SDL_SCANCODE_A && key <= SDL_SCANCODE_X) {
        char letter[2] = {static_cast<char>((state->upperCase ? 'A' : 'a') + (key - SDL_SCANCODE_A)), '\0'};
        appendChar(state, letter);
        return true;
    }
    for (const PhysicalKey& physical : physicalKeys) {
        if (physical.scancode == key) {
            appendChar(state, state->upperCase ? physical.upper : physical.lower);
            return true;
        }
    }
    switch (key) {
        case SDL_SCANCODE_BACKSPACE:
            deleteChar(state);
            return true;
        case SDL_SCANCODE_RETURN:
            state->result = dialogOk;
            return false;
        case SDL_SCANCODE_ESCAPE:
            state->result = dialogCancel;
            return false;
        case SDL_SCANCODE_TAB:
            return state->offersFiles && pickFile(state);
        case SDL_SCANCODE_LSHIFT:
        case SDL_SCANCODE_RSHIFT:
            state->upperCase = true;
            return true;
        default:
            return false;
    }
}

bool handleKeyup(InputState* state, SDL_Scancode key) {
    if (key == SDL_SCANCODE_LSHIFT || key == SDL_SCANCODE_RSHIFT) {
        state->upperCase = false;
        return true;
    }
    return false;
}

// Runs what a button does.
void pressButton(InputState* state, const InputButton& button) {
    switch (button.action) {
        case toggleShift:
            state->upperCase = !state->upperCase;
            break;
        case appendSpace:
            appendChar(state, " ");
            break;
        case backspace:
            deleteChar(state);
            break;
        case confirm:
            state->result = dialogOk;
            break;
        case cancel:
            state->result = dialogCancel;
            break;
        case listFiles:
            pickFile(state);
            break;
    }
}

bool handleClick(InputState* state, int x, int y) {
    if (state->offersFiles && clickTile(filesButton.x1, filesButton.y, x, y)) {
        pressButton(state, filesButton);
    }
    for (const InputButton& button : inputButtons) {
        if (clickTiles(button.x1, button.y, button.x2, button.y, x, y)) {
            pressButton(state, button);
        }
    }
    char labels[keyCount][labelBytes];
    keyLabels(state->upperCase, labels);
    for (int k = 0; k < keyCount; k++) {
        Coordinates cell = keyCell(k);
        if (clickTile(cell.x, cell.y, x, y)) {
            appendChar(state, labels[k]);
        }
    }
    return true;
}

bool handleEvent(SDL_Event event, InputState* state) {
    switch (event.type) {
        case SDL_QUIT:
            state->result = dialogClosed;
            return false;
        case SDL_KEYDOWN:
            return handleKeydown(state, event.key.keysym.scancode);
        case SDL_KEYUP:
            return handleKeyup(state, event.key.keysym.scancode);
        case SDL_MOUSEBUTTONDOWN:
            return handleClick(state, event.button.x, event.button.y);
        case SDL_MOUSEMOTION: {
            const char* says = nullptr;
            for (const InputButton& button : inputButtons) {
                bool on = clickTiles(button.x1, button.y, button.x2, button.y, event.motion.x, event.motion.y);
                says = on ? button.says : says;
            }
            if (state->offersFiles && clickTile(filesButton.x1, filesButton.y, event.motion.x, event.motion.y)) {
                says = filesButton.says;
            }
            bool changed = says != state->pointing;
            state->pointing = says;
            return changed;
        }
        default:
            return false;
    }
}

// --- alert and confirmation boxes -------------------------------------

struct BoxButton {
    int x1, x2;  // columns on the button row
    const char* label;
    int labelX;
    int result;
};

constexpr int boxButtonRow = 5;

const BoxButton alertButtons[] = {{8, 11, "OK", 9, dialogOk}};
const BoxButton dialogButtons[] = {{5, 8, "OK", 6, dialogOk}, {11, 14, "Mégse", 11, dialogCancel}};

template <size_t count>
int runBox(SDL_Renderer* renderer, SDL_Texture* tiles, TTF_Font* font, const char* promptText,
           const BoxButton (&buttons)[count], bool escapeCancels) {
    // A second line, after a line feed, makes the box a row taller.
    const char* split = std::strchr(promptText, '\n');
    char first[256];
    size_t firstLength = split != nullptr ? static_cast<size_t>(split - promptText) : std::strlen(promptText);
    firstLength = firstLength < sizeof first ? firstLength : sizeof first - 1;
    std::memcpy(first, promptText, firstLength);
    first[firstLength] = '\0';
    int bottom = split != nullptr ? 4 : 3;
    renderTiles(renderer, tiles, greenFloor, 0, 0, gridColumns - 1, gridRows - 1);
    renderTiles(renderer, tiles, greyFloor, 1, 1, 18, bottom);
    renderTiles(renderer, tiles, wall, 1, 1, 18, 1);
    renderTiles(renderer, tiles, wall, 1, bottom, 18, bottom);
    renderTiles(renderer, tiles, wall, 1, 2, 1, bottom - 1);
    renderTiles(renderer, tiles, wall, 18, 2, 18, bottom - 1);
    renderFont(renderer, font, white, first, 2, 2, false, true);
    if (split != nullptr) {
        renderFont(renderer, font, white, split + 1, 2, 3, false, true);
    }
    for (const BoxButton& button : buttons) {
        drawButton(renderer, tiles, button.x1, button.x2, boxButtonRow);
        renderFont(renderer, font, labelColor, button.label, button.labelX, boxButtonRow, false, true);
    }
    showFrame(renderer);

    SDL_Event event;
    while (waitEvent(renderer, &event) != 0) {
        switch (event.type) {
            case SDL_QUIT:
                return dialogClosed;
            case SDL_KEYDOWN:
                if (event.key.keysym.scancode == SDL_SCANCODE_RETURN) {
                    return dialogOk;
                }
                if (escapeCancels && event.key.keysym.scancode == SDL_SCANCODE_ESCAPE) {
                    return dialogCancel;
                }
                break;
            case SDL_MOUSEBUTTONDOWN:
                for (const BoxButton& button : buttons) {
                    if (clickTiles(button.x1, boxButtonRow, button.x2, boxButtonRow, event.button.x,
                                   event.button.y)) {
                        return button.result;
                    }
                }
                break;
            default:
                break;
        }
    }
    return dialogClosed;
}

}  // namespace

namespace {

int runInput(InputState state) {
    SDL_Renderer* renderer = state.renderer;
    renderInput(&state);
    SDL_Event event;
    while (waitEvent(renderer, &event) != 0) {
        bool redraw = handleEvent(event, &state);
        if (state.result != -1) {
            return state.result;
        }
        if (redraw) {
            renderInput(&state);
        }
    }
    return dialogClosed;
}

}  // namespace

int textInput(SDL_Renderer* renderer, SDL_Texture* tiles, TTF_Font* font, const char* promptText, char* enteredText,
              int maxLength) {
    return runInput(InputState{promptText, enteredText, maxLength, false, -1, renderer, tiles, font, nullptr, false});
}

int fileInput(SDL_Renderer* renderer, SDL_Texture* tiles, TTF_Font* font, char* filename) {
    return runInput(
        InputState{"File neve", filename, nameBufferSize - 1, false, -1, renderer, tiles, font, nullptr, true});
}

int alertBox(SDL_Renderer* renderer, SDL_Texture* tiles, TTF_Font* font, const char* promptText) {
    return runBox(renderer, tiles, font, promptText, alertButtons, false);
}

int dialogBox(SDL_Renderer* renderer, SDL_Texture* tiles, TTF_Font* font, const char* promptText) {
    return runBox(renderer, tiles, font, promptText, dialogButtons, true);
}
