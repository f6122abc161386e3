#pragma once

#include <SDL2/SDL.h>
#include <SDL2/SDL_ttf.h>

#include "file.h"

// Plays the levels of the file named in `filename` (the shell's 64-byte
// buffer, which the save prompt may rewrite), from the level the player was
// last on in it; `smallFont` is the same font in the counters' size.
// Returns 0 when the window was closed, 1 to go back to the main menu.
int playLevel(SDL_Renderer* renderer, SDL_Texture* tiles, TTF_Font* font, TTF_Font* smallFont, char* filename);

// Plays a copy of `level` as the editor has it, to try it: nothing of the
// try is kept or written; its win's message or Escape ends it. The level
// must be playable. Returns 0 when the window was closed, else 1.
int tryLevel(SDL_Renderer* renderer, SDL_Texture* tiles, TTF_Font* font, TTF_Font* smallFont, const Level* level);
