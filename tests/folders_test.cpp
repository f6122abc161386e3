#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "folders.h"
#include "harness.h"

namespace {

class Folders : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = makeTempDir();
        char here[4096];
        ASSERT_NE(getcwd(here, sizeof here), nullptr);
        previous = here;
        const char* home = std::getenv("HOME");
        const char* data = std::getenv("XDG_DATA_HOME");
        oldHome = home != nullptr ? home : "";
        oldData = data != nullptr ? data : "";
    }
    void TearDown() override {
        EXPECT_EQ(chdir(previous.c_str()), 0);
        setenv("HOME", oldHome.c_str(), 1);
        setenv("XDG_DATA_HOME", oldData.c_str(), 1);
        removeTree(dir);
    }
    std::string dir, previous, oldHome, oldData;
};

// The desktop's menu starts a game in the home folder: it is known by the
// folder itself, however HOME names it.
TEST_F(Folders, TheHomeFolderIsKnownHoweverItIsNamed) {
    std::string home = dir + "/otthon";
    ASSERT_EQ(mkdir(home.c_str(), 0755), 0);
    ASSERT_EQ(mkdir((dir + "/mashol").c_str(), 0755), 0);
    ASSERT_EQ(symlink(home.c_str(), (dir + "/link").c_str()), 0);
    struct Case {
        const char* label;
        std::string homeVariable;
        std::string workingFolder;
        bool atHome;
    };
    const Case cases[] = {
        {"as it is", home, home, true},
        {"with a slash at its end", home + "/", home, true},
        {"through a symbolic link", dir + "/link", home, true},
        {"another folder", home, dir + "/mashol", false},
        {"the root", home, "/", true},
        {"no such home", dir + "/nincs", home, false},
    };
    for (const Case& c : cases) {
        setenv("HOME", c.homeVariable.c_str(), 1);
        ASSERT_EQ(chdir(c.workingFolder.c_str()), 0) << c.label;
        EXPECT_EQ(startedAtHome(), c.atHome) << c.label;
    }
}

// The data folder follows XDG_DATA_HOME only when it names an absolute
// folder; empty or relative, it counts as unset.
TEST_F(Folders, TheDataFolderTakesOnlyAnAbsoluteXdgDataHome) {
    setenv("HOME", "/otthon", 1);
    struct Case {
        const char* variable;
        const char* folder;
    };
    const Case cases[] = {
        {"/adat", "/adat/boxtolo"},
        {"", "/otthon/.local/share/boxtolo"},
        {"adat", "/otthon/.local/share/boxtolo"},
        {"./adat", "/otthon/.local/share/boxtolo"},
    };
    for (const Case& c : cases) {
        setenv("XDG_DATA_HOME", c.variable, 1);
        EXPECT_EQ(dataFolder(), c.folder) << "XDG_DATA_HOME=" << c.variable;
    }
}

// The bundled levels are copied once and never over the player's; a copy
// that cannot be read whole leaves nothing.
TEST_F(Folders, TheDataFolderGetsTheBundledLevelsOnceAndWhole) {
    std::string share = dir + "/share/";
    ASSERT_EQ(mkdir(share.c_str(), 0755), 0);
    setenv("XDG_DATA_HOME", (dir + "/adat").c_str(), 1);
    std::string copy = dir + "/adat/boxtolo/palyak.txt";

    // A source that cannot be read: a folder of that name.
    ASSERT_EQ(mkdir((share + "palyak.txt").c_str(), 0755), 0);
    EXPECT_EQ(prepareDataFolder(share), dir + "/adat/boxtolo");
    EXPECT_FALSE(fileExists(copy)) << "a failed copy leaves no file";
    ASSERT_EQ(rmdir((share + "palyak.txt").c_str()), 0);

    writeFile(share + "palyak.txt", "; Első\n#####\n#@$.#\n#####\n");
    prepareDataFolder(share);
    EXPECT_EQ(readFile(copy), "; Első\n#####\n#@$.#\n#####\n");
    writeFile(copy, "the player's own progress");
    prepareDataFolder(share);
    EXPECT_EQ(readFile(copy), "the player's own progress") << "never overwritten";
}

}  // namespace
