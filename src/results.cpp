#include "results.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "folders.h"

namespace {

const char* const resultsName = "/eredmenyek.txt";
const char* const placesName = "/folytatas.txt";
// Where the player stopped is kept for this many files, the latest.
constexpr size_t mostPlaces = 1000;
const char* const header =
    "# azonosító, P (legkevesebb tolás), M (legkevesebb lépés) vagy H (megoldva, nem legjobb), lépések, "
    "tolások, megoldás (l u r d: lépés, L U R D: tolás); vagy azonosító, S, az első kezdőállás sorai |-lal\n";
// A line longer than this is no record of the game's; a file larger than
// this is not read, and not written over either.
constexpr size_t maxLineBytes = 1 << 20;
constexpr size_t maxFileBytes = 64 << 20;
constexpr int identityDigits = 16;

// The identity's view of a cell, in the level file's notation: walls,
// floor and targets only.
char identityCharacter(char cell) {
    switch (cell) {
        case '#':
            return '#';
        case '.':
        case '*':
        case '+':
            return '.';
        default:
            return ' ';
    }
}

constexpr uint64_t fnvStart = 14695981039346656037ull;

uint64_t fnv(uint64_t hash, char c) {
    return (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
}

// The identity of a level written as its rows joined by "|".
uint64_t identityOfRows(const std::string& rows) {
    uint64_t hash = fnvStart;
    for (char c : rows) {
        hash = fnv(hash, c == '|' ? '\n' : identityCharacter(c));
    }
    return hash;
}

struct Line {
    const char* text;
    size_t length;
};

// The lines of `bytes`, the last one also when no line feed ends it; a
// carriage return before the line feed is not part of the line.
std::vector<Line> splitLines(const std::string& bytes) {
    std::vector<Line> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        end = end == std::string::npos ? bytes.size() : end;
        size_t length = end - start;
        while (length > 0 && bytes[start + length - 1] == '\r') {
            length--;
        }
        lines.push_back(Line{bytes.data() + start, length});
        start = end + 1;
    }
    return lines;
}

// Reads a whole regular file into `bytes`; a missing one is empty. False
// when it exists but cannot be read whole.
bool readWhole(const std::string& path, std::string* bytes) {
    bytes->clear();
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return errno == ENOENT;
    }
    struct stat info;
    bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && static_cast<size_t>(info.st_size) <= maxFileBytes;
    if (ok) {
        bytes->reserve(static_cast<size_t>(info.st_size));  // read in place, not copied as it grows
    }
    char chunk[65536];
    while (ok) {
        ssize_t got = read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        ok = got >= 0 && bytes->size() + static_cast<size_t>(got) <= maxFileBytes;
        if (got <= 0) {
            break;
        }
        bytes->append(chunk, static_cast<size_t>(got));
    }
    close(fd);
    return ok;
}

// A decimal number of at most nine digits, no sign, no leading zero.
bool readNumber(const char*& p, const char* end, int* value) {
    const char* start = p;
    long long number = 0;
    while (p < end && *p >= '0' && *p <= '9' && p - start < 9) {
        number = number * 10 + (*p++ - '0');
    }
    if (p == start || (*start == '0' && p - start > 1)) {
        return false;
    }
    *value = static_cast<int>(number);
    return true;
}

// An identity: sixteen lowercase hexadecimal digits at `p`.
bool readIdentity(const char* p, uint64_t* identity) {
    uint64_t value = 0;
    for (int i = 0; i < identityDigits; i++) {
        char c = p[i];
        if (c >= '0' && c <= '9') {
            value = value * 16 + static_cast<uint64_t>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            value = value * 16 + static_cast<uint64_t>(c - 'a' + 10);
        } else {
            return false;
        }
    }
    *identity = value;
    return true;
}

// The kinds of record: the best wins, by pushes and by moves, and a win
// that counts as solved but never as a best (kind H, ordered by pushes).
constexpr const char* winKinds = "PMH";

// A record line: its identity, kind and win. False for anything else.
bool parseRecord(const Line& line, uint64_t* identity, char* kind, Win* win) {
    if (line.length > maxLineBytes || line.length < identityDigits + 3) {
        return false;
    }
    const char* end = line.text + line.length;
    uint64_t value = 0;
    if (!readIdentity(line.text, &value)) {
        return false;
    }
    const char* p = line.text + identityDigits;
    if (*p++ != ' ' || *p == '\0' || std::strchr(winKinds, *p) == nullptr || p[1] != ' ') {
        return false;
    }
    *kind = *p;
    p += 2;
    Win read;
    if (!readNumber(p, end, &read.moves) || p == end || *p++ != ' ' || !readNumber(p, end, &read.pushes) ||
        p == end || *p++ != ' ') {
        return false;
    }
    read.solution.assign(p, static_cast<size_t>(end - p));
    int pushes = 0;
    for (char step : read.solution) {
        if (step == '\0' || std::strchr("lurdLURD", step) == nullptr) {
            return false;
        }
        pushes += step >= 'A' && step <= 'Z';
    }
    if (read.moves < 1 || static_cast<size_t>(read.moves) != read.solution.size() || pushes != read.pushes) {
        return false;
    }
    *identity = value;
    *win = read;
    return true;
}

// Whether `a` is a better win than `b` by the kind's order.
bool better(const Win& a, const Win& b, char kind) {
    if (kind == 'M') {
        return a.moves < b.moves || (a.moves == b.moves && a.pushes < b.pushes);
    }
    return a.pushes < b.pushes || (a.pushes == b.pushes && a.moves < b.moves);
}

bool& knownOf(LevelResults* results, char kind) {
    return kind == 'P' ? results->byPushesKnown : kind == 'M' ? results->byMovesKnown : results->helpedKnown;
}

Win& winOf(LevelResults* results, char kind) {
    return kind == 'P' ? results->byPushes : kind == 'M' ? results->byMoves : results->helped;
}

void keepBest(LevelResults* results, char kind, const Win& win) {
    bool& known = knownOf(results, kind);
    Win& kept = winOf(results, kind);
    if (!known || better(win, kept, kind)) {
        known = true;
        kept = win;
    }
}

// A level's first start: "IDENTITY S ROWS", the rows in the level file's
// notation joined by "|", with one player, and of the identity's walls and
// targets. False for anything else.
bool parseStart(const Line& line, uint64_t* identity, std::string* rows) {
    if (line.length > maxLineBytes || line.length < identityDigits + 4 || !readIdentity(line.text, identity)) {
        return false;
    }
    const char* p = line.text + identityDigits;
    if (p[0] != ' ' || p[1] != 'S' || p[2] != ' ') {
        return false;
    }
    rows->assign(p + 3, static_cast<size_t>(line.text + line.length - p - 3));
    int players = 0;
    for (char c : *rows) {
        if (c == '\0' || std::strchr("#@+$*. |", c) == nullptr) {
            return false;
        }
        players += c == '@' || c == '+';
    }
    return players == 1 && identityOfRows(*rows) == *identity;
}

// Whether `moves` solve the level of `rows` under the play rules: every walk
// onto floor or a target, every push of one crate onto floor or a target,
// and no target left open at the end (one under the player is open).
bool solvesFrom(const std::string& rows, const std::string& moves) {
    std::vector<std::string> grid(1);
    for (char c : rows) {
        if (c == '|') {
            grid.emplace_back();
        } else {
            grid.back() += c;
        }
    }
    int px = -1, py = -1;
    for (size_t y = 0; y < grid.size(); y++) {
        for (size_t x = 0; x < grid[y].size(); x++) {
            if (grid[y][x] == '@' || grid[y][x] == '+') {
                px = static_cast<int>(x);
                py = static_cast<int>(y);
                grid[y][x] = grid[y][x] == '+' ? '.' : ' ';
            }
        }
    }
    auto at = [&](int x, int y) -> char {
        return y >= 0 && y < static_cast<int>(grid.size()) && x >= 0 && x < static_cast<int>(grid[y].size())
                   ? grid[y][x]
                   : '#';
    };
    auto free = [](char c) { return c == ' ' || c == '.'; };
    for (char move : moves) {
        const char* letters = "lurdLURD";
        int index = static_cast<int>(std::strchr(letters, move) - letters);
        int dx = index % 4 == 0 ? -1 : index % 4 == 2 ? 1 : 0;
        int dy = index % 4 == 1 ? -1 : index % 4 == 3 ? 1 : 0;
        char near = at(px + dx, py + dy);
        bool crate = near == '$' || near == '*';
        if (crate != (index >= 4)) {
            return false;
        }
        if (crate) {
            char far = at(px + 2 * dx, py + 2 * dy);
            if (!free(far)) {
                return false;
            }
            grid[py + 2 * dy][px + 2 * dx] = far == '.' ? '*' : '$';
            grid[py + dy][px + dx] = near == '*' ? '.' : ' ';
        } else if (!free(near)) {
            return false;
        }
        px += dx;
        py += dy;
    }
    for (const std::string& row : grid) {
        if (row.find('.') != std::string::npos) {
            return false;
        }
    }
    return true;
}

// The records of every level in `lines`: each level's first start, and its
// wins, the bests only where they replay from that start.
Results recordsOf(const std::vector<Line>& lines) {
    Results results;
    for (const Line& line : lines) {
        uint64_t identity = 0;
        std::string rows;
        if (parseStart(line, &identity, &rows) && !results[identity].startKnown) {
            results[identity].startKnown = true;
            results[identity].start = rows;
        }
    }
    for (const Line& line : lines) {
        uint64_t identity = 0;
        char kind = 0;
        Win win;
        if (!parseRecord(line, &identity, &kind, &win)) {
            continue;
        }
        LevelResults& level = results[identity];
        if (kind == 'H' || (level.startKnown && solvesFrom(level.start, win.solution))) {
            keepBest(&level, kind, win);
        }
    }
    return results;
}

std::string recordLine(uint64_t identity, char kind, const Win& win) {
    char start[64];
    std::snprintf(start, sizeof start, "%016llx %c %d %d ", static_cast<unsigned long long>(identity), kind,
                  win.moves, win.pushes);
    return start + win.solution + "\n";
}

bool writeText(int fd, const void* what) {
    const std::string& text = *static_cast<const std::string*>(what);
    size_t done = 0;
    while (done < text.size()) {
        ssize_t wrote = write(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            return false;
        }
        done += static_cast<size_t>(wrote);
    }
    return true;
}

// A file the game would no longer read loses every record in it: it is not
// written.
bool writeRecords(const std::string& path, const std::string& text) {
    return text.size() <= maxFileBytes && replaceFile(path.c_str(), writeText, &text);
}

// Reads the file as it is now, puts the win in it where it beats a record
// of the kinds it counts for (a best only when it was played from the
// level's first start without a hint), and writes it whole. Runs under the
// lock.
bool mergeWin(const std::string& path, uint64_t identity, const Win& win, bool hinted) {
    std::string old;
    if (!readWhole(path, &old)) {
        return false;
    }
    std::vector<Line> lines = splitLines(old);
    LevelResults kept = recordsOf(lines)[identity];
    const char* kinds = countsAsBest(kept, win, hinted) ? "PM" : "H";
    std::string beaten;
    for (const char* kind = kinds; *kind != '\0'; kind++) {
        if (!knownOf(&kept, *kind) || better(win, winOf(&kept, *kind), *kind)) {
            beaten += *kind;
        }
    }
    if (beaten.empty()) {
        return false;
    }
    // Every other line stays as it was; the level's own records of a kind
    // that is beaten (a best that does not replay among them) give way to
    // the one new line.
    std::string text = old.empty() ? header : "";
    std::string placed;
    for (const Line& line : lines) {
        uint64_t id = 0;
        char kind = 0;
        Win read;
        if (parseRecord(line, &id, &kind, &read) && id == identity && beaten.find(kind) != std::string::npos) {
            if (placed.find(kind) == std::string::npos) {
                text += recordLine(identity, kind, win);
                placed += kind;
            }
            continue;
        }
        text.append(line.text, line.length);
        text += '\n';
    }
    for (char kind : beaten) {
        if (placed.find(kind) == std::string::npos) {
            text += recordLine(identity, kind, win);
        }
    }
    return writeRecords(path, text);
}

// Whether the `size` bytes at `bytes` hold a first start of the level
// `identity`: only the lines that begin with its identity and kind are
// looked at.
bool knowsStart(const char* bytes, size_t size, uint64_t identity) {
    char key[32];
    int keyLength = std::snprintf(key, sizeof key, "%016llx S ", static_cast<unsigned long long>(identity));
    const char* end = bytes + size;
    for (const char* at = bytes; at < end;) {
        at = static_cast<const char*>(memmem(at, static_cast<size_t>(end - at), key, static_cast<size_t>(keyLength)));
        if (at == nullptr) {
            return false;
        }
        const char* lineEnd = static_cast<const char*>(std::memchr(at, '\n', static_cast<size_t>(end - at)));
        lineEnd = lineEnd != nullptr ? lineEnd : end;
        size_t length = static_cast<size_t>(lineEnd - at);
        while (length > 0 && at[length - 1] == '\r') {
            length--;
        }
        uint64_t read = 0;
        std::string rows;
        if ((at == bytes || at[-1] == '\n') && parseStart(Line{at, length}, &read, &rows)) {
            return true;
        }
        at++;
    }
    return false;
}

// Appends `text` to the file at `path`; false when it cannot be written
// whole.
bool appendText(const std::string& path, const std::string& text) {
    int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    bool written = writeText(fd, &text);
    return close(fd) == 0 && written;
}

// Adds the level's first start unless the file knows one: appended, so
// that a large file is neither read into memory nor written anew for one
// line. Runs under the lock.
bool mergeStart(const std::string& path, uint64_t identity, const std::string& rows) {
    char start[32];
    std::snprintf(start, sizeof start, "%016llx S ", static_cast<unsigned long long>(identity));
    std::string line = start + rows + "\n";
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return errno == ENOENT && writeRecords(path, header + line);
    }
    struct stat info;
    size_t size = 0;
    void* mapped = MAP_FAILED;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && static_cast<size_t>(info.st_size) <= maxFileBytes) {
        size = static_cast<size_t>(info.st_size);
        mapped = size > 0 ? mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0) : nullptr;
    }
    close(fd);
    if (mapped == MAP_FAILED) {
        return false;
    }
    if (size == 0) {
        return writeRecords(path, header + line);
    }
    const char* bytes = static_cast<const char*>(mapped);
    bool known = knowsStart(bytes, size, identity);
    // A line left unended by a game killed while it wrote stays a line of
    // its own.
    bool ended = bytes[size - 1] == '\n';
    munmap(mapped, size);
    if (known) {
        return false;
    }
    line = (ended ? "" : "\n") + line;
    return size + line.size() <= maxFileBytes && appendText(path, line);
}

// Runs `merge` on the file at `path` under a lock on its folder, which is
// made first if need be.
template <typename Merge>
bool underLock(const std::string& path, Merge merge) try {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0) {
        return false;
    }
    std::string folder = path.substr(0, slash);
    if (!makeFolders(folder)) {
        return false;
    }
    // The folder is the lock: a lock file would be left beside the records.
    int lock = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (lock < 0) {
        return false;
    }
    bool written = false;
    try {
        written = flock(lock, LOCK_EX) == 0 && merge();
    } catch (const std::bad_alloc&) {
    }
    close(lock);
    return written;
} catch (const std::bad_alloc&) {
    return false;
}

}  // namespace

uint64_t levelIdentity(const Level* level) {
    return identityOfRows(startRows(level));
}

bool countsAsBest(const LevelResults& kept, const Win& win, bool hinted) {
    return !hinted && kept.startKnown && solvesFrom(kept.start, win.solution);
}

std::string startRows(const Level* level) {
    std::string rows;
    for (int y = 0; y < level->size.y; y++) {
        if (y > 0) {
            rows += '|';
        }
        for (int x = 0; x < level->size.x; x++) {
            TileState cell = level->tiles[y * level->size.x + x];
            rows += cell >= wallS && cell <= floorTileS ? "#@+$*. "[cell - wallS] : ' ';
        }
    }
    return rows;
}

std::string resultsPath() {
    std::string data = dataFolder();
    return data.empty() ? data : data + resultsName;
}

std::string placesPath() {
    std::string data = dataFolder();
    return data.empty() ? data : data + placesName;
}

namespace {

// The full path of a level file, as its place is kept by; empty when it
// cannot be told or would not fit a line.
std::string fullPath(const char* levelFile) {
    char* resolved = realpath(levelFile, nullptr);
    std::string path = resolved != nullptr ? resolved : "";
    std::free(resolved);
    return path.find_first_of("\t\n\r") == std::string::npos ? path : std::string();
}

// The lines of the places file: "NUMBER<tab>PATH", the latest last.
std::vector<std::pair<int, std::string>> readPlaces(const std::string& places) {
    std::vector<std::pair<int, std::string>> read;
    std::string bytes;
    if (places.empty() || !readWhole(places, &bytes)) {
        return read;
    }
    for (const Line& line : splitLines(bytes)) {
        const char* p = line.text;
        const char* end = line.text + line.length;
        int number = 0;
        if (readNumber(p, end, &number) && p < end && *p == '\t' && p + 1 < end) {
            read.emplace_back(number, std::string(p + 1, end));
        }
    }
    return read;
}

}  // namespace

int stoppedAt(const std::string& places, const char* levelFile) try {
    std::string path = fullPath(levelFile);
    int number = 0;
    for (const auto& [at, file] : readPlaces(places)) {
        number = !path.empty() && file == path ? at : number;
    }
    return number;
} catch (const std::bad_alloc&) {
    return 0;
}

bool keepStoppedAt(const std::string& places, const char* levelFile, int number) {
    return underLock(places, [&] {
        std::string path = fullPath(levelFile);
        if (path.empty() || number < 1) {
            return false;
        }
        std::vector<std::pair<int, std::string>> kept = readPlaces(places);
        std::string text;
        size_t skip = kept.size() >= mostPlaces ? kept.size() - mostPlaces + 1 : 0;
        for (size_t i = skip; i < kept.size(); i++) {
            if (kept[i].second != path) {
                text += std::to_string(kept[i].first) + "\t" + kept[i].second + "\n";
            }
        }
        text += std::to_string(number) + "\t" + path + "\n";
        return writeRecords(places, text);
    });
}

Results readResults(const std::string& path) try {
    std::string bytes;
    if (path.empty() || !readWhole(path, &bytes)) {
        return Results();
    }
    return recordsOf(splitLines(bytes));
} catch (const std::bad_alloc&) {
    return Results();
}

bool recordWin(const std::string& path, uint64_t identity, const Win& win, bool hinted) {
    return underLock(path, [&] { return mergeWin(path, identity, win, hinted); });
}

bool recordStart(const std::string& path, uint64_t identity, const std::string& rows) {
    return underLock(path, [&] { return mergeStart(path, identity, rows); });
}

std::unordered_map<uint64_t, int> readOptimum(const std::string& path) try {
    std::unordered_map<uint64_t, int> optimum;
    std::string bytes;
    if (!readWhole(path, &bytes)) {
        return optimum;
    }
    for (const Line& line : splitLines(bytes)) {
        std::string text(line.text, line.length);
        if (text.empty() || text[0] == '#') {
            continue;
        }
        // name, pushes, positions searched, moves, identity
        size_t tabs[4];
        size_t at = 0;
        int found = 0;
        for (; found < 4 && (at = text.find('\t', at)) != std::string::npos; found++, at++) {
            tabs[found] = at;
        }
        if (found < 4 || text.size() - tabs[3] - 1 != static_cast<size_t>(identityDigits)) {
            continue;
        }
        uint64_t identity = 0;
        int pushes = std::atoi(text.c_str() + tabs[0] + 1);
        if (readIdentity(text.c_str() + tabs[3] + 1, &identity) && pushes > 0) {
            optimum[identity] = pushes;
        }
    }
    return optimum;
} catch (const std::bad_alloc&) {
    return std::unordered_map<uint64_t, int>();
}
