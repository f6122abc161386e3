#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "file.h"

// What the game remembers of the player: the best wins on each level, kept
// in eredmenyek.txt in the data folder, one line a record:
//
//     IDENTITY KIND MOVES PUSHES SOLUTION
//
// KIND is P (the fewest pushes, then the fewest moves), M (the fewest
// moves, then the fewest pushes) or H (a win that counts as solved but not
// as a best: one with a hint, or not from the level's first start; the
// fewest pushes); SOLUTION is the moves of the win, l u r d for walks and
// L U R D for pushes. A level's first start, as the game first opened it,
// is a line of its own, kept once and never replaced:
//
//     IDENTITY S ROWS
//
// ROWS in the level file's notation, joined by "|". A best is believed only
// when its solution replays from that start to a solved position. Lines
// starting with "#" are comments.

// A level as the records know it, whatever its name, its file and the
// position it was saved in: the FNV-1a 64-bit hash of its rows as the level
// file holds them (full width, joined by "\n"), crates and the player taken
// out ("$" and "@" as spaces, "*" and "+" as ".").
uint64_t levelIdentity(const Level* level);
// The level's rows in the file's notation at full width, joined by "|".
std::string startRows(const Level* level);

struct Win {
    int moves = 0;
    int pushes = 0;
    std::string solution;
};

struct LevelResults {
    bool byPushesKnown = false;
    bool byMovesKnown = false;
    bool helpedKnown = false;
    Win byPushes;
    Win byMoves;
    Win helped;

    bool startKnown = false;
    std::string start;  // the first start's rows, joined by "|"

    bool solved() const { return byPushesKnown || byMovesKnown || helpedKnown; }
};

using Results = std::unordered_map<uint64_t, LevelResults>;

// The player's records file, in the data folder; empty without one.
std::string resultsPath();

// The records kept in the file at `path`; lines that are damaged, foreign
// or overlong are left out. A missing or unreadable file holds none.
Results readResults(const std::string& path);

// Keeps a win on the level `identity` in the file at `path` (and makes the
// file and its folder on the first win) when it beats a record kept there:
// as a best (P and M) when it replays from the level's first start and no
// hint was taken, else as solved only (H).
// Other games may write the same file at the same time: the file is read,
// merged and replaced under a lock, whole or not at all, and every line the
// game does not understand stays as it was. True when the win was written.
bool recordWin(const std::string& path, uint64_t identity, const Win& win, bool hinted = false);
// Keeps the level's first start, `rows` as startRows gives them, unless the
// file knows one. True when it was written.
bool recordStart(const std::string& path, uint64_t identity, const std::string& rows);

// Whether `win` counts as a best on a level with the records `kept`: played
// from the level's first start (its solution replays from there) without a
// hint.
bool countsAsBest(const LevelResults& kept, const Win& win, bool hinted);

// Where the player stopped in each level file, kept beside the records in
// folytatas.txt: the level's number (from 1) by the file's full path, one
// "NUMBER<tab>PATH" line a file, for the latest thousand files.
std::string placesPath();
// The level the player was last on in `levelFile`; 0 when not known.
int stoppedAt(const std::string& places, const char* levelFile);
// Keeps that the player is on level `number` of `levelFile`; true when
// written.
bool keepStoppedAt(const std::string& places, const char* levelFile, int number);

// The proven least pushes of the bundled levels, by identity, from a
// solutions file (name, pushes, positions searched, moves, identity; tab
// separated). A missing file knows none.
std::unordered_map<uint64_t, int> readOptimum(const std::string& path);
