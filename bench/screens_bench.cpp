// How long a full redraw of each screen takes under SDL's dummy video driver,
// beside the floor: 240 tile copies from the real tileset and one present.
// Each screen is entered through its real entry function with a batch of
// key events queued, every one of which redraws the whole window; the time
// reported is the screen's time per present.
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

namespace {

constexpr int eventsPerRun = 100;

struct Screen {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* tiles = nullptr;
    TTF_Font* font = nullptr;
    TTF_Font* smallFont = nullptr;
};

// Opened once for the whole run; released by closeScreen.
Screen openScreen() {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    Screen screen;
    SDL_Init(SDL_INIT_VIDEO);
    TTF_Init();
    screen.window = SDL_CreateWindow("Boxtolo", 0, 0, gridColumns * tileSize, gridRows * tileSize, 0);
    screen.renderer = SDL_CreateRenderer(screen.window, -1, SDL_RENDERER_SOFTWARE);
    screen.tiles = IMG_LoadTexture(screen.renderer, BOXTOLO_BUILD_DIR "/tiles.png");
    screen.font = TTF_OpenFont(BOXTOLO_BUILD_DIR "/font.ttf", 50);
    screen.smallFont = TTF_OpenFont(BOXTOLO_BUILD_DIR "/font.ttf", 28);
    if (screen.tiles == nullptr || screen.font == nullptr || screen.smallFont == nullptr) {
        std::fprintf(stderr, "cannot load the assets from %s\n", BOXTOLO_BUILD_DIR);
        std::exit(1);
    }
    return screen;
}

void closeScreen(Screen& screen) {
    TTF_CloseFont(screen.smallFont);
    TTF_CloseFont(screen.font);
    SDL_DestroyTexture(screen.tiles);
    SDL_DestroyRenderer(screen.renderer);
    SDL_DestroyWindow(screen.window);
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

// The floor: 240 tile copies from the real tileset and one present.
void BM_Floor(benchmark::State& state) {
    Screen& s = screen();
    for (auto _ : state) {
        renderTiles(s.renderer, s.tiles, greyFloor, 0, 0, gridColumns - 1, gridRows - 1);
        SDL_RenderPresent(s.renderer);
    }
}

// The same after clearing the renderer, as every screen must.
void BM_ClearedFloor(benchmark::State& state) {
    Screen& s = screen();
    for (auto _ : state) {
        SDL_RenderClear(s.renderer);
        renderTiles(s.renderer, s.tiles, greyFloor, 0, 0, gridColumns - 1, gridRows - 1);
        SDL_RenderPresent(s.renderer);
    }
}

void BM_MenuRoom(benchmark::State& state) {
    Screen& s = screen();
    char filename[64] = "";
    timePerPresent(
        state, [] { queueAlternating(SDL_SCANCODE_DOWN, SDL_SCANCODE_UP, eventsPerRun); },
        [&] { mainMenu(s.renderer, s.tiles, s.font, filename); }, eventsPerRun + 1);
}

void BM_PlayScreen(benchmark::State& state) {
    Screen& s = screen();
    char filename[64];
    std::strcpy(filename, fullLevelFile());
    timePerPresent(
        state, [] { queueAlternating(SDL_SCANCODE_RIGHT, SDL_SCANCODE_LEFT, eventsPerRun); },
        [&] { playLevel(s.renderer, s.tiles, s.font, s.smallFont, filename); }, eventsPerRun + 1);
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

void BM_AlertBox(benchmark::State& state) {
    Screen& s = screen();
    timePerPresent(
        state, [] { pushQuit(); },
        [&] { alertBox(s.renderer, s.tiles, s.font, "Sikeresen tejesítetted a pályát!"); }, 1);
}

BENCHMARK(BM_Floor)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_ClearedFloor)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_MenuRoom)->UseManualTime()->Iterations(5)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_PlayScreen)->UseManualTime()->Iterations(5)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_Editor)->UseManualTime()->Iterations(5)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_TextInput)->UseManualTime()->Iterations(5)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_AlertBox)->UseManualTime()->Iterations(5)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    closeScreen(screen());
    std::remove(fullLevelFile());
    return 0;
}
