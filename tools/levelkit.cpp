#include "levelkit.h"

#include <algorithm>
#include <random>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

namespace levelkit {

namespace {

// The tools make levels of the campaign's size: the backward searches keep
// a position in the words such a board needs, not in the game's largest.
constexpr int words = ((maxLevelWidth + 2) * (maxLevelHeight + 2) + 63) / 64;

struct Kept {
    uint64_t bits[words];
    bool operator==(const Kept& other) const { return std::memcmp(bits, other.bits, sizeof bits) == 0; }
};

Kept compact(const Cells& cells) {
    Kept kept;
    std::memcpy(kept.bits, cells.bits, sizeof kept.bits);
    return kept;
}

Cells cellsOf(const Kept& kept) {
    Cells cells;
    std::memcpy(cells.bits, kept.bits, sizeof kept.bits);
    return cells;
}
const char moveLetters[] = "lurd";
const char pushLetters[] = "LURD";

uint64_t mix(uint64_t x) {
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdull;
    x ^= x >> 33;
    x *= 0xc4ceb9fe1a85ec53ull;
    x ^= x >> 33;
    return x;
}

uint64_t hashState(const Cells& crates, int player) {
    uint64_t h = mix(static_cast<uint64_t>(player) + 0x9e3779b97f4a7c15ull);
    for (uint64_t word : crates.bits) {
        h = mix(h ^ word);
    }
    return h;
}

template <typename Visit>
void forEachCell(const Cells& cells, Visit visit) {
    for (int w = 0; w < Cells::words; w++) {
        uint64_t bits = cells.bits[w];
        while (bits != 0) {
            int bit = __builtin_ctzll(bits);
            visit(w * 64 + bit);
            bits &= bits - 1;
        }
    }
}

int lowest(const Cells& cells) {
    for (int w = 0; w < Cells::words; w++) {
        if (cells.bits[w] != 0) {
            return w * 64 + __builtin_ctzll(cells.bits[w]);
        }
    }
    return -1;
}

bool allOnTargets(const Board& board, const Cells& crates) {
    for (int t : board.targets) {
        if (!crates.has(t)) {
            return false;
        }
    }
    return true;
}

// A position met by a backward search.
struct Node {
    Kept crates;
    int16_t player;  // lowest cell the player can reach
};

// Open addressing over node indices, keyed by crates and player.
struct Table {
    std::vector<int32_t> slots;
    size_t used = 0;

    explicit Table(size_t capacity = 1 << 16) : slots(capacity, -1) {}

    // The slot holding the key, or the empty slot where it belongs.
    size_t find(const std::vector<Node>& nodes, const Kept& crates, int player) const {
        size_t mask = slots.size() - 1;
        size_t i = hashState(cellsOf(crates), player) & mask;
        while (slots[i] >= 0) {
            const Node& n = nodes[static_cast<size_t>(slots[i])];
            if (n.player == player && n.crates == crates) {
                return i;
            }
            i = (i + 1) & mask;
        }
        return i;
    }

    void grow(const std::vector<Node>& nodes) {
        std::vector<int32_t> old;
        old.swap(slots);
        slots.assign(old.size() * 2, -1);
        for (int32_t index : old) {
            if (index >= 0) {
                const Node& n = nodes[static_cast<size_t>(index)];
                slots[find(nodes, n.crates, n.player)] = index;
            }
        }
    }
};

}  // namespace

bool boardFromLevel(const Level* level, Board* board) {
    Board b;
    Position start;
    if (!readBoard(level, Coordinates{-1, -1}, &b, &start) || b.impossible) {
        return false;
    }
    // A crate or a target where the player can never come was dropped by the
    // board: the tools refuse such a level.
    for (int y = 0; y < level->size.y; y++) {
        for (int x = 0; x < level->size.x; x++) {
            TileState t = level->tiles[y * level->size.x + x];
            bool counted = t == crateS || t == crateOnTargetS || t == targetS || t == playerOnTargetS;
            if (counted && b.wall[static_cast<size_t>(boardCell(b, Coordinates{x, y}))]) {
                return false;
            }
        }
    }
    b.crates = start.crates;
    b.player = start.player;
    *board = std::move(b);
    return true;
}

Solution solve(const Board& board, long megabytes) {
    SearchLimits limits;
    limits.memory = static_cast<size_t>(megabytes) << 20;
    ::Solution found = ::solve(board, board.start(), limits);
    Solution s;
    s.solved = found.outcome == solved;
    s.gaveUp = found.outcome == undecided;
    s.pushes = found.pushes;
    s.moves = found.moves;
    s.expanded = found.expanded;
    return s;
}

bool replay(const Board& board, const std::string& moves, int* pushes, bool* solved, Cells* used,
            std::vector<int>* cratePushes, std::vector<int>* pushOrder) {
    Cells crates = board.crates;
    int player = board.player;
    std::vector<int> id(static_cast<size_t>(board.cells()), -1);
    int crateCount = 0;
    forEachCell(crates, [&](int c) { id[static_cast<size_t>(c)] = crateCount++; });
    std::vector<int> perCrate(static_cast<size_t>(crateCount), 0);
    Cells touched;
    touched.set(player);
    forEachCell(crates, [&](int c) { touched.set(c); });
    int pushed = 0;
    for (char m : moves) {
        const char* lower = std::strchr(moveLetters, m);
        const char* upper = std::strchr(pushLetters, m);
        if (m == '\0' || (lower == nullptr && upper == nullptr)) {
            return false;
        }
        int d = static_cast<int>(lower != nullptr ? lower - moveLetters : upper - pushLetters);
        int next = player + board.step[d];
        if (board.wall[static_cast<size_t>(next)]) {
            return false;
        }
        if (crates.has(next)) {
            int dest = next + board.step[d];
            if (upper == nullptr || board.wall[static_cast<size_t>(dest)] || crates.has(dest)) {
                return false;
            }
            crates.clear(next);
            crates.set(dest);
            id[static_cast<size_t>(dest)] = id[static_cast<size_t>(next)];
            perCrate[static_cast<size_t>(id[static_cast<size_t>(dest)])]++;
            if (pushOrder != nullptr) {
                pushOrder->push_back(id[static_cast<size_t>(dest)]);
            }
            touched.set(dest);
            pushed++;
        } else if (upper != nullptr) {
            return false;
        }
        player = next;
        touched.set(player);
    }
    *pushes = pushed;
    *solved = allOnTargets(board, crates);
    if (used != nullptr) {
        *used = touched;
    }
    if (cratePushes != nullptr) {
        *cratePushes = perCrate;
    }
    return true;
}

double difficulty(long effort, int excess) {
    return static_cast<double>(effort) + 10.0 * excess;
}

Measures measure(const Board& board, const Level* level, const Solution& solution) {
    Measures m;
    m.crates = board.crates.count();
    m.pushes = solution.pushes;
    m.moves = static_cast<int>(solution.moves.size());
    m.bound = matchingBound(board, board.start());
    m.excess = m.pushes - m.bound;
    m.effort = solution.expanded;
    m.score = difficulty(m.effort, m.excess);
    Cells used;
    std::vector<int> perCrate;
    int pushes = 0;
    bool solved = false;
    std::vector<int> order;
    if (replay(board, solution.moves, &pushes, &solved, &used, &perCrate, &order)) {
        m.everyCrateMoves = std::all_of(perCrate.begin(), perCrate.end(), [](int n) { return n > 0; });
        for (size_t i = 1; i < order.size(); i++) {
            m.crateChanges += order[i] != order[i - 1];
        }
    }
    auto floorAt = [&](int x, int y) {  // level coordinates
        if (x < 0 || y < 0 || x >= level->size.x || y >= level->size.y) {
            return false;
        }
        return board.wall[static_cast<size_t>((y + 1) * board.width + x + 1)] == 0;
    };
    for (int y = 0; y < level->size.y; y++) {
        for (int x = 0; x < level->size.x; x++) {
            int cell = (y + 1) * board.width + x + 1;
            if (floorAt(x, y)) {
                m.floorCells++;
                m.usedCells += used.has(cell);
                int walls = 0;
                bool touchesOutside = false;
                for (int d = 0; d < 4; d++) {
                    int n = cell + board.step[d];
                    if (board.wall[static_cast<size_t>(n)]) {
                        walls++;
                        // the wall cell is on the outline when the outside lies beyond it
                        int beyond = n + board.step[d];
                        int bx = beyond % board.width - 1, by = beyond / board.width - 1;
                        touchesOutside = touchesOutside || beyond < 0 || beyond >= board.cells() ||
                                         bx < 0 || by < 0 || bx >= level->size.x || by >= level->size.y ||
                                         board.wall[static_cast<size_t>(beyond)];
                    }
                }
                if (walls == 3 && touchesOutside && !used.has(cell) && !board.target[static_cast<size_t>(cell)]) {
                    m.notch = true;
                }
            }
            bool open = true;
            for (int dy = 0; dy < 3 && open; dy++) {
                for (int dx = 0; dx < 3 && open; dx++) {
                    open = floorAt(x + dx, y + dy);
                }
            }
            m.open3x3 = m.open3x3 || open;
        }
    }
    // Outside: the cells of the bounding box that no floor touches, as far
    // as they reach the box's edge (solid wall inside a level is not outside).
    int w = level->size.x, h = level->size.y;
    auto nearFloor = [&](int x, int y) {
        for (int dy = -1; dy <= 1; dy++) {
            for (int dx = -1; dx <= 1; dx++) {
                if (floorAt(x + dx, y + dy)) {
                    return true;
                }
            }
        }
        return false;
    };
    std::vector<char> out(static_cast<size_t>(w * h), 0);
    std::vector<std::pair<int, int>> todo;
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            if ((x == 0 || y == 0 || x == w - 1 || y == h - 1) && !nearFloor(x, y)) {
                out[static_cast<size_t>(y * w + x)] = 1;
                todo.emplace_back(x, y);
            }
        }
    }
    while (!todo.empty()) {
        auto [x, y] = todo.back();
        todo.pop_back();
        const int dx[] = {1, -1, 0, 0}, dy[] = {0, 0, 1, -1};
        for (int d = 0; d < 4; d++) {
            int nx = x + dx[d], ny = y + dy[d];
            if (nx >= 0 && ny >= 0 && nx < w && ny < h && !out[static_cast<size_t>(ny * w + nx)] && !nearFloor(nx, ny)) {
                out[static_cast<size_t>(ny * w + nx)] = 1;
                todo.emplace_back(nx, ny);
            }
        }
    }
    m.outside = static_cast<int>(std::count(out.begin(), out.end(), 1));
    m.box = w * h;
    m.floorPerCrate = m.crates > 0 ? static_cast<double>(m.floorCells) / m.crates : 0;
    return m;
}

std::string canonicalForm(const Level* level) {
    int w = level->size.x, h = level->size.y;
    Board board;
    bool ok = boardFromLevel(level, &board);
    auto at = [&](int x, int y) -> char {
        if (!ok) {
            return "?#@+$*. "[level->tiles[y * w + x] & 7];
        }
        int cell = (y + 1) * board.width + x + 1;
        if (board.wall[static_cast<size_t>(cell)]) {
            return '#';
        }
        bool t = board.target[static_cast<size_t>(cell)];
        if (board.crates.has(cell)) {
            return t ? '*' : '$';
        }
        if (cell == board.player) {
            return t ? '+' : '@';
        }
        return t ? '.' : ' ';
    };
    std::string best;
    for (int turn = 0; turn < 8; turn++) {
        bool swap = turn & 1, flipX = turn & 2, flipY = turn & 4;
        int tw = swap ? h : w, th = swap ? w : h;
        std::string form = std::to_string(tw) + "x" + std::to_string(th) + ":";
        for (int y = 0; y < th; y++) {
            for (int x = 0; x < tw; x++) {
                int sx = swap ? y : x, sy = swap ? x : y;
                if (flipX) {
                    sx = w - 1 - sx;
                }
                if (flipY) {
                    sy = h - 1 - sy;
                }
                form += at(sx, sy);
            }
        }
        if (best.empty() || form < best) {
            best = form;
        }
    }
    return best;
}

Cells targetCells(const Board& board) {
    Cells cells;
    for (int t : board.targets) {
        cells.set(t);
    }
    return cells;
}

// Every place the player may stand when the crates are home: the lowest cell
// of each region the crates leave him.
std::vector<int> solvedPlayers(const Board& solved, const Cells& goal) {
    std::vector<int> players;
    Cells covered;
    for (int cell = 0; cell < solved.cells(); cell++) {
        if (solved.wall[static_cast<size_t>(cell)] || goal.has(cell) || covered.has(cell)) {
            continue;
        }
        Cells region = reach(solved, goal, cell);
        for (int w = 0; w < Cells::words; w++) {
            covered.bits[w] |= region.bits[w];
        }
        players.push_back(lowest(region));
    }
    return players;
}

std::vector<Start> farthestStarts(const Board& solved, long stateBudget, int keep) {
    struct Back {
        Kept crates;
        int16_t player;
        int32_t parent;
        int16_t from, to;  // the pulled crate's cells
        int32_t pulls;
    };
    std::vector<Back> states;
    std::vector<Node> keyed;  // the same states, for the table's keys
    Table table;
    if (solved.cells() > words * 64) {
        return {};
    }
    Cells goal = targetCells(solved);
    for (int player : solvedPlayers(solved, goal)) {
        states.push_back(Back{compact(goal), static_cast<int16_t>(player), -1, -1, -1, 0});
        keyed.push_back(Node{compact(goal), static_cast<int16_t>(player)});
        table.slots[table.find(keyed, compact(goal), player)] = static_cast<int32_t>(keyed.size() - 1);
        table.used++;
    }
    for (size_t head = 0; head < states.size() && static_cast<long>(states.size()) < stateBudget; head++) {
        const Back current = states[head];
        Cells crates = cellsOf(current.crates);
        Cells reached = reach(solved, crates, current.player);
        forEachCell(crates, [&](int c) {
            for (int d = 0; d < 4; d++) {
                // The player at c + step pulls the crate after him.
                int stand = c + solved.step[d];
                int back = stand + solved.step[d];
                if (!reached.has(stand) || solved.wall[static_cast<size_t>(back)] || crates.has(back)) {
                    continue;
                }
                Cells next = crates;
                next.clear(c);
                next.set(stand);
                int player = lowest(reach(solved, next, back));
                size_t slot = table.find(keyed, compact(next), player);
                if (table.slots[slot] >= 0) {
                    continue;
                }
                states.push_back(Back{compact(next), static_cast<int16_t>(player), static_cast<int32_t>(head),
                                      static_cast<int16_t>(c), static_cast<int16_t>(stand), current.pulls + 1});
                keyed.push_back(Node{compact(next), static_cast<int16_t>(player)});
                table.slots[slot] = static_cast<int32_t>(keyed.size() - 1);
                if (++table.used * 2 > table.slots.size()) {
                    table.grow(keyed);
                }
            }
        });
    }
    // The last layers hold the farthest starts found.
    std::vector<Start> found;
    for (size_t i = states.size(); i-- > 0 && static_cast<int>(found.size()) < keep;) {
        const Back& s = states[i];
        Start start{cellsOf(s.crates), s.player, s.pulls, {}};
        // Follow the pulls home, telling each crate apart by where it goes.
        std::vector<int> id(static_cast<size_t>(solved.cells()), -1);
        int n = 0;
        forEachCell(start.crates, [&](int c) { id[static_cast<size_t>(c)] = n++; });
        start.pullsPerCrate.assign(static_cast<size_t>(n), 0);
        for (int32_t k = static_cast<int32_t>(i); states[static_cast<size_t>(k)].parent >= 0;
             k = states[static_cast<size_t>(k)].parent) {
            const Back& b = states[static_cast<size_t>(k)];
            // Forwards this is a push from b.to back to b.from.
            int who = id[static_cast<size_t>(b.to)];
            start.pullsPerCrate[static_cast<size_t>(who)]++;
            id[static_cast<size_t>(b.from)] = who;
            id[static_cast<size_t>(b.to)] = -1;
        }
        found.push_back(start);
    }
    return found;
}

std::vector<Start> distantStarts(const Board& solved, int width, int depth, int keep) {
    struct Beam {
        Cells crates;
        int player;
        int pulls;
        int bound;
        std::vector<int> perCrate;  // pulls of each crate, by its target's index
        std::vector<int> where;     // each crate's cell, same order
    };
    std::vector<Beam> layer;
    Cells goal = targetCells(solved);
    for (int player : solvedPlayers(solved, goal)) {
        layer.push_back(Beam{goal, player, 0, 0, std::vector<int>(solved.targets.size(), 0), solved.targets});
    }
    std::vector<Beam> best;
    std::set<std::pair<uint64_t, int>> seen;
    for (const Beam& b : layer) {
        seen.insert({hashState(b.crates, b.player), b.player});
    }
    for (int level = 0; level < depth && !layer.empty(); level++) {
        std::vector<Beam> next;
        for (const Beam& current : layer) {
            Cells reached = reach(solved, current.crates, current.player);
            for (size_t k = 0; k < current.where.size(); k++) {
                int c = current.where[k];
                for (int d = 0; d < 4; d++) {
                    int stand = c + solved.step[d];
                    int back = stand + solved.step[d];
                    if (!reached.has(stand) || solved.wall[static_cast<size_t>(back)] || current.crates.has(back)) {
                        continue;
                    }
                    Beam b = current;
                    b.crates.clear(c);
                    b.crates.set(stand);
                    b.where[k] = stand;
                    b.perCrate[k]++;
                    b.pulls++;
                    b.player = lowest(reach(solved, b.crates, back));
                    if (!seen.insert({hashState(b.crates, b.player), b.player}).second) {
                        continue;
                    }
                    b.bound = matchingBound(solved, Position{b.crates, b.player});
                    next.push_back(std::move(b));
                }
            }
        }
        std::sort(next.begin(), next.end(), [](const Beam& a, const Beam& b) { return a.bound > b.bound; });
        if (static_cast<int>(next.size()) > width) {
            next.resize(static_cast<size_t>(width));
        }
        for (const Beam& b : next) {
            bool everyTwice = std::all_of(b.perCrate.begin(), b.perCrate.end(), [](int n) { return n >= 2; });
            if (everyTwice) {
                best.push_back(b);
            }
        }
        std::sort(best.begin(), best.end(), [](const Beam& a, const Beam& b) { return a.bound > b.bound; });
        if (static_cast<int>(best.size()) > keep) {
            best.resize(static_cast<size_t>(keep));
        }
        layer.swap(next);
    }
    std::vector<Start> found;
    for (const Beam& b : best) {
        found.push_back(Start{b.crates, b.player, b.pulls, b.perCrate});
    }
    return found;
}

std::vector<KeptSolution> readSolutions(const std::string& path) {
    std::vector<KeptSolution> kept;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::stringstream fields(line);
        KeptSolution k;
        std::string pushes, effort;
        std::getline(fields, k.name, '\t');
        std::getline(fields, pushes, '\t');
        std::getline(fields, effort, '\t');
        std::getline(fields, k.moves, '\t');
        k.pushes = std::atoi(pushes.c_str());
        k.effort = std::atol(effort.c_str());
        kept.push_back(k);
    }
    return kept;
}

std::string scatteredLevel(int width, int height, int crates, unsigned seed) {
    std::mt19937 rng(seed);
    auto chance = [&](int percent) { return static_cast<int>(rng() % 100) < percent; };
    std::vector<std::string> rows;
    Level* level = nullptr;
    Board board;
    // A room with pillars and short walls, until its floor is one piece.
    for (bool connected = false; !connected;) {
        rows.assign(static_cast<size_t>(height), std::string(static_cast<size_t>(width), ' '));
        for (int y = 0; y < height; y++) {
            for (int x = 0; x < width; x++) {
                bool edge = x == 0 || y == 0 || x == width - 1 || y == height - 1;
                if (edge || chance(12)) {
                    rows[static_cast<size_t>(y)][static_cast<size_t>(x)] = '#';
                }
            }
        }
        rows[1][1] = '@';
        std::string text;
        for (const std::string& row : rows) {
            text += row + "\n";
        }
        unloadLevel(level);
        level = loadLevelText(text.data(), text.size()).level;
        Position start;
        connected = level != nullptr && readBoard(level, Coordinates{-1, -1}, &board, &start);
        int open = 0;
        for (int y = 0; y < height && connected; y++) {
            for (int x = 0; x < width; x++) {
                bool floor = rows[static_cast<size_t>(y)][static_cast<size_t>(x)] != '#';
                open += floor;
                connected = connected && (!floor || !board.wall[static_cast<size_t>(boardCell(board, Coordinates{x, y}))]);
            }
        }
        connected = connected && open > crates * 4;
    }
    unloadLevel(level);
    // Targets on floor a crate can be pulled away from, the crates on them.
    auto free = [&](int cell) { return !board.wall[static_cast<size_t>(cell)]; };
    std::vector<int> floor;
    for (int cell = 0; cell < board.cells(); cell++) {
        // Floor lies within the ring of wall: its neighbours are on the board.
        if (free(cell) && ((free(cell - 1) && free(cell + 1)) || (free(cell - board.width) && free(cell + board.width)))) {
            floor.push_back(cell);
        }
    }
    std::shuffle(floor.begin(), floor.end(), rng);
    Cells boxes;
    for (int i = 0; i < crates && i < static_cast<int>(floor.size()); i++) {
        boxes.set(floor[static_cast<size_t>(i)]);
    }
    Cells targets = boxes;
    int player = floor.back();
    // The player walks at random and pulls the crate behind him now and then.
    for (int step = 0; step < crates * 2000; step++) {
        int d = static_cast<int>(rng() % directionCount);
        int next = player + board.step[d];
        if (board.wall[static_cast<size_t>(next)] || boxes.has(next)) {
            continue;
        }
        int behind = player - board.step[d];
        if (boxes.has(behind) && chance(60)) {
            boxes.clear(behind);
            boxes.set(player);
        }
        player = next;
    }
    std::string text = "; Szórt " + std::to_string(width) + "x" + std::to_string(height) + " " +
                       std::to_string(crates) + " " + std::to_string(seed) + "\n";
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            int cell = boardCell(board, Coordinates{x, y});
            bool crate = boxes.has(cell), target = targets.has(cell);
            char c = board.wall[static_cast<size_t>(cell)] ? '#' : ' ';
            if (cell == player) {
                c = target ? '+' : '@';
            } else if (crate) {
                c = target ? '*' : '$';
            } else if (target) {
                c = '.';
            }
            text += c;
        }
        text += "\n";
    }
    return text;
}

}  // namespace levelkit
