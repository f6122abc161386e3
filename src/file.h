#pragma once

#include "coordinates.h"

// What one cell of a level holds. The values are stored in level lists, so
// their order is fixed.
enum TileState {
    invalidS = 0,
    wallS,
    playerS,
    playerOnTargetS,
    crateS,
    crateOnTargetS,
    targetS,
    floorTileS,
};

// One level of a doubly linked list. The record, `tiles` and `name` are three
// heap blocks owned by the list; unloadLevel frees them all.
struct Level {
    Coordinates size;
    TileState* tiles;  // size.x * size.y cells, row by row
    char* name;        // NUL-terminated, possibly empty
    Level* prev;
    Level* next;
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

LoadLevelResult loadLevel(char* filename);
bool saveLevel(Level* level, char* filename);
void unloadLevel(Level* level);
