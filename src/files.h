#pragma once

#include <SDL2/SDL.h>
#include <SDL2/SDL_ttf.h>

// What the list of level files asks its caller to do.
enum FileChoice {
    filesClosed = 0,  // the window was closed
    fileChosen = 1,   // `filename` holds the file chosen
    filesBack = 2,    // back to typing the name
};

// Lists the level files of the working folder and of the data folder, the
// bundled one first, each with its number of levels and how many of them
// the player has solved; files that do not read as level files are left
// out. A file chosen is put in `filename`, a 64-byte buffer, as it would be
// typed.
int chooseFile(SDL_Renderer* renderer, SDL_Texture* tiles, TTF_Font* font, char* filename);
