#include <dirent.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "file.h"
#include "harness.h"

namespace {

struct ExpectedLevel {
    std::string name;
    std::vector<std::string> rows;
};

struct ReadCase {
    const char* label;
    std::string bytes;
    int code;
    std::vector<ExpectedLevel> levels;
};

class LevelFile : public ::testing::Test {
  protected:
    void SetUp() override { dir = makeTempDir(); }
    void TearDown() override { removeTree(dir); }

    LoadLevelResult load(const std::string& bytes) {
        writeFile(path(), bytes);
        return loadLevel(path().data());
    }
    std::string path() const { return dir + "/levels.txt"; }

    std::string dir;
};

void expectLevels(const Level* level, const std::vector<ExpectedLevel>& expected, const char* label) {
    EXPECT_EQ(countLevels(level), static_cast<int>(expected.size())) << label;
    const Level* previous = nullptr;
    for (const ExpectedLevel& want : expected) {
        if (level == nullptr) {
            return;
        }
        EXPECT_EQ(level->prev, previous) << label;
        EXPECT_EQ(std::string(level->name), want.name) << label;
        EXPECT_EQ(levelRows(level), want.rows) << label;
        previous = level;
        level = level->next;
    }
}

TEST_F(LevelFile, ReaderCases) {
    const std::string row19(19, '#');
    const std::string row64(64, '#');
    const std::string row65(65, '#');
    std::string rows64, rows65;
    for (int i = 0; i < 64; i++) {
        rows64 += "###\n";
    }
    rows65 = rows64 + "###\n";
    const std::vector<ReadCase> cases = {
        {"two levels, no empty line after the last", "; A\n#####\n#@$.#\n#####\n\n; B\n###\n#@#\n###",
         0,
         {{"A", {"#####", "#@$.#", "#####"}}, {"B", {"###", "#@#", "###"}}}},
        {"several empty lines and comments add no levels", "\n\nkomment\n; A\n###\n\n\n\n###\n\n",
         0,
         {{"A", {"###"}}, {"", {"###"}}}},
        {"three spaces are a floor row, two spaces end the level", "###\n   \n###\n  \n###\n",
         0,
         {{"", {"###", "   ", "###", "   "}}, {"", {"###"}}}},
        {"short rows are padded with floor", "#####\n#@$\n####\n", 0, {{"", {"#####", "#@$  ", "#### "}}}},
        {"CR LF reads like LF", "; A\r\n###\r\n#@#\r\n###\r\n\r\n; B\r\n###\r\n", 0,
         {{"A", {"###", "#@#", "###"}}, {"B", {"###"}}}},
        {"name without a space", ";Név\n###\n", 0, {{"Név", {"###"}}}},
        {"name with two spaces keeps one", ";  x\n###\n", 0, {{" x", {"###"}}}},
        {"a name line of two bytes is a separator", "; \n###\n;x\n###\n", 0, {{"", {"###"}}, {"", {"###"}}}},
        {"a name line after the rows renames and continues", "; A\n###\n; B\n#.#\n", 0,
         {{"B", {"###", "#.#"}}}},
        {"a row of 19 cells is stored", row19 + "\n", 0, {{"", {row19}}}},
        {"a row of 64 cells is stored", row64 + "\n#\n", 0, {{"", {row64, "#" + std::string(63, ' ')}}}},
        {"a row of 65 cells drops its level only", "; A\n###\n\n; B\n" + row65 + "\n###\n\n; C\n#.#\n", 4,
         {{"A", {"###"}}, {"C", {"#.#"}}}},
        {"sixty-four rows are stored", rows64, 0, {{"", std::vector<std::string>(64, "###")}}},
        {"sixty-five rows drop the level", "; A\n" + rows65 + "\n; B\n#.#\n", 4, {{"B", {"#.#"}}}},
        {"floor marked - or _ inside a row", "#-_ #\n#@$.#\n", 0, {{"", {"#   #", "#@$.#"}}}},
        {"a line starting with - or _ is no row", "-###\n_###\n###\n", 0, {{"", {"###"}}}},
        {"a tab in a stored row refuses the file", "; A\n###\n\n#\t#\n", 3, {}},
        {"a letter in a stored row refuses the file", "###\n#a#\n", 3, {}},
        {"a NUL in a stored row refuses the file", std::string("###\n#\0#\n", 8), 3, {}},
        {"a bad byte in a too long row is not examined", "#########x" + row64 + "\n###\n", 4, {}},
        {"lines starting with other bytes are skipped", "x###\n1###\n\t###\n###\n", 0, {{"", {"###"}}}},
        {"a NUL ends a name and a CR before it goes too", std::string("; ab\r\0zz\n###\n", 13), 0,
         {{"ab", {"###"}}}},
        {"no rows at all", "; csak név\nkomment\n", 0, {}},
        {"empty file", "", 0, {}},
        {"one and two cell rows end their level", "; A\n#\n#\n##\n", 0, {{"A", {"#"}}, {"", {"#"}}, {"", {"##"}}}},
        {"every cell past the sixteenth is read", "#@$.*+ ##########.\n#################\n", 0,
         {{"", {"#@$.*+ ##########.", "################# "}}}},
        {"a bad byte as the seventeenth cell refuses the file", "################x\n", 3, {}},
        {"a bad byte as the nineteenth cell refuses the file", "; A\n###\n\n" + std::string(18, '#') + "?\n", 3, {}},
        // Reads are 64 KB: rows lying at the very end of one, and across two.
        {"a row ending where a read ends", std::string(65529, 'x') + "\n#@$.#\n###\n", 0,
         {{"", {"#@$.#", "###  "}}}},
        {"a row across two reads", std::string(65532, 'x') + "\n" + row19 + "\n#.  #\n", 0,
         {{"", {row19, "#.  #              "}}}},
    };
    for (const ReadCase& c : cases) {
        LoadLevelResult loaded = load(c.bytes);
        EXPECT_EQ(loaded.result, c.code) << c.label;
        expectLevels(loaded.level, c.levels, c.label);
        unloadLevel(loaded.level);
    }
}

TEST_F(LevelFile, WriterBytesAreExact) {
    LoadLevelResult loaded = load(";Ab\n#####\n#@$.#\n#*+ #\n###\n\n###\n");
    ASSERT_EQ(loaded.result, 0);
    ASSERT_TRUE(saveLevel(loaded.level, const_cast<char*>(path().c_str())));
    EXPECT_EQ(readFile(path()), "; Ab\n#####\n#@$.#\n#*+ #\n###  \n\n; \n###\n\n");
    unloadLevel(loaded.level);

    ASSERT_TRUE(saveLevel(nullptr, const_cast<char*>(path().c_str())));
    EXPECT_EQ(readFile(path()), "");
    unloadLevel(nullptr);
}

TEST_F(LevelFile, WhatIsWrittenReadsBackTheSame) {
    std::string original =
        "; Első\n#######\n#.$@  #\n#######\n\n;\n\n; Egysoros\n#@$.\n\n;Széles\n" + std::string(19, '#') +
        "\n#" + std::string(17, ' ') + "#\n#@$." + std::string(14, ' ') + "#\n" + std::string(19, '#') + "\n";
    // Levels of every size the game keeps, from 1 x 1 to 64 x 64.
    const Coordinates sizes[] = {{1, 1}, {2, 1}, {3, 3}, {20, 12}, {64, 1}, {3, 64}, {64, 64}};
    for (Coordinates size : sizes) {
        original += "\n; " + std::to_string(size.x) + "x" + std::to_string(size.y) + "\n";
        for (int y = 0; y < size.y; y++) {
            std::string row(static_cast<size_t>(size.x), (y + size.x) % 3 == 0 ? '#' : ' ');
            row[0] = y == 0 ? '@' : '#';
            row[static_cast<size_t>(size.x - 1)] = size.x > 1 ? '.' : row[0];
            original += row + "\n";
        }
    }
    LoadLevelResult first = load(original);
    ASSERT_EQ(first.result, 0);
    ASSERT_EQ(countLevels(first.level), 10);
    ASSERT_TRUE(saveLevel(first.level, const_cast<char*>(path().c_str())));
    LoadLevelResult second = loadLevel(const_cast<char*>(path().c_str()));
    ASSERT_EQ(second.result, 0);
    const Level* a = first.level;
    const Level* b = second.level;
    for (; a != nullptr && b != nullptr; a = a->next, b = b->next) {
        EXPECT_STREQ(a->name, b->name);
        EXPECT_EQ(levelRows(a), levelRows(b));
    }
    EXPECT_EQ(a, nullptr);
    EXPECT_EQ(b, nullptr);
    unloadLevel(first.level);
    unloadLevel(second.level);
}

// Lines longer than the 64-byte buffer used to be read as several lines.
TEST_F(LevelFile, LongLinesAreOneLine) {
    // 61 ASCII bytes and a two-byte letter: a 63-byte name.
    std::string name63 = std::string(61, 'n') + "ő";
    ASSERT_EQ(name63.size(), 63u);
    LoadLevelResult loaded = load("; " + name63 + "\n###\n#@#\n###\n");
    ASSERT_EQ(loaded.result, 0);
    ASSERT_EQ(countLevels(loaded.level), 1);
    EXPECT_EQ(std::string(loaded.level->name), name63);
    ASSERT_TRUE(saveLevel(loaded.level, const_cast<char*>(path().c_str())));
    unloadLevel(loaded.level);
    loaded = loadLevel(const_cast<char*>(path().c_str()));
    ASSERT_EQ(loaded.result, 0);
    ASSERT_EQ(countLevels(loaded.level), 1);
    EXPECT_EQ(std::string(loaded.level->name), name63);
    unloadLevel(loaded.level);

    // Names past 63 bytes are cut before a character that does not fit whole.
    loaded = load("; " + std::string(62, 'a') + "őz tail . A\n###\n");
    ASSERT_EQ(loaded.result, 0);
    ASSERT_EQ(countLevels(loaded.level), 1);
    EXPECT_EQ(std::string(loaded.level->name), std::string(62, 'a'));
    unloadLevel(loaded.level);

    // A 200-byte comment whose 64th byte would have started a row.
    std::string comment = "megjegyzés " + std::string(52, '-') + " . #" + std::string(200, '-');
    loaded = load(comment + "\n; A\n###\n#@#\n");
    ASSERT_EQ(loaded.result, 0);
    expectLevels(loaded.level, {{"A", {"###", "#@#"}}}, "long comment");
    unloadLevel(loaded.level);

    // A very long row is too long, whatever its bytes.
    loaded = load("###\n\n" + std::string(100000, '#') + "x\n");
    EXPECT_EQ(loaded.result, 4);
    EXPECT_EQ(countLevels(loaded.level), 1);
    unloadLevel(loaded.level);
}

// A level whose every row is too wide used to pass its width and name on;
// the first level left out is named, with its place and how many more.
TEST_F(LevelFile, ALevelTooLargeIsNamedAndDoesNotSwallowTheNext) {
    const std::string wide = std::string(65, '#') + "\n";
    struct Case {
        const char* label;
        std::string bytes;
        int count, place;
        const char* name;
        const char* question;  // its second line
    };
    const Case cases[] = {
        {"wide, then good", "; Széles\n" + wide + wide + "\n; Jó\n###\n#@#\n###\n", 1, 0, "Széles",
         "Kimarad: 1. szint (\xE2\x80\x9ESzéles\xE2\x80\x9D)"},
        {"the third of four, nameless, and one more", "###\n\n###\n\n" + wide + "\n; Jó\n###\n\n" + wide, 2, 2, "",
         "Kimarad: 3. szint és még 1"},
        {"a long name is cut", "; " + std::string(40, 'n') + "\n" + wide, 1, 0, nullptr,
         "Kimarad: 1. szint (\xE2\x80\x9E" "nnnnnnnnnnnnnnnnnnnnnnnn\xE2\x80\xA6\xE2\x80\x9D)"},
    };
    for (const Case& c : cases) {
        LoadLevelResult loaded = load(c.bytes);
        EXPECT_EQ(loaded.result, 4) << c.label;
        EXPECT_EQ(loaded.skippedCount, c.count) << c.label;
        EXPECT_EQ(loaded.skippedLevel, c.place) << c.label;
        if (c.name != nullptr) {
            EXPECT_STREQ(loaded.skippedName, c.name) << c.label;
        }
        EXPECT_EQ(tooLargeQuestion(loaded), std::string("Néhány szint túl nagy. Biztosan megnyitod?\n") + c.question)
            << c.label;
        for (const Level* level = loaded.level; level != nullptr; level = level->next) {
            EXPECT_LE(level->size.x, 3) << c.label;
        }
        unloadLevel(loaded.level);
    }
}

TEST_F(LevelFile, NonRegularFilesAreRefusedAtOnce) {
    std::string fifo = dir + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string names[] = {fifo, dir, "/dev/zero", "/dev/null", dir + "/missing"};
    for (const std::string& name : names) {
        auto start = std::chrono::steady_clock::now();
        LoadLevelResult loaded = loadLevel(const_cast<char*>(name.c_str()));
        auto took = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(loaded.result, 1) << name;
        EXPECT_EQ(loaded.level, nullptr) << name;
        EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(took).count(), 1000) << name;
    }
}

// The file a save has open for writing, other than the target itself: its
// temporary file, named or not.
bool writingBeside(pid_t pid, const std::string& dir, const std::string& target) {
    std::string fds = "/proc/" + std::to_string(pid) + "/fd";
    DIR* d = opendir(fds.c_str());
    if (d == nullptr) {
        return false;
    }
    bool found = false;
    while (dirent* entry = readdir(d)) {
        char link[4096];
        ssize_t length = readlink((fds + "/" + entry->d_name).c_str(), link, sizeof link - 1);
        if (length > 0) {
            std::string path(link, static_cast<size_t>(length));
            found = found || (path.rfind(dir + "/", 0) == 0 && path != target);
        }
    }
    closedir(d);
    return found;
}

// A save killed while it writes must leave nothing beside the file, which
// holds either what was there or the new levels.
TEST_F(LevelFile, ASaveKilledWhileWritingLeavesNothingBehind) {
    const std::string before = "; Régi\n#####\n#@$.#\n#####\n\n";
    std::string big;
    for (int i = 0; i < 20000; i++) {
        big += "; Szint\n###################\n#@$.              #\n###################\n\n";
    }
    writeFile(dir + "/big.txt", big);
    LoadLevelResult many = loadLevel(const_cast<char*>((dir + "/big.txt").c_str()));
    ASSERT_EQ(many.result, 0);
    ASSERT_EQ(unlink((dir + "/big.txt").c_str()), 0);
    writeFile(path(), before);
    pid_t child = fork();
    if (child == 0) {
        for (;;) {
            saveLevel(many.level, const_cast<char*>(path().c_str()));
        }
    }
    unloadLevel(many.level);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    bool caught = false;
    while (!caught && std::chrono::steady_clock::now() < deadline) {
        caught = writingBeside(child, dir, path());
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    ASSERT_TRUE(caught) << "the save was never seen writing";
    EXPECT_EQ(folderListing(dir), std::set<std::string>{"levels.txt"});
    std::string after = readFile(path());
    EXPECT_TRUE(after == before || after == big) << "the file is whole";
}

// What killed saves left behind is cleared from a folder when the game
// starts there, whatever file it belonged to; nothing else is touched.
TEST_F(LevelFile, StaleSavesOfDeadGamesAreCleared) {
    const std::string dead = std::to_string(deadPid());
    struct Case {
        std::string name;
        bool removed;
    };
    const Case cases[] = {
        {".szintek.txt." + dead + ".0.tmp", true},
        {".eredmenyek.txt." + dead + ".12.tmp", true},
        {".a.b c." + dead + ".1.tmp", true},
        {".szintek.txt.1.0.tmp", false},  // pid 1 runs
        {".szintek.txt." + dead + ".tmp", false},
        {"szintek.txt." + dead + ".0.tmp", false},
        {".." + dead + ".0.tmp", false},
        {".szintek.txt." + dead + ".0.tmp.bak", false},
        {"szintek.txt", false},
    };
    for (const Case& c : cases) {
        writeFile(dir + "/" + c.name, "x");
    }
    ASSERT_EQ(mkdir((dir + "/.mappa." + dead + ".0.tmp").c_str(), 0755), 0);
    removeStaleSaves(dir.c_str());
    for (const Case& c : cases) {
        EXPECT_EQ(fileExists(dir + "/" + c.name), !c.removed) << c.name;
    }
    EXPECT_TRUE(fileExists(dir + "/.mappa." + dead + ".0.tmp")) << "a folder stays";
}

TEST_F(LevelFile, SavingNeverDamagesWhatWasThere) {
    const std::string before = "; Régi\n#####\n#@$.#\n#####\n\n";
    writeFile(path(), before);
    ASSERT_EQ(chmod(path().c_str(), 0640), 0);
    LoadLevelResult loaded = load(before);
    ASSERT_EQ(loaded.result, 0);

    // A size limit makes the write fail half-way, in a child so the limit
    // stays there.
    std::string big;
    for (int i = 0; i < 2000; i++) {
        big += "; Szint\n###################\n#@$.              #\n###################\n\n";
    }
    writeFile(dir + "/big.txt", big);
    LoadLevelResult many = loadLevel(const_cast<char*>((dir + "/big.txt").c_str()));
    ASSERT_EQ(many.result, 0);
    pid_t child = fork();
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(saveLevel(many.level, const_cast<char*>(path().c_str())) ? 1 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the save must report failure";
    EXPECT_EQ(readFile(path()), before);
    unloadLevel(many.level);

    // Nothing is left behind but the file itself.
    std::string listing;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* entry = readdir(d)) {
            listing += std::string(entry->d_name) + " ";
        }
        closedir(d);
    }
    EXPECT_EQ(listing.find(".tmp"), std::string::npos) << listing;

    // A good save keeps the permission bits and writes through a link.
    std::string link = dir + "/link.txt";
    ASSERT_EQ(symlink("levels.txt", link.c_str()), 0);
    ASSERT_TRUE(saveLevel(loaded.level, const_cast<char*>(link.c_str())));
    struct stat info;
    ASSERT_EQ(lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    ASSERT_EQ(stat(path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(readFile(path()), "; Régi\n#####\n#@$.#\n#####\n\n");

    // Names that cannot be written report failure.
    EXPECT_FALSE(saveLevel(loaded.level, const_cast<char*>((dir + "/no/such/dir.txt").c_str())));
    EXPECT_FALSE(saveLevel(loaded.level, const_cast<char*>(dir.c_str())));
    EXPECT_FALSE(saveLevel(loaded.level, const_cast<char*>("")));
    unloadLevel(loaded.level);
}

}  // namespace
