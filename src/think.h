#pragma once

#include <SDL2/SDL.h>

#include <functional>
#include <vector>

#include "solver.h"

// How long a player waits for an answer: the search for the fewest pushes
// has the first part of it, any solution the rest.
struct Patience {
    SearchClock::duration fewest = std::chrono::seconds(6);
    SearchClock::duration longest = std::chrono::seconds(10);
};

// What a search for a solution found.
struct Found {
    SearchOutcome outcome = searching;  // searching: stopped, or the window closed
    std::vector<Push> solution;         // when solved
    bool fewest = true;                 // the solution has the fewest pushes possible
};

// Searches a solution from `start` with the window alive, for as long as
// `patience` allows: first one with the fewest pushes; when that search
// cannot finish (it runs out of its time or memory), any solution, which is
// found much sooner. When it takes longer than a moment, *thinking is set
// while it runs and the screen is drawn once (`redraw`) to say so; Escape
// stops it, and other input is kept in `later`. A closed window sets
// *result to 0.
Found findSolution(SDL_Renderer* renderer, const Board& board, const Position& start, bool* thinking,
                   const std::function<void()>& redraw, std::vector<SDL_Event>* later, int* result,
                   const Patience& patience = Patience());
