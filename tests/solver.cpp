#include "solver.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <unordered_set>
#include <vector>

namespace {

struct Board {
    int width = 0;
    int height = 0;
    std::vector<bool> wall;
    std::vector<bool> goal;
    std::vector<bool> dead;

    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    // Outside the level blocks like a wall.
    bool blocked(int x, int y) const { return !inside(x, y) || wall[y * width + x]; }
};

const int dx[] = {-1, 0, 1, 0};
const int dy[] = {0, -1, 0, 1};

// A square is live when a crate on it can be pushed to some target: found by
// pulling crates backwards from every target.
void markDeadSquares(Board& board) {
    int cells = board.width * board.height;
    std::vector<bool> live(cells, false);
    std::deque<int> queue;
    for (int i = 0; i < cells; i++) {
        if (board.goal[i]) {
            live[i] = true;
            queue.push_back(i);
        }
    }
    while (!queue.empty()) {
        int c = queue.front();
        queue.pop_front();
        int x = c % board.width, y = c / board.width;
        for (int d = 0; d < 4; d++) {
            int px = x + dx[d], py = y + dy[d];            // where the crate is pulled to
            int qx = x + 2 * dx[d], qy = y + 2 * dy[d];    // where the player steps back
            if (board.blocked(px, py) || board.blocked(qx, qy)) {
                continue;
            }
            int p = py * board.width + px;
            if (!live[p]) {
                live[p] = true;
                queue.push_back(p);
            }
        }
    }
    board.dead.assign(cells, false);
    for (int i = 0; i < cells; i++) {
        board.dead[i] = !board.wall[i] && !live[i];
    }
}

struct State {
    std::string crates;  // one byte per cell: 1 = crate
    int player;          // the exact cell after the last push
    int pushes;
};

// A visited position: the crates as bits and the player's normalised cell.
struct Key {
    std::array<uint64_t, 4> bits{};
    int player = 0;
    bool operator==(const Key& other) const { return bits == other.bits && player == other.player; }
};

struct KeyHash {
    size_t operator()(const Key& key) const {
        uint64_t h = static_cast<uint64_t>(key.player) * 0x9E3779B97F4A7C15ULL;
        for (uint64_t word : key.bits) {
            h ^= word + 0x9E3779B97F4A7C15ULL + (h << 6) + (h >> 2);
        }
        return static_cast<size_t>(h);
    }
};

Key makeKey(const std::string& crates, int player) {
    Key key;
    for (size_t i = 0; i < crates.size(); i++) {
        if (crates[i]) {
            key.bits[i / 64] |= uint64_t{1} << (i % 64);
        }
    }
    key.player = player;
    return key;
}

// Cells the player can reach without pushing; returns the smallest.
int reach(const Board& board, const std::string& crates, int start, std::vector<int>& seen, int stamp,
          std::vector<int>& order) {
    order.clear();
    order.push_back(start);
    seen[start] = stamp;
    int smallest = start;
    for (size_t i = 0; i < order.size(); i++) {
        int c = order[i];
        int x = c % board.width, y = c / board.width;
        for (int d = 0; d < 4; d++) {
            int nx = x + dx[d], ny = y + dy[d];
            if (board.blocked(nx, ny)) {
                continue;
            }
            int n = ny * board.width + nx;
            if (seen[n] == stamp || crates[n]) {
                continue;
            }
            seen[n] = stamp;
            order.push_back(n);
            smallest = std::min(smallest, n);
        }
    }
    return smallest;
}

// Two crates side by side against two walls, or any 2 x 2 block of crates and
// walls holding a crate off target, can never move again.
bool frozenSquare(const Board& board, const std::string& crates, int cell) {
    int x = cell % board.width, y = cell / board.width;
    for (int ox = -1; ox <= 0; ox++) {
        for (int oy = -1; oy <= 0; oy++) {
            bool solid = true;
            bool offTarget = false;
            for (int i = 0; i < 2 && solid; i++) {
                for (int j = 0; j < 2 && solid; j++) {
                    int cx = x + ox + i, cy = y + oy + j;
                    if (board.blocked(cx, cy)) {
                        continue;
                    }
                    int c = cy * board.width + cx;
                    if (!crates[c]) {
                        solid = false;
                    } else if (!board.goal[c]) {
                        offTarget = true;
                    }
                }
            }
            if (solid && offTarget) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace

int solvePushes(const Level* level, long maxStates) {
    Board board;
    board.width = level->size.x;
    board.height = level->size.y;
    int cells = board.width * board.height;
    board.wall.assign(cells, false);
    board.goal.assign(cells, false);
    std::string crates(cells, '\0');
    int player = -1;
    for (int i = 0; i < cells; i++) {
        TileState t = level->tiles[i];
        board.wall[i] = t == wallS;
        board.goal[i] = t == targetS || t == crateOnTargetS || t == playerOnTargetS;
        crates[i] = (t == crateS || t == crateOnTargetS) ? 1 : 0;
        if (t == playerS || t == playerOnTargetS) {
            player = i;
        }
    }
    if (player < 0) {
        return -1;
    }
    markDeadSquares(board);

    auto solved = [&](const std::string& c) {
        for (int i = 0; i < cells; i++) {
            if (board.goal[i] && !c[i]) {
                return false;
            }
        }
        return true;
    };
    std::vector<int> seen(cells, 0);
    std::vector<int> order;
    int stamp = 1;
    std::unordered_set<Key, KeyHash> visited;
    std::deque<State> queue;
    int normal = reach(board, crates, player, seen, stamp++, order);
    visited.insert(makeKey(crates, normal));
    queue.push_back({crates, player, 0});
    while (!queue.empty()) {
        State state = queue.front();
        queue.pop_front();
        if (solved(state.crates)) {
            return state.pushes;
        }
        reach(board, state.crates, state.player, seen, stamp++, order);
        std::vector<int> area = order;
        for (int c : area) {
            int x = c % board.width, y = c / board.width;
            for (int d = 0; d < 4; d++) {
                int cx = x + dx[d], cy = y + dy[d];
                if (board.blocked(cx, cy) || !state.crates[cy * board.width + cx]) {
                    continue;
                }
                int fx = cx + dx[d], fy = cy + dy[d];
                if (board.blocked(fx, fy)) {
                    continue;
                }
                int f = fy * board.width + fx;
                if (state.crates[f] || board.dead[f]) {
                    continue;
                }
                std::string next = state.crates;
                int crateCell = cy * board.width + cx;
                next[crateCell] = 0;
                next[f] = 1;
                if (frozenSquare(board, next, f)) {
                    continue;
                }
                int normalised = reach(board, next, crateCell, seen, stamp++, order);
                if (!visited.insert(makeKey(next, normalised)).second) {
                    continue;
                }
                if (static_cast<long>(visited.size()) > maxStates) {
                    return -1;
                }
                queue.push_back({next, crateCell, state.pushes + 1});
            }
        }
    }
    return -1;
}
