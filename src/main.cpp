#include <SDL2/SDL.h>
#include <SDL2/SDL_image.h>
#include <SDL2/SDL_ttf.h>

#include <csignal>
#include <cstdio>

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

// A frame of 1280 x 768 when the desktop's usable area has room for it and
// the window's frame; else the largest size of the same shape that fits.
void fitToDesktop(SDL_Window* window) {
    SDL_Rect usable;
    if (SDL_GetDisplayUsableBounds(SDL_GetWindowDisplayIndex(window), &usable) != 0) {
        return;
    }
    int top = 0, left = 0, bottom = 0, right = 0;
    SDL_GetWindowBordersSize(window, &top, &left, &bottom, &right);
    int roomW = usable.w - left - right;
    int roomH = usable.h - top - bottom;
    if (roomW >= frameWidth && roomH >= frameHeight) {
        return;
    }
    SDL_Rect fitted = fitFrame(roomW, roomH);
    SDL_SetWindowSize(window, fitted.w, fitted.h);
    SDL_SetWindowPosition(window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
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
    SDL_Texture* tiles = IMG_LoadTexture(renderer, "tiles.png");
    if (tiles == nullptr) {
        return startupFailure("ERROR: Couldn't load tiles texture", 2, renderer);
    }
    TTF_Init();
    TTF_Font* font = TTF_OpenFont("font.ttf", fontSize);
    TTF_Font* smallFont = font != nullptr ? TTF_OpenFont("font.ttf", smallFontSize) : nullptr;
    if (smallFont == nullptr) {
        return startupFailure("ERROR: Couldn't open font", 3, renderer);
    }
    if (!openDisplay(renderer, tiles)) {
        return startupFailure("ERROR: Couldn't initialize SDL", 1, renderer);
    }
    char filename[nameBufferSize];
    filename[0] = '\0';

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
