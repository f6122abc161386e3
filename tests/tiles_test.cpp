#include <SDL2/SDL_image.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>

#include "edit.h"
#include "harness.h"
#include "input.h"
#include "menu.h"
#include "play.h"
#include "tiles.h"

namespace {

struct ClickCase {
    int x1, y1, x2, y2;
    int px, py;
    bool hit;
};

TEST(ClickTiles, CellAndRectangleBoundsAreInclusive) {
    const ClickCase cases[] = {
        {3, 9, 3, 9, 192, 576, true},    {3, 9, 3, 9, 255, 639, true},    {3, 9, 3, 9, 256, 576, false},
        {3, 9, 3, 9, 191, 600, false},   {3, 9, 3, 9, 200, 575, false},   {3, 9, 3, 9, 200, 640, false},
        {17, 1, 18, 1, 1088, 64, true},  {17, 1, 18, 1, 1215, 127, true}, {17, 1, 18, 1, 1087, 100, false},
        {17, 1, 18, 1, 1216, 100, false}, {17, 1, 18, 1, 1100, 128, false}, {17, 1, 18, 1, 1100, 63, false},
        {0, 0, 0, 0, -1, 0, false},       {0, 0, 0, 0, 0, 0, true},
    };
    for (const ClickCase& c : cases) {
        EXPECT_EQ(clickTiles(c.x1, c.y1, c.x2, c.y2, c.px, c.py), c.hit)
            << "(" << c.x1 << "," << c.y1 << ")-(" << c.x2 << "," << c.y2 << ") at " << c.px << "," << c.py;
        if (c.x1 == c.x2 && c.y1 == c.y2) {
            EXPECT_EQ(clickTile(c.x1, c.y1, c.px, c.py), c.hit);
        }
    }
}

// The drawing calls themselves, in the frame.
using TilesScreen = ScreenTest;

TEST_F(TilesScreen, AtlasHoldsEveryPictureAndNothingElse) {
    ASSERT_GE(atlas->w, 832);
    ASSERT_GE(atlas->h, 448);
    const int used[][2] = {{10, 6}, {11, 6}, {12, 6}, {7, 6}, {0, 4}, {3, 0}, {3, 1}, {12, 3}, {2, 0}, {2, 1}, {1, 0},
                           {1, 1},  {2, 2},  {4, 0},  {1, 2}, {5, 2}, {5, 1}, {4, 1}, {4, 2}, {5, 0}, {0, 3}, {6, 2},
                           {6, 0},  {7, 0},  {7, 1},  {7, 2}, {8, 0}, {8, 1}, {8, 2}, {9, 0}, {9, 1}};
    SDL_Surface* argb = SDL_ConvertSurfaceFormat(atlas, SDL_PIXELFORMAT_ARGB8888, 0);
    ASSERT_NE(argb, nullptr);
    for (int column = 0; column < 13; column++) {
        for (int row = 0; row < 7; row++) {
            bool isUsed = false;
            for (const auto& cell : used) {
                isUsed = isUsed || (cell[0] == column && cell[1] == row);
            }
            int opaque = 0;
            for (int y = 0; y < tileSize; y++) {
                for (int x = 0; x < tileSize; x++) {
                    const uint32_t* pixels = static_cast<const uint32_t*>(argb->pixels);
                    uint32_t p = pixels[(row * tileSize + y) * (argb->pitch / 4) + column * tileSize + x];
                    opaque += (p >> 24) != 0;
                }
            }
            if (isUsed) {
                EXPECT_GT(opaque, 200) << "picture missing at " << column << "," << row;
            } else {
                EXPECT_EQ(opaque, 0) << "stray pixels at " << column << "," << row;
            }
        }
    }
    SDL_FreeSurface(argb);
}

TEST_F(TilesScreen, RectanglesCoverCornersInclusiveAndEmptyRectanglesDrawNothing) {
    SDL_RenderClear(renderer);
    renderTiles(renderer, tiles, greyFloor, 0, 0, 19, 11);
    renderTiles(renderer, tiles, wall, 5, 5, 4, 6);  // x1 > x2: nothing
    renderTilesC(renderer, tiles, brownFloor, Coordinates{2, 3}, Coordinates{4, 4});
    renderTile(renderer, tiles, static_cast<Tile>(tileCount), 10, 10);
    renderTile(renderer, tiles, static_cast<Tile>(-1), 11, 10);
    renderTileC(renderer, tiles, player, Coordinates{19, 11});
    renderTile(renderer, tiles, wall, 20, 3);  // outside the window: clipped
    SDL_RenderPresent(renderer);
    Frame frame = capture();
    for (int x = 0; x < 20; x++) {
        for (int y = 0; y < 12; y++) {
            bool brown = x >= 2 && x <= 4 && y >= 3 && y <= 4;
            bool special = (y == 10 && (x == 10 || x == 11)) || (x == 19 && y == 11);
            if (!special) {
                EXPECT_TRUE(cellShows(frame, x, y, {brown ? brownFloor : greyFloor})) << x << "," << y;
            }
        }
    }
    // Values outside the enumeration take the picture at column 0, row 0,
    // which is transparent in this tileset.
    EXPECT_TRUE(cellShows(frame, 10, 10, {greyFloor}));
    EXPECT_TRUE(cellShows(frame, 11, 10, {greyFloor}));
    EXPECT_TRUE(cellShows(frame, 19, 11, {greyFloor, player}));
}

// A picture over a floor drawn in one copy from the cells composed at load
// is exactly the floor and the picture drawn one after the other.
TEST_F(TilesScreen, APictureOverAFloorIsTheTwoDrawnInTurn) {
    for (Tile floor : {greenFloor, greyFloor, brownFloor, wall}) {
        for (int tile = 0; tile < tileCount; tile++) {
            renderTile(renderer, tiles, floor, 2, 2);
            renderTile(renderer, tiles, static_cast<Tile>(tile), 2, 2);
            renderTileOver(renderer, tiles, floor, static_cast<Tile>(tile), 5, 2);
            Frame frame = capture();
            int differing = 0;
            for (int y = 0; y < tileSize; y++) {
                for (int x = 0; x < tileSize; x++) {
                    differing += frame.at(2 * tileSize + x, 2 * tileSize + y) != frame.at(5 * tileSize + x, 2 * tileSize + y);
                }
            }
            EXPECT_EQ(differing, 0) << "picture " << tile << " over floor " << floor;
        }
    }
}

TEST_F(TilesScreen, TextAnchorsAtTheCellCentreAndIsOpaque) {
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    const SDL_Color tan{205, 140, 74, 0};
    renderFont(renderer, font, tan, "OK", 17, 1, false, true);
    SDL_RenderPresent(renderer);
    Frame frame = capture();
    int w = 0, h = 0;
    ASSERT_EQ(TTF_SizeUTF8(font, "OK", &w, &h), 0);
    // Nothing left of pixel 1120; the text's box is centred on y = 96.
    EXPECT_EQ(countColor(frame, SDL_Rect{0, 0, 1120, 768}, 205, 140, 74, 0), 0);
    EXPECT_GT(countColor(frame, SDL_Rect{1120, 96 - h / 2, w, h}, 205, 140, 74, 0), 50);
    EXPECT_EQ(countColor(frame, SDL_Rect{1120, 0, 160, 96 - h / 2}, 205, 140, 74, 0), 0);
    EXPECT_EQ(countColor(frame, SDL_Rect{1120, 96 - h / 2 + h, 160, 200}, 205, 140, 74, 0), 0);
}

TEST_F(TilesScreen, CentredTextTakesTheIntegerHalfOfItsWidth) {
    // Find a text of odd width to see the half rounded toward zero.
    const char* texts[] = {"i", "ii", "iii", "l", "ll", "A", "AB", "W", "Wi", "x"};
    const char* odd = nullptr;
    int w = 0, h = 0;
    for (const char* text : texts) {
        TTF_SizeUTF8(font, text, &w, &h);
        if (w % 2 == 1) {
            odd = text;
            break;
        }
    }
    ASSERT_NE(odd, nullptr);
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    // A white box of the rendered size shows where the surface lands.
    SDL_Surface* surface = TTF_RenderUTF8_Solid(font, odd, SDL_Color{255, 255, 255, 255});
    ASSERT_NE(surface, nullptr);
    ASSERT_EQ(surface->w, w);
    SDL_FreeSurface(surface);
    renderFont(renderer, font, SDL_Color{255, 255, 255, 0}, odd, 7, 3, true, true);
    SDL_RenderPresent(renderer);
    Frame frame = capture();
    int left = 480 - w / 2;
    EXPECT_EQ(countColor(frame, SDL_Rect{0, 0, left, 768}, 255, 255, 255, 0), 0);
    EXPECT_EQ(countColor(frame, SDL_Rect{left + w, 0, 1280 - left - w, 768}, 255, 255, 255, 0), 0);
    EXPECT_GT(countColor(frame, SDL_Rect{left, 224 - h / 2, w, h}, 255, 255, 255, 0), 0);
}

TEST_F(TilesScreen, NullAndEmptyTextsDrawNothing) {
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    renderFont(renderer, font, SDL_Color{255, 255, 255, 0}, nullptr, 5, 5, true, true);
    renderFontC(renderer, font, SDL_Color{255, 255, 255, 0}, "", Coordinates{5, 5}, false, false);
    SDL_RenderPresent(renderer);
    Frame frame = capture();
    EXPECT_EQ(countColor(frame, SDL_Rect{0, 0, 1280, 768}, 0, 0, 0, 0), 1280 * 768);
}

// Every fixed text, at 50 points from the cell it is anchored at, must end
// inside the window.
TEST_F(TilesScreen, EveryFixedTextFitsTheWindow) {
    struct Placed {
        const char* text;
        int anchorX;  // pixel where an uncentred text starts
    };
    const Placed texts[] = {
        {"Boxtolo", 672},
        {"Játék kezdése", 480},
        {"Szintszerkesztő", 480},
        {"Kilépésch", 480},
        {"Told a ládát a megfelelő opció előtti célra!", 32},
        {"File neve", 96},
        {"Szint neve", 96},
        {"Méret (szélesség x magasság)", 96},
        {"Sikeresen tejesítetted a pályát!", 160},
        {"Nem lehet megnyitni a fájlt", 160},
        {"Memóriafoglalási hiba", 160},
        {"A fájl hibás karaktereket tartalmaz", 160},
        {"Néhány szint túl nagy. Biztosan megnyitod?", 160},
        {"A fájl nem tartalmaz szinteket", 160},
        {"Néhány szint hibás", 160},
        {"Szeretnéd eltárolni a módosításaidat?", 160},
        {"Sikeres mentés!", 160},
        {"Sikertelen mentés", 160},
        {"Biztosan szeretnél mentés nélkül kilépni?", 160},
        {"Biztosan törlöd a szintet?", 160},
        {"Hibás méret!", 160},
        {"OK", 1120},
        {"Mégse", 736},
        {"<-", 1120},
    };
    for (const Placed& placed : texts) {
        int w = 0, h = 0;
        ASSERT_EQ(TTF_SizeUTF8(font, placed.text, &w, &h), 0);
        EXPECT_LE(placed.anchorX + w, 1280) << placed.text;
        EXPECT_LE(h, 64) << placed.text;
    }
}

}  // namespace
