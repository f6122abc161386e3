#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "file.h"
#include "harness.h"
#include "results.h"

namespace {

class ResultsFile : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = makeTempDir();
        path = dir + "/boxtolo/eredmenyek.txt";
    }
    void TearDown() override { removeTree(dir); }

    std::string dir;
    std::string path;
};

uint64_t identityOf(const std::string& text) {
    Level* level = levelsFromText(text);
    uint64_t identity = level != nullptr ? levelIdentity(level) : 0;
    unloadLevel(level);
    return identity;
}

std::string hex(uint64_t identity) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(identity));
    return text;
}

// The identity sees walls, floor and targets, wherever the crates and the
// player stand and whatever the level is called.
TEST(LevelIdentity, FollowsALevelAcrossNamesPositionsAndFiles) {
    const std::string start = "; Első\n#####\n#@$.#\n#####\n";
    // The rows "#####", "#  .#" and "#####" joined by line feeds, hashed.
    EXPECT_EQ(hex(identityOf(start)), "64ea1d1225634ba9");
    struct Case {
        const char* label;
        std::string text;
        bool same;
    };
    const Case cases[] = {
        {"renamed", "; Más név\n#####\n#@$.#\n#####\n", true},
        {"saved solved", "; Első\n#####\n# @*#\n#####\n", true},
        {"player on the target", "; Első\n#####\n#$ +#\n#####\n", true},
        {"in another file, among others", "; A\n###\n#@#\n###\n\n; Első\n#####\n#@$.#\n#####\n", false},
        {"a wall changed", "; Első\n#####\n#@$.##\n#####\n", false},
        {"a target moved", "; Első\n#####\n#.$@#\n#####\n", false},
        {"no target", "; Első\n#####\n#@$ #\n#####\n", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(identityOf(c.text) == identityOf(start), c.same) << c.label;
    }
    // The same level second in another file is still the same level.
    Level* both = levelsFromText(cases[3].text);
    ASSERT_EQ(countLevels(both), 2);
    EXPECT_EQ(levelIdentity(both->next), identityOf(start));
    unloadLevel(both);
    // Trailing floor counts: the rows are taken at the level's full width.
    EXPECT_NE(identityOf("#####\n#@$.\n#####\n"), identityOf("####\n#@$.\n####\n"));
}

// A corridor with room behind the player: solved by "RR" after any walk.
const std::string corridor = "; Folyosó\n########\n#  @$ .#\n########\n";

// Keeps the first start of the level of `text` in the file; its identity.
uint64_t keepStart(const std::string& path, const std::string& text) {
    Level* level = levelsFromText(text);
    uint64_t identity = levelIdentity(level);
    recordStart(path, identity, startRows(level));
    unloadLevel(level);
    return identity;
}

TEST_F(ResultsFile, TheFirstWinMakesTheFileAndBetterWinsReplaceTheirKind) {
    EXPECT_TRUE(readResults(path).empty()) << "no file yet";
    uint64_t level = keepStart(path, corridor);
    std::string first = readFile(path);
    EXPECT_EQ(first[0], '#') << "the columns explained first";
    EXPECT_NE(first.find(hex(level) + " S ########|#  @$ .#|########\n"), std::string::npos);
    ASSERT_TRUE(recordWin(path, level, Win{6, 2, "llrrRR"}));
    struct Step {
        const char* label;
        Win win;
        bool written;
        int moves;  // of the best after it
    };
    const Step steps[] = {
        {"fewer moves", {4, 2, "lrRR"}, true, 4},
        {"worse", {6, 2, "llrrRR"}, false, 4},
        {"as good", {4, 2, "lrRR"}, false, 4},
        {"the fewest", {2, 2, "RR"}, true, 2},
    };
    for (const Step& step : steps) {
        std::string before = readFile(path);
        EXPECT_EQ(recordWin(path, level, step.win), step.written) << step.label;
        if (!step.written) {
            EXPECT_EQ(readFile(path), before) << step.label;
        }
        Results results = readResults(path);
        EXPECT_EQ(results[level].byPushes.moves, step.moves) << step.label;
        EXPECT_EQ(results[level].byMoves.moves, step.moves) << step.label;
    }
    EXPECT_FALSE(recordStart(path, level, "########|# @ $ .#|########")) << "the first start is kept once";
    // One line of each kind, however often they were beaten.
    std::string text = readFile(path);
    size_t lines = 0;
    for (size_t at = text.find(hex(level) + " "); at != std::string::npos; at = text.find(hex(level) + " ", at + 1)) {
        lines++;
    }
    EXPECT_EQ(lines, 3u);
    EXPECT_EQ(folderListing(dir + "/boxtolo"), std::set<std::string>{"eredmenyek.txt"}) << "nothing left beside it";
}

// A first start is added at the end of the file as it is, not by writing
// the file anew (a file of tens of megabytes would take seconds); a last
// line left unended stays a line of its own, and a start the file knows,
// also with CRLF line ends, is not added again.
TEST_F(ResultsFile, FirstStartsAreAppended) {
    Level* level = levelsFromText(corridor);
    const std::string line = hex(levelIdentity(level)) + " S " + startRows(level) + "\n";
    struct Case {
        const char* label;
        std::string before;
        std::string after;  // empty: as before
    };
    const Case cases[] = {
        {"after the last line", "# saját\n", "# saját\n" + line},
        {"after a line left unended", "# saját", "# saját\n" + line},
        {"known already", "# saját\n" + line, ""},
        {"known, with CRLF line ends", "# saját\r\n" + line.substr(0, line.size() - 1) + "\r\n", ""},
        {"not known from inside another line", "# " + line, "# " + line + line},
    };
    ASSERT_EQ(mkdir((dir + "/boxtolo").c_str(), 0755), 0);
    for (const Case& c : cases) {
        writeFile(path, c.before);
        struct stat before {};
        ASSERT_EQ(stat(path.c_str(), &before), 0);
        EXPECT_EQ(recordStart(path, levelIdentity(level), startRows(level)), !c.after.empty()) << c.label;
        EXPECT_EQ(readFile(path), c.after.empty() ? c.before : c.after) << c.label;
        struct stat after {};
        ASSERT_EQ(stat(path.c_str(), &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino) << c.label << ": the same file, not one written anew";
    }
    unloadLevel(level);
}

// A best is one played from the level's first start without a hint, and
// the file's word for it is believed only when it replays from there; any
// other win counts as solved (H) and never as a best.
TEST_F(ResultsFile, OnlyWinsFromTheFirstStartAreBests) {
    // The player starts on a target: a win must cover it too.
    const std::string onTarget = "; Célon\n#######\n#+$ $.#\n#     #\n#######\n";
    struct Case {
        const char* label;
        bool start;               // the first start is known
        std::string handWritten;  // a line already in the file, after the start
        Win win;
        bool hinted;
        bool best;  // the win counts as the best by pushes
        bool solved;
        const std::string& level = corridor;
    };
    const Case cases[] = {
        {"from the first start", true, "", {2, 2, "RR"}, false, true, true},
        {"with a hint", true, "", {2, 2, "RR"}, true, false, true},
        {"from a stored position", true, "", {1, 1, "R"}, false, false, true},
        {"with no first start known", false, "", {2, 2, "RR"}, false, false, true},
        {"a hand-written best that does not replay gives way", true, " P 1 0 l", {4, 2, "lrRR"}, false, true, true},
        {"and is not believed before", true, " P 1 0 l", {0, 0, ""}, false, false, false},
        {"a push letter for a walk is no replay", true, " P 4 3 LrRR", {0, 0, ""}, false, false, false},
        {"the target under the player at the start left open", true, " P 5 1 drruR", {0, 0, ""}, false, false, false,
         onTarget},
    };
    for (const Case& c : cases) {
        removeTree(dir + "/boxtolo");
        Level* level = levelsFromText(c.level);
        uint64_t identity = levelIdentity(level);
        if (c.start) {
            recordStart(path, identity, startRows(level));
        }
        unloadLevel(level);
        if (!c.handWritten.empty()) {
            writeFile(path, readFile(path) + hex(identity) + c.handWritten + "\n");
        }
        if (c.win.moves > 0) {
            recordWin(path, identity, c.win, c.hinted);
        }
        Results results = readResults(path);
        EXPECT_EQ(results[identity].byPushesKnown, c.best) << c.label;
        EXPECT_EQ(results[identity].byMovesKnown, c.best) << c.label;
        EXPECT_EQ(results[identity].solved(), c.solved) << c.label;
        if (c.best) {
            EXPECT_EQ(results[identity].byPushes.solution, c.win.solution) << c.label;
        }
    }
}

// Two records of one kind for a level (two games, a hand edit): the better
// one counts, wherever it stands in the file; a first start whose walls
// and targets are not its identity's is not believed.
TEST_F(ResultsFile, TheBetterOfTwoRecordsOfAKindCounts) {
    uint64_t level = keepStart(path, corridor);
    std::string start = readFile(path);
    const std::string worse = hex(level) + " P 4 2 lrRR\n" + hex(level) + " M 4 2 lrRR\n";
    const std::string better = hex(level) + " P 2 2 RR\n" + hex(level) + " M 2 2 RR\n";
    std::string crlf;
    for (char c : start + better + worse) {
        crlf += c == '\n' ? "\r\n" : std::string(1, c);
    }
    for (const std::string& text : {start + worse + better, start + better + worse, crlf}) {
        writeFile(path, text);
        Results results = readResults(path);
        EXPECT_EQ(results[level].byPushes.solution, "RR") << text;
        EXPECT_EQ(results[level].byMoves.solution, "RR") << text;
    }
    writeFile(path, hex(level) + " S ########|#  @$. #|########\n" + better);
    EXPECT_FALSE(readResults(path)[level].solved()) << "a start of other targets";
    // Of two first starts of a level, the first counts: "RR" replays only
    // from the corridor's own.
    const std::string own = hex(level) + " S ########|#  @$ .#|########\n";
    const std::string other = hex(level) + " S ########|# @ $ .#|########\n";
    writeFile(path, other + own + better);
    EXPECT_FALSE(readResults(path)[level].byPushesKnown) << "the first start is the other";
    writeFile(path, own + other + better);
    EXPECT_TRUE(readResults(path)[level].byPushesKnown) << "the first start is the corridor's own";
}

// A win that would make the file larger than the game reads is not
// written: the file stays whole and readable.
TEST_F(ResultsFile, AWinNeverGrowsTheFilePastWhatTheGameReads) {
    ASSERT_EQ(mkdir((dir + "/boxtolo").c_str(), 0755), 0);
    const size_t limit = 64u << 20;
    const std::string record = "00000000000000aa H 2 1 lR\n00000000000000aa H 3 1 llR\n";
    std::string comment = "# " + std::string((1u << 20) - 100, 'x') + "\n";
    std::string text;
    while (text.size() + comment.size() < limit - record.size()) {
        text += comment;
    }
    text += "# " + std::string(limit - record.size() - text.size() - 3, 'y') + "\n" + record;
    ASSERT_EQ(text.size(), limit);
    writeFile(path, text);
    EXPECT_FALSE(recordWin(path, 0xbb, Win{1, 1, "R"})) << "no room for another line";
    EXPECT_EQ(readFile(path).size(), limit);
    EXPECT_EQ(readResults(path).size(), 1u) << "still read whole";
    EXPECT_TRUE(recordWin(path, 0xaa, Win{1, 1, "R"})) << "records replaced by a shorter one still fit";
}

// Lines the game does not understand are skipped when reading and kept as
// they are when writing.
TEST_F(ResultsFile, DamagedAndForeignLinesAreSkippedAndKept) {
    const std::string good = "00000000000000aa H 2 1 lR";
    const char* const others[] = {
        "# a comment of the player's",
        "00000000000000BB P 2 1 lR",         // upper-case identity
        "00000000000000bb X 2 1 lR",         // no such kind
        "00000000000000bb P 3 1 lR",         // moves that do not match
        "00000000000000bb P 2 2 lR",         // pushes that do not match
        "00000000000000bb P 2 1 lx",         // not a move
        "00000000000000bb P 02 1 lR",        // a leading zero
        "00000000000000bb P 0 0 ",           // no moves
        "0000000000000bb P 2 1 lR",          // fifteen digits
        "00000000000000bb S #@$.#",          // a start of another level
        "00000000000000bb Q 2 1 lR",         // no such kind
        "valami egészen más",
        "",
    };
    std::string text = good + "\n";
    for (const char* other : others) {
        text += std::string(other) + "\n";
    }
    std::string overlong = "00000000000000cc P 2000000 1000000 " + std::string(1000000, 'R') + std::string(1000000, 'l');
    text += overlong + "\n";
    ASSERT_EQ(mkdir((dir + "/boxtolo").c_str(), 0755), 0);
    writeFile(path, text);

    Results results = readResults(path);
    EXPECT_EQ(results.size(), 1u) << "only the good line is a record";
    EXPECT_EQ(results[0xaa].helped.solution, "lR");

    ASSERT_TRUE(recordWin(path, 0xdd, Win{1, 1, "U"}));
    std::string written = readFile(path);
    EXPECT_EQ(written.substr(0, text.size()), text) << "every line before stays as it was, in order";
    EXPECT_EQ(written.substr(text.size()), "00000000000000dd H 1 1 U\n") << "no first start: solved, no best";
}

// A file that cannot be read, or a folder that cannot be made, loses no
// record and stops nothing: the win is simply not kept.
TEST_F(ResultsFile, NoFileOrFolderStopsNothing) {
    writeFile(dir + "/boxtolo", "a file where the folder would be");
    EXPECT_FALSE(recordWin(path, 1, Win{1, 1, "R"}));
    EXPECT_TRUE(readResults(path).empty());
    EXPECT_FALSE(recordWin("", 1, Win{1, 1, "R"}));
    EXPECT_TRUE(readResults("").empty());
    removeTree(dir + "/boxtolo");
    ASSERT_EQ(mkdir((dir + "/boxtolo").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(path.c_str(), 0755), 0) << "a folder where the file would be";
    EXPECT_FALSE(recordWin(path, 1, Win{1, 1, "R"}));
    EXPECT_TRUE(readResults(path).empty());
}

// Two games winning at once: each write merges with what the other wrote.
TEST_F(ResultsFile, TwoGamesWritingAtOnceLoseNothing) {
    constexpr int winsEach = 60;
    pid_t children[2];
    for (int game = 0; game < 2; game++) {
        children[game] = fork();
        if (children[game] == 0) {
            bool all = true;
            for (int i = 0; i < winsEach; i++) {
                all = recordWin(path, static_cast<uint64_t>(game * 1000 + i), Win{1, 1, "L"}) && all;
            }
            _exit(all ? 0 : 1);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    Results results = readResults(path);
    EXPECT_EQ(results.size(), static_cast<size_t>(2 * winsEach));
}

TEST_F(ResultsFile, TheOptimumIsMatchedByIdentity) {
    std::string solutions = dir + "/palyak.solutions";
    writeFile(solutions,
              "# name\tpushes\tpositions searched\tmoves\tidentity\n"
              "Első\t1\t1\tR\t64ea1d1225634ba9\n"
              "Régi sor, azonosító nélkül\t4\t9\tRRRR\n"
              "Hibás\t3\t1\tRRR\tnem-azonosito\n");
    std::unordered_map<uint64_t, int> optimum = readOptimum(solutions);
    EXPECT_EQ(optimum.size(), 1u);
    EXPECT_EQ(optimum[identityOf("; Akármi\n#####\n# @*#\n#####\n")], 1);
    EXPECT_TRUE(readOptimum(dir + "/nincs").empty());
}

}  // namespace
