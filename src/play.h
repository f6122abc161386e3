#pragma once

#include <SDL2/SDL.h>
#include <SDL2/SDL_ttf.h>

// Plays the levels of the file named in `filename` (the shell's 64-byte
// buffer, which the save prompt may rewrite); `smallFont` is the same font in
// the counters' size. Returns 0 when the window was closed, 1 to go back to
// the main menu.
int playLevel(SDL_Renderer* renderer, SDL_Texture* tiles, TTF_Font* font, TTF_Font* smallFont, char* filename);
