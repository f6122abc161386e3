#include "tiles.h"

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

struct AtlasCell {
    int column;
    int row;
};

// Where each picture lies in tiles.png, indexed by Tile.
constexpr AtlasCell atlas[tileCount] = {
    {10, 6}, {11, 6}, {12, 6}, {7, 6}, {0, 4}, {3, 0}, {3, 1}, {12, 3}, {2, 0}, {2, 1}, {1, 0}, {1, 1},
    {2, 2},  {4, 0},  {1, 2},  {5, 2}, {5, 1}, {4, 1}, {4, 2}, {5, 0}, {0, 3}, {6, 2}, {6, 0},
};

// Pictures that fill their whole cell: copied without blending, which the
// software renderer does several times faster. Floors and walls are most of
// every frame.
constexpr Tile opaqueTiles[] = {greenFloor, greyFloor, brownFloor, wall};
constexpr int opaqueCount = 4;

// The index of an opaque picture in opaqueTiles, or -1.
int opaqueIndex(int tile) {
    for (int i = 0; i < opaqueCount; i++) {
        if (opaqueTiles[i] == tile) {
            return i;
        }
    }
    return -1;
}

// Tile values outside the enumeration draw the picture at column 0, row 0;
// they are kept as tileCount.
int normalTile(Tile tile) {
    int index = static_cast<int>(tile);
    return (index >= 0 && index < tileCount) ? index : tileCount;
}

SDL_Rect toSourceRect(int tile) {
    AtlasCell cell = tile < tileCount ? atlas[tile] : AtlasCell{0, 0};
    return SDL_Rect{cell.column * tileSize, cell.row * tileSize, tileSize, tileSize};
}

// --- the display: frames recorded, and redrawn where they changed ---------

constexpr int cellCount = gridColumns * gridRows;
// Layers of one cell that a frame keeps apart; a cell with more is redrawn
// every frame.
constexpr int maxCellLayers = 8;
// Texts kept as textures; stale ones beyond this many are reused.
constexpr int keptTexts = 256;
constexpr int firstOpCapacity = 1024;
const char* const displayKey = "boxtolo-display";

// Cells kept scaled, at window sizes where every cell has the same whole
// number of pixels: a picture's inside then scales the same in every cell.
constexpr int keptScaledCells = 32;

// One cell's pictures as they look scaled, without the edge pixels, which
// blend in the neighbours.
struct ScaledCell {
    int count;  // 0: unused
    uint64_t key[maxCellLayers];
    uint64_t lastFrame;
    Uint32* pixels;  // inner.w x inner.h, SDL_malloc'd, freed with the scaling
};

// One text as a texture, kept until no frame draws it any more.
struct TextEntry {
    uint64_t hash;
    TTF_Font* font;
    uint32_t rgb;
    char* text;  // SDL_malloc'd copy
    SDL_Texture* texture;
    int w, h;
    uint32_t id;         // never reused while the display lives
    uint64_t lastFrame;  // the frame that drew it last
};

// One drawing call of a frame: a picture in a cell or a text at a place.
struct Op {
    int tile;  // the picture, or -1 for a text
    int text;  // index into the display's texts
    SDL_Rect to;
};

// What one cell of a frame shows, bottom layer first. A picture that fills
// the cell starts the list afresh, since nothing under it shows.
struct CellLayers {
    int count;  // above maxCellLayers: too many to keep apart
    uint64_t key[maxCellLayers];
    int op[maxCellLayers];
    SDL_Rect texts;  // the part of the cell that its texts cover, in frame pixels
};

struct Display {
    SDL_Window* window;
    SDL_Renderer* renderer;
    SDL_Texture* atlas;     // the tileset as loaded, borrowed: pictures are blended from it
    SDL_Texture* opaque;    // the tileset in the window's format, for opaque copies
    SDL_Texture* composed;  // each picture over each opaque one, made once
    Uint32 format;          // the window's pixel format
    TextEntry* texts;
    int textCount;
    int textCapacity;
    uint32_t nextTextId;
    Op* ops;  // the frame being drawn, or the last one shown
    int opCount;
    int opCapacity;
    CellLayers cells[2][cellCount];
    int drawing;        // which of cells[] the current frame fills
    bool shownValid;    // the window (or canvas) shows cells[1 - drawing]
    SDL_Color clearColor;
    uint64_t frame;
    // A window of any other size than the frame's shows it scaled.
    bool scaled;
    SDL_Rect shown;           // where the frame lies in the window
    SDL_Texture* canvas;      // the frame, drawn here when scaled
    Uint32* framePixels;      // the canvas read back, frameWidth x frameHeight
    Uint32* rowOfCells;       // one row of cells read back, frameWidth x tileSize
    Uint32* rowScratch;       // two source rows scaled across, 2 x shown.w
    int16_t* lanesX;          // per output column: 4 x (256 - weight), 4 x weight
    int* sourceX;             // per output column: the left source column
    int* weightX;             // 0 to 256: the right one's share
    int* sourceY;
    int* weightY;
    int whole;                // the scale when it is a whole multiple, else 0
    int cellOut;              // output pixels per cell when that is whole, else 0
    SDL_Rect inner;           // the output pixels of a cell that read only it, from its corner
    ScaledCell scaledCells[keptScaledCells];
    int firstOutX[frameWidth];  // the output columns that read each source column
    int lastOutX[frameWidth];
    int firstOutY[frameHeight];
    int lastOutY[frameHeight];
    SDL_Color barColor;
    // Fitting the window again once its borders are known, until this tick.
    bool refitPending;
    Uint32 refitUntil;
    int fittedW, fittedH;  // the size the last fit gave
    // The last few names fitted to the level row, which costs many measures.
    struct Fitted {
        TTF_Font* font;
        int width;
        char text[72];
        char fitted[128];
    } fits[8];
    int nextFit;
};

Display* displayOf(SDL_Renderer* renderer) {
    SDL_Window* window = SDL_RenderGetWindow(renderer);
    return window != nullptr ? static_cast<Display*>(SDL_GetWindowData(window, displayKey)) : nullptr;
}

uint64_t hashText(TTF_Font* font, uint32_t rgb, const char* text) {
    uint64_t hash = 1469598103934665603ull ^ reinterpret_cast<uintptr_t>(font) ^ (static_cast<uint64_t>(rgb) << 32);
    for (const char* p = text; *p != '\0'; p++) {
        hash = (hash ^ static_cast<unsigned char>(*p)) * 1099511628211ull;
    }
    return hash;
}

SDL_Texture* makeTextTexture(SDL_Renderer* renderer, TTF_Font* font, SDL_Color color, const char* text, int* w,
                             int* h) {
    // Callers leave alpha at 0; the text must still come out opaque.
    color.a = SDL_ALPHA_OPAQUE;
    SDL_Surface* surface = TTF_RenderUTF8_Solid(font, text, color);
    if (surface == nullptr) {
        return nullptr;
    }
    SDL_Texture* texture = SDL_CreateTextureFromSurface(renderer, surface);
    *w = surface->w;
    *h = surface->h;
    SDL_FreeSurface(surface);
    return texture;
}

// The kept texture of a text, made if need be; -1 when it cannot be made.
int keptText(Display* d, TTF_Font* font, SDL_Color color, const char* text) {
    uint32_t rgb = (static_cast<uint32_t>(color.r) << 16) | (static_cast<uint32_t>(color.g) << 8) | color.b;
    uint64_t hash = hashText(font, rgb, text);
    int reuse = -1;
    for (int i = 0; i < d->textCount; i++) {
        TextEntry& e = d->texts[i];
        if (e.hash == hash && e.font == font && e.rgb == rgb && SDL_strcmp(e.text, text) == 0) {
            e.lastFrame = d->frame;
            return i;
        }
        // Only a text that neither this frame nor the one shown draws may go.
        if (e.lastFrame + 1 < d->frame && (reuse < 0 || e.lastFrame < d->texts[reuse].lastFrame)) {
            reuse = i;
        }
    }
    if (reuse < 0 || d->textCount < keptTexts) {
        if (d->textCount == d->textCapacity) {
            int capacity = d->textCapacity * 2;
            void* grown = SDL_realloc(d->texts, sizeof(TextEntry) * static_cast<size_t>(capacity));
            if (grown == nullptr) {
                return -1;
            }
            d->texts = static_cast<TextEntry*>(grown);
            d->textCapacity = capacity;
        }
        reuse = d->textCount++;
        d->texts[reuse] = TextEntry{};
    } else {
        SDL_DestroyTexture(d->texts[reuse].texture);
        SDL_free(d->texts[reuse].text);
        d->texts[reuse] = TextEntry{};
    }
    TextEntry& e = d->texts[reuse];
    size_t length = SDL_strlen(text);
    e.text = static_cast<char*>(SDL_malloc(length + 1));
    e.texture = e.text != nullptr ? makeTextTexture(d->renderer, font, color, text, &e.w, &e.h) : nullptr;
    if (e.texture == nullptr) {
        SDL_free(e.text);
        e = TextEntry{};
        return -1;
    }
    SDL_memcpy(e.text, text, length + 1);
    e.hash = hash;
    e.font = font;
    e.rgb = rgb;
    e.id = d->nextTextId++;
    e.lastFrame = d->frame;
    return reuse;
}

bool addOp(Display* d, const Op& op) {
    if (d->opCount == d->opCapacity) {
        int capacity = d->opCapacity * 2;
        void* grown = SDL_realloc(d->ops, sizeof(Op) * static_cast<size_t>(capacity));
        if (grown == nullptr) {
            return false;
        }
        d->ops = static_cast<Op*>(grown);
        d->opCapacity = capacity;
    }
    d->ops[d->opCount++] = op;
    return true;
}

void addLayer(CellLayers& cell, uint64_t key, int op) {
    if (cell.count < maxCellLayers) {
        cell.key[cell.count] = key;
        cell.op[cell.count] = op;
    }
    cell.count++;
}

void recordTile(Display* d, int tile, int x, int y) {
    if (x < 0 || y < 0 || x >= gridColumns || y >= gridRows) {
        return;  // outside the window: clipped
    }
    if (!addOp(d, Op{tile, -1, SDL_Rect{x * tileSize, y * tileSize, tileSize, tileSize}})) {
        return;
    }
    CellLayers& cell = d->cells[d->drawing][y * gridColumns + x];
    if (opaqueIndex(tile) >= 0) {
        cell.count = 0;
        cell.texts = SDL_Rect{0, 0, 0, 0};
    }
    addLayer(cell, static_cast<uint64_t>(tile) + 1, d->opCount - 1);
}

void recordText(Display* d, int text, SDL_Rect to) {
    if (!addOp(d, Op{-1, text, to})) {
        return;
    }
    uint64_t key = (1ull << 63) | (static_cast<uint64_t>(d->texts[text].id & 0x7FFFFFFF) << 32) |
                   (static_cast<uint64_t>(static_cast<uint16_t>(to.x)) << 16) | static_cast<uint16_t>(to.y);
    int x1 = to.x < 0 ? 0 : to.x / tileSize;
    int y1 = to.y < 0 ? 0 : to.y / tileSize;
    int x2 = (to.x + to.w - 1) / tileSize;
    int y2 = (to.y + to.h - 1) / tileSize;
    for (int y = y1; y <= y2 && y < gridRows; y++) {
        for (int x = x1; x <= x2 && x < gridColumns; x++) {
            CellLayers& cell = d->cells[d->drawing][y * gridColumns + x];
            addLayer(cell, key, d->opCount - 1);
            SDL_Rect bounds{x * tileSize, y * tileSize, tileSize, tileSize}, part;
            if (SDL_IntersectRect(&to, &bounds, &part) == SDL_TRUE) {
                SDL_UnionRect(&cell.texts, &part, &cell.texts);
            }
        }
    }
}

bool sameLayers(const CellLayers& a, const CellLayers& b) {
    if (a.count != b.count || a.count > maxCellLayers) {
        return false;
    }
    for (int i = 0; i < a.count; i++) {
        if (a.key[i] != b.key[i]) {
            return false;
        }
    }
    return true;
}

// The part of a cell where two frames can differ: where their texts lie when
// nothing else of the cell changed (a counter's digits), else all of it.
SDL_Rect mayDiffer(const CellLayers& now, const CellLayers& before, int index) {
    SDL_Rect all{(index % gridColumns) * tileSize, (index / gridColumns) * tileSize, tileSize, tileSize};
    if (now.count > maxCellLayers || before.count > maxCellLayers) {
        return all;
    }
    int same = 0;
    while (same < now.count && same < before.count && now.key[same] == before.key[same]) {
        same++;
    }
    // Texts are keyed with the top bit set, pictures without.
    const CellLayers* both[2] = {&now, &before};
    for (const CellLayers* cell : both) {
        for (int i = same; i < cell->count; i++) {
            if ((cell->key[i] >> 63) == 0) {
                return all;
            }
        }
    }
    SDL_Rect part;
    SDL_UnionRect(&now.texts, &before.texts, &part);
    return part;
}

bool touches(const SDL_Rect& to, const SDL_Rect& cell) {
    SDL_Rect common;
    return SDL_IntersectRect(&to, &cell, &common) == SDL_TRUE;
}

// Draws one layer of a cell, the part of it inside the cell only.
void drawLayer(Display* d, const Op& op, const SDL_Rect& cell) {
    if (op.tile >= 0) {
        SDL_Rect source = toSourceRect(op.tile);
        SDL_SetTextureBlendMode(d->atlas, opaqueIndex(op.tile) >= 0 ? SDL_BLENDMODE_NONE : SDL_BLENDMODE_BLEND);
        SDL_RenderCopy(d->renderer, d->atlas, &source, &cell);
        return;
    }
    SDL_Rect part;
    if (SDL_IntersectRect(&op.to, &cell, &part) != SDL_TRUE) {
        return;
    }
    SDL_Rect source{part.x - op.to.x, part.y - op.to.y, part.w, part.h};
    SDL_RenderCopy(d->renderer, d->texts[op.text].texture, &source, &part);
}

// Draws a cell of the frame from its layers: the bottom picture from the
// opaque or the composed tileset when it fills the cell, everything above it
// blended as the plain way would.
void drawCell(Display* d, int index) {
    const CellLayers& cell = d->cells[d->drawing][index];
    SDL_Rect to{(index % gridColumns) * tileSize, (index / gridColumns) * tileSize, tileSize, tileSize};
    if (cell.count > maxCellLayers) {
        // More layers than are kept apart: every call that touches the cell.
        SDL_SetRenderDrawBlendMode(d->renderer, SDL_BLENDMODE_NONE);
        SDL_SetRenderDrawColor(d->renderer, d->clearColor.r, d->clearColor.g, d->clearColor.b, d->clearColor.a);
        SDL_RenderFillRect(d->renderer, &to);
        for (int i = 0; i < d->opCount; i++) {
            if (touches(d->ops[i].to, to)) {
                drawLayer(d, d->ops[i], to);
            }
        }
        return;
    }
    const int* ops = cell.op;
    int count = cell.count;
    int next = 0;
    const Op* bottom = count > 0 ? &d->ops[ops[0]] : nullptr;
    int base = bottom != nullptr && bottom->tile >= 0 ? opaqueIndex(bottom->tile) : -1;
    if (base >= 0) {
        const Op* over = count > 1 ? &d->ops[ops[1]] : nullptr;
        if (over != nullptr && over->tile >= 0 && over->tile < tileCount && opaqueIndex(over->tile) < 0) {
            SDL_Rect source{over->tile * tileSize, base * tileSize, tileSize, tileSize};
            SDL_RenderCopy(d->renderer, d->composed, &source, &to);
            next = 2;
        } else {
            SDL_Rect source = toSourceRect(bottom->tile);
            SDL_RenderCopy(d->renderer, d->opaque, &source, &to);
            next = 1;
        }
    } else {
        SDL_SetRenderDrawBlendMode(d->renderer, SDL_BLENDMODE_NONE);
        SDL_SetRenderDrawColor(d->renderer, d->clearColor.r, d->clearColor.g, d->clearColor.b, d->clearColor.a);
        SDL_RenderFillRect(d->renderer, &to);
    }
    for (int i = next; i < count; i++) {
        drawLayer(d, d->ops[ops[i]], to);
    }
}

// --- scaling ----------------------------------------------------------------

// The source column (row) an output column (row) starts from, and the share
// of the next one in 256ths: linear between pixel centres, or plain
// repetition at whole multiples, which stays crisp.
void scaleAxis(int sourceSize, int outSize, int* source, int* weight, int* firstOut, int* lastOut) {
    bool whole = outSize % sourceSize == 0;
    for (int o = 0; o < outSize; o++) {
        if (whole) {
            source[o] = o / (outSize / sourceSize);
            weight[o] = 0;
            continue;
        }
        // (o + 0.5) * sourceSize / outSize - 0.5, in 16.16 fixed point.
        int64_t u = ((2 * static_cast<int64_t>(o) + 1) * sourceSize * 65536) / (2 * static_cast<int64_t>(outSize)) -
                    32768;
        if (u < 0) {
            u = 0;
        }
        int s = static_cast<int>(u >> 16);
        int w = static_cast<int>((u >> 8) & 0xFF);
        if (s >= sourceSize - 1) {
            s = sourceSize - 1;
            w = 0;
        }
        source[o] = s;
        weight[o] = w;
    }
    for (int s = 0; s < sourceSize; s++) {
        firstOut[s] = outSize;
        lastOut[s] = -1;
    }
    for (int o = 0; o < outSize; o++) {
        int reads[2] = {source[o], weight[o] > 0 ? source[o] + 1 : source[o]};
        for (int s : reads) {
            firstOut[s] = o < firstOut[s] ? o : firstOut[s];
            lastOut[s] = o > lastOut[s] ? o : lastOut[s];
        }
    }
}

// Blends two pixels of the window's format channel by channel, `weight`
// 256ths of the second: red and blue in one multiply, green in another.
inline Uint32 blend(Uint32 a, Uint32 b, uint32_t weight) {
    uint32_t keep = 256 - weight;
    uint32_t redBlue = (((a & 0x00FF00FF) * keep + (b & 0x00FF00FF) * weight + 0x00800080) >> 8) & 0x00FF00FF;
    uint32_t green = (((a & 0x0000FF00) * keep + (b & 0x0000FF00) * weight + 0x00008000) >> 8) & 0x0000FF00;
    return redBlue | green;
}

#if defined(__SSE2__)
// The same blends four channels at a time: each channel widened to 16 bits,
// a * (256 - w) + b * w + 128 (at most 65408), then shifted back.
inline __m128i blendLanes(__m128i a, __m128i b, __m128i keep, __m128i weight) {
    const __m128i half = _mm_set1_epi16(128);
    __m128i sum = _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(a, keep), _mm_mullo_epi16(b, weight)), half);
    return _mm_srli_epi16(sum, 8);
}
#endif

// One source row scaled across the output columns x1 to x2 - 1.
void scaleRow(const Display* d, const Uint32* row, int x1, int x2, Uint32* into) {
    const int* sourceX = d->sourceX;
    const int* weightX = d->weightX;
    if (d->whole > 0) {
        // Each source pixel repeated: no blending at whole multiples.
        for (int x = x1; x < x2;) {
            Uint32 p = row[sourceX[x]];
            int run = d->whole - x % d->whole;
            for (int end = x + run < x2 ? x + run : x2; x < end; x++) {
                into[x - x1] = p;
            }
        }
        return;
    }
#if defined(__SSE2__)
    // Two output pixels per register: each one's two neighbours widened to
    // 16-bit lanes and weighted by its lanesX row (256 - w for the first,
    // w for the second); a weight of 0 gives the first pixel exactly. The
    // neighbour past a row's last pixel is read but weighs nothing.
    const __m128i zero = _mm_setzero_si128();
    const __m128i half = _mm_set1_epi16(128);
    const __m128i noAlpha = _mm_set1_epi32(0x00FFFFFF);
    auto twoPixels = [&](int x) {
        __m128i first = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + sourceX[x]));
        __m128i second = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + sourceX[x + 1]));
        __m128i pairs = _mm_unpacklo_epi64(first, second);
        __m128i a = _mm_mullo_epi16(_mm_unpacklo_epi8(pairs, zero), _mm_loadu_si128(reinterpret_cast<const __m128i*>(d->lanesX + 8 * x)));
        __m128i b = _mm_mullo_epi16(_mm_unpackhi_epi8(pairs, zero), _mm_loadu_si128(reinterpret_cast<const __m128i*>(d->lanesX + 8 * x + 8)));
        __m128i sum = _mm_add_epi16(_mm_add_epi16(_mm_unpacklo_epi64(a, b), _mm_unpackhi_epi64(a, b)), half);
        return _mm_srli_epi16(sum, 8);
    };
    int x = x1;
    for (; x + 4 <= x2; x += 4) {
        __m128i four = _mm_packus_epi16(twoPixels(x), twoPixels(x + 2));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(into + x - x1), _mm_and_si128(four, noAlpha));
    }
    for (; x < x2; x++) {
        uint32_t wx = static_cast<uint32_t>(weightX[x]);
        into[x - x1] = wx == 0 ? row[sourceX[x]] : blend(row[sourceX[x]], row[sourceX[x] + 1], wx);
    }
#else
    for (int x = x1; x < x2; x++) {
        int sx = sourceX[x];
        uint32_t wx = static_cast<uint32_t>(weightX[x]);
        into[x - x1] = wx == 0 ? row[sx] : blend(row[sx], row[sx + 1], wx);
    }
#endif
}

// Blends two scaled rows into an output row, `weight` 256ths of the second.
void blendRows(const Uint32* top, const Uint32* bottom, uint32_t weight, int count, Uint32* into) {
    int x = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i keep = _mm_set1_epi16(static_cast<short>(256 - weight));
    const __m128i share = _mm_set1_epi16(static_cast<short>(weight));
    const __m128i mask = _mm_set1_epi32(0x00FFFFFF);
    if (weight == 128) {
        // Halfway, (a + b + 1) / 2 is the same sum, on bytes: every third
        // row at 1.5 times.
        for (; x + 4 <= count; x += 4) {
            __m128i t = _mm_loadu_si128(reinterpret_cast<const __m128i*>(top + x));
            __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bottom + x));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(into + x), _mm_and_si128(_mm_avg_epu8(t, b), mask));
        }
    }
    for (; x + 4 <= count; x += 4) {
        __m128i t = _mm_loadu_si128(reinterpret_cast<const __m128i*>(top + x));
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bottom + x));
        __m128i low = blendLanes(_mm_unpacklo_epi8(t, zero), _mm_unpacklo_epi8(b, zero), keep, share);
        __m128i high = blendLanes(_mm_unpackhi_epi8(t, zero), _mm_unpackhi_epi8(b, zero), keep, share);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(into + x), _mm_and_si128(_mm_packus_epi16(low, high), mask));
    }
#endif
    for (; x < count; x++) {
        into[x] = blend(top[x], bottom[x], weight);
    }
}

// Output pixels of the rectangle `out` (in output coordinates): each source
// row scaled across, then the two rows around each output row blended. Every
// output pixel is computed the same way wherever the rectangle lies, so that
// pieces join without seams.
void scalePixels(Display* d, const SDL_Rect& out, Uint32* pixels, int pitch) {
    Uint32* rows[2] = {d->rowScratch, d->rowScratch + d->shown.w};
    int rowOf[2] = {-1, -1};
    auto scaled = [&](int sourceRow) -> const Uint32* {
        for (int i = 0; i < 2; i++) {
            if (rowOf[i] == sourceRow) {
                return rows[i];
            }
        }
        // Rows come in order: the older of the two is the one to replace.
        int i = rowOf[0] < rowOf[1] ? 0 : 1;
        scaleRow(d, d->framePixels + sourceRow * frameWidth, out.x, out.x + out.w, rows[i]);
        rowOf[i] = sourceRow;
        return rows[i];
    };
    for (int y = out.y; y < out.y + out.h; y++) {
        int sy = d->sourceY[y];
        uint32_t wy = static_cast<uint32_t>(d->weightY[y]);
        Uint32* target = reinterpret_cast<Uint32*>(reinterpret_cast<Uint8*>(pixels) + static_cast<size_t>(y - out.y) * pitch);
        const Uint32* top = scaled(sy);
        if (wy == 0) {
            SDL_memcpy(target, top, sizeof(Uint32) * static_cast<size_t>(out.w));
            continue;
        }
        const Uint32* bottom = scaled(sy + 1);
        top = scaled(sy);
        blendRows(top, bottom, wy, out.w, target);
    }
}

// The output pixels (from a cell's first) that read only that cell, alike in
// every cell along an axis; false when there are none.
bool innerRange(const int* source, const int* weight, int cellOut, int cells, int* first, int* last) {
    auto inside = [&](int k) {
        for (int c = 0; c < cells; c++) {
            int o = c * cellOut + k;
            int high = weight[o] > 0 ? source[o] + 1 : source[o];
            if (source[o] < c * tileSize || high >= (c + 1) * tileSize) {
                return false;
            }
        }
        return true;
    };
    *first = 0;
    while (*first < cellOut && !inside(*first)) {
        ++*first;
    }
    *last = cellOut - 1;
    while (*last > *first && !inside(*last)) {
        --*last;
    }
    for (int k = *first; k <= *last; k++) {
        if (!inside(k)) {
            return false;
        }
    }
    return *first <= *last;
}

void findInner(Display* d) {
    d->cellOut = 0;
    int c = d->shown.w / gridColumns;
    int x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    if (d->shown.w == c * gridColumns && d->shown.h == c * gridRows &&
        innerRange(d->sourceX, d->weightX, c, gridColumns, &x1, &x2) &&
        innerRange(d->sourceY, d->weightY, c, gridRows, &y1, &y2)) {
        d->cellOut = c;
        d->inner = SDL_Rect{x1, y1, x2 - x1 + 1, y2 - y1 + 1};
    }
}

// A cell whose pixels its pictures alone decide: an opaque one first, no
// texts (they change with every counter).
bool keepsScaled(const CellLayers& cell) {
    if (cell.count < 1 || cell.count > maxCellLayers) {
        return false;
    }
    for (int i = 0; i < cell.count; i++) {
        if ((cell.key[i] >> 63) != 0) {
            return false;
        }
    }
    // A picture's key is its number plus one.
    return opaqueIndex(static_cast<int>(cell.key[0]) - 1) >= 0;
}

ScaledCell* keptScaled(Display* d, const CellLayers& cell) {
    for (ScaledCell& kept : d->scaledCells) {
        if (kept.count == cell.count && SDL_memcmp(kept.key, cell.key, sizeof(uint64_t) * static_cast<size_t>(cell.count)) == 0) {
            return &kept;
        }
    }
    return nullptr;
}

// Keeps the inside of a cell just scaled (its output corner at `from` in the
// window's surface) in place of the one used longest ago.
void keepScaled(Display* d, const CellLayers& cell, const Uint8* from, int pitch) {
    ScaledCell* oldest = &d->scaledCells[0];
    for (ScaledCell& kept : d->scaledCells) {
        if (kept.lastFrame < oldest->lastFrame) {
            oldest = &kept;
        }
    }
    size_t row = sizeof(Uint32) * static_cast<size_t>(d->inner.w);
    if (oldest->pixels == nullptr) {
        oldest->pixels = static_cast<Uint32*>(SDL_malloc(row * static_cast<size_t>(d->inner.h)));
        if (oldest->pixels == nullptr) {
            return;
        }
    }
    oldest->count = cell.count;
    SDL_memcpy(oldest->key, cell.key, sizeof(uint64_t) * static_cast<size_t>(cell.count));
    oldest->lastFrame = d->frame;
    from += static_cast<size_t>(d->inner.y) * pitch + 4 * static_cast<size_t>(d->inner.x);
    for (int y = 0; y < d->inner.h; y++) {
        SDL_memcpy(reinterpret_cast<Uint8*>(oldest->pixels) + y * row, from + static_cast<size_t>(y) * pitch, row);
    }
}

void releaseScaling(Display* d) {
    for (ScaledCell& kept : d->scaledCells) {
        SDL_free(kept.pixels);
        kept = ScaledCell{};
    }
    d->cellOut = 0;
    SDL_free(d->rowScratch);
    SDL_free(d->lanesX);
    SDL_free(d->sourceX);
    SDL_free(d->weightX);
    SDL_free(d->sourceY);
    SDL_free(d->weightY);
    d->rowScratch = nullptr;
    d->lanesX = nullptr;
    d->sourceX = d->weightX = d->sourceY = d->weightY = nullptr;
}

// Fits the frame to the window's size now. The window shows nothing valid
// afterwards, until the whole frame is drawn again.
void layOut(Display* d) {
    int w = 0, h = 0;
    SDL_GetWindowSize(d->window, &w, &h);
    releaseScaling(d);
    d->shown = fitFrame(w, h);
    d->scaled = !(w == frameWidth && h == frameHeight);
    d->shownValid = false;
    // The scaled frame is written straight into the window's surface, which
    // the software renderer draws into: its pixels must be the frame's.
    SDL_Surface* surface = d->scaled ? SDL_GetWindowSurface(d->window) : nullptr;
    if (d->scaled) {
        d->rowScratch = static_cast<Uint32*>(SDL_malloc(2 * sizeof(Uint32) * static_cast<size_t>(d->shown.w)));
        d->lanesX = static_cast<int16_t*>(SDL_malloc(8 * sizeof(int16_t) * static_cast<size_t>(d->shown.w)));
        d->sourceX = static_cast<int*>(SDL_malloc(sizeof(int) * static_cast<size_t>(d->shown.w)));
        d->weightX = static_cast<int*>(SDL_malloc(sizeof(int) * static_cast<size_t>(d->shown.w)));
        d->sourceY = static_cast<int*>(SDL_malloc(sizeof(int) * static_cast<size_t>(d->shown.h)));
        d->weightY = static_cast<int*>(SDL_malloc(sizeof(int) * static_cast<size_t>(d->shown.h)));
        if (surface == nullptr || surface->format->format != d->format || surface->w < d->shown.x + d->shown.w ||
            surface->h < d->shown.y + d->shown.h || d->rowScratch == nullptr || d->lanesX == nullptr || d->sourceX == nullptr || d->weightX == nullptr ||
            d->sourceY == nullptr || d->weightY == nullptr || d->canvas == nullptr || d->framePixels == nullptr) {
            // Without memory for scaling the frame is shown unscaled.
            releaseScaling(d);
            d->scaled = false;
        } else {
            scaleAxis(frameWidth, d->shown.w, d->sourceX, d->weightX, d->firstOutX, d->lastOutX);
            for (int x = 0; x < d->shown.w; x++) {
                for (int lane = 0; lane < 4; lane++) {
                    d->lanesX[8 * x + lane] = static_cast<int16_t>(256 - d->weightX[x]);
                    d->lanesX[8 * x + 4 + lane] = static_cast<int16_t>(d->weightX[x]);
                }
            }
            d->whole = d->shown.w % frameWidth == 0 && d->shown.h % frameHeight == 0 ? d->shown.w / frameWidth : 0;
            scaleAxis(frameHeight, d->shown.h, d->sourceY, d->weightY, d->firstOutY, d->lastOutY);
            findInner(d);
        }
    }
    SDL_SetRenderTarget(d->renderer, d->scaled ? d->canvas : nullptr);
}

// Bit x is set where pixel x of one cell's row differs in the two rows.
uint64_t differingPixels(const Uint32* a, const Uint32* b) {
    static_assert(tileSize == 64, "a cell's row is one 64-bit mask");
    uint64_t differ = 0;
#if defined(__SSE2__)
    // Most rows of a changed cell are the same: those are told in one mask.
    __m128i same[tileSize / 4];
    __m128i all = _mm_set1_epi32(-1);
    for (int x = 0; x < tileSize; x += 4) {
        same[x / 4] = _mm_cmpeq_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + x)),
                                      _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + x)));
        all = _mm_and_si128(all, same[x / 4]);
    }
    if (_mm_movemask_epi8(all) == 0xFFFF) {
        return 0;
    }
    for (int x = 0; x < tileSize; x += 4) {
        differ |= static_cast<uint64_t>(~_mm_movemask_ps(_mm_castsi128_ps(same[x / 4])) & 0xF) << x;
    }
#else
    for (int x = 0; x < tileSize; x++) {
        differ |= static_cast<uint64_t>(a[x] != b[x]) << x;
    }
#endif
    return differ;
}

// Shows the frame's cells marked in `changed` in the window, scaled.
// Appends to `sent` (room for cellCount + 1) the window rectangles that
// changed; returns false when the whole window did.
bool showScaled(Display* d, const bool* changed, bool everything, SDL_Rect* sent, int* sentCount) {
    SDL_Renderer* renderer = d->renderer;
    int dirty = 0;
    for (int i = 0; i < cellCount; i++) {
        dirty += changed[i];
    }
    if (dirty == 0 && !everything) {
        return true;
    }
    bool whole = everything || dirty > cellCount / 4;
    // Within each changed cell only the pixels that did change are scaled
    // again: a moved figure or a new digit, not the cells around them.
    SDL_Rect changedPart[cellCount];
    if (whole) {
        SDL_Rect all{0, 0, frameWidth, frameHeight};
        SDL_RenderReadPixels(renderer, &all, d->format, d->framePixels, frameWidth * 4);
    } else {
        // Read back runs of changed cells along each row at once.
        Uint32* runPixels = d->rowOfCells;
        for (int i = 0; i < cellCount; i++) {
            changedPart[i] = SDL_Rect{0, 0, 0, 0};
        }
        for (int row = 0; row < gridRows; row++) {
            for (int first = 0; first < gridColumns;) {
                if (!changed[row * gridColumns + first]) {
                    first++;
                    continue;
                }
                int last = first;
                while (last + 1 < gridColumns && changed[row * gridColumns + last + 1]) {
                    last++;
                }
                // Only the rows where some cell of the run may differ.
                SDL_Rect may[gridColumns];
                int top = tileSize, bottom = 0;
                for (int column = first; column <= last; column++) {
                    int i = row * gridColumns + column;
                    may[column] = mayDiffer(d->cells[d->drawing][i], d->cells[1 - d->drawing][i], i);
                    if (may[column].h > 0) {
                        top = SDL_min(top, may[column].y - row * tileSize);
                        bottom = SDL_max(bottom, may[column].y + may[column].h - row * tileSize);
                    }
                }
                int width = (last - first + 1) * tileSize;
                SDL_Rect run{first * tileSize, row * tileSize + top, width, bottom - top};
                if (run.h > 0) {
                    SDL_RenderReadPixels(renderer, &run, d->format, runPixels, width * 4);
                }
                for (int column = first; column <= last && run.h > 0; column++) {
                    int i = row * gridColumns + column;
                    int cx = column * tileSize;
                    int x1 = tileSize, y1 = frameHeight, x2 = -1, y2 = -1;
                    for (int y = may[column].y; y < may[column].y + may[column].h; y++) {
                        Uint32* kept = d->framePixels + y * frameWidth + cx;
                        const Uint32* now = runPixels + (y - run.y) * width + (cx - run.x);
                        uint64_t differ = differingPixels(kept, now);
                        if (differ == 0) {
                            continue;
                        }
                        int first = __builtin_ctzll(differ), last = 63 - __builtin_clzll(differ);
                        x1 = first < x1 ? first : x1;
                        x2 = last > x2 ? last : x2;
                        y1 = y < y1 ? y : y1;
                        y2 = y;
                        SDL_memcpy(kept, now, sizeof(Uint32) * tileSize);
                    }
                    if (x2 >= 0) {
                        changedPart[i] = SDL_Rect{cx + x1, y1, x2 - x1 + 1, y2 - y1 + 1};
                    }
                }
                first = last + 1;
            }
        }
    }
    SDL_Surface* surface = SDL_GetWindowSurface(d->window);
    if (surface == nullptr || surface->format->format != d->format || surface->w < d->shown.x + d->shown.w ||
        surface->h < d->shown.y + d->shown.h) {
        return false;
    }
    if (everything) {
        SDL_SetRenderTarget(renderer, nullptr);
        SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_NONE);
        SDL_SetRenderDrawColor(renderer, d->barColor.r, d->barColor.g, d->barColor.b, 255);
        SDL_RenderClear(renderer);
        SDL_RenderFlush(renderer);
        SDL_SetRenderTarget(renderer, d->canvas);
    }
    auto at = [&](int x, int y) {
        return static_cast<Uint8*>(surface->pixels) + static_cast<size_t>(d->shown.y + y) * surface->pitch +
               4 * static_cast<size_t>(d->shown.x + x);
    };
    auto scaleInto = [&](const SDL_Rect& out) {
        if (out.w > 0 && out.h > 0) {
            scalePixels(d, out, reinterpret_cast<Uint32*>(at(out.x, out.y)), surface->pitch);
        }
    };
    auto showPart = [&](const SDL_Rect& out) {
        scaleInto(out);
        sent[(*sentCount)++] = SDL_Rect{d->shown.x + out.x, d->shown.y + out.y, out.w, out.h};
    };
    auto outOf = [&](const SDL_Rect& part) {
        int x1 = d->firstOutX[part.x], x2 = d->lastOutX[part.x + part.w - 1];
        int y1 = d->firstOutY[part.y], y2 = d->lastOutY[part.y + part.h - 1];
        return SDL_Rect{x1, y1, x2 - x1 + 1, y2 - y1 + 1};
    };
    if (whole) {
        showPart(SDL_Rect{0, 0, d->shown.w, d->shown.h});
        return !everything;
    }
    for (int i = 0; i < cellCount; i++) {
        const SDL_Rect& part = changedPart[i];
        if (part.w == 0) {
            continue;
        }
        const CellLayers& cell = d->cells[d->drawing][i];
        if (d->cellOut == 0 || !keepsScaled(cell)) {
            SDL_Rect out = outOf(part);
            if (out.w > 0 && out.h > 0) {
                showPart(out);
            }
            continue;
        }
        int cellX = (i % gridColumns) * d->cellOut, cellY = (i / gridColumns) * d->cellOut;
        ScaledCell* kept = keptScaled(d, cell);
        if (kept == nullptr) {
            // Scaled whole once, then its inside is copied wherever it shows.
            showPart(outOf(SDL_Rect{(i % gridColumns) * tileSize, (i / gridColumns) * tileSize, tileSize, tileSize}));
            keepScaled(d, cell, at(cellX, cellY), surface->pitch);
            continue;
        }
        kept->lastFrame = d->frame;
        SDL_Rect out = outOf(part);
        SDL_Rect inner{cellX + d->inner.x, cellY + d->inner.y, d->inner.w, d->inner.h}, common;
        if (out.w <= 0 || out.h <= 0) {
            continue;
        }
        if (SDL_IntersectRect(&out, &inner, &common) != SDL_TRUE) {
            showPart(out);
            continue;
        }
        size_t row = sizeof(Uint32) * static_cast<size_t>(d->inner.w);
        for (int y = common.y; y < common.y + common.h; y++) {
            SDL_memcpy(at(common.x, y),
                       reinterpret_cast<const Uint8*>(kept->pixels) + static_cast<size_t>(y - inner.y) * row +
                           4 * static_cast<size_t>(common.x - inner.x),
                       sizeof(Uint32) * static_cast<size_t>(common.w));
        }
        // The edge pixels around the copy, which read the neighbours too.
        scaleInto(SDL_Rect{out.x, out.y, out.w, common.y - out.y});
        scaleInto(SDL_Rect{out.x, common.y + common.h, out.w, out.y + out.h - common.y - common.h});
        scaleInto(SDL_Rect{out.x, common.y, common.x - out.x, common.h});
        scaleInto(SDL_Rect{common.x + common.w, common.y, out.x + out.w - common.x - common.w, common.h});
        sent[(*sentCount)++] = SDL_Rect{d->shown.x + out.x, d->shown.y + out.y, out.w, out.h};
    }
    return true;
}

// Draws the cells of the frame that differ from what the window shows (all
// of them when it shows nothing valid) and shows the frame.
void showFrame(Display* d) {
    bool changed[cellCount];
    const CellLayers* now = d->cells[d->drawing];
    const CellLayers* before = d->cells[1 - d->drawing];
    for (int i = 0; i < cellCount; i++) {
        changed[i] = !d->shownValid || !sameLayers(now[i], before[i]);
        if (changed[i]) {
            drawCell(d, i);
        }
    }
    // Only what changed goes to the window system: the software renderer
    // draws into the window's own surface, which keeps the rest.
    SDL_Rect sent[cellCount + 1];
    int sentCount = 0;
    bool parts = d->shownValid;
    if (d->scaled) {
        parts = showScaled(d, changed, !d->shownValid, sent, &sentCount) && parts;
    } else {
        for (int row = 0; row < gridRows; row++) {
            for (int first = 0; first < gridColumns; first++) {
                if (!changed[row * gridColumns + first]) {
                    continue;
                }
                int last = first;
                while (last + 1 < gridColumns && changed[row * gridColumns + last + 1]) {
                    last++;
                }
                sent[sentCount++] = SDL_Rect{first * tileSize, row * tileSize, (last - first + 1) * tileSize, tileSize};
                first = last;
            }
        }
    }
    // A frame that is mostly new goes whole: one transfer beats many.
    int changedCells = 0;
    for (bool c : changed) {
        changedCells += c;
    }
    parts = parts && changedCells <= cellCount / 2;
    SDL_RenderFlush(d->renderer);
    if (parts) {
        SDL_UpdateWindowSurfaceRects(d->window, sent, sentCount);
    } else {
        SDL_UpdateWindowSurface(d->window);
    }
    d->shownValid = true;
}

// The average colour of a picture, for the bars beside a scaled frame.
SDL_Color averageColor(SDL_Renderer* renderer, SDL_Texture* from, Tile tile, Uint32 format) {
    SDL_Texture* scratch = SDL_CreateTexture(renderer, format, SDL_TEXTUREACCESS_TARGET, tileSize, tileSize);
    SDL_Color color{0, 0, 0, 255};
    if (scratch == nullptr) {
        return color;
    }
    Uint32 pixels[tileSize * tileSize];
    SDL_Rect source = toSourceRect(tile);
    SDL_SetRenderTarget(renderer, scratch);
    SDL_SetTextureBlendMode(from, SDL_BLENDMODE_NONE);
    SDL_RenderCopy(renderer, from, &source, nullptr);
    SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, pixels, tileSize * 4);
    SDL_SetRenderTarget(renderer, nullptr);
    SDL_DestroyTexture(scratch);
    uint64_t r = 0, g = 0, b = 0;
    for (Uint32 p : pixels) {
        r += (p >> 16) & 0xFF;
        g += (p >> 8) & 0xFF;
        b += p & 0xFF;
    }
    const int n = tileSize * tileSize;
    color.r = static_cast<Uint8>(r / n);
    color.g = static_cast<Uint8>(g / n);
    color.b = static_cast<Uint8>(b / n);
    return color;
}

// The tileset copied into the window's format, and each picture that is
// drawn over a floor or a wall composed over each of them, with SDL's own
// blending: a frame is then opaque copies nearly everywhere.
bool composeTiles(Display* d) {
    SDL_Renderer* renderer = d->renderer;
    int atlasW = 0, atlasH = 0;
    SDL_QueryTexture(d->atlas, nullptr, nullptr, &atlasW, &atlasH);
    d->opaque = SDL_CreateTexture(renderer, d->format, SDL_TEXTUREACCESS_TARGET, atlasW, atlasH);
    d->composed =
        SDL_CreateTexture(renderer, d->format, SDL_TEXTUREACCESS_TARGET, tileCount * tileSize, opaqueCount * tileSize);
    if (d->opaque == nullptr || d->composed == nullptr) {
        return false;
    }
    SDL_SetRenderTarget(renderer, d->opaque);
    SDL_SetTextureBlendMode(d->atlas, SDL_BLENDMODE_NONE);
    SDL_RenderCopy(renderer, d->atlas, nullptr, nullptr);
    SDL_SetRenderTarget(renderer, d->composed);
    for (int base = 0; base < opaqueCount; base++) {
        for (int tile = 0; tile < tileCount; tile++) {
            SDL_Rect to{tile * tileSize, base * tileSize, tileSize, tileSize};
            SDL_Rect floorSource = toSourceRect(opaqueTiles[base]);
            SDL_Rect pictureSource = toSourceRect(tile);
            SDL_SetTextureBlendMode(d->atlas, SDL_BLENDMODE_NONE);
            SDL_RenderCopy(renderer, d->atlas, &floorSource, &to);
            if (opaqueIndex(tile) < 0) {
                SDL_SetTextureBlendMode(d->atlas, SDL_BLENDMODE_BLEND);
                SDL_RenderCopy(renderer, d->atlas, &pictureSource, &to);
            }
        }
    }
    SDL_SetRenderTarget(renderer, nullptr);
    SDL_SetTextureBlendMode(d->opaque, SDL_BLENDMODE_NONE);
    SDL_SetTextureBlendMode(d->composed, SDL_BLENDMODE_NONE);
    return true;
}

void freeDisplay(Display* d) {
    releaseScaling(d);
    for (int i = 0; i < d->textCount; i++) {
        SDL_DestroyTexture(d->texts[i].texture);
        SDL_free(d->texts[i].text);
    }
    SDL_free(d->texts);
    SDL_free(d->ops);
    SDL_free(d->framePixels);
    SDL_free(d->rowOfCells);
    if (d->canvas != nullptr) {
        SDL_DestroyTexture(d->canvas);
    }
    if (d->composed != nullptr) {
        SDL_DestroyTexture(d->composed);
    }
    if (d->opaque != nullptr) {
        SDL_DestroyTexture(d->opaque);
    }
    SDL_free(d);
}

void toggleFullScreen(Display* d) {
    bool full = (SDL_GetWindowFlags(d->window) & SDL_WINDOW_FULLSCREEN_DESKTOP) == SDL_WINDOW_FULLSCREEN_DESKTOP;
    SDL_SetWindowFullscreen(d->window, full ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
}

// Draws `text` anchored at the pixel (anchorX, anchorY): its left (top) edge
// there, or its middle when centred on that axis.
void drawText(SDL_Renderer* renderer, TTF_Font* font, SDL_Color color, const char* text, int anchorX, int anchorY,
              bool centeredX, bool centeredY) {
    if (text == nullptr || text[0] == '\0') {
        return;
    }
    Display* d = displayOf(renderer);
    if (d != nullptr) {
        int kept = keptText(d, font, color, text);
        if (kept >= 0) {
            const TextEntry& e = d->texts[kept];
            recordText(d, kept, SDL_Rect{centeredX ? anchorX - e.w / 2 : anchorX, centeredY ? anchorY - e.h / 2 : anchorY,
                                         e.w, e.h});
        }
        return;
    }
    int w = 0, h = 0;
    SDL_Texture* texture = makeTextTexture(renderer, font, color, text, &w, &h);
    if (texture != nullptr) {
        SDL_Rect destination{centeredX ? anchorX - w / 2 : anchorX, centeredY ? anchorY - h / 2 : anchorY, w, h};
        SDL_RenderCopy(renderer, texture, nullptr, &destination);
        SDL_DestroyTexture(texture);
    }
}

constexpr int rowGap = 12;  // between neighbours on the level row
// A level name of 63 bytes with an ellipsis and its terminator.
constexpr size_t fittedBytes = 128;
const SDL_Color rowColor{255, 255, 255, 0};

int textWidth(TTF_Font* font, const char* text) {
    int width = 0;
    if (text == nullptr || text[0] == '\0' || TTF_SizeUTF8(font, text, &width, nullptr) != 0) {
        return 0;
    }
    return width;
}

// fitText, remembered for the last few names: it measures up to one cut per
// byte of the name.
void fitRemembered(SDL_Renderer* renderer, TTF_Font* font, const char* text, int maxWidth, char* out, size_t outSize) {
    Display* d = displayOf(renderer);
    if (d == nullptr || SDL_strlen(text) >= sizeof d->fits[0].text || outSize > sizeof d->fits[0].fitted) {
        fitText(font, text, maxWidth, out, outSize);
        return;
    }
    for (const auto& fit : d->fits) {
        if (fit.font == font && fit.width == maxWidth && SDL_strcmp(fit.text, text) == 0) {
            SDL_strlcpy(out, fit.fitted, outSize);
            return;
        }
    }
    fitText(font, text, maxWidth, out, outSize);
    auto& fit = d->fits[d->nextFit];
    d->nextFit = (d->nextFit + 1) % static_cast<int>(sizeof d->fits / sizeof d->fits[0]);
    fit.font = font;
    fit.width = maxWidth;
    SDL_strlcpy(fit.text, text, sizeof fit.text);
    SDL_strlcpy(fit.fitted, out, sizeof fit.fitted);
}

}  // namespace

int keyDirection(SDL_Scancode key) {
    switch (key) {
        case SDL_SCANCODE_LEFT:
        case SDL_SCANCODE_A:
            return 0;
        case SDL_SCANCODE_UP:
        case SDL_SCANCODE_W:
            return 1;
        case SDL_SCANCODE_RIGHT:
        case SDL_SCANCODE_D:
            return 2;
        case SDL_SCANCODE_DOWN:
        case SDL_SCANCODE_S:
            return 3;
        default:
            return -1;
    }
}

// --- the window -------------------------------------------------------------

bool openDisplay(SDL_Renderer* renderer, SDL_Texture* tiles) {
    SDL_Window* window = SDL_RenderGetWindow(renderer);
    if (window == nullptr) {
        return false;
    }
    Display* d = static_cast<Display*>(SDL_calloc(1, sizeof(Display)));
    if (d == nullptr) {
        return false;
    }
    d->window = window;
    d->renderer = renderer;
    d->atlas = tiles;
    d->format = SDL_GetWindowPixelFormat(window);
    d->textCapacity = keptTexts;
    d->texts = static_cast<TextEntry*>(SDL_calloc(keptTexts, sizeof(TextEntry)));
    d->opCapacity = firstOpCapacity;
    d->ops = static_cast<Op*>(SDL_malloc(sizeof(Op) * firstOpCapacity));
    // One pixel more: the scaler reads a neighbour past the last one.
    d->framePixels = static_cast<Uint32*>(SDL_calloc(frameWidth * frameHeight + 1, sizeof(Uint32)));
    d->rowOfCells = static_cast<Uint32*>(SDL_malloc(sizeof(Uint32) * frameWidth * tileSize));
    // One column wider than the frame: SDL copies pictures into a surface
    // whose rows are 16-byte aligned with stores that bypass the cache, and
    // the scaler then reads every changed cell back from memory.
    d->canvas = SDL_CreateTexture(renderer, d->format, SDL_TEXTUREACCESS_TARGET, frameWidth + 1, frameHeight);
    d->nextTextId = 1;
    d->frame = 2;
    if (d->texts == nullptr || d->ops == nullptr || d->framePixels == nullptr || d->rowOfCells == nullptr ||
        d->canvas == nullptr ||
        !composeTiles(d)) {
        SDL_SetRenderTarget(renderer, nullptr);
        freeDisplay(d);
        return false;
    }
    d->barColor = averageColor(renderer, tiles, greyFloor, d->format);
    SDL_SetWindowData(window, displayKey, d);
    layOut(d);
    return true;
}

void closeDisplay(SDL_Renderer* renderer) {
    Display* d = displayOf(renderer);
    if (d == nullptr) {
        return;
    }
    SDL_SetRenderTarget(renderer, nullptr);
    SDL_SetWindowData(d->window, displayKey, nullptr);
    freeDisplay(d);
}

void clearFrame(SDL_Renderer* renderer) {
    Display* d = displayOf(renderer);
    if (d == nullptr) {
        SDL_RenderClear(renderer);
        return;
    }
    // The frame shown stays in the other half for comparing.
    if (d->shownValid || d->opCount > 0) {
        d->drawing = 1 - d->drawing;
    }
    for (CellLayers& cell : d->cells[d->drawing]) {
        cell.count = 0;
        cell.texts = SDL_Rect{0, 0, 0, 0};
    }
    d->opCount = 0;
    d->frame++;
    SDL_GetRenderDrawColor(renderer, &d->clearColor.r, &d->clearColor.g, &d->clearColor.b, &d->clearColor.a);
}

void presentFrame(SDL_Renderer* renderer) {
    Display* d = displayOf(renderer);
    if (d == nullptr) {
        SDL_RenderPresent(renderer);
        return;
    }
    showFrame(d);
}

namespace {

// Room around the frame beyond which the window's borders cannot matter.
constexpr int roomForBorders = 64;

// The size fitToDesktop gives the window, or false when it keeps its size;
// `framed` tells whether the window manager's borders were counted.
bool desktopFit(SDL_Window* window, SDL_Rect* fitted, int* x, int* y, bool* framed) {
    *framed = true;
    SDL_Rect usable;
    if (SDL_GetDisplayUsableBounds(SDL_GetWindowDisplayIndex(window), &usable) != 0) {
        return false;
    }
    if (usable.w >= frameWidth + roomForBorders && usable.h >= frameHeight + roomForBorders) {
        return false;
    }
    int top = 0, left = 0, bottom = 0, right = 0;
    *framed = SDL_GetWindowBordersSize(window, &top, &left, &bottom, &right) != 0 || top > 0;
    int roomW = usable.w - left - right;
    int roomH = usable.h - top - bottom;
    if (roomW >= frameWidth && roomH >= frameHeight) {
        return false;
    }
    *fitted = fitFrame(roomW, roomH);
    // Positions are the inside's: the title bar must stay on the screen too.
    *x = usable.x + left + fitted->x;
    *y = usable.y + top + fitted->y;
    return true;
}

void refitOnceFramed(Display* d) {
    int w = 0, h = 0;
    SDL_GetWindowSize(d->window, &w, &h);
    Uint32 flags = SDL_GetWindowFlags(d->window);
    bool playerChanged = (w != d->fittedW || h != d->fittedH) ||
                         (flags & (SDL_WINDOW_FULLSCREEN | SDL_WINDOW_MAXIMIZED)) != 0;
    if (playerChanged || SDL_TICKS_PASSED(SDL_GetTicks(), d->refitUntil)) {
        d->refitPending = false;
        return;
    }
    SDL_Rect fitted;
    int x = 0, y = 0;
    bool framed = false;
    bool resize = desktopFit(d->window, &fitted, &x, &y, &framed);
    if (!framed) {
        return;
    }
    d->refitPending = false;
    if (resize && (fitted.w != w || fitted.h != h)) {
        SDL_SetWindowSize(d->window, fitted.w, fitted.h);
        SDL_SetWindowPosition(d->window, x, y);
    }
}

}  // namespace

void fitToDesktop(SDL_Window* window) {
    SDL_Rect fitted;
    int x = 0, y = 0;
    bool framed = false;
    if (desktopFit(window, &fitted, &x, &y, &framed)) {
        SDL_SetWindowSize(window, fitted.w, fitted.h);
        SDL_SetWindowPosition(window, x, y);
    }
}

void fitWhenFramed(SDL_Renderer* renderer) {
    Display* d = displayOf(renderer);
    if (d == nullptr) {
        return;
    }
    d->refitPending = true;
    d->refitUntil = SDL_GetTicks() + 2000;
    SDL_GetWindowSize(d->window, &d->fittedW, &d->fittedH);
}

int waitEvent(SDL_Renderer* renderer, SDL_Event* event) {
    Display* d = displayOf(renderer);
    for (;;) {
        if (SDL_WaitEvent(event) == 0) {
            return 0;
        }
        if (d == nullptr) {
            return 1;
        }
        if (d->refitPending) {
            refitOnceFramed(d);
        }
        switch (event->type) {
            case SDL_WINDOWEVENT:
                if (event->window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
                    // The window's pixels are gone: the last frame is drawn
                    // again, whole, at the new size.
                    layOut(d);
                    showFrame(d);
                } else if (event->window.event == SDL_WINDOWEVENT_EXPOSED) {
                    // The window's surface still holds the frame.
                    SDL_UpdateWindowSurface(d->window);
                }
                continue;
            case SDL_KEYDOWN:
            case SDL_KEYUP:
                if (event->key.keysym.scancode == SDL_SCANCODE_F11) {
                    if (event->type == SDL_KEYDOWN && event->key.repeat == 0) {
                        toggleFullScreen(d);
                    }
                    continue;
                }
                return 1;
            case SDL_MOUSEBUTTONDOWN:
            case SDL_MOUSEBUTTONUP:
                if (!windowToFrame(d->shown, event->button.x, event->button.y, &event->button.x, &event->button.y)) {
                    continue;
                }
                return 1;
            case SDL_MOUSEMOTION:
                if (!windowToFrame(d->shown, event->motion.x, event->motion.y, &event->motion.x, &event->motion.y)) {
                    continue;
                }
                return 1;
            default:
                return 1;
        }
    }
}

SDL_Rect fitFrame(int windowWidth, int windowHeight) {
    if (windowWidth <= 0 || windowHeight <= 0) {
        return SDL_Rect{0, 0, frameWidth, frameHeight};
    }
    // Whichever side limits the scale decides the size; the other is
    // rounded from it.
    int64_t byWidth = static_cast<int64_t>(windowWidth) * frameHeight;
    int64_t byHeight = static_cast<int64_t>(windowHeight) * frameWidth;
    int w, h;
    if (byWidth <= byHeight) {
        w = windowWidth;
        h = static_cast<int>((static_cast<int64_t>(windowWidth) * frameHeight + frameWidth / 2) / frameWidth);
    } else {
        h = windowHeight;
        w = static_cast<int>((static_cast<int64_t>(windowHeight) * frameWidth + frameHeight / 2) / frameHeight);
    }
    w = w < 1 ? 1 : w;
    h = h < 1 ? 1 : h;
    return SDL_Rect{(windowWidth - w) / 2, (windowHeight - h) / 2, w, h};
}

bool windowToFrame(SDL_Rect shown, int x, int y, int* frameX, int* frameY) {
    if (x < shown.x || y < shown.y || x >= shown.x + shown.w || y >= shown.y + shown.h) {
        return false;
    }
    // The frame pixel under the centre of the window pixel.
    *frameX = static_cast<int>((2 * static_cast<int64_t>(x - shown.x) + 1) * frameWidth / (2 * shown.w));
    *frameY = static_cast<int>((2 * static_cast<int64_t>(y - shown.y) + 1) * frameHeight / (2 * shown.h));
    return true;
}

// --- drawing on the grid ---------------------------------------------------

void renderTile(SDL_Renderer* renderer, SDL_Texture* tiles, Tile tile, int x, int y) {
    Display* d = displayOf(renderer);
    if (d != nullptr && tiles == d->atlas) {
        recordTile(d, normalTile(tile), x, y);
        return;
    }
    SDL_Rect source = toSourceRect(normalTile(tile));
    SDL_Rect destination{x * tileSize, y * tileSize, tileSize, tileSize};
    SDL_SetTextureBlendMode(tiles, opaqueIndex(tile) >= 0 ? SDL_BLENDMODE_NONE : SDL_BLENDMODE_BLEND);
    SDL_RenderCopy(renderer, tiles, &source, &destination);
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

void renderFont(SDL_Renderer* renderer, TTF_Font* font, SDL_Color color, const char* text, int x, int y,
                bool centeredX, bool centeredY) {
    drawText(renderer, font, color, text, x * tileSize + tileSize / 2, y * tileSize + tileSize / 2, centeredX,
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

void renderLevelRow(SDL_Renderer* renderer, TTF_Font* font, TTF_Font* smallFont, int left, int right,
                    const char* number, const char* name, const char* counters, const char* countersRoom) {
    const int middleY = (gridRows - 1) * tileSize + tileSize / 2;
    const int nameX = 10 * tileSize + tileSize / 2;
    int numberWidth = textWidth(smallFont, number);
    int countersWidth = textWidth(smallFont, counters);
    int room = textWidth(smallFont, countersRoom);
    room = room > countersWidth ? room : countersWidth;
    drawText(renderer, smallFont, rowColor, number, left, middleY, false, true);
    drawText(renderer, smallFont, rowColor, counters, right - countersWidth, middleY, false, true);
    // The name stays centred, so it may reach as far on each side as the
    // nearer neighbour allows.
    int nameLeft = numberWidth > 0 ? left + numberWidth + rowGap : left;
    int nameRight = room > 0 ? right - room - rowGap : right;
    int half = nameX - nameLeft < nameRight - nameX ? nameX - nameLeft : nameRight - nameX;
    char fitted[fittedBytes];
    fitRemembered(renderer, font, name != nullptr ? name : "", 2 * half, fitted, sizeof fitted);
    drawText(renderer, font, rowColor, fitted, nameX, middleY, true, true);
}

bool clickTile(int tileX, int tileY, int clickX, int clickY) {
    return clickTiles(tileX, tileY, tileX, tileY, clickX, clickY);
}

bool clickTiles(int tileX1, int tileY1, int tileX2, int tileY2, int clickX, int clickY) {
    return tileX1 * tileSize <= clickX && clickX <= tileX2 * tileSize + tileSize - 1 && tileY1 * tileSize <= clickY &&
           clickY <= tileY2 * tileSize + tileSize - 1;
}
