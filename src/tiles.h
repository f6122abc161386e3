#pragma once

#include <SDL2/SDL.h>
#include <SDL2/SDL_ttf.h>

#include <cstddef>

#include "coordinates.h"

// One window cell and one tileset cell are both this many pixels square.
constexpr int tileSize = 64;
constexpr int gridColumns = 20;
constexpr int gridRows = 12;
// The picture every screen draws, whatever the size of the window.
constexpr int frameWidth = gridColumns * tileSize;
constexpr int frameHeight = gridRows * tileSize;

// The pictures of the tileset. `deleteButton` is the delete button; the
// plain word is reserved in C++. `undo` is the undo button.
enum Tile {
    greenFloor = 0,
    greyFloor,
    brownFloor,
    wall,
    player,
    crate,
    crateOnTarget,
    target,
    up,
    down,
    left,
    right,
    home,
    save,
    add,
    blank,
    blankL,
    blankR,
    blankLR,
    retry,
    selection,
    deleteButton,
    undo,
};
constexpr int tileCount = 23;

// The direction of an arrow key or of W, A, S, D (by position), or -1.
int keyDirection(SDL_Scancode key);

// --- the window -------------------------------------------------------------
//
// The shell opens a display on its renderer once the tileset is loaded. From
// then on every frame a screen draws is recorded, and presenting it redraws
// only the cells whose pictures or texts changed; the window shows the
// 1280 x 768 frame scaled to its size, and shows the last frame again after a
// resize or an expose. Without a display (the screens' plain form, used by
// tests to compare against) every call draws at once and the renderer is
// cleared and presented as it is.

// Opens the display of `renderer`'s window, which draws with `tiles`. False
// when memory or the renderer fails; nothing is then left open.
bool openDisplay(SDL_Renderer* renderer, SDL_Texture* tiles);
// Releases everything the display made; before the tileset is destroyed.
void closeDisplay(SDL_Renderer* renderer);

// Begins a frame: the renderer's clear.
void clearFrame(SDL_Renderer* renderer);
// Ends a frame: draws what changed and shows it in the window.
void presentFrame(SDL_Renderer* renderer);

// SDL_WaitEvent for a screen: window changes are handled here (the frame is
// shown again, scaled to the new size), F11 switches full screen, and clicks
// arrive in frame pixels; clicks on the bars around a scaled frame never
// arrive. Returns 0 when waiting failed.
int waitEvent(SDL_Renderer* renderer, SDL_Event* event);

// Sizes `window` to the desktop's usable area: 1280 x 768 when that fits
// with the window manager's borders, else the largest size of the frame's
// shape that fits. On a tight desktop the borders are known only once the
// window manager has framed the window, which fitWhenFramed waits for.
void fitToDesktop(SDL_Window* window);
// Has the display fit the window again as soon as the window manager has
// framed it, for the first two seconds, unless the player resized it.
void fitWhenFramed(SDL_Renderer* renderer);

// Where a frame of 1280 x 768 is shown in a window of the given size: as
// large as fits with its aspect kept, centred.
SDL_Rect fitFrame(int windowWidth, int windowHeight);
// The frame pixel shown at window pixel (x, y) of a window showing the frame
// at `shown`. False on the bars around it.
bool windowToFrame(SDL_Rect shown, int x, int y, int* frameX, int* frameY);

// --- drawing on the grid ---------------------------------------------------

void renderTile(SDL_Renderer* renderer, SDL_Texture* tiles, Tile tile, int x, int y);
void renderTileC(SDL_Renderer* renderer, SDL_Texture* tiles, Tile tile, Coordinates pos);
void renderTiles(SDL_Renderer* renderer, SDL_Texture* tiles, Tile tile, int x1, int y1, int x2, int y2);
void renderTilesC(SDL_Renderer* renderer, SDL_Texture* tiles, Tile tile, Coordinates pos1, Coordinates pos2);

// Draws `text` anchored at the centre of cell (x, y); an uncentred axis starts
// at that centre. Null or empty text draws nothing.
void renderFont(SDL_Renderer* renderer, TTF_Font* font, SDL_Color color, const char* text, int x, int y,
                bool centeredX, bool centeredY);
void renderFontC(SDL_Renderer* renderer, TTF_Font* font, SDL_Color color, const char* text, Coordinates pos,
                 bool centeredX, bool centeredY);

// Copies `text` into `out` (outSize bytes), cut at a character boundary and
// ended with "…" when it is wider than maxWidth pixels in `font`.
void fitText(TTF_Font* font, const char* text, int maxWidth, char* out, size_t outSize);

// The level row along the bottom of the play screen and the editor. Between
// the pixel columns `left` and `right` it draws, in white: `number` in
// `smallFont` at the left end, `counters` in `smallFont` at the right end
// (with room kept for the wider `countersRoom`), and `name` in `font` centred
// on cell (10, 11), cut where it would run into either. Null or empty texts
// take no room.
void renderLevelRow(SDL_Renderer* renderer, TTF_Font* font, TTF_Font* smallFont, int left, int right,
                    const char* number, const char* name, const char* counters, const char* countersRoom);

bool clickTile(int tileX, int tileY, int clickX, int clickY);
bool clickTiles(int tileX1, int tileY1, int tileX2, int tileY2, int clickX, int clickY);
