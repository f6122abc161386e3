// The level design tools: the solver's answers on levels small enough to
// count by hand, and the measures the campaign is chosen by.
#include <gtest/gtest.h>

#include <string>

#include "harness.h"
#include "levelkit.h"

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

}  // namespace
