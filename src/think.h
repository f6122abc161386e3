#pragma once

#include <SDL2/SDL.h>

#include <functional>
#include <vector>

#include "solver.h"

// Runs `search` to its end, or for at most ten seconds, with the window
// alive: when it takes longer than a moment, *thinking is set while it runs
// and the screen is drawn once (`redraw`) to say so; Escape stops it, and
// other input is kept in `later`. The outcome; `searching` when it was
// stopped or the window was closed, which sets *result to 0.
SearchOutcome think(SDL_Renderer* renderer, Search* search, bool* thinking, const std::function<void()>& redraw,
                    std::vector<SDL_Event>* later, int* result);
