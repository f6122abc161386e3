// How long each screen takes from a queued event to its present, beside the
// floor: 240 opaque tile copies from the tileset in the window's own pixel
// format and one present, no clear. Each screen is entered through its real
// entry function, drawing through the game's display as the shell sets it
// up, with a batch of events queued that each redraw it; the time reported
// is the screen's time per present. The dummy video driver is used unless
// BENCH_VIDEO names another (bench/run.sh runs the screens once more under
// Xvfb with the real X11 driver, where a present reaches the X server).
#include <SDL2/SDL.h>
#include <SDL2/SDL_image.h>
#include <SDL2/SDL_ttf.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "edit.h"
#include "input.h"
#include "menu.h"
#include "play.h"
#include "tiles.h"
#include "window.h"

namespace {

constexpr int eventsPerRun = 100;

struct Screen {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* tiles = nullptr;
    TTF_Font* font = nullptr;
    TTF_Font* smallFont = nullptr;
    SDL_Texture* windowTiles = nullptr;
};

// Opened once for the whole run; released by closeScreen.
Screen openScreen() {
    const char* video = std::getenv("BENCH_VIDEO");
    if (video != nullptr) {
        unsetenv("SDL_VIDEODRIVER");
    } else {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
    }
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    Screen screen;
    SDL_Init(SDL_INIT_VIDEO);
    TTF_Init();
    screen.renderer = openWindow();
    screen.window = SDL_RenderGetWindow(screen.renderer);
    screen.tiles = loadTiles(screen.renderer, BOXTOLO_BUILD_DIR "/tiles.png");
    screen.font = TTF_OpenFont(BOXTOLO_BUILD_DIR "/font.ttf", 50);
    screen.smallFont = TTF_OpenFont(BOXTOLO_BUILD_DIR "/font.ttf", 28);
    if (screen.tiles == nullptr || screen.font == nullptr || screen.smallFont == nullptr) {
        std::fprintf(stderr, "cannot load the assets from %s\n", BOXTOLO_BUILD_DIR);
        std::exit(1);
    }
    // The floor's tileset, already in the window's pixel format.
    SDL_Surface* loaded = IMG_Load(BOXTOLO_BUILD_DIR "/tiles.png");
    SDL_Surface* converted = SDL_ConvertSurfaceFormat(loaded, SDL_GetWindowPixelFormat(screen.window), 0);
    screen.windowTiles = SDL_CreateTextureFromSurface(screen.renderer, converted);
    SDL_SetTextureBlendMode(screen.windowTiles, SDL_BLENDMODE_NONE);
    SDL_FreeSurface(converted);
    SDL_FreeSurface(loaded);
    return screen;
}

void closeScreen(Screen& screen) {
    SDL_DestroyTexture(screen.windowTiles);
    TTF_CloseFont(screen.smallFont);
    TTF_CloseFont(screen.font);
    SDL_DestroyTexture(screen.tiles);
    closeWindow(screen.renderer);
    TTF_Quit();
    SDL_Quit();
}

Screen& screen() {
    static Screen opened = openScreen();
    return opened;
}

void push(Uint32 type, SDL_Scancode key) {
    SDL_Event event{};
    event.type = type;
    event.key.keysym.scancode = key;
    SDL_PushEvent(&event);
}

void pushQuit() {
    SDL_Event event{};
    event.type = SDL_QUIT;
    SDL_PushEvent(&event);
}

// Queues `count` key presses alternating between two keys, then a quit.
void queueAlternating(SDL_Scancode a, SDL_Scancode b, int count) {
    for (int i = 0; i < count; i++) {
        push(SDL_KEYDOWN, i % 2 == 0 ? a : b);
    }
    pushQuit();
}

const char* fullLevelFile() {
    static std::string path;
    if (path.empty()) {
        path = "/tmp/boxtolo-bench-" + std::to_string(getpid()) + ".txt";
        std::string text = "; Teljes méretű szint a méréshez\n" + std::string(19, '#') + "\n";
        for (int row = 1; row < 10; row++) {
            text += "# $ . $ . $ . $ . #\n";
        }
        text += "#@" + std::string(16, ' ') + "#\n";
        FILE* file = std::fopen(path.c_str(), "w");
        std::fputs(text.c_str(), file);
        std::fclose(file);
    }
    return path.c_str();
}

// Runs `enter` with the events queued by `queue`, and reports the time per
// present (the first drawing and one per event).
template <typename Queue, typename Enter>
void timePerPresent(benchmark::State& state, Queue queue, Enter enter, int presents) {
    for (auto _ : state) {
        queue();
        auto start = std::chrono::steady_clock::now();
        enter();
        auto took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(took / presents);
    }
}

// The floor: 240 opaque copies of the grey floor, straight to the window
// from the tileset in the window's format, and one present.
void BM_Floor(benchmark::State& state) {
    Screen& s = screen();
    SDL_Rect source{11 * tileSize, 6 * tileSize, tileSize, tileSize};
    for (auto _ : state) {
        for (int x = 0; x < gridColumns; x++) {
            for (int y = 0; y < gridRows; y++) {
                SDL_Rect to{x * tileSize, y * tileSize, tileSize, tileSize};
                SDL_RenderCopy(s.renderer, s.windowTiles, &source, &to);
            }
        }
        SDL_RenderPresent(s.renderer);
    }
}

void pushWindowEvent(Uint8 kind) {
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.event = kind;
    event.window.windowID = SDL_GetWindowID(screen().window);
    SDL_PushEvent(&event);
}

// Sizes the window and lets the display see it before the timing starts.
void resizeTo(int width, int height) {
    SDL_SetWindowSize(screen().window, width, height);
    pushWindowEvent(SDL_WINDOWEVENT_SIZE_CHANGED);
    pushQuit();
    alertBox(screen().renderer, screen().tiles, screen().font, "");
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
}

void BM_MenuRoom(benchmark::State& state) {
    Screen& s = screen();
    char filename[64] = "";
    timePerPresent(
        state, [] { queueAlternating(SDL_SCANCODE_DOWN, SDL_SCANCODE_UP, eventsPerRun); },
        [&] { mainMenu(s.renderer, s.tiles, s.font, filename); }, eventsPerRun + 1);
}

// Moves on the full-size level, key to present. The screen is entered once
// untimed first, so that the frame before the first one timed is its own
// (entering after another screen is a whole new frame: BM_PlayWhole).
void playFull(benchmark::State& state) {
    Screen& s = screen();
    char filename[64];
    std::strcpy(filename, fullLevelFile());
    pushQuit();
    playLevel(s.renderer, s.tiles, s.font, s.smallFont, filename);
    timePerPresent(
        state, [] { queueAlternating(SDL_SCANCODE_RIGHT, SDL_SCANCODE_LEFT, eventsPerRun); },
        [&] { playLevel(s.renderer, s.tiles, s.font, s.smallFont, filename); }, eventsPerRun + 1);
}

void BM_PlayScreen(benchmark::State& state) {
    playFull(state);
}

// The same moves in a window of another size: the frame shown scaled.
void BM_PlayScaled(benchmark::State& state) {
    resizeTo(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    playFull(state);
    resizeTo(frameWidth, frameHeight);
}

// A frame drawn again whole, every cell, as after the window was resized:
// each of the events is a window event that shows the last frame anew.
void BM_PlayWhole(benchmark::State& state) {
    resizeTo(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    Screen& s = screen();
    char filename[64];
    std::strcpy(filename, fullLevelFile());
    timePerPresent(
        state,
        [] {
            for (int i = 0; i < eventsPerRun; i++) {
                pushWindowEvent(SDL_WINDOWEVENT_SIZE_CHANGED);
            }
            pushQuit();
        },
        [&] { playLevel(s.renderer, s.tiles, s.font, s.smallFont, filename); }, eventsPerRun + 1);
    resizeTo(frameWidth, frameHeight);
}

void BM_Editor(benchmark::State& state) {
    Screen& s = screen();
    char filename[64];
    std::strcpy(filename, fullLevelFile());
    timePerPresent(
        state, [] { queueAlternating(SDL_SCANCODE_RIGHT, SDL_SCANCODE_LEFT, eventsPerRun); },
        [&] { editLevel(s.renderer, s.tiles, s.font, s.smallFont, filename); }, eventsPerRun + 1);
}

void BM_TextInput(benchmark::State& state) {
    Screen& s = screen();
    char text[64];
    timePerPresent(
        state,
        [] {
            for (int i = 0; i < eventsPerRun; i++) {
                push(i % 2 == 0 ? SDL_KEYDOWN : SDL_KEYUP, SDL_SCANCODE_LSHIFT);
            }
            pushQuit();
        },
        [&] {
            std::strcpy(text, "Egy hosszú szöveg, ami már túlfut a mező jobb szélén, ő");
            textInput(s.renderer, s.tiles, s.font, "Szint neve", text, 63);
        },
        eventsPerRun + 1);
}

// A box as it opens over the play screen, so that nearly every cell is new:
// the play screen is drawn first, untimed.
template <typename Open>
void boxOverPlay(benchmark::State& state, Open open) {
    Screen& s = screen();
    char filename[64];
    std::strcpy(filename, fullLevelFile());
    for (auto _ : state) {
        pushQuit();
        playLevel(s.renderer, s.tiles, s.font, s.smallFont, filename);
        pushQuit();
        auto start = std::chrono::steady_clock::now();
        open();
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
}

void BM_AlertBox(benchmark::State& state) {
    boxOverPlay(state, [] { alertBox(screen().renderer, screen().tiles, screen().font, "Sikeresen tejesítetted a pályát!"); });
}

void BM_Confirmation(benchmark::State& state) {
    boxOverPlay(state, [] {
        dialogBox(screen().renderer, screen().tiles, screen().font, "Biztosan szeretnél mentés nélkül kilépni?");
    });
}

BENCHMARK(BM_Floor)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_MenuRoom)->UseManualTime()->Iterations(5)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_PlayScreen)->UseManualTime()->Iterations(5)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_Editor)->UseManualTime()->Iterations(5)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_TextInput)->UseManualTime()->Iterations(5)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_AlertBox)->UseManualTime()->Iterations(20)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_Confirmation)->UseManualTime()->Iterations(20)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_PlayWhole)->Args({1280, 768})->Args({1920, 1152})->Args({1910, 1146})->Args({2560, 1536})->UseManualTime()->Iterations(5)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_PlayScaled)->Args({1920, 1152})->Args({1910, 1146})->Args({2560, 1536})->UseManualTime()->Iterations(5)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    closeScreen(screen());
    std::remove(fullLevelFile());
    return 0;
}
