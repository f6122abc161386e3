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

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Staging rows are kept a whole 32 bytes apart and wide, padded with floor,
// so that a row is converted and copied in two 16-byte steps.
constexpr int stagingStride = 32;
// Bytes of a line kept for the rules: a row of up to 19 cells, or ";", one
// space and a name whose 64th byte tells whether its 63rd ends a character.
constexpr int keptLineBytes = 128;
constexpr int maxNameBytes = nameBufferSize - 1;
// A level line is at most this long; longer ones are too wide.
constexpr int tooLongRow = maxLevelWidth + 1;
// Lines this short (after the line end) close the pending level.
constexpr int separatorLength = 2;
// Levels read from a file are carved one after another from shared blocks;
// a block goes back to the heap with the last of its levels.
constexpr size_t sharedBlockBytes = 32768;
// A carved level may be written this far past its end before its name goes
// in (its rows are copied whole); every block keeps this much spare.
constexpr size_t rowOverrun = stagingStride;

struct LoadState {
    char line[keptLineBytes];  // the first bytes of a line that crossed a read
    int lineLength;            // the true length of the line, line-end bytes removed
    char name[nameBufferSize];
    size_t nameLength;
    alignas(16) TileState level[maxLevelHeight * stagingStride];
    int rowIndex;
    int maxLength;
    LevelBlock* block;  // the block levels are carved from, or null
    char* blockFree;    // where its next level goes
    char* blockEnd;     // its end, less the spare
};

// The cell of each byte: invalidS for every byte that is not a level character.
struct TileTable {
    TileState cell[256];
};

constexpr TileTable makeTileTable() {
    TileTable table{};
    table.cell[static_cast<unsigned char>('#')] = wallS;
    table.cell[static_cast<unsigned char>('@')] = playerS;
    table.cell[static_cast<unsigned char>('+')] = playerOnTargetS;
    table.cell[static_cast<unsigned char>('$')] = crateS;
    table.cell[static_cast<unsigned char>('*')] = crateOnTargetS;
    table.cell[static_cast<unsigned char>('.')] = targetS;
    table.cell[static_cast<unsigned char>(' ')] = floorTileS;
    return table;
}

constexpr TileTable tileTable = makeTileTable();

TileState charToTile(char tile) {
    return tileTable.cell[static_cast<unsigned char>(tile)];
}

bool checkTile(char tile) {
    return charToTile(tile) != invalidS;
}

// The file character of each TileState value; invalidS is written as floor.
constexpr char fileCharacters[] = " #@+$*. ";

// Branch-free, as a save writes cells by the million.
char tileToChar(TileState tile) {
    unsigned value = static_cast<unsigned>(tile);
    char character = fileCharacters[value & 7];
    return value <= floorTileS ? character : ' ';
}

#if defined(__SSE2__)
// The cells of 16 file characters, the first `length` of them real (the rest
// become floor); `bad` gains a bit for each real one that is no level character.
__m128i charsToCells(const char* text, int length, int* bad) {
    static_assert(sizeof(TileState) == 1, "cells are bytes");
    __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text));
    __m128i cells = _mm_setzero_si128();
    __m128i known = _mm_setzero_si128();
    for (int value = wallS; value <= floorTileS; value++) {
        __m128i is = _mm_cmpeq_epi8(chars, _mm_set1_epi8(fileCharacters[value]));
        known = _mm_or_si128(known, is);
        cells = _mm_or_si128(cells, _mm_and_si128(is, _mm_set1_epi8(static_cast<char>(value))));
    }
    __m128i index = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    __m128i real = _mm_cmplt_epi8(index, _mm_set1_epi8(static_cast<char>(length)));
    *bad |= _mm_movemask_epi8(_mm_andnot_si128(known, real));
    return _mm_or_si128(_mm_and_si128(real, cells), _mm_andnot_si128(real, _mm_set1_epi8(static_cast<char>(floorTileS))));
}
#endif

// Converts a row of `length` (1 to 19) file characters into a whole staging
// row padded with floor. `text` may be read 32 bytes far. False when a
// character is no level character.
bool storeRow(const char* text, int length, TileState* row) {
#if defined(__SSE2__)
    int bad = 0;
    __m128i low = charsToCells(text, length, &bad);
    __m128i high = length > 16 ? charsToCells(text + 16, length - 16, &bad) : _mm_set1_epi8(static_cast<char>(floorTileS));
    _mm_store_si128(reinterpret_cast<__m128i*>(row), low);
    _mm_store_si128(reinterpret_cast<__m128i*>(row + 16), high);
    return bad == 0;
#else
    TileState any = wallS;
    for (int i = 0; i < length; i++) {
        row[i] = charToTile(text[i]);
        any = row[i] == invalidS ? invalidS : any;
    }
    for (int i = length; i < stagingStride; i++) {
        row[i] = floorTileS;
    }
    return any != invalidS;
#endif
}

bool hasStoredRow(const LoadState* state) {
    return state->rowIndex > 0;
}

size_t levelBytes(size_t cells, size_t nameLength) {
    return sizeof(Level) + sizeof(TileState) * cells + nameLength + 1;
}

// Sets up a level record at `memory`, its cells and name right behind it.
Level* placeLevel(void* memory, LevelBlock* block, Coordinates size, size_t cells, size_t nameLength) {
    Level* level = static_cast<Level*>(memory);
    level->size = size;
    level->tiles = reinterpret_cast<TileState*>(level + 1);
    level->name = reinterpret_cast<char*>(level->tiles + cells);
    level->name[nameLength] = '\0';
    level->prev = level->next = nullptr;
    level->block = block;
    block->levels++;
    return level;
}

// A level carved from the load's shared block, a new block when it is full.
// Its name is left to the caller. Null when memory ran out.
Level* carveLevel(LoadState* state, Coordinates size, size_t cells) {
    constexpr size_t align = alignof(Level);
    size_t bytes = (levelBytes(cells, state->nameLength) + align - 1) / align * align;
    if (state->block == nullptr || static_cast<size_t>(state->blockEnd - state->blockFree) < bytes) {
        char* memory = static_cast<char*>(std::malloc(sharedBlockBytes));
        if (memory == nullptr) {
            return nullptr;
        }
        state->block = reinterpret_cast<LevelBlock*>(memory);
        state->block->levels = 0;
        state->blockFree = memory + (sizeof(LevelBlock) + align - 1) / align * align;
        state->blockEnd = memory + sharedBlockBytes - rowOverrun;
    }
    Level* level = placeLevel(state->blockFree, state->block, size, cells, state->nameLength);
    state->blockFree += bytes;
    return level;
}

// Every release of a level comes here: its renamed name goes, and its block
// with the last level living in it.
void freeLevel(Level* level) {
    if (level == nullptr) {
        return;
    }
    releaseName(level, level->name);
    LevelBlock* block = level->block;
    if (--block->levels == 0) {
        std::free(block);
    }
}

void resetPending(LoadState* state) {
    state->name[0] = '\0';
    state->nameLength = 0;
    state->rowIndex = 0;
    state->maxLength = 0;
}

// Closes the pending level onto the end of the list. Returns 0, or 2 when
// memory ran out, in which case the whole list is already released.
int addLevel(LoadState* state, Level** first, Level** current) {
    if (state->maxLength <= maxLevelWidth && state->rowIndex <= maxLevelHeight) {
        Coordinates size{state->maxLength, state->rowIndex};
        size_t width = static_cast<size_t>(state->maxLength);
        Level* level = carveLevel(state, size, width * static_cast<size_t>(state->rowIndex));
        if (level == nullptr) {
            unloadLevel(*first);
            *first = *current = nullptr;
            return loadNoMemory;
        }
        // Whole staging rows, in order: each overwrites the padding the one
        // before left past its width, the last one's goes under the name.
        for (int r = 0; r < state->rowIndex; r++) {
            std::memcpy(level->tiles + static_cast<size_t>(r) * width, state->level + r * stagingStride, stagingStride);
        }
        std::memcpy(level->name, state->name, state->nameLength + 1);
        if (*first == nullptr) {
            *first = level;
        } else {
            level->prev = *current;
            (*current)->next = level;
        }
        *current = level;
    }
    resetPending(state);
    return loadOk;
}

// The name after ";" and one optional space, cut to what a name buffer holds
// without splitting a UTF-8 character.
void takeName(LoadState* state, const char* line) {
    int start = (state->lineLength > 1 && line[1] == ' ') ? 2 : 1;
    int length = state->lineLength - start;
    if (length > maxNameBytes) {
        length = maxNameBytes;
        while (length > 0 && (static_cast<unsigned char>(line[start + length]) & 0xC0) == 0x80) {
            length--;
        }
    }
    // A NUL ends the name early; what is left must not end like a line does,
    // or the name would come back shorter after a save.
    int kept = 0;
    while (kept < length && line[start + kept] != '\0') {
        state->name[kept] = line[start + kept];
        kept++;
    }
    length = kept;
    state->name[length] = '\0';
    while (length > 0 && state->name[length - 1] == '\r') {
        state->name[--length] = '\0';
    }
    state->nameLength = static_cast<size_t>(length);
}

// Applies the name, row and separator rules to one line: `line` holds its
// first bytes (all of them for any line the rules read whole) and
// state->lineLength its true length. Returns loadOk to go on, or the code
// that ends the reading.
int processLine(LoadState* state, const char* line, int* code, Level** first, Level** current) {
    int length = state->lineLength;
    if (length > separatorLength && line[0] == ';') {
        takeName(state, line);
    }
    if (length > 0 && checkTile(line[0])) {
        if (length > state->maxLength) {
            state->maxLength = length;
        }
        if (length >= tooLongRow || state->rowIndex == maxLevelHeight) {
            *code = loadTooLarge;
        } else {
            if (!storeRow(line, length, state->level + state->rowIndex * stagingStride)) {
                unloadLevel(*first);
                *first = *current = nullptr;
                return loadBadCharacter;
            }
            state->rowIndex++;
        }
    }
    if (length <= separatorLength) {
        if (hasStoredRow(state)) {
            return addLevel(state, first, current);
        }
        // A level whose every row was too wide ends here too, so that its
        // width and name do not spill into the next level.
        if (state->maxLength > 0) {
            resetPending(state);
        }
    }
    return loadOk;
}

// Reads the whole file line by line. Every physical line is one line however
// long it is: only its first bytes and its true length are kept. A line that
// lies whole in the read buffer is looked at where it lies.
int readLines(int fd, LoadState* state, int* code, Level** first, Level** current) {
    // Rows are read 32 bytes at a time, so the chunk has that much more,
    // always zero past what the read gave.
    char chunk[65536 + stagingStride];
    int kept = 0;  // bytes of a line begun in an earlier read, in state->line
    long long trueLength = 0;
    long long trailingCR = 0;
    bool pending = false;
    for (;;) {
        ssize_t got = read(fd, chunk, sizeof chunk - stagingStride);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            unloadLevel(*first);
            *first = *current = nullptr;
            return loadCannotOpen;
        }
        if (got == 0) {
            break;
        }
        std::memset(chunk + got, 0, stagingStride);
        const char* p = chunk;
        const char* end = chunk + got;
        while (p < end) {
            const char* newline = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
            const char* spanEnd = newline != nullptr ? newline : end;
            long long span = spanEnd - p;
            long long crs = 0;
            while (crs < span && spanEnd[-1 - crs] == '\r') {
                crs++;
            }
            const char* line = state->line;
            if (!pending && newline != nullptr) {
                line = p;
                trueLength = span;
                trailingCR = crs;
            } else if (span > 0) {
                pending = true;
                if (kept < keptLineBytes) {
                    long long room = keptLineBytes - kept;
                    long long take = span < room ? span : room;
                    std::memcpy(state->line + kept, p, static_cast<size_t>(take));
                    kept += static_cast<int>(take);
                }
                trailingCR = (crs == span) ? trailingCR + crs : crs;
                trueLength += span;
            }
            if (newline == nullptr) {
                break;
            }
            long long length = trueLength - trailingCR;
            state->lineLength = length > INT_MAX ? INT_MAX : static_cast<int>(length);
            int stop = processLine(state, line, code, first, current);
            if (stop != loadOk) {
                return stop;
            }
            kept = 0;
            trueLength = trailingCR = 0;
            pending = false;
            p = newline + 1;
        }
    }
    if (pending) {
        long long length = trueLength - trailingCR;
        state->lineLength = length > INT_MAX ? INT_MAX : static_cast<int>(length);
        int stop = processLine(state, state->line, code, first, current);
        if (stop != loadOk) {
            return stop;
        }
    }
    if (hasStoredRow(state)) {
        return addLevel(state, first, current);
    }
    return loadOk;
}

// --- writing -------------------------------------------------------------

constexpr size_t writerBytes = 65536;

struct Writer {
    int fd;
    bool failed;
    size_t used;
    char buffer[writerBytes];
    char cells[writerBytes + 16];  // one level's cells in file characters
};

// The file characters of `count` cells, sixteen at a time where SSE2 is
// there: values 1 to 6 select their character, anything else is a space.
void cellsToChars(const TileState* cells, size_t count, char* out) {
    size_t i = 0;
#if defined(__SSE2__)
    static_assert(sizeof(TileState) == 1, "cells are bytes");
    const __m128i space = _mm_set1_epi8(' ');
    for (; i + 16 <= count; i += 16) {
        __m128i values = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cells + i));
        __m128i result = space;
        for (int value = wallS; value <= targetS; value++) {
            __m128i is = _mm_cmpeq_epi8(values, _mm_set1_epi8(static_cast<char>(value)));
            result = _mm_or_si128(_mm_andnot_si128(is, result), _mm_and_si128(is, _mm_set1_epi8(fileCharacters[value])));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), result);
    }
#endif
    for (; i < count; i++) {
        out[i] = tileToChar(cells[i]);
    }
}

void flushWriter(Writer* writer) {
    size_t done = 0;
    while (!writer->failed && done < writer->used) {
        ssize_t wrote = write(writer->fd, writer->buffer + done, writer->used - done);
        if (wrote < 0) {
            if (errno != EINTR) {
                writer->failed = true;
            }
            continue;
        }
        done += static_cast<size_t>(wrote);
    }
    writer->used = 0;
}

// Makes room for `count` more bytes and returns where they go.
char* reserve(Writer* writer, size_t count) {
    if (sizeof writer->buffer - writer->used < count) {
        flushWriter(writer);
    }
    return writer->buffer + writer->used;
}

void writeLevels(Writer* writer, const Level* level) {
    for (; level != nullptr && !writer->failed; level = level->next) {
        size_t nameLength = level->name != nullptr ? std::strlen(level->name) : 0;
        size_t width = level->size.x > 0 ? static_cast<size_t>(level->size.x) : 0;
        size_t height = level->size.y > 0 ? static_cast<size_t>(level->size.y) : 0;
        size_t bytes = 3 + nameLength + height * (width + 1) + 1;
        if (bytes > writerBytes) {
            writer->failed = true;  // no level the game makes comes near this
            break;
        }
        char* out = reserve(writer, bytes);
        *out++ = ';';
        *out++ = ' ';
        std::memcpy(out, level->name, nameLength);
        out += nameLength;
        *out++ = '\n';
        cellsToChars(level->tiles, width * height, writer->cells);
        for (size_t y = 0; y < height; y++) {
            std::memcpy(out, writer->cells + y * width, width);
            out += width;
            *out++ = '\n';
        }
        *out++ = '\n';
        writer->used += bytes;
    }
    flushWriter(writer);
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

// The pid in a temporary name the game made for `base`, or 0.
long temporaryOwner(const char* entry, const char* base) {
    size_t baseLength = std::strlen(base);
    if (entry[0] != '.' || std::strncmp(entry + 1, base, baseLength) != 0 || entry[baseLength + 1] != '.') {
        return 0;
    }
    const char* p = entry + baseLength + 2;
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

// A save killed between naming its file and renaming it leaves the name
// behind; the next save of the same file removes it, but only a regular file
// of this user whose game no longer runs.
void removeStaleTemporaries(const char* target) {
    char folder[PATH_MAX];
    folderOf(target, folder);
    const char* slash = std::strrchr(target, '/');
    const char* base = slash != nullptr ? slash + 1 : target;
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

// Writes the list into a new file and puts it in the place of `target`. A
// nameless file (O_TMPFILE) gets a name only once it is complete, so a save
// killed while writing leaves nothing behind.
SaveOutcome writeAndReplace(Level* level, const char* target, const struct stat* old, bool nameless) {
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
        Writer writer;
        writer.fd = fd;
        writer.failed = false;
        writer.used = 0;
        writeLevels(&writer, level);
        ok = !writer.failed && fsync(fd) == 0;
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

namespace {

size_t cellCount(Coordinates size) {
    return size.x > 0 && size.y > 0 ? static_cast<size_t>(size.x) * static_cast<size_t>(size.y) : 0;
}

// Where the name a level was made with lies: just after its cells.
const char* firstName(const Level* level) {
    return reinterpret_cast<const char*>(level->tiles + cellCount(level->size));
}

}  // namespace

Level* newLevel(Coordinates size, const char* name, size_t nameLength) {
    size_t cells = cellCount(size);
    // A block of its own, holding one level after its header.
    constexpr size_t header = (sizeof(LevelBlock) + alignof(Level) - 1) / alignof(Level) * alignof(Level);
    char* memory = static_cast<char*>(std::malloc(header + levelBytes(cells, nameLength)));
    if (memory == nullptr) {
        return nullptr;
    }
    LevelBlock* block = reinterpret_cast<LevelBlock*>(memory);
    block->levels = 0;
    Level* level = placeLevel(memory + header, block, size, cells, nameLength);
    std::memcpy(level->name, name, nameLength);
    return level;
}

char* swapName(Level* level, char* name) {
    char* old = level->name;
    level->name = name;
    return old;
}

void releaseName(const Level* level, char* name) {
    if (name != firstName(level)) {
        std::free(name);
    }
}

LoadLevelResult loadLevel(char* filename) {
    LoadLevelResult loaded{loadOk, nullptr};
    // Non-blocking, so that a FIFO cannot hang the game before it is refused.
    int fd = open(filename, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        loaded.result = loadCannotOpen;
        return loaded;
    }
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        loaded.result = loadCannotOpen;
        return loaded;
    }
    LoadState state;
    std::memset(state.line, 0, sizeof state.line);
    state.lineLength = 0;
    state.block = nullptr;
    resetPending(&state);
    Level* first = nullptr;
    Level* current = nullptr;
    int code = loadOk;
    int stop = readLines(fd, &state, &code, &first, &current);
    close(fd);
    if (stop != loadOk) {
        loaded.result = stop;
        return loaded;
    }
    loaded.result = code;
    loaded.level = first;
    return loaded;
}

bool saveLevel(Level* level, char* filename) {
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
    SaveOutcome outcome = writeAndReplace(level, target, old, true);
    if (outcome == retryNamed) {
        outcome = writeAndReplace(level, target, old, false);
    }
    return outcome == saved;
}

void unloadLevel(Level* level) {
    while (level != nullptr) {
        Level* next = level->next;
        freeLevel(level);
        level = next;
    }
}
