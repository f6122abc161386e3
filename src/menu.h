#pragma once

#include <SDL2/SDL.h>
#include <SDL2/SDL_ttf.h>

// What the main menu asks the shell to do next.
enum MenuResult {
    menuQuit = 0,
    menuPlay = 1,
    menuEdit = 2,
};

// The crate room. On menuPlay and menuEdit the chosen file name is in
// `filename`, the shell's 64-byte buffer.
int mainMenu(SDL_Renderer* renderer, SDL_Texture* tiles, TTF_Font* font, char* filename);
