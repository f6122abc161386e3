// How long a click's search takes on the play screen of a 19 x 11 level:
// the shortest walk across it, and where a crate can be pushed with the
// other crates in its way. The searches are file-local to the play screen;
// this benchmark compiles that file in, as its tests do.
#include "../src/play.cpp"

#include <benchmark/benchmark.h>

#include <string>

namespace {

// A 19 x 11 hall with pillars, where the crate chosen can go nearly
// anywhere: the largest search a click makes.
const char* const maze =
    "; Mérés\n"
    "###################\n"
    "#@                #\n"
    "#  #   #   #   #  #\n"
    "#                 #\n"
    "#    $   #    $   #\n"
    "#  #   #   #   #  #\n"
    "#       $         #\n"
    "#  #   #   #   #  #\n"
    "#                 #\n"
    "#  .   .     .    #\n"
    "###################\n";

struct Board {
    Board() {
        std::string text = maze;
        list = loadLevelText(text.data(), text.size()).level;
        fillState(&state, list);
    }
    ~Board() {
        freeState(&state);
        unloadLevel(list);
    }
    Level* list = nullptr;
    PlayState state{};
};

void BM_ClickWalk(benchmark::State& state) {
    Board board;
    int steps[maxCells];
    for (auto _ : state) {
        benchmark::DoNotOptimize(walkPath(board.state.level, board.state.player, Coordinates{17, 9}, steps));
    }
}

void BM_ClickCrate(benchmark::State& state) {
    Board board;
    PushSearch search;
    for (auto _ : state) {
        searchPushes(board.state.level, board.state.player, Coordinates{5, 4}, &search);
        benchmark::DoNotOptimize(search.pushes[0]);
    }
    int reached = 0;
    for (int i = 0; i < board.state.level->size.x * board.state.level->size.y * directionCount; i++) {
        reached += search.pushes[i] >= 0;
    }
    state.counters["positions"] = reached;
}

BENCHMARK(BM_ClickWalk)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_ClickCrate)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
