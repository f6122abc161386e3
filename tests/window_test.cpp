#include <cstring>

#include "harness.h"
#include "play.h"

namespace {

// The window on a desktop too small for it keeps the frame's shape and
// stays whole inside the usable area, title bar and panel counted.
TEST(FitToDesktop, ShrinksOnlyWhatDoesNotFit) {
    struct Case {
        const char* label;
        SDL_Rect usable;
        int top, left, bottom, right;
        bool fitted;
        SDL_Rect inside;
    };
    const Case cases[] = {
        {"room to spare", {0, 0, 1920, 1080}, 30, 1, 1, 1, false, {}},
        {"exactly, without borders", {0, 0, 1280, 768}, 0, 0, 0, 0, false, {}},
        {"a laptop with a title bar", {0, 0, 1366, 768}, 30, 1, 1, 1, true, {69, 30, 1228, 737}},
        {"a laptop with a panel", {0, 28, 1366, 740}, 0, 0, 0, 0, true, {66, 28, 1233, 740}},
        {"a small netbook", {0, 0, 1024, 600}, 24, 0, 0, 0, true, {32, 24, 960, 576}},
    };
    for (const Case& c : cases) {
        SDL_Rect got{};
        EXPECT_EQ(fitToUsable(c.usable, c.top, c.left, c.bottom, c.right, &got), c.fitted) << c.label;
        if (!c.fitted) {
            continue;
        }
        EXPECT_EQ(got.x, c.inside.x) << c.label;
        EXPECT_EQ(got.y, c.inside.y) << c.label;
        EXPECT_EQ(got.w, c.inside.w) << c.label;
        EXPECT_EQ(got.h, c.inside.h) << c.label;
        EXPECT_GE(got.x - c.left, c.usable.x) << c.label;
        EXPECT_LE(got.x + got.w + c.right, c.usable.x + c.usable.w) << c.label;
        EXPECT_LE(got.y + got.h + c.bottom, c.usable.y + c.usable.h) << c.label;
    }
}

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

// The window as a player sees it: the frame scaled into its largest
// rectangle of the frame's shape, bars around it, clicks in frame pixels.
class WindowTest : public ScreenTest {
  protected:
    // The window's own pixels, not the frame's.
    Frame windowPixels() {
        SDL_Texture* frame = SDL_GetRenderTarget(renderer);
        SDL_SetRenderTarget(renderer, nullptr);
        Frame shown;
        SDL_GetWindowSize(window, &shown.width, &shown.height);
        shown.pixels.resize(static_cast<size_t>(shown.width) * shown.height);
        EXPECT_EQ(SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, shown.pixels.data(),
                                       shown.width * 4),
                  0);
        SDL_SetRenderTarget(renderer, frame);
        return shown;
    }
    void resize(int width, int height) {
        SDL_SetWindowSize(window, width, height);
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    void pushWindowEvent(Uint8 kind) {
        SDL_Event event{};
        event.type = SDL_WINDOWEVENT;
        event.window.event = kind;
        event.window.windowID = SDL_GetWindowID(window);
        ASSERT_EQ(SDL_PushEvent(&event), 1);
    }
    // The next event a screen would see.
    SDL_Event next() {
        SDL_Event event{};
        EXPECT_EQ(waitEvent(renderer, &event), 1);
        return event;
    }
    // Plays a few moves on a small level and returns the window's pixels.
    Frame play(int width, int height) {
        writeFile("szintek.txt", "; Kettő\n#######\n#@ $ .#\n#.  $ #\n#######\n");
        resize(width, height);
        press(SDL_SCANCODE_RIGHT);
        press(SDL_SCANCODE_DOWN);
        quit();
        char name[64] = "szintek.txt";
        EXPECT_EQ(playLevel(renderer, tiles, font, smallFont, name), 0);
        return windowPixels();
    }
    // The frame as a surface, for SDL's own scaling.
    SDL_Surface* surfaceOf(Frame& frame) {
        return SDL_CreateRGBSurfaceWithFormatFrom(frame.pixels.data(), frame.width, frame.height, 32,
                                                  frame.width * 4, SDL_PIXELFORMAT_ARGB8888);
    }
};

TEST_F(WindowTest, TheFrameFillsItsRectangleAndTheBarsTheRest) {
    const int sizes[][2] = {{1280, 768}, {1920, 1200}, {1910, 1146}, {1366, 710}, {2560, 1536}, {700, 900}, {333, 200}};
    for (const auto& size : sizes) {
        resize(size[0], size[1]);
        SDL_SetRenderDrawColor(renderer, 255, 0, 0, 255);
        SDL_RenderClear(renderer);
        showFrame(renderer);
        Frame shown = windowPixels();
        SDL_Rect inside = fitFrame(size[0], size[1]);
        int wrongInside = 0, wrongOutside = 0;
        for (int y = 0; y < shown.height; y++) {
            for (int x = 0; x < shown.width; x++) {
                SDL_Point p{x, y};
                bool in = SDL_PointInRect(&p, &inside) == SDL_TRUE;
                uint32_t want = in ? 0xFF0000u : 0x6B717Au;
                (in ? wrongInside : wrongOutside) += (shown.at(x, y) & 0xFFFFFF) != want;
            }
        }
        EXPECT_EQ(wrongInside, 0) << size[0] << " x " << size[1] << ": no bar pixel inside the frame";
        EXPECT_EQ(wrongOutside, 0) << size[0] << " x " << size[1] << ": the bars are grey";
    }
}

TEST_F(WindowTest, AWholeScaleRepeatsPixelsAndAnyOtherIsSDLsLinearScale) {
    Frame plain = play(frameWidth, frameHeight);
    EXPECT_TRUE(plain.pixels == capture().pixels) << "at 1:1 the window shows the frame itself";
    EXPECT_TRUE(cellShows(plain, 9, 5, {brownFloor, player})) << "the moves were made";

    Frame twice = play(2 * frameWidth, 2 * frameHeight);
    int differing = 0;
    for (int y = 0; y < twice.height; y++) {
        for (int x = 0; x < twice.width; x++) {
            differing += twice.at(x, y) != plain.at(x / 2, y / 2);
        }
    }
    EXPECT_EQ(differing, 0) << "at 2:1 every pixel is doubled, nothing blurred";

    Frame odd = play(1910, 1146);
    SDL_Surface* from = surfaceOf(plain);
    SDL_Surface* scaled = SDL_CreateRGBSurfaceWithFormat(0, 1910, 1146, 32, SDL_PIXELFORMAT_ARGB8888);
    ASSERT_EQ(SDL_SoftStretchLinear(from, nullptr, scaled, nullptr), 0) << SDL_GetError();
    SDL_Rect shown = fitFrame(1910, 1146);
    ASSERT_EQ(shown.w, 1910);
    int unlike = 0;
    for (int y = 0; y < shown.h; y++) {
        const uint32_t* row = reinterpret_cast<const uint32_t*>(static_cast<uint8_t*>(scaled->pixels) + y * scaled->pitch);
        for (int x = 0; x < shown.w; x++) {
            unlike += (odd.at(shown.x + x, shown.y + y) & 0xFFFFFF) != (row[x] & 0xFFFFFF);
        }
    }
    EXPECT_EQ(unlike, 0) << "1910 x 1146 shows SDL's linear scale of the 1:1 frame";
    SDL_FreeSurface(scaled);
    SDL_FreeSurface(from);
}

TEST_F(WindowTest, ClicksArriveInFramePixelsAndNotFromTheBars) {
    // The mouse leaving the window is a motion to no cell.
    SDL_Event leave{};
    leave.type = SDL_WINDOWEVENT;
    leave.window.event = SDL_WINDOWEVENT_LEAVE;
    ASSERT_EQ(SDL_PushEvent(&leave), 1);
    SDL_Event gone = next();
    EXPECT_EQ(gone.type, static_cast<Uint32>(SDL_MOUSEMOTION));
    EXPECT_EQ(gone.motion.x, -1);
    resize(1920, 1200);  // the frame at 1.5 times, bars of 24 pixels above and below
    struct Case {
        int x, y;
        bool arrives;
        int frameX, frameY;
    };
    const Case cases[] = {
        {0, 24, true, 0, 0},        {1919, 1175, true, 1279, 767}, {96 + 48, 24 + 48, true, 96, 32},
        {500, 23, false, 0, 0},     {500, 1176, false, 0, 0},     {1000, 1199, false, 0, 0},
    };
    for (const Case& c : cases) {
        for (Uint32 type : {SDL_MOUSEBUTTONDOWN, SDL_MOUSEMOTION}) {
            SDL_Event event{};
            event.type = type;
            if (type == SDL_MOUSEMOTION) {
                event.motion.x = c.x;
                event.motion.y = c.y;
            } else {
                event.button.x = c.x;
                event.button.y = c.y;
            }
            ASSERT_EQ(SDL_PushEvent(&event), 1);
            press(SDL_SCANCODE_A);
            SDL_Event got = next();
            if (!c.arrives && type == SDL_MOUSEMOTION) {
                // Off the frame: the mouse is on no cell.
                EXPECT_EQ(got.motion.x, -1) << c.x << "," << c.y << " on a bar";
                EXPECT_EQ(got.motion.y, -1) << c.x << "," << c.y << " on a bar";
                SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
                continue;
            }
            if (!c.arrives) {
                EXPECT_EQ(got.type, static_cast<Uint32>(SDL_KEYDOWN)) << c.x << "," << c.y << " on a bar";
                next();  // the key's release
                continue;
            }
            ASSERT_EQ(got.type, type) << c.x << "," << c.y;
            int x = type == SDL_MOUSEMOTION ? got.motion.x : got.button.x;
            int y = type == SDL_MOUSEMOTION ? got.motion.y : got.button.y;
            EXPECT_EQ(x, c.frameX) << c.x << "," << c.y;
            EXPECT_EQ(y, c.frameY) << c.x << "," << c.y;
            SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        }
    }
    // A click on the middle of a cell, at any size, lands on that cell.
    for (const auto& size : {std::pair<int, int>{960, 576}, {1366, 710}, {2000, 1300}, {3840, 2160}}) {
        resize(size.first, size.second);
        SDL_Rect shown = fitFrame(size.first, size.second);
        for (int cell = 0; cell < gridColumns; cell += 3) {
            SDL_Event event{};
            event.type = SDL_MOUSEBUTTONDOWN;
            event.button.x = shown.x + (cell * tileSize + tileSize / 2) * shown.w / frameWidth;
            event.button.y = shown.y + (5 * tileSize + tileSize / 2) * shown.h / frameHeight;
            ASSERT_EQ(SDL_PushEvent(&event), 1);
            SDL_Event got = next();
            EXPECT_TRUE(clickTile(cell, 5, got.button.x, got.button.y)) << size.first << " x " << size.second;
        }
    }
}

TEST_F(WindowTest, AResizeAnExposeAndF11ShowTheLastFrameAgain) {
    countFrames();
    Frame plain = play(frameWidth, frameHeight);
    int presented = presentedFrames();
    // The window grows; the screen is not asked to draw, the window shows
    // the same frame larger.
    resize(2 * frameWidth, 2 * frameHeight);
    pushWindowEvent(SDL_WINDOWEVENT_SIZE_CHANGED);
    pushWindowEvent(SDL_WINDOWEVENT_EXPOSED);
    quit();
    EXPECT_EQ(next().type, static_cast<Uint32>(SDL_QUIT)) << "window events stay with the window";
    EXPECT_EQ(presentedFrames(), presented + 2);
    Frame larger = windowPixels();
    EXPECT_EQ(larger.at(2 * 500 + 1, 2 * 300 + 1), plain.at(500, 300));
    EXPECT_EQ(larger.at(2 * 1279, 2 * 767), plain.at(1279, 767));

    keyDown(SDL_SCANCODE_F11);
    keyUp(SDL_SCANCODE_F11);
    quit();
    EXPECT_EQ(next().type, static_cast<Uint32>(SDL_QUIT)) << "F11 stays with the window";
    EXPECT_EQ(SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN_DESKTOP,
              static_cast<Uint32>(SDL_WINDOW_FULLSCREEN_DESKTOP));
    EXPECT_GT(presentedFrames(), presented + 2) << "full screen shows the frame";
    keyDown(SDL_SCANCODE_F11);
    quit();
    next();
    EXPECT_EQ(SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN_DESKTOP, 0u) << "and back";
}

}  // namespace
