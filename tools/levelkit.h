#pragma once
// Level design tools: a board read from a game level, a push-optimal solver,
// the measures the campaign is chosen by, and the backward search the
// generator proposes levels with. None of this is part of the game.

#include <cstdint>
#include <string>
#include <vector>

#include "file.h"

namespace levelkit {

constexpr int maxCells = 320;  // 19 x 11 with a ring of wall round it fits
constexpr int unreachable = 1 << 20;

// A set of cells as bits.
struct Cells {
    uint64_t bits[maxCells / 64] = {};

    bool has(int cell) const { return (bits[cell >> 6] >> (cell & 63)) & 1; }
    void set(int cell) { bits[cell >> 6] |= 1ull << (cell & 63); }
    void clear(int cell) { bits[cell >> 6] &= ~(1ull << (cell & 63)); }
    bool operator==(const Cells& o) const {
        for (int i = 0; i < maxCells / 64; i++) {
            if (bits[i] != o.bits[i]) {
                return false;
            }
        }
        return true;
    }
    int count() const;
};

// The playable part of a level: cells row by row, the outside of the walls
// (whatever the player can never reach) counted as wall.
struct Board {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> wall;    // 1: wall or outside
    std::vector<uint8_t> target;  // 1: a target
    Cells crates;
    int player = -1;
    int step[4] = {};  // cell offsets of left, up, right, down
    std::vector<int> targets;
    // distance[t][cell]: pushes that bring a lone crate from cell onto
    // targets[t], the player free to stand wherever a push needs him.
    std::vector<std::vector<int>> distance;
    std::vector<uint8_t> dead;  // no lone crate gets from here to any target
    // region[c * cells() + p]: which part of the floor p lies in when a lone
    // crate stands at c and no other (-1 for walls and c itself).
    std::vector<int16_t> region;
    // sideDistance[t][c * 4 + s]: pushes that bring a lone crate from c onto
    // targets[t], the player starting at c + step[s] and walking round it to
    // every push, as a search moves them.
    std::vector<std::vector<int>> sideDistance;

    int cells() const { return width * height; }
};

// Reads a level; false when it has not exactly one player, more than
// maxCells cells, or fewer crates than targets.
bool boardFromLevel(const Level* level, Board* board);

// The cells the player can walk to from `from` with the crates in place.
Cells reach(const Board& board, const Cells& crates, int from);

// The cheapest assignment of targets to distinct crates by lone-crate
// distance, the player walking round each crate from where he stands: a
// lower bound of the pushes left. unreachable when none exists.
int matchingBound(const Board& board, const Cells& crates, int player);
// The same with the player free to stand wherever a push needs him: the
// weaker bound the tools used before.
int freeMatchingBound(const Board& board, const Cells& crates);

struct Solution {
    bool solved = false;
    bool gaveUp = false;  // the node budget ran out: nothing is proven
    int pushes = 0;
    std::string moves;  // l u r d for walks, L U R D for pushes
    long expanded = 0;  // positions expanded by the search: its effort
    long stored = 0;
};

// Push-optimal search: A* on pushes with the matching bound, dead squares,
// freeze deadlocks, corral deadlocks and a transposition table. Moves between
// pushes are shortest walks.
Solution solve(const Board& board, long nodeBudget);

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
    int freeBound = 0;     // the bound with the player standing wherever a push needs him
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

}  // namespace levelkit
