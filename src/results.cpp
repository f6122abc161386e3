#include "results.h"

#include <fcntl.h>
#include <sys/file.h>
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
const char* const header =
    "# azonosító, P (legkevesebb tolás) vagy M (legkevesebb lépés) vagy H (megoldva segítséggel), lépések, "
    "tolások, megoldás (l u r d: lépés, L U R D: tolás)\n";
// A line longer than this is no record of the game's; a file larger than
// this is not read, and not written over either.
constexpr size_t maxLineBytes = 1 << 20;
constexpr size_t maxFileBytes = 64 << 20;
constexpr int identityDigits = 16;

// The identity's view of a cell: walls, floor and targets only.
char identityCharacter(TileState cell) {
    switch (cell) {
        case wallS:
            return '#';
        case targetS:
        case crateOnTargetS:
        case playerOnTargetS:
            return '.';
        default:
            return ' ';
    }
}

struct Line {
    const char* text;
    size_t length;
};

// The lines of `bytes`, the last one also when no line feed ends it.
std::vector<Line> splitLines(const std::string& bytes) {
    std::vector<Line> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        end = end == std::string::npos ? bytes.size() : end;
        lines.push_back(Line{bytes.data() + start, end - start});
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

// Reads the file as it is now, puts the win in it where it beats a record
// of the kinds it counts for, and writes it whole. Runs under the lock.
bool mergeAndWrite(const std::string& path, uint64_t identity, const Win& win, const char* kinds) {
    std::string old;
    if (!readWhole(path, &old)) {
        return false;
    }
    std::vector<Line> lines = splitLines(old);
    LevelResults kept;
    for (const Line& line : lines) {
        uint64_t id = 0;
        char kind = 0;
        Win read;
        if (parseRecord(line, &id, &kind, &read) && id == identity) {
            keepBest(&kept, kind, read);
        }
    }
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
    // that is beaten give way to the one new line.
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
    // A file the game would no longer read loses every record in it.
    if (text.size() > maxFileBytes) {
        return false;
    }
    return replaceFile(path.c_str(), writeText, &text);
}

}  // namespace

uint64_t levelIdentity(const Level* level) {
    uint64_t hash = 14695981039346656037ull;
    for (int y = 0; y < level->size.y; y++) {
        if (y > 0) {
            hash = (hash ^ static_cast<unsigned char>('\n')) * 1099511628211ull;
        }
        for (int x = 0; x < level->size.x; x++) {
            char c = identityCharacter(level->tiles[y * level->size.x + x]);
            hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        }
    }
    return hash;
}

std::string resultsPath() {
    std::string data = dataFolder();
    return data.empty() ? data : data + resultsName;
}

Results readResults(const std::string& path) try {
    Results results;
    std::string bytes;
    if (path.empty() || !readWhole(path, &bytes)) {
        return results;
    }
    for (const Line& line : splitLines(bytes)) {
        uint64_t identity = 0;
        char kind = 0;
        Win win;
        if (parseRecord(line, &identity, &kind, &win)) {
            keepBest(&results[identity], kind, win);
        }
    }
    return results;
} catch (const std::bad_alloc&) {
    return Results();
}

bool recordWin(const std::string& path, uint64_t identity, const Win& win, bool best) try {
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
        written = flock(lock, LOCK_EX) == 0 && mergeAndWrite(path, identity, win, best ? "PM" : "H");
    } catch (const std::bad_alloc&) {
    }
    close(lock);
    return written;
} catch (const std::bad_alloc&) {
    return false;
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
