#pragma once

#include <cstddef>
#include <cstdint>

#include "coordinates.h"

// What one cell of a level holds. The values are stored in level lists, so
// their order is fixed; a byte each keeps a file of many levels small.
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

// The heap block that levels live in: one level made by newLevel, or many
// read from one file, one after another. It is freed with its last level.
struct LevelBlock {
    size_t levels;  // levels still living in it
};

// One level of a doubly linked list, owned by the list. The record, its
// `tiles` and the name it was made with lie together in `block`, so that a
// file of many levels is read and written in few places of memory. A rename
// puts a heap string of its own in `name` (swapName). unloadLevel frees them.
struct Level {
    Coordinates size;
    TileState* tiles;  // size.x * size.y cells, row by row
    char* name;        // NUL-terminated, possibly empty
    Level* prev;
    Level* next;
    LevelBlock* block;
};

// Result codes of loadLevel.
enum LoadCode {
    loadOk = 0,
    loadCannotOpen = 1,
    loadNoMemory = 2,
    loadBadCharacter = 3,
    loadTooLarge = 4,
};

struct LoadLevelResult {
    int result;    // a LoadCode
    Level* level;  // first level read; the caller frees it with unloadLevel
};

// Levels fit the play area of the screen.
constexpr int maxLevelWidth = 19;
constexpr int maxLevelHeight = 11;
// Level names and file names are kept in 64-byte buffers.
constexpr int nameBufferSize = 64;

// A new, unlinked level of `size` whose cells the caller fills, named a copy
// of the first `nameLength` bytes of `name`. Null when memory ran out, with
// nothing left allocated; the caller releases it with unloadLevel.
Level* newLevel(Coordinates size, const char* name, size_t nameLength);

// Puts `name` (a heap string, or the name the level was made with) in the
// level and returns the name it had, which the caller then holds: to give
// back with swapName or to release with releaseName.
char* swapName(Level* level, char* name);
// Frees `name`, unless it is the name `level` was made with, which lives in
// the level's own block.
void releaseName(const Level* level, char* name);

LoadLevelResult loadLevel(char* filename);
bool saveLevel(Level* level, char* filename);
void unloadLevel(Level* level);
