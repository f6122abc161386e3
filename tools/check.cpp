// Checks a campaign: a level file and its solutions file (from boxtolo_solve)
// against everything the campaign is chosen by, and prints its table.
//
// Per level: no floor the player can never reach (it would look walkable);
// the solution replays and solves the level with the pushes it states;
// every crate moves; no open 3 x 3 floor; no floor notch in an outer
// wall; at most a tenth of the bounding box outside the walls. For the set:
// names unique, no twins under turning and mirroring, and, in
// chapters of 12: the first chapter 1 to 10 pushes; after the second, at
// most four levels with more than 15 floor cells a crate, each of excess 10
// or more; excess (by the bound with the player walking) of median 6 or more
// in chapter 3, 6 or more everywhere and median 10 or more in chapter 4, and
// 10 or more everywhere and median 14 or more in chapter 5. Noted, not
// refused: less than 80 % of the floor used by a crate or a player step of
// the solution, and an order by the difficulty score (after the first
// chapter's lessons) broken, or a level more than about 3 times harder than
// the one before.
//
// usage: boxtolo_check LEVELFILE SOLUTIONS [--markdown]
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "file.h"
#include "levelkit.h"

namespace {

double median(std::vector<int> values) {
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n == 0 ? 0 : (n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s LEVELFILE SOLUTIONS [--markdown]\n", argv[0]);
        return 2;
    }
    bool markdown = argc > 3 && std::strcmp(argv[3], "--markdown") == 0;
    LoadLevelResult loaded = loadLevel(argv[1]);
    if (loaded.result != loadOk) {
        std::fprintf(stderr, "%s: load code %d\n", argv[1], loaded.result);
        return 2;
    }
    std::vector<levelkit::KeptSolution> solutions = levelkit::readSolutions(argv[2]);
    std::vector<std::string> problems;
    auto problem = [&](int index, const char* name, const std::string& what) {
        char line[256];
        std::snprintf(line, sizeof line, "%d %s: %s", index, name, what.c_str());
        problems.push_back(line);
    };
    // What depends on the solver's own way (its effort, the walks of the
    // solution it finds) and changes with it: the set was ordered and its
    // floor use measured by the solver of its time, so these are told, not
    // refused.
    std::vector<std::string> notes;
    auto note = [&](int index, const char* name, const std::string& what) {
        char line[256];
        std::snprintf(line, sizeof line, "%d %s: %s", index, name, what.c_str());
        notes.push_back(line);
    };
    std::set<std::string> names, forms;
    std::vector<levelkit::Measures> all;
    std::vector<std::string> levelNames;
    bool fullSize = false;
    int index = 0;
    for (const Level* level = loaded.level; level != nullptr; level = level->next) {
        index++;
        levelkit::Board board;
        if (!levelkit::boardFromLevel(level, &board)) {
            problem(index, level->name, "not playable");
            continue;
        }
        int unreachableFloor = 0;
        for (int y = 0; y < level->size.y; y++) {
            for (int x = 0; x < level->size.x; x++) {
                bool floor = level->tiles[y * level->size.x + x] != wallS;
                unreachableFloor += floor && board.wall[static_cast<size_t>(boardCell(board, Coordinates{x, y}))];
            }
        }
        if (unreachableFloor > 0) {
            problem(index, level->name,
                    std::to_string(unreachableFloor) + " floor cells the player can never reach (make them wall)");
        }
        if (!names.insert(level->name).second) {
            problem(index, level->name, "the name is used twice");
        }
        if (!forms.insert(levelkit::canonicalForm(level)).second) {
            problem(index, level->name, "a twin of an earlier level, turned or mirrored");
        }
        fullSize = fullSize || (level->size.x == 19 && level->size.y == 11);
        if (static_cast<size_t>(index) > solutions.size() || solutions[static_cast<size_t>(index - 1)].name != level->name) {
            problem(index, level->name, "no solution of that name in its place");
            continue;
        }
        const levelkit::KeptSolution& stored = solutions[static_cast<size_t>(index - 1)];
        levelkit::Solution s;
        s.solved = true;
        s.pushes = stored.pushes;
        s.moves = stored.moves;
        s.expanded = stored.effort;
        int pushes = 0;
        bool solved = false;
        if (!levelkit::replay(board, s.moves, &pushes, &solved, nullptr, nullptr) || !solved ||
            pushes != stored.pushes) {
            problem(index, level->name, "the solution does not solve it with the pushes stated");
        }
        levelkit::Measures m = levelkit::measure(board, level, s);
        if (!m.everyCrateMoves) {
            problem(index, level->name, "a crate never moves");
        }
        if (m.open3x3) {
            problem(index, level->name, "open 3 x 3 floor");
        }
        if (m.usedCells * 10 < m.floorCells * 8) {
            note(index, level->name, "less than 80 % of the floor used (" + std::to_string(m.usedCells) + " of " +
                                            std::to_string(m.floorCells) + ")");
        }
        if (m.notch) {
            problem(index, level->name, "a floor notch in an outer wall");
        }
        if (m.outside * 10 > m.box) {
            problem(index, level->name, "more than a tenth of the box outside the walls (" +
                                            std::to_string(m.outside) + " of " + std::to_string(m.box) + ")");
        }
        all.push_back(m);
        levelNames.push_back(level->name);
    }
    if (solutions.size() != static_cast<size_t>(index)) {
        problem(0, "the solutions file", std::to_string(solutions.size()) + " solutions for " + std::to_string(index) +
                                             " levels");
    }
    // Order and chapters. The first chapter is a sequence of lessons in
    // the order they teach; the set is ordered by score from its end on.
    for (size_t i = 1; i < all.size(); i++) {
        if (i < 12 && all.size() > 12) {
            continue;
        }
        if (all[i].score < all[i - 1].score) {
            note(static_cast<int>(i + 1), levelNames[i].c_str(), "easier than the level before it");
        }
        if (all[i].score > 3.5 * all[i - 1].score) {
            char what[96];
            std::snprintf(what, sizeof what, "%.1f times harder than the level before it",
                          all[i].score / all[i - 1].score);
            note(static_cast<int>(i + 1), levelNames[i].c_str(), what);
        }
    }
    int chapters = static_cast<int>(all.size()) / 12;
    std::vector<double> medians;
    int minCrates = 99, maxCrates = 0;
    for (const auto& m : all) {
        minCrates = std::min(minCrates, m.crates);
        maxCrates = std::max(maxCrates, m.crates);
    }
    // What chapters 3, 4 and 5 ask of excess: the least of any level, and
    // the least median.
    const int leastExcess[] = {0, 0, 0, 6, 10};
    const int leastMedian[] = {0, 0, 6, 10, 14};
    std::vector<double> excessMedians;
    int spacious = 0;
    for (int c = 0; c < chapters; c++) {
        std::vector<int> pushes, excess;
        for (int i = c * 12; i < c * 12 + 12; i++) {
            const auto& m = all[static_cast<size_t>(i)];
            const char* name = levelNames[static_cast<size_t>(i)].c_str();
            pushes.push_back(m.pushes);
            excess.push_back(m.excess);
            if (c == 0 && (m.pushes < 1 || m.pushes > 10)) {
                problem(i + 1, name, "a first-chapter level of more than 10 pushes");
            }
            if (c < 5 && m.excess < leastExcess[c]) {
                problem(i + 1, name, "excess " + std::to_string(m.excess) + ", below " + std::to_string(leastExcess[c]) +
                                         " in chapter " + std::to_string(c + 1));
            }
            if (c >= 2 && m.floorPerCrate > 15) {
                spacious++;
                if (m.excess < 10) {
                    problem(i + 1, name, "more than 15 floor cells a crate, and excess below 10");
                }
            }
        }
        medians.push_back(median(pushes));
        excessMedians.push_back(median(excess));
        if (c < 5 && median(excess) < leastMedian[c]) {
            problem(0, ("chapter " + std::to_string(c + 1)).c_str(),
                    "excess median " + std::to_string(median(excess)).substr(0, 4) + ", below " +
                        std::to_string(leastMedian[c]));
        }
    }
    if (spacious > 4) {
        problem(0, "the set", std::to_string(spacious) + " levels after chapter 2 with more than 15 floor cells a crate");
    }
    if (!fullSize) {
        problem(0, "the set", "no level uses the whole 19 x 11 area");
    }
    if (markdown) {
        std::printf("| # | Name | Crates | Pushes | Excess | Crate changes | Floor per crate |\n"
                    "|---|---|---|---|---|---|---|\n");
        for (size_t i = 0; i < all.size(); i++) {
            const auto& m = all[i];
            std::printf("| %zu | %s | %d | %d | %d | %d | %.1f |\n", i + 1, levelNames[i].c_str(), m.crates, m.pushes,
                        m.excess, m.crateChanges, m.floorPerCrate);
        }
    } else {
        std::printf(" #  crates pushes  moves bound excess changes floor/crate     effort       score  used  name\n");
        for (size_t i = 0; i < all.size(); i++) {
            const auto& m = all[i];
            if (i % 12 == 0) {
                std::printf("-- chapter %zu\n", i / 12 + 1);
            }
            std::printf("%2zu  %5d %6d %6d %5d %6d %7d %11.1f %10ld %11.0f  %3d%%  %s\n", i + 1, m.crates, m.pushes,
                        m.moves, m.bound, m.excess, m.crateChanges, m.floorPerCrate, m.effort, m.score,
                        m.floorCells ? 100 * m.usedCells / m.floorCells : 0, levelNames[i].c_str());
        }
        std::printf("chapter medians of pushes:");
        for (double m : medians) {
            std::printf(" %.1f", m);
        }
        std::printf("; of excess:");
        for (double m : excessMedians) {
            std::printf(" %.1f", m);
        }
        std::printf("; crates %d to %d\n", minCrates, maxCrates);
        for (const std::string& n : notes) {
            std::printf("NOTE %s\n", n.c_str());
        }
        for (const std::string& p : problems) {
            std::printf("PROBLEM %s\n", p.c_str());
        }
        std::printf("%zu problems\n", problems.size());
    }
    unloadLevel(loaded.level);
    return problems.empty() ? 0 : 1;
}
