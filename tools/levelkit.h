#pragma once
// Level design tools: the measures the campaign is chosen by and the
// backward search the generator proposes levels with, over the game's own
// board and solver. None of this is part of the game.

#include <cstdint>
#include <string>
#include <vector>

#include "file.h"
#include "solver.h"

namespace levelkit {

using ::Cells;

// A level read for the tools: the solver's board and the level's start.
struct Board : ::Board {
    Cells crates;
    int player = -1;

    Position start() const { return Position{crates, player}; }
};

// Reads a level; false when it has not exactly one player, is too large, or
// cannot be solved at all (fewer crates than targets, an open target the
// player can never reach), or has a crate or target where the player can
// never come.
bool boardFromLevel(const Level* level, Board* board);

struct Solution {
    bool solved = false;
    bool gaveUp = false;  // the budget ran out: nothing is proven
    int pushes = 0;
    std::string moves;  // l u r d for walks, L U R D for pushes
    long expanded = 0;  // positions expanded by the search: its effort
};

// The game's push-optimal search, holding at most `megabytes` of positions.
Solution solve(const Board& board, long megabytes);

// Replays `moves` on the board: false at the first step that is not legal
// (a walk into a wall or crate, a push of nothing, a wrong case). On true,
// `pushes` counts the pushes, `solved` tells whether no target is left open,
// and `used` marks every cell a crate or the player stood on; `pushOrder`
// gets the crate (numbered from 0 in cell order) of every push.
bool replay(const Board& board, const std::string& moves, int* pushes, bool* solved, Cells* used,
            std::vector<int>* cratePushes, std::vector<int>* pushOrder = nullptr);

// The measures the campaign is chosen by.
struct Measures {
    int crates = 0;
    int pushes = 0;
    int moves = 0;
    int bound = 0;   // matching bound of the start: the pushes if crates never hindered each other
    int excess = 0;  // pushes - bound
    int crateChanges = 0;  // how often the solution turns from one crate to another
    double floorPerCrate = 0;  // floor cells the player can reach, for each crate
    long effort = 0;
    double score = 0;
    int floorCells = 0;
    int usedCells = 0;  // floor cells a crate or the player stood on in the solution
    bool open3x3 = false;
    bool notch = false;
    int outside = 0;  // cells of the bounding box outside the walls
    int box = 0;
    bool everyCrateMoves = false;
};

// The difficulty score: the search effort, and each excess push weighing as
// much as ten positions searched.
double difficulty(long effort, int excess);

Measures measure(const Board& board, const Level* level, const Solution& solution);

// The eight ways of turning and mirroring a level, as a text that is equal
// exactly when two levels are: for finding twins.
std::string canonicalForm(const Level* level);

// One line of a solutions file: name, pushes, positions searched, moves.
struct KeptSolution {
    std::string name;
    int pushes = 0;
    long effort = 0;
    std::string moves;
};
std::vector<KeptSolution> readSolutions(const std::string& path);

// --- generator ---------------------------------------------------------------

// The start positions farthest from the solved one by pulls, found by a
// breadth-first search backwards from every solved position (at most
// `stateBudget` states): crates, player and pull distance.
struct Start {
    Cells crates;
    int player;
    int pulls;
    std::vector<int> pullsPerCrate;
};
std::vector<Start> farthestStarts(const Board& solved, long stateBudget, int keep);

// Starts whose crates lie far from the targets, found by a beam search
// backwards: each layer of pulls keeps the `width` positions of the largest
// matching bound. Reaches far deeper than the breadth-first search; the
// forward solver tells the true pushes. Best first.
std::vector<Start> distantStarts(const Board& solved, int width, int depth, int keep);

// A large level for measuring the help on, of `width` x `height` cells (up
// to 64 x 64) and `crates` crates, made from `seed`: a room with scattered
// pillars and walls, its crates pulled away from their targets by a random
// walk backwards, so that it can always be solved. As a level file holds it.
std::string scatteredLevel(int width, int height, int crates, unsigned seed);

}  // namespace levelkit
