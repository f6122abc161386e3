#include <SDL2/SDL.h>
#include <SDL2/SDL_ttf.h>

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "edit.h"
#include "file.h"
#include "folders.h"
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

// The file the first prompt offers, so that a new player only presses
// Enter: the bundled levels in the working folder, else the installed
// game's copy in the data folder, by its full path when that fits.
void offerBundledLevels(const std::string& data, char* filename) {
    std::string copy = data + "/" + bundledLevels;
    if (isFile(bundledLevels)) {
        std::strcpy(filename, bundledLevels);
    } else if (!data.empty() && isFile(copy) && copy.size() < static_cast<size_t>(nameBufferSize)) {
        std::strcpy(filename, copy.c_str());
    }
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
    bool installed = false;
    std::string tilesPath = findAsset("tiles.png", &installed);
    std::string fontPath = findAsset("font.ttf", &installed);
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
    // An installed game started from the desktop's menu plays in its data
    // folder; started in any other folder it plays there, with the player's
    // own files. Later prompts offer the name used last.
    std::string data = installed ? prepareDataFolder(installedShare()) : std::string();
    if (!data.empty() && startedAtHome() && chdir(data.c_str()) != 0) {
        data.clear();
    }
    // What saves of a game killed at the wrong moment left beside the level
    // files here and the records.
    removeStaleSaves(".");
    std::string records = dataFolder();
    if (!records.empty()) {
        removeStaleSaves(records.c_str());
    }
    char filename[nameBufferSize];
    filename[0] = '\0';
    offerBundledLevels(data, filename);

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
