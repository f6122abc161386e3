// Prints, for every level of a level file, its size, name and the pushes of a
// shortest solution (-1: none found within the search bound). A help for
// designing levels; the tests check the bundled file the same way.
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "file.h"
#include "solver.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s LEVELFILE [MAXSTATES]\n", argv[0]);
        return 2;
    }
    long maxStates = argc > 2 ? std::atol(argv[2]) : 3000000;
    LoadLevelResult loaded = loadLevel(argv[1]);
    std::printf("load code %d\n", loaded.result);
    int index = 1;
    int unsolved = 0;
    for (const Level* level = loaded.level; level != nullptr; level = level->next, index++) {
        auto start = std::chrono::steady_clock::now();
        int pushes = solvePushes(level, maxStates);
        long long ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
        unsolved += pushes < 0;
        std::printf("%2d %2dx%-2d %5d %6lld ms  %s\n", index, level->size.x, level->size.y, pushes, ms, level->name);
    }
    unloadLevel(loaded.level);
    return unsolved == 0 ? 0 : 1;
}
