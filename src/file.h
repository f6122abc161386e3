#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "coordinates.h"

// What one cell of a level holds; a byte each.
enum TileState : uint8_t {
    invalidS = 0,
    wallS,
    playerS,
    playerOnTargetS,
    crateS,
    crateOnTargetS,
    targetS,
    floorTileS,
};

// One level of a doubly linked list, owned by the list: the record, its
// `tiles` and its `name` are heap blocks of their own.
struct Level {
    Coordinates size;
    TileState* tiles;  // size.x * size.y cells, row by row
    char* name;        // NUL-terminated, possibly empty
    Level* prev;
    Level* next;
};

// Level names and file names are kept in 64-byte buffers.
constexpr int nameBufferSize = 64;

// Result codes of loadLevel.
enum LoadCode {
    loadOk = 0,
    loadCannotOpen = 1,
    loadNoMemory = 2,
    loadBadCharacter = 3,
    loadTooLarge = 4,
};

struct LoadLevelResult {
    int result = loadOk;     // a LoadCode
    Level* level = nullptr;  // first level read; the caller frees it with unloadLevel
    // With loadTooLarge: how many levels were left out, and the first of
    // them, by its place among the file's levels (from 0) and its name.
    int skippedCount = 0;
    int skippedLevel = 0;
    char skippedName[nameBufferSize] = {};
};

// The play area of the screen holds a level of up to 19 x 11 cells at full
// size; larger ones, up to 64 x 64, are drawn with smaller cells.
constexpr int maxLevelWidth = 19;
constexpr int maxLevelHeight = 11;
constexpr int largestLevel = 64;

// A new, unlinked level of `size` whose cells the caller fills, named a copy
// of the first `nameLength` bytes of `name`. Null when memory ran out, with
// nothing left allocated; the caller releases it with unloadLevel.
Level* newLevel(Coordinates size, const char* name, size_t nameLength);

LoadLevelResult loadLevel(char* filename);
bool saveLevel(Level* level, char* filename);
void unloadLevel(Level* level);

// Reads levels from `length` bytes of text in memory by the same rules, with
// the same result codes, as loadLevel reads a file.
LoadLevelResult loadLevelText(const char* text, size_t length);
// The question asked before a file with levels too large is opened: the
// first level left out named on a line of its own.
std::string tooLargeQuestion(const LoadLevelResult& loaded);
// One level as saveLevel writes it, without the empty line after it: its
// name line and its rows.
std::string levelText(const Level* level);

// Writes a whole file's content into the open file `fd`; false on failure.
using FileWriter = bool (*)(int fd, const void* what);
// Replaces the regular file `filename` (or the file a symbolic link names)
// with what `write` writes, or makes it: the old content stays whole until
// the new one is complete, and a failed or killed save leaves nothing
// behind. Refuses a file this user may not write. False on failure.
bool replaceFile(const char* filename, FileWriter write, const void* what);
// Removes from `folder` what saves killed at the wrong moment left behind
// (".NAME.PID.N.tmp" of a game no longer running), for any file there.
void removeStaleSaves(const char* folder);
