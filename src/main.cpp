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

// The window is never destroyed by hand: SDL_Quit takes it down with the
// renderer returned here.
SDL_Renderer* initSDL() {
    // Otherwise SDL backs the software renderer's window surface with an
    // OpenGL context, which costs tens of milliseconds at start and on every
    // present for nothing.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (SDL_Init(SDL_INIT_EVERYTHING) < 0) {
        return nullptr;
    }
    if (!visibleOrRequested()) {
        return nullptr;
    }
    // Resizable: the frame is shown scaled to whatever size the window has.
    SDL_Window* window = SDL_CreateWindow("Boxtolo", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, frameWidth,
                                          frameHeight, SDL_WINDOW_RESIZABLE);
    if (window == nullptr) {
        return nullptr;
    }
    SDL_SetWindowMinimumSize(window, frameWidth / 4, frameHeight / 4);
    fitToDesktop(window);
    return SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
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
    std::string share = installedShare();
    bool installed = false;
    std::string tilesPath = assetPath("tiles.png", share, &installed);
    std::string fontPath = assetPath("font.ttf", share, &installed);
    SDL_Texture* tiles = IMG_LoadTexture(renderer, tilesPath.c_str());
    if (tiles == nullptr) {
        return startupFailure("ERROR: Couldn't load tiles texture", 2, renderer);
    }
    TTF_Init();
    TTF_Font* font = TTF_OpenFont(fontPath.c_str(), fontSize);
    TTF_Font* smallFont = font != nullptr ? TTF_OpenFont(fontPath.c_str(), smallFontSize) : nullptr;
    if (smallFont == nullptr) {
        return startupFailure("ERROR: Couldn't open font", 3, renderer);
    }
    if (!openDisplay(renderer, tiles)) {
        return startupFailure("ERROR: Couldn't initialize SDL", 1, renderer);
    }
    // Not waiting for the window manager here keeps the first frame quick.
    fitWhenFramed(renderer);
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

    closeDisplay(renderer);
    SDL_DestroyTexture(tiles);
    TTF_CloseFont(smallFont);
    TTF_CloseFont(font);
    TTF_Quit();
    SDL_Quit();
    return 0;
}
