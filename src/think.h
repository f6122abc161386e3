#pragma once

#include <SDL2/SDL.h>

#include <functional>
#include <vector>

#include "solver.h"

// What a search for a solution found.
struct Found {
    SearchOutcome outcome = searching;  // searching: stopped, or the window closed
    std::vector<Push> solution;         // when solved
    bool fewest = true;                 // the solution has the fewest pushes possible
};

// Searches a solution from `start` with the window alive, for at most ten
// seconds: first one with the fewest pushes; when that search cannot finish
// (it runs out of its time or memory), any solution, which is found much
// sooner. When it takes longer than a moment, *thinking is set while it
// runs and the screen is drawn once (`redraw`) to say so; Escape stops it,
// and other input is kept in `later`. A closed window sets *result to 0.
Found findSolution(SDL_Renderer* renderer, const Board& board, const Position& start, bool* thinking,
                   const std::function<void()>& redraw, std::vector<SDL_Event>* later, int* result);
