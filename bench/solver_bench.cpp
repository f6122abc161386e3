// The solver in the game: a click's searches on the worst boards for them,
// the instant deadlock rules after a push, a hint from every fifth push of
// every stored solution of the bundled levels, and the memory of a search
// that runs out of its budget.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <climits>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "file.h"
#include "levelkit.h"
#include "solver.h"
#include "think.h"

namespace {

struct Read {
    explicit Read(const std::string& text) {
        level = loadLevelText(text.data(), text.size()).level;
        readBoard(level, Coordinates{-1, -1}, &board, &start);
    }
    ~Read() { unloadLevel(level); }
    Level* level;
    Board board;
    Position start;
};

// A 19 x 11 hall with pillars, where the crate chosen can go nearly anywhere.
const char* const pillars =
    "###################\n#@                #\n#  #   #   #   #  #\n#                 #\n#    $   #    $   #\n"
    "#  #   #   #   #  #\n#       $         #\n#  #   #   #   #  #\n#                 #\n#  .   .     .    #\n"
    "###################\n";
// The same size with no inner wall and one crate: every cell is a place for it.
const char* const hall =
    "###################\n#@                #\n#                 #\n#                 #\n#                 #\n"
    "#        $        #\n#                 #\n#                 #\n#                 #\n#                .#\n"
    "###################\n";

void BM_ClickWalk(benchmark::State& state) {
    Read r(pillars);
    std::string moves;
    for (auto _ : state) {
        benchmark::DoNotOptimize(walkMoves(r.board, r.start.crates, r.start.player,
                                           boardCell(r.board, Coordinates{17, 9}), &moves));
    }
}

void BM_ClickCrate(benchmark::State& state) {
    Read r(state.range(0) == 0 ? pillars : hall);
    int crate = boardCell(r.board, state.range(0) == 0 ? Coordinates{5, 4} : Coordinates{9, 5});
    CratePaths paths;
    for (auto _ : state) {
        findCratePaths(r.board, r.start, crate, &paths);
        benchmark::DoNotOptimize(paths.pushes.data());
    }
    state.SetLabel(state.range(0) == 0 ? "pillars" : "hall");
}

std::string sourceFile(const char* name) {
    std::ifstream in(std::string(BOXTOLO_SOURCE_DIR) + "/levels/" + name);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The longest of the bundled levels after the push that starts its
// solution: the rules look at every crate.
void BM_InstantRules(benchmark::State& state) {
    Read r("; Emeletek\n###################\n#.   @$ # $.$.#   #\n#.... $   . .  .  #\n################  #\n"
           "#                 #\n#                 #\n#  ################\n# $    $  $ $ $ $ #\n#    #            #\n"
           "###################\n");
    Cells lost;
    for (auto _ : state) {
        benchmark::DoNotOptimize(hopelessNow(r.board, r.start.crates, &lost));
    }
}

// Every bundled level replayed along its stored solution; at every fifth
// push the hint's search from there, timed.
void BM_HintAlongSolutions(benchmark::State& state) {
    std::string levels = sourceFile("palyak.txt");
    LoadLevelResult loaded = loadLevelText(levels.data(), levels.size());
    std::istringstream solutions(sourceFile("palyak.solutions"));
    std::vector<std::string> moves;
    for (std::string line; std::getline(solutions, line);) {
        if (!line.empty() && line[0] != '#') {
            std::vector<std::string> fields;
            std::istringstream split(line);
            for (std::string field; std::getline(split, field, '\t');) {
                fields.push_back(field);
            }
            moves.push_back(fields.size() > 3 ? fields[3] : "");
        }
    }
    std::vector<double> times;
    for (auto _ : state) {
        times.clear();
        size_t index = 0;
        for (const Level* level = loaded.level; level != nullptr && index < moves.size(); level = level->next, index++) {
            Board board;
            Position p;
            readBoard(level, Coordinates{-1, -1}, &board, &p);
            int pushes = 0;
            for (char m : moves[index]) {
                int d = static_cast<int>(std::strchr("lurdLURD", m) - "lurdLURD") % directionCount;
                int next = p.player + board.step[d];
                if (p.crates.has(next)) {
                    p.crates.clear(next);
                    p.crates.set(next + board.step[d]);
                    if (pushes++ % 5 == 0) {
                        auto start = std::chrono::steady_clock::now();
                        Position here{p.crates, next};
                        Solution s = solve(board, here, SearchLimits());
                        benchmark::DoNotOptimize(s.pushes);
                        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                                            .count());
                    }
                }
                p.player = next;
            }
        }
    }
    std::sort(times.begin(), times.end());
    state.counters["hints"] = static_cast<double>(times.size());
    state.counters["median_ms"] = times.empty() ? 0 : times[times.size() / 2];
    state.counters["max_ms"] = times.empty() ? 0 : times.back();
    unloadLevel(loaded.level);
}

// Hints on large levels: scattered levels of 30 x 20 with 10 to 20 crates,
// each searched as the hint searches, for the fewest pushes first and for
// any solution when that cannot be had in time: how many get a hint within
// the ten seconds, how many the fewest pushes, and how long they take.
void BM_HintOnLargeLevels(benchmark::State& state) {
    const int levels = static_cast<int>(state.range(0));
    Patience patience;
    std::vector<double> times;
    int found = 0, fewest = 0;
    for (auto _ : state) {
        times.clear();
        found = fewest = 0;
        for (int i = 0; i < levels; i++) {
            std::string text = levelkit::scatteredLevel(30, 20, 10 + i % 11, 1000 + static_cast<unsigned>(i));
            Read r(text);
            auto began = SearchClock::now();
            Search search;
            startSearch(&search, r.board, r.start, SearchLimits());
            continueSearch(&search, LONG_MAX, began + patience.fewest);
            bool optimal = search.outcome == solved;
            if (search.outcome == searching || search.outcome == undecided) {
                SearchLimits any;
                any.optimal = false;
                startSearch(&search, r.board, r.start, any);
                continueSearch(&search, LONG_MAX, began + patience.longest);
            }
            found += search.outcome == solved;
            fewest += optimal;
            times.push_back(std::chrono::duration<double, std::milli>(SearchClock::now() - began).count());
        }
    }
    std::sort(times.begin(), times.end());
    state.counters["levels"] = levels;
    state.counters["hinted"] = found;
    state.counters["fewest"] = fewest;
    state.counters["median_ms"] = times[times.size() / 2];
    state.counters["max_ms"] = times.back();
}

// An open hall whose positions never end before the budget does: the
// memory the game's search holds at most.
void BM_SearchToItsBudget(benchmark::State& state) {
    Read r("###################\n#@                #\n#  $  $  $  $  $  #\n#        $        #\n#  $  $  $  $  $  #\n"
           "#        $        #\n#     ##   ##     #\n#        $        #\n#  ...# ... #...  #\n#  .            . #\n"
           "###################\n");
    SearchOutcome outcome = searching;
    long expanded = 0;
    for (auto _ : state) {
        Search search;
        startSearch(&search, r.board, r.start, SearchLimits());
        outcome = continueSearch(&search, 50000000);
        expanded = search.expanded;
    }
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_mib"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
    state.counters["positions"] = static_cast<double>(expanded);
    state.SetLabel(outcome == undecided ? "undecided at its budget" : "ended before its budget");
}

BENCHMARK(BM_ClickWalk)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_ClickCrate)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_InstantRules)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_HintAlongSolutions)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_SearchToItsBudget)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_HintOnLargeLevels)->Arg(22)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
