#include "files.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "coordinates.h"
#include "file.h"
#include "folders.h"
#include "results.h"
#include "tiles.h"
#include "window.h"

namespace {

// A level file as the list shows it.
struct FileRow {
    std::string label;  // what the row says
    std::string name;   // what the prompt gets, as it would be typed
    int levels;
    int solved;
    bool bundled;
};

struct FilesState {
    std::vector<FileRow> rows;
    int cursor;
    int hovered;  // the button under the mouse, or -1
    int result;
    char* filename;
    SDL_Renderer* renderer;
    SDL_Texture* tiles;
    TTF_Font* font;
};

// Rows 1 to 10 of the grid, one file each.
constexpr int firstRow = 1;
constexpr int perPage = 10;
// Files larger than this are no level files anyone made by hand.
constexpr off_t largestFile = off_t{64} << 20;

const SDL_Color white{255, 255, 255, 0};

enum FilesAction { back, previousPage, nextPage };
enum Shown { always, withPrevious, withNext };

struct FilesButton {
    Coordinates cell;
    Tile picture;
    FilesAction action;
    Shown shown;
    const char* says;  // while the mouse rests on it: what it does, and its key
};

const FilesButton filesButtons[] = {
    {{0, 0}, home, back, always, "Vissza (Escape)"},
    {{0, 11}, left, previousPage, withPrevious, "Előző oldal (Page Down)"},
    {{gridColumns - 1, 11}, right, nextPage, withNext, "Következő oldal (Page Up)"},
};
constexpr int filesButtonCount = sizeof filesButtons / sizeof filesButtons[0];

int rowCount(const FilesState* state) {
    return static_cast<int>(state->rows.size());
}

int pageOf(int row) {
    return row / perPage;
}

bool hasPage(const FilesState* state, int page) {
    return page >= 0 && page * perPage < rowCount(state);
}

bool drawn(const FilesState* state, const FilesButton& button) {
    int page = pageOf(state->cursor);
    return button.shown == always || (button.shown == withPrevious && hasPage(state, page - 1)) ||
           (button.shown == withNext && hasPage(state, page + 1));
}

// The file at `path`, when it reads as a level file: its levels counted and
// those the player has solved, the file read once.
bool readRow(const std::string& path, const Results& results, FileRow* row) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > largestFile) {
        return false;
    }
    LoadLevelResult loaded = loadLevel(const_cast<char*>(path.c_str()));
    if ((loaded.result != loadOk && loaded.result != loadTooLarge) || loaded.level == nullptr) {
        unloadLevel(loaded.level);
        return false;
    }
    row->levels = 0;
    row->solved = 0;
    for (const Level* level = loaded.level; level != nullptr; level = level->next) {
        auto kept = results.find(levelIdentity(level));
        row->levels++;
        row->solved += kept != results.end() && kept->second.solved();
    }
    unloadLevel(loaded.level);
    return true;
}

// The level files of `folder`; `prefix` goes before each name the prompt
// gets.
void readFolder(const std::string& folder, const std::string& prefix, const Results& results,
                std::vector<FileRow>* rows) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        return;
    }
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        FileRow row{name, prefix + name, 0, 0, name == bundledLevels};
        // Hidden files are leftovers and the like; a name too long for the
        // prompt could not be opened by it.
        if (name[0] == '.' || row.name.size() >= static_cast<size_t>(nameBufferSize)) {
            continue;
        }
        if (readRow(folder + "/" + name, results, &row)) {
            rows->push_back(row);
        }
    }
    closedir(dir);
}

void gatherRows(FilesState* state) {
    Results results = readResults(resultsPath());
    readFolder(".", "", results, &state->rows);
    size_t here = state->rows.size();
    std::string data = dataFolder();
    if (!data.empty() && !sameFolder(data.c_str(), ".")) {
        readFolder(data, data + "/", results, &state->rows);
    }
    // A name found in both folders: the data folder's says where it is.
    for (size_t i = here; i < state->rows.size(); i++) {
        for (size_t j = 0; j < here; j++) {
            if (state->rows[j].label == state->rows[i].label) {
                state->rows[i].label += " (adatmappa)";
            }
        }
    }
    std::stable_sort(state->rows.begin(), state->rows.end(), [](const FileRow& a, const FileRow& b) {
        return a.bundled != b.bundled ? a.bundled : a.label < b.label;
    });
}

SDL_Rect rowRect(int slot) {
    return SDL_Rect{tileSize, (firstRow + slot) * tileSize, (gridColumns - 2) * tileSize, tileSize};
}

void render(FilesState* state) {
    SDL_Renderer* renderer = state->renderer;
    renderTiles(renderer, state->tiles, greyFloor, 0, 0, gridColumns - 1, gridRows - 1);
    renderFont(renderer, state->font, white, "Pályafájlok", 1, 0, false, true);
    int page = pageOf(state->cursor);
    for (int slot = 0; slot < perPage && page * perPage + slot < rowCount(state); slot++) {
        const FileRow& row = state->rows[static_cast<size_t>(page * perPage + slot)];
        SDL_Rect rect = rowRect(slot);
        char counts[32];
        std::snprintf(counts, sizeof counts, "%d/%d", row.solved, row.levels);
        int countsWidth = 0;
        TTF_SizeUTF8(state->font, counts, &countsWidth, nullptr);
        char label[128];
        fitText(state->font, row.label.c_str(), rect.w - countsWidth - 3 * tileSize / 2, label, sizeof label);
        int middle = rect.y + tileSize / 2;
        renderFontAt(renderer, state->font, white, label, rect.x + tileSize / 4, middle, false, true);
        renderFontAt(renderer, state->font, white, counts, rect.x + rect.w - tileSize / 4 - countsWidth, middle, false,
                     true);
        if (page * perPage + slot == state->cursor) {
            renderCorners(renderer, state->tiles, selection, rect);
        }
    }
    for (const FilesButton& button : filesButtons) {
        if (drawn(state, button)) {
            renderTileC(renderer, state->tiles, button.picture, button.cell);
        }
    }
    char standing[64];
    std::snprintf(standing, sizeof standing, "%d/%d. oldal", page + 1, pageOf(rowCount(state) - 1) + 1);
    const char* foot = state->hovered >= 0   ? filesButtons[state->hovered].says
                       : state->rows.empty() ? "Nincs pályafájl"
                                             : standing;
    renderFont(renderer, state->font, white, foot, 10, gridRows - 1, true, true);
    showFrame(renderer);
}

bool moveCursor(FilesState* state, int step) {
    int moved = std::max(0, std::min(rowCount(state) - 1, state->cursor + step));
    bool changed = moved != state->cursor;
    state->cursor = moved;
    return changed;
}

void choose(FilesState* state, int row) {
    const std::string& name = state->rows[static_cast<size_t>(row)].name;
    std::memcpy(state->filename, name.c_str(), name.size() + 1);
    state->result = fileChosen;
}

bool act(FilesState* state, FilesAction action) {
    switch (action) {
        case back:
            state->result = filesBack;
            return false;
        case previousPage:
            return moveCursor(state, -perPage);
        case nextPage:
            return moveCursor(state, perPage);
    }
    return false;
}

bool handleKeydown(FilesState* state, SDL_Scancode key) {
    switch (keyDirection(key)) {
        case 1:
            return moveCursor(state, -1);
        case 3:
            return moveCursor(state, 1);
        default:
            break;
    }
    switch (key) {
        case SDL_SCANCODE_PAGEUP:
            return act(state, nextPage);
        case SDL_SCANCODE_PAGEDOWN:
            return act(state, previousPage);
        case SDL_SCANCODE_HOME:
            return moveCursor(state, -rowCount(state));
        case SDL_SCANCODE_END:
            return moveCursor(state, rowCount(state));
        case SDL_SCANCODE_RETURN:
            if (!state->rows.empty()) {
                choose(state, state->cursor);
            }
            return false;
        case SDL_SCANCODE_ESCAPE:
            return act(state, back);
        default:
            return false;
    }
}

// The row shown at frame pixel (x, y), or -1.
int rowAt(const FilesState* state, int x, int y) {
    return slotAt(pageOf(state->cursor) * perPage, rowCount(state), perPage, rowRect, x, y);
}

bool handleEvent(SDL_Event event, FilesState* state) {
    switch (event.type) {
        case SDL_KEYDOWN:
            return handleKeydown(state, event.key.keysym.scancode);
        case SDL_MOUSEBUTTONDOWN: {
            for (const FilesButton& button : filesButtons) {
                if (clickTile(button.cell.x, button.cell.y, event.button.x, event.button.y)) {
                    return act(state, button.action);
                }
            }
            int row = rowAt(state, event.button.x, event.button.y);
            if (row >= 0) {
                choose(state, row);
            }
            return false;
        }
        case SDL_MOUSEMOTION: {
            // The cursor follows the mouse; over a button the foot says what
            // it does.
            int row = rowAt(state, event.motion.x, event.motion.y);
            bool changed = row >= 0 && row != state->cursor;
            state->cursor = row >= 0 ? row : state->cursor;
            int hovered = -1;
            for (int i = 0; i < filesButtonCount; i++) {
                bool on = clickTile(filesButtons[i].cell.x, filesButtons[i].cell.y, event.motion.x, event.motion.y);
                hovered = on && drawn(state, filesButtons[i]) ? i : hovered;
            }
            changed = changed || hovered != state->hovered;
            state->hovered = hovered;
            return changed;
        }
        case SDL_MOUSEWHEEL: {
            // Turned towards the player, the wheel goes on down the list.
            int towards = wheelTowardsPlayer(event.wheel);
            return towards != 0 && act(state, towards > 0 ? nextPage : previousPage);
        }
        case SDL_QUIT:
            state->result = filesClosed;
            return false;
        default:
            return false;
    }
}

}  // namespace

int chooseFile(SDL_Renderer* renderer, SDL_Texture* tiles, TTF_Font* font, char* filename) try {
    FilesState state{{}, 0, -1, -1, filename, renderer, tiles, font};
    gatherRows(&state);
    render(&state);
    SDL_Event event;
    while (waitEvent(renderer, &event) != 0) {
        bool redraw = handleEvent(event, &state);
        if (state.result != -1) {
            return state.result;
        }
        if (redraw) {
            render(&state);
        }
    }
    return filesClosed;
} catch (const std::bad_alloc&) {
    return filesBack;  // without memory for the list the prompt stays
}
