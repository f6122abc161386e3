#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "harness.h"

namespace {

struct GameRun {
    int status;
    std::string output;
};

// Runs the built game in `dir` under the given video driver and returns its
// exit status and standard output.
GameRun runGame(const std::string& dir, const char* videoDriver) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        return {-1, ""};
    }
    pid_t child = fork();
    if (child == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        close(pipeFds[0]);
        close(pipeFds[1]);
        if (chdir(dir.c_str()) != 0) {
            _exit(100);
        }
        if (videoDriver != nullptr) {
            setenv("SDL_VIDEODRIVER", videoDriver, 1);
        } else {
            // No display at all, and no driver asked for.
            unsetenv("SDL_VIDEODRIVER");
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
        }
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        execl(BOXTOLO_BINARY, BOXTOLO_BINARY, "ignored-argument", static_cast<char*>(nullptr));
        _exit(101);
    }
    close(pipeFds[1]);
    // A game that does not end within the deadline (one that runs where no
    // one sees it) is stopped and reported as status -1.
    std::string output;
    char buffer[256];
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    pollfd readable{pipeFds[0], POLLIN, 0};
    while (std::chrono::steady_clock::now() < deadline) {
        if (poll(&readable, 1, 100) <= 0) {
            continue;
        }
        ssize_t got = read(pipeFds[0], buffer, sizeof buffer);
        if (got <= 0) {
            break;
        }
        output.append(buffer, static_cast<size_t>(got));
    }
    close(pipeFds[0]);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

void copyAsset(const std::string& name, const std::string& dir) {
    writeFile(dir + "/" + name, readFile(std::string(BOXTOLO_BUILD_DIR) + "/" + name));
}

TEST(Startup, ReportsEachMissingPieceWithItsOwnLineAndStatus) {
    struct Case {
        const char* label;
        const char* driver;
        bool withTiles;
        bool withFont;
        int status;
        const char* line;
    };
    const Case cases[] = {
        {"no video", "no-such-driver", true, true, 1, "ERROR: Couldn't initialize SDL\n"},
        {"no display", nullptr, true, true, 1, "ERROR: Couldn't initialize SDL\n"},
        {"nothing", "dummy", false, false, 2, "ERROR: Couldn't load tiles texture\n"},
        {"font only", "dummy", false, true, 2, "ERROR: Couldn't load tiles texture\n"},
        {"tiles only", "dummy", true, false, 3, "ERROR: Couldn't open font\n"},
    };
    for (const Case& c : cases) {
        std::string dir = makeTempDir();
        if (c.withTiles) {
            copyAsset("tiles.png", dir);
        }
        if (c.withFont) {
            copyAsset("font.ttf", dir);
        }
        GameRun run = runGame(dir, c.driver);
        EXPECT_EQ(run.status, c.status) << c.label;
        EXPECT_EQ(run.output, c.line) << c.label;
        removeTree(dir);
    }
}

TEST(Startup, AnUnreadableTilesetIsReportedLikeAMissingOne) {
    std::string dir = makeTempDir();
    writeFile(dir + "/tiles.png", "not an image");
    copyAsset("font.ttf", dir);
    GameRun run = runGame(dir, "dummy");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.output, "ERROR: Couldn't load tiles texture\n");
    removeTree(dir);
}

// A save under a file-size limit must fail with a message, not kill the game
// with SIGXFSZ: the running game ignores that signal.
TEST(Startup, TheGameIgnoresTheFileSizeSignal) {
    std::string dir = makeTempDir();
    copyAsset("tiles.png", dir);
    copyAsset("font.ttf", dir);
    pid_t child = fork();
    if (child == 0) {
        if (chdir(dir.c_str()) != 0) {
            _exit(100);
        }
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        execl(BOXTOLO_BINARY, BOXTOLO_BINARY, static_cast<char*>(nullptr));
        _exit(101);
    }
    // The menu waits for events for ever: look at the game while it waits.
    bool ignored = false;
    for (int tries = 0; tries < 200 && !ignored; tries++) {
        std::string status = readFile("/proc/" + std::to_string(child) + "/status");
        size_t at = status.find("SigIgn:");
        if (at != std::string::npos && status.find("boxtolo") != std::string::npos) {
            unsigned long long mask = std::stoull(status.substr(at + 7), nullptr, 16);
            ignored = (mask >> (SIGXFSZ - 1)) & 1;
        }
        usleep(10000);
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_TRUE(ignored);
    removeTree(dir);
}

}  // namespace
