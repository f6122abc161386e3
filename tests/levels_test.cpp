#include <string>

#include "file.h"
#include "harness.h"
#include "solver.h"

namespace {

// The levels that ship with the game: enough of them, all playable, and every
// one of them solvable.
TEST(BundledLevels, AllPlayableAndSolvable) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the search is slow under the sanitizers; the plain build runs it";
#endif
    std::string path = std::string(BOXTOLO_SOURCE_DIR) + "/levels/palyak.txt";
    LoadLevelResult loaded = loadLevel(path.data());
    ASSERT_EQ(loaded.result, 0);
    EXPECT_GE(countLevels(loaded.level), 30);
    bool fullSize = false;
    std::string unsolved;
    for (const Level* level = loaded.level; level != nullptr; level = level->next) {
        SCOPED_TRACE(level->name);
        EXPECT_GT(std::string(level->name).size(), 2u);
        int players = 0, crates = 0, targets = 0;
        for (int i = 0; i < level->size.x * level->size.y; i++) {
            TileState t = level->tiles[i];
            players += t == playerS || t == playerOnTargetS;
            crates += t == crateS || t == crateOnTargetS;
            targets += t == targetS || t == crateOnTargetS || t == playerOnTargetS;
        }
        EXPECT_EQ(players, 1);
        EXPECT_GE(crates, targets);
        EXPECT_GT(targets, 0);
        fullSize = fullSize || (level->size.x == 19 && level->size.y == 11);
        if (solvePushes(level, 1500000) < 1) {
            unsolved += std::string(" \"") + level->name + "\"";
        }
    }
    EXPECT_TRUE(fullSize) << "some level uses the whole 19 x 11 area";
    EXPECT_EQ(unsolved, "") << "no solution found for:" << unsolved;
    unloadLevel(loaded.level);
}

}  // namespace
