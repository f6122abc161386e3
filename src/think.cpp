#include "think.h"

#include <chrono>

#include "window.h"

namespace {

// A search gives up after the longest a player waits for an answer.
constexpr auto longest = std::chrono::seconds(10);
constexpr long slicePositions = 8;  // the window is looked at between slices

}  // namespace

SearchOutcome think(SDL_Renderer* renderer, Search* search, bool* thinking, const std::function<void()>& redraw,
                    std::vector<SDL_Event>* later, int* result) {
    auto began = std::chrono::steady_clock::now();
    WorkEnd end = keepAliveWhile(
        renderer,
        [&] {
            return continueSearch(search, slicePositions) == searching &&
                   std::chrono::steady_clock::now() - began < longest;
        },
        [&] {
            *thinking = true;
            redraw();
        },
        later);
    *thinking = false;
    if (end == windowClosed) {
        *result = 0;
    }
    if (end != workDone) {
        return searching;
    }
    return search->outcome == searching ? undecided : search->outcome;
}
