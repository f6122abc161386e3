// Feeds arbitrary bytes to the level reader through a file; whatever it
// reads is saved and read back, and must come back the same.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "file.h"

namespace {

// Levels one or two cells wide and taller than a row cannot be stored: each
// of their rows ends a level when read back.
bool storable(const Level* level) {
    return level->size.x >= 3 || level->size.y == 1;
}

void dropUnstorable(Level** first) {
    Level* level = *first;
    while (level != nullptr) {
        Level* next = level->next;
        if (!storable(level)) {
            if (level->prev != nullptr) {
                level->prev->next = next;
            } else {
                *first = next;
            }
            if (next != nullptr) {
                next->prev = level->prev;
            }
            level->next = nullptr;
            unloadLevel(level);
        }
        level = next;
    }
}

bool sameLevels(const Level* a, const Level* b) {
    for (; a != nullptr && b != nullptr; a = a->next, b = b->next) {
        if (a->size.x != b->size.x || a->size.y != b->size.y || std::strcmp(a->name, b->name) != 0 ||
            std::memcmp(a->tiles, b->tiles, sizeof(TileState) * static_cast<size_t>(a->size.x * a->size.y)) != 0) {
            return false;
        }
    }
    return a == nullptr && b == nullptr;
}

std::string scratchPath(const char* what) {
    return std::string("/tmp/boxtolo-fuzz-") + std::to_string(getpid()) + "-" + what;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string input = scratchPath("in");
    static const std::string output = scratchPath("out");
    FILE* file = std::fopen(input.c_str(), "wb");
    if (file == nullptr) {
        std::abort();
    }
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    LoadLevelResult first = loadLevel(const_cast<char*>(input.c_str()));
    if (first.result < 0 || first.result > 4) {
        std::abort();
    }
    if ((first.result == 1 || first.result == 2 || first.result == 3) && first.level != nullptr) {
        std::abort();
    }
    for (const Level* level = first.level; level != nullptr; level = level->next) {
        if (level->size.x < 1 || level->size.x > largestLevel || level->size.y < 1 || level->size.y > largestLevel ||
            std::strlen(level->name) > 63) {
            std::abort();
        }
    }
    if (first.level != nullptr) {
        dropUnstorable(&first.level);
        if (!saveLevel(first.level, const_cast<char*>(output.c_str()))) {
            std::abort();
        }
        LoadLevelResult second = loadLevel(const_cast<char*>(output.c_str()));
        if (second.result != 0 || !sameLevels(first.level, second.level)) {
            std::abort();
        }
        unloadLevel(second.level);
    }
    unloadLevel(first.level);
    return 0;
}
