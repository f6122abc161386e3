// The level design tools: the solver's answers on levels small enough to
// count by hand, and the measures the campaign is chosen by.
#include <gtest/gtest.h>

#include <string>

#include "harness.h"
#include "levelkit.h"
#include "think.h"

namespace {

struct SolveCase {
    const char* label;
    std::string text;
    bool solvable;
    int pushes;
    int bound;  // the player walking round each crate
};

TEST(LevelKit, SolverFindsTheFewestPushes) {
    const SolveCase cases[] = {
        {"one push", "#####\n#@$.#\n#####\n", true, 1, 1},
        {"a walk round first", "#########\n#@.  $  #\n# ##### #\n#       #\n#########\n", true, 3, 3},
        // Pushed left first, the crate would leave the player no way to the
        // side it must be pushed down from: the walking player sees it.
        {"the player decides", "######\n#@#  #\n# $  #\n#.   #\n######\n", true, 4, 4},
        // Standing on a target beside both crates, the player is on the
        // wrong side of each for the pushes a free player would make.
        {"boxed in beside them", " #####\n #   #\n##$# #\n#+$  #\n##.  #\n #####\n", true, 5, 5},
        {"order matters", "######\n#..$ #\n##$# #\n##  @#\n######\n", true, 3, 3},
        {"side by side", "#######\n#@#   #\n#.    #\n#.$$ ##\n#  ###\n####\n", true, 8, 4},
        {"a crate in a corner", "######\n#$   #\n#  @.#\n######\n", false, 0, 0},
        {"two crates in a row in a corridor", "#######\n#@$$ .#\n#######\n", false, 0, 0},
        {"already solved", "#####\n#@* #\n#####\n", true, 0, 0},
    };
    for (const SolveCase& c : cases) {
        Level* level = levelsFromText(c.text);
        ASSERT_NE(level, nullptr) << c.label;
        levelkit::Board board;
        ASSERT_TRUE(levelkit::boardFromLevel(level, &board)) << c.label;
        levelkit::Solution s = levelkit::solve(board, 64);
        EXPECT_FALSE(s.gaveUp) << c.label;
        EXPECT_EQ(s.solved, c.solvable) << c.label;
        if (c.solvable) {
            EXPECT_EQ(s.pushes, c.pushes) << c.label;
            EXPECT_EQ(matchingBound(board, board.start()), c.bound) << c.label;
            int pushes = 0;
            bool solved = false;
            EXPECT_TRUE(levelkit::replay(board, s.moves, &pushes, &solved, nullptr, nullptr)) << c.label;
            EXPECT_TRUE(solved) << c.label;
            EXPECT_EQ(pushes, c.pushes) << c.label;
        }
        unloadLevel(level);
    }
}

TEST(LevelKit, MeasuresAndTwins) {
    struct Case {
        const char* label;
        std::string text;
        bool open3x3;
        int outside;
        double floorPerCrate;
        int crateChanges;  // in the solver's solution
    };
    const Case cases[] = {
        // Both crates go in turn: one change.
        {"a narrow room", "######\n#..$ #\n##$# #\n##  @#\n######\n", false, 2, 4.5, 1},
        {"an open hall", "#####\n#@  #\n# $ #\n#  .#\n#####\n", true, 0, 9.0, 0},
        {"outside the walls", "  ####\n###  #\n#@$ .#\n######\n", false, 2, 6.0, 0},
    };
    for (const Case& c : cases) {
        Level* level = levelsFromText(c.text);
        levelkit::Board board;
        ASSERT_TRUE(levelkit::boardFromLevel(level, &board)) << c.label;
        levelkit::Solution s = levelkit::solve(board, 64);
        levelkit::Measures m = levelkit::measure(board, level, s);
        EXPECT_EQ(m.open3x3, c.open3x3) << c.label;
        EXPECT_EQ(m.outside, c.outside) << c.label;
        EXPECT_TRUE(m.everyCrateMoves) << c.label;
        EXPECT_DOUBLE_EQ(m.floorPerCrate, c.floorPerCrate) << c.label;
        EXPECT_EQ(m.crateChanges, c.crateChanges) << c.label;
        unloadLevel(level);
    }
    // Turned and mirrored levels are twins; a moved crate is not.
    Level* a = levelsFromText("#####\n#@$.#\n# # #\n#####\n");
    Level* turned = levelsFromText("####\n# @#\n##$#\n# .#\n####\n");
    Level* mirrored = levelsFromText("#####\n#.$@#\n# # #\n#####\n");
    Level* other = levelsFromText("#####\n#@ .#\n#$# #\n#####\n");
    EXPECT_EQ(levelkit::canonicalForm(a), levelkit::canonicalForm(mirrored));
    EXPECT_NE(levelkit::canonicalForm(a), levelkit::canonicalForm(other));
    EXPECT_EQ(levelkit::canonicalForm(a), levelkit::canonicalForm(turned));
    for (Level* l : {a, turned, mirrored, other}) {
        unloadLevel(l);
    }
}

// The scattered levels the help is measured on: of the size and crates
// asked, made alike from a seed, every one solvable.
TEST(LevelKit, ScatteredLevelsAreOfTheirSizeAndSolvable) {
    for (unsigned seed : {1u, 2u, 3u}) {
        std::string text = levelkit::scatteredLevel(30, 20, 12, seed);
        EXPECT_EQ(text, levelkit::scatteredLevel(30, 20, 12, seed)) << "the same from the same seed";
        Level* level = levelsFromText(text);
        ASSERT_NE(level, nullptr);
        EXPECT_EQ(level->size.x, 30);
        EXPECT_EQ(level->size.y, 20);
        levelkit::Board board;
        ASSERT_TRUE(levelkit::boardFromLevel(level, &board)) << seed;
        EXPECT_EQ(board.crates.count(), 12) << seed;
        SearchLimits any;
        any.optimal = false;
        EXPECT_EQ(::solve(board, board.start(), any).outcome, solved) << seed;
        unloadLevel(level);
    }
}

class Thinking : public ScreenTest {
  protected:
    Found find(const std::string& text, const Patience& patience = Patience()) {
        Level* level = levelsFromText(text);
        readBoard(level, Coordinates{-1, -1}, &board, &start);
        unloadLevel(level);
        bool thinking = false;
        int result = -1;
        std::vector<SDL_Event> later;
        return findSolution(renderer, board, start, &thinking, [] {}, &later, &result, patience);
    }
    levelkit::Board board;
    Position start;
};

// When the fewest pushes cannot be found in time, the help finds a way all
// the same, and says that it may not be the shortest; the way solves the
// level.
TEST_F(Thinking, WhenTheFewestPushesTakeTooLongAnyWayIsFound) {
    for (unsigned seed : {1017u, 1020u}) {
        Patience hurried;
        hurried.fewest = std::chrono::milliseconds(200);
        hurried.longest = std::chrono::seconds(8);
        Found found = find(levelkit::scatteredLevel(30, 20, static_cast<int>(seed - 1001), seed), hurried);
        ASSERT_EQ(found.outcome, solved) << seed;
        EXPECT_FALSE(found.fewest) << seed;
        int pushes = 0;
        bool solvedAtEnd = false;
        board.crates = start.crates;
        board.player = start.player;
        EXPECT_TRUE(levelkit::replay(board, solutionMoves(board, start, found.solution), &pushes, &solvedAtEnd, nullptr,
                                     nullptr));
        EXPECT_TRUE(solvedAtEnd) << seed;
    }
}

// The search for the fewest pushes is given seconds, not one: stopped after
// two, it was still at it.
TEST_F(Thinking, TheFewestPushesAreSearchedForSeconds) {
    SDL_TimerID timer = SDL_AddTimer(2000, escapeLater, nullptr);
    Found found = find("###################\n#@                #\n#  $  $  $  $  $  #\n#        $        #\n"
                       "#  $  $  $  $  $  #\n#        $        #\n#     ##   ##     #\n#        $        #\n"
                       "#  ...# ... #...  #\n#  .            . #\n###################\n");
    SDL_RemoveTimer(timer);
    EXPECT_EQ(found.outcome, searching) << "stopped by Escape";
    EXPECT_TRUE(found.fewest) << "while the search for the fewest pushes ran";
}

}  // namespace
