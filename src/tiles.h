#pragma once

#include <SDL2/SDL.h>
#include <SDL2/SDL_ttf.h>

#include <cstddef>
#include <functional>

#include "coordinates.h"
#include "file.h"

// One window cell and one tileset cell are both this many pixels square.
constexpr int tileSize = 64;
constexpr int gridColumns = 20;
constexpr int gridRows = 12;
// The picture every screen draws, whatever the size of the window.
constexpr int frameWidth = gridColumns * tileSize;
constexpr int frameHeight = gridRows * tileSize;

// The pictures of the tileset. `deleteButton` is the delete button; the
// plain word is reserved in C++. `undo` and `redo` take moves back and do
// them again, `levelList` opens the level chooser, `marker` shows where a
// chosen crate can go, `hint` makes the next push of a solution, `tick` and
// `star` mark a solved level, `test` asks whether a level can be solved, and
// `lost` marks a crate that can never reach a target.
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
    levelList,
    redo,
    marker,
    hint,
    tick,
    star,
    test,
    lost,
};
constexpr int tileCount = 31;

// Loads the tileset for `renderer`'s window: in the window's layout of red,
// green and blue, with alpha, so that floors and walls are plain copies, and
// with every picture composed over each floor once. Null when the file
// cannot be read.
SDL_Texture* loadTiles(SDL_Renderer* renderer, const char* path);

void renderTile(SDL_Renderer* renderer, SDL_Texture* tiles, Tile tile, int x, int y);
// Draws cell (x, y) as `floor` (green, grey, brown floor or wall) with `tile`
// over it, pixel for pixel as the two renderTile calls would, in one copy.
void renderTileOver(SDL_Renderer* renderer, SDL_Texture* tiles, Tile floor, Tile tile, int x, int y);
// Draws `tile` over `floor` (as renderTileOver) scaled into the pixel
// rectangle `to`.
void renderTileInto(SDL_Renderer* renderer, SDL_Texture* tiles, Tile floor, Tile tile, SDL_Rect to);
// Draws the four corners of `tile` unscaled at the corners of the pixel
// rectangle `around`: a frame picture round something larger than a cell.
void renderCorners(SDL_Renderer* renderer, SDL_Texture* tiles, Tile tile, SDL_Rect around);
void renderTileC(SDL_Renderer* renderer, SDL_Texture* tiles, Tile tile, Coordinates pos);
void renderTiles(SDL_Renderer* renderer, SDL_Texture* tiles, Tile tile, int x1, int y1, int x2, int y2);
void renderTilesC(SDL_Renderer* renderer, SDL_Texture* tiles, Tile tile, Coordinates pos1, Coordinates pos2);

// Draws `text` anchored at the centre of cell (x, y); an uncentred axis starts
// at that centre. Null or empty text draws nothing.
void renderFont(SDL_Renderer* renderer, TTF_Font* font, SDL_Color color, const char* text, int x, int y,
                bool centeredX, bool centeredY);
void renderFontC(SDL_Renderer* renderer, TTF_Font* font, SDL_Color color, const char* text, Coordinates pos,
                 bool centeredX, bool centeredY);

// Draws `text` anchored at the pixel (x, y): its left (top) edge there, or
// its middle when centred on that axis.
void renderFontAt(SDL_Renderer* renderer, TTF_Font* font, SDL_Color color, const char* text, int x, int y,
                  bool centeredX, bool centeredY);

// Copies `text` into `out` (outSize bytes), cut at a character boundary and
// ended with "…" when it is wider than maxWidth pixels in `font`.
void fitText(TTF_Font* font, const char* text, int maxWidth, char* out, size_t outSize);

// The level row along the bottom of the play screen, the editor and the
// level chooser. Between the pixel columns `left` and `right` it draws, in
// white: `number` in `smallFont` at the left end, then the picture `mark`
// (when given) small beside it, `counters` in `smallFont` at the right end
// (with room kept for the wider `countersRoom`), and `name` in `font`
// centred on cell (10, 11), or, when it does not fit there, in the room
// between them, cut where it would run into either. `number` and
// `counters` may be two lines, "\n" between them, both within the row.
// Null or empty texts take no room.
void renderLevelRow(SDL_Renderer* renderer, TTF_Font* font, TTF_Font* smallFont, int left, int right,
                    const char* number, const char* name, const char* counters, const char* countersRoom,
                    SDL_Texture* tiles = nullptr, const Tile* mark = nullptr);

// The picture of a level cell's content; floor for anything that is none.
Tile cellPicture(TileState state);

// Where a level is drawn in the play area (columns 1-19, rows 0-10): cells
// of `cell` pixels from the pixel (x, y) of its top-left corner. A level of
// up to 19 x 11 cells has cells of the grid's size, placed by whole cells
// as far as the halves of the area allow; a larger one the largest cells of
// whole pixels that fit, centred.
struct LevelView {
    int cell;
    int x, y;
};
LevelView levelView(Coordinates size);
// The frame pixels of a level cell.
SDL_Rect viewCell(const LevelView& view, Coordinates cell);
// The level cell under the frame pixel (x, y); false when it lies outside
// a level of `size`.
bool viewCellAt(const LevelView& view, Coordinates size, int x, int y, Coordinates* cell);

// Draws `tile` scaled into the pixel rectangle `to`, blended over what is
// there.
void renderTileAt(SDL_Renderer* renderer, SDL_Texture* tiles, Tile tile, SDL_Rect to);

// A level's cells that stay while it is shown, drawn once into a texture of
// the level's size on screen, so that a frame copies them whole instead of
// drawing thousands of cells for each key.
struct LevelPicture {
    SDL_Texture* texture = nullptr;
    LevelView view{};
    Coordinates size{};
    bool drawn = false;  // its cells are painted for the level now shown
};
// Has `draw` paint the picture for a level of `size`, cell by cell at the
// rectangles `at` gives (the texture is made anew when the size changed).
// Without a texture for it, it paints straight into the frame at the
// level's place, and must be drawn so for every frame.
void paintPicture(SDL_Renderer* renderer, LevelPicture* picture, Coordinates size,
                  const std::function<void(const std::function<SDL_Rect(Coordinates)>& at)>& draw);
// Copies the picture into the frame at its view's place.
void showPicture(SDL_Renderer* renderer, const LevelPicture& picture);
void releasePicture(LevelPicture* picture);

// Of a page of `slots` places from item `first` of `count` items, each at
// the pixels `slotRect` gives, the item at the pixel (x, y), or -1.
int slotAt(int first, int count, int slots, SDL_Rect (*slotRect)(int), int x, int y);

bool clickTile(int tileX, int tileY, int clickX, int clickY);
bool clickTiles(int tileX1, int tileY1, int tileX2, int tileY2, int clickX, int clickY);
