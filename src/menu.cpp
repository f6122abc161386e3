#include "menu.h"

#include <vector>

#include "coordinates.h"
#include "file.h"
#include "input.h"
#include "tiles.h"
#include "window.h"

namespace {

// Where the player and the crate stood before a move, for Backspace.
struct RoomStep {
    Coordinates player;
    Coordinates crate;
};

struct MenuState {
    Coordinates crate;
    Coordinates player;
    char* filename;
    int result;
    SDL_Renderer* renderer;
    SDL_Texture* tiles;
    TTF_Font* font;
    const char* pointing;  // what the button under the mouse does, or null
    bool ctrl;
    std::vector<RoomStep> steps;  // the moves made, so that a crate pushed astray comes back
};

constexpr Coordinates playerStart{3, 4};
constexpr Coordinates crateStart{4, 6};
// The walkable floor of the room.
constexpr int floorLeft = 2;
constexpr int floorTop = 2;
constexpr int floorRight = 5;
constexpr int floorBottom = 9;
constexpr Coordinates playTarget{4, 4};
constexpr Coordinates editTarget{4, 7};
// The four corners of the floor end the program.
constexpr Coordinates exitTargets[] = {{2, 2}, {5, 2}, {2, 9}, {5, 9}};

// A button's action: a direction, or the room put back as it was.
constexpr int restartRoom = directionCount;

struct ArrowButton {
    Coordinates cell;
    Tile picture;
    int action;
    const char* says;  // while the mouse rests on it: what it does, and its key
};

// The on-screen arrow panel, in the order clicks are tested.
const ArrowButton arrowButtons[] = {
    {{16, 6}, up, 1, "Fel (fel nyíl, W)"},
    {{16, 8}, down, 3, "Le (le nyíl, S)"},
    {{15, 7}, left, 0, "Balra (bal nyíl, A)"},
    {{17, 7}, right, 2, "Jobbra (jobb nyíl, D)"},
    {{16, 7}, retry, restartRoom, "Újrakezdés (Ctrl+R; visszalépés: Backspace)"},
};

struct Label {
    Coordinates cell;
    const char* text;
};

const Label labels[] = {
    {{10, 1}, "Boxtolo"},
    {{7, 4}, "Játék kezdése"},
    {{7, 7}, "Szintszerkesztő"},
    {{7, 9}, "Kilépésch"},
    {{7, 2}, "Kilépésch"},
    {{0, 11}, "Told a ládát a megfelelő opció előtti célra!"},
};

const SDL_Color white{255, 255, 255, 0};

bool same(Coordinates a, Coordinates b) {
    return a.x == b.x && a.y == b.y;
}

void renderMenu(MenuState* state) {
    SDL_Renderer* renderer = state->renderer;
    SDL_Texture* tiles = state->tiles;
    renderTiles(renderer, tiles, greyFloor, 0, 0, gridColumns - 1, gridRows - 1);
    renderTiles(renderer, tiles, brownFloor, 1, 1, 6, 10);
    renderTiles(renderer, tiles, wall, 1, 1, 1, 10);
    renderTiles(renderer, tiles, wall, 2, 1, 5, 1);
    renderTiles(renderer, tiles, wall, 6, 1, 6, 10);
    renderTiles(renderer, tiles, wall, 2, 10, 5, 10);
    renderTileC(renderer, tiles, crate, state->crate);
    renderTileC(renderer, tiles, target, playTarget);
    renderTileC(renderer, tiles, target, editTarget);
    for (Coordinates exitTarget : exitTargets) {
        renderTileC(renderer, tiles, target, exitTarget);
    }
    renderTileC(renderer, tiles, player, state->player);
    renderTiles(renderer, tiles, greenFloor, 14, 5, 18, 9);
    renderTiles(renderer, tiles, wall, 14, 5, 18, 5);
    renderTiles(renderer, tiles, wall, 14, 9, 18, 9);
    renderTiles(renderer, tiles, wall, 14, 6, 14, 8);
    renderTiles(renderer, tiles, wall, 18, 6, 18, 8);
    for (const ArrowButton& button : arrowButtons) {
        renderTileC(renderer, tiles, button.picture, button.cell);
    }
    for (const Label& label : labels) {
        // The line at the foot says what an arrow under the mouse does.
        bool foot = label.cell.y == gridRows - 1 && state->pointing != nullptr;
        renderFontC(renderer, state->font, white, foot ? state->pointing : label.text, label.cell, false, true);
    }
    showFrame(renderer);
}

// Asks for the file name; a confirmed name chooses `chosen`.
void promptFile(MenuState* state, int chosen) {
    int answer = fileInput(state->renderer, state->tiles, state->font, state->filename);
    if (answer == dialogClosed) {
        state->result = menuQuit;
    } else if (answer == dialogOk) {
        state->result = chosen;
    }
}

// True when the crate may move to the cell; a target acts instead.
bool processCratePosition(MenuState* state, int crateX, int crateY) {
    if ((crateX == floorLeft || crateX == floorRight) && (crateY == floorTop || crateY == floorBottom)) {
        state->result = menuQuit;
        return false;
    }
    if (same(Coordinates{crateX, crateY}, playTarget)) {
        promptFile(state, menuPlay);
        return false;
    }
    if (same(Coordinates{crateX, crateY}, editTarget)) {
        promptFile(state, menuEdit);
        return false;
    }
    return true;
}

bool atEdge(Coordinates cell, int dir) {
    switch (dir) {
        case 0:
            return cell.x == floorLeft;
        case 1:
            return cell.y == floorTop;
        case 2:
            return cell.x == floorRight;
        default:
            return cell.y == floorBottom;
    }
}

bool processMovement(int dir, MenuState* state) {
    if (dir < 0 || dir >= directionCount) {
        return false;
    }
    Coordinates step = directionSteps[dir];
    Coordinates next{state->player.x + step.x, state->player.y + step.y};
    RoomStep before{state->player, state->crate};
    if (same(next, state->crate)) {
        if (atEdge(state->crate, dir)) {
            return false;
        }
        if (processCratePosition(state, state->crate.x + step.x, state->crate.y + step.y)) {
            state->crate = Coordinates{state->crate.x + step.x, state->crate.y + step.y};
            state->player = next;
            state->steps.push_back(before);
        }
        // A target acted: the prompt covered the room, which must be redrawn.
        return true;
    }
    if (atEdge(state->player, dir)) {
        return false;
    }
    state->player = next;
    state->steps.push_back(before);
    return true;
}

// A crate pushed where it can reach only the quit targets must not lock the
// room: a move can be taken back, and the room put back as it was.
bool takeBack(MenuState* state) {
    if (state->steps.empty()) {
        return false;
    }
    state->player = state->steps.back().player;
    state->crate = state->steps.back().crate;
    state->steps.pop_back();
    return true;
}

bool restart(MenuState* state) {
    bool moved = !same(state->player, playerStart) || !same(state->crate, crateStart);
    state->player = playerStart;
    state->crate = crateStart;
    state->steps.clear();
    return moved;
}

bool act(MenuState* state, int action) {
    return action == restartRoom ? restart(state) : processMovement(action, state);
}

bool handleKeydown(MenuState* state, SDL_Scancode key) {
    switch (key) {
        case SDL_SCANCODE_LCTRL:
        case SDL_SCANCODE_RCTRL:
            state->ctrl = true;
            return false;
        case SDL_SCANCODE_BACKSPACE:
            return takeBack(state);
        case SDL_SCANCODE_R:
            return state->ctrl && restart(state);
        default:
            return processMovement(keyDirection(key), state);
    }
}

bool handleEvent(SDL_Event event, MenuState* state) {
    switch (event.type) {
        case SDL_KEYDOWN:
            return handleKeydown(state, event.key.keysym.scancode);
        case SDL_KEYUP:
            if (event.key.keysym.scancode == SDL_SCANCODE_LCTRL || event.key.keysym.scancode == SDL_SCANCODE_RCTRL) {
                state->ctrl = false;
            }
            return false;
        case SDL_MOUSEBUTTONDOWN:
            for (const ArrowButton& button : arrowButtons) {
                if (clickTile(button.cell.x, button.cell.y, event.button.x, event.button.y)) {
                    return act(state, button.action);
                }
            }
            return false;
        case SDL_MOUSEMOTION: {
            const char* says = nullptr;
            for (const ArrowButton& button : arrowButtons) {
                says = clickTile(button.cell.x, button.cell.y, event.motion.x, event.motion.y) ? button.says : says;
            }
            bool changed = says != state->pointing;
            state->pointing = says;
            return changed;
        }
        case SDL_QUIT:
            state->result = menuQuit;
            return false;
        default:
            return false;
    }
}

}  // namespace

int mainMenu(SDL_Renderer* renderer, SDL_Texture* tiles, TTF_Font* font, char* filename) {
    MenuState state{crateStart, playerStart, filename, -1, renderer, tiles, font, nullptr, false, {}};
    renderMenu(&state);
    SDL_Event event;
    while (waitEvent(renderer, &event) != 0) {
        bool redraw = handleEvent(event, &state);
        if (state.result != -1) {
            return state.result;
        }
        if (redraw) {
            renderMenu(&state);
        }
    }
    return menuQuit;
}
