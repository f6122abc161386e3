#pragma once

#include <cstdint>

// A grid cell (x = column, y = row, from the top-left) or a level size
// (x = width, y = height). Always passed and stored by value.
struct Coordinates {
    int32_t x;
    int32_t y;
};
