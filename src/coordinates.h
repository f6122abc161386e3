#pragma once

#include <cstdint>

// A grid cell (x = column, y = row, from the top-left) or a level size
// (x = width, y = height). Always passed and stored by value.
struct Coordinates {
    int32_t x;
    int32_t y;
};

// Directions are numbered 0 left, 1 up, 2 right, 3 down everywhere: in the
// menu room, on the play screen and for the editor's cursor.
constexpr int directionCount = 4;
constexpr Coordinates directionSteps[directionCount] = {{-1, 0}, {0, -1}, {1, 0}, {0, 1}};
