// A click's way drawn step by step, cut short: from a key pressed during an
// animated walk of 200 steps to the frame that shows the walk's end and the
// key's own move. The play screen's functions are file-local; this
// benchmark compiles that file in, as its tests do.
#include "../src/play.cpp"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <string>

namespace {

// A corridor walked back and forth: 200 steps, each shown.
const char* const corridor = "; Mérés\n###################\n#@                #\n###################\n";

struct Screen {
    Screen() {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        SDL_Init(SDL_INIT_VIDEO);
        TTF_Init();
        renderer = openWindow();
        tiles = loadTiles(renderer, BOXTOLO_BUILD_DIR "/tiles.png");
        font = TTF_OpenFont(BOXTOLO_BUILD_DIR "/font.ttf", 50);
        smallFont = TTF_OpenFont(BOXTOLO_BUILD_DIR "/font.ttf", 28);
    }
    ~Screen() {
        TTF_CloseFont(smallFont);
        TTF_CloseFont(font);
        TTF_Quit();
        SDL_DestroyTexture(tiles);
        closeWindow(renderer);
        SDL_Quit();
    }
    SDL_Renderer* renderer;
    SDL_Texture* tiles;
    TTF_Font* font;
    TTF_Font* smallFont;
};

void keyDown(SDL_Scancode key) {
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.keysym.scancode = key;
    SDL_PushEvent(&event);
}

// The time from the first step's frame (when the key is seen) to the frame
// after the key: the whole, less one step and its frame, timed alike.
void BM_KeyDuringAnimation(benchmark::State& bench) {
    Screen screen;
    std::string text = corridor;
    Level* list = loadLevelText(text.data(), text.size()).level;
    std::string walk;
    for (int i = 0; i < 100; i++) {
        walk += "rl";
    }
    for (auto _ : bench) {
        PlayState state{};
        state.firstLevel = list;
        state.result = -1;
        state.renderer = screen.renderer;
        state.tiles = screen.tiles;
        state.font = screen.font;
        state.smallFont = screen.smallFont;
        state.showSteps = true;
        fillState(&state, list);
        readLevelBoard(&state);
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        auto one = std::chrono::steady_clock::now();
        processMovement(2, &state);
        render(&state);
        double step = std::chrono::duration<double>(std::chrono::steady_clock::now() - one).count();
        keyDown(SDL_SCANCODE_RIGHT);
        auto start = std::chrono::steady_clock::now();
        playMoves(&state, walk);
        SDL_Event event;
        while (nextEvent(state.renderer, &state.waiting, &event) == 1 && event.type != SDL_KEYDOWN) {
        }
        handleEvent(event, &state);
        render(&state);
        double whole = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        bench.SetIterationTime(whole - step);
        freeState(&state);
    }
    unloadLevel(list);
}

BENCHMARK(BM_KeyDuringAnimation)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
