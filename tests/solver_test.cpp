// The searches over a board, on levels small enough to count by hand: the
// push-optimal search and its three answers, the instant deadlock rules,
// and the walks and crate paths of clicks.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "harness.h"
#include "solver.h"

namespace {

// A level of the rows given, read as the game reads it.
struct Read {
    explicit Read(const std::vector<std::string>& rows) {
        std::string text;
        for (const std::string& row : rows) {
            text += row + "\n";
        }
        level = levelsFromText(text);
        ok = level != nullptr && readBoard(level, Coordinates{-1, -1}, &board, &start);
    }
    ~Read() { unloadLevel(level); }
    int cell(int x, int y) const { return boardCell(board, Coordinates{x, y}); }

    Level* level = nullptr;
    Board board;
    Position start;
    bool ok = false;
};

// Plays `moves` from the start on plain cells: false at a step the rules
// refuse. The position reached is left in *after.
bool replay(const Read& r, const std::string& moves, Position* after, int* pushes) {
    Position p = r.start;
    *pushes = 0;
    for (char m : moves) {
        const char* letters = "lurdLURD";
        const char* found = std::strchr(letters, m);
        if (m == '\0' || found == nullptr) {
            return false;
        }
        int d = static_cast<int>(found - letters) % directionCount;
        bool push = found - letters >= directionCount;
        int next = p.player + r.board.step[d];
        if (r.board.wall[static_cast<size_t>(next)] || p.crates.has(next) != push) {
            return false;
        }
        if (push) {
            int beyond = next + r.board.step[d];
            if (r.board.wall[static_cast<size_t>(beyond)] || p.crates.has(beyond)) {
                return false;
            }
            p.crates.clear(next);
            p.crates.set(beyond);
            ++*pushes;
        }
        p.player = next;
    }
    *after = p;
    return true;
}

bool covered(const Read& r, const Position& p) {
    for (int t : r.board.targets) {
        if (!p.crates.has(t)) {
            return false;
        }
    }
    return true;
}

TEST(Solver, ProvesTheFewestPushesOrThatThereAreNone) {
    struct Case {
        const char* label;
        std::vector<std::string> rows;
        SearchOutcome outcome;
        int pushes;
    };
    const Case cases[] = {
        {"one push", {"#####", "#@$.#", "#####"}, solved, 1},
        {"a walk round first", {"#########", "#@.  $  #", "# ##### #", "#       #", "#########"}, solved, 3},
        {"the player decides", {"######", "#@#  #", "# $  #", "#.   #", "######"}, solved, 4},
        {"boxed in beside them", {" #####", " #   #", "##$# #", "#+$  #", "##.  #", " #####"}, solved, 5},
        {"order matters", {"######", "#..$ #", "##$# #", "##  @#", "######"}, solved, 3},
        {"side by side", {"#######", "#@#   #", "#.    #", "#.$$ ##", "#  ###", "####"}, solved, 8},
        {"already solved", {"#####", "#@* #", "#####"}, solved, 0},
        {"no targets at all", {"#####", "#@$ #", "#####"}, solved, 0},
        {"a spare crate may stay in its corner", {"######", "#$ . #", "#  $ #", "#   @#", "######"}, solved, 1},
        {"no wall round it", {"@$."}, solved, 1},
        {"a crate in a corner", {"######", "#$   #", "#  @.#", "######"}, noSolution, 0},
        {"two crates in a row in a corridor: no push at all", {"#######", "#@$$ .#", "#######"}, noSolution, 0},
        {"a target the player never reaches", {"#######", "#@$ #.#", "#######"}, noSolution, 0},
        {"fewer crates than targets", {"######", "#@$..#", "######"}, noSolution, 0},
        {"one up, then the other along", {"#######", "#  .  #", "# $$ .#", "#  @  #", "#######"}, solved, 4},
        {"a crate in a pocket it cannot leave", {"######", "#@$ .#", "##$#.#", "######"}, noSolution, 0},
    };
    for (const Case& c : cases) {
        Read r(c.rows);
        ASSERT_TRUE(r.ok) << c.label;
        Solution s = solve(r.board, r.start, SearchLimits());
        EXPECT_EQ(s.outcome, c.outcome) << c.label;
        if (c.outcome != solved || s.outcome != solved) {
            continue;
        }
        EXPECT_EQ(s.pushes, c.pushes) << c.label;
        Position end;
        int pushes = 0;
        EXPECT_TRUE(replay(r, s.moves, &end, &pushes)) << c.label << ": " << s.moves;
        EXPECT_EQ(pushes, c.pushes) << c.label;
        EXPECT_TRUE(covered(r, end)) << c.label;
    }
}

// From any position along an optimal solution, the optimum is the pushes
// still to make; a search run in slices answers as one run at once; a
// search without room gives up and proves nothing.
TEST(Solver, AnswersAlongTheWayAndInSlicesAndGivesUpWithoutRoom) {
    Read r({"########", "#@     #", "# $$ $ #", "#  ##  #", "# ..  .#", "########"});
    ASSERT_TRUE(r.ok);
    Solution whole = solve(r.board, r.start, SearchLimits());
    ASSERT_EQ(whole.outcome, solved);
    int pushesSoFar = 0;
    for (size_t i = 1; i <= whole.moves.size(); i++) {
        if (whole.moves[i - 1] < 'A' || whole.moves[i - 1] > 'Z') {
            continue;
        }
        Position mid;
        int pushes = 0;
        ASSERT_TRUE(replay(r, whole.moves.substr(0, i), &mid, &pushes));
        pushesSoFar = pushes;
        Solution rest = solve(r.board, mid, SearchLimits());
        ASSERT_EQ(rest.outcome, solved) << "after " << pushes << " pushes";
        EXPECT_EQ(rest.pushes, whole.pushes - pushesSoFar) << "after " << pushes << " pushes";
    }
    Search search;
    startSearch(&search, r.board, r.start, SearchLimits());
    int slices = 0;
    while (continueSearch(&search, 3) == searching) {
        slices++;
        EXPECT_EQ(search.expanded, 3 * slices) << "a slice expands as many positions as asked";
    }
    EXPECT_GT(slices, 1);
    EXPECT_EQ(search.outcome, solved);
    EXPECT_EQ(static_cast<int>(search.solution.size()), whole.pushes);
    SearchLimits tiny;
    tiny.memory = 4096;
    EXPECT_EQ(solve(r.board, r.start, tiny).outcome, undecided);
    // On a hall it cannot finish, the search never holds more than its
    // budget, and it stops at the time it is given.
    Read hall({"###################", "#@                #", "#  $  $  $  $  $  #", "#        $        #",
               "#  $  $  $  $  $  #", "#        $        #", "#     ##   ##     #", "#        $        #",
               "#  ...# ... #...  #", "#  .            . #", "###################"});
    ASSERT_TRUE(hall.ok);
    for (size_t budget : {size_t{5} << 19, size_t{3} << 20, size_t{20} << 20}) {
        SearchLimits limits;
        limits.memory = budget;
        startSearch(&search, hall.board, hall.start, limits);
        while (continueSearch(&search, 1) == searching) {
            ASSERT_LE(searchBytes(search), budget) << budget;
        }
        EXPECT_EQ(search.outcome, undecided) << budget;
    }
    // A hundred crates on a 62 x 62 board: one position has hundreds of
    // pushes, each costing a millisecond; the clock is looked at for each.
    std::vector<std::string> rows(62, "#" + std::string(60, ' ') + "#");
    rows.front() = rows.back() = std::string(62, '#');
    rows[1][1] = '@';
    for (int y = 2; y < 60; y += 6) {
        for (int x = 2; x < 60; x += 6) {
            rows[static_cast<size_t>(y)][static_cast<size_t>(x)] = '$';
            rows[static_cast<size_t>(y + 3)][static_cast<size_t>(x + 3)] = '.';
        }
    }
    Read large(rows);
    ASSERT_TRUE(large.ok);
    startSearch(&search, large.board, large.start, SearchLimits());
    auto began = SearchClock::now();
    EXPECT_EQ(continueSearch(&search, LONG_MAX, began + std::chrono::milliseconds(1)), searching);
    EXPECT_LT(SearchClock::now() - began, std::chrono::milliseconds(150)) << "stopped within a position";
    EXPECT_EQ(search.expanded, 0);
    // Cut short within positions again and again, the search does the same
    // work and gives the same answer as one run at once.
    Read tower({"##########", "####   ###", "#@##.#   #", "#  #$$  .#", "# $$  #. #", "#  #     #", "#. ###  ##",
                "##########"});
    ASSERT_TRUE(tower.ok);
    Solution once = solve(tower.board, tower.start, SearchLimits());
    startSearch(&search, tower.board, tower.start, SearchLimits());
    int cut = 0;
    for (int calls = 0; calls < 100000 && search.outcome == searching; calls++) {
        continueSearch(&search, LONG_MAX, SearchClock::now());
        cut += search.expanding >= 0;
    }
    EXPECT_GT(cut, 10) << "cut short within positions";
    EXPECT_EQ(search.outcome, solved);
    EXPECT_EQ(static_cast<int>(search.solution.size()), once.pushes);
    EXPECT_EQ(search.expanded, once.expanded);
    // Any solution, sooner: solved, never fewer pushes than the optimum.
    SearchLimits any;
    any.optimal = false;
    Solution quick = solve(r.board, r.start, any);
    EXPECT_EQ(quick.outcome, solved);
    EXPECT_GE(quick.pushes, whole.pushes);
}

// The instant rules: a crate on a cell with no way to a target, a frozen
// group with a crate off its target; lost crates beyond the spare ones make
// the position hopeless.
TEST(Solver, InstantRulesFindTheLostCrates) {
    struct Case {
        const char* label;
        std::vector<std::string> rows;
        std::vector<std::pair<int, int>> lost;
        bool hopeless;
    };
    const Case cases[] = {
        {"nothing lost", {"######", "#@$ .#", "######"}, {}, false},
        {"in a corner", {"######", "#$   #", "#  @.#", "######"}, {{1, 1}}, true},
        {"along a wall with no target", {"#######", "#  $  #", "#     #", "#@  . #", "#######"}, {{3, 1}}, true},
        {"a pair frozen against the wall", {"#######", "#  $$ #", "#@ .. #", "#######"}, {{3, 1}, {4, 1}}, true},
        {"a frozen pair, one on its target", {"#######", "#  *$ #", "#@  . #", "#######"}, {{4, 1}}, true},
        {"a square of four in the open",
         {"########", "#      #", "# $$   #", "# $$   #", "#@ ....#", "########"},
         {{2, 2}, {3, 2}, {2, 3}, {3, 3}},
         true},
        {"frozen on targets", {"######", "#**  #", "#@   #", "######"}, {}, false},
        {"a spare crate may be lost", {"######", "#$ . #", "#  $ #", "#   @#", "######"}, {{1, 1}}, false},
        {"a frozen pair in an open room",
         {"###################", "#@                #", "#$                #", "#$$      ...      #", "#                 #",
          "#                 #", "#                 #", "#                 #", "#                 #", "#                 #",
          "###################"},
         {{1, 2}, {1, 3}},
         true},
    };
    for (const Case& c : cases) {
        Read r(c.rows);
        ASSERT_TRUE(r.ok) << c.label;
        Cells lost;
        EXPECT_EQ(hopelessNow(r.board, r.start.crates, &lost), c.hopeless) << c.label;
        // What the rules know at the start, the search knows at once.
        Search search;
        startSearch(&search, r.board, r.start, SearchLimits());
        EXPECT_EQ(search.outcome == noSolution, c.hopeless) << c.label;
        Cells expected;
        for (const auto& [x, y] : c.lost) {
            expected.set(r.cell(x, y));
        }
        EXPECT_TRUE(lost == expected) << c.label;
    }
}

// With a lone crate on a cell, two cells lie in the same part of the board
// exactly when the player can walk from one to the other: the parts the
// board keeps for the cells that split the floor, and one piece elsewhere.
TEST(Solver, TheFloorsPartsRoundALoneCrateAreTheWalksRoundIt) {
    const std::vector<std::vector<std::string>> boards = {
        {"#########", "#@  #   #", "# # # # #", "#   #   #", "## ### ##", "#       #", "#########"},
        {"#######", "#@    #", "#     #", "#     #", "#######"},
        {"###########", "#@ #  #   #", "#  #  # # #", "## ## #   #", "#      ## #", "###########"},
        {"######", "#@  ##", "# ####", "#   ##", "######"},
    };
    for (const auto& rows : boards) {
        Read r(rows);
        ASSERT_TRUE(r.ok);
        const Board& b = r.board;
        auto part = [&](int crate, int cell) {
            int row = b.regionRow[static_cast<size_t>(crate)];
            return cell == crate ? -1 : row < 0 ? 0 : b.region[static_cast<size_t>(row * b.floors() + cell)];
        };
        for (int c = 0; c < b.floors(); c++) {
            Cells lone;
            lone.set(b.floorCell[static_cast<size_t>(c)]);
            for (int a = 0; a < b.floors(); a++) {
                if (a == c) {
                    continue;
                }
                Cells walk = reach(b, lone, b.floorCell[static_cast<size_t>(a)]);
                for (int other = 0; other < b.floors(); other++) {
                    if (other != c) {
                        ASSERT_EQ(part(c, a) == part(c, other), walk.has(b.floorCell[static_cast<size_t>(other)]))
                            << "crate " << c << ", from " << a << " to " << other;
                    }
                }
            }
        }
    }
}

// The player's shortest walks without a push.
TEST(ClickSearches, WalksGoTheShortestWayAroundCratesOrNowhere) {
    struct Case {
        const char* label;
        std::vector<std::string> rows;
        Coordinates to;
        int steps;  // -1: cannot get there
    };
    const std::vector<Case> cases = {
        {"straight on", {"#######", "#@   .#", "#######"}, {4, 1}, 3},
        {"onto a target", {"#######", "#@   .#", "#######"}, {5, 1}, 4},
        {"where it stands", {"#######", "#@   .#", "#######"}, {1, 1}, 0},
        {"around a crate", {"#######", "#@ $ .#", "#    .#", "#######"}, {4, 1}, 5},
        {"walled off", {"#######", "#@ # .#", "#######"}, {4, 1}, -1},
        {"behind a crate in a corridor", {"#######", "#@ $ .#", "#######"}, {4, 1}, -1},
        {"onto a crate", {"#######", "#@ $ .#", "#######"}, {3, 1}, -1},
        {"onto a wall", {"#######", "#@ $ .#", "#######"}, {0, 1}, -1},
    };
    for (const Case& c : cases) {
        Read r(c.rows);
        ASSERT_TRUE(r.ok) << c.label;
        std::string moves;
        bool found = walkMoves(r.board, r.start.crates, r.start.player, r.cell(c.to.x, c.to.y), &moves);
        EXPECT_EQ(found ? static_cast<int>(moves.size()) : -1, c.steps) << c.label;
        Position end;
        int pushes = 0;
        if (found) {
            EXPECT_TRUE(replay(r, moves, &end, &pushes)) << c.label;
            EXPECT_EQ(end.player, r.cell(c.to.x, c.to.y)) << c.label;
            EXPECT_EQ(pushes, 0) << c.label;
        }
    }
}

// Where one crate can be pushed, the others standing still, with the
// fewest pushes and then the fewest moves for the player walking round.
TEST(ClickSearches, PushesAreTheFewestAndTheWalksBetweenThemTheShortest) {
    struct Case {
        const char* label;
        std::vector<std::string> rows;
        Coordinates crate, to;
        int pushes, moves;  // pushes -1: it cannot get there
    };
    const std::vector<Case> cases = {
        {"straight on", {"########", "#@$   .#", "########"}, {2, 1}, {5, 1}, 3, 3},
        {"the figure goes round to push down",
         {"#######", "#     #", "# $   #", "# @   #", "# .   #", "#######"}, {2, 2}, {2, 4}, 2, 6},
        {"a walk to the side first", {"#########", "#   $  .#", "#@      #", "#########"}, {4, 1}, {6, 1}, 2, 5},
        {"not into a corner it cannot leave", {"######", "#@$  #", "##.. #", "######"}, {2, 1}, {2, 2}, -1, 0},
        {"not through another crate", {"#######", "#@$$ .#", "#######"}, {2, 1}, {4, 1}, -1, 0},
        {"the other crate goes round", {"#######", "#@$ $.#", "#    .#", "#######"}, {2, 1}, {3, 2}, -1, 0},
        {"a crate on a target moves too", {"#######", "#@* . #", "#######"}, {2, 1}, {5, 1}, 3, 3},
        {"back across its start", {"######", "#@$  #", "## # #", "##   #", "######"}, {2, 1}, {1, 1}, 3, 9},
        {"the player walks over its start", {"#######", "#     #", "# ### #", "#@$   #", "#######"}, {2, 3},
         {3, 3}, 1, 1},
        {"not onto itself", {"#######", "#@ $  #", "#     #", "#######"}, {3, 1}, {3, 1}, -1, 0},
        {"of two ways of as few pushes, the one of fewer moves",
         {"######", "#    #", "#@$  #", "#    #", "#    #", "######"}, {2, 2}, {3, 3}, 2, 4},
    };
    for (const Case& c : cases) {
        Read r(c.rows);
        ASSERT_TRUE(r.ok) << c.label;
        CratePaths paths;
        findCratePaths(r.board, r.start, r.cell(c.crate.x, c.crate.y), &paths);
        int to = r.cell(c.to.x, c.to.y);
        EXPECT_EQ(crateCanReach(paths, to), c.pushes >= 0) << c.label;
        if (c.pushes < 0) {
            continue;
        }
        std::string moves = crateMoves(r.board, r.start, paths, to);
        Position end;
        int pushes = 0;
        ASSERT_TRUE(replay(r, moves, &end, &pushes)) << c.label << ": " << moves;
        EXPECT_TRUE(end.crates.has(to)) << c.label;
        EXPECT_EQ(pushes, c.pushes) << c.label;
        EXPECT_EQ(static_cast<int>(moves.size()), c.moves) << c.label;
    }
}

}  // namespace
