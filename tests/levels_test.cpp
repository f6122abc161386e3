// The levels that ship with the game, played through the play screen's own
// rules: the solutions kept beside them (levels/palyak.solutions) replayed
// move by move. Milliseconds, whatever the machine is doing.
#include "../src/play.cpp"

#include <string>
#include <vector>

#include "harness.h"
#include "levelkit.h"

namespace {

// A window only for the win alert, which every last push brings up.
class BundledLevels : public ScreenTest {};

TEST_F(BundledLevels, EverySolutionKeptBesideThemSolvesItsLevel) {
    std::string source = BOXTOLO_SOURCE_DIR;
    LoadLevelResult loaded = loadLevel((source + "/levels/palyak.txt").data());
    ASSERT_EQ(loaded.result, 0);
    ASSERT_TRUE(checkLevels(loaded.level)) << "every level is playable";
    std::vector<levelkit::KeptSolution> kept = levelkit::readSolutions(source + "/levels/palyak.solutions");
    ASSERT_EQ(static_cast<int>(kept.size()), countLevels(loaded.level)) << "one solution for each level";
    size_t index = 0;
    for (Level* level = loaded.level; level != nullptr && index < kept.size(); level = level->next, index++) {
        const levelkit::KeptSolution& k = kept[index];
        SCOPED_TRACE(std::to_string(index + 1) + " " + level->name);
        EXPECT_EQ(k.name, level->name) << "the solutions follow the levels' order";
        PlayState state{};
        state.firstLevel = loaded.level;
        state.result = -1;
        state.renderer = renderer;
        state.tiles = tiles;
        state.font = font;
        ASSERT_TRUE(fillState(&state, level));
        // The win alert answers the quits queued for it.
        for (int i = 0; i < 4; i++) {
            quit();
        }
        bool legal = true;
        for (size_t m = 0; m < k.moves.size() && legal; m++) {
            const char* letters = "lurdLURD";
            const char* found = std::strchr(letters, k.moves[m]);
            ASSERT_NE(found, nullptr) << "move " << m << " is " << k.moves[m];
            int dir = static_cast<int>(found - letters) % 4;
            bool push = found - letters >= 4;
            int pushesBefore = state.pushes;
            legal = processMovement(dir, &state) && (state.pushes > pushesBefore) == push;
            EXPECT_TRUE(legal) << "move " << m << " (" << k.moves[m] << ") cannot be made so";
        }
        EXPECT_TRUE(checkFinished(&state)) << "the level ends solved";
        EXPECT_EQ(state.pushes, k.pushes) << "the pushes stated";
        freeState(&state);
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    unloadLevel(loaded.level);
}

// The levels count as they are meant to: enough of them, named, one at the
// full size of the play area.
TEST(BundledLevelsFile, SixtyNamedLevelsOneOfThemFullSize) {
    std::string path = std::string(BOXTOLO_SOURCE_DIR) + "/levels/palyak.txt";
    LoadLevelResult loaded = loadLevel(path.data());
    ASSERT_EQ(loaded.result, 0);
    EXPECT_EQ(countLevels(loaded.level), 60);
    bool fullSize = false;
    for (const Level* level = loaded.level; level != nullptr; level = level->next) {
        EXPECT_GT(std::string(level->name).size(), 2u);
        fullSize = fullSize || (level->size.x == 19 && level->size.y == 11);
    }
    EXPECT_TRUE(fullSize);
    // The road test plays the first level: one push to the right.
    EXPECT_EQ(levelRows(loaded.level), (std::vector<std::string>{"#####", "#@$.#", "#####"}));
    unloadLevel(loaded.level);
}

}  // namespace
