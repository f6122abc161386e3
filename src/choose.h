#pragma once

#include <SDL2/SDL.h>
#include <SDL2/SDL_ttf.h>

#include "file.h"

// What the level chooser asks its caller to do.
enum ChooseResult {
    chooseClosed = 0,  // the window was closed
    chooseBack = 1,    // back to the level that was open
    choosePlay = 2,    // play the level *index
};

// Shows the levels of the list `levels` as pictures, a page at a time, with
// the player's results: solved levels on green floor, a star where the best
// pushes are the proven least. `*index` is the level being played (from 0);
// the cursor starts on the first unsolved level from there on. On
// choosePlay, `*index` is the level chosen.
int chooseLevel(SDL_Renderer* renderer, SDL_Texture* tiles, TTF_Font* font, TTF_Font* smallFont, const Level* levels,
                int* index);
