#include <SDL2/SDL.h>
#include <SDL2/SDL_image.h>
#include <SDL2/SDL_ttf.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "edit.h"
#include "file.h"
#include "menu.h"
#include "play.h"
#include "tiles.h"
#include "window.h"

namespace {

constexpr int fontSize = 50;
// The level number and the move counters beside a level's name.
constexpr int smallFontSize = 28;

// SDL's video drivers that show nothing on any screen.
bool invisibleDriver(const char* driver) {
    return driver != nullptr && (SDL_strcasecmp(driver, "offscreen") == 0 || SDL_strcasecmp(driver, "dummy") == 0);
}

// Without a display SDL quietly falls back to a driver that shows nothing,
// and the game would wait for ever in a window nobody sees. Such a driver is
// only right when it was asked for by name (the tests do).
bool visibleOrRequested() {
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!invisibleDriver(driver)) {
        return true;
    }
    const char* requested = SDL_getenv("SDL_VIDEODRIVER");
    return requested != nullptr && SDL_strcasecmp(requested, driver) == 0;
}

// The bundled level file, offered at the first prompt when it is at hand.
const char* const bundledLevels = "palyak.txt";

bool isFile(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// Where an installed game keeps its pictures, font and bundled levels:
// share/games/boxtolo beside the bin folder that holds the binary (apart
// from the player's own data folder, share/boxtolo, even under ~/.local).
std::string installedShare() {
    char* base = SDL_GetBasePath();
    if (base == nullptr) {
        return std::string();
    }
    std::string share = std::string(base) + "../share/games/boxtolo/";
    SDL_free(base);
    return share;
}

// An asset in the working folder wins, as in the build folder; else the
// installed one; else the plain name, whose failure is the start-up error.
std::string assetPath(const char* name, const std::string& share, bool* installed) {
    if (isFile(name) || share.empty() || !isFile(share + name)) {
        return name;
    }
    *installed = true;
    return share + name;
}

bool makeFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        std::string part = path.substr(0, slash);
        if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
            return false;
        }
        if (slash == std::string::npos) {
            return true;
        }
    }
}

// Copies `from` to `to` unless `to` exists: a player's progress is never
// overwritten.
void copyIfMissing(const std::string& from, const std::string& to) {
    int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        return;
    }
    int out = open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    bool ok = out >= 0;
    char buffer[65536];
    ssize_t got;
    while (ok && (got = read(in, buffer, sizeof buffer)) > 0) {
        ok = write(out, buffer, static_cast<size_t>(got)) == got;
    }
    close(in);
    if (out >= 0) {
        close(out);
        if (!ok) {
            unlink(to.c_str());
        }
    }
}

// An installed game started from the desktop's menu (which starts it in the
// home folder, or in "/") plays in its own data folder, where the bundled
// levels are copied on the first start. Started in any other folder it plays
// there, with the player's own files.
void enterDataFolder(const std::string& share) {
    char here[4096];
    const char* home = std::getenv("HOME");
    if (getcwd(here, sizeof here) == nullptr || home == nullptr || home[0] != '/') {
        return;
    }
    if (std::strcmp(here, "/") != 0 && std::strcmp(here, home) != 0) {
        return;
    }
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    std::string data = (dataHome != nullptr && dataHome[0] == '/') ? std::string(dataHome)
                                                                   : std::string(home) + "/.local/share";
    data += "/boxtolo";
    if (!makeFolders(data) || chdir(data.c_str()) != 0) {
        return;
    }
    copyIfMissing(share + bundledLevels, bundledLevels);
}

// SDL with a driver that shows the game, and the window.
SDL_Renderer* initSDL() {
    if (SDL_Init(SDL_INIT_VIDEO) < 0 || !visibleOrRequested()) {
        return nullptr;
    }
    return openWindow();
}

// Prints the start-up error and, for a player who started the game from a
// desktop menu and sees no terminal, shows it in a box as well, in place of
// the empty game window.
int startupFailure(const char* line, int status, SDL_Renderer* renderer) {
    std::printf("%s\n", line);
    std::fflush(stdout);
    if (SDL_WasInit(SDL_INIT_VIDEO) != 0 && !invisibleDriver(SDL_GetCurrentVideoDriver())) {
        if (renderer != nullptr) {
            SDL_HideWindow(SDL_RenderGetWindow(renderer));
        }
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "Boxtolo", line, nullptr);
    }
    return status;
}

}  // namespace

int main(int, char**) {
    // A file-size limit must make a save fail with EFBIG, not kill the game.
    std::signal(SIGXFSZ, SIG_IGN);
    SDL_Renderer* renderer = initSDL();
    if (renderer == nullptr) {
        return startupFailure("ERROR: Couldn't initialize SDL", 1, nullptr);
    }
    fitToDesktop(renderer);
    std::string share = installedShare();
    bool installed = false;
    std::string tilesPath = assetPath("tiles.png", share, &installed);
    std::string fontPath = assetPath("font.ttf", share, &installed);
    SDL_Texture* tiles = loadTiles(renderer, tilesPath.c_str());
    if (tiles == nullptr) {
        return startupFailure("ERROR: Couldn't load tiles texture", 2, renderer);
    }
    TTF_Init();
    TTF_Font* font = TTF_OpenFont(fontPath.c_str(), fontSize);
    TTF_Font* smallFont = font != nullptr ? TTF_OpenFont(fontPath.c_str(), smallFontSize) : nullptr;
    if (smallFont == nullptr) {
        return startupFailure("ERROR: Couldn't open font", 3, renderer);
    }
    if (installed) {
        enterDataFolder(share);
    }
    // The first prompt offers the bundled levels, so that a new player only
    // presses Enter; later prompts offer the name used last.
    char filename[nameBufferSize];
    filename[0] = '\0';
    if (isFile(bundledLevels)) {
        std::strcpy(filename, bundledLevels);
    }

    int result;
    do {
        result = mainMenu(renderer, tiles, font, filename);
        if (result == menuPlay) {
            result = playLevel(renderer, tiles, font, smallFont, filename);
        } else if (result == menuEdit) {
            result = editLevel(renderer, tiles, font, smallFont, filename);
        }
    } while (result != 0);

    TTF_CloseFont(smallFont);
    TTF_CloseFont(font);
    TTF_Quit();
    SDL_DestroyTexture(tiles);
    closeWindow(renderer);
    SDL_Quit();
    return 0;
}
