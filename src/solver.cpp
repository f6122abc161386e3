#include "solver.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

const char walkLetters[] = "lurd";
const char pushLetters[] = "LURD";

// Visits the cells of a set of `board`'s cells, in order.
template <typename Visit>
void forEachCell(const Board& board, const Cells& cells, Visit visit) {
    for (int w = 0, words = board.cellWords(); w < words; w++) {
        uint64_t bits = cells.bits[w];
        while (bits != 0) {
            visit(w * 64 + __builtin_ctzll(bits));
            bits &= bits - 1;
        }
    }
}

size_t at(int cell) {
    return static_cast<size_t>(cell);
}

// --- what a lone crate can do ---------------------------------------------

// Pushes that bring a lone crate onto each target, searched backwards from
// the target: a crate came to p from p - step, pushed by a player at
// p - 2 step.
void findDistances(Board* b) {
    size_t floors = at(b->floors());
    auto floor = [&](int cell) { return at(b->floorOf[at(cell)]); };
    b->distance.assign(b->targets.size() * floors, unreachable);
    std::vector<int> queue;
    for (size_t t = 0; t < b->targets.size(); t++) {
        int* dist = &b->distance[t * floors];
        queue.assign(1, b->targets[t]);
        dist[floor(b->targets[t])] = 0;
        for (size_t head = 0; head < queue.size(); head++) {
            int p = queue[head];
            for (int d = 0; d < directionCount; d++) {
                int from = p - b->step[d];
                int pusher = from - b->step[d];
                if (!b->wall[at(from)] && !b->wall[at(pusher)] && dist[floor(from)] == unreachable) {
                    dist[floor(from)] = dist[floor(p)] + 1;
                    queue.push_back(from);
                }
            }
        }
    }
    b->dead.assign(at(b->cells()), 0);
    for (size_t f = 0; f < floors; f++) {
        bool alive = false;
        for (size_t t = 0; t < b->targets.size() && !alive; t++) {
            alive = b->distance[t * floors + f] < unreachable;
        }
        b->dead[at(b->floorCell[f])] = !alive;
    }
}

// The floor cells a lone crate on which parts the floor: those whose every
// way round them goes through them (found by a depth-first walk that keeps
// the earliest cell each subtree reaches back to).
std::vector<uint8_t> cuttingCells(const Board& b) {
    size_t floors = at(b.floors());
    std::vector<uint8_t> cuts(floors, 0);
    std::vector<int> found(floors, -1), low(floors, 0), parent(floors, -1);
    struct Visit {
        int floor;
        int dir;
    };
    std::vector<Visit> stack;
    int time = 0, rootChildren = 0;
    if (floors == 0) {
        return cuts;
    }
    found[0] = low[0] = time++;
    stack.push_back(Visit{0, 0});
    while (!stack.empty()) {
        Visit& top = stack.back();
        int f = top.floor;
        if (top.dir < directionCount) {
            int next = b.floorCell[at(f)] + b.step[top.dir++];
            int n = b.floorOf[at(next)];
            if (n < 0) {
                continue;
            }
            if (found[at(n)] < 0) {
                parent[at(n)] = f;
                rootChildren += f == 0;
                found[at(n)] = low[at(n)] = time++;
                stack.push_back(Visit{n, 0});
            } else if (n != parent[at(f)]) {
                low[at(f)] = std::min(low[at(f)], found[at(n)]);
            }
            continue;
        }
        stack.pop_back();
        int up = parent[at(f)];
        if (up >= 0) {
            low[at(up)] = std::min(low[at(up)], low[at(f)]);
            if (up != 0 && low[at(f)] >= found[at(up)]) {
                cuts[at(up)] = 1;
            }
        }
    }
    cuts[0] = rootChildren > 1;
    return cuts;
}

// The parts of the floor with a lone crate at each cell that parts it; the
// floor is one piece round any other.
void findRegions(Board* b) {
    size_t floors = at(b->floors());
    std::vector<uint8_t> cuts = cuttingCells(*b);
    b->regionRow.assign(floors, -1);
    b->region.clear();
    std::vector<int> todo;
    for (size_t c = 0; c < floors; c++) {
        if (!cuts[c]) {
            continue;
        }
        b->regionRow[c] = static_cast<int32_t>(b->region.size() / floors);
        b->region.resize(b->region.size() + floors, -1);
        int16_t* label = &b->region[b->region.size() - floors];
        int crate = b->floorCell[c];
        int16_t parts = 0;
        for (size_t start = 0; start < floors; start++) {
            if (start == c || label[start] >= 0) {
                continue;
            }
            todo.assign(1, b->floorCell[start]);
            label[start] = parts;
            while (!todo.empty()) {
                int cell = todo.back();
                todo.pop_back();
                for (int d = 0; d < directionCount; d++) {
                    int next = cell + b->step[d];
                    if (!b->wall[at(next)] && next != crate && label[b->floorOf[at(next)]] < 0) {
                        label[b->floorOf[at(next)]] = parts;
                        todo.push_back(next);
                    }
                }
            }
            parts++;
        }
    }
}

// The part of the floor the cell `cell` lies in with a lone crate at `crate`
// (both floor numbers): -1 for the crate's own cell.
int16_t partOf(const Board& b, int crate, int cell) {
    if (cell == crate) {
        return -1;
    }
    int32_t row = b.regionRow[at(crate)];
    return row < 0 ? 0 : b.region[at(row) * at(b.floors()) + at(cell)];
}

// Lone-crate pushes with the player walking, searched backwards from each
// target over (crate cell, side of the player): the crate came to p from
// p + step[s], pushed by a player at p + 2 step[s], who then stood on side
// s of it; before that push he could have stood on any side of it he could
// walk to.
void findSideDistances(Board* b) {
    size_t floors = at(b->floors());
    auto floor = [&](int cell) { return b->floorOf[at(cell)]; };
    auto regionOf = [&](int crate, int cell) { return partOf(*b, floor(crate), floor(cell)); };
    b->sideDistance.assign(b->targets.size() * floors * directionCount, unreachable);
    std::vector<int> queue;
    for (size_t t = 0; t < b->targets.size(); t++) {
        int* dist = &b->sideDistance[t * floors * directionCount];
        int target = b->targets[t];
        queue.clear();
        for (int s = 0; s < directionCount; s++) {
            if (!b->wall[at(target + b->step[s])]) {
                dist[floor(target) * directionCount + s] = 0;
                queue.push_back(floor(target) * directionCount + s);
            }
        }
        for (size_t head = 0; head < queue.size(); head++) {
            int state = queue[head];
            int p = b->floorCell[at(state / directionCount)], s = state % directionCount;
            int from = p + b->step[s];
            int pusher = from + b->step[s];
            if (b->wall[at(from)] || b->wall[at(pusher)]) {
                continue;
            }
            int part = regionOf(from, pusher);
            for (int before = 0; before < directionCount; before++) {
                int stand = from + b->step[before];
                int earlier = floor(from) * directionCount + before;
                if (!b->wall[at(stand)] && regionOf(from, stand) == part && dist[earlier] == unreachable) {
                    dist[earlier] = dist[state] + 1;
                    queue.push_back(earlier);
                }
            }
        }
    }
}

// --- the matching bound ---------------------------------------------------

// Room for a minimum-cost assignment, kept between calls.
struct Assignment {
    std::vector<int> cost;  // rows x columns
    std::vector<int> u, v, p, way, minv;
    std::vector<char> used;
    std::vector<int> crates;
};

// The cheapest assignment of every row to a distinct column (rows <= columns),
// the Hungarian method with potentials.
int assign(Assignment* a, int rows, int columns) {
    const int inf = INT_MAX / 4;
    size_t n = at(columns) + 1;
    a->u.assign(at(rows) + 1, 0);
    a->v.assign(n, 0);
    a->p.assign(n, 0);
    a->way.assign(n, 0);
    for (int i = 1; i <= rows; i++) {
        a->p[0] = i;
        int j0 = 0;
        a->minv.assign(n, inf);
        a->used.assign(n, 0);
        do {
            a->used[at(j0)] = 1;
            int i0 = a->p[at(j0)], delta = inf, j1 = 0;
            const int* row = &a->cost[at(i0 - 1) * at(columns)];
            for (int j = 1; j <= columns; j++) {
                if (a->used[at(j)]) {
                    continue;
                }
                int current = row[j - 1] - a->u[at(i0)] - a->v[at(j)];
                if (current < a->minv[at(j)]) {
                    a->minv[at(j)] = current;
                    a->way[at(j)] = j0;
                }
                if (a->minv[at(j)] < delta) {
                    delta = a->minv[at(j)];
                    j1 = j;
                }
            }
            for (int j = 0; j <= columns; j++) {
                if (a->used[at(j)]) {
                    a->u[at(a->p[at(j)])] += delta;
                    a->v[at(j)] -= delta;
                } else {
                    a->minv[at(j)] -= delta;
                }
            }
            j0 = j1;
        } while (a->p[at(j0)] != 0);
        do {
            int j1 = a->way[at(j0)];
            a->p[at(j0)] = a->p[at(j1)];
            j0 = j1;
        } while (j0 != 0);
    }
    long long total = 0;
    for (int j = 1; j <= columns; j++) {
        if (a->p[at(j)] != 0) {
            total += a->cost[at(a->p[at(j)] - 1) * at(columns) + at(j - 1)];
        }
    }
    return total >= unreachable ? unreachable : static_cast<int>(total);
}

int bound(const Board& board, const Cells& crates, int player, Assignment* a) {
    int rows = static_cast<int>(board.targets.size());
    if (rows == 0) {
        return 0;
    }
    a->crates.clear();
    forEachCell(board, crates, [&](int c) { a->crates.push_back(c); });
    int columns = static_cast<int>(a->crates.size());
    if (columns < rows) {
        return unreachable;
    }
    size_t floors = at(board.floors());
    a->cost.resize(at(rows) * at(columns));
    for (int i = 0; i < columns; i++) {
        int box = a->crates[at(i)];
        size_t boxFloor = at(board.floorOf[at(box)]);
        // The sides of the crate the player can walk to, the crate alone.
        int16_t playerPart = partOf(board, board.floorOf[at(box)], board.floorOf[at(player)]);
        bool side[directionCount];
        for (int s = 0; s < directionCount; s++) {
            int n = box + board.step[s];
            side[s] = !board.wall[at(n)] && partOf(board, board.floorOf[at(box)], board.floorOf[at(n)]) == playerPart;
        }
        for (int t = 0; t < rows; t++) {
            int best = unreachable;
            if (board.targets[at(t)] == box) {
                best = 0;
            } else {
                const int* dist = &board.sideDistance[(at(t) * floors + boxFloor) * directionCount];
                for (int s = 0; s < directionCount; s++) {
                    if (side[s] && dist[s] < best) {
                        best = dist[s];
                    }
                }
            }
            a->cost[at(t) * at(columns) + at(i)] = best;
        }
    }
    return assign(a, rows, columns);
}

// --- deadlocks --------------------------------------------------------------

// Room for the freeze test: the crates on the way (all clear between
// tests) and the group found.
struct Freeze {
    Cells marked;
    std::vector<int> group;
};

// Whether the crate at `cell` can never move again, the crates marked so far
// taken for walls (they are checked for the same). Adds it and every crate
// its freezing rests on to f->group; with no spare crates a crate that can
// only move onto cells with no way to a target counts as unable to move.
bool frozen(const Board& board, int spare, const Cells& crates, int cell, Freeze* f) {
    f->marked.set(cell);
    size_t before = f->group.size();
    bool blocked[2] = {false, false};
    for (int axis = 0; axis < 2 && (axis == 0 || blocked[0]); axis++) {
        int a = cell - board.step[axis == 0 ? 2 : 3];
        int b = cell + board.step[axis == 0 ? 2 : 3];
        auto wallLike = [&](int n) { return board.wall[at(n)] || f->marked.has(n); };
        auto stuck = [&](int n) { return crates.has(n) && frozen(board, spare, crates, n, f); };
        blocked[axis] = wallLike(a) || wallLike(b) ||
                        (spare == 0 && board.dead[at(a)] && board.dead[at(b)]) || stuck(a) || stuck(b);
    }
    f->marked.clear(cell);
    if (!(blocked[0] && blocked[1])) {
        f->group.resize(before);
        return false;
    }
    f->group.push_back(cell);
    return true;
}

// With no spare crates, a push that freezes a crate off its target, or
// leaves it frozen with one, ends every solution.
bool freezeDeadlock(const Board& board, const Cells& crates, int moved, Freeze* f) {
    f->group.clear();
    if (!frozen(board, 0, crates, moved, f)) {
        return false;
    }
    for (int c : f->group) {
        if (!board.target[at(c)]) {
            return true;
        }
    }
    return false;
}

// --- the search -----------------------------------------------------------

constexpr size_t chunkNodes = size_t{1} << 16;
constexpr uint16_t deadEnd = 0xffff;  // h of a position no solution passes
constexpr int firstTableBits = 12;

uint64_t mix(uint64_t x) {
    x += 0x9e3779b97f4a7c15ull;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ull;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebull;
    return x ^ (x >> 31);
}

// A position's crates as the search keeps them: a bit per floor cell.
using Packed = std::vector<uint64_t>;

void pack(const Board& board, const Cells& crates, Packed* packed) {
    packed->assign(at(board.floorWords()), 0);
    forEachCell(board, crates, [&](int cell) {
        int f = board.floorOf[at(cell)];
        if (f >= 0) {
            (*packed)[at(f >> 6)] |= 1ull << (f & 63);
        }
    });
}

void unpack(const Board& board, const uint64_t* packed, Cells* crates) {
    *crates = Cells();
    for (int w = 0; w < board.floorWords(); w++) {
        for (uint64_t bits = packed[w]; bits != 0; bits &= bits - 1) {
            crates->set(board.floorCell[at(w * 64 + __builtin_ctzll(bits))]);
        }
    }
}

void flip(const Board& board, Packed* packed, int cell) {
    int f = board.floorOf[at(cell)];
    (*packed)[at(f >> 6)] ^= 1ull << (f & 63);
}

uint64_t hashPosition(const Packed& crates, int player) {
    uint64_t h = mix(static_cast<uint64_t>(player));
    for (uint64_t word : crates) {
        h = mix(h ^ word);
    }
    return h;
}

SearchNode& node(Search* s, size_t index) {
    return s->chunks[index / chunkNodes][index % chunkNodes];
}

const uint64_t* cratesOf(const Search* s, size_t index) {
    return &s->crateChunks[index / chunkNodes][index % chunkNodes * at(s->board->floorWords())];
}

size_t chunkBytes(const Search* s) {
    return chunkNodes * (sizeof(SearchNode) + at(s->board->floorWords()) * sizeof(uint64_t));
}

// What the search holds: its nodes, its table and its open lists.
size_t heldBytes(const Search* s) {
    // The open lists may hold twice their entries while they grow.
    return s->chunks.size() * chunkBytes(s) + s->table.size() * sizeof(uint64_t) +
           2 * s->openCount * sizeof(int32_t);
}

// A slot holds the hash's high half and the node's index plus one; the
// table (of 2 to the `bits` slots) is indexed by the hash's top bits, so
// that it grows without looking at a node.
size_t homeSlot(uint32_t high, int bits) {
    return static_cast<size_t>(high >> (32 - bits));
}

int tableBits(const Search* s) {
    return __builtin_ctzll(s->table.size());
}

// The slot of the position in the table, or the empty slot where it goes.
size_t findSlot(Search* s, const Packed& crates, int player, uint64_t hash) {
    size_t mask = s->table.size() - 1;
    uint32_t high = static_cast<uint32_t>(hash >> 32);
    size_t bytes = crates.size() * sizeof(uint64_t);
    for (size_t i = homeSlot(high, tableBits(s));; i = (i + 1) & mask) {
        uint64_t slot = s->table[i];
        if (slot == 0) {
            return i;
        }
        if ((slot >> 32) == high) {
            size_t index = (slot & 0xffffffffu) - 1;
            if (node(s, index).player == player && std::memcmp(cratesOf(s, index), crates.data(), bytes) == 0) {
                return i;
            }
        }
    }
}

bool growTable(Search* s) {
    int bits = s->table.empty() ? firstTableBits : tableBits(s) + 1;
    size_t grown = size_t{1} << bits;
    if (bits > 32 || heldBytes(s) + grown * sizeof(uint64_t) > s->limits.memory) {
        return false;
    }
    std::vector<uint64_t> old(grown, 0);
    old.swap(s->table);
    for (uint64_t slot : old) {
        if (slot != 0) {
            size_t i = homeSlot(static_cast<uint32_t>(slot >> 32), bits);
            while (s->table[i] != 0) {
                i = (i + 1) & (grown - 1);
            }
            s->table[i] = slot;
        }
    }
    return true;
}

int priority(const Search* s, const SearchNode& n) {
    return s->limits.optimal ? n.g + n.h : n.h;
}

// Of the open positions with the same estimate, the one with the most
// pushes made goes first: it is the nearest to a solution the estimate
// believes in, and a search that follows it dives instead of spreading.
struct Shallower {
    Search* s;
    bool operator()(int32_t a, int32_t b) const {
        const SearchNode& x = node(s, at(a));
        const SearchNode& y = node(s, at(b));
        return x.g != y.g ? x.g < y.g : x.moves > y.moves;
    }
};

void openNode(Search* s, size_t index) {
    size_t f = at(priority(s, node(s, index)));
    if (f >= s->open.size()) {
        s->open.resize(f + 1);
    }
    s->open[f].push_back(static_cast<int32_t>(index));
    std::push_heap(s->open[f].begin(), s->open[f].end(), Shallower{s});
    s->openCount++;
    s->openFirst = std::min(s->openFirst, f);
}

// Adds a position met for the first time; false when the budget is spent.
// A chunk's room is only reserved: its pages cost nothing until used, so
// that a small search starts without touching megabytes.
bool addNode(Search* s, const SearchNode& n, const Packed& crates, uint64_t hash, size_t slot) {
    if (s->nodeCount == s->chunks.size() * chunkNodes) {
        if (heldBytes(s) + chunkBytes(s) > s->limits.memory) {
            return false;
        }
        s->chunks.emplace_back().reserve(chunkNodes);
        s->crateChunks.emplace_back().reserve(chunkNodes * crates.size());
    }
    size_t index = s->nodeCount++;
    s->chunks.back().push_back(n);
    s->crateChunks.back().insert(s->crateChunks.back().end(), crates.begin(), crates.end());
    s->table[slot] = (hash & 0xffffffff00000000ull) | (index + 1);
    if (++s->tableUsed * 2 > s->table.size() && !growTable(s)) {
        return false;
    }
    if (n.h != deadEnd) {
        openNode(s, index);
    }
    return true;
}

struct Corral {
    std::vector<int16_t> label;
    std::vector<int> todo;
    std::vector<Push> pushes, best;
};

// The pushes to try from a position: those of the corral with the fewest,
// when one must be entered, else every push. False when a corral that must
// be entered cannot be.
bool choosePushes(const Board& board, const Cells& crates, const Cells& reached, Corral* c) {
    int spare = board.spareCrates;
    size_t cells = at(board.cells());
    c->label.assign(cells, -1);
    c->best.clear();
    bool restricted = false;
    int16_t parts = 0;
    for (int start = 0; start < board.cells(); start++) {
        if (board.wall[at(start)] || reached.has(start) || c->label[at(start)] >= 0) {
            continue;
        }
        // One corral, and whether it must be entered and only inwards.
        c->todo.assign(1, start);
        c->label[at(start)] = parts;
        c->pushes.clear();
        bool mustMove = false, inwards = true;
        for (size_t head = 0; head < c->todo.size(); head++) {
            int cell = c->todo[head];
            bool crate = crates.has(cell);
            mustMove = mustMove || (board.target[at(cell)] && !crate) ||
                       (crate && !board.target[at(cell)] && spare == 0);
            for (int d = 0; d < directionCount; d++) {
                int next = cell + board.step[d];
                if (!board.wall[at(next)] && !reached.has(next) && c->label[at(next)] < 0) {
                    c->label[at(next)] = parts;
                    c->todo.push_back(next);
                }
                int pusher = cell - board.step[d];
                if (!crate || !reached.has(pusher) || board.wall[at(next)] || crates.has(next) ||
                    (spare == 0 && board.dead[at(next)])) {
                    continue;
                }
                if (reached.has(next)) {
                    inwards = false;
                } else {
                    c->pushes.push_back(Push{static_cast<int16_t>(cell), static_cast<int8_t>(d)});
                }
            }
        }
        parts++;
        if (mustMove && inwards) {
            if (c->pushes.empty()) {
                return false;
            }
            if (!restricted || c->pushes.size() < c->best.size()) {
                c->best.swap(c->pushes);
                restricted = true;
            }
        }
    }
    if (!restricted) {
        forEachCell(board, crates, [&](int crate) {
            for (int d = 0; d < directionCount; d++) {
                int next = crate + board.step[d];
                if (reached.has(crate - board.step[d]) && !board.wall[at(next)] && !crates.has(next) &&
                    !(spare == 0 && board.dead[at(next)])) {
                    c->best.push_back(Push{static_cast<int16_t>(crate), static_cast<int8_t>(d)});
                }
            }
        });
    }
    return true;
}

// The player's walk from `from`, the crates in place: the cells he can
// reach into *seen when asked, and their walking distances into *walk when
// asked (-1 where he cannot go). The lowest cell he can reach. Its marks
// are its own, so that the walk is not slowed by what it writes.
int walkFrom(const Board& board, const Cells& crates, int from, Cells* seen, std::vector<int>* walk) {
    const int words = board.cellWords();
    uint64_t marked[Cells::words];
    std::fill(marked, marked + words, 0);
    auto mark = [&](int cell) { marked[cell >> 6] |= 1ull << (cell & 63); };
    auto isMarked = [&](int cell) { return ((marked[cell >> 6] >> (cell & 63)) & 1) != 0; };
    if (walk != nullptr) {
        walk->assign(at(board.cells()), -1);
        (*walk)[at(from)] = 0;
    }
    int queue[boardMaxCells];
    int tail = 0;
    int lowest = from;
    queue[tail++] = from;
    mark(from);
    for (int head = 0; head < tail; head++) {
        int cell = queue[head];
        lowest = std::min(lowest, cell);
        for (int d = 0; d < directionCount; d++) {
            int next = cell + board.step[d];
            if (!board.wall[at(next)] && !crates.has(next) && !isMarked(next)) {
                mark(next);
                if (walk != nullptr) {
                    (*walk)[at(next)] = (*walk)[at(cell)] + 1;
                }
                queue[tail++] = next;
            }
        }
    }
    if (seen != nullptr) {
        std::copy(marked, marked + words, seen->bits);
    }
    return lowest;
}

// Room for an expansion, kept between positions.
struct Expansion {
    Assignment assignment;
    Corral corral;
    std::vector<int> walk;
    Cells crates, reached;
    Packed parent, child;
    Freeze freeze;
};

// Meets the position a push from node `index` makes, its crates already in
// e->crates; false when the budget is spent.
bool meetPush(Search* s, size_t index, const SearchNode& current, const Push& push, Expansion* e) {
    const Board& board = *s->board;
    int crate = push.crate;
    int dest = crate + board.step[push.dir];
    if (board.spareCrates == 0 && freezeDeadlock(board, e->crates, dest, &e->freeze)) {
        return true;
    }
    int player = walkFrom(board, e->crates, crate, nullptr, nullptr);
    e->child = e->parent;
    flip(board, &e->child, crate);
    flip(board, &e->child, dest);
    uint64_t hash = hashPosition(e->child, player);
    size_t slot = findSlot(s, e->child, player, hash);
    uint16_t g = static_cast<uint16_t>(current.g + 1);
    int walked = current.moves + e->walk[at(crate - board.step[push.dir])] + 1;
    uint16_t moves = static_cast<uint16_t>(std::min(walked, 0xffff));
    if (s->table[slot] != 0) {
        SearchNode& known = node(s, (s->table[slot] & 0xffffffffu) - 1);
        // As many pushes in fewer moves: a better way, its followers
        // already met keep theirs.
        bool shorter = known.g > g || (known.g == g && known.moves > moves);
        if (known.h == deadEnd || !shorter) {
            return true;
        }
        bool fewerPushes = known.g > g;
        known.g = g;
        known.moves = moves;
        known.parent = static_cast<int32_t>(index);
        known.pushed = push.crate;
        known.dir = push.dir;
        if (fewerPushes && s->limits.optimal) {
            openNode(s, (s->table[slot] & 0xffffffffu) - 1);
        }
        return true;
    }
    int h = bound(board, e->crates, crate, &e->assignment);
    SearchNode met{static_cast<int32_t>(index), static_cast<int16_t>(player), g,
                   static_cast<uint16_t>(h >= unreachable ? deadEnd : h), moves, push.crate, push.dir};
    return addNode(s, met, e->child, hash, slot);
}

enum Expanded { expandedAll, outOfRoom, outOfTime };

// Meets every position one push away from node `index`, from its push
// `first` on, looking at the clock after each push when `until` is set;
// cut short, the next push to make is kept in the search.
Expanded expand(Search* s, size_t index, size_t first, Expansion* e, SearchClock::time_point until) {
    const Board& board = *s->board;
    const SearchNode current = node(s, index);
    e->parent.assign(cratesOf(s, index), cratesOf(s, index) + board.floorWords());
    unpack(board, e->parent.data(), &e->crates);
    // The walks from where the player stands after the push that made it.
    int from = current.parent < 0 ? s->start.player : current.pushed;
    walkFrom(board, e->crates, from, &e->reached, &e->walk);
    if (!choosePushes(board, e->crates, e->reached, &e->corral)) {
        return expandedAll;
    }
    bool timed = until != SearchClock::time_point::max();
    for (size_t i = first; i < e->corral.best.size(); i++) {
        if (timed && i > first && SearchClock::now() >= until) {
            s->expanding = static_cast<int32_t>(index);
            s->nextPush = i;
            return outOfTime;
        }
        const Push& push = e->corral.best[i];
        int dest = push.crate + board.step[push.dir];
        e->crates.clear(push.crate);
        e->crates.set(dest);
        bool room = meetPush(s, index, current, push, e);
        e->crates.clear(dest);
        e->crates.set(push.crate);
        if (!room) {
            return outOfRoom;
        }
    }
    return expandedAll;
}

bool allTargetsCovered(const Board& board, const uint64_t* crates) {
    for (int t : board.targets) {
        int f = board.floorOf[at(t)];
        if (((crates[f >> 6] >> (f & 63)) & 1) == 0) {
            return false;
        }
    }
    return true;
}

// Keeps the pushes that led to node `index`, first first.
void keepSolution(Search* s, size_t index) {
    s->solution.clear();
    for (size_t i = index; node(s, i).parent >= 0; i = at(node(s, i).parent)) {
        s->solution.push_back(Push{node(s, i).pushed, node(s, i).dir});
    }
    std::reverse(s->solution.begin(), s->solution.end());
}

// Frees the search's store once it has its answer.
void finish(Search* s, SearchOutcome outcome) {
    s->outcome = outcome;
    std::vector<std::vector<SearchNode>>().swap(s->chunks);
    std::vector<std::vector<uint64_t>>().swap(s->crateChunks);
    std::vector<uint64_t>().swap(s->table);
    std::vector<std::vector<int32_t>>().swap(s->open);
    s->nodeCount = s->tableUsed = s->openCount = s->openFirst = 0;
    s->expanding = -1;
}

}  // namespace

bool Cells::operator==(const Cells& other) const {
    for (int w = 0; w < words; w++) {
        if (bits[w] != other.bits[w]) {
            return false;
        }
    }
    return true;
}

int Cells::count() const {
    int n = 0;
    for (uint64_t word : bits) {
        n += __builtin_popcountll(word);
    }
    return n;
}

int boardCell(const Board& board, Coordinates levelCell) {
    bool inside = levelCell.x >= 0 && levelCell.y >= 0 && levelCell.x < board.width - 2 && levelCell.y < board.height - 2;
    return inside ? (levelCell.y + 1) * board.width + levelCell.x + 1 : -1;
}

bool readBoard(const Level* level, Coordinates player, Board* board, Position* position) {
    Board b;
    b.width = level->size.x + 2;
    b.height = level->size.y + 2;
    if (level->size.x < 1 || level->size.y < 1 || level->size.x > largestLevel || level->size.y > largestLevel) {
        return false;
    }
    b.wall.assign(at(b.cells()), 1);
    b.target.assign(at(b.cells()), 0);
    b.step[0] = -1;
    b.step[1] = -b.width;
    b.step[2] = 1;
    b.step[3] = b.width;
    Position p;
    int players = 0;
    for (int y = 0; y < level->size.y; y++) {
        for (int x = 0; x < level->size.x; x++) {
            int cell = boardCell(b, Coordinates{x, y});
            TileState t = level->tiles[y * level->size.x + x];
            if (t == wallS || t == invalidS) {
                continue;
            }
            b.wall[at(cell)] = 0;
            b.target[at(cell)] = t == targetS || t == crateOnTargetS || t == playerOnTargetS;
            if (t == crateS || t == crateOnTargetS) {
                p.crates.set(cell);
            }
            if (t == playerS || t == playerOnTargetS) {
                p.player = cell;
                players++;
            }
        }
    }
    if (player.x >= 0) {
        bool inside = player.x < level->size.x && player.y >= 0 && player.y < level->size.y;
        p.player = inside ? boardCell(b, player) : -1;
        players = p.player >= 0 && !b.wall[at(p.player)] && !p.crates.has(p.player) ? 1 : 0;
    }
    if (players != 1) {
        return false;
    }
    // What the player can never walk to, crates or not, is wall: a crate
    // there stays for good, and a target there is covered for good or never.
    Cells inside = reach(b, Cells(), p.player);
    for (int cell = 0; cell < b.cells(); cell++) {
        if (!b.wall[at(cell)] && !inside.has(cell)) {
            b.impossible = b.impossible || (b.target[at(cell)] && !p.crates.has(cell));
            b.wall[at(cell)] = 1;
            b.target[at(cell)] = 0;
            p.crates.clear(cell);
        }
        if (b.target[at(cell)]) {
            b.targets.push_back(cell);
            b.targetCells.set(cell);
        }
    }
    b.floorOf.assign(at(b.cells()), -1);
    for (int cell = 0; cell < b.cells(); cell++) {
        if (!b.wall[at(cell)]) {
            b.floorOf[at(cell)] = static_cast<int16_t>(b.floorCell.size());
            b.floorCell.push_back(static_cast<int16_t>(cell));
        }
    }
    b.spareCrates = p.crates.count() - static_cast<int>(b.targets.size());
    if (b.spareCrates < 0) {
        b.impossible = true;
        b.spareCrates = 0;
    }
    findDistances(&b);
    findRegions(&b);
    findSideDistances(&b);
    *board = std::move(b);
    *position = p;
    return true;
}

Cells reach(const Board& board, const Cells& crates, int from, int* lowest) {
    Cells seen;
    int least = walkFrom(board, crates, from, &seen, nullptr);
    if (lowest != nullptr) {
        *lowest = least;
    }
    return seen;
}

int matchingBound(const Board& board, const Position& position) {
    Assignment assignment;
    return bound(board, position.crates, position.player, &assignment);
}

namespace {

// The crates the instant rules find lost.
Cells lostCrates(const Board& board, const Cells& crates) {
    Cells lost;
    Freeze freeze;
    forEachCell(board, crates, [&](int c) {
        if (board.dead[at(c)]) {
            lost.set(c);
        }
        freeze.group.clear();
        if (!board.target[at(c)] && !lost.has(c) && frozen(board, board.spareCrates, crates, c, &freeze)) {
            for (int g : freeze.group) {
                if (!board.target[at(g)]) {
                    lost.set(g);
                }
            }
        }
    });
    return lost;
}

}  // namespace

bool hopelessNow(const Board& board, const Cells& crates, Cells* lost) {
    *lost = lostCrates(board, crates);
    return board.impossible || lost->count() > board.spareCrates;
}

bool walkMoves(const Board& board, const Cells& crates, int from, int to, std::string* moves) {
    moves->clear();
    if (to < 0 || to >= board.cells() || board.wall[at(to)] || crates.has(to)) {
        return false;
    }
    std::vector<int> came(at(board.cells()), -1);
    std::vector<int> queue{from};
    came[at(from)] = from;
    for (size_t head = 0; head < queue.size() && came[at(to)] < 0; head++) {
        int cell = queue[head];
        for (int d = 0; d < directionCount; d++) {
            int next = cell + board.step[d];
            if (!board.wall[at(next)] && !crates.has(next) && came[at(next)] < 0) {
                came[at(next)] = cell;
                queue.push_back(next);
            }
        }
    }
    if (came[at(to)] < 0) {
        return false;
    }
    for (int cell = to; cell != from; cell = came[at(cell)]) {
        int d = 0;
        while (came[at(cell)] + board.step[d] != cell) {
            d++;
        }
        moves->push_back(walkLetters[d]);
    }
    std::reverse(moves->begin(), moves->end());
    return true;
}

void findCratePaths(const Board& board, const Position& position, int crate, CratePaths* paths) {
    size_t states = at(board.cells()) * directionCount;
    paths->crate = crate;
    paths->pushes.assign(states, -1);
    paths->moves.assign(states, 0);
    paths->previous.assign(states, -1);
    Cells others = position.crates;
    others.clear(crate);
    // Pushes are searched a layer at a time: every state of a layer comes
    // from the one before with one push more, so its fewest moves are known
    // once the layer before is done.
    std::vector<int> layer{-1}, next, walk(at(board.cells()), -1), queue;
    for (int depth = 0; !layer.empty(); depth++) {
        next.clear();
        for (int state : layer) {
            int box = state < 0 ? crate : state / directionCount;
            int from = state < 0 ? position.player : box - board.step[state % directionCount];
            int movesSoFar = state < 0 ? 0 : paths->moves[at(state)];
            // The player's walks round the crate, as far as its four sides.
            std::fill(walk.begin(), walk.end(), -1);
            queue.assign(1, from);
            walk[at(from)] = 0;
            int sidesLeft = 0;
            for (int d = 0; d < directionCount; d++) {
                int side = box + board.step[d];
                sidesLeft += !board.wall[at(side)] && !others.has(side) && side != from;
            }
            for (size_t head = 0; head < queue.size() && sidesLeft > 0; head++) {
                int cell = queue[head];
                for (int d = 0; d < directionCount; d++) {
                    int n = cell + board.step[d];
                    if (board.wall[at(n)] || others.has(n) || n == box || walk[at(n)] >= 0) {
                        continue;
                    }
                    walk[at(n)] = walk[at(cell)] + 1;
                    queue.push_back(n);
                    for (int s = 0; s < directionCount; s++) {
                        sidesLeft -= n == box + board.step[s];
                    }
                }
            }
            for (int d = 0; d < directionCount; d++) {
                int behind = box - board.step[d];
                int beyond = box + board.step[d];
                if (board.wall[at(behind)] || walk[at(behind)] < 0 || board.wall[at(beyond)] || others.has(beyond)) {
                    continue;
                }
                int reached = beyond * directionCount + d;
                int cost = movesSoFar + walk[at(behind)] + 1;
                if (paths->pushes[at(reached)] < 0) {
                    paths->pushes[at(reached)] = depth + 1;
                    paths->moves[at(reached)] = cost;
                    paths->previous[at(reached)] = state;
                    next.push_back(reached);
                } else if (paths->pushes[at(reached)] == depth + 1 && cost < paths->moves[at(reached)]) {
                    paths->moves[at(reached)] = cost;
                    paths->previous[at(reached)] = state;
                }
            }
        }
        layer.swap(next);
    }
}

namespace {

// The best state with the crate at `cell`: the fewest pushes, then moves.
int bestStateAt(const CratePaths& paths, int cell) {
    int best = -1;
    for (int d = 0; d < directionCount; d++) {
        int state = cell * directionCount + d;
        if (cell < 0 || at(state) >= paths.pushes.size() || paths.pushes[at(state)] < 0) {
            continue;
        }
        if (best < 0 || paths.pushes[at(state)] < paths.pushes[at(best)] ||
            (paths.pushes[at(state)] == paths.pushes[at(best)] && paths.moves[at(state)] < paths.moves[at(best)])) {
            best = state;
        }
    }
    return best;
}

}  // namespace

bool crateCanReach(const CratePaths& paths, int cell) {
    return cell != paths.crate && bestStateAt(paths, cell) >= 0;
}

std::string crateMoves(const Board& board, const Position& position, const CratePaths& paths, int cell) {
    std::vector<Push> pushes;
    for (int state = bestStateAt(paths, cell); state >= 0; state = paths.previous[at(state)]) {
        int dir = state % directionCount;
        pushes.push_back(Push{static_cast<int16_t>(state / directionCount - board.step[dir]), static_cast<int8_t>(dir)});
    }
    std::reverse(pushes.begin(), pushes.end());
    return solutionMoves(board, position, pushes);
}

std::string solutionMoves(const Board& board, const Position& start, const std::vector<Push>& pushes) {
    std::string moves, walk;
    Cells crates = start.crates;
    int player = start.player;
    for (const Push& push : pushes) {
        walkMoves(board, crates, player, push.crate - board.step[push.dir], &walk);
        moves += walk;
        moves += pushLetters[push.dir];
        crates.clear(push.crate);
        crates.set(push.crate + board.step[push.dir]);
        player = push.crate;
    }
    return moves;
}

namespace {

// Expands node `index` from its push `first` on; false when its time ran
// out first.
bool finishExpanding(Search* search, size_t index, size_t first, Expansion* expansion, SearchClock::time_point until,
                     long* positions) {
    Expanded done = expand(search, index, first, expansion, until);
    if (done == outOfTime) {
        return false;
    }
    search->expanded++;
    --*positions;
    if (done == outOfRoom) {
        finish(search, undecided);
    }
    return true;
}

}  // namespace

size_t searchBytes(const Search& search) {
    return search.board != nullptr ? heldBytes(&search) : 0;
}

void startSearch(Search* search, const Board& board, const Position& start, const SearchLimits& limits) {
    search->board = &board;
    finish(search, searching);
    search->limits = limits;
    search->start = start;
    search->expanded = 0;
    search->solution.clear();
    // What the instant rules know at the start, the search knows at once.
    Cells lost;
    Assignment assignment;
    bool hopeless = board.impossible || hopelessNow(board, start.crates, &lost);
    int h = hopeless ? unreachable : bound(board, start.crates, start.player, &assignment);
    if (h >= unreachable) {
        search->outcome = noSolution;
        return;
    }
    int player = start.player;
    reach(board, start.crates, start.player, &player);
    SearchNode first{-1, static_cast<int16_t>(player), 0, static_cast<uint16_t>(h), 0, -1, -1};
    Packed crates;
    pack(board, start.crates, &crates);
    if (!growTable(search)) {
        finish(search, undecided);
        return;
    }
    uint64_t hash = hashPosition(crates, player);
    if (!addNode(search, first, crates, hash, findSlot(search, crates, player, hash))) {
        finish(search, undecided);
    }
}

SearchOutcome continueSearch(Search* search, long positions, SearchClock::time_point until) {
    Expansion expansion;
    bool timed = until != SearchClock::time_point::max();
    // A call always does some work, so that slices of any length go on.
    for (bool some = false; search->outcome == searching && positions > 0; some = true) {
        if (some && timed && SearchClock::now() >= until) {
            break;
        }
        if (search->expanding >= 0) {
            // A position cut short goes on where it stopped.
            size_t index = static_cast<size_t>(search->expanding);
            search->expanding = -1;
            if (!finishExpanding(search, index, search->nextPush, &expansion, until, &positions)) {
                break;
            }
            continue;
        }
        while (search->openFirst < search->open.size() && search->open[search->openFirst].empty()) {
            search->openFirst++;
        }
        if (search->openFirst == search->open.size()) {
            finish(search, noSolution);  // every position the pushes reach was searched
            break;
        }
        std::vector<int32_t>& ties = search->open[search->openFirst];
        std::pop_heap(ties.begin(), ties.end(), Shallower{search});
        size_t index = at(ties.back());
        ties.pop_back();
        search->openCount--;
        // An entry left behind when a shorter way here was found.
        if (at(priority(search, node(search, index))) != search->openFirst) {
            continue;
        }
        if (allTargetsCovered(*search->board, cratesOf(search, index))) {
            keepSolution(search, index);
            finish(search, solved);
            break;
        }
        if (!finishExpanding(search, index, 0, &expansion, until, &positions)) {
            break;
        }
    }
    return search->outcome;
}

Solution solve(const Board& board, const Position& start, const SearchLimits& limits) {
    Search search;
    startSearch(&search, board, start, limits);
    Solution solution;
    solution.outcome = continueSearch(&search, LONG_MAX);
    solution.expanded = search.expanded;
    if (solution.outcome == solved) {
        solution.pushes = static_cast<int>(search.solution.size());
        solution.moves = solutionMoves(board, start, search.solution);
    }
    return solution;
}
