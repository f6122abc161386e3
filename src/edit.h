#pragma once

#include <SDL2/SDL.h>
#include <SDL2/SDL_ttf.h>

// Edits the level file named in `filename` (the shell's 64-byte buffer, which
// the save prompt may rewrite); a file that does not exist yet starts empty.
// Returns 0 when the window was closed, 1 to go back to the main menu.
// `smallFont` is the same font in the level number's size.
int editLevel(SDL_Renderer* renderer, SDL_Texture* tiles, TTF_Font* font, TTF_Font* smallFont, char* filename);
