// How long the game takes from an event to the frame on the screen, in a
// window of 1280 x 768 (the frame's own size), 1920 x 1080 and 3840 x 2160:
// a key on the play screen of a full-size level, and a message box opening
// over it; and a key pressed during a click's way shown step by step. The window, the tileset and the screens are the game's own,
// entered through their real functions. The dummy video driver is used
// unless BENCH_VIDEO is set (bench/run.sh runs it again under Xvfb, where a
// size as large as the screen is full screen and a present reaches the X
// server before it returns).
#include <SDL2/SDL.h>
#include <SDL2/SDL_ttf.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

// The play screen's own functions, file-local to it, are compiled in for
// the animation's benchmark, as its tests do.
#include "../src/play.cpp"
#include "choose.h"
#include "think.h"
#include "edit.h"
#include "input.h"
#include "results.h"
#include "tiles.h"
#include "window.h"

namespace {

constexpr int keysPerRun = 100;

std::string readAll(const char* path) {
    std::string text;
    if (FILE* file = std::fopen(path, "rb")) {
        char chunk[65536];
        for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;) {
            text.append(chunk, got);
        }
        std::fclose(file);
    }
    return text;
}

// The moves of every bundled level's stored solution, in order.
std::vector<std::string> storedSolutions() {
    std::vector<std::string> moves;
    std::string text = readAll(BOXTOLO_SOURCE_DIR "/levels/palyak.solutions");
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end;
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (line.empty() || line[0] == '#') {
            continue;
        }
        size_t a = line.find('\t'), b = line.find('\t', a + 1), c = line.find('\t', b + 1), d = line.find('\t', c + 1);
        moves.push_back(line.substr(c + 1, d - c - 1));
    }
    return moves;
}

struct Screen {
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* tiles = nullptr;
    TTF_Font* font = nullptr;
    TTF_Font* smallFont = nullptr;
};

Screen openScreen() {
    if (std::getenv("BENCH_VIDEO") == nullptr) {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
    }
    // The screens keep records as they are played: in a data folder of the
    // benchmark's own, never the player's.
    setenv("XDG_DATA_HOME", ("/tmp/boxtolo-bench-" + std::to_string(getpid()) + "-data").c_str(), 1);
    Screen screen;
    SDL_Init(SDL_INIT_VIDEO);
    TTF_Init();
    screen.renderer = openWindow();
    screen.tiles = screen.renderer != nullptr ? loadTiles(screen.renderer, BOXTOLO_BUILD_DIR "/tiles.png") : nullptr;
    screen.font = TTF_OpenFont(BOXTOLO_BUILD_DIR "/font.ttf", 50);
    screen.smallFont = TTF_OpenFont(BOXTOLO_BUILD_DIR "/font.ttf", 28);
    if (screen.tiles == nullptr || screen.font == nullptr || screen.smallFont == nullptr) {
        std::fprintf(stderr, "cannot open the window or load the assets from %s\n", BOXTOLO_BUILD_DIR);
        std::exit(1);
    }
    return screen;
}

void closeScreen(Screen& screen) {
    TTF_CloseFont(screen.smallFont);
    TTF_CloseFont(screen.font);
    TTF_Quit();
    SDL_DestroyTexture(screen.tiles);
    closeWindow(screen.renderer);
    SDL_Quit();
}

Screen& screen() {
    static Screen opened = openScreen();
    return opened;
}

void pushQuit() {
    SDL_Event event{};
    event.type = SDL_QUIT;
    SDL_PushEvent(&event);
}

// A 19 x 11 level with crates and targets all over it.
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

// Gives the window the size asked, full screen when that is the desktop's
// size, and waits until the window system has made it so.
bool sizeWindow(int width, int height) {
    SDL_Window* window = SDL_RenderGetWindow(screen().renderer);
    SDL_DisplayMode desktop{};
    SDL_GetDesktopDisplayMode(0, &desktop);
    bool full = desktop.w == width && desktop.h == height && std::getenv("BENCH_VIDEO") != nullptr;
    SDL_SetWindowFullscreen(window, full ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
    if (!full) {
        SDL_SetWindowSize(window, width, height);
    }
    for (int tries = 0; tries < 200; tries++) {
        SDL_PumpEvents();
        int w = 0, h = 0;
        SDL_GetWindowSize(window, &w, &h);
        if (w == width && h == height) {
            SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
            return true;
        }
        SDL_Delay(10);
    }
    return false;
}

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Moves right and left on the full-size level: the time per present, the
// screen's first drawing included.
void BM_Key(benchmark::State& state) {
    Screen& s = screen();
    if (!sizeWindow(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)))) {
        state.SkipWithError("the window cannot have this size here");
        return;
    }
    char filename[64];
    std::strcpy(filename, fullLevelFile());
    for (auto _ : state) {
        for (int i = 0; i < keysPerRun; i++) {
            SDL_Event event{};
            event.type = SDL_KEYDOWN;
            event.key.keysym.scancode = i % 2 == 0 ? SDL_SCANCODE_RIGHT : SDL_SCANCODE_LEFT;
            SDL_PushEvent(&event);
        }
        pushQuit();
        auto start = std::chrono::steady_clock::now();
        playLevel(s.renderer, s.tiles, s.font, s.smallFont, filename);
        state.SetIterationTime(seconds(start) / (keysPerRun + 1));
    }
}

// A file of one level of the size given, walls round it, crates and targets
// in rows all over it; made once a size.
std::string sizedLevelFile(int width, int height) {
    std::string path = "/tmp/boxtolo-bench-" + std::to_string(getpid()) + "-" + std::to_string(width) + ".txt";
    std::string text = "; Mérés\n" + std::string(static_cast<size_t>(width), '#') + "\n";
    for (int y = 1; y < height - 1; y++) {
        std::string row = "#" + std::string(static_cast<size_t>(width - 2), ' ') + "#";
        for (int x = 2; x < width - 2 && y % 2 == 1 && y < height - 2; x += 4) {
            row[static_cast<size_t>(x)] = '$';
            row[static_cast<size_t>(x + 2)] = '.';
        }
        text += row + "\n";
    }
    text += std::string(static_cast<size_t>(width), '#') + "\n";
    text[text.find("# ") + 1] = '@';
    FILE* file = std::fopen(path.c_str(), "w");
    std::fputs(text.c_str(), file);
    std::fclose(file);
    return path;
}

// A key on the play screen (walks right and left) or the editor (the cursor
// right and left) on a level of 19 x 11 and of 64 x 64, from the key to the
// frame presented, in a window of the frame's size.
void BM_LevelKey(benchmark::State& state) {
    Screen& s = screen();
    sizeWindow(frameWidth, frameHeight);
    bool editor = state.range(0) == 1;
    int size = static_cast<int>(state.range(1));
    std::string path = sizedLevelFile(size, size == 19 ? 11 : size);
    char filename[64];
    std::strcpy(filename, path.c_str());
    // The screen opened and closed with keys and without: the difference is
    // the keys' own.
    auto run = [&](int keys) {
        for (int i = 0; i < keys; i++) {
            SDL_Event event{};
            event.type = SDL_KEYDOWN;
            event.key.keysym.scancode = i % 2 == 0 ? SDL_SCANCODE_RIGHT : SDL_SCANCODE_LEFT;
            SDL_PushEvent(&event);
        }
        pushQuit();
        auto start = std::chrono::steady_clock::now();
        if (editor) {
            editLevel(s.renderer, s.tiles, s.font, s.smallFont, filename);
        } else {
            playLevel(s.renderer, s.tiles, s.font, s.smallFont, filename);
        }
        return seconds(start);
    };
    double opening = 0;
    for (auto _ : state) {
        opening = run(0);
        state.SetIterationTime((run(keysPerRun) - opening) / keysPerRun);
    }
    state.counters["open_ms"] = opening * 1000;
    state.SetLabel(std::string(editor ? "editor " : "play ") + (size == 19 ? "19x11" : "64x64"));
    std::remove(path.c_str());
}

// A file of 10,000 levels and a records file of 10,000 lines, in a data
// folder of the benchmark's own under /tmp; made once.
const char* manyLevelsFile() {
    static std::string path;
    if (path.empty()) {
        std::string dir = "/tmp/boxtolo-bench-" + std::to_string(getpid()) + "-data";
        setenv("XDG_DATA_HOME", dir.c_str(), 1);
        path = dir + "/szintek.txt";
        std::string levels;
        for (int i = 0; i < 10000; i++) {
            int width = 6 + i % 13;
            std::string wall(static_cast<size_t>(width), '#');
            std::string row = "#@$." + std::string(static_cast<size_t>(width - 5), ' ') + "#";
            // Each level its own: a pillar moves along a row of its own.
            std::string pillars = "#" + std::string(static_cast<size_t>(width - 2), ' ') + "#";
            pillars[1 + static_cast<size_t>(i / 13) % static_cast<size_t>(width - 2)] = '#';
            levels += "; Szint " + std::to_string(i + 1) + "\n" + wall + "\n" + row + "\n" + pillars + "\n" + wall + "\n\n";
        }
        std::string records;
        for (int i = 0; i < 10000; i++) {
            char line[64];
            std::snprintf(line, sizeof line, "%016x P 3 1 lrR\n", i * 7919 + 1);
            records += line;
        }
        std::string folder = dir + "/boxtolo";
        std::string command = "mkdir -p '" + folder + "'";
        if (std::system(command.c_str()) != 0) {
            return nullptr;
        }
        FILE* file = std::fopen(path.c_str(), "w");
        std::fputs(levels.c_str(), file);
        std::fclose(file);
        file = std::fopen((folder + "/eredmenyek.txt").c_str(), "w");
        std::fputs(records.c_str(), file);
        std::fclose(file);
    }
    return path.c_str();
}

// The level chooser opening on the 10,000 levels: from the call to its first
// page on the screen.
void BM_Chooser(benchmark::State& state) {
    Screen& s = screen();
    sizeWindow(frameWidth, frameHeight);
    const char* name = manyLevelsFile();
    LoadLevelResult loaded = loadLevel(const_cast<char*>(name));
    for (auto _ : state) {
        pushQuit();
        int index = 0;
        chooseLevel(s.renderer, s.tiles, s.font, s.smallFont, loaded.level, &index);
    }
    unloadLevel(loaded.level);
}

// A win kept among the 10,000 records: read, merged and written whole, with
// its sync to the disk.
void BM_RecordWin(benchmark::State& state) {
    manyLevelsFile();
    std::string path = resultsPath();
    int moves = 1000000;
    for (auto _ : state) {
        // Each a better win, so that each is written.
        std::string solution = std::string(static_cast<size_t>(--moves % 50), 'l') + "R";
        recordWin(path, 42, Win{static_cast<int>(solution.size()), 1, solution});
    }
}

// The win message opening over the play screen, which is drawn first,
// untimed.
void BM_Dialog(benchmark::State& state) {
    Screen& s = screen();
    if (!sizeWindow(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)))) {
        state.SkipWithError("the window cannot have this size here");
        return;
    }
    char filename[64];
    std::strcpy(filename, fullLevelFile());
    for (auto _ : state) {
        pushQuit();
        playLevel(s.renderer, s.tiles, s.font, s.smallFont, filename);
        pushQuit();
        auto start = std::chrono::steady_clock::now();
        alertBox(s.renderer, s.tiles, s.font, "Sikeresen tejesítetted a pályát!");
        state.SetIterationTime(seconds(start));
    }
}

// A key pressed during an animated walk of 200 steps, to the frame that
// shows the walk's end and the key's own move: the whole, less one step and
// its frame (the frame after which the key is seen), timed alike.
void BM_KeyDuringAnimation(benchmark::State& bench) {
    Screen& s = screen();
    sizeWindow(frameWidth, frameHeight);
    std::string text = "; Mérés\n###################\n#@                #\n###################\n";
    Level* list = loadLevelText(text.data(), text.size()).level;
    std::string walk;
    for (int i = 0; i < 100; i++) {
        walk += "rl";
    }
    for (auto _ : bench) {
        PlayState state = openState(s.renderer, s.tiles, s.font, s.smallFont, nullptr, list);
        fillState(&state, list);
        auto one = std::chrono::steady_clock::now();
        processMovement(2, &state);
        render(&state);
        double step = seconds(one);
        SDL_Event key{};
        key.type = SDL_KEYDOWN;
        key.key.keysym.scancode = SDL_SCANCODE_RIGHT;
        SDL_PushEvent(&key);
        auto start = std::chrono::steady_clock::now();
        playMoves(&state, walk);
        SDL_Event event{};
        while (nextEvent(state.renderer, &state.waiting, &event) == 1 && event.type != SDL_KEYDOWN) {
        }
        handleEvent(event, &state);
        render(&state);
        bench.SetIterationTime(seconds(start) - step);
        freeState(&state);
    }
    unloadLevel(list);
}

// A push is a key: from the key to the frame presented, the light's verdict
// included. Every bundled level replayed along its stored solution; the
// median, the 90th percentile and the most, over all its pushes.
void BM_PushOnBundledLevels(benchmark::State& bench) {
    Screen& s = screen();
    sizeWindow(frameWidth, frameHeight);
    std::string text = readAll(BOXTOLO_SOURCE_DIR "/levels/palyak.txt");
    Level* list = loadLevelText(text.data(), text.size()).level;
    std::vector<std::string> solutions = storedSolutions();
    std::vector<double> pushes;
    for (auto _ : bench) {
        pushes.clear();
        size_t index = 0;
        for (Level* level = list; level != nullptr && index < solutions.size(); level = level->next, index++) {
            PlayState state = openState(s.renderer, s.tiles, s.font, s.smallFont, nullptr, list);
            fillState(&state, level);
            judgePosition(&state);
            render(&state);
            for (size_t i = 0; i < solutions[index].size(); i++) {
                char m = solutions[index][i];
                if (i + 1 == solutions[index].size()) {
                    // The win's message is answered at once.
                    SDL_Event enter{};
                    enter.type = SDL_KEYDOWN;
                    enter.key.keysym.scancode = SDL_SCANCODE_RETURN;
                    SDL_PushEvent(&enter);
                }
                auto start = std::chrono::steady_clock::now();
                processMovement(static_cast<int>(std::strchr("lurdLURD", m) - "lurdLURD") % directionCount, &state);
                judgePosition(&state);
                render(&state);
                if (m >= 'A' && m <= 'Z') {
                    pushes.push_back(seconds(start) * 1000);
                }
            }
            freeState(&state);
        }
    }
    std::sort(pushes.begin(), pushes.end());
    bench.counters["pushes"] = static_cast<double>(pushes.size());
    bench.counters["median_ms"] = pushes[pushes.size() / 2];
    bench.counters["p90_ms"] = pushes[pushes.size() * 9 / 10];
    bench.counters["max_ms"] = pushes.back();
    unloadLevel(list);
}

// What the light costs a push on a hall of 45 crates: its verdict alone,
// after each push of a walk through the hall's crates.
void BM_LightOnAHall(benchmark::State& bench) {
    // Nine crates in each odd row, nine targets in each even one.
    std::string text = "; Terem\n###################\n";
    for (int row = 1; row < 10; row++) {
        text += row % 2 == 1 ? "#$ $ $ $ $ $ $ $ $#\n" : "#. . . . . . . . .#\n";
    }
    text += "# @               #\n###################\n";
    Level* list = loadLevelText(text.data(), text.size()).level;
    std::vector<double> verdicts;
    for (auto _ : bench) {
        PlayState state = openState(nullptr, nullptr, nullptr, nullptr, nullptr, list);
        fillState(&state, list);
        // Along the bottom, pushing a crate of the lowest row up in every
        // other column.
        std::string moves = "r";
        for (int column = 0; column < 7; column++) {
            moves += "udrr";
        }
        for (char m : moves) {
            int pushes = state.pushes;
            processMovement(static_cast<int>(std::strchr("lurd", m) - "lurd"), &state);
            auto start = std::chrono::steady_clock::now();
            judgePosition(&state);
            if (state.pushes > pushes) {
                verdicts.push_back(seconds(start) * 1000);
            }
        }
        freeState(&state);
    }
    std::sort(verdicts.begin(), verdicts.end());
    bench.counters["median_ms"] = verdicts[verdicts.size() / 2];
    bench.counters["max_ms"] = verdicts.back();
    unloadLevel(list);
}

// Escape during the longest search there is, a hint on a hall it cannot
// finish: from the key's arrival to the search stopped.
Uint32 pressEscape(Uint32, void* when) {
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.keysym.scancode = SDL_SCANCODE_ESCAPE;
    *static_cast<std::chrono::steady_clock::time_point*>(when) = std::chrono::steady_clock::now();
    SDL_PushEvent(&event);
    return 0;
}

void BM_EscapeDuringASearch(benchmark::State& bench) {
    Screen& s = screen();
    sizeWindow(frameWidth, frameHeight);
    std::string text = readAll(BOXTOLO_SOURCE_DIR "/levels/palyak.txt");
    // The hall the tests search in vain, at its largest.
    std::string hall =
        "###################\n#@                #\n#  $  $  $  $  $  #\n#        $        #\n#  $  $  $  $  $  #\n"
        "#        $        #\n#     ##   ##     #\n#        $        #\n#  ...# ... #...  #\n#  .            . #\n"
        "###################\n";
    Level* level = loadLevelText(hall.data(), hall.size()).level;
    Board board;
    Position start;
    readBoard(level, Coordinates{-1, -1}, &board, &start);
    std::vector<double> answers;
    for (auto _ : bench) {
        std::chrono::steady_clock::time_point pressed{};
        SDL_TimerID timer = SDL_AddTimer(static_cast<Uint32>(bench.range(0)), pressEscape, &pressed);
        bool thinking = false;
        int result = -1;
        std::vector<SDL_Event> later;
        findSolution(s.renderer, board, start, &thinking, [] {}, &later, &result);
        answers.push_back(seconds(pressed) * 1000);
        bench.SetIterationTime(seconds(pressed));
        SDL_RemoveTimer(timer);
    }
    std::sort(answers.begin(), answers.end());
    bench.counters["max_ms"] = answers.back();
    unloadLevel(level);
}

void sizes(benchmark::internal::Benchmark* b) {
    b->Args({1280, 768})->Args({1920, 1080})->Args({3840, 2160});
}

BENCHMARK(BM_Chooser)->Unit(benchmark::kMillisecond)->Iterations(10)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_RecordWin)->Unit(benchmark::kMillisecond)->Iterations(20)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_Key)->Apply(sizes)->UseManualTime()->Iterations(5)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_LevelKey)->Args({0, 19})->Args({0, 64})->Args({1, 19})->Args({1, 64})->UseManualTime()->Iterations(5)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_PushOnBundledLevels)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_LightOnAHall)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_EscapeDuringASearch)->Arg(1000)->Arg(5000)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond)->Repetitions(1);
BENCHMARK(BM_KeyDuringAnimation)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_Dialog)->Apply(sizes)->UseManualTime()->Iterations(20)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    closeScreen(screen());
    std::remove(fullLevelFile());
    std::string data = "rm -rf /tmp/boxtolo-bench-" + std::to_string(getpid()) + "-data";
    return std::system(data.c_str()) == 0 ? 0 : 1;
}
