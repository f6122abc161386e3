// The play rules are file-local to the play screen; this test compiles that
// file into itself to reach them on plain data, without a window.
#include "../src/play.cpp"

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "harness.h"

namespace {

// A play state on the first level of `text`, as the screen would start it.
struct Played {
    explicit Played(const std::string& text) {
        list = levelsFromText(text);
        state.firstLevel = list;
        state.result = -1;
        ok = list != nullptr && fillState(&state, list);
    }
    ~Played() {
        freeState(&state);
        unloadLevel(list);
    }
    // Drawn and asked in the test's window, as the screen would be.
    void onScreen(SDL_Renderer* renderer, SDL_Texture* tiles, TTF_Font* font, TTF_Font* smallFont) {
        state.renderer = renderer;
        state.tiles = tiles;
        state.font = font;
        state.smallFont = smallFont;
    }
    // The working copy with the player drawn in, in file characters.
    std::vector<std::string> board() const {
        std::vector<std::string> rows = levelRows(state.level);
        char& cell = rows[state.player.y][state.player.x];
        cell = cell == '.' ? '+' : '@';
        return rows;
    }

    Level* list = nullptr;
    PlayState state{};
    bool ok = false;
};

struct MoveCase {
    const char* label;
    std::vector<std::string> before;
    int dir;
    bool moved;
    std::vector<std::string> after;
};

std::string asText(const std::vector<std::string>& rows) {
    std::string text;
    for (const std::string& row : rows) {
        text += row + "\n";
    }
    return text;
}

TEST(PlayRules, MovesAndPushesFollowThePushTable) {
    const std::vector<MoveCase> cases = {
        {"walk onto floor", {"#@ #"}, 2, true, {"# @#"}},
        {"walk onto a target", {"#@.#"}, 2, true, {"# +#"}},
        {"walk into a wall", {"#@ #"}, 0, false, {"#@ #"}},
        {"crate to floor", {"@$  "}, 2, true, {" @$ "}},
        {"crate to target", {"@$. "}, 2, true, {" @* "}},
        {"crate off a target to floor", {"@* $ "}, 2, true, {" +$$ "}},
        {"crate off a target to a target", {"@*.. "}, 2, true, {" +*. "}},
        {"crate into a wall", {"@$# "}, 2, false, {"@$# "}},
        {"crate into a crate", {"@$$ "}, 2, false, {"@$$ "}},
        {"crate into a crate on target", {"@$* "}, 2, false, {"@$* "}},
        {"crate over the edge", {" @$"}, 2, false, {" @$"}},
        {"walk over the left edge", {"@ $."}, 0, false, {"@ $."}},
        {"walk over the top edge", {"@  ", "$. "}, 1, false, {"@  ", "$. "}},
        {"push up", {"   ", " $ ", " @ "}, 1, true, {" $ ", " @ ", "   "}},
        {"push down onto target", {" @ ", " $ ", " . "}, 3, true, {"   ", " @ ", " * "}},
        {"push left", {". $@"}, 0, true, {".$@ "}},
        {"unknown direction", {"@$. "}, 7, false, {"@$. "}},
    };
    for (const MoveCase& c : cases) {
        // A target nobody reaches keeps these pushes from winning the level.
        std::string open = std::string(c.before[0].size() - 1, ' ') + ".";
        std::vector<std::string> before = c.before;
        std::vector<std::string> after = c.after;
        before.push_back(open);
        after.push_back(open);
        Played played(asText(before) + "\n");
        ASSERT_TRUE(played.ok) << c.label;
        bool moved = processMovement(c.dir, &played.state);
        EXPECT_EQ(moved, c.moved) << c.label;
        EXPECT_EQ(played.board(), after) << c.label;
        // Even a refused move counts as a change.
        EXPECT_TRUE(played.state.edited) << c.label;
        EXPECT_TRUE(played.state.unsaved) << c.label;
    }
}

TEST(PlayRules, FillStateTakesThePlayerOutOfTheWorkingCopy) {
    Played played("#####\n#+$ #\n# $.#\n#####\n");
    ASSERT_TRUE(played.ok);
    EXPECT_EQ(played.state.player.x, 1);
    EXPECT_EQ(played.state.player.y, 1);
    EXPECT_EQ(levelRows(played.state.level)[1], "#.$ #");
    EXPECT_FALSE(played.state.finished);  // a target under the player is uncovered
    EXPECT_EQ(played.state.backupLevel, played.list);
    EXPECT_EQ(played.state.level->name, played.list->name);
    // The list keeps its file form.
    EXPECT_EQ(levelRows(played.list)[1], "#+$ #");
}

TEST(PlayRules, WritingBackStoresThePlayerOnFloorOrTarget) {
    Played played("######\n#@$. #\n#. $ #\n######\n");
    ASSERT_TRUE(played.ok);
    ASSERT_TRUE(processMovement(3, &played.state));  // onto the target below
    writeState(&played.state);
    EXPECT_EQ(levelRows(played.list), (std::vector<std::string>{"######", "# $. #", "#+ $ #", "######"}));
    EXPECT_FALSE(played.state.edited);
    ASSERT_TRUE(processMovement(1, &played.state));
    writeState(&played.state);
    EXPECT_EQ(levelRows(played.list)[1], "#@$. #");
    EXPECT_EQ(levelRows(played.list)[2], "#. $ #");
}

TEST(PlayRules, SolvedLevelsAndTheFinishedFlag) {
    struct Case {
        const char* label;
        std::string text;
        bool finishedAtStart;
    };
    const Case cases[] = {
        {"stored position already solved", "#####\n#@* #\n#####\n", true},
        {"no targets at all", "#####\n#@$ #\n#####\n", true},
        {"one target open", "#####\n#@$.#\n#####\n", false},
        {"player on the only target", "#####\n#+* #\n#####\n", false},
    };
    for (const Case& c : cases) {
        Played played(c.text);
        ASSERT_TRUE(played.ok) << c.label;
        EXPECT_EQ(played.state.finished, c.finishedAtStart) << c.label;
    }
}

TEST(PlayRules, CrateCountsDecidePlayability) {
    struct Case {
        const char* label;
        std::string text;
        bool playable;
    };
    const Case cases[] = {
        {"one of each", "#@$.#\n", true},
        {"more crates than targets", "#@$$.#\n", true},
        {"fewer crates than targets", "#@$..#\n", false},
        {"no player", "# $.#\n", false},
        {"two players", "#@@$.#\n", false},
        {"player on target counts as both", "#+$ #\n", true},
        {"player on target needs a crate", "#+  #\n", false},
        {"crate on target counts as both", "#@* #\n", true},
        {"no crates no targets", "#@  #\n", true},
        {"one bad level spoils the file", "#@$.#\n\n#@$..#\n\n#@$.#\n", false},
        {"empty list", "", true},
    };
    for (const Case& c : cases) {
        Level* list = levelsFromText(c.text);
        EXPECT_EQ(checkLevels(list), c.playable) << c.label;
        unloadLevel(list);
    }
}

class PlayWin : public ScreenTest {};

// A push that covers the last target writes back and shows the alert; the
// flag stays through later moves until the next level is made current.
TEST_F(PlayWin, WinningWritesBackAndAnnounces) {
    Played played("#######\n#@$ . #\n#######\n");
    ASSERT_TRUE(played.ok);
    played.onScreen(renderer, tiles, font, smallFont);
    press(SDL_SCANCODE_RETURN);  // acknowledges the alert
    EXPECT_TRUE(processMovement(2, &played.state));
    EXPECT_FALSE(played.state.finished);
    EXPECT_TRUE(processMovement(2, &played.state));
    EXPECT_TRUE(played.state.finished);
    EXPECT_EQ(played.state.result, -1);
    EXPECT_FALSE(played.state.edited);
    EXPECT_EQ(levelRows(played.list)[1], "#  @* #");
    // Pushing the crate off its target keeps the flag set.
    EXPECT_TRUE(processMovement(2, &played.state));
    EXPECT_TRUE(played.state.finished);
    EXPECT_TRUE(played.state.edited);
    EXPECT_EQ(levelRows(played.list)[1], "#  @* #");
    // A restart returns to the written position, solved.
    ASSERT_TRUE(fillState(&played.state, played.state.backupLevel));
    EXPECT_TRUE(played.state.finished);
    EXPECT_EQ(played.board()[1], "#  @* #");
}

TEST_F(PlayWin, ClosingTheWindowDuringTheWinAlertEndsTheScreen) {
    Played played("#@$.#\n");
    ASSERT_TRUE(played.ok);
    played.onScreen(renderer, tiles, font, smallFont);
    quit();
    EXPECT_TRUE(processMovement(2, &played.state));
    EXPECT_EQ(played.state.result, 0);
    EXPECT_TRUE(played.state.finished);
}

// Undo on the play rules, by a script of actions: 0 to 3 move, R restarts, B
// takes back, > and < switch level. Dialogs on the way are answered with
// Return (the win alert, and OK to the store question).
TEST_F(PlayWin, UndoTakesBackMovesPushesAndRestarts) {
    const std::string twoCrates = "########\n#@ $ ..#\n#   $  #\n########\n";
    const std::string oneStep = "#####\n#@$.#\n#####\n";
    const std::string twoLevels = "; A\n" + twoCrates + "\n; B\n#####\n#@$.#\n#####\n";
    struct Case {
        const char* label;
        std::string text;
        const char* actions;
        std::vector<std::string> board;  // the working copy with the player afterwards
        int moves, pushes;
        bool finished;
        bool lastUndo;  // what the last B returned
    };
    const std::vector<std::string> start = {"########", "#@ $ ..#", "#   $  #", "########"};
    const std::vector<std::string> walked = {"########", "# @$ ..#", "#   $  #", "########"};
    const std::vector<std::string> pushed = {"########", "#  @$..#", "#   $  #", "########"};
    const Case cases[] = {
        {"a walk", twoCrates, "2B", start, 0, 0, false, true},
        {"a push", twoCrates, "22B", walked, 1, 0, false, true},
        {"a walk and a push", twoCrates, "22BB", start, 0, 0, false, true},
        {"nothing to take back", twoCrates, "B", start, 0, 0, false, false},
        {"more undos than steps", twoCrates, "2BB", start, 0, 0, false, false},
        {"a refused move is no step", twoCrates, "20B", walked, 1, 0, false, true},
        {"a refused push is no step", "#######\n#@ $$.#\n#######\n", "22B", {"#######", "#@ $$.#", "#######"}, 0, 0,
         false, true},
        {"a restart is a step", twoCrates, "22RB", pushed, 2, 1, false, true},
        {"and the steps before it stay", twoCrates, "22RBB", walked, 1, 0, false, true},
        {"steps after a restart", twoCrates, "22R22B", walked, 1, 0, false, true},
        {"a second restart", twoCrates, "2R2RBBB", walked, 1, 0, false, true},
        {"down and up", twoCrates, "31B", {"########", "#  $ ..#", "#@  $  #", "########"}, 1, 0, false, true},
        {"across the win", oneStep, "2B", {"#####", "#@$.#", "#####"}, 0, 0, false, true},
        {"the win itself", oneStep, "2", {"#####", "# @*#", "#####"}, 1, 1, true, false},
        {"the history ends at a switch", twoLevels, "22>B", {"#####", "#@$.#", "#####"}, 0, 0, false, false},
        {"and coming back starts afresh", twoLevels, "22><B", pushed, 0, 0, false, false},
    };
    for (const Case& c : cases) {
        Played played(c.text);
        ASSERT_TRUE(played.ok) << c.label;
        played.onScreen(renderer, tiles, font, smallFont);
        for (int i = 0; i < 4; i++) {
            press(SDL_SCANCODE_RETURN);
        }
        bool lastUndo = false;
        for (const char* a = c.actions; *a != '\0'; a++) {
            switch (*a) {
                case 'R':
                    restartLevel(&played.state);
                    break;
                case 'B':
                    lastUndo = undoStep(&played.state);
                    break;
                case '>':
                    nextLevel(&played.state);
                    break;
                case '<':
                    prevLevel(&played.state);
                    break;
                default:
                    processMovement(*a - '0', &played.state);
            }
        }
        EXPECT_EQ(played.board(), c.board) << c.label;
        EXPECT_EQ(played.state.moves, c.moves) << c.label;
        EXPECT_EQ(played.state.pushes, c.pushes) << c.label;
        EXPECT_EQ(played.state.finished, c.finished) << c.label;
        EXPECT_EQ(lastUndo, c.lastUndo) << c.label;
        if (lastUndo) {
            EXPECT_TRUE(played.state.edited && played.state.unsaved) << c.label;
        }
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    // Taking back the winning push leaves the solved position stored.
    Played won(oneStep);
    won.onScreen(renderer, tiles, font, smallFont);
    press(SDL_SCANCODE_RETURN);
    processMovement(2, &won.state);
    EXPECT_TRUE(undoStep(&won.state));
    EXPECT_EQ(levelRows(won.list)[1], "# @*#");
}

// A click push runs every step through the rules and stops at the push
// that wins, short of the cell clicked; one undo takes the click back, and
// redo does it again, winning again.
TEST_F(PlayWin, AClickPushStopsAtTheWinAndIsOneUndo) {
    Played played("#########\n#  @$.  #\n#########\n\n");
    played.onScreen(renderer, tiles, font, smallFont);
    ASSERT_TRUE(played.ok);
    played.state.player = Coordinates{1, 1};
    std::vector<std::string> before = played.board();
    press(SDL_SCANCODE_RETURN);  // the win alert
    selectCrate(&played.state, Coordinates{4, 1});
    pushTo(&played.state, Coordinates{7, 1});
    EXPECT_TRUE(played.state.won);
    EXPECT_EQ(played.board()[1], "#   @*  #") << "the walk, then one push onto the target";
    EXPECT_EQ(played.state.moves, 3);
    EXPECT_EQ(played.state.pushes, 1);
    EXPECT_TRUE(undoStep(&played.state));
    EXPECT_EQ(played.board(), before) << "one undo takes the whole click back";
    EXPECT_EQ(played.state.moves, 0);
    press(SDL_SCANCODE_RETURN);
    EXPECT_TRUE(redoStep(&played.state));
    EXPECT_EQ(played.board()[1], "#   @*  #") << "redo does it again";
    EXPECT_EQ(played.state.moves, 3);
    EXPECT_TRUE(played.state.won);
    EXPECT_FALSE(redoStep(&played.state)) << "nothing more to redo";
}


// The pushes a push-optimal solution needs from the position on the screen.
int optimumNow(const PlayState* state) {
    Solution s = solve(state->inPlay.board, positionNow(state), SearchLimits());
    return s.outcome == solved ? s.pushes : -1;
}

// Every hint brings the level one push nearer its goal by the solver's own
// count, counts its moves and pushes, and is one step of undo; hints one
// after another solve the level in the fewest pushes.
TEST_F(PlayWin, EachHintIsOnePushNearerAndTheyEndInTheOptimum) {
    const char* const levels[] = {
        "#######\n#@    #\n# $$ .#\n#  #  #\n#.    #\n#######\n",
        "########\n#@     #\n# $$ $ #\n#  ##  #\n# ..  .#\n########\n",
    };
    for (const char* text : levels) {
        Played played(text);
        ASSERT_TRUE(played.ok);
        played.onScreen(renderer, tiles, font, smallFont);
        press(SDL_SCANCODE_RETURN);  // the win alert
        int optimum = optimumNow(&played.state);
        ASSERT_GT(optimum, 0);
        for (int left = optimum; left > 0; left--) {
            int moves = played.state.moves;
            ASSERT_TRUE(takeHint(&played.state));
            EXPECT_EQ(played.state.pushes, optimum - left + 1);
            EXPECT_GT(played.state.moves, moves);
            if (left > 1) {
                EXPECT_EQ(optimumNow(&played.state), left - 1);
            }
        }
        EXPECT_TRUE(played.state.finished);
        EXPECT_TRUE(played.state.inPlay.hinted);
        // One undo takes back the last hint's walk and push together.
        int moves = played.state.moves;
        ASSERT_TRUE(undoStep(&played.state));
        EXPECT_EQ(played.state.pushes, optimum - 1);
        EXPECT_LT(played.state.moves, moves - 0);
        EXPECT_EQ(optimumNow(&played.state), 1);
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
}

// On a level whose fewest pushes cannot be found in the time the hint has,
// it follows any solution, and the row says the way may not be the
// shortest; a key makes the row the level's again.
TEST_F(PlayWin, AHintWithoutTheFewestPushesSaysSo) {
    Played played(
        "##############################\n"
        "#     #              #       #\n"
        "#         #.      #   #  # # #\n"
        "#       $   #.   #   ##    . #\n"
        "#             #.   # #       #\n"
        "#     # $   $  $             #\n"
        "#                         #  #\n"
        "##      $     ##             #\n"
        "#@$     .#$ # #   .$ .  $#   #\n"
        "##          #             #  #\n"
        "#   #  #$$ ..  #             #\n"
        "#                 .          #\n"
        "#              #        #.   #\n"
        "#   .     .      #           #\n"
        "#    .       #         $     #\n"
        "#   $   ##   # $     #       #\n"
        "#   .                    #   #\n"
        "##     $    ## .    $        #\n"
        "##                           #\n"
        "##############################\n");
    ASSERT_TRUE(played.ok);
    played.onScreen(renderer, tiles, font, smallFont);
    played.state.patience.fewest = std::chrono::milliseconds(100);
    played.state.patience.longest = std::chrono::seconds(8);
    ASSERT_TRUE(takeHint(&played.state));
    EXPECT_EQ(played.state.pushes, 1);
    EXPECT_FALSE(played.state.inPlay.planFewest);
    ASSERT_NE(played.state.notice, nullptr);
    EXPECT_STREQ(played.state.notice, "Tipp: nem biztos, hogy ez a legrövidebb út");
    SDL_Event key{};
    key.type = SDL_KEYDOWN;
    key.key.keysym.scancode = SDL_SCANCODE_X;
    handleEvent(key, &played.state);
    EXPECT_EQ(played.state.notice, nullptr);
}

// The light: a push into a corner is lost at once, the crate marked; undo
// takes it off; a position the rules do not see through is proven hopeless
// by the small search, with no crate marked.
TEST(PlayRules, TheLightFollowsThePosition) {
    struct Case {
        const char* label;
        const char* text;
        std::string moves;  // l u r d, U undoes
        bool hopeless;
        int lostCrates;
    };
    const Case cases[] = {
        {"a fresh level", "######\n#@$ .#\n#    #\n######\n", "", false, 0},
        {"pushed against a wall with no target", "#######\n#     #\n# $  .#\n#@    #\n#######\n", "ru", true, 1},
        {"and taken back", "#######\n#     #\n# $  .#\n#@    #\n#######\n", "ruU", false, 0},
        {"a walk changes nothing", "######\n#@$ .#\n#    #\n######\n", "dr", false, 0},
        {"a pair frozen in a corridor", "#######\n#@$$ .#\n#    .#\n#######\n", "", true, 2},
        {"the only push freezes a pair", "########\n#@$ $..#\n########\n", "", true, 0},
        {"a spare crate in a corner is no loss", "#######\n#@$ .$#\n#     #\n#######\n", "", false, 0},
        {"a hall the light's millisecond cannot finish is not lost",
         "###################\n#@                #\n#  $  $  $  $  $  #\n#        $        #\n#  $  $  $  $  $  #\n"
         "#        $        #\n#     ##   ##     #\n#        $        #\n#  ...# ... #...  #\n#  .            . #\n"
         "###################\n",
         "", false, 0},
    };
    for (const Case& c : cases) {
        Played played(c.text);
        ASSERT_TRUE(played.ok) << c.label;
        for (char m : c.moves) {
            if (m == 'U') {
                undoStep(&played.state);
            } else {
                processMovement(static_cast<int>(std::strchr("lurd", m) - "lurd"), &played.state);
            }
        }
        judgePosition(&played.state);
        EXPECT_EQ(played.state.inPlay.hopeless, c.hopeless) << c.label;
        EXPECT_EQ(played.state.inPlay.lost.count(), c.lostCrates) << c.label;
    }
}


// While the mouse rests on a button the level row says what the button
// does, each its own text from the buttons' table; on a crate, that crates
// can be clicked; off them, the level's name again.
TEST_F(PlayWin, EveryButtonSaysWhatItDoes) {
    writeFile("szintek.txt", "; Első\n#######\n#@ $ .#\n#######\n\n; Második\n#####\n#@$.#\n#####\n");
    const SDL_Rect row{72, 704, 1136, 64};
    char filename[64] = "szintek.txt";
    auto rowAfter = [&](std::function<void()> input) {
        return areaAfter(input, [&] { return playLevel(renderer, tiles, font, smallFont, filename); }, row);
    };
    std::vector<uint32_t> plain = rowAfter([] {});
    std::map<std::string, std::vector<uint32_t>> said;
    for (const PlayButton& button : playButtons) {
        std::vector<uint32_t> shown = rowAfter([&] { moveTo(button.cell.x, button.cell.y, 0); });
        if (button.shown == withPrevious) {
            EXPECT_EQ(shown, plain) << "the first level's hidden " << button.says;
            continue;
        }
        EXPECT_NE(shown, plain) << button.says;
        // The text whole, beside the number and the counters.
        int ink = inkPixels(smallFont, "1/2") + inkPixels(smallFont, button.says) + inkPixels(smallFont, "Lépés: 0  Tolás: 0");
        EXPECT_EQ(static_cast<int>(std::count(shown.begin(), shown.end(), 0xFFFFFFFFu)), ink) << button.says;
        auto known = said.find(button.says);
        EXPECT_TRUE(known == said.end() || known->second == shown) << button.says;
        for (const auto& [text, pixels] : said) {
            EXPECT_TRUE(text == button.says || pixels != shown) << button.says << " drawn as " << text;
        }
        said[button.says] = shown;
    }
    std::vector<uint32_t> onCrate = rowAfter([&] { moveTo(10, 5, 0); });
    EXPECT_NE(onCrate, plain) << crateSays;
    int ink = inkPixels(smallFont, "1/2") + inkPixels(smallFont, crateSays) + inkPixels(smallFont, "Lépés: 0  Tolás: 0");
    EXPECT_EQ(static_cast<int>(std::count(onCrate.begin(), onCrate.end(), 0xFFFFFFFFu)), ink) << crateSays;
    EXPECT_EQ(rowAfter([&] { moveTo(0, 1, 0); movePixel(-1, -1); }), plain) << "the mouse gone";
    EXPECT_EQ(rowAfter([&] { moveTo(9, 5, 0); }), plain) << "on plain floor";
    // A crate on a target (8 x 3 from column 6, row 4) can be clicked too.
    writeFile("szintek.txt", "; Célon\n########\n#@ *$ .#\n########\n");
    std::vector<uint32_t> onTarget = rowAfter([] {});
    EXPECT_NE(rowAfter([&] { moveTo(9, 5, 0); }), onTarget) << "a crate on a target";
}

}  // namespace
