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

// The drawing calls themselves, each drawn at once.
class TilesScreen : public ScreenTest {
  protected:
    TilesScreen() : ScreenTest(false) {}
};

TEST_F(TilesScreen, AtlasHoldsEveryPictureAndNothingElse) {
    ASSERT_GE(atlas->w, 832);
    ASSERT_GE(atlas->h, 448);
    const int used[][2] = {{10, 6}, {11, 6}, {12, 6}, {7, 6}, {0, 4}, {3, 0}, {3, 1}, {12, 3}, {2, 0}, {2, 1}, {1, 0},
                           {1, 1},  {2, 2},  {4, 0},  {1, 2}, {5, 2}, {5, 1}, {4, 1}, {4, 2}, {5, 0}, {0, 3}, {6, 2},
                           {6, 0}};
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

// Every frame a screen presents through the display, which redraws only the
// cells that changed from opaque and precomposed pictures, is pixel for pixel
// the frame drawn the plain way: every call blended onto a cleared window.
class FastAndPlain : public ScreenTest {
  protected:
    FastAndPlain() : ScreenTest(false) {}

    // The frames the dummy driver saved while `run` ran with `queue`'s
    // events, in `folder`.
    std::vector<std::string> frames(const std::string& folder, bool fast, const std::function<void()>& queue,
                                    const std::function<void()>& run) {
        mkdir(folder.c_str(), 0755);
        EXPECT_EQ(chdir(folder.c_str()), 0);
        writeFile("szintek.txt", levels());
        if (fast) {
            EXPECT_TRUE(openDisplay(renderer, tiles));
        }
        setenv("SDL_VIDEO_DUMMY_SAVE_FRAMES", "1", 1);
        queue();
        run();
        unsetenv("SDL_VIDEO_DUMMY_SAVE_FRAMES");
        closeDisplay(renderer);
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        std::vector<std::string> saved;
        for (const std::string& name : folderListing(".")) {
            if (name.rfind("SDL_window", 0) == 0) {
                saved.push_back(readFile(name));
            }
        }
        EXPECT_EQ(chdir(tempDir.c_str()), 0);
        return saved;
    }

    static std::string levels() {
        std::string full = "; Teljes méretű szint, a neve túl hosszú a sorhoz\n" + std::string(19, '#') + "\n";
        for (int row = 1; row < 10; row++) {
            full += "# $ . $ * $ . $ . #\n";
        }
        full += "#@" + std::string(16, ' ') + "#\n";
        return full + "\n; Kicsi\n#####\n#@$.#\n#####\n";
    }

    char filename[64] = "szintek.txt";
    char text[64] = {};
};

TEST_F(FastAndPlain, EveryScreenDrawsTheSameFramesBothWays) {
    struct Case {
        const char* label;
        std::function<void()> queue;
        std::function<void()> run;
    };
    const Case cases[] = {
        {"menu room",
         [&] {
             for (SDL_Scancode key : {SDL_SCANCODE_DOWN, SDL_SCANCODE_DOWN, SDL_SCANCODE_RIGHT, SDL_SCANCODE_UP}) {
                 press(key);
             }
             click(16, 8);
             click(15, 7);
             quit();
         },
         [&] { mainMenu(renderer, tiles, font, filename); }},
        {"play screen",
         [&] {
             for (SDL_Scancode key : {SDL_SCANCODE_RIGHT, SDL_SCANCODE_UP, SDL_SCANCODE_UP, SDL_SCANCODE_BACKSPACE,
                                      SDL_SCANCODE_RIGHT, SDL_SCANCODE_PAGEUP, SDL_SCANCODE_ESCAPE,
                                      SDL_SCANCODE_RIGHT, SDL_SCANCODE_RETURN, SDL_SCANCODE_PAGEDOWN}) {
                 press(key);
             }
             click(0, 1);
             quit();
         },
         [&] { playLevel(renderer, tiles, font, smallFont, filename); }},
        {"editor",
         [&] {
             for (SDL_Scancode key : {SDL_SCANCODE_RIGHT, SDL_SCANCODE_3, SDL_SCANCODE_RETURN, SDL_SCANCODE_DOWN,
                                      SDL_SCANCODE_5, SDL_SCANCODE_SPACE, SDL_SCANCODE_BACKSPACE,
                                      SDL_SCANCODE_PAGEUP, SDL_SCANCODE_DELETE, SDL_SCANCODE_ESCAPE}) {
                 press(key);
             }
             click(8, 5);
             quit();
         },
         [&] { editLevel(renderer, tiles, font, smallFont, filename); }},
        {"text input",
         [&] {
             typeText("hosszu nev");
             keyDown(SDL_SCANCODE_LSHIFT);
             typeText("ab");
             keyUp(SDL_SCANCODE_LSHIFT);
             click(3, 9);
             click(5, 7);
             press(SDL_SCANCODE_BACKSPACE);
             quit();
         },
         [&] {
             std::strcpy(text, "Egy hosszú szöveg, ami már túlfut a mező jobb szélén");
             textInput(renderer, tiles, font, "Szint neve", text, 63);
         }},
        {"alert", [&] { quit(); }, [&] { alertBox(renderer, tiles, font, "Sikeresen tejesítetted a pályát!"); }},
        {"question", [&] { quit(); },
         [&] { dialogBox(renderer, tiles, font, "Biztosan szeretnél mentés nélkül kilépni?"); }},
    };
    int index = 0;
    for (const Case& c : cases) {
        std::string name = std::to_string(index++);
        std::vector<std::string> plain = frames(name + "-plain", false, c.queue, c.run);
        std::vector<std::string> fast = frames(name + "-fast", true, c.queue, c.run);
        ASSERT_EQ(fast.size(), plain.size()) << c.label;
        EXPECT_GT(plain.size(), 0u) << c.label;
        for (size_t i = 0; i < plain.size(); i++) {
            EXPECT_TRUE(fast[i] == plain[i]) << c.label << ", frame " << i;
        }
    }
}

// A window of another size shows the frame scaled: the changed cells scaled
// piece by piece join exactly as the whole frame scaled at once, the picture
// is the frame's, and clicks land on the cells they show.
class ScaledWindow : public ScreenTest {
  protected:
    // The window's own pixels, not the frame's.
    Frame windowPixels() {
        SDL_Texture* target = SDL_GetRenderTarget(renderer);
        SDL_SetRenderTarget(renderer, nullptr);
        Frame frame;
        SDL_GetWindowSize(window, &frame.width, &frame.height);
        frame.pixels.resize(static_cast<size_t>(frame.width) * frame.height);
        SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, frame.pixels.data(), frame.width * 4);
        SDL_SetRenderTarget(renderer, target);
        return frame;
    }
    // Plays a few moves, by key and by clicks where the window shows the
    // buttons, and a click on a bar; optionally then has the whole frame
    // drawn again as after a resize.
    Frame play(int width, int height, bool redrawWhole) {
        // A second level, visited first: coming back, whole cells change to
        // pictures already kept scaled.
        writeFile("szintek.txt", "; Kettő\n#######\n#@ $ .#\n#.  $ #\n#######\n\n"
                                 "; Másik\n#######\n##@ $.#\n#.$  ##\n#######\n");
        SDL_SetWindowSize(window, width, height);
        SDL_Rect shown = fitFrame(width, height);
        auto at = [&](int cellX, int cellY, int* x, int* y) {
            *x = shown.x + (cellX * tileSize + tileSize / 2) * shown.w / frameWidth;
            *y = shown.y + (cellY * tileSize + tileSize / 2) * shown.h / frameHeight;
        };
        int x = 0, y = 0;
        press(SDL_SCANCODE_PAGEUP);
        press(SDL_SCANCODE_PAGEDOWN);
        press(SDL_SCANCODE_RIGHT);
        at(0, 9, &x, &y);
        clickPixel(x, y);  // down
        at(0, 0, &x, &y);
        if (shown.y > 0) {
            clickPixel(x, shown.y - 1);  // the bar above home: nothing
        }
        press(SDL_SCANCODE_RIGHT);
        if (redrawWhole) {
            SDL_Event event{};
            event.type = SDL_WINDOWEVENT;
            event.window.event = SDL_WINDOWEVENT_SIZE_CHANGED;
            event.window.windowID = SDL_GetWindowID(window);
            SDL_PushEvent(&event);
        }
        quit();
        char name[64] = "szintek.txt";
        EXPECT_EQ(playLevel(renderer, tiles, font, smallFont, name), 0);
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        return windowPixels();
    }
};

TEST(FitFrame, KeepsTheAspectAndMapsClicksBack) {
    struct Case {
        int w, h;
        SDL_Rect shown;
    };
    const Case cases[] = {
        {1280, 768, {0, 0, 1280, 768}},      {1920, 1152, {0, 0, 1920, 1152}}, {1920, 1200, {0, 24, 1920, 1152}},
        {1366, 710, {91, 0, 1183, 710}},      {2560, 1440, {80, 0, 2400, 1440}}, {960, 576, {0, 0, 960, 576}},
        {1183, 710, {0, 0, 1183, 710}},      {100, 1000, {0, 470, 100, 60}},
    };
    for (const Case& c : cases) {
        SDL_Rect got = fitFrame(c.w, c.h);
        EXPECT_TRUE(got.x == c.shown.x && got.y == c.shown.y && got.w == c.shown.w && got.h == c.shown.h)
            << c.w << "x" << c.h << ": " << got.x << "," << got.y << " " << got.w << "x" << got.h;
    }
    // The bars beside the frame are no cells.
    SDL_Rect shown = fitFrame(1366, 710);
    int fx = 0, fy = 0;
    EXPECT_TRUE(windowToFrame(shown, 91, 0, &fx, &fy));
    EXPECT_EQ(fx, 0);
    EXPECT_TRUE(windowToFrame(shown, 91 + 1182, 709, &fx, &fy));
    EXPECT_EQ(fx, 1279);
    EXPECT_EQ(fy, 767);
    EXPECT_FALSE(windowToFrame(shown, 90, 10, &fx, &fy));
    EXPECT_FALSE(windowToFrame(shown, 91 + 1183, 10, &fx, &fy));
    shown = fitFrame(1920, 1200);
    EXPECT_FALSE(windowToFrame(shown, 500, 23, &fx, &fy));
    EXPECT_FALSE(windowToFrame(shown, 500, 1176, &fx, &fy));
    EXPECT_TRUE(windowToFrame(shown, 500, 24, &fx, &fy));
    EXPECT_EQ(fy, 0);
}

TEST_F(ScaledWindow, PiecesJoinTheWholeAndShowTheFrame) {
    Frame whole = play(1920, 1200, true);
    // The same moves in a window of the frame's own size; in between, so that
    // the pieces start from a new frame rather than from the same last one.
    Frame plain = play(frameWidth, frameHeight, false);
    Frame pieces = play(1920, 1200, false);
    ASSERT_EQ(whole.pixels.size(), pieces.pixels.size());
    EXPECT_TRUE(whole.pixels == pieces.pixels) << "changed cells scaled alone join without seams";

    // The key moved right, the click moved down (not home: no question), the
    // last key walked on: the player stands at (10, 5), the 7 x 4 level
    // lying from column 7, row 3.
    EXPECT_TRUE(cellShows(plain, 10, 5, {brownFloor, player}));
    // Scaled back, the big window shows that frame.
    double total = 0;
    for (int y = 0; y < frameHeight; y++) {
        for (int x = 0; x < frameWidth; x++) {
            uint32_t a = plain.at(x, y);
            uint32_t b = pieces.at(x * 3 / 2 + 1, 24 + y * 3 / 2 + 1);
            for (int shift = 0; shift < 24; shift += 8) {
                total += std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
            }
        }
    }
    EXPECT_LT(total / (frameWidth * frameHeight * 3.0), 12.0);
    // Exactly: linear between pixel centres in 256ths, across and then down,
    // each blend rounded.
    auto axis = [](int o, int from, int to, int* s, int* w) {
        int64_t u = ((2 * static_cast<int64_t>(o) + 1) * from * 65536) / (2 * static_cast<int64_t>(to)) - 32768;
        u = u < 0 ? 0 : u;
        *s = static_cast<int>(u >> 16);
        *w = *s >= from - 1 ? 0 : static_cast<int>((u >> 8) & 0xFF);
        *s = *s >= from - 1 ? from - 1 : *s;
    };
    auto mix = [](uint32_t a, uint32_t b, int w) {
        uint32_t out = 0;
        for (int shift = 0; shift < 24; shift += 8) {
            uint32_t ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
            out |= ((ca * (256 - w) + cb * w + 128) >> 8) << shift;
        }
        return out;
    };
    // Full screen on 1920 x 1080 shows cells of 90 pixels, 1920 x 1152 of
    // 96: each way a picture's inside is kept scaled and copied.
    struct Size {
        int windowW, windowH;
        SDL_Rect shown;
    };
    const Size sizes[] = {{1920, 1200, {0, 24, 1920, 1152}}, {1920, 1080, {60, 0, 1800, 1080}}};
    for (const Size& size : sizes) {
        Frame scaled = size.windowH == 1200 ? pieces : play(size.windowW, size.windowH, false);
        const SDL_Rect& shown = size.shown;
        int wrong = 0;
        for (int oy = 0; oy < shown.h; oy++) {
            int sy = 0, wy = 0;
            axis(oy, frameHeight, shown.h, &sy, &wy);
            for (int ox = 0; ox < shown.w; ox++) {
                int sx = 0, wx = 0;
                axis(ox, frameWidth, shown.w, &sx, &wx);
                auto across = [&](int row) {
                    return mix(plain.at(sx, row), plain.at(wx > 0 ? sx + 1 : sx, row), wx);
                };
                uint32_t want = mix(across(sy), across(wy > 0 ? sy + 1 : sy), wy);
                wrong += (scaled.at(shown.x + ox, shown.y + oy) & 0xFFFFFF) != want;
            }
        }
        EXPECT_EQ(wrong, 0) << size.windowW << " x " << size.windowH << ": pixels unlike the linear scale of the 1:1 frame";
    }
    // The bars have the grey floor's colour.
    uint32_t bar = pieces.at(5, 5);
    EXPECT_NEAR(static_cast<int>((bar >> 8) & 0xFF), static_cast<int>((plain.at(700, 100) >> 8) & 0xFF), 25);

    // At twice the size every pixel is repeated, nothing blurred.
    Frame twice = play(2 * frameWidth, 2 * frameHeight, false);
    int differing = 0;
    for (int y = 0; y < frameHeight; y++) {
        for (int x = 0; x < frameWidth; x++) {
            differing += twice.at(2 * x + 1, 2 * y) != plain.at(x, y);
        }
    }
    EXPECT_EQ(differing, 0);
}

}  // namespace
