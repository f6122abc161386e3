// Solves the levels of a level file push-optimally and writes the solutions
// file that the game's tests replay: one line per level, tab-separated: its
// name, its pushes, the positions the search expanded to prove them optimal
// (its effort), its moves (l u r d walks, L U R D pushes), and its identity
// (the game's, by which it shows a level's least pushes beside the player's).
//
// usage: boxtolo_solve LEVELFILE [--levels FIRST-LAST] [--budget MEGABYTES] [--solutions OUT]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "file.h"
#include "levelkit.h"
#include "results.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s LEVELFILE [--levels FIRST-LAST] [--budget MEGABYTES] [--solutions OUT]\n",
                     argv[0]);
        return 2;
    }
    int first = 1, last = 1 << 30;
    long budget = 256;
    const char* out = nullptr;
    for (int i = 2; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--levels") == 0) {
            std::sscanf(argv[i + 1], "%d-%d", &first, &last);
        } else if (std::strcmp(argv[i], "--budget") == 0) {
            budget = std::atol(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--solutions") == 0) {
            out = argv[i + 1];
        }
    }
    LoadLevelResult loaded = loadLevel(argv[1]);
    if (loaded.result != loadOk) {
        std::fprintf(stderr, "%s: load code %d\n", argv[1], loaded.result);
        return 2;
    }
    FILE* solutions = out != nullptr ? std::fopen(out, "w") : nullptr;
    if (solutions != nullptr) {
        std::fprintf(solutions,
                     "# name\tpushes\tpositions searched\tmoves\tidentity: push-optimal solutions, written by "
                     "boxtolo_solve\n");
    }
    int failures = 0;
    long positions = 0;
    double slowest = 0;
    auto all = std::chrono::steady_clock::now();
    int index = 0;
    for (const Level* level = loaded.level; level != nullptr; level = level->next) {
        index++;
        if (index < first || index > last) {
            continue;
        }
        levelkit::Board board;
        if (!levelkit::boardFromLevel(level, &board)) {
            std::printf("%2d  not playable  %s\n", index, level->name);
            failures++;
            continue;
        }
        auto start = std::chrono::steady_clock::now();
        levelkit::Solution s = levelkit::solve(board, budget);
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        positions += s.expanded;
        slowest = seconds > slowest ? seconds : slowest;
        if (!s.solved) {
            std::printf("%2d  %s after %ld positions (%.1f s)  %s\n", index, s.gaveUp ? "gave up" : "UNSOLVABLE",
                        s.expanded, seconds, level->name);
            failures++;
            continue;
        }
        std::printf("%2d  %3d pushes %4zu moves %10ld positions %7.3f s  %s\n", index, s.pushes, s.moves.size(),
                    s.expanded, seconds, level->name);
        std::fflush(stdout);
        if (solutions != nullptr) {
            std::fprintf(solutions, "%s\t%d\t%ld\t%s\t%016llx\n", level->name, s.pushes, s.expanded, s.moves.c_str(),
                         static_cast<unsigned long long>(levelIdentity(level)));
        }
    }
    double total = std::chrono::duration<double>(std::chrono::steady_clock::now() - all).count();
    std::printf("all: %.2f s, the slowest %.3f s, %ld positions, %.0f positions a second\n", total, slowest, positions,
                total > 0 ? positions / total : 0.0);
    if (solutions != nullptr) {
        std::fclose(solutions);
    }
    unloadLevel(loaded.level);
    return failures == 0 ? 0 : 1;
}
