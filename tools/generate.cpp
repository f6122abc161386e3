// Proposes levels: carves a room without open 3 x 3 floor, puts the targets
// in it, searches backwards from the solved position for the farthest start
// in which every crate is pulled at least twice, turns the floor that the
// solution never uses back into wall, and ranks what it found by the
// difficulty score (solver effort and excess pushes), twins under turning
// and mirroring dropped. It proposes; a person picks and shapes.
//
// usage: boxtolo_generate SEED TRIES WIDTH HEIGHT CRATES [WALLS% [STATES]]
//        boxtolo_generate --rooms FILE [STATES [KEEP]]
//        boxtolo_generate --rooms-far FILE [BEAMWIDTH [KEEP]]
// prints the best proposals in the level file format, each with its measures;
// with --rooms, the rooms of FILE (drawn by hand, every crate on a target)
// get their crates and player placed.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "file.h"
#include "levelkit.h"

namespace {



struct Room {
    int w, h;
    std::vector<char> cells;  // level characters, row by row

    char& at(int x, int y) { return cells[static_cast<size_t>(y * w + x)]; }
    char at(int x, int y) const { return cells[static_cast<size_t>(y * w + x)]; }
    bool floor(int x, int y) const { return x >= 0 && y >= 0 && x < w && y < h && at(x, y) != '#'; }
    std::string text() const {
        std::string out;
        for (int y = 0; y < h; y++) {
            out.append(cells.begin() + y * w, cells.begin() + (y + 1) * w);
            out += '\n';
        }
        return out;
    }
};

bool connected(const Room& room) {
    int total = 0, sx = -1, sy = -1;
    for (int y = 0; y < room.h; y++) {
        for (int x = 0; x < room.w; x++) {
            if (room.floor(x, y)) {
                total++;
                sx = x;
                sy = y;
            }
        }
    }
    if (total == 0) {
        return false;
    }
    std::vector<char> seen(room.cells.size(), 0);
    std::vector<std::pair<int, int>> todo{{sx, sy}};
    seen[static_cast<size_t>(sy * room.w + sx)] = 1;
    int count = 0;
    while (!todo.empty()) {
        auto [x, y] = todo.back();
        todo.pop_back();
        count++;
        const int dx[] = {1, -1, 0, 0}, dy[] = {0, 0, 1, -1};
        for (int d = 0; d < 4; d++) {
            int nx = x + dx[d], ny = y + dy[d];
            if (room.floor(nx, ny) && !seen[static_cast<size_t>(ny * room.w + nx)]) {
                seen[static_cast<size_t>(ny * room.w + nx)] = 1;
                todo.emplace_back(nx, ny);
            }
        }
    }
    return count == total;
}

// A room of the given size: walls round it, inner walls scattered, no 3 x 3
// block of floor, floor in one piece.
Room carve(std::mt19937& rng, int w, int h, int wallPercent) {
    Room room{w, h, std::vector<char>(static_cast<size_t>(w * h), ' ')};
    for (int x = 0; x < w; x++) {
        room.at(x, 0) = room.at(x, h - 1) = '#';
    }
    for (int y = 0; y < h; y++) {
        room.at(0, y) = room.at(w - 1, y) = '#';
    }
    std::uniform_int_distribution<int> percent(0, 99), rx(1, w - 2), ry(1, h - 2);
    for (int y = 1; y < h - 1; y++) {
        for (int x = 1; x < w - 1; x++) {
            if (percent(rng) < wallPercent) {
                room.at(x, y) = '#';
                if (!connected(room)) {
                    room.at(x, y) = ' ';
                }
            }
        }
    }
    // Break every open 3 x 3 block with a pillar that keeps the floor whole.
    for (bool changed = true; changed;) {
        changed = false;
        for (int y = 0; y + 2 < h; y++) {
            for (int x = 0; x + 2 < w; x++) {
                bool open = true;
                for (int j = 0; j < 3 && open; j++) {
                    for (int i = 0; i < 3 && open; i++) {
                        open = room.floor(x + i, y + j);
                    }
                }
                if (!open) {
                    continue;
                }
                for (int attempt = 0; attempt < 9; attempt++) {
                    int px = x + attempt % 3, py = y + attempt / 3;
                    if (attempt == 0) {
                        px = x + 1;
                        py = y + 1;
                    }
                    room.at(px, py) = '#';
                    if (connected(room)) {
                        changed = true;
                        break;
                    }
                    room.at(px, py) = ' ';
                }
            }
        }
    }
    return room;
}

Level* levelFromText(const std::string& text, const char* name) {
    char path[] = "/tmp/boxtolo-generate-XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0) {
        return nullptr;
    }
    std::string file = std::string("; ") + name + "\n" + text;
    bool ok = write(fd, file.data(), file.size()) == static_cast<ssize_t>(file.size());
    close(fd);
    LoadLevelResult loaded = ok ? loadLevel(path) : LoadLevelResult{1, nullptr};
    unlink(path);
    return loaded.level;
}

// The level of a room with crates and the player placed, its unused floor
// walled up and its bounding box cut to the walls that remain.
std::string place(const Room& room, const levelkit::Board& board, const levelkit::Cells& crates, int player,
                  const levelkit::Cells* keep, bool trim) {
    Room out = room;
    for (int y = 0; y < room.h; y++) {
        for (int x = 0; x < room.w; x++) {
            int cell = (y + 1) * board.width + x + 1;
            char c = room.at(x, y) == '#' ? '#' : ' ';
            if (c != '#') {
                bool t = board.target[static_cast<size_t>(cell)];
                c = crates.has(cell) ? (t ? '*' : '$') : cell == player ? (t ? '+' : '@') : (t ? '.' : ' ');
                if (keep != nullptr && !keep->has(cell) && c == ' ') {
                    c = '#';
                }
            }
            out.at(x, y) = c;
        }
    }
    if (!trim) {
        return out.text();  // the room's own size, so that cells line up
    }
    // Cut the rows and columns with no floor near; what is left outside the
    // walls within them stays wall, so that nothing outside looks walkable.
    Room trimmed = out;
    int x0 = out.w, y0 = out.h, x1 = -1, y1 = -1;
    for (int y = 0; y < out.h; y++) {
        for (int x = 0; x < out.w; x++) {
            bool near = false;
            for (int dy = -1; dy <= 1; dy++) {
                for (int dx = -1; dx <= 1; dx++) {
                    near = near || out.floor(x + dx, y + dy);
                }
            }
            if (!near) {
                trimmed.at(x, y) = '#';
            } else {
                x0 = std::min(x0, x);
                y0 = std::min(y0, y);
                x1 = std::max(x1, x);
                y1 = std::max(y1, y);
            }
        }
    }
    std::string text;
    for (int y = y0; y <= y1; y++) {
        std::string row;
        for (int x = x0; x <= x1; x++) {
            row += trimmed.at(x, y);
        }
        // A row must start with a level character; a leading space is one.
        while (!row.empty() && row.back() == ' ') {
            row.pop_back();
        }
        text += row + "\n";
    }
    return text;
}

struct Proposal {
    std::string text;
    levelkit::Measures measures;
};

}  // namespace

// Rooms drawn by hand: walls, targets (crates on them) and the player, as
// levels of a file. For each, the farthest starts found backwards, with
// every crate pulled at least twice, each solved forwards and measured.
int fromRooms(const char* path, long states, int keep, bool beam) {
    LoadLevelResult loaded = loadLevel(const_cast<char*>(path));
    if (loaded.result != loadOk) {
        std::fprintf(stderr, "%s: load code %d\n", path, loaded.result);
        return 2;
    }
    for (const Level* level = loaded.level; level != nullptr; level = level->next) {
        levelkit::Board board;
        if (!levelkit::boardFromLevel(level, &board)) {
            std::printf("; %s: not a room\n\n", level->name);
            continue;
        }
        Room room{level->size.x, level->size.y, std::vector<char>(static_cast<size_t>(level->size.x * level->size.y))};
        for (int i = 0; i < level->size.x * level->size.y; i++) {
            room.cells[static_cast<size_t>(i)] = level->tiles[i] == wallS ? '#' : ' ';
        }
        std::vector<levelkit::Start> starts = beam ? levelkit::distantStarts(board, static_cast<int>(states), 400, 60)
                                                   : levelkit::farthestStarts(board, states, 4000);
        int shown = 0;
        int lastPulls = -1;
        for (const levelkit::Start& start : starts) {
            if (shown >= keep) {
                break;
            }
            bool everyTwice = std::all_of(start.pullsPerCrate.begin(), start.pullsPerCrate.end(),
                                          [](int n) { return n >= 2; });
            if (!everyTwice || start.pulls == lastPulls) {
                continue;
            }
            std::string text = place(room, board, start.crates, start.player, nullptr, true);
            Level* candidate = levelFromText(text, level->name);
            levelkit::Board cb;
            if (candidate == nullptr || !levelkit::boardFromLevel(candidate, &cb)) {
                unloadLevel(candidate);
                continue;
            }
            levelkit::Solution s = levelkit::solve(cb, 256);
            if (s.solved) {
                levelkit::Measures m = levelkit::measure(cb, candidate, s);
                std::printf("; %s (%d pulls back): %d crates, %d pushes, excess %d, effort %ld, score %.0f, used %d/%d%s%s\n%s\n",
                            level->name, start.pulls, m.crates, m.pushes, m.excess, m.effort, m.score, m.usedCells,
                            m.floorCells, m.open3x3 ? ", OPEN 3x3" : "", m.notch ? ", NOTCH" : "", text.c_str());
                std::fflush(stdout);
                shown++;
                lastPulls = start.pulls;
            }
            unloadLevel(candidate);
        }
        if (shown == 0) {
            std::printf("; %s: no start found (%zu states searched)\n\n", level->name, starts.size());
        }
    }
    unloadLevel(loaded.level);
    return 0;
}

int main(int argc, char** argv) {
    if (argc >= 3 && (std::string(argv[1]) == "--rooms" || std::string(argv[1]) == "--rooms-far")) {
        bool beam = std::string(argv[1]) == "--rooms-far";
        return fromRooms(argv[2], argc > 3 ? std::atol(argv[3]) : (beam ? 3000 : 3000000), argc > 4 ? std::atoi(argv[4]) : 3,
                         beam);
    }
    if (argc < 6) {
        std::fprintf(stderr, "usage: %s SEED TRIES WIDTH HEIGHT CRATES [WALLS%% [STATES]]\n", argv[0]);
        return 2;
    }
    unsigned seed = static_cast<unsigned>(std::strtoul(argv[1], nullptr, 10));
    int tries = std::atoi(argv[2]);
    int w = std::atoi(argv[3]) , h = std::atoi(argv[4]), crates = std::atoi(argv[5]);
    int wallPercent = argc > 6 ? std::atoi(argv[6]) : 25;
    long states = argc > 7 ? std::atol(argv[7]) : 400000;
    std::mt19937 rng(seed);
    std::vector<Proposal> proposals;
    std::set<std::string> seen;
    for (int attempt = 0; attempt < tries; attempt++) {
        Room room = carve(rng, w, h, wallPercent);
        std::vector<std::pair<int, int>> free;
        for (int y = 0; y < h; y++) {
            for (int x = 0; x < w; x++) {
                if (room.floor(x, y)) {
                    free.emplace_back(x, y);
                }
            }
        }
        if (static_cast<int>(free.size()) < crates * 3 + 2) {
            continue;
        }
        std::shuffle(free.begin(), free.end(), rng);
        Room solved = room;
        for (int i = 0; i < crates; i++) {
            solved.at(free[static_cast<size_t>(i)].first, free[static_cast<size_t>(i)].second) = '*';
        }
        solved.at(free[static_cast<size_t>(crates)].first, free[static_cast<size_t>(crates)].second) = '@';
        Level* level = levelFromText(solved.text(), "solved");
        levelkit::Board board;
        if (level == nullptr || !levelkit::boardFromLevel(level, &board)) {
            unloadLevel(level);
            continue;
        }
        unloadLevel(level);
        std::vector<levelkit::Start> starts = levelkit::farthestStarts(board, states, 400);
        for (const levelkit::Start& start : starts) {
            bool everyTwice = std::all_of(start.pullsPerCrate.begin(), start.pullsPerCrate.end(),
                                          [](int n) { return n >= 2; });
            if (!everyTwice) {
                continue;
            }
            // The player on any cell of his region: the lowest one.
            std::string first = place(room, board, start.crates, start.player, nullptr, false);
            Level* candidate = levelFromText(first, "candidate");
            levelkit::Board cb;
            if (candidate == nullptr || !levelkit::boardFromLevel(candidate, &cb)) {
                unloadLevel(candidate);
                break;
            }
            levelkit::Solution s = levelkit::solve(cb, 64);
            unloadLevel(candidate);
            if (!s.solved) {
                break;
            }
            // Wall up what the solution never uses, then measure anew.
            levelkit::Cells used;
            int pushes = 0;
            bool done = false;
            levelkit::replay(cb, s.moves, &pushes, &done, &used, nullptr);
            // Cells of the carved room and of the candidate line up: same size.
            std::string shaped = place(room, board, start.crates, start.player, &used, true);
            Level* final = levelFromText(shaped, "shaped");
            levelkit::Board fb;
            if (final == nullptr || !levelkit::boardFromLevel(final, &fb)) {
                unloadLevel(final);
                break;
            }
            levelkit::Solution fs = levelkit::solve(fb, 64);
            if (fs.solved && seen.insert(levelkit::canonicalForm(final)).second) {
                levelkit::Measures m = levelkit::measure(fb, final, fs);
                // Only what the campaign could take as it is.
                bool fits = !m.open3x3 && !m.notch && m.outside * 10 <= m.box && m.usedCells * 10 >= m.floorCells * 8 &&
                            m.everyCrateMoves;
                if (fits) {
                    proposals.push_back(Proposal{shaped, m});
                }
            }
            unloadLevel(final);
            break;
        }
    }
    std::sort(proposals.begin(), proposals.end(),
              [](const Proposal& a, const Proposal& b) { return a.measures.score > b.measures.score; });
    for (size_t i = 0; i < proposals.size() && i < 12; i++) {
        const levelkit::Measures& m = proposals[i].measures;
        std::printf("; g%u-%dx%d-%zu: %d crates, %d pushes, excess %d, effort %ld, score %.0f\n%s\n", seed, w, h, i,
                    m.crates, m.pushes, m.excess, m.effort, m.score, proposals[i].text.c_str());
    }
    return 0;
}
