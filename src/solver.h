#pragma once

// Every search over a level's board: the player's walks, where one crate
// can be pushed, the instant deadlock rules and the push-optimal solver
// behind the hint, the light for a hopeless position, the editor's test and
// the level tools. Plain data, no window.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "coordinates.h"
#include "file.h"

// Cells of a board: a level with a ring of wall round it, row by row.
constexpr int boardMaxCells = (largestLevel + 2) * (largestLevel + 2);

// A set of board cells as bits.
struct Cells {
    static constexpr int words = (boardMaxCells + 63) / 64;
    uint64_t bits[words] = {};

    bool has(int cell) const { return (bits[cell >> 6] >> (cell & 63)) & 1; }
    void set(int cell) { bits[cell >> 6] |= 1ull << (cell & 63); }
    void clear(int cell) { bits[cell >> 6] &= ~(1ull << (cell & 63)); }
    bool operator==(const Cells& other) const;
    int count() const;
};

// What never changes while a level is played: its walls, the floor the
// player can never reach counted as wall, its targets, and what a lone
// crate can do on it. The tables of a lone crate are kept for the floor
// only, numbered in cell order, so that they follow the floor and not the
// rectangle round it.
struct Board {
    int width = 0;  // the level's, plus the ring
    int height = 0;
    int step[directionCount] = {};  // cell offsets of left, up, right, down
    std::vector<uint8_t> wall;
    std::vector<uint8_t> target;
    std::vector<uint8_t> dead;  // no lone crate gets from here onto a target
    std::vector<int> targets;
    Cells targetCells;
    std::vector<int16_t> floorOf;    // a cell's floor number, -1 for walls
    std::vector<int16_t> floorCell;  // the cell of each floor number
    // More crates than targets: that many may end anywhere.
    int spareCrates = 0;
    // An open target lies where no crate can ever come.
    bool impossible = false;
    // distance[t * floors + f]: pushes that bring a lone crate from floor f
    // onto targets[t], the player standing wherever a push needs him.
    std::vector<int> distance;
    // region[regionRow[c] * floors + p]: the part of the floor p lies in
    // when a lone crate stands at c (-1 for c itself), kept only for the
    // cells c that part the floor (regionRow -1: one piece).
    std::vector<int32_t> regionRow;
    std::vector<int16_t> region;
    // sideDistance[(t * floors + f) * 4 + s]: the same pushes with the
    // player starting beside the crate on side s and walking round it.
    std::vector<int> sideDistance;

    int cells() const { return width * height; }
    int floors() const { return static_cast<int>(floorCell.size()); }
    // Words of Cells that can hold a cell of this board.
    int cellWords() const { return (cells() + 63) / 64; }
    // Words of a position as the search keeps it: a bit per floor cell.
    int floorWords() const { return (floors() + 63) / 64; }
};

// Where the crates and the player are.
struct Position {
    Cells crates;
    int player = -1;
};

constexpr int unreachable = 1 << 20;

// Reads a level into a board and a position: the player at `player` (level
// coordinates) or, when its x is negative, where the level has him. False
// without exactly one player.
bool readBoard(const Level* level, Coordinates player, Board* board, Position* position);
// The board cell of a level cell; -1 outside the level.
int boardCell(const Board& board, Coordinates levelCell);

// The cells the player can walk to from `from`, the crates in place; the
// lowest of them in *lowest when asked.
Cells reach(const Board& board, const Cells& crates, int from, int* lowest = nullptr);

// The cheapest assignment of the targets to distinct crates by lone-crate
// pushes, the player walking round each crate from where he stands: a lower
// bound of the pushes left; unreachable when no assignment exists.
int matchingBound(const Board& board, const Position& position);

// Whether the instant rules prove the position hopeless: more crates lost
// than there are spare ones, a crate being lost on a cell from which no
// target can be reached, or frozen off a target with its neighbours. The
// lost crates in *lost.
bool hopelessNow(const Board& board, const Cells& crates, Cells* lost);

// A shortest walk from `from` to `to` without a push, as l u r d letters.
// False when the player cannot get there.
bool walkMoves(const Board& board, const Cells& crates, int from, int to, std::string* moves);

// Where the crate at `crate` can be pushed, the other crates standing
// still, with the fewest pushes and then the fewest moves: for every cell
// and the side of the last push.
struct CratePaths {
    int crate = -1;
    std::vector<int> pushes;    // by cell * 4 + side; -1: not reached
    std::vector<int> moves;
    std::vector<int> previous;  // the state before, -1 for the first push
};
void findCratePaths(const Board& board, const Position& position, int crate, CratePaths* paths);
bool crateCanReach(const CratePaths& paths, int cell);
// The moves that bring the crate to `cell` (walks and L U R D pushes).
std::string crateMoves(const Board& board, const Position& position, const CratePaths& paths, int cell);

// --- the push-optimal search ------------------------------------------------

enum SearchOutcome {
    searching,   // not done yet: continue it
    solved,      // a solution, optimal in pushes when asked for
    noSolution,  // proven: no push sequence solves the position
    undecided,   // the memory budget ran out first
};

struct SearchLimits {
    size_t memory = size_t{256} << 20;  // bytes the search may hold
    bool optimal = true;                // else any solution, found sooner
};

struct Push {
    int16_t crate;  // the crate's cell before the push
    int8_t dir;
};

// A position the search has met: the lowest cell the player can reach,
// its pushes from the start (g), the bound of those left (h), the moves of
// the way it was met by, and the push that made it from its parent (the
// player stands where the crate was). Its crates are kept apart, a bit per
// floor cell.
struct SearchNode {
    int32_t parent;
    int16_t player;
    uint16_t g;
    uint16_t h;
    uint16_t moves;
    int16_t pushed;
    int8_t dir;
};

using SearchClock = std::chrono::steady_clock;

// One search, run in slices so that its caller stays responsive: it is
// stopped at any moment by not being continued. The board must outlive it.
struct Search {
    const Board* board = nullptr;
    SearchLimits limits;
    Position start;
    SearchOutcome outcome = searching;
    long expanded = 0;           // positions expanded so far
    std::vector<Push> solution;  // when solved
    // The positions met and their crates, in chunks that never move; a
    // hash table of their indices; the open positions by their estimate,
    // each a heap by pushes.
    std::vector<std::vector<SearchNode>> chunks;
    std::vector<std::vector<uint64_t>> crateChunks;
    size_t nodeCount = 0;
    std::vector<uint64_t> table;
    size_t tableUsed = 0;
    std::vector<std::vector<int32_t>> open;
    size_t openFirst = 0;
    size_t openCount = 0;
    // A position whose expansion its time cut short, and its next push.
    int32_t expanding = -1;
    size_t nextPush = 0;
};

// What the search holds now, in bytes: never more than its budget.
size_t searchBytes(const Search& search);

void startSearch(Search* search, const Board& board, const Position& start, const SearchLimits& limits);
// Expands at most `positions` more positions, and stops at `until` even
// within one (the clock is looked at after every push tried, the rest of
// the position kept for the next call); some work is done however soon
// `until` is. The outcome so far.
SearchOutcome continueSearch(Search* search, long positions,
                             SearchClock::time_point until = SearchClock::time_point::max());
// The solution's moves from its start: the walks between the pushes and
// the pushes (l u r d, L U R D).
std::string solutionMoves(const Board& board, const Position& start, const std::vector<Push>& pushes);

// A whole search at once, for the tools and the editor's tests.
struct Solution {
    SearchOutcome outcome = undecided;
    int pushes = 0;
    std::string moves;
    long expanded = 0;
};
Solution solve(const Board& board, const Position& start, const SearchLimits& limits);
