#include "choose.h"

#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "coordinates.h"
#include "folders.h"
#include "results.h"
#include "tiles.h"
#include "window.h"

namespace {

// What the chooser shows of a level besides its picture.
struct Mark {
    bool solved;
    bool hasBest;  // a win of its own, not one with a hint
    bool star;     // the best pushes are the proven least
    Win best;      // by pushes, when it has one
    int optimum;  // the proven least pushes, 0 when unknown
};

struct ChooseState {
    std::vector<const Level*> levels;
    std::vector<Mark> marks;
    int cursor;
    int hovered;  // the button under the mouse, or -1
    int result;
    int* index;
    SDL_Renderer* renderer;
    SDL_Texture* tiles;
    TTF_Font* font;
    TTF_Font* smallFont;
};

// Levels are shown four across and three down, each in a slot of the area
// right of column 0 and above the bottom row, as large as the slot allows
// up to half a cell's size: a level of 19 x 11 cells gets 15 pixels a cell
// and stays recognisable.
constexpr int slotColumns = 4;
constexpr int slotRows = 3;
constexpr int perPage = slotColumns * slotRows;
constexpr int slotWidth = (frameWidth - tileSize) / slotColumns;
constexpr int slotHeight = (frameHeight - tileSize) / slotRows;
constexpr int largestThumbCell = tileSize / 2;
constexpr int labelHeight = 36;
constexpr int slotMargin = 4;

const SDL_Color white{255, 255, 255, 0};
const SDL_Color gold{255, 214, 64, 0};

enum ChooseAction { back, previousPage, nextPage };

// When a button's picture is drawn; its cell acts always.
enum Shown { always, withPrevious, withNext };

struct ChooseButton {
    Coordinates cell;
    Tile picture;
    ChooseAction action;
    Shown shown;
    const char* says;  // while the mouse rests on it: what it does, and its key
};

const ChooseButton chooseButtons[] = {
    {{0, 0}, home, back, always, "Vissza a pályához (Escape)"},
    {{0, 11}, left, previousPage, withPrevious, "Előző oldal (Page Down)"},
    {{gridColumns - 1, 11}, right, nextPage, withNext, "Következő oldal (Page Up)"},
};
constexpr int chooseButtonCount = sizeof chooseButtons / sizeof chooseButtons[0];

// The level row runs between the two page arrows.
constexpr int rowLeft = tileSize + 8;
constexpr int rowRight = (gridColumns - 1) * tileSize - 8;

SDL_Rect slotRect(int slot) {
    return SDL_Rect{tileSize + slot % slotColumns * slotWidth, slot / slotColumns * slotHeight, slotWidth,
                    slotHeight};
}

int levelCount(const ChooseState* state) {
    return static_cast<int>(state->levels.size());
}

int pageOf(int level) {
    return level / perPage;
}

bool hasPage(const ChooseState* state, int page) {
    return page >= 0 && page * perPage < levelCount(state);
}

void drawThumbnail(ChooseState* state, const Level* level, SDL_Rect slot) {
    int roomW = slot.w - 4 * slotMargin;
    int roomH = slot.h - labelHeight - 2 * slotMargin;
    int thumbCell = largestThumbCell;
    thumbCell = roomW / level->size.x < thumbCell ? roomW / level->size.x : thumbCell;
    thumbCell = roomH / level->size.y < thumbCell ? roomH / level->size.y : thumbCell;
    int width = level->size.x * thumbCell;
    int height = level->size.y * thumbCell;
    int left = slot.x + (slot.w - width) / 2;
    int top = slot.y + labelHeight + (slot.h - labelHeight - slotMargin - height) / 2;
    for (int y = 0; y < level->size.y; y++) {
        for (int x = 0; x < level->size.x; x++) {
            SDL_Rect cell{left + x * thumbCell, top + y * thumbCell, thumbCell, thumbCell};
            renderTileInto(state->renderer, state->tiles, brownFloor, cellPicture(level->tiles[y * level->size.x + x]),
                           cell);
        }
    }
}

void drawSlot(ChooseState* state, int level, int slot) {
    SDL_Rect rect = slotRect(slot);
    const Mark& mark = state->marks[static_cast<size_t>(level)];
    if (mark.solved) {
        // A solved level lies on green floor, as it does when played.
        SDL_Rect inner{rect.x + slotMargin, rect.y + slotMargin, rect.w - 2 * slotMargin, rect.h - 2 * slotMargin};
        SDL_RenderSetClipRect(state->renderer, &inner);
        renderTiles(state->renderer, state->tiles, greenFloor, rect.x / tileSize, rect.y / tileSize,
                    (rect.x + rect.w) / tileSize, (rect.y + rect.h) / tileSize);
        SDL_RenderSetClipRect(state->renderer, nullptr);
    }
    drawThumbnail(state, state->levels[static_cast<size_t>(level)], rect);
    char number[16];
    std::snprintf(number, sizeof number, "%d", level + 1);
    int labelY = rect.y + slotMargin + labelHeight / 2;
    renderFontAt(state->renderer, state->smallFont, white, number, rect.x + 3 * slotMargin, labelY, false, true);
    if (mark.star) {
        renderFontAt(state->renderer, state->smallFont, gold, "\xE2\x98\x85", rect.x + rect.w - 3 * slotMargin, labelY,
                     true, true);
    }
    if (level == state->cursor) {
        renderCorners(state->renderer, state->tiles, selection, rect);
    }
}

// Whether a button's picture is drawn now.
bool drawn(const ChooseState* state, const ChooseButton& button) {
    int page = pageOf(state->cursor);
    return button.shown == always || (button.shown == withPrevious && hasPage(state, page - 1)) ||
           (button.shown == withNext && hasPage(state, page + 1));
}

void render(ChooseState* state) {
    SDL_Renderer* renderer = state->renderer;
    renderTiles(renderer, state->tiles, greyFloor, 0, 0, gridColumns - 1, gridRows - 1);
    int page = pageOf(state->cursor);
    for (int slot = 0; slot < perPage && page * perPage + slot < levelCount(state); slot++) {
        drawSlot(state, page * perPage + slot, slot);
    }
    for (const ChooseButton& button : chooseButtons) {
        if (drawn(state, button)) {
            renderTileC(renderer, state->tiles, button.picture, button.cell);
        }
    }
    // Where the player stands on the left; the level under the cursor in the
    // middle, and what he and the solver did on it on the right.
    const Mark& mark = state->marks[static_cast<size_t>(state->cursor)];
    int solved = 0;
    for (const Mark& each : state->marks) {
        solved += each.solved;
    }
    char standing[96];
    std::snprintf(standing, sizeof standing, "%d/%d. oldal\nMegoldva: %d/%d", page + 1,
                  pageOf(levelCount(state) - 1) + 1, solved, levelCount(state));
    char results[128] = "";
    int used = 0;
    if (mark.hasBest) {
        used = std::snprintf(results, sizeof results, "Legjobb: %d lépés, %d tolás", mark.best.moves, mark.best.pushes);
    }
    if (mark.optimum > 0) {
        std::snprintf(results + used, sizeof results - static_cast<size_t>(used), "%sLegkevesebb tolás: %d",
                      used > 0 ? "\n" : "", mark.optimum);
    }
    // A button's text is in the smaller size, a level's name in the larger.
    bool says = state->hovered >= 0;
    const char* name = says ? chooseButtons[state->hovered].says : state->levels[static_cast<size_t>(state->cursor)]->name;
    renderLevelRow(renderer, says ? state->smallFont : state->font, state->smallFont, rowLeft, rowRight, standing, name,
                   results, nullptr);
    showFrame(renderer);
}

// Moves the cursor by `step` levels, kept within the list. True when it moved.
bool moveCursor(ChooseState* state, int step) {
    int moved = state->cursor + step;
    moved = moved < 0 ? 0 : moved >= levelCount(state) ? levelCount(state) - 1 : moved;
    if (moved == state->cursor) {
        return false;
    }
    state->cursor = moved;
    return true;
}

void choose(ChooseState* state, int level) {
    *state->index = level;
    state->result = choosePlay;
}

bool act(ChooseState* state, ChooseAction action) {
    switch (action) {
        case back:
            state->result = chooseBack;
            return false;
        case previousPage:
            return moveCursor(state, -perPage);
        case nextPage:
            return moveCursor(state, perPage);
    }
    return false;
}

bool handleKeydown(ChooseState* state, SDL_Scancode key) {
    // Across by one, up and down by a row of slots.
    const int steps[directionCount] = {-1, -slotColumns, 1, slotColumns};
    int dir = keyDirection(key);
    if (dir >= 0) {
        return moveCursor(state, steps[dir]);
    }
    switch (key) {
        case SDL_SCANCODE_PAGEUP:
            return act(state, nextPage);
        case SDL_SCANCODE_PAGEDOWN:
            return act(state, previousPage);
        case SDL_SCANCODE_HOME:
            return moveCursor(state, -levelCount(state));
        case SDL_SCANCODE_END:
            return moveCursor(state, levelCount(state));
        case SDL_SCANCODE_RETURN:
            choose(state, state->cursor);
            return false;
        case SDL_SCANCODE_ESCAPE:
            return act(state, back);
        default:
            return false;
    }
}

// The level shown at frame pixel (x, y), or -1.
int levelAt(const ChooseState* state, int x, int y) {
    return slotAt(pageOf(state->cursor) * perPage, levelCount(state), perPage, slotRect, x, y);
}

bool handleClick(ChooseState* state, int x, int y) {
    for (const ChooseButton& button : chooseButtons) {
        if (clickTile(button.cell.x, button.cell.y, x, y)) {
            return act(state, button.action);
        }
    }
    int level = levelAt(state, x, y);
    if (level >= 0) {
        choose(state, level);
    }
    return false;
}

// The cursor follows the mouse over the levels; over a button the row says
// what the button does.
bool handleMotion(ChooseState* state, int x, int y) {
    int level = levelAt(state, x, y);
    bool changed = level >= 0 && level != state->cursor;
    state->cursor = level >= 0 ? level : state->cursor;
    int hovered = -1;
    for (int i = 0; i < chooseButtonCount; i++) {
        bool on = clickTile(chooseButtons[i].cell.x, chooseButtons[i].cell.y, x, y);
        hovered = on && drawn(state, chooseButtons[i]) ? i : hovered;
    }
    changed = changed || hovered != state->hovered;
    state->hovered = hovered;
    return changed;
}

bool handleEvent(SDL_Event event, ChooseState* state) {
    switch (event.type) {
        case SDL_KEYDOWN:
            return handleKeydown(state, event.key.keysym.scancode);
        case SDL_MOUSEBUTTONDOWN:
            return handleClick(state, event.button.x, event.button.y);
        case SDL_MOUSEMOTION:
            return handleMotion(state, event.motion.x, event.motion.y);
        case SDL_MOUSEWHEEL: {
            // Turned towards the player, the wheel goes on through the list.
            int towards = wheelTowardsPlayer(event.wheel);
            return towards != 0 && act(state, towards > 0 ? nextPage : previousPage);
        }
        case SDL_QUIT:
            state->result = chooseClosed;
            return false;
        default:
            return false;
    }
}

// The marks of every level, from the player's records and the bundled
// levels' proven least pushes.
void markLevels(ChooseState* state) {
    Results results = readResults(resultsPath());
    bool installed = false;
    std::unordered_map<uint64_t, int> optimum = readOptimum(findAsset(bundledSolutions, &installed));
    for (const Level* level : state->levels) {
        uint64_t identity = levelIdentity(level);
        Mark mark{false, false, false, Win{}, 0};
        auto known = optimum.find(identity);
        mark.optimum = known != optimum.end() ? known->second : 0;
        auto kept = results.find(identity);
        if (kept != results.end() && kept->second.solved()) {
            mark.solved = true;
            mark.hasBest = kept->second.byPushesKnown;
            mark.best = kept->second.byPushes;
            mark.star = mark.hasBest && mark.best.pushes == mark.optimum;
        }
        state->marks.push_back(mark);
    }
}

// The first unsolved level from `current` on, round the end of the list;
// `current` itself when every level is solved.
int firstUnsolved(const ChooseState* state, int current) {
    for (int i = 0; i < levelCount(state); i++) {
        int level = (current + i) % levelCount(state);
        if (!state->marks[static_cast<size_t>(level)].solved) {
            return level;
        }
    }
    return current;
}

}  // namespace

int chooseLevel(SDL_Renderer* renderer, SDL_Texture* tiles, TTF_Font* font, TTF_Font* smallFont, const Level* levels,
                int* index) try {
    ChooseState state{{}, {}, 0, -1, -1, index, renderer, tiles, font, smallFont};
    for (const Level* level = levels; level != nullptr; level = level->next) {
        state.levels.push_back(level);
    }
    if (state.levels.empty()) {
        return chooseBack;
    }
    markLevels(&state);
    int current = *index < 0 || *index >= levelCount(&state) ? 0 : *index;
    state.cursor = firstUnsolved(&state, current);
    render(&state);
    SDL_Event event;
    while (waitEvent(renderer, &event) != 0) {
        bool redraw = handleEvent(event, &state);
        if (state.result != -1) {
            return state.result;
        }
        if (redraw) {
            render(&state);
        }
    }
    return chooseClosed;
} catch (const std::bad_alloc&) {
    return chooseBack;  // without memory for the list the level stays
}
