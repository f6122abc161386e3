#include "think.h"

#include <algorithm>
#include <climits>

#include "window.h"

namespace {

// The window is looked at between slices of this length.
constexpr auto slice = std::chrono::milliseconds(2);

// Runs `search` until it ends or `until`, the window alive. The outcome;
// `searching` when it was stopped or the window was closed.
SearchOutcome run(SDL_Renderer* renderer, Search* search, SearchClock::time_point until, bool* thinking,
                  const std::function<void()>& redraw, std::vector<SDL_Event>* later, int* result) {
    WorkEnd end = keepAliveWhile(
        renderer,
        [&] {
            SearchClock::time_point sliceEnd = std::min(SearchClock::now() + slice, until);
            return continueSearch(search, LONG_MAX, sliceEnd) == searching && SearchClock::now() < until;
        },
        [&] {
            *thinking = true;
            redraw();
        },
        later);
    if (end == windowClosed) {
        *result = 0;
    }
    if (end != workDone) {
        return searching;
    }
    return search->outcome == searching ? undecided : search->outcome;
}

}  // namespace

Found findSolution(SDL_Renderer* renderer, const Board& board, const Position& start, bool* thinking,
                   const std::function<void()>& redraw, std::vector<SDL_Event>* later, int* result,
                   const Patience& patience) {
    SearchClock::time_point began = SearchClock::now();
    Found found;
    Search search;
    startSearch(&search, board, start, SearchLimits());
    found.outcome = run(renderer, &search, began + patience.fewest, thinking, redraw, later, result);
    if (found.outcome == undecided) {
        SearchLimits any;
        any.optimal = false;
        startSearch(&search, board, start, any);
        found.outcome = run(renderer, &search, began + patience.longest, thinking, redraw, later, result);
        found.fewest = false;
    }
    *thinking = false;
    if (found.outcome == solved) {
        found.solution = search.solution;
    }
    return found;
}
