#pragma once

#include <SDL2/SDL.h>

#include <functional>
#include <vector>

#include "solver.h"

// Runs `search` to its end, or for at most ten seconds, with the window
// alive: when it takes longer than a moment `busy` is called once (the
// screen shows that it is thinking), Escape stops it, and other input is
// kept in `later`. The outcome; `searching` when it was stopped or the
// window was closed, which sets *closed.
SearchOutcome think(SDL_Renderer* renderer, Search* search, const std::function<void()>& busy,
                    std::vector<SDL_Event>* later, bool* closed);
