#include <SDL2/SDL.h>
#include <SDL2/SDL_image.h>
#include <SDL2/SDL_ttf.h>

#include <cstdio>

#include "edit.h"
#include "file.h"
#include "menu.h"
#include "play.h"
#include "tiles.h"

namespace {

constexpr int fontSize = 50;

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
    SDL_Window* window = SDL_CreateWindow("Boxtolo", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                          gridColumns * tileSize, gridRows * tileSize, 0);
    if (window == nullptr) {
        return nullptr;
    }
    return SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
}

}  // namespace

int main(int, char**) {
    SDL_Renderer* renderer = initSDL();
    if (renderer == nullptr) {
        std::printf("ERROR: Couldn't initialize SDL\n");
        return 1;
    }
    SDL_Texture* tiles = IMG_LoadTexture(renderer, "tiles.png");
    if (tiles == nullptr) {
        std::printf("ERROR: Couldn't load tiles texture\n");
        return 2;
    }
    TTF_Init();
    TTF_Font* font = TTF_OpenFont("font.ttf", fontSize);
    if (font == nullptr) {
        std::printf("ERROR: Couldn't open font\n");
        return 3;
    }
    char filename[nameBufferSize];
    filename[0] = '\0';

    int result;
    do {
        result = mainMenu(renderer, tiles, font, filename);
        if (result == menuPlay) {
            result = playLevel(renderer, tiles, font, filename);
        } else if (result == menuEdit) {
            result = editLevel(renderer, tiles, font, filename);
        }
    } while (result != 0);

    SDL_DestroyTexture(tiles);
    TTF_CloseFont(font);
    TTF_Quit();
    SDL_Quit();
    return 0;
}
