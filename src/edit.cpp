#include "edit.h"

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <cstring>

#include <functional>
#include <string>
#include <vector>

#include "coordinates.h"
#include "file.h"
#include "input.h"
#include "play.h"
#include "solver.h"
#include "think.h"
#include "tiles.h"
#include "window.h"

namespace {

// One change since the file was opened or last saved, with what undo and
// redo need. A chain of levels (an added or deleted level, or pasted ones)
// that is out of the list keeps its links as they were and is owned here.
enum EditStepKind { placedCell, addedLevels, deletedLevel, renamedLevel };

struct EditStep {
    EditStepKind kind;
    Level* level;        // the level changed, or the first of a chain
    Level* last;         // the last of the chain
    Level* before;       // added: the level that was current, to go back to
    Coordinates cursor;  // where the cursor was: a placed cell's own position
    TileState oldCell;   // placed: what the cell held
    TileState newCell;   // and what it got
    char* otherName;     // renamed: the name the level does not have now, owned here
    bool chained;        // a later cell of one stroke: undone and redone with the one before
};

// The changes made, oldest first, and those undo took back, for redo, the
// last taken back on top.
struct EditHistory {
    EditStep* steps;
    int count;
    int capacity;
    EditStep* undone;
    int undoneCount;
    int undoneCapacity;
};

constexpr int firstHistoryCapacity = 32;

struct EditState {
    Level* firstLevel;  // the whole list, owned; null when empty
    Level* level;       // current level; null exactly when the list is empty
    Coordinates edit;   // cursor, inside the current level
    int selection;      // palette entry; places TileState selection + 1
    int result;
    bool ctrl;
    bool unsaved;
    char* filename;  // the shell's buffer, borrowed
    SDL_Renderer* renderer;
    SDL_Texture* tiles;
    TTF_Font* font;
    TTF_Font* smallFont;  // the level number's size of the same font
    EditHistory history;
    bool shift;             // a Shift key is held: Backspace redoes
    bool stroke;            // a mouse button went down on the level and is held
    Coordinates strokeCell;  // the cell it last placed in
    bool thinking;           // a search runs: the name row says so
    std::vector<SDL_Event> waiting;  // input that came while it ran
    const char* pointing;            // what the button under the mouse does, or null
    LevelPicture picture;            // the current level's cells, as drawn
    Board lostOn;                    // the board the last test found hopeless
    Cells lost;                      // its crates the instant rules find lost, until the next change
    bool showLost;
};

constexpr int paletteSize = 7;
constexpr int paletteTop = 2;
const char* const newLevelName = "Névtelen szint";
// One- and two-cell wide rows end their level in a file, so a level that
// narrow can only be a single row.
constexpr int narrowestTallLevel = 3;

const SDL_Color white{255, 255, 255, 0};

Tile tileStateToTile(TileState state) {
    return cellPicture(state);
}

void setTileState(Level* level, int x, int y, TileState state) {
    if (x >= 0 && y >= 0 && x < level->size.x && y < level->size.y) {
        level->tiles[x + y * level->size.x] = state;
    }
}

// A content's picture over the floor of its cell, with the target drawn
// over a player standing on one.
void drawContent(EditState* state, TileState content, SDL_Rect to, Tile floor) {
    renderTileInto(state->renderer, state->tiles, floor, tileStateToTile(content), to);
    if (content == playerOnTargetS) {
        renderTileAt(state->renderer, state->tiles, target, to);
    }
}

// The level on screen changed: its picture is drawn anew with the next
// frame, and what a test found of it no longer holds.
void changed(EditState* state) {
    state->picture.drawn = false;
    state->showLost = false;
}

// Every dialog swallows the release of a Ctrl or Shift key, or of a mouse
// button, held when it opened, so they count as released once a dialog
// returns, whatever opened it.
void releaseHeld(EditState* state) {
    state->ctrl = false;
    state->shift = false;
    state->stroke = false;
}

int showAlert(EditState* state, const char* message) {
    int answer = alertBox(state->renderer, state->tiles, state->font, message);
    releaseHeld(state);
    return answer;
}

int askQuestion(EditState* state, const char* question) {
    int answer = dialogBox(state->renderer, state->tiles, state->font, question);
    releaseHeld(state);
    return answer;
}

int askText(EditState* state, const char* prompt, char* text) {
    int answer = textInput(state->renderer, state->tiles, state->font, prompt, text, nameBufferSize - 1);
    releaseHeld(state);
    return answer;
}

// --- undo ------------------------------------------------------------------

// Releases a chain of levels out of the list, whose outer links may point
// anywhere.
void releaseChain(Level* first, Level* last) {
    last->next = nullptr;
    unloadLevel(first);
}

// Takes the chain from `first` to `last` out of the list; the chain keeps
// its links to its neighbours, to be put back by linkChain.
void unlinkChain(EditState* state, Level* first, Level* last) {
    if (first->prev != nullptr) {
        first->prev->next = last->next;
    } else {
        state->firstLevel = last->next;
    }
    if (last->next != nullptr) {
        last->next->prev = first->prev;
    }
}

// Puts a chain back between the neighbours it had: every change made after
// it was taken out has been taken back.
void linkChain(EditState* state, Level* first, Level* last) {
    if (first->prev != nullptr) {
        first->prev->next = first;
    } else {
        state->firstLevel = first;
    }
    if (last->next != nullptr) {
        last->next->prev = last;
    }
}

// Releases what a step owns: a chain out of the list (deleted, when done;
// added, when undone) and a name not in use.
void releaseStep(const EditStep& step, bool done) {
    if ((step.kind == deletedLevel && done) || (step.kind == addedLevels && !done)) {
        releaseChain(step.level, step.last);
    } else if (step.kind == renamedLevel) {
        std::free(step.otherName);
    }
}

void dropUndone(EditHistory* history) {
    for (int i = 0; i < history->undoneCount; i++) {
        releaseStep(history->undone[i], false);
    }
    history->undoneCount = 0;
}

void dropHistory(EditHistory* history) {
    for (int i = 0; i < history->count; i++) {
        releaseStep(history->steps[i], true);
    }
    dropUndone(history);
    std::free(history->steps);
    std::free(history->undone);
    *history = EditHistory{};
}

// Adds a step to a growing stack. False when memory ran out.
bool pushStep(EditStep** steps, int* count, int* capacity, const EditStep& step) {
    if (*count == *capacity) {
        int grownCapacity = *capacity == 0 ? firstHistoryCapacity : *capacity * 2;
        EditStep* grown = *capacity < INT_MAX / 2
                              ? static_cast<EditStep*>(std::malloc(sizeof(EditStep) * static_cast<size_t>(grownCapacity)))
                              : nullptr;
        if (grown == nullptr) {
            return false;
        }
        if (*count > 0) {
            std::memcpy(grown, *steps, sizeof(EditStep) * static_cast<size_t>(*count));
        }
        std::free(*steps);
        *steps = grown;
        *capacity = grownCapacity;
    }
    (*steps)[(*count)++] = step;
    return true;
}

// Records a change made anew, which drops what undo took back. False when
// memory for the step cannot be had: the older history is then dropped,
// and the caller releases what the step would have kept.
bool recordEdit(EditState* state, const EditStep& step) {
    EditHistory* history = &state->history;
    dropUndone(history);
    if (!pushStep(&history->steps, &history->count, &history->capacity, step)) {
        dropHistory(history);
        return false;
    }
    return true;
}

// Applies a step backwards (undo) or forwards (redo) and returns the level
// to show.
Level* applyStep(EditState* state, EditStep& step, bool forwards) {
    Level* level = step.level;
    switch (step.kind) {
        case placedCell:
            setTileState(level, step.cursor.x, step.cursor.y, forwards ? step.newCell : step.oldCell);
            return level;
        case addedLevels:
            if (forwards) {
                linkChain(state, step.level, step.last);
                return level;
            }
            unlinkChain(state, step.level, step.last);
            return step.before;
        case deletedLevel:
            if (forwards) {
                unlinkChain(state, level, level);
                return level->next != nullptr ? level->next : level->prev;
            }
            linkChain(state, level, level);
            return level;
        case renamedLevel: {
            char* shown = level->name;
            level->name = step.otherName;
            step.otherName = shown;
            return level;
        }
    }
    return level;
}

// Moves the last change (or the last stroke, whole) from one stack to the
// other, applying it, and shows where it happened. False when there is none.
bool moveSteps(EditState* state, bool forwards) {
    EditHistory* history = &state->history;
    EditStep** from = forwards ? &history->undone : &history->steps;
    int* fromCount = forwards ? &history->undoneCount : &history->count;
    if (*fromCount == 0) {
        return false;
    }
    bool first = true;
    while (*fromCount > 0) {
        EditStep step = (*from)[*fromCount - 1];
        // Undo takes a stroke from its last cell back to its first, redo
        // from its first on.
        if (forwards && !first && !step.chained) {
            break;
        }
        (*fromCount)--;
        first = false;
        Level* shown = applyStep(state, step, forwards);
        state->level = shown;
        // Undo shows the cursor where it was; redo where the change put it.
        bool cursorKept = !forwards || step.kind == placedCell || step.kind == renamedLevel;
        state->edit = shown != nullptr && cursorKept ? step.cursor : Coordinates{0, 0};
        bool kept = forwards ? pushStep(&history->steps, &history->count, &history->capacity, step)
                             : pushStep(&history->undone, &history->undoneCount, &history->undoneCapacity, step);
        if (!kept) {
            // Without memory to keep it the step is final.
            releaseStep(step, forwards);
        }
        if (!forwards && !step.chained) {
            break;
        }
    }
    state->unsaved = true;
    changed(state);
    return true;
}

bool undoEdit(EditState* state) {
    return moveSteps(state, false);
}

bool redoEdit(EditState* state) {
    return moveSteps(state, true);
}

// --- level operations ------------------------------------------------------

// Reads one decimal integer the way "%d" would, but refuses a number that
// does not fit an int instead of wrapping it. Returns the position after it,
// or null.
const char* readInt(const char* text, int* value) {
    while (*text == ' ' || (*text >= '\t' && *text <= '\r')) {
        text++;
    }
    bool negative = false;
    if (*text == '+' || *text == '-') {
        negative = *text == '-';
        text++;
    }
    if (*text < '0' || *text > '9') {
        return nullptr;
    }
    long long magnitude = 0;
    for (; *text >= '0' && *text <= '9'; text++) {
        magnitude = magnitude * 10 + (*text - '0');
        if (magnitude > static_cast<long long>(INT_MAX) + 1) {
            return nullptr;
        }
    }
    long long signedValue = negative ? -magnitude : magnitude;
    if (signedValue > INT_MAX || signedValue < INT_MIN) {
        return nullptr;
    }
    *value = static_cast<int>(signedValue);
    return text;
}

// "<width>x<height>", with room for blanks before each number and for
// anything after the second.
bool parseSize(const char* text, Coordinates* size) {
    int width = 0;
    int height = 0;
    const char* rest = readInt(text, &width);
    if (rest == nullptr || *rest != 'x' || readInt(rest + 1, &height) == nullptr) {
        return false;
    }
    if (width < 1 || width > largestLevel || height < 1 || height > largestLevel) {
        return false;
    }
    if (width < narrowestTallLevel && height > 1) {
        return false;
    }
    *size = Coordinates{width, height};
    return true;
}

// Result 1 leaves the new, unlinked level in *level (null when memory ran
// out); the caller owns it. 0: window closed; 2: cancelled.
int createLevel(EditState* state, Level** level) {
    Coordinates size{0, 0};
    char sizeString[nameBufferSize];
    for (;;) {
        sizeString[0] = '\0';
        int answer = askText(state, "Méret (szélesség x magasság)", sizeString);
        if (answer == dialogClosed || answer == dialogCancel) {
            return answer;
        }
        if (parseSize(sizeString, &size)) {
            break;
        }
        if (showAlert(state, "Hibás méret!") == dialogClosed) {
            return dialogClosed;
        }
    }
    // Null when memory ran out: the caller tells the user.
    // A new level starts as a room: walls round its edge, floor inside.
    Level* created = newLevel(size, newLevelName, std::strlen(newLevelName));
    for (int y = 0; created != nullptr && y < size.y; y++) {
        for (int x = 0; x < size.x; x++) {
            bool edge = x == 0 || y == 0 || x == size.x - 1 || y == size.y - 1;
            created->tiles[y * size.x + x] = edge ? wallS : floorTileS;
        }
    }
    *level = created;
    return dialogOk;
}

// Puts a chain of new levels, from `first` to `last`, before (dir false) or
// after the current level, and makes the first current: one step of undo.
void insertLevels(EditState* state, Level* first, Level* last, bool dir) {
    EditStep step{addedLevels, first, last, state->level, state->edit, invalidS, invalidS, nullptr, false};
    Level* current = state->level;
    if (current == nullptr) {
        state->firstLevel = first;
    } else if (dir) {
        first->prev = current;
        last->next = current->next;
        if (current->next != nullptr) {
            current->next->prev = last;
        }
        current->next = first;
    } else {
        last->next = current;
        first->prev = current->prev;
        if (current->prev != nullptr) {
            current->prev->next = first;
        } else {
            state->firstLevel = first;
        }
        current->prev = last;
    }
    state->level = first;
    state->unsaved = true;
    state->edit = Coordinates{0, 0};
    changed(state);
    recordEdit(state, step);
}

// Takes the current level out of the list; the history keeps it, with its
// links as they were, for undo.
void removeCurrent(EditState* state) {
    Level* current = state->level;
    EditStep step{deletedLevel, current, current, nullptr, state->edit, invalidS, invalidS, nullptr, false};
    state->unsaved = true;
    state->edit = Coordinates{0, 0};
    unlinkChain(state, current, current);
    state->level = current->next != nullptr ? current->next : current->prev;
    changed(state);
    if (!recordEdit(state, step)) {
        releaseChain(current, current);
    }
}

// Gives the current level the heap string `name`.
void setName(EditState* state, char* name) {
    Level* current = state->level;
    EditStep step{renamedLevel, current, current, nullptr, state->edit, invalidS, invalidS, current->name, false};
    current->name = name;
    state->unsaved = true;
    if (!recordEdit(state, step)) {
        std::free(step.otherName);
    }
}

void addLevel(EditState* state, bool dir) {
    Level* created = nullptr;
    int answer = createLevel(state, &created);
    if (answer == dialogClosed) {
        state->result = 0;
        return;
    }
    if (answer != dialogOk) {
        return;
    }
    if (created == nullptr) {
        if (showAlert(state, "Memóriafoglalási hiba") == dialogClosed) {
            state->result = 0;
        }
        return;
    }
    insertLevels(state, created, created, dir);
}

void deleteCurrent(EditState* state) {
    if (state->level == nullptr) {
        return;
    }
    int answer = askQuestion(state, "Biztosan törlöd a szintet?");
    if (answer == dialogClosed) {
        state->result = 0;
        return;
    }
    if (answer != dialogOk) {
        return;
    }
    removeCurrent(state);
}

void renameLevel(EditState* state) {
    Level* current = state->level;
    if (current == nullptr) {
        return;
    }
    char name[nameBufferSize];
    name[0] = '\0';
    if (current->name != nullptr) {
        std::strncat(name, current->name, sizeof name - 1);
    }
    int answer = askText(state, "Szint neve", name);
    if (answer == dialogClosed) {
        state->result = 0;
        return;
    }
    if (answer != dialogOk) {
        return;
    }
    size_t length = std::strlen(name);
    char* copy = static_cast<char*>(std::malloc(length + 1));
    if (copy == nullptr) {
        return;  // the level keeps its old name
    }
    std::memcpy(copy, name, length + 1);
    setName(state, copy);
}

void saveState(EditState* state) {
    int answer = fileInput(state->renderer, state->tiles, state->font, state->filename);
    releaseHeld(state);
    if (answer == dialogClosed) {
        state->result = 0;
        return;
    }
    if (answer != dialogOk) {
        return;
    }
    const char* message = "Sikertelen mentés";
    if (saveLevel(state->firstLevel, state->filename)) {
        state->unsaved = false;
        // Undo reaches back to the last save, no further.
        dropHistory(&state->history);
        message = "Sikeres mentés!";
    }
    if (showAlert(state, message) == dialogClosed) {
        state->result = 0;
    }
}

// --- the solvability test ---------------------------------------------------

// Why the play screen would refuse the level, in one sentence, or null.
const char* refusal(const Level* level) {
    int players = 0, crates = 0, targets = 0;
    for (int i = 0; i < level->size.x * level->size.y; i++) {
        TileState cell = level->tiles[i];
        players += cell == playerS || cell == playerOnTargetS;
        crates += cell == crateS || cell == crateOnTargetS;
        targets += cell == targetS || cell == crateOnTargetS || cell == playerOnTargetS;
    }
    if (players == 0) {
        return "A pályán nincs játékos";
    }
    if (players > 1) {
        return "A pályán több játékos is van";
    }
    if (crates < targets) {
        return "A pályán kevesebb a láda, mint a cél";
    }
    return nullptr;
}

void render(EditState* state);

// Tells whether the current level can be solved, and in how few pushes:
// the solver runs with the window alive, and Escape stops it.
void testLevel(EditState* state) {
    const Level* level = state->level;
    if (level == nullptr) {
        return;
    }
    const char* message = refusal(level);
    char text[128];
    if (message == nullptr) {
        try {
            Board board;
            Position start;
            readBoard(level, Coordinates{-1, -1}, &board, &start);
            Found found = findSolution(state->renderer, board, start, &state->thinking, [&] { render(state); },
                                       &state->waiting, &state->result);
            if (found.outcome == searching) {
                return;
            }
            // A level that cannot be solved shows the crates the rules can
            // tell are lost, as the play screen does.
            if (found.outcome == noSolution) {
                hopelessNow(board, start.crates, &state->lost);
                state->lostOn = std::move(board);
                state->showLost = true;
            }
            std::snprintf(text, sizeof text, "Megoldható: %zu tolás%s", found.solution.size(),
                          found.fewest ? "" : "\nTalán kevesebb tolással is");
            message = found.outcome == solved ? text : found.outcome == noSolution ? "Nem megoldható" : "Nem dőlt el";
        } catch (const std::bad_alloc&) {
            state->thinking = false;
            message = "Nem dőlt el";
        }
    }
    if (showAlert(state, message) == dialogClosed) {
        state->result = 0;
    }
}

// Plays the level as it stands, unsaved, on the real play screen; the
// editor comes back exactly as it was. A level the play screen would refuse
// is told why, as by the test.
void playLevelHere(EditState* state) {
    if (state->level == nullptr) {
        return;
    }
    const char* message = refusal(state->level);
    int answer = message != nullptr ? alertBox(state->renderer, state->tiles, state->font, message)
                                    : tryLevel(state->renderer, state->tiles, state->font, state->smallFont, state->level);
    releaseHeld(state);
    state->picture.drawn = false;  // the play screen drew over it
    if (answer == 0) {
        state->result = 0;
    }
}

// --- screen ----------------------------------------------------------------

bool moveSelection(int dir, EditState* state) {
    const Level* level = state->level;
    if (level == nullptr) {
        return false;
    }
    Coordinates& edit = state->edit;
    switch (dir) {
        case 0:
            if (edit.x > 0) {
                edit.x--;
                return true;
            }
            return false;
        case 1:
            if (edit.y > 0) {
                edit.y--;
                return true;
            }
            return false;
        case 2:
            if (edit.x < level->size.x - 1) {
                edit.x++;
                return true;
            }
            return false;
        case 3:
            if (edit.y < level->size.y - 1) {
                edit.y++;
                return true;
            }
            return false;
        default:
            return false;
    }
}

// Overwrites the cursor cell even with the same content: that still counts
// as a change. A later cell of a stroke is chained to the one before.
void placeAtCursor(EditState* state, bool chained) {
    Level* level = state->level;
    if (level == nullptr || state->edit.x < 0 || state->edit.y < 0 || state->edit.x >= level->size.x ||
        state->edit.y >= level->size.y) {
        return;
    }
    state->unsaved = true;
    changed(state);
    TileState placed = static_cast<TileState>(state->selection + 1);
    TileState held = level->tiles[state->edit.x + state->edit.y * level->size.x];
    EditStep step{placedCell, level, level, nullptr, state->edit, held, placed, nullptr, chained};
    setTileState(level, state->edit.x, state->edit.y, placed);
    recordEdit(state, step);
}

void modifyTile(EditState* state) {
    placeAtCursor(state, false);
}

// Another level drops what undo took back, as on the play screen.
void switchLevel(EditState* state, Level* level) {
    if (level != nullptr) {
        state->level = level;
        state->edit = Coordinates{0, 0};
        dropUndone(&state->history);
        changed(state);
    }
}

// Puts the current level on the clipboard as a level file holds it.
void copyLevel(EditState* state) {
    if (state->level != nullptr) {
        try {
            SDL_SetClipboardText(levelText(state->level).c_str());
        } catch (const std::bad_alloc&) {
        }
    }
}

// Inserts every level on the clipboard after the current one, read by the
// level file's rules, as one step of undo.
void pasteLevels(EditState* state) {
    char* text = SDL_GetClipboardText();
    size_t length = text != nullptr ? std::strlen(text) : 0;
    LoadLevelResult read = length > 0 ? loadLevelText(text, length) : LoadLevelResult{loadOk, nullptr};
    SDL_free(text);
    const char* message = nullptr;
    if (length == 0 && clipboardUnreadable(state->renderer)) {
        message = "A vágólap tartalma túl nagy, vagy nem szöveg";
    } else if (read.result == loadNoMemory) {
        message = "Memóriafoglalási hiba";
    } else if (read.result == loadBadCharacter) {
        message = "A fájl hibás karaktereket tartalmaz";
    } else if (read.result == loadTooLarge) {
        int answer = askQuestion(state, tooLargeQuestion(read).c_str());
        if (answer != dialogOk) {
            unloadLevel(read.level);
            if (answer == dialogClosed) {
                state->result = 0;
            }
            return;
        }
    }
    if (message == nullptr && read.level == nullptr) {
        message = "A vágólapon nincs pálya";
    }
    if (message != nullptr) {
        if (showAlert(state, message) == dialogClosed) {
            state->result = 0;
        }
        return;
    }
    Level* last = read.level;
    while (last->next != nullptr) {
        last = last->next;
    }
    insertLevels(state, read.level, last, true);
}

void nextLevel(EditState* state) {
    if (state->level != nullptr) {
        switchLevel(state, state->level->next);
    }
}

void prevLevel(EditState* state) {
    if (state->level != nullptr) {
        switchLevel(state, state->level->prev);
    }
}

void handleExitToMenu(EditState* state) {
    if (!state->unsaved) {
        state->result = 1;
        return;
    }
    int answer = askQuestion(state, "Biztosan szeretnél mentés nélkül kilépni?");
    if (answer == dialogOk) {
        state->result = 1;
    } else if (answer == dialogClosed) {
        state->result = 0;
    }
}

enum EditAction { leave, store, previous, next, addBefore, addAfter, remove, takeBack, doAgain, tryOut, playIt };

// When a button's picture is drawn; its cell acts always.
enum Shown { always, withPrevious, withNext, withLevel };

struct EditButton {
    Coordinates cell;
    Tile picture;
    EditAction action;
    Shown shown;
    const char* says;  // while the mouse rests on it: what it does, and its key
};

// The buttons around the level, in the order clicks are tested.
const EditButton editButtons[] = {
    {{0, 0}, home, leave, always, "Vissza a menübe (Escape)"},
    {{0, 1}, save, store, always, "Mentés (Ctrl+S)"},
    {{0, 11}, left, previous, withPrevious, "Előző pálya (Page Down)"},
    {{19, 11}, right, next, withNext, "Következő pálya (Page Up)"},
    {{1, 11}, add, addBefore, always, "Új pálya elé (Home)"},
    {{18, 11}, add, addAfter, always, "Új pálya mögé (End)"},
    {{0, 10}, deleteButton, remove, withLevel, "A pálya törlése (Delete)"},
    {{0, 9}, undo, takeBack, always, "Visszavonás (Backspace)"},
    {{2, 11}, redo, doAgain, always, "Újra (Shift+Backspace)"},
    {{17, 11}, test, tryOut, withLevel, "Megoldható? (Ctrl+T)"},
    {{16, 11}, player, playIt, withLevel, "Kipróbálás (Ctrl+P)"},
};
// What the palette's entries place, and their keys.
const char* const paletteSays[paletteSize] = {"Fal (1)",        "Játékos (2)", "Játékos célon (3)", "Láda (4)",
                                              "Láda célon (5)", "Cél (6)",     "Padló (7)"};
const char* const renameSays = "Átnevezés (R)";

// Clicks on the name row between the redo and try buttons rename the level.
constexpr int renameLeft = 3;
constexpr int renameRight = 15;
const Coordinates nameCell{10, 11};
// The level row runs between the two add buttons.
constexpr int rowLeft = renameLeft * tileSize + 8;
constexpr int rowRight = (renameRight + 1) * tileSize - 8;

// Runs a button's action; returns whether to redraw.
bool act(EditState* state, EditAction action) {
    switch (action) {
        case leave:
            handleExitToMenu(state);
            break;
        case store:
            saveState(state);
            break;
        case previous:
            prevLevel(state);
            break;
        case next:
            nextLevel(state);
            break;
        case addBefore:
            addLevel(state, false);
            break;
        case addAfter:
            addLevel(state, true);
            break;
        case remove:
            deleteCurrent(state);
            break;
        case takeBack:
            return undoEdit(state);
        case doAgain:
            return redoEdit(state);
        case tryOut:
            testLevel(state);
            break;
        case playIt:
            playLevelHere(state);
            break;
    }
    return true;
}

void drawButtons(EditState* state, Shown shown) {
    for (const EditButton& button : editButtons) {
        if (button.shown == shown) {
            renderTileC(state->renderer, state->tiles, button.picture, button.cell);
        }
    }
}

void render(EditState* state) {
    SDL_Renderer* renderer = state->renderer;
    SDL_Texture* tiles = state->tiles;
    renderTiles(renderer, tiles, greyFloor, 0, 0, gridColumns - 1, gridRows - 1);
    drawButtons(state, always);
    const Level* level = state->level;
    if (level != nullptr) {
        for (int i = 0; i < paletteSize; i++) {
            drawContent(state, static_cast<TileState>(i + 1), SDL_Rect{0, (paletteTop + i) * tileSize, tileSize, tileSize},
                        greyFloor);
            if (i == state->selection) {
                renderTile(renderer, tiles, selection, 0, paletteTop + i);
            }
        }
        // The cells are drawn once for each level and edit, not for each key.
        if (!state->picture.drawn) {
            paintPicture(renderer, &state->picture, level->size, [&](const std::function<SDL_Rect(Coordinates)>& at) {
                for (int r = 0; r < level->size.y; r++) {
                    for (int c = 0; c < level->size.x; c++) {
                        drawContent(state, level->tiles[c + r * level->size.x], at(Coordinates{c, r}), brownFloor);
                    }
                }
            });
        }
        showPicture(renderer, state->picture);
        LevelView view = levelView(level->size);
        for (int r = 0; state->showLost && r < level->size.y; r++) {
            for (int c = 0; c < level->size.x; c++) {
                if (state->lost.has(boardCell(state->lostOn, Coordinates{c, r}))) {
                    renderTileAt(renderer, tiles, lost, viewCell(view, Coordinates{c, r}));
                }
            }
        }
        renderTileAt(renderer, tiles, selection, viewCell(view, state->edit));
        if (level->prev != nullptr) {
            drawButtons(state, withPrevious);
        }
        int number = 0;
        int count = 0;
        for (const Level* counted = state->firstLevel; counted != nullptr; counted = counted->next) {
            count++;
            if (counted == level) {
                number = count;
            }
        }
        char numberText[32];
        std::snprintf(numberText, sizeof numberText, "%d/%d", number, count);
        // What the editor says in place of the name is in the smaller size.
        const char* says = state->thinking ? "Gondolkodom..." : state->pointing;
        renderLevelRow(renderer, says != nullptr ? state->smallFont : state->font, state->smallFont, rowLeft, rowRight,
                       numberText, says != nullptr ? says : level->name, nullptr, nullptr);
        if (level->next != nullptr) {
            drawButtons(state, withNext);
        }
        drawButtons(state, withLevel);
    } else {
        renderLevelRow(renderer, state->smallFont, state->smallFont, rowLeft, rowRight, nullptr, state->pointing, nullptr,
                       nullptr);
    }
    showFrame(renderer);
}

bool handleKeydown(EditState* state, SDL_Scancode key) {
    // A key ends a stroke in progress, so that the cells placed after it
    // never join a step of undo made by the key (an undo, a paste, another
    // level); the held button paints again only after a new press.
    state->stroke = false;
    if (key == SDL_SCANCODE_BACKSPACE) {
        return act(state, state->shift ? doAgain : takeBack);  // with or without Ctrl
    }
    if (key == SDL_SCANCODE_LCTRL || key == SDL_SCANCODE_RCTRL) {
        state->ctrl = true;
        return false;
    }
    if (key == SDL_SCANCODE_LSHIFT || key == SDL_SCANCODE_RSHIFT) {
        state->shift = true;
        return false;
    }
    if (state->ctrl) {
        switch (key) {
            case SDL_SCANCODE_S:
            case SDL_SCANCODE_DOWN:
                saveState(state);
                return true;
            case SDL_SCANCODE_C:
                copyLevel(state);
                return false;
            case SDL_SCANCODE_V:
                pasteLevels(state);
                return true;
            case SDL_SCANCODE_T:
                act(state, tryOut);
                return true;
            case SDL_SCANCODE_P:
                act(state, playIt);
                return true;
            default:
                return false;
        }
    }
    if (key >= SDL_SCANCODE_1 && key < SDL_SCANCODE_1 + paletteSize) {
        state->selection = key - SDL_SCANCODE_1;
        return true;
    }
    if (keyDirection(key) >= 0) {
        return moveSelection(keyDirection(key), state);
    }
    switch (key) {
        case SDL_SCANCODE_RETURN:
        case SDL_SCANCODE_SPACE:
            modifyTile(state);
            return true;
        case SDL_SCANCODE_R:
            renameLevel(state);
            return true;
        case SDL_SCANCODE_ESCAPE:
            act(state, leave);
            return true;
        case SDL_SCANCODE_HOME:
            act(state, addBefore);
            return true;
        case SDL_SCANCODE_END:
            act(state, addAfter);
            return true;
        case SDL_SCANCODE_DELETE:
            act(state, remove);
            return true;
        case SDL_SCANCODE_PAGEUP:
            act(state, next);
            return true;
        case SDL_SCANCODE_PAGEDOWN:
            act(state, previous);
            return true;
        default:
            return false;
    }
}

bool handleKeyup(EditState* state, SDL_Scancode key) {
    if (key == SDL_SCANCODE_LCTRL || key == SDL_SCANCODE_RCTRL) {
        state->ctrl = false;
    }
    if (key == SDL_SCANCODE_LSHIFT || key == SDL_SCANCODE_RSHIFT) {
        state->shift = false;
    }
    return false;
}

// The cell i steps of `steps` along the line from `from` to `to` (one axis),
// rounded to the nearest.
int between(int from, int to, int i, int steps) {
    int scaled = (to - from) * i * 2;
    return from + (scaled >= 0 ? (scaled + steps) / (2 * steps) : -((-scaled + steps) / (2 * steps)));
}

// The level cell at frame pixel (x, y), or false when there is none.
bool levelCellAt(const EditState* state, int x, int y, Coordinates* cell) {
    const Level* level = state->level;
    return level != nullptr && viewCellAt(levelView(level->size), level->size, x, y, cell);
}

bool paintAlong(EditState* state, int x, int y, Uint32 buttons);

// Whether a button's picture is drawn now.
bool drawn(const EditState* state, const EditButton& button) {
    const Level* level = state->level;
    switch (button.shown) {
        case withPrevious:
            return level != nullptr && level->prev != nullptr;
        case withNext:
            return level != nullptr && level->next != nullptr;
        case withLevel:
            return level != nullptr;
        default:
            return true;
    }
}

// What the button under the mouse does, for the level row; a place whose
// button is not drawn says nothing.
const char* pointedAt(const EditState* state, int x, int y) {
    for (const EditButton& button : editButtons) {
        if (clickTile(button.cell.x, button.cell.y, x, y) && drawn(state, button)) {
            return button.says;
        }
    }
    if (state->level == nullptr) {
        return nullptr;
    }
    for (int i = 0; i < paletteSize; i++) {
        if (clickTile(0, paletteTop + i, x, y)) {
            return paletteSays[i];
        }
    }
    return clickTiles(renameLeft, nameCell.y, renameRight, nameCell.y, x, y) ? renameSays : nullptr;
}

bool handleMotion(EditState* state, int x, int y, Uint32 buttons) {
    const char* says = pointedAt(state, x, y);
    bool pointing = says != state->pointing;
    state->pointing = says;
    return paintAlong(state, x, y, buttons) || pointing;
}

// A held button moved over the level places in every cell passed, as a
// click would, cells skipped by a quick move included; the whole stroke is
// one step of undo.
bool paintAlong(EditState* state, int x, int y, Uint32 buttons) {
    Coordinates cell;
    if (!state->stroke || buttons == 0) {
        state->stroke = false;
        return false;
    }
    if (!levelCellAt(state, x, y, &cell) ||
        (cell.x == state->strokeCell.x && cell.y == state->strokeCell.y)) {
        return false;
    }
    Coordinates from = state->strokeCell;
    int steps = std::abs(cell.x - from.x) > std::abs(cell.y - from.y) ? std::abs(cell.x - from.x)
                                                                       : std::abs(cell.y - from.y);
    for (int i = 1; i <= steps; i++) {
        state->edit = Coordinates{between(from.x, cell.x, i, steps), between(from.y, cell.y, i, steps)};
        placeAtCursor(state, true);
    }
    state->strokeCell = cell;
    return true;
}

bool handleClick(EditState* state, int x, int y) {
    state->stroke = false;
    for (const EditButton& button : editButtons) {
        if (clickTile(button.cell.x, button.cell.y, x, y)) {
            return act(state, button.action);
        }
    }
    Level* level = state->level;
    if (level == nullptr) {
        return false;
    }
    for (int i = 0; i < paletteSize; i++) {
        if (clickTile(0, paletteTop + i, x, y)) {
            state->selection = i;
            return true;
        }
    }
    Coordinates cell;
    if (levelCellAt(state, x, y, &cell)) {
        state->edit = cell;
        modifyTile(state);
        // Held and moved, the button paints on.
        state->stroke = true;
        state->strokeCell = cell;
        return true;
    }
    if (clickTiles(renameLeft, nameCell.y, renameRight, nameCell.y, x, y)) {
        renameLevel(state);
        return true;
    }
    return false;
}

bool handleEvent(SDL_Event event, EditState* state) {
    switch (event.type) {
        case SDL_QUIT:
            state->result = 0;
            return false;
        case SDL_KEYDOWN:
            return handleKeydown(state, event.key.keysym.scancode);
        case SDL_KEYUP:
            return handleKeyup(state, event.key.keysym.scancode);
        case SDL_MOUSEBUTTONDOWN:
            return handleClick(state, event.button.x, event.button.y);
        case SDL_MOUSEBUTTONUP:
            state->stroke = false;
            return false;
        case SDL_MOUSEMOTION:
            return handleMotion(state, event.motion.x, event.motion.y, event.motion.state);
        default:
            return false;
    }
}

// The editor's state on `levels`, which it owns from now on, the first
// current.
EditState openState(SDL_Renderer* renderer, SDL_Texture* tiles, TTF_Font* font, TTF_Font* smallFont, char* filename,
                    Level* levels) {
    EditState state{};
    state.firstLevel = state.level = levels;
    state.result = -1;
    state.filename = filename;
    state.renderer = renderer;
    state.tiles = tiles;
    state.font = font;
    state.smallFont = smallFont;
    return state;
}

// A name that cannot be read is a new file only when nothing of that name
// exists; otherwise a later save would replace levels we could not read.
bool isNewFile(const char* filename) {
    struct stat info;
    return stat(filename, &info) != 0 && (errno == ENOENT || errno == ENOTDIR);
}

}  // namespace

int editLevel(SDL_Renderer* renderer, SDL_Texture* tiles, TTF_Font* font, TTF_Font* smallFont, char* filename) {
    LoadLevelResult loaded = loadLevel(filename);
    switch (loaded.result) {
        case loadCannotOpen:
            if (!isNewFile(filename)) {
                return alertBox(renderer, tiles, font, "Nem lehet megnyitni a fájlt");
            }
            break;
        case loadNoMemory:
            return alertBox(renderer, tiles, font, "Memóriafoglalási hiba");
        case loadBadCharacter:
            return alertBox(renderer, tiles, font, "A fájl hibás karaktereket tartalmaz");
        case loadTooLarge: {
            int answer = dialogBox(renderer, tiles, font, tooLargeQuestion(loaded).c_str());
            if (answer != dialogOk) {
                unloadLevel(loaded.level);
                return answer == dialogClosed ? 0 : 1;
            }
            break;
        }
        default:
            break;
    }
    EditState state = openState(renderer, tiles, font, smallFont, filename, loaded.level);
    render(&state);
    SDL_Event event;
    while (nextEvent(renderer, &state.waiting, &event) != 0) {
        bool redraw = handleEvent(event, &state);
        if (state.result != -1) {
            releasePicture(&state.picture);
            dropHistory(&state.history);
            unloadLevel(state.firstLevel);
            return state.result;
        }
        if (redraw) {
            render(&state);
        }
    }
    releasePicture(&state.picture);
    dropHistory(&state.history);
    unloadLevel(state.firstLevel);
    return 0;
}
