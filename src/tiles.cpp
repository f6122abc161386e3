#include "tiles.h"

#include <SDL2/SDL_image.h>

namespace {

struct AtlasCell {
    int column;
    int row;
};

// Where each picture lies in tiles.png, indexed by Tile.
constexpr AtlasCell atlas[tileCount] = {
    {10, 6}, {11, 6}, {12, 6}, {7, 6}, {0, 4}, {3, 0}, {3, 1}, {12, 3}, {2, 0}, {2, 1}, {1, 0}, {1, 1},
    {2, 2},  {4, 0},  {1, 2},  {5, 2}, {5, 1}, {4, 1}, {4, 2}, {5, 0}, {0, 3}, {6, 2}, {6, 0}, {7, 0},
    {7, 1},  {7, 2},  {8, 0},  {8, 1}, {8, 2}, {9, 0}, {9, 1},
};

// Tile values outside the enumeration draw the picture at column 0, row 0.
SDL_Rect toSourceRect(Tile tile) {
    int index = static_cast<int>(tile);
    AtlasCell cell = (index >= 0 && index < tileCount) ? atlas[index] : AtlasCell{0, 0};
    return SDL_Rect{cell.column * tileSize, cell.row * tileSize, tileSize, tileSize};
}

// Pictures that fill their whole cell are copied without blending, which
// the software renderer does several times faster; they are most of a frame.
constexpr Tile floors[] = {greenFloor, greyFloor, brownFloor, wall};
constexpr int floorCount = 4;

int floorIndex(Tile tile) {
    for (int i = 0; i < floorCount; i++) {
        if (floors[i] == tile) {
            return i;
        }
    }
    return -1;
}

bool opaque(Tile tile) {
    return floorIndex(tile) >= 0;
}

// The tileset's cells as drawn in tiles.png, and below them, made at load,
// every picture as it looks over each floor, so that such a cell is one
// plain copy instead of a copy and a blend.
constexpr int atlasColumns = 13;
constexpr int atlasRows = 7;
constexpr int composedRows = (floorCount * tileCount + atlasColumns - 1) / atlasColumns;

SDL_Rect composedRect(int floor, Tile tile) {
    int index = floor * tileCount + static_cast<int>(tile);
    return SDL_Rect{index % atlasColumns * tileSize, (atlasRows + index / atlasColumns) * tileSize, tileSize,
                    tileSize};
}

// The window's layout of red, green and blue, with alpha in the spare byte.
Uint32 formatWithAlpha(SDL_Renderer* renderer) {
    int bits = 0;
    Uint32 red = 0, green = 0, blue = 0, alpha = 0;
    Uint32 window = SDL_GetWindowPixelFormat(SDL_RenderGetWindow(renderer));
    if (SDL_PixelFormatEnumToMasks(window, &bits, &red, &green, &blue, &alpha) == SDL_TRUE && bits == 32) {
        Uint32 format = SDL_MasksToPixelFormatEnum(32, red, green, blue, ~(red | green | blue));
        if (format != SDL_PIXELFORMAT_UNKNOWN) {
            return format;
        }
    }
    return SDL_PIXELFORMAT_ARGB8888;
}

// Fills the composed cells of `atlas`, each drawn by the renderer into a
// cell of the window's format exactly as a frame would draw the floor and
// then the picture, and read back.
bool composeOverFloors(SDL_Renderer* renderer, SDL_Surface* atlas) {
    SDL_Texture* pictures = SDL_CreateTextureFromSurface(renderer, atlas);
    SDL_Texture* cell = SDL_CreateTexture(renderer, SDL_GetWindowPixelFormat(SDL_RenderGetWindow(renderer)),
                                          SDL_TEXTUREACCESS_TARGET, tileSize, tileSize);
    SDL_Texture* frame = SDL_GetRenderTarget(renderer);
    bool ok = pictures != nullptr && cell != nullptr && SDL_SetRenderTarget(renderer, cell) == 0;
    for (int floor = 0; ok && floor < floorCount; floor++) {
        for (int tile = 0; ok && tile < tileCount; tile++) {
            SDL_Rect under = toSourceRect(floors[floor]);
            SDL_Rect over = toSourceRect(static_cast<Tile>(tile));
            SDL_Rect into = composedRect(floor, static_cast<Tile>(tile));
            SDL_SetTextureBlendMode(pictures, SDL_BLENDMODE_NONE);
            SDL_RenderCopy(renderer, pictures, &under, nullptr);
            SDL_SetTextureBlendMode(pictures, SDL_BLENDMODE_BLEND);
            SDL_RenderCopy(renderer, pictures, &over, nullptr);
            Uint8* pixels = static_cast<Uint8*>(atlas->pixels) + into.y * atlas->pitch + into.x * 4;
            ok = SDL_RenderReadPixels(renderer, nullptr, atlas->format->format, pixels, atlas->pitch) == 0;
        }
    }
    SDL_SetRenderTarget(renderer, frame);
    if (cell != nullptr) {
        SDL_DestroyTexture(cell);
    }
    if (pictures != nullptr) {
        SDL_DestroyTexture(pictures);
    }
    return ok;
}

int textWidth(TTF_Font* font, const char* text) {
    int width = 0;
    if (text == nullptr || text[0] == '\0' || TTF_SizeUTF8(font, text, &width, nullptr) != 0) {
        return 0;
    }
    return width;
}

constexpr int rowGap = 12;  // between neighbours on the level row
// A level name of 63 bytes with an ellipsis and its terminator.
constexpr size_t fittedBytes = 128;
const SDL_Color rowColor{255, 255, 255, 0};

}  // namespace

SDL_Texture* loadTiles(SDL_Renderer* renderer, const char* path) {
    SDL_Surface* loaded = IMG_Load(path);
    if (loaded == nullptr) {
        return nullptr;
    }
    SDL_Surface* atlasSurface = SDL_CreateRGBSurfaceWithFormat(0, atlasColumns * tileSize,
                                                              (atlasRows + composedRows) * tileSize, 32,
                                                              formatWithAlpha(renderer));
    SDL_Texture* tiles = nullptr;
    if (atlasSurface != nullptr) {
        SDL_SetSurfaceBlendMode(loaded, SDL_BLENDMODE_NONE);
        SDL_Rect picked{0, 0, atlasColumns * tileSize, atlasRows * tileSize};
        SDL_BlitSurface(loaded, &picked, atlasSurface, nullptr);
        if (composeOverFloors(renderer, atlasSurface)) {
            tiles = SDL_CreateTextureFromSurface(renderer, atlasSurface);
        }
        SDL_FreeSurface(atlasSurface);
    }
    SDL_FreeSurface(loaded);
    return tiles;
}

void renderTile(SDL_Renderer* renderer, SDL_Texture* tiles, Tile tile, int x, int y) {
    SDL_Rect source = toSourceRect(tile);
    SDL_Rect destination{x * tileSize, y * tileSize, tileSize, tileSize};
    SDL_SetTextureBlendMode(tiles, opaque(tile) ? SDL_BLENDMODE_NONE : SDL_BLENDMODE_BLEND);
    SDL_RenderCopy(renderer, tiles, &source, &destination);
}

void renderTileOver(SDL_Renderer* renderer, SDL_Texture* tiles, Tile floor, Tile tile, int x, int y) {
    renderTileInto(renderer, tiles, floor, tile, SDL_Rect{x * tileSize, y * tileSize, tileSize, tileSize});
}

void renderTileInto(SDL_Renderer* renderer, SDL_Texture* tiles, Tile floor, Tile tile, SDL_Rect to) {
    int index = floorIndex(floor);
    int value = static_cast<int>(tile);
    if (index < 0 || value < 0 || value >= tileCount) {
        SDL_Rect under = toSourceRect(floor);
        SDL_Rect over = toSourceRect(tile);
        SDL_SetTextureBlendMode(tiles, opaque(floor) ? SDL_BLENDMODE_NONE : SDL_BLENDMODE_BLEND);
        SDL_RenderCopy(renderer, tiles, &under, &to);
        SDL_SetTextureBlendMode(tiles, opaque(tile) ? SDL_BLENDMODE_NONE : SDL_BLENDMODE_BLEND);
        SDL_RenderCopy(renderer, tiles, &over, &to);
        return;
    }
    SDL_Rect source = composedRect(index, tile);
    SDL_SetTextureBlendMode(tiles, SDL_BLENDMODE_NONE);
    SDL_RenderCopy(renderer, tiles, &source, &to);
}

void renderCorners(SDL_Renderer* renderer, SDL_Texture* tiles, Tile tile, SDL_Rect around) {
    const int half = tileSize / 2;
    SDL_Rect source = toSourceRect(tile);
    SDL_SetTextureBlendMode(tiles, opaque(tile) ? SDL_BLENDMODE_NONE : SDL_BLENDMODE_BLEND);
    for (int corner = 0; corner < 4; corner++) {
        int right = corner % 2;
        int bottom = corner / 2;
        SDL_Rect from{source.x + right * half, source.y + bottom * half, half, half};
        SDL_Rect to{around.x + right * (around.w - half), around.y + bottom * (around.h - half), half, half};
        SDL_RenderCopy(renderer, tiles, &from, &to);
    }
}

void renderTileC(SDL_Renderer* renderer, SDL_Texture* tiles, Tile tile, Coordinates pos) {
    renderTile(renderer, tiles, tile, pos.x, pos.y);
}

void renderTiles(SDL_Renderer* renderer, SDL_Texture* tiles, Tile tile, int x1, int y1, int x2, int y2) {
    for (int x = x1; x <= x2; x++) {
        for (int y = y1; y <= y2; y++) {
            renderTile(renderer, tiles, tile, x, y);
        }
    }
}

void renderTilesC(SDL_Renderer* renderer, SDL_Texture* tiles, Tile tile, Coordinates pos1, Coordinates pos2) {
    renderTiles(renderer, tiles, tile, pos1.x, pos1.y, pos2.x, pos2.y);
}

void renderFontAt(SDL_Renderer* renderer, TTF_Font* font, SDL_Color color, const char* text, int anchorX,
                  int anchorY, bool centeredX, bool centeredY) {
    if (text == nullptr || text[0] == '\0') {
        return;
    }
    // Callers leave alpha at 0; the text must still come out opaque.
    color.a = SDL_ALPHA_OPAQUE;
    SDL_Surface* surface = TTF_RenderUTF8_Solid(font, text, color);
    if (surface == nullptr) {
        return;
    }
    SDL_Texture* texture = SDL_CreateTextureFromSurface(renderer, surface);
    if (texture != nullptr) {
        SDL_Rect destination{centeredX ? anchorX - surface->w / 2 : anchorX,
                             centeredY ? anchorY - surface->h / 2 : anchorY, surface->w, surface->h};
        SDL_RenderCopy(renderer, texture, nullptr, &destination);
        SDL_DestroyTexture(texture);
    }
    SDL_FreeSurface(surface);
}

void renderFont(SDL_Renderer* renderer, TTF_Font* font, SDL_Color color, const char* text, int x, int y,
                bool centeredX, bool centeredY) {
    renderFontAt(renderer, font, color, text, x * tileSize + tileSize / 2, y * tileSize + tileSize / 2, centeredX,
             centeredY);
}

void renderFontC(SDL_Renderer* renderer, TTF_Font* font, SDL_Color color, const char* text, Coordinates pos,
                 bool centeredX, bool centeredY) {
    renderFont(renderer, font, color, text, pos.x, pos.y, centeredX, centeredY);
}

void fitText(TTF_Font* font, const char* text, int maxWidth, char* out, size_t outSize) {
    static const char ellipsis[] = "\xE2\x80\xA6";
    size_t length = SDL_strlen(text);
    int width = 0;
    if (outSize == 0) {
        return;
    }
    if (TTF_SizeUTF8(font, text, &width, nullptr) == 0 && width <= maxWidth && length < outSize) {
        SDL_memcpy(out, text, length + 1);
        return;
    }
    // The longest cut that still fits with its ellipsis; blanks before the
    // ellipsis are dropped.
    out[0] = '\0';
    for (size_t cut = length; cut > 0; cut--) {
        if ((static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
            continue;  // inside a character
        }
        size_t kept = cut;
        while (kept > 0 && text[kept - 1] == ' ') {
            kept--;
        }
        if (kept == 0 || kept + sizeof ellipsis > outSize) {
            continue;
        }
        SDL_memcpy(out, text, kept);
        SDL_memcpy(out + kept, ellipsis, sizeof ellipsis);
        if (TTF_SizeUTF8(font, out, &width, nullptr) == 0 && width <= maxWidth) {
            return;
        }
    }
    out[0] = '\0';
}

namespace {

constexpr int markSize = 40;

// A text of one or two lines ("\n" between them) in `font`, its left edge
// at x or, with `fromRight`, its right edge there, centred on the row's
// middle. Its width.
int renderSide(SDL_Renderer* renderer, TTF_Font* font, const char* text, int x, int middleY, bool fromRight) {
    if (text == nullptr || text[0] == '\0') {
        return 0;
    }
    const char* split = SDL_strchr(text, '\n');
    char first[fittedBytes];
    SDL_strlcpy(first, text, split != nullptr && static_cast<size_t>(split - text) < sizeof first
                                 ? static_cast<size_t>(split - text) + 1
                                 : sizeof first);
    const char* lines[2] = {first, split != nullptr ? split + 1 : nullptr};
    int count = split != nullptr ? 2 : 1;
    int width = 0;
    for (int i = 0; i < count; i++) {
        int w = textWidth(font, lines[i]);
        width = w > width ? w : width;
    }
    // Two lines are set as close as the row's height needs, so that both
    // fit it whole.
    int lineHeight = TTF_FontLineSkip(font);
    int room = tileSize - TTF_FontHeight(font);
    lineHeight = lineHeight < room ? lineHeight : room;
    for (int i = 0; i < count; i++) {
        int y = middleY + (2 * i - (count - 1)) * lineHeight / 2;
        int w = textWidth(font, lines[i]);
        renderFontAt(renderer, font, rowColor, lines[i], fromRight ? x - w : x, y, false, true);
    }
    return width;
}

}  // namespace

void renderLevelRow(SDL_Renderer* renderer, TTF_Font* font, TTF_Font* smallFont, int left, int right,
                    const char* number, const char* name, const char* counters, const char* countersRoom,
                    SDL_Texture* tiles, const Tile* mark) {
    const int middleY = (gridRows - 1) * tileSize + tileSize / 2;
    const int nameX = 10 * tileSize + tileSize / 2;
    int numberWidth = renderSide(renderer, smallFont, number, left, middleY, false);
    if (mark != nullptr && tiles != nullptr) {
        SDL_Rect from = toSourceRect(*mark);
        SDL_Rect to{left + numberWidth + (numberWidth > 0 ? rowGap / 2 : 0), middleY - markSize / 2, markSize,
                    markSize};
        SDL_SetTextureBlendMode(tiles, SDL_BLENDMODE_BLEND);
        SDL_RenderCopy(renderer, tiles, &from, &to);
        numberWidth = to.x + to.w - left;
    }
    int countersWidth = renderSide(renderer, smallFont, counters, right, middleY, true);
    int room = textWidth(smallFont, countersRoom);
    room = room > countersWidth ? room : countersWidth;
    // The name stays centred on its cell while it fits there, reaching as far
    // on each side as the nearer neighbour allows; a longer one is centred
    // in all the room between them, and cut only when that is too little.
    int nameLeft = numberWidth > 0 ? left + numberWidth + rowGap : left;
    int nameRight = room > 0 ? right - room - rowGap : right;
    int half = nameX - nameLeft < nameRight - nameX ? nameX - nameLeft : nameRight - nameX;
    const char* text = name != nullptr ? name : "";
    int centre = nameX;
    int width = 2 * half;
    if (textWidth(font, text) > width) {
        centre = (nameLeft + nameRight) / 2;
        width = nameRight - nameLeft;
    }
    char fitted[fittedBytes];
    fitText(font, text, width, fitted, sizeof fitted);
    renderFontAt(renderer, font, rowColor, fitted, centre, middleY, true, true);
}

Tile cellPicture(TileState state) {
    switch (state) {
        case wallS:
            return wall;
        case playerS:
        case playerOnTargetS:
            return player;
        case crateS:
            return crate;
        case crateOnTargetS:
            return crateOnTarget;
        case targetS:
            return target;
        default:
            return brownFloor;
    }
}

int slotAt(int first, int count, int slots, SDL_Rect (*slotRect)(int), int x, int y) {
    SDL_Point point{x, y};
    for (int slot = 0; slot < slots && first + slot < count; slot++) {
        SDL_Rect rect = slotRect(slot);
        if (SDL_PointInRect(&point, &rect) == SDL_TRUE) {
            return first + slot;
        }
    }
    return -1;
}

bool clickTile(int tileX, int tileY, int clickX, int clickY) {
    return clickTiles(tileX, tileY, tileX, tileY, clickX, clickY);
}

bool clickTiles(int tileX1, int tileY1, int tileX2, int tileY2, int clickX, int clickY) {
    return tileX1 * tileSize <= clickX && clickX <= tileX2 * tileSize + tileSize - 1 && tileY1 * tileSize <= clickY &&
           clickY <= tileY2 * tileSize + tileSize - 1;
}

LevelView levelView(Coordinates size) {
    if (size.x <= maxLevelWidth && size.y <= maxLevelHeight) {
        return LevelView{tileSize, ((maxLevelWidth - size.x) / 2 + 1) * tileSize, (maxLevelHeight - size.y) / 2 * tileSize};
    }
    const int areaWidth = maxLevelWidth * tileSize;
    const int areaHeight = maxLevelHeight * tileSize;
    int cell = areaWidth / size.x < areaHeight / size.y ? areaWidth / size.x : areaHeight / size.y;
    cell = cell < 1 ? 1 : cell;
    return LevelView{cell, tileSize + (areaWidth - size.x * cell) / 2, (areaHeight - size.y * cell) / 2};
}

SDL_Rect viewCell(const LevelView& view, Coordinates cell) {
    return SDL_Rect{view.x + cell.x * view.cell, view.y + cell.y * view.cell, view.cell, view.cell};
}

bool viewCellAt(const LevelView& view, Coordinates size, int x, int y, Coordinates* cell) {
    if (x < view.x || y < view.y) {
        return false;
    }
    Coordinates at{(x - view.x) / view.cell, (y - view.y) / view.cell};
    if (at.x >= size.x || at.y >= size.y) {
        return false;
    }
    *cell = at;
    return true;
}

void renderTileAt(SDL_Renderer* renderer, SDL_Texture* tiles, Tile tile, SDL_Rect to) {
    SDL_Rect source = toSourceRect(tile);
    SDL_SetTextureBlendMode(tiles, opaque(tile) ? SDL_BLENDMODE_NONE : SDL_BLENDMODE_BLEND);
    SDL_RenderCopy(renderer, tiles, &source, &to);
}

void paintPicture(SDL_Renderer* renderer, LevelPicture* picture, Coordinates size,
                  const std::function<void(const std::function<SDL_Rect(Coordinates)>& at)>& draw) {
    LevelView view = levelView(size);
    if (picture->texture == nullptr || picture->size.x != size.x || picture->size.y != size.y) {
        releasePicture(picture);
        Uint32 format = SDL_GetWindowPixelFormat(SDL_RenderGetWindow(renderer));
        picture->texture =
            SDL_CreateTexture(renderer, format, SDL_TEXTUREACCESS_TARGET, size.x * view.cell, size.y * view.cell);
        picture->size = size;
    }
    picture->view = view;
    SDL_Texture* frame = SDL_GetRenderTarget(renderer);
    if (picture->texture == nullptr || SDL_SetRenderTarget(renderer, picture->texture) != 0) {
        // Without room for the picture its cells go straight into the frame.
        picture->drawn = false;
        draw([&](Coordinates cell) { return viewCell(view, cell); });
        return;
    }
    draw([&](Coordinates cell) { return SDL_Rect{cell.x * view.cell, cell.y * view.cell, view.cell, view.cell}; });
    SDL_SetRenderTarget(renderer, frame);
    picture->drawn = true;
}

void showPicture(SDL_Renderer* renderer, const LevelPicture& picture) {
    if (picture.texture == nullptr || !picture.drawn) {
        return;
    }
    SDL_Rect to{picture.view.x, picture.view.y, picture.size.x * picture.view.cell, picture.size.y * picture.view.cell};
    SDL_SetTextureBlendMode(picture.texture, SDL_BLENDMODE_NONE);
    SDL_RenderCopy(renderer, picture.texture, nullptr, &to);
}

void releasePicture(LevelPicture* picture) {
    if (picture->texture != nullptr) {
        SDL_DestroyTexture(picture->texture);
    }
    *picture = LevelPicture{};
}
