#include "levelkit.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <cstring>
#include <queue>
#include <set>
#include <sstream>

namespace levelkit {

namespace {

constexpr int words = maxCells / 64;
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
    for (int w = 0; w < words; w++) {
        uint64_t bits = cells.bits[w];
        while (bits != 0) {
            int bit = __builtin_ctzll(bits);
            visit(w * 64 + bit);
            bits &= bits - 1;
        }
    }
}

int lowest(const Cells& cells) {
    for (int w = 0; w < words; w++) {
        if (cells.bits[w] != 0) {
            return w * 64 + __builtin_ctzll(cells.bits[w]);
        }
    }
    return -1;
}

// Minimum-cost assignment of every row to a distinct column (rows <= columns),
// the Hungarian method with potentials.
int assign(const std::vector<std::vector<int>>& cost, int rows, int columns) {
    const int inf = unreachable * 4;
    std::vector<int> u(rows + 1), v(columns + 1), p(columns + 1), way(columns + 1);
    for (int i = 1; i <= rows; i++) {
        p[0] = i;
        int j0 = 0;
        std::vector<int> minv(columns + 1, inf);
        std::vector<char> used(columns + 1, 0);
        do {
            used[j0] = 1;
            int i0 = p[j0], delta = inf, j1 = 0;
            for (int j = 1; j <= columns; j++) {
                if (!used[j]) {
                    int cur = cost[i0 - 1][j - 1] - u[i0] - v[j];
                    if (cur < minv[j]) {
                        minv[j] = cur;
                        way[j] = j0;
                    }
                    if (minv[j] < delta) {
                        delta = minv[j];
                        j1 = j;
                    }
                }
            }
            for (int j = 0; j <= columns; j++) {
                if (used[j]) {
                    u[p[j]] += delta;
                    v[j] -= delta;
                } else {
                    minv[j] -= delta;
                }
            }
            j0 = j1;
        } while (p[j0] != 0);
        do {
            int j1 = way[j0];
            p[j0] = p[j1];
            j0 = j1;
        } while (j0 != 0);
    }
    int total = 0;
    for (int j = 1; j <= columns; j++) {
        if (p[j] != 0) {
            total += cost[p[j] - 1][j - 1];
        }
    }
    return total;
}

bool allOnTargets(const Board& board, const Cells& crates) {
    for (int t : board.targets) {
        if (!crates.has(t)) {
            return false;
        }
    }
    return true;
}

// A crate that can move along neither axis, the cell it is checked from
// taken for a wall: off a target it can never be moved onto one.
bool frozen(const Board& board, const Cells& crates, int cell, Cells& marked, bool* offTarget) {
    marked.set(cell);
    bool blocked[2];
    for (int axis = 0; axis < 2; axis++) {
        int a = cell - board.step[axis == 0 ? 2 : 3];
        int b = cell + board.step[axis == 0 ? 2 : 3];
        auto wallLike = [&](int n) { return board.wall[n] || marked.has(n); };
        blocked[axis] = wallLike(a) || wallLike(b) || (board.dead[a] && board.dead[b]) ||
                        (crates.has(a) && frozen(board, crates, a, marked, offTarget)) ||
                        (crates.has(b) && frozen(board, crates, b, marked, offTarget));
    }
    marked.clear(cell);
    bool result = blocked[0] && blocked[1];
    if (result && !board.target[cell]) {
        *offTarget = true;
    }
    return result;
}

bool freezeDeadlock(const Board& board, const Cells& crates, int moved) {
    Cells marked;
    bool offTarget = false;
    return frozen(board, crates, moved, marked, &offTarget) && offTarget;
}

struct Node {
    Cells crates;
    int16_t player;  // lowest cell the player can reach
    int16_t g;
    int32_t parent;
    int16_t pushed;  // the crate's cell before the push that made this node
    int8_t dir;
};

// Open addressing over node indices, keyed by crates and player.
struct Table {
    std::vector<int32_t> slots;
    size_t used = 0;

    explicit Table(size_t capacity = 1 << 16) : slots(capacity, -1) {}

    // The slot holding the key, or the empty slot where it belongs.
    size_t find(const std::vector<Node>& nodes, const Cells& crates, int player) const {
        size_t mask = slots.size() - 1;
        size_t i = hashState(crates, player) & mask;
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

struct Open {
    int f;
    int g;
    int32_t node;
    bool operator<(const Open& o) const { return f != o.f ? f > o.f : g < o.g; }
};

// The shortest walk from `from` to `to` with the crates in place, as letters.
std::string walk(const Board& board, const Cells& crates, int from, int to) {
    if (from == to) {
        return std::string();
    }
    std::vector<int> came(static_cast<size_t>(board.cells()), -1);
    std::queue<int> todo;
    todo.push(from);
    came[static_cast<size_t>(from)] = from;
    while (!todo.empty()) {
        int cell = todo.front();
        todo.pop();
        if (cell == to) {
            break;
        }
        for (int d = 0; d < 4; d++) {
            int next = cell + board.step[d];
            if (!board.wall[next] && !crates.has(next) && came[static_cast<size_t>(next)] < 0) {
                came[static_cast<size_t>(next)] = cell;
                todo.push(next);
            }
        }
    }
    std::string path;
    for (int cell = to; cell != from;) {
        int prev = came[static_cast<size_t>(cell)];
        for (int d = 0; d < 4; d++) {
            if (prev + board.step[d] == cell) {
                path += moveLetters[d];
            }
        }
        cell = prev;
    }
    std::reverse(path.begin(), path.end());
    return path;
}

}  // namespace

int Cells::count() const {
    int n = 0;
    for (uint64_t word : bits) {
        n += __builtin_popcountll(word);
    }
    return n;
}

bool boardFromLevel(const Level* level, Board* board) {
    Board b;
    b.width = level->size.x + 2;
    b.height = level->size.y + 2;
    if (b.cells() > maxCells) {
        return false;
    }
    b.wall.assign(static_cast<size_t>(b.cells()), 1);
    b.target.assign(static_cast<size_t>(b.cells()), 0);
    b.step[0] = -1;
    b.step[1] = -b.width;
    b.step[2] = 1;
    b.step[3] = b.width;
    int players = 0;
    for (int y = 0; y < level->size.y; y++) {
        for (int x = 0; x < level->size.x; x++) {
            int cell = (y + 1) * b.width + (x + 1);
            TileState t = level->tiles[y * level->size.x + x];
            if (t == wallS || t == invalidS) {
                continue;
            }
            b.wall[static_cast<size_t>(cell)] = 0;
            if (t == targetS || t == crateOnTargetS || t == playerOnTargetS) {
                b.target[static_cast<size_t>(cell)] = 1;
            }
            if (t == crateS || t == crateOnTargetS) {
                b.crates.set(cell);
            }
            if (t == playerS || t == playerOnTargetS) {
                b.player = cell;
                players++;
            }
        }
    }
    if (players != 1) {
        return false;
    }
    // Whatever the player can never walk to, crates or not, is outside.
    Cells inside;
    std::vector<int> todo{b.player};
    inside.set(b.player);
    while (!todo.empty()) {
        int cell = todo.back();
        todo.pop_back();
        for (int d = 0; d < 4; d++) {
            int next = cell + b.step[d];
            if (!b.wall[static_cast<size_t>(next)] && !inside.has(next)) {
                inside.set(next);
                todo.push_back(next);
            }
        }
    }
    for (int cell = 0; cell < b.cells(); cell++) {
        if (!inside.has(cell)) {
            if (b.crates.has(cell) || b.target[static_cast<size_t>(cell)]) {
                return false;
            }
            b.wall[static_cast<size_t>(cell)] = 1;
        }
        if (b.target[static_cast<size_t>(cell)]) {
            b.targets.push_back(cell);
        }
    }
    if (b.crates.count() < static_cast<int>(b.targets.size())) {
        return false;
    }
    // Lone-crate distances, searched backwards from each target: a crate
    // came to p from p - step, pushed by a player at p - 2 step.
    for (int t : b.targets) {
        std::vector<int> dist(static_cast<size_t>(b.cells()), unreachable);
        std::queue<int> queue;
        dist[static_cast<size_t>(t)] = 0;
        queue.push(t);
        while (!queue.empty()) {
            int p = queue.front();
            queue.pop();
            for (int d = 0; d < 4; d++) {
                int from = p - b.step[d];
                int pusher = from - b.step[d];
                if (!b.wall[static_cast<size_t>(from)] && !b.wall[static_cast<size_t>(pusher)] &&
                    dist[static_cast<size_t>(from)] == unreachable) {
                    dist[static_cast<size_t>(from)] = dist[static_cast<size_t>(p)] + 1;
                    queue.push(from);
                }
            }
        }
        b.distance.push_back(dist);
    }
    // The parts of the floor with a lone crate at each cell.
    b.region.assign(static_cast<size_t>(b.cells()) * static_cast<size_t>(b.cells()), -1);
    for (int c = 0; c < b.cells(); c++) {
        if (b.wall[static_cast<size_t>(c)]) {
            continue;
        }
        int16_t* label = &b.region[static_cast<size_t>(c) * static_cast<size_t>(b.cells())];
        int16_t parts = 0;
        for (int start = 0; start < b.cells(); start++) {
            if (b.wall[static_cast<size_t>(start)] || start == c || label[start] >= 0) {
                continue;
            }
            std::vector<int> todo{start};
            label[start] = parts;
            while (!todo.empty()) {
                int cell = todo.back();
                todo.pop_back();
                for (int d = 0; d < 4; d++) {
                    int next = cell + b.step[d];
                    if (!b.wall[static_cast<size_t>(next)] && next != c && label[next] < 0) {
                        label[next] = parts;
                        todo.push_back(next);
                    }
                }
            }
            parts++;
        }
    }
    // Lone-crate distances with the player walking, searched backwards from
    // each target over (crate cell, side of the player): the crate came to p
    // from p + step[s], pushed by a player at p + 2 step[s], who then stood
    // on side s of it; before that push he could have stood on any side of
    // it he could walk to.
    auto regionOf = [&](int crate, int cell) {
        return b.region[static_cast<size_t>(crate) * static_cast<size_t>(b.cells()) + static_cast<size_t>(cell)];
    };
    for (int t : b.targets) {
        std::vector<int> dist(static_cast<size_t>(b.cells()) * 4, unreachable);
        std::queue<int> queue;
        for (int s = 0; s < 4; s++) {
            if (!b.wall[static_cast<size_t>(t + b.step[s])]) {
                dist[static_cast<size_t>(t * 4 + s)] = 0;
                queue.push(t * 4 + s);
            }
        }
        while (!queue.empty()) {
            int state = queue.front();
            queue.pop();
            int p = state / 4, s = state % 4;
            int from = p + b.step[s];
            int pusher = from + b.step[s];
            if (b.wall[static_cast<size_t>(from)] || b.wall[static_cast<size_t>(pusher)]) {
                continue;
            }
            int part = regionOf(from, pusher);
            for (int before = 0; before < 4; before++) {
                int stand = from + b.step[before];
                size_t earlier = static_cast<size_t>(from * 4 + before);
                if (!b.wall[static_cast<size_t>(stand)] && regionOf(from, stand) == part &&
                    dist[earlier] == unreachable) {
                    dist[earlier] = dist[static_cast<size_t>(state)] + 1;
                    queue.push(static_cast<int>(earlier));
                }
            }
        }
        b.sideDistance.push_back(dist);
    }
    b.dead.assign(static_cast<size_t>(b.cells()), 0);
    for (int cell = 0; cell < b.cells(); cell++) {
        if (b.wall[static_cast<size_t>(cell)]) {
            continue;
        }
        bool alive = false;
        for (const auto& dist : b.distance) {
            alive = alive || dist[static_cast<size_t>(cell)] < unreachable;
        }
        b.dead[static_cast<size_t>(cell)] = !alive;
    }
    *board = std::move(b);
    return true;
}

Cells reach(const Board& board, const Cells& crates, int from) {
    Cells seen;
    int stack[maxCells];
    int top = 0;
    stack[top++] = from;
    seen.set(from);
    while (top > 0) {
        int cell = stack[--top];
        for (int d = 0; d < 4; d++) {
            int next = cell + board.step[d];
            if (!board.wall[static_cast<size_t>(next)] && !crates.has(next) && !seen.has(next)) {
                seen.set(next);
                stack[top++] = next;
            }
        }
    }
    return seen;
}

namespace {

// The cheapest assignment of the targets to distinct crates by `cost`.
template <typename Cost>
int assignTargets(const Board& board, const Cells& crates, Cost cost) {
    std::vector<int> boxes;
    forEachCell(crates, [&](int c) { boxes.push_back(c); });
    int rows = static_cast<int>(board.targets.size());
    if (rows == 0) {
        return 0;
    }
    std::vector<std::vector<int>> costs(static_cast<size_t>(rows), std::vector<int>(boxes.size()));
    for (int t = 0; t < rows; t++) {
        for (size_t i = 0; i < boxes.size(); i++) {
            costs[static_cast<size_t>(t)][i] = cost(t, boxes[i]);
        }
    }
    int total = assign(costs, rows, static_cast<int>(boxes.size()));
    return total >= unreachable ? unreachable : total;
}

}  // namespace

int matchingBound(const Board& board, const Cells& crates, int player) {
    size_t cells = static_cast<size_t>(board.cells());
    return assignTargets(board, crates, [&](int t, int box) {
        if (box == board.targets[static_cast<size_t>(t)]) {
            return 0;
        }
        // From the sides of the crate the player can walk to, the crate
        // alone on the floor.
        const int16_t* part = &board.region[static_cast<size_t>(box) * cells];
        int best = unreachable;
        for (int s = 0; s < 4; s++) {
            int side = box + board.step[s];
            if (part[side] >= 0 && part[side] == part[player]) {
                best = std::min(best, board.sideDistance[static_cast<size_t>(t)][static_cast<size_t>(box * 4 + s)]);
            }
        }
        return best;
    });
}

int freeMatchingBound(const Board& board, const Cells& crates) {
    return assignTargets(board, crates, [&](int t, int box) {
        return board.distance[static_cast<size_t>(t)][static_cast<size_t>(box)];
    });
}

namespace {

// What a search must reach: every target covered (the game's rule), or,
// for a corral's crates on their own, every crate on a target.
enum class Goal { targetsCovered, cratesOnTargets };

// The cheapest assignment of every crate to a distinct target.
int cratesBound(const Board& board, const Cells& crates) {
    std::vector<int> boxes;
    forEachCell(crates, [&](int c) { boxes.push_back(c); });
    if (boxes.empty()) {
        return 0;
    }
    if (boxes.size() > board.targets.size()) {
        return unreachable;
    }
    std::vector<std::vector<int>> cost(boxes.size(), std::vector<int>(board.targets.size()));
    for (size_t i = 0; i < boxes.size(); i++) {
        for (size_t t = 0; t < board.targets.size(); t++) {
            cost[i][t] = board.distance[t][static_cast<size_t>(boxes[i])];
        }
    }
    int total = assign(cost, static_cast<int>(boxes.size()), static_cast<int>(board.targets.size()));
    return total >= unreachable ? unreachable : total;
}

bool allCratesOnTargets(const Board& board, const Cells& crates) {
    bool all = true;
    forEachCell(crates, [&](int c) { all = all && board.target[static_cast<size_t>(c)]; });
    return all;
}

struct CorralCache {
    std::vector<std::pair<uint64_t, bool>> known;  // sorted by hash: deadlocked or not
    std::vector<std::pair<uint64_t, bool>> added;
};

Solution search(const Board& board, const Cells& start, int startPlayer, Goal goal, long nodeBudget,
                CorralCache* corrals, bool wantMoves);

// A corral: floor the player cannot reach. The crates round it and in it,
// every other crate taken away, must still be able to stand on targets all
// at once, since with as many crates as targets every solution puts them
// there; if a small search proves they cannot, no solution passes here. A
// search that runs out of its budget proves nothing.
bool corralDeadlock(const Board& board, const Cells& crates, const Cells& reached, CorralCache* cache) {
    if (crates.count() != static_cast<int>(board.targets.size())) {
        return false;  // spare crates need not end on targets
    }
    Cells part;
    bool any = false;
    forEachCell(crates, [&](int c) {
        for (int d = 0; d < 4; d++) {
            int n = c + board.step[d];
            if (!board.wall[static_cast<size_t>(n)] && !crates.has(n) && !reached.has(n)) {
                part.set(c);
                any = true;
            }
        }
    });
    if (!any || part == crates || allCratesOnTargets(board, part)) {
        return false;
    }
    int player = lowest(reached);
    uint64_t key = hashState(part, player);
    auto known = std::lower_bound(cache->known.begin(), cache->known.end(), std::make_pair(key, false));
    if (known != cache->known.end() && known->first == key) {
        return known->second;
    }
    for (const auto& entry : cache->added) {
        if (entry.first == key) {
            return entry.second;
        }
    }
    Solution relaxed = search(board, part, player, Goal::cratesOnTargets, 200, nullptr, false);
    bool deadlocked = !relaxed.solved && !relaxed.gaveUp;
    cache->added.emplace_back(key, deadlocked);
    if (cache->added.size() > 256) {
        cache->known.insert(cache->known.end(), cache->added.begin(), cache->added.end());
        std::sort(cache->known.begin(), cache->known.end());
        cache->added.clear();
    }
    return deadlocked;
}

Solution search(const Board& board, const Cells& start, int startPlayer, Goal goal, long nodeBudget,
                CorralCache* corrals, bool wantMoves) {
    Solution result;
    std::vector<Node> nodes;
    nodes.reserve(1 << 12);
    Table table(goal == Goal::targetsCovered ? (1 << 16) : (1 << 10));
    std::priority_queue<Open> open;
    auto bound = [&](const Cells& crates, int player) {
        return goal == Goal::targetsCovered ? matchingBound(board, crates, player) : cratesBound(board, crates);
    };
    auto done = [&](const Cells& crates) {
        return goal == Goal::targetsCovered ? allOnTargets(board, crates) : allCratesOnTargets(board, crates);
    };
    int h0 = bound(start, startPlayer);
    if (h0 >= unreachable) {
        return result;
    }
    Cells startReach = reach(board, start, startPlayer);
    nodes.push_back(Node{start, static_cast<int16_t>(lowest(startReach)), 0, -1, -1, -1});
    table.slots[table.find(nodes, start, nodes[0].player)] = 0;
    table.used = 1;
    open.push(Open{h0, 0, 0});
    int32_t reachedGoal = -1;
    while (!open.empty()) {
        Open top = open.top();
        open.pop();
        const Node current = nodes[static_cast<size_t>(top.node)];
        if (current.g != top.g) {
            continue;  // a better way here was found after this entry was queued
        }
        if (done(current.crates)) {
            reachedGoal = top.node;
            break;
        }
        if (++result.expanded > nodeBudget) {
            result.gaveUp = true;
            break;
        }
        Cells reached = reach(board, current.crates, current.player);
        if (corrals != nullptr && corralDeadlock(board, current.crates, reached, corrals)) {
            continue;
        }
        forEachCell(current.crates, [&](int c) {
            for (int d = 0; d < 4; d++) {
                int pusher = c - board.step[d];
                int dest = c + board.step[d];
                if (!reached.has(pusher) || board.wall[static_cast<size_t>(dest)] || current.crates.has(dest) ||
                    board.dead[static_cast<size_t>(dest)]) {
                    continue;
                }
                Cells next = current.crates;
                next.clear(c);
                next.set(dest);
                if (freezeDeadlock(board, next, dest)) {
                    continue;
                }
                // The player stands where the crate was.
                int h = bound(next, c);
                if (h >= unreachable) {
                    continue;
                }
                int player = lowest(reach(board, next, c));
                int g = current.g + 1;
                size_t slot = table.find(nodes, next, player);
                if (table.slots[slot] >= 0) {
                    Node& known = nodes[static_cast<size_t>(table.slots[slot])];
                    if (known.g <= g) {
                        continue;
                    }
                    known.g = static_cast<int16_t>(g);
                    known.parent = top.node;
                    known.pushed = static_cast<int16_t>(c);
                    known.dir = static_cast<int8_t>(d);
                    open.push(Open{g + h, g, table.slots[slot]});
                    continue;
                }
                nodes.push_back(Node{next, static_cast<int16_t>(player), static_cast<int16_t>(g), top.node,
                                     static_cast<int16_t>(c), static_cast<int8_t>(d)});
                table.slots[slot] = static_cast<int32_t>(nodes.size() - 1);
                if (++table.used * 2 > table.slots.size()) {
                    table.grow(nodes);
                }
                open.push(Open{g + h, g, static_cast<int32_t>(nodes.size() - 1)});
            }
        });
    }
    result.stored = static_cast<long>(nodes.size());
    if (reachedGoal < 0) {
        return result;
    }
    std::vector<std::pair<int, int>> pushes;  // crate cell, direction
    for (int32_t n = reachedGoal; nodes[static_cast<size_t>(n)].parent >= 0; n = nodes[static_cast<size_t>(n)].parent) {
        pushes.emplace_back(nodes[static_cast<size_t>(n)].pushed, nodes[static_cast<size_t>(n)].dir);
    }
    std::reverse(pushes.begin(), pushes.end());
    result.solved = true;
    result.pushes = static_cast<int>(pushes.size());
    if (wantMoves) {
        Cells crates = start;
        int player = startPlayer;
        for (auto [c, d] : pushes) {
            result.moves += walk(board, crates, player, c - board.step[d]);
            result.moves += pushLetters[d];
            crates.clear(c);
            crates.set(c + board.step[d]);
            player = c;
        }
    }
    return result;
}

}  // namespace

Solution solve(const Board& board, long nodeBudget) {
    CorralCache corrals;
    return search(board, board.crates, board.player, Goal::targetsCovered, nodeBudget, &corrals, true);
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
    m.bound = matchingBound(board, board.crates, board.player);
    m.freeBound = freeMatchingBound(board, board.crates);
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
        for (int w = 0; w < words; w++) {
            covered.bits[w] |= region.bits[w];
        }
        players.push_back(lowest(region));
    }
    return players;
}

std::vector<Start> farthestStarts(const Board& solved, long stateBudget, int keep) {
    struct Back {
        Cells crates;
        int16_t player;
        int32_t parent;
        int16_t from, to;  // the pulled crate's cells
        int32_t pulls;
    };
    std::vector<Back> states;
    std::vector<Node> keyed;  // the same states, for the table's keys
    Table table;
    Cells goal = targetCells(solved);
    for (int player : solvedPlayers(solved, goal)) {
        states.push_back(Back{goal, static_cast<int16_t>(player), -1, -1, -1, 0});
        keyed.push_back(Node{goal, static_cast<int16_t>(player), 0, -1, -1, -1});
        table.slots[table.find(keyed, goal, player)] = static_cast<int32_t>(keyed.size() - 1);
        table.used++;
    }
    for (size_t head = 0; head < states.size() && static_cast<long>(states.size()) < stateBudget; head++) {
        const Back current = states[head];
        Cells reached = reach(solved, current.crates, current.player);
        forEachCell(current.crates, [&](int c) {
            for (int d = 0; d < 4; d++) {
                // The player at c + step pulls the crate after him.
                int stand = c + solved.step[d];
                int back = stand + solved.step[d];
                if (!reached.has(stand) || solved.wall[static_cast<size_t>(back)] || current.crates.has(back)) {
                    continue;
                }
                Cells next = current.crates;
                next.clear(c);
                next.set(stand);
                int player = lowest(reach(solved, next, back));
                size_t slot = table.find(keyed, next, player);
                if (table.slots[slot] >= 0) {
                    continue;
                }
                states.push_back(Back{next, static_cast<int16_t>(player), static_cast<int32_t>(head),
                                      static_cast<int16_t>(c), static_cast<int16_t>(stand), current.pulls + 1});
                keyed.push_back(Node{next, static_cast<int16_t>(player), 0, -1, -1, -1});
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
        Start start{s.crates, s.player, s.pulls, {}};
        // Follow the pulls home, telling each crate apart by where it goes.
        std::vector<int> id(static_cast<size_t>(solved.cells()), -1);
        int n = 0;
        forEachCell(s.crates, [&](int c) { id[static_cast<size_t>(c)] = n++; });
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
                    b.bound = matchingBound(solved, b.crates, b.player);
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

}  // namespace levelkit
