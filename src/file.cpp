#include "file.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Bytes of a line kept for the rules: a row of up to 64 cells, or ";", one
// space and a name whose 64th byte tells whether its 63rd ends a character.
constexpr int keptLineBytes = 128;
constexpr int maxNameBytes = nameBufferSize - 1;
// A level line is at most this long; longer ones are too wide.
constexpr int tooLongRow = largestLevel + 1;
// Lines this short (after the line end) close the pending level.
constexpr int separatorLength = 2;

// The reader's working record. A line is taken whole however long it is,
// across any number of reads: only its first bytes and its true length are
// kept.
struct LoadState {
    char line[keptLineBytes];
    long long lineLength;   // bytes of the line so far, line-end bytes included
    long long trailingCR;  // carriage returns at its end so far
    char name[nameBufferSize];
    TileState level[largestLevel * largestLevel];  // staging rows, 64 cells apart
    int rowIndex;
    int maxLength;
    bool tooLarge;  // the pending level is left out
    int levels;     // levels met so far, kept or not
    int code;       // loadOk or loadTooLarge so far
    LoadLevelResult skipped;  // what was left out
    Level* first;
    Level* last;
};

// The cell of every byte: invalidS for each that is not a level character.
struct CellTable {
    TileState cell[256];
};

constexpr CellTable makeCellTable() {
    CellTable table{};
    const char characters[] = " #@+$*. ";
    for (int value = wallS; value <= floorTileS; value++) {
        table.cell[static_cast<unsigned char>(characters[value])] = static_cast<TileState>(value);
    }
    return table;
}

constexpr CellTable cellTable = makeCellTable();

TileState charToTile(char tile) {
    return cellTable.cell[static_cast<unsigned char>(tile)];
}

// Inside a row, levels shared by others may mark floor with "-" or "_".
TileState rowCell(char tile) {
    return tile == '-' || tile == '_' ? floorTileS : charToTile(tile);
}

bool checkTile(char tile) {
    return charToTile(tile) != invalidS;
}

// The file character of every cell value: a space for invalidS and for any
// value outside the enumeration.
struct CharacterTable {
    char character[256];
};

constexpr CharacterTable makeCharacterTable() {
    CharacterTable table{};
    const char characters[] = " #@+$*. ";
    for (int value = 0; value < 256; value++) {
        table.character[value] = value <= floorTileS ? characters[value] : ' ';
    }
    return table;
}

constexpr CharacterTable characterTable = makeCharacterTable();

char tileToChar(TileState tile) {
    return characterTable.character[static_cast<unsigned char>(tile)];
}

void emptyLevel(LoadState* state) {
    for (TileState& cell : state->level) {
        cell = floorTileS;
    }
    state->name[0] = '\0';
    state->rowIndex = 0;
    state->maxLength = 0;
    state->tooLarge = false;
}

// Notes a level left out for its size: the first one's name and place.
void skipLevel(LoadState* state) {
    if (state->skipped.skippedCount++ == 0) {
        state->skipped.skippedLevel = state->levels;
        std::memcpy(state->skipped.skippedName, state->name, sizeof state->name);
    }
}

void freeLevel(Level* level) {
    if (level == nullptr) {
        return;
    }
    std::free(level->tiles);
    std::free(level->name);
    std::free(level);
}

// Closes the pending level onto the end of the list. Returns loadOk, or
// loadNoMemory when memory ran out, in which case the whole list is
// already released.
int addLevel(LoadState* state) {
    if (state->tooLarge) {
        skipLevel(state);
    } else {
        size_t width = static_cast<size_t>(state->maxLength);
        Level* level = newLevel(Coordinates{state->maxLength, state->rowIndex}, state->name, std::strlen(state->name));
        if (level == nullptr) {
            unloadLevel(state->first);
            state->first = state->last = nullptr;
            return loadNoMemory;
        }
        for (int r = 0; r < state->rowIndex; r++) {
            std::memcpy(level->tiles + r * width, state->level + r * largestLevel, width * sizeof(TileState));
        }
        if (state->first == nullptr) {
            state->first = level;
        } else {
            level->prev = state->last;
            state->last->next = level;
        }
        state->last = level;
    }
    state->levels++;
    emptyLevel(state);
    return loadOk;
}

// The name after ";" and one optional space, cut to what a name buffer holds
// without splitting a UTF-8 character.
void takeName(LoadState* state, int length) {
    const char* line = state->line;
    int start = (length > 1 && line[1] == ' ') ? 2 : 1;
    int count = length - start;
    if (count > maxNameBytes) {
        count = maxNameBytes;
        while (count > 0 && (static_cast<unsigned char>(line[start + count]) & 0xC0) == 0x80) {
            count--;
        }
    }
    // A NUL ends the name early; what is left must not end like a line does,
    // or the name would come back shorter after a save.
    int kept = 0;
    while (kept < count && line[start + kept] != '\0') {
        state->name[kept] = line[start + kept];
        kept++;
    }
    while (kept > 0 && state->name[kept - 1] == '\r') {
        kept--;
    }
    state->name[kept] = '\0';
}

// Applies the name, row and separator rules to the line just read. Returns
// loadOk to go on, or the code that ends the reading.
int processLine(LoadState* state) {
    long long trueLength = state->lineLength - state->trailingCR;
    int length = trueLength > INT_MAX ? INT_MAX : static_cast<int>(trueLength);
    const char* line = state->line;
    if (length > separatorLength && line[0] == ';') {
        takeName(state, length);
    }
    if (length > 0 && checkTile(line[0])) {
        if (length > state->maxLength) {
            state->maxLength = length;
        }
        if (length >= tooLongRow || state->rowIndex == largestLevel) {
            // Too wide or too tall: the whole level is left out.
            state->code = loadTooLarge;
            state->tooLarge = true;
            state->rowIndex = state->rowIndex > 0 ? state->rowIndex : 1;
        } else {
            TileState* row = state->level + state->rowIndex * largestLevel;
            for (int i = 0; i < length; i++) {
                row[i] = rowCell(line[i]);
                if (row[i] == invalidS) {
                    unloadLevel(state->first);
                    state->first = state->last = nullptr;
                    return loadBadCharacter;
                }
            }
            state->rowIndex++;
        }
    }
    if (length <= separatorLength && state->rowIndex > 0) {
        return addLevel(state);
    }
    return loadOk;
}

void startReading(LoadState* state) {
    state->lineLength = 0;
    state->trailingCR = 0;
    state->code = loadOk;
    state->levels = 0;
    state->skipped = LoadLevelResult{};
    state->first = state->last = nullptr;
    std::memset(state->line, 0, sizeof state->line);
    emptyLevel(state);
}

// Takes `size` more bytes of the text and applies the rules to every line
// they complete.
int readBytes(LoadState* state, const char* bytes, size_t size) {
    const char* end = bytes + size;
    while (bytes < end) {
        const char* newline = static_cast<const char*>(std::memchr(bytes, '\n', static_cast<size_t>(end - bytes)));
        const char* pieceEnd = newline != nullptr ? newline : end;
        long long piece = pieceEnd - bytes;
        if (state->lineLength < keptLineBytes) {
            long long room = keptLineBytes - state->lineLength;
            std::memcpy(state->line + state->lineLength, bytes, static_cast<size_t>(piece < room ? piece : room));
        }
        long long crs = 0;
        while (crs < piece && pieceEnd[-1 - crs] == '\r') {
            crs++;
        }
        state->trailingCR = crs == piece ? state->trailingCR + crs : crs;
        state->lineLength += piece;
        if (newline == nullptr) {
            break;
        }
        int stop = processLine(state);
        if (stop != loadOk) {
            return stop;
        }
        state->lineLength = state->trailingCR = 0;
        bytes = newline + 1;
    }
    return loadOk;
}

// Applies the rules to a last line without a line feed and closes the
// pending level. The result of the whole reading.
LoadLevelResult finishReading(LoadState* state) {
    int stop = state->lineLength > 0 ? processLine(state) : loadOk;
    if (stop == loadOk && state->rowIndex > 0) {
        stop = addLevel(state);
    }
    if (stop != loadOk) {
        return LoadLevelResult{stop, nullptr};
    }
    LoadLevelResult result = state->skipped;
    result.result = state->code;
    result.level = state->first;
    return result;
}

// --- writing -------------------------------------------------------------

// Collects bytes and writes them to a file in large pieces.
struct Writer {
    int fd;
    bool failed;
    size_t used;
    char buffer[65536];
};

void flushWriter(Writer* writer) {
    size_t done = 0;
    while (!writer->failed && done < writer->used) {
        ssize_t wrote = write(writer->fd, writer->buffer + done, writer->used - done);
        if (wrote < 0) {
            writer->failed = errno != EINTR;
            continue;
        }
        done += static_cast<size_t>(wrote);
    }
    writer->used = 0;
}

// Makes room for `count` more bytes and returns where they go; null when
// they cannot fit the buffer at all.
char* reserve(Writer* writer, size_t count) {
    if (sizeof writer->buffer - writer->used < count) {
        flushWriter(writer);
    }
    return count <= sizeof writer->buffer ? writer->buffer + writer->used : nullptr;
}

// The bytes of one level as a file holds it: "; name" and its rows at full
// width, each line ended.
size_t levelBytes(const Level* level, size_t nameLength) {
    return 3 + nameLength + static_cast<size_t>(level->size.y) * (static_cast<size_t>(level->size.x) + 1);
}

void formatLevel(const Level* level, size_t nameLength, char* out) {
    *out++ = ';';
    *out++ = ' ';
    std::memcpy(out, level->name, nameLength);
    out += nameLength;
    *out++ = '\n';
    const TileState* cells = level->tiles;
    for (int y = 0; y < level->size.y; y++) {
        for (int x = 0; x < level->size.x; x++) {
            *out++ = tileToChar(*cells++);
        }
        *out++ = '\n';
    }
}

// Every level as "; name", its rows at full width and an empty line.
bool writeLevels(int fd, const void* list) {
    Writer writer;
    writer.fd = fd;
    writer.failed = false;
    writer.used = 0;
    for (const Level* level = static_cast<const Level*>(list); level != nullptr; level = level->next) {
        size_t nameLength = std::strlen(level->name);
        size_t bytes = levelBytes(level, nameLength);
        char* out = reserve(&writer, bytes + 1);
        if (out == nullptr) {
            return false;  // no level the game makes comes near this
        }
        formatLevel(level, nameLength, out);
        out[bytes] = '\n';
        writer.used += bytes + 1;
    }
    flushWriter(&writer);
    return !writer.failed;
}

// Follows symbolic links so that a save replaces the file a link points to
// and leaves the link itself in place. False when the chain cannot be read.
bool resolveTarget(const char* filename, char* resolved, struct stat* info, bool* exists) {
    if (std::strlen(filename) >= PATH_MAX) {
        return false;
    }
    std::strcpy(resolved, filename);
    for (int hops = 0; hops < 40; hops++) {
        if (lstat(resolved, info) != 0) {
            if (errno == ENOENT) {
                *exists = false;
                return true;
            }
            return false;
        }
        if (!S_ISLNK(info->st_mode)) {
            *exists = true;
            return true;
        }
        char link[PATH_MAX];
        ssize_t length = readlink(resolved, link, sizeof link - 1);
        if (length < 0) {
            return false;
        }
        link[length] = '\0';
        if (link[0] == '/') {
            std::strcpy(resolved, link);
        } else {
            char* slash = std::strrchr(resolved, '/');
            size_t dirLength = slash != nullptr ? static_cast<size_t>(slash - resolved) + 1 : 0;
            if (dirLength + static_cast<size_t>(length) >= PATH_MAX) {
                return false;
            }
            std::memcpy(resolved + dirLength, link, static_cast<size_t>(length) + 1);
        }
    }
    return false;
}

// The folder part of `path` ("." when it has none), in `folder`.
void folderOf(const char* path, char* folder) {
    const char* slash = std::strrchr(path, '/');
    if (slash == nullptr) {
        std::strcpy(folder, ".");
        return;
    }
    size_t length = slash == path ? 1 : static_cast<size_t>(slash - path);
    std::memcpy(folder, path, length);
    folder[length] = '\0';
}

// Every temporary name of a save is ".<file>.<pid>.<n>.tmp" beside the file,
// so that a later save can tell the leftovers of a dead game apart from
// anything else in the folder.
bool temporaryName(const char* target, long pid, int attempt, char* temporary) {
    const char* slash = std::strrchr(target, '/');
    int dirLength = slash != nullptr ? static_cast<int>(slash - target) + 1 : 0;
    int written = std::snprintf(temporary, PATH_MAX, "%.*s.%s.%ld.%d.tmp", dirLength, target, target + dirLength,
                                pid, attempt);
    return written >= 0 && written < PATH_MAX;
}

// The pid in a temporary name the game made for `base` (for any file when
// `base` is null), or 0.
long temporaryOwner(const char* entry, const char* base) {
    if (entry[0] != '.') {
        return 0;
    }
    const char* p = nullptr;
    if (base != nullptr) {
        size_t baseLength = std::strlen(base);
        if (std::strncmp(entry + 1, base, baseLength) != 0 || entry[baseLength + 1] != '.') {
            return 0;
        }
        p = entry + baseLength + 2;
    } else {
        // ".NAME.PID.N.tmp": the pid follows the third dot from the end.
        const char* dots[3] = {nullptr, nullptr, nullptr};
        for (const char* q = entry + 1; *q != '\0'; q++) {
            if (*q == '.') {
                dots[0] = dots[1];
                dots[1] = dots[2];
                dots[2] = q;
            }
        }
        if (dots[0] == nullptr || dots[0] == entry + 1) {
            return 0;
        }
        p = dots[0] + 1;
    }
    long pid = 0;
    const char* digits = p;
    for (; *p >= '0' && *p <= '9' && pid < 1000000000L; p++) {
        pid = pid * 10 + (*p - '0');
    }
    if (p == digits || *p != '.') {
        return 0;
    }
    const char* attempt = ++p;
    while (*p >= '0' && *p <= '9') {
        p++;
    }
    return (p != attempt && std::strcmp(p, ".tmp") == 0) ? pid : 0;
}

// Removes from `folder` the temporary files that saves of `base` (of any
// file when null) left behind: only regular files of this user whose game
// no longer runs.
void removeStale(const char* folder, const char* base) {
    DIR* dir = opendir(folder);
    if (dir == nullptr) {
        return;
    }
    while (dirent* entry = readdir(dir)) {
        long pid = temporaryOwner(entry->d_name, base);
        if (pid <= 0 || pid == static_cast<long>(getpid())) {
            continue;
        }
        if (kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) {
            continue;
        }
        struct stat info;
        if (fstatat(dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode) &&
            info.st_uid == geteuid()) {
            unlinkat(dirfd(dir), entry->d_name, 0);
        }
    }
    closedir(dir);
}

// A save killed between naming its file and renaming it leaves the name
// behind; the next save of the same file removes it.
void removeStaleTemporaries(const char* target) {
    char folder[PATH_MAX];
    folderOf(target, folder);
    const char* slash = std::strrchr(target, '/');
    removeStale(folder, slash != nullptr ? slash + 1 : target);
}

// Opens a new, empty file beside `target` under a temporary name; the caller
// removes or renames it.
int openNamed(const char* target, char* temporary) {
    for (int attempt = 0; attempt < 100; attempt++) {
        if (!temporaryName(target, static_cast<long>(getpid()), attempt, temporary)) {
            return -1;
        }
        int fd = open(temporary, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

// Gives the nameless file `fd` a temporary name beside `target`.
bool linkNameless(int fd, const char* target, char* temporary) {
    char self[64];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
    for (int attempt = 0; attempt < 100; attempt++) {
        if (!temporaryName(target, static_cast<long>(getpid()), attempt, temporary)) {
            return false;
        }
        if (linkat(AT_FDCWD, self, AT_FDCWD, temporary, AT_SYMLINK_FOLLOW) == 0) {
            return true;
        }
        // Without /proc only a privileged process can link by descriptor.
        if (errno == ENOENT && linkat(fd, "", AT_FDCWD, temporary, AT_EMPTY_PATH) == 0) {
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    return false;
}

enum SaveOutcome { saved, failed, retryNamed };

// Writes a new file and puts it in the place of `target`. A nameless file
// (O_TMPFILE) gets a name only once it is complete, so a save killed while
// writing leaves nothing behind.
SaveOutcome writeAndReplace(FileWriter write, const void* what, const char* target, const struct stat* old,
                            bool nameless) {
    char temporary[PATH_MAX];
    int fd = -1;
    if (nameless) {
        char folder[PATH_MAX];
        folderOf(target, folder);
        fd = open(folder, O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (fd < 0) {
            return retryNamed;  // this filesystem or kernel has no nameless files
        }
    } else {
        fd = openNamed(target, temporary);
        if (fd < 0) {
            return failed;
        }
    }
    bool ok = old == nullptr || fchmod(fd, old->st_mode & 07777) == 0;
    if (ok) {
        ok = write(fd, what) && fsync(fd) == 0;
    }
    bool named = !nameless;
    if (ok && nameless) {
        named = linkNameless(fd, target, temporary);
        if (!named) {
            close(fd);
            return retryNamed;
        }
    }
    ok = (close(fd) == 0) && ok;
    ok = ok && rename(temporary, target) == 0;
    if (!ok && named) {
        unlink(temporary);
    }
    return ok ? saved : failed;
}

}  // namespace

Level* newLevel(Coordinates size, const char* name, size_t nameLength) {
    Level* level = static_cast<Level*>(std::malloc(sizeof(Level)));
    if (level == nullptr) {
        return nullptr;
    }
    size_t cells = static_cast<size_t>(size.x) * static_cast<size_t>(size.y);
    level->size = size;
    level->prev = level->next = nullptr;
    level->tiles = static_cast<TileState*>(std::malloc(cells > 0 ? cells : 1));
    level->name = static_cast<char*>(std::malloc(nameLength + 1));
    if (level->tiles == nullptr || level->name == nullptr) {
        freeLevel(level);
        return nullptr;
    }
    std::memcpy(level->name, name, nameLength);
    level->name[nameLength] = '\0';
    return level;
}

LoadLevelResult loadLevel(char* filename) {
    // Non-blocking, so that a FIFO cannot hang the game before it is refused.
    int fd = open(filename, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return LoadLevelResult{loadCannotOpen, nullptr};
    }
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return LoadLevelResult{loadCannotOpen, nullptr};
    }
    LoadState state;
    startReading(&state);
    char chunk[65536];
    for (;;) {
        ssize_t got = read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        int stop = got < 0 ? loadCannotOpen : readBytes(&state, chunk, static_cast<size_t>(got));
        if (stop != loadOk) {
            unloadLevel(state.first);
            close(fd);
            return LoadLevelResult{stop, nullptr};
        }
        if (got == 0) {
            break;
        }
    }
    close(fd);
    return finishReading(&state);
}

LoadLevelResult loadLevelText(const char* text, size_t length) {
    LoadState state;
    startReading(&state);
    int stop = readBytes(&state, text, length);
    if (stop != loadOk) {
        unloadLevel(state.first);
        return LoadLevelResult{stop, nullptr};
    }
    return finishReading(&state);
}

std::string tooLargeQuestion(const LoadLevelResult& loaded) {
    // Long names are cut to keep the line within the box.
    constexpr size_t longestName = 24;
    std::string name = loaded.skippedName;
    if (name.size() > longestName) {
        size_t cut = longestName;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) {
            cut--;
        }
        name = name.substr(0, cut) + "\xE2\x80\xA6";
    }
    std::string text = "Néhány szint túl nagy. Biztosan megnyitod?\nKimarad: " +
                       std::to_string(loaded.skippedLevel + 1) + ". szint";
    if (!name.empty()) {
        text += " (\xE2\x80\x9E" + name + "\xE2\x80\x9D)";
    }
    if (loaded.skippedCount > 1) {
        text += " és még " + std::to_string(loaded.skippedCount - 1);
    }
    return text;
}

std::string levelText(const Level* level) {
    size_t nameLength = std::strlen(level->name);
    std::string text(levelBytes(level, nameLength), '\0');
    formatLevel(level, nameLength, &text[0]);
    return text;
}

bool saveLevel(Level* level, char* filename) {
    return replaceFile(filename, writeLevels, level);
}

bool replaceFile(const char* filename, FileWriter write, const void* what) {
    char target[PATH_MAX];
    struct stat info;
    bool exists = false;
    if (!resolveTarget(filename, target, &info, &exists)) {
        return false;
    }
    // Only a regular file may be replaced; never a directory or a device.
    if (exists && !S_ISREG(info.st_mode)) {
        return false;
    }
    // The rename would replace even a read-only file: ask the file itself
    // whether this user may write it, without truncating it.
    if (exists) {
        int probe = open(target, O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (probe < 0) {
            return false;
        }
        close(probe);
    }
    removeStaleTemporaries(target);
    const struct stat* old = exists ? &info : nullptr;
    SaveOutcome outcome = writeAndReplace(write, what, target, old, true);
    if (outcome == retryNamed) {
        outcome = writeAndReplace(write, what, target, old, false);
    }
    return outcome == saved;
}

void removeStaleSaves(const char* folder) {
    removeStale(folder, nullptr);
}

void unloadLevel(Level* level) {
    while (level != nullptr) {
        Level* next = level->next;
        freeLevel(level);
        level = next;
    }
}
