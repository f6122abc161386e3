#pragma once

#include <SDL2/SDL.h>
#include <SDL2/SDL_ttf.h>

#include "coordinates.h"

// One window cell and one tileset cell are both this many pixels square.
constexpr int tileSize = 64;
constexpr int gridColumns = 20;
constexpr int gridRows = 12;

// The pictures of the tileset. `deleteButton` is the delete button; the
// plain word is reserved in C++.
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
};
constexpr int tileCount = 22;

// The direction of an arrow key or of W, A, S, D (by position), or -1.
int keyDirection(SDL_Scancode key);

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

bool clickTile(int tileX, int tileY, int clickX, int clickY);
bool clickTiles(int tileX1, int tileY1, int tileX2, int tileY2, int clickX, int clickY);
