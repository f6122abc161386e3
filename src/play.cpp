#include "play.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <chrono>
#include <functional>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

#include "choose.h"
#include "coordinates.h"
#include "file.h"
#include "folders.h"
#include "input.h"
#include "results.h"
#include "solver.h"
#include "think.h"
#include "tiles.h"
#include "window.h"

namespace {

// A position that a restart replaced, kept so that undo can bring it back.
// One block: the record and then its cells.
struct Snapshot {
    Snapshot* below;  // the one kept by the restart before, or null
    Coordinates player;
    int moves;
    int pushes;
    bool hinted;
    TileState* tiles;  // points just past the record
};

// The steps taken on the current level since it was entered, oldest first,
// and those that undo took back, for redo, the last taken back on top: a
// move is one byte, so the history stays as small as the moves made.
struct PlayHistory {
    uint8_t* steps;
    int count;
    int capacity;
    uint8_t* undone;
    int undoneCount;
    int undoneCapacity;
    Snapshot* snapshots;  // the latest restart's on top
};

// A step byte: the direction in the low bits, then what it did. The steps
// of one click after its first are chained to it: undo and redo take them
// together.
constexpr uint8_t directionBits = 3;
constexpr uint8_t pushedStep = 4;
constexpr uint8_t restartStep = 8;
constexpr uint8_t chainedStep = 16;
constexpr uint8_t firstStartStep = 32;  // with restartStep: back to the first start
constexpr int firstHistoryCapacity = 64;

// What belongs to the position in play rather than to the level: the board
// the searches read, read from the start put in place; the hint's plan and
// whether a hint was taken since that start; the light's verdict. Made anew
// whenever another start or level is put in place, and brought back by
// undo, so that no part of it outlives the position it was made for.
struct InPlay {
    Board board;
    bool boardReady = false;
    bool hinted = false;
    std::vector<Push> plan;  // the rest of the last hint's solution
    Position planFrom;       // the position it goes on from
    bool planFewest = true;  // the plan has the fewest pushes possible
    bool hopeless = false;   // proven: no solution from here
    Cells lost;              // the crates the instant rules found lost
    Position judged;         // the position the light was decided for
};

struct PlayState {
    Level* firstLevel;   // the loaded list, owned
    Level* level;        // working copy: own record and cells, borrowed name and links
    Level* backupLevel;  // the list node the working copy came from
    Coordinates player;  // the player lives here only, never in the working copy
    int result;
    bool ctrl;
    bool edited;    // moves not yet written into the list node
    bool finished;  // solved: drawn on green, leaving asks nothing
    bool unsaved;   // moves attempted since load or the last save to the file
    char* filename;
    SDL_Renderer* renderer;
    SDL_Texture* tiles;
    TTF_Font* font;
    TTF_Font* smallFont;  // the counters' size of the same font
    int moves;            // steps since the level was entered or restarted
    int pushes;
    PlayHistory history;
    int levelNumber;  // of the current level in the file, from 1
    int levelCount;
    bool shift;         // a Shift key is held: Backspace redoes
    bool chaining;      // the steps made now are one click's (or one redo's)
    bool chainStarted;  // and the first of them is made
    bool redoing;       // the steps made now repeat undone ones
    bool won;           // the last push left no target open
    Coordinates selected;    // the crate chosen by a click, x -1 when none
    InPlay inPlay;
    CratePaths paths;  // where the chosen crate can go
    LevelPicture picture;  // the level's walls, floor and targets, as drawn
    bool thinking;     // a search runs: the level row says so
    std::vector<SDL_Event> waiting;  // input that came while it ran
    Uint32 hintEnded;                // when the last hint that took a while ended
    const char* pointing;            // what the thing under the mouse does, or null
    const char* notice;              // what the last hint has to add, until the next input
    Patience patience;               // how long a hint may search
    bool showSteps;                  // a click's way is drawn a step at a time
    bool trying;                     // a level tried from the editor: nothing is kept or written
    bool announced;                  // the win was told on this level: the row shows the way on
    Results records;                 // the player's, as the file held them last
    std::unordered_map<uint64_t, int> optimum;  // the bundled levels' least pushes
};

const SDL_Color white{255, 255, 255, 0};

// Every dialog swallows the release of a Ctrl or Shift key held when it
// opened, so they count as released once a dialog returns, whatever opened
// it.
void releaseModifiers(PlayState* state) {
    state->ctrl = false;
    state->shift = false;
}

int showAlert(PlayState* state, const char* message) {
    int answer = alertBox(state->renderer, state->tiles, state->font, message);
    releaseModifiers(state);
    return answer;
}

int askQuestion(PlayState* state, const char* question) {
    int answer = dialogBox(state->renderer, state->tiles, state->font, question);
    releaseModifiers(state);
    return answer;
}

int askFileName(PlayState* state) {
    int answer = fileInput(state->renderer, state->tiles, state->font, state->filename);
    releaseModifiers(state);
    return answer;
}

// --- rules -----------------------------------------------------------------

bool inside(const Level* level, int x, int y) {
    return x >= 0 && y >= 0 && x < level->size.x && y < level->size.y;
}

// Outside the level reads as invalid, which blocks like a wall.
TileState getTileState(const Level* level, int x, int y) {
    return inside(level, x, y) ? level->tiles[x + y * level->size.x] : invalidS;
}

void setTileState(Level* level, int x, int y, TileState state) {
    if (inside(level, x, y)) {
        level->tiles[x + y * level->size.x] = state;
    }
}

bool checkFinished(const PlayState* state) {
    const Level* level = state->level;
    for (int i = 0; i < level->size.x * level->size.y; i++) {
        if (level->tiles[i] == targetS) {
            return false;
        }
    }
    return true;
}

// --- undo ------------------------------------------------------------------

void clearHistory(PlayHistory* history) {
    std::free(history->steps);
    std::free(history->undone);
    while (history->snapshots != nullptr) {
        Snapshot* below = history->snapshots->below;
        std::free(history->snapshots);
        history->snapshots = below;
    }
    *history = PlayHistory{};
}

// Adds a byte to a growing array. False when memory ran out.
bool addByte(uint8_t** bytes, int* count, int* capacity, uint8_t value) {
    if (*count == *capacity) {
        int grownCapacity = *capacity == 0 ? firstHistoryCapacity : *capacity * 2;
        uint8_t* grown = *capacity < INT_MAX / 2 ? static_cast<uint8_t*>(std::malloc(grownCapacity)) : nullptr;
        if (grown == nullptr) {
            return false;
        }
        if (*count > 0) {
            std::memcpy(grown, *bytes, static_cast<size_t>(*count));
        }
        std::free(*bytes);
        *bytes = grown;
        *capacity = grownCapacity;
    }
    (*bytes)[(*count)++] = value;
    return true;
}

// When memory for the step cannot be had, the older history is dropped
// rather than left with a gap that would undo the wrong move.
void recordStep(PlayHistory* history, uint8_t step) {
    if (!addByte(&history->steps, &history->count, &history->capacity, step)) {
        clearHistory(history);
    }
}

// Adds a step the player made to the history, chained to the one before
// when it continues a click. A step made anew drops what undo took back.
void remember(PlayState* state, uint8_t step) {
    if (state->chaining) {
        step |= state->chainStarted ? chainedStep : 0;
        state->chainStarted = true;
    }
    if (!state->redoing) {
        state->history.undoneCount = 0;
    }
    recordStep(&state->history, step);
}

// The steps made from here to endChain are one click's: one undo takes
// them back.
void startChain(PlayState* state) {
    state->chaining = true;
    state->chainStarted = false;
    state->won = false;
}

void endChain(PlayState* state) {
    state->chaining = false;
}

// Keeps the position a restart is about to replace. False when there is no
// memory for it, in which case the history is dropped.
bool keepForRestart(PlayState* state) {
    const Level* level = state->level;
    size_t cells = static_cast<size_t>(level->size.x * level->size.y);
    Snapshot* kept = static_cast<Snapshot*>(std::malloc(sizeof(Snapshot) + sizeof(TileState) * cells));
    if (kept == nullptr) {
        clearHistory(&state->history);
        return false;
    }
    kept->tiles = reinterpret_cast<TileState*>(kept + 1);
    std::memcpy(kept->tiles, level->tiles, sizeof(TileState) * cells);
    kept->player = state->player;
    kept->moves = state->moves;
    kept->pushes = state->pushes;
    kept->hinted = state->inPlay.hinted;
    kept->below = state->history.snapshots;
    state->history.snapshots = kept;
    return true;
}

void putInPlace(PlayState* state, bool hinted);

// Takes one step back on the working copy.
void stepBack(PlayState* state, uint8_t step) {
    PlayHistory* history = &state->history;
    Level* level = state->level;
    if (step & restartStep) {
        Snapshot* kept = history->snapshots;
        history->snapshots = kept->below;
        std::memcpy(level->tiles, kept->tiles, sizeof(TileState) * static_cast<size_t>(level->size.x * level->size.y));
        state->player = kept->player;
        state->moves = kept->moves;
        state->pushes = kept->pushes;
        putInPlace(state, kept->hinted);
        std::free(kept);
        return;
    }
    Coordinates d = directionSteps[step & directionBits];
    Coordinates p = state->player;
    if (step & pushedStep) {
        // The crate in front goes back onto the player's cell.
        TileState far = getTileState(level, p.x + d.x, p.y + d.y);
        setTileState(level, p.x + d.x, p.y + d.y, far == crateOnTargetS ? targetS : floorTileS);
        setTileState(level, p.x, p.y, getTileState(level, p.x, p.y) == targetS ? crateOnTargetS : crateS);
        state->pushes--;
    }
    state->player = Coordinates{p.x - d.x, p.y - d.y};
    state->moves--;
}

// Takes back the last step on the current level, or the whole of the last
// click. False when there is none.
bool undoStep(PlayState* state) {
    PlayHistory* history = &state->history;
    if (history->count == 0) {
        return false;
    }
    uint8_t step = 0;
    do {
        step = history->steps[--history->count];
        stepBack(state, step);
        // Without memory to keep it, redo stops short of it.
        if (!addByte(&history->undone, &history->undoneCount, &history->undoneCapacity, step)) {
            history->undoneCount = 0;
        }
    } while (history->count > 0 && (step & chainedStep) != 0);
    // As if the player had walked back there.
    state->edited = true;
    state->unsaved = true;
    state->finished = checkFinished(state);
    return true;
}

// Makes `level` current with a fresh working copy. The new copy is made
// before the old one is released, so running out of memory changes nothing.
bool fillState(PlayState* state, Level* level) {
    Level* copy = static_cast<Level*>(std::malloc(sizeof(Level)));
    if (copy == nullptr) {
        return false;
    }
    *copy = *level;
    size_t cells = static_cast<size_t>(level->size.x * level->size.y);
    copy->tiles = static_cast<TileState*>(std::malloc(sizeof(TileState) * cells));
    if (copy->tiles == nullptr) {
        std::free(copy);
        return false;
    }
    std::memcpy(copy->tiles, level->tiles, sizeof(TileState) * cells);
    if (state->level != nullptr) {
        std::free(state->level->tiles);
        std::free(state->level);
    }
    state->level = copy;
    state->backupLevel = level;
    for (int x = 0; x < level->size.x; x++) {
        for (int y = 0; y < level->size.y; y++) {
            TileState cell = getTileState(level, x, y);
            if (cell == playerS || cell == playerOnTargetS) {
                state->player = Coordinates{x, y};
                setTileState(copy, x, y, cell == playerS ? floorTileS : targetS);
            }
        }
    }
    state->edited = false;
    state->finished = checkFinished(state);
    state->moves = 0;
    state->pushes = 0;
    state->announced = false;
    putInPlace(state, false);
    return true;
}

void writeState(PlayState* state) {
    Level* node = state->backupLevel;
    if (node == nullptr) {
        return;
    }
    std::memcpy(node->tiles, state->level->tiles, sizeof(TileState) * static_cast<size_t>(node->size.x * node->size.y));
    Coordinates p = state->player;
    setTileState(node, p.x, p.y, getTileState(node, p.x, p.y) == targetS ? playerOnTargetS : playerS);
    state->edited = false;
}

void freeState(PlayState* state) {
    releasePicture(&state->picture);
    clearHistory(&state->history);
    if (state->level != nullptr) {
        std::free(state->level->tiles);
        std::free(state->level);
        state->level = nullptr;
    }
}

// Every level needs exactly one player and at least as many crates as targets.
bool checkLevels(const Level* level) {
    for (; level != nullptr; level = level->next) {
        int players = 0;
        int crates = 0;
        int targets = 0;
        for (int i = 0; i < level->size.x * level->size.y; i++) {
            switch (level->tiles[i]) {
                case playerS:
                    players++;
                    break;
                case playerOnTargetS:
                    players++;
                    targets++;
                    break;
                case crateS:
                    crates++;
                    break;
                case crateOnTargetS:
                    crates++;
                    targets++;
                    break;
                case targetS:
                    targets++;
                    break;
                default:
                    break;
            }
        }
        if (players != 1 || crates < targets) {
            return false;
        }
    }
    return true;
}

// The moves since the level was entered or last restarted, as the solutions
// of levels are written (l u r d walks, L U R D pushes); empty when the
// history lost some of them to a lack of memory.
std::string movesSoFar(const PlayState* state) {
    const PlayHistory& history = state->history;
    int first = history.count;
    while (first > 0 && (history.steps[first - 1] & restartStep) == 0) {
        first--;
    }
    std::string moves;
    for (int i = first; i < history.count; i++) {
        uint8_t step = history.steps[i];
        moves += ((step & pushedStep) != 0 ? "LURD" : "lurd")[step & directionBits];
    }
    return static_cast<int>(moves.size()) == state->moves ? moves : std::string();
}

// Keeps the win in the player's records when it beats them (a level tried
// from the editor keeps nothing); without memory or a data folder the game
// goes on all the same. True when the win counts as a best.
bool keepWin(PlayState* state) {
    if (state->trying) {
        return false;
    }
    try {
        Win win{state->moves, state->pushes, movesSoFar(state)};
        if (win.solution.empty()) {
            return false;
        }
        uint64_t identity = levelIdentity(state->level);
        bool best = countsAsBest(state->records[identity], win, state->inPlay.hinted);
        recordWin(resultsPath(), identity, win, state->inPlay.hinted);
        state->records = readResults(resultsPath());
        return best;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// The win's message and, on a line of its own, its result: pushes and
// moves, the level's least pushes where known, and a star for a best in
// that many.
std::string winMessage(const PlayState* state, bool best) {
    char result[128];
    int used = std::snprintf(result, sizeof result, "%d tolás, %d lépés", state->pushes, state->moves);
    auto least = state->optimum.find(levelIdentity(state->level));
    if (least != state->optimum.end() && used > 0) {
        bool star = best && state->pushes == least->second;
        std::snprintf(result + used, sizeof result - static_cast<size_t>(used), ", a legkevesebb %d%s", least->second,
                      star ? " \xE2\x98\x85" : "");
    }
    return std::string("Sikeresen tejesítetted a pályát!\n") + result;
}

void checkWinState(PlayState* state) {
    if (!checkFinished(state)) {
        return;
    }
    state->finished = true;
    state->won = true;
    state->announced = true;
    writeState(state);
    bool best = keepWin(state);
    std::string message;
    try {
        message = winMessage(state, best);
    } catch (const std::bad_alloc&) {
        message = "Sikeresen tejesítetted a pályát!";
    }
    int answer = showAlert(state, message.c_str());
    if (answer == dialogClosed) {
        state->result = 0;
    } else if (state->trying) {
        state->result = 1;  // back to the editor
    }
}

bool walkable(TileState cell) {
    return cell == floorTileS || cell == targetS;
}

bool move(PlayState* state, int dir) {
    Coordinates step = directionSteps[dir];
    Level* level = state->level;
    Coordinates n{state->player.x + step.x, state->player.y + step.y};
    Coordinates f{n.x + step.x, n.y + step.y};
    TileState near = getTileState(level, n.x, n.y);
    if (near == crateS || near == crateOnTargetS) {
        TileState far = getTileState(level, f.x, f.y);
        if (!walkable(far)) {
            return false;
        }
        setTileState(level, n.x, n.y, near == crateS ? floorTileS : targetS);
        setTileState(level, f.x, f.y, far == floorTileS ? crateS : crateOnTargetS);
        state->player = n;
        state->moves++;
        state->pushes++;
        remember(state, static_cast<uint8_t>(dir) | pushedStep);
        checkWinState(state);
        return true;
    }
    if (!walkable(near)) {
        return false;
    }
    state->player = n;
    state->moves++;
    remember(state, static_cast<uint8_t>(dir));
    return true;
}

bool moveLeft(PlayState* state) {
    return move(state, 0);
}
bool moveUp(PlayState* state) {
    return move(state, 1);
}
bool moveRight(PlayState* state) {
    return move(state, 2);
}
bool moveDown(PlayState* state) {
    return move(state, 3);
}

// Even a refused move counts as a change: leaving then asks first.
bool processMovement(int dir, PlayState* state) {
    state->edited = true;
    state->unsaved = true;
    switch (dir) {
        case 0:
            return moveLeft(state);
        case 1:
            return moveUp(state);
        case 2:
            return moveRight(state);
        case 3:
            return moveDown(state);
        default:
            return false;
    }
}

// --- walking and pushing by clicks ----------------------------------------

void restartLevel(PlayState* state);

// Makes what belongs to the position in play anew for the start just put
// in place: the board is read from that start, so that the floor the player
// can reach and the crates to spare are its own. Without memory for it
// clicks and help do nothing and the game goes on.
void putInPlace(PlayState* state, bool hinted) {
    state->selected = Coordinates{-1, -1};
    try {
        state->inPlay = InPlay();
        state->inPlay.hinted = hinted;
        Position unused;
        state->inPlay.boardReady = readBoard(state->level, state->player, &state->inPlay.board, &unused);
    } catch (const std::bad_alloc&) {
        state->inPlay.boardReady = false;
        state->inPlay.hinted = hinted;
    }
}

// The crates and the player of the working copy, as the searches read them.
Position positionNow(const PlayState* state) {
    Position position;
    const Level* level = state->level;
    const Board& board = state->inPlay.board;
    for (int y = 0; y < level->size.y; y++) {
        for (int x = 0; x < level->size.x; x++) {
            TileState cell = getTileState(level, x, y);
            int at = boardCell(board, Coordinates{x, y});
            if ((cell == crateS || cell == crateOnTargetS) && !board.wall[static_cast<size_t>(at)]) {
                position.crates.set(at);
            }
        }
    }
    position.player = boardCell(board, state->player);
    return position;
}

void render(PlayState* state);

// A click's way is shown this long a step: about thirty steps a second.
constexpr Uint32 stepMilliseconds = 33;

// Shows the step just made and waits a step's time. False when input came
// meanwhile: a key, a click or the window closed ends the showing, the rest
// of the way is made at once, and then the input counts as itself, as
// everything else that came does, but for Escape, which only ends it.
bool showStep(PlayState* state) {
    render(state);
    SDL_Event event;
    while (waitEventFor(state->renderer, &event, stepMilliseconds) == 1) {
        bool escape = event.type == SDL_KEYDOWN && event.key.keysym.scancode == SDL_SCANCODE_ESCAPE;
        if (!escape) {
            state->waiting.push_back(event);
        }
        if (event.type == SDL_KEYDOWN || event.type == SDL_MOUSEBUTTONDOWN || event.type == SDL_QUIT) {
            return false;
        }
    }
    return true;
}

// Makes `moves` (l u r d walks, L U R D pushes) through the rules as one
// click, drawn a step at a time until input cuts it short: one undo takes
// them all back, and a push that wins ends them.
void playMoves(PlayState* state, const std::string& moves) {
    startChain(state);
    bool showing = state->showSteps && moves.size() > 1;
    for (size_t i = 0; i < moves.size() && !state->won && state->result == -1; i++) {
        processMovement(static_cast<int>(std::strchr("lurdLURD", moves[i]) - "lurdLURD") % directionCount, state);
        if (showing && i + 1 < moves.size()) {
            showing = showStep(state);
        }
    }
    endChain(state);
}

// Walks to `target` by a shortest way. False when the player cannot get
// there or stands there already.
bool walkTo(PlayState* state, Coordinates target) {
    std::string moves;
    try {
        Position now = positionNow(state);
        if (!walkMoves(state->inPlay.board, now.crates, now.player, boardCell(state->inPlay.board, target), &moves)) {
            return false;
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    playMoves(state, moves);
    return !moves.empty();
}

// Pushes the chosen crate to `target` with the fewest pushes and then the
// fewest moves.
void pushTo(PlayState* state, Coordinates target) {
    try {
        const Board& board = state->inPlay.board;
        playMoves(state, crateMoves(board, positionNow(state), state->paths, boardCell(board, target)));
    } catch (const std::bad_alloc&) {
    }
}

// Chooses the crate at `crate` and finds where it can be pushed.
void selectCrate(PlayState* state, Coordinates crate) {
    try {
        findCratePaths(state->inPlay.board, positionNow(state), boardCell(state->inPlay.board, crate), &state->paths);
        state->selected = crate;
    } catch (const std::bad_alloc&) {
    }
}

// Whether the chosen crate can be pushed to `cell`; its own cell and the
// figure's are never marked, so that a click on the crate puts it down.
bool marked(const PlayState* state, Coordinates cell) {
    bool figure = cell.x == state->player.x && cell.y == state->player.y;
    return state->selected.x >= 0 && !figure && crateCanReach(state->paths, boardCell(state->inPlay.board, cell));
}

// --- help: the hint and the light -----------------------------------------

// The light's search never delays the next key: it looks at the clock at
// every push it tries and stops within a millisecond. On levels of more
// crates a single push costs more than that, and the instant rules judge
// alone.
constexpr auto lightTime = std::chrono::microseconds(1000);
constexpr size_t lightMemory = size_t{16} << 20;
constexpr int lightMostCrates = 100;
// An Escape this soon after a hint that took a while only meant to stop it.
constexpr Uint32 escapeAfterHint = 400;

// The position with the player at the lowest cell he can walk to: two
// positions the searches answer alike compare equal.
Position normalized(const Board& board, Position position) {
    reach(board, position.crates, position.player, &position.player);
    return position;
}

bool samePosition(const Position& a, const Position& b) {
    return a.player == b.player && a.crates == b.crates;
}

// The light's verdict on `now`, proven lost: the crates the instant rules
// tell lost are crossed out.
void judgedLost(InPlay* inPlay, const Position& now) {
    inPlay->judged = now;
    inPlay->hopeless = true;
    hopelessNow(inPlay->board, now.crates, &inPlay->lost);
}

// Searches a solution from `now` with the window alive; its pushes become
// the plan. False when there is none to follow (an alert has said why).
bool planFrom(PlayState* state, const Position& now) {
    InPlay& inPlay = state->inPlay;
    inPlay.plan.clear();
    Uint32 began = SDL_GetTicks();
    Found found = findSolution(state->renderer, inPlay.board, now, &state->thinking, [&] { render(state); },
                               &state->waiting, &state->result, state->patience);
    if (SDL_GetTicks() - began > 100) {
        state->hintEnded = SDL_GetTicks();
    }
    if (found.outcome == noSolution) {
        judgedLost(&inPlay, now);
    }
    const char* message = found.outcome == noSolution  ? "Innen nincs megoldás"
                          : found.outcome == undecided ? "Nem találtam megoldást"
                                                       : nullptr;
    if (message != nullptr && showAlert(state, message) == dialogClosed) {
        state->result = 0;
    }
    inPlay.plan = found.solution;
    inPlay.planFewest = found.fewest;
    return found.outcome == solved && !inPlay.plan.empty();
}

// Makes the next push of a solution from the position on the screen, one
// with the fewest pushes wherever the search can find it: the walk to its
// side and the push, as one click. A solution found for the position before
// is followed without searching again.
bool takeHint(PlayState* state) {
    InPlay& inPlay = state->inPlay;
    if (!inPlay.boardReady || checkFinished(state)) {
        return false;
    }
    std::string moves;
    try {
        Position now = normalized(inPlay.board, positionNow(state));
        bool following = !inPlay.plan.empty() && samePosition(now, inPlay.planFrom);
        if (!following && !planFrom(state, now)) {
            return true;
        }
        Push next = inPlay.plan.front();
        inPlay.plan.erase(inPlay.plan.begin());
        moves = solutionMoves(inPlay.board, positionNow(state), std::vector<Push>{next});
    } catch (const std::bad_alloc&) {
        inPlay.plan.clear();
        return true;
    }
    inPlay.hinted = true;
    state->notice = inPlay.planFewest ? nullptr : "Tipp: nem biztos, hogy ez a legrövidebb út";
    playMoves(state, moves);
    if (moves.size() > 1) {
        state->hintEnded = SDL_GetTicks();
    }
    try {
        inPlay.planFrom = normalized(inPlay.board, positionNow(state));
    } catch (const std::bad_alloc&) {
        inPlay.plan.clear();
    }
    return true;
}

// Decides whether the level can still be solved from the position on the
// screen: at once by the instant rules, which also tell the crates lost,
// else by a search small enough never to delay the next key. A walk
// changes nothing of it, so only a new place of crates is judged.
void judgePosition(PlayState* state) {
    InPlay& inPlay = state->inPlay;
    if (!inPlay.boardReady) {
        inPlay.hopeless = false;
        return;
    }
    try {
        Position now = normalized(inPlay.board, positionNow(state));
        if (samePosition(now, inPlay.judged)) {
            return;
        }
        inPlay.judged = now;
        inPlay.hopeless = hopelessNow(inPlay.board, now.crates, &inPlay.lost);
        if (inPlay.hopeless) {
            return;
        }
        inPlay.lost = Cells();
        if (now.crates.count() > lightMostCrates) {
            return;
        }
        Search search;
        SearchLimits limits;
        limits.memory = lightMemory;
        limits.optimal = false;
        startSearch(&search, inPlay.board, now, limits);
        continueSearch(&search, LONG_MAX, SearchClock::now() + lightTime);
        inPlay.hopeless = search.outcome == noSolution;
    } catch (const std::bad_alloc&) {
        inPlay.hopeless = false;
        inPlay.lost = Cells();
    }
}

// Forgets the chosen crate; true when there was one.
bool clearSelection(PlayState* state) {
    bool had = state->selected.x >= 0;
    state->selected = Coordinates{-1, -1};
    return had;
}

bool goToFirstStart(PlayState* state, bool asStep);

// Does again what the last undo took back: one key move, or one click.
bool redoStep(PlayState* state) {
    PlayHistory* history = &state->history;
    if (history->undoneCount == 0) {
        return false;
    }
    startChain(state);
    state->redoing = true;
    bool first = true;
    while (history->undoneCount > 0 && !state->won && state->result == -1) {
        uint8_t step = history->undone[history->undoneCount - 1];
        if (!first && (step & chainedStep) == 0) {
            break;
        }
        history->undoneCount--;
        first = false;
        if (step & firstStartStep) {
            goToFirstStart(state, true);
        } else if (step & restartStep) {
            restartLevel(state);
        } else if (!processMovement(step & directionBits, state)) {
            break;
        }
    }
    state->redoing = false;
    endChain(state);
    return true;
}

// --- screen ----------------------------------------------------------------

Tile tileStateToTile(TileState state) {
    return cellPicture(state);
}

enum PlayAction {
    moveUpAction,
    moveDownAction,
    moveLeftAction,
    moveRightAction,
    leave,
    restart,
    store,
    previous,
    next,
    takeBack,
    pickLevel,
    doAgain,
    giveHint,
};

// When a button's picture is drawn; its cell acts always.
enum Shown { always, withPrevious, withNext, unlessTrying };

struct PlayButton {
    Coordinates cell;
    Tile picture;
    PlayAction action;
    Shown shown;
    const char* says;  // while the mouse rests on it: what it does, and its key
};

// In the order clicks are tested. None overlap, so drawing may walk it too.
const PlayButton playButtons[] = {
    {{0, 6}, up, moveUpAction, always, "Fel (fel nyíl, W)"},
    {{0, 9}, down, moveDownAction, always, "Le (le nyíl, S)"},
    {{0, 7}, left, moveLeftAction, always, "Balra (bal nyíl, A)"},
    {{0, 8}, right, moveRightAction, always, "Jobbra (jobb nyíl, D)"},
    {{0, 0}, home, leave, always, "Vissza a menübe (Escape)"},
    {{0, 1}, retry, restart, always, "Újrakezdés (Ctrl+R; az első kezdés: Ctrl+Shift+R)"},
    {{0, 2}, save, store, unlessTrying, "Mentés (Ctrl+S)"},
    {{0, 11}, left, previous, withPrevious, "Előző pálya (Page Down)"},
    {{19, 11}, right, next, withNext, "Következő pálya (Page Up)"},
    {{0, 3}, undo, takeBack, always, "Visszavonás (Backspace)"},
    {{0, 4}, redo, doAgain, always, "Újra (Shift+Backspace)"},
    {{0, 10}, levelList, pickLevel, always, "Pályaválasztó (Tab)"},
    {{0, 5}, hint, giveHint, always, "Tipp: a következő tolás (H)"},
};
// What the level row says while the mouse rests on a crate.
const char* const crateSays = "Kattints a ládára: megmutatom, hová tolható";
// What it says after a win, while a next level waits.
const char* const goOnSays = "Tovább: Page Up, vagy kattints ide";

// Whether a button's picture is drawn now; a place without one does nothing
// but act.
bool drawn(const PlayState* state, const PlayButton& button) {
    switch (button.shown) {
        case withPrevious:
            return state->level->prev != nullptr;
        case withNext:
            return state->level->next != nullptr;
        case unlessTrying:
            return !state->trying;
        default:
            return true;
    }
}

// After a win's message, the row shows the way on to the next level, and a
// click on it goes there.
bool showsWayOn(const PlayState* state) {
    return state->announced && state->finished && state->level->next != nullptr;
}

// The level row runs between the two level arrows.
constexpr int rowLeft = tileSize + 8;
constexpr int rowRight = (gridColumns - 1) * tileSize - 8;
// Counters keep room for four digits each, so that the name does not move
// while the counts grow.
const char* const countersRoom = "Lépés: 8888  Tolás: 8888";

void drawButtons(PlayState* state, Shown shown) {
    for (const PlayButton& button : playButtons) {
        if (button.shown == shown && drawn(state, button)) {
            renderTileC(state->renderer, state->tiles, button.picture, button.cell);
        }
    }
}

// The level row's mark: a tick for a level the player has solved, a star
// when his best is the proven least pushes.
bool solvedMark(const PlayState* state, Tile* mark) {
    uint64_t identity = levelIdentity(state->level);
    auto known = state->records.find(identity);
    if (known == state->records.end() || !known->second.solved()) {
        return false;
    }
    auto least = state->optimum.find(identity);
    bool fewest = known->second.byPushesKnown && least != state->optimum.end() &&
                  known->second.byPushes.pushes == least->second;
    *mark = fewest ? star : tick;
    return true;
}

void render(PlayState* state) {
    SDL_Renderer* renderer = state->renderer;
    SDL_Texture* tiles = state->tiles;
    const Level* level = state->level;
    renderTiles(renderer, tiles, state->finished ? greenFloor : greyFloor, 0, 0, gridColumns - 1, gridRows - 1);
    // Walls, floor and targets stay while a level is played: drawn once.
    if (!state->picture.drawn) {
        paintPicture(renderer, &state->picture, level->size, [&](const std::function<SDL_Rect(Coordinates)>& at) {
            for (int j = 0; j < level->size.y; j++) {
                for (int i = 0; i < level->size.x; i++) {
                    TileState cell = getTileState(level, i, j);
                    Tile still = cell == wallS ? wall : cell == targetS || cell == crateOnTargetS ? target : brownFloor;
                    renderTileInto(renderer, tiles, brownFloor, still, at(Coordinates{i, j}));
                }
            }
        });
    }
    showPicture(renderer, state->picture);
    LevelView view = levelView(level->size);
    for (int j = 0; j < level->size.y; j++) {
        for (int i = 0; i < level->size.x; i++) {
            TileState cell = getTileState(level, i, j);
            if (cell == crateS || cell == crateOnTargetS) {
                renderTileInto(renderer, tiles, brownFloor, tileStateToTile(cell), viewCell(view, Coordinates{i, j}));
            }
        }
    }
    renderTileAt(renderer, tiles, player, viewCell(view, state->player));
    for (int j = 0; j < level->size.y; j++) {
        for (int i = 0; i < level->size.x; i++) {
            Coordinates cell{i, j};
            bool lostCrate = state->inPlay.hopeless && state->inPlay.boardReady &&
                             state->inPlay.lost.has(boardCell(state->inPlay.board, cell));
            if (lostCrate || marked(state, cell)) {
                renderTileAt(renderer, tiles, lostCrate ? lost : marker, viewCell(view, cell));
            }
        }
    }
    if (state->selected.x >= 0) {
        renderTileAt(renderer, tiles, selection, viewCell(view, state->selected));
    }
    drawButtons(state, always);
    drawButtons(state, withPrevious);
    drawButtons(state, unlessTrying);
    char number[32];
    char counters[64];
    std::snprintf(number, sizeof number, "%d/%d", state->levelNumber, state->levelCount);
    std::snprintf(counters, sizeof counters, "Lépés: %d  Tolás: %d", state->moves, state->pushes);
    // What the game says in place of the name, in the smaller size, so that
    // it fits beside the number and the counters.
    const char* says = state->thinking       ? "Gondolkodom..."
                       : state->pointing != nullptr ? state->pointing
                       : state->notice != nullptr ? state->notice
                       : showsWayOn(state) ? goOnSays
                       : state->inPlay.hopeless ? "Innen nincs megoldás"
                                              : nullptr;
    Tile mark = tick;
    bool marked = solvedMark(state, &mark);
    renderLevelRow(renderer, says != nullptr ? state->smallFont : state->font, state->smallFont, rowLeft, rowRight,
                   number, says != nullptr ? says : level->name, counters, countersRoom, tiles,
                   marked ? &mark : nullptr);
    drawButtons(state, withNext);
    showFrame(renderer);
}

// --- the first start -------------------------------------------------------

// The first time a level is opened, its start is kept with the player's
// records; a level opened solved has none to keep.
void keepFirstStart(PlayState* state) {
    if (state->trying) {
        return;
    }
    try {
        uint64_t identity = levelIdentity(state->level);
        LevelResults& known = state->records[identity];
        if (known.startKnown || state->finished) {
            return;
        }
        known.startKnown = true;
        known.start = startRows(state->backupLevel);
        recordStart(resultsPath(), identity, known.start);
    } catch (const std::bad_alloc&) {
    }
}

// Puts the working copy back to the level's first start, as a restart does
// (one step of undo when `asStep`, else a fresh history). False when the
// records know no first start of this level's size.
bool goToFirstStart(PlayState* state, bool asStep) {
    auto known = state->records.find(levelIdentity(state->level));
    if (known == state->records.end() || !known->second.startKnown) {
        return false;
    }
    const std::string& rows = known->second.start;
    Level* level = state->level;
    if (rows.size() != static_cast<size_t>((level->size.x + 1) * level->size.y - 1)) {
        return false;
    }
    bool kept = asStep && keepForRestart(state);
    if (!asStep) {
        clearHistory(&state->history);
    }
    for (int y = 0; y < level->size.y; y++) {
        for (int x = 0; x < level->size.x; x++) {
            char c = rows[static_cast<size_t>(y * (level->size.x + 1) + x)];
            if (c == '@' || c == '+') {
                state->player = Coordinates{x, y};
            }
            setTileState(level, x, y, c == '#'   ? wallS
                                      : c == '$' ? crateS
                                      : c == '*' ? crateOnTargetS
                                      : c == '.' || c == '+' ? targetS
                                                             : floorTileS);
        }
    }
    state->edited = false;
    state->finished = checkFinished(state);
    state->moves = 0;
    state->pushes = 0;
    putInPlace(state, false);
    if (kept) {
        remember(state, restartStep | firstStartStep);
    }
    return true;
}

// Keeps where the player is in the file, so that it opens there next time.
void keepPlace(const PlayState* state, const Level* level) {
    if (state->trying) {
        return;
    }
    int number = 1;
    for (const Level* before = state->firstLevel; before != nullptr && before != level; before = before->next) {
        number++;
    }
    try {
        keepStoppedAt(placesPath(), state->filename, number);
    } catch (const std::bad_alloc&) {
    }
}

// Restart and level switching keep the current level when memory runs out.
// Returns whether the alert had to be shown.
bool makeCurrent(PlayState* state, Level* level) {
    bool entered = level != state->backupLevel;
    if (fillState(state, level)) {
        if (entered) {
            state->picture.drawn = false;
            keepPlace(state, level);
            keepFirstStart(state);
        }
        return false;
    }
    if (showAlert(state, "Memóriafoglalási hiba") == dialogClosed) {
        state->result = 0;
    }
    return true;
}

// Asks whether to keep the moves of the level being left. False when the
// window was closed.
bool promptEdit(PlayState* state) {
    int answer = askQuestion(state, "Szeretnéd eltárolni a módosításaidat?");
    if (answer == dialogClosed) {
        state->result = 0;
        return false;
    }
    if (answer == dialogOk) {
        writeState(state);
    }
    return true;
}

// A restart is itself a step: undo brings back the position it replaced.
void restartLevel(PlayState* state) {
    bool kept = keepForRestart(state);
    if (makeCurrent(state, state->backupLevel)) {
        if (kept) {
            Snapshot* unused = state->history.snapshots;
            state->history.snapshots = unused->below;
            std::free(unused);
        }
        return;
    }
    if (kept) {
        remember(state, restartStep);
    }
}

// Leaves the current level for `level`, the number-th of the file, asking
// first whether to keep the moves of an unsolved level; a null `level`
// stays after the question.
void switchTo(PlayState* state, Level* level, int number) {
    if (state->edited && !state->finished && !promptEdit(state)) {
        return;
    }
    if (level != nullptr && !makeCurrent(state, level)) {
        // The steps taken belong to the level left.
        clearHistory(&state->history);
        state->levelNumber = number;
    }
}

void switchLevel(PlayState* state, bool forward) {
    switchTo(state, forward ? state->level->next : state->level->prev, state->levelNumber + (forward ? 1 : -1));
}

// The level chooser; a level chosen there is played as after Page Up.
void pickFromList(PlayState* state) {
    int index = state->levelNumber - 1;
    int answer = chooseLevel(state->renderer, state->tiles, state->font, state->smallFont, state->firstLevel, &index);
    releaseModifiers(state);
    if (answer == chooseClosed) {
        state->result = 0;
        return;
    }
    if (answer != choosePlay) {
        return;
    }
    if (index != state->levelNumber - 1) {
        Level* chosen = state->firstLevel;
        for (int i = 0; i < index && chosen != nullptr; i++) {
            chosen = chosen->next;
        }
        switchTo(state, chosen, index + 1);
    }
    // A solved level is chosen to be played again: from its first start.
    if (state->levelNumber == index + 1 && state->finished) {
        goToFirstStart(state, false);
    }
}

void nextLevel(PlayState* state) {
    switchLevel(state, true);
}

void prevLevel(PlayState* state) {
    switchLevel(state, false);
}

void saveState(PlayState* state) {
    if (state->trying) {
        return;  // a level tried from the editor is the editor's to save
    }
    writeState(state);
    state->edited = false;
    int answer = askFileName(state);
    if (answer == dialogClosed) {
        state->result = 0;
        return;
    }
    if (answer != dialogOk) {
        return;
    }
    const char* message = "Sikertelen mentés";
    if (saveLevel(state->firstLevel, state->filename)) {
        state->unsaved = false;
        message = "Sikeres mentés!";
    }
    if (showAlert(state, message) == dialogClosed) {
        state->result = 0;
    }
}

void handleExitToMenu(PlayState* state) {
    if (!state->unsaved || state->trying) {
        state->result = 1;
        return;
    }
    int answer = askQuestion(state, "Biztosan szeretnél mentés nélkül kilépni?");
    if (answer == dialogOk) {
        state->result = 1;
    } else if (answer == dialogClosed) {
        state->result = 0;
    }
}

// Runs a button's action; returns whether to redraw.
bool act(PlayState* state, PlayAction action) {
    switch (action) {
        case moveUpAction:
            return processMovement(1, state);
        case moveDownAction:
            return processMovement(3, state);
        case moveLeftAction:
            return processMovement(0, state);
        case moveRightAction:
            return processMovement(2, state);
        case leave:
            handleExitToMenu(state);
            return true;
        case restart:
            restartLevel(state);
            return true;
        case store:
            saveState(state);
            return true;
        case previous:
            prevLevel(state);
            return true;
        case next:
            nextLevel(state);
            return true;
        case takeBack:
            return undoStep(state);
        case pickLevel:
            pickFromList(state);
            return true;
        case doAgain:
            return redoStep(state);
        case giveHint:
            return takeHint(state);
    }
    return false;
}

bool pressKey(PlayState* state, SDL_Scancode key) {
    switch (key) {
        case SDL_SCANCODE_BACKSPACE:
            return act(state, state->shift ? doAgain : takeBack);  // with or without Ctrl
        case SDL_SCANCODE_LCTRL:
        case SDL_SCANCODE_RCTRL:
            state->ctrl = true;
            return false;
        case SDL_SCANCODE_LSHIFT:
        case SDL_SCANCODE_RSHIFT:
            state->shift = true;
            return false;
        case SDL_SCANCODE_DOWN:
        case SDL_SCANCODE_S:
            if (state->ctrl) {
                saveState(state);
                return true;
            }
            break;
        case SDL_SCANCODE_R:
            if (!state->ctrl) {
                return false;
            }
            if (state->shift) {
                return goToFirstStart(state, true);
            }
            restartLevel(state);
            return true;
        default:
            break;
    }
    if (state->ctrl) {
        return false;
    }
    if (keyDirection(key) >= 0) {
        return processMovement(keyDirection(key), state);
    }
    switch (key) {
        case SDL_SCANCODE_ESCAPE:
            return act(state, leave);
        case SDL_SCANCODE_PAGEUP:
            return act(state, next);
        case SDL_SCANCODE_PAGEDOWN:
            return act(state, previous);
        case SDL_SCANCODE_TAB:
            return act(state, pickLevel);
        case SDL_SCANCODE_H:
            return act(state, giveHint);
        default:
            return false;
    }
}

// Any key puts down a chosen crate, and then the screen shows it.
bool handleKeydown(PlayState* state, SDL_Scancode key) {
    bool putDown = clearSelection(state);
    return pressKey(state, key) || putDown;
}

bool handleKeyup(PlayState* state, SDL_Scancode key) {
    if (key == SDL_SCANCODE_LCTRL || key == SDL_SCANCODE_RCTRL) {
        state->ctrl = false;
    }
    if (key == SDL_SCANCODE_LSHIFT || key == SDL_SCANCODE_RSHIFT) {
        state->shift = false;
    }
    return false;
}

// A click on the level: with a crate chosen, a marked cell has it pushed
// there and any other cell puts it down (a floor or target cell the player
// can reach is walked to as well); else a crate is chosen, and a floor or
// target cell the player can reach is walked to.
bool clickLevel(PlayState* state, Coordinates cell, Coordinates chosen, bool wasMarked) {
    if (!state->inPlay.boardReady) {
        return false;
    }
    TileState content = getTileState(state->level, cell.x, cell.y);
    if (chosen.x >= 0) {
        if (wasMarked) {
            pushTo(state, cell);
        } else if (walkable(content)) {
            walkTo(state, cell);  // the crate is put down, and the figure goes there
        }
        return true;
    }
    if (content == crateS || content == crateOnTargetS) {
        selectCrate(state, cell);
        return true;
    }
    return walkable(content) && walkTo(state, cell);
}

bool handleClick(PlayState* state, int x, int y) {
    const Level* level = state->level;
    Coordinates cell{-1, -1};
    bool onLevel = viewCellAt(levelView(level->size), level->size, x, y, &cell);
    Coordinates chosen = state->selected;
    bool wasMarked = onLevel && marked(state, cell);
    bool putDown = clearSelection(state);
    for (const PlayButton& button : playButtons) {
        if (clickTile(button.cell.x, button.cell.y, x, y)) {
            return act(state, button.action) || putDown;
        }
    }
    if (showsWayOn(state) && clickTiles(1, gridRows - 1, gridColumns - 2, gridRows - 1, x, y)) {
        return act(state, next);
    }
    return (onLevel && clickLevel(state, cell, chosen, wasMarked)) || putDown;
}

// What the button or crate under the mouse does, for the level row; a
// place whose button is not drawn says nothing.
bool handleMotion(PlayState* state, int x, int y) {
    const char* says = nullptr;
    for (const PlayButton& button : playButtons) {
        says = drawn(state, button) && clickTile(button.cell.x, button.cell.y, x, y) ? button.says : says;
    }
    const Level* level = state->level;
    Coordinates cell{-1, -1};
    viewCellAt(levelView(level->size), level->size, x, y, &cell);
    TileState content = getTileState(level, cell.x, cell.y);
    if (says == nullptr && state->inPlay.boardReady && (content == crateS || content == crateOnTargetS)) {
        says = crateSays;
    }
    bool changed = says != state->pointing;
    state->pointing = says;
    return changed;
}

bool handleEvent(SDL_Event event, PlayState* state) {
    if (event.type == SDL_KEYDOWN || event.type == SDL_MOUSEBUTTONDOWN) {
        state->notice = nullptr;
    }
    switch (event.type) {
        case SDL_KEYDOWN:
            // Meant to stop a hint that has just ended by itself.
            if (event.key.keysym.scancode == SDL_SCANCODE_ESCAPE && state->hintEnded != 0 &&
                !SDL_TICKS_PASSED(event.key.timestamp, state->hintEnded + escapeAfterHint)) {
                return false;
            }
            return handleKeydown(state, event.key.keysym.scancode);
        case SDL_KEYUP:
            return handleKeyup(state, event.key.keysym.scancode);
        case SDL_MOUSEBUTTONDOWN:
            return handleClick(state, event.button.x, event.button.y);
        case SDL_MOUSEMOTION:
            return handleMotion(state, event.motion.x, event.motion.y);
        case SDL_QUIT:
            state->result = 0;
            return false;
        default:
            return false;
    }
}

// Releases the list, then tells why the file cannot be played.
int refuse(SDL_Renderer* renderer, SDL_Texture* tiles, TTF_Font* font, Level* list, const char* message) {
    unloadLevel(list);
    return alertBox(renderer, tiles, font, message);
}

}  // namespace

namespace {

// The play screen's state on `levels` (not owned yet), no level made current:
// a level tried from the editor when there is no file name.
PlayState openState(SDL_Renderer* renderer, SDL_Texture* tiles, TTF_Font* font, TTF_Font* smallFont, char* filename,
                    Level* levels) {
    PlayState state{};
    state.firstLevel = levels;
    state.filename = filename;
    state.trying = filename == nullptr;
    state.result = -1;
    state.renderer = renderer;
    state.tiles = tiles;
    state.font = font;
    state.smallFont = smallFont;
    state.showSteps = true;
    state.selected = Coordinates{-1, -1};
    state.levelNumber = 1;
    for (const Level* counted = levels; counted != nullptr; counted = counted->next) {
        state.levelCount++;
    }
    return state;
}

// The play screen on the list `levels`, which it owns from now on, at its
// level number `first` (from 1; the first when there is none such). With
// no file name it plays a level tried from the editor: it keeps no record,
// saves nothing, and a win or Escape ends it.
int runPlay(SDL_Renderer* renderer, SDL_Texture* tiles, TTF_Font* font, TTF_Font* smallFont, char* filename,
            Level* levels, int first) {
    PlayState state = openState(renderer, tiles, font, smallFont, filename, levels);
    Level* current = levels;
    for (; current->next != nullptr && state.levelNumber < first; current = current->next) {
        state.levelNumber++;
    }
    if (!fillState(&state, current)) {
        return refuse(renderer, tiles, font, levels, "Memóriafoglalási hiba");
    }
    if (!state.trying) {
        state.records = readResults(resultsPath());
    }
    bool installed = false;
    state.optimum = readOptimum(findAsset(bundledSolutions, &installed));
    keepFirstStart(&state);

    judgePosition(&state);
    render(&state);
    SDL_Event event;
    while (nextEvent(renderer, &state.waiting, &event) != 0) {
        bool redraw = handleEvent(event, &state);
        if (state.result != -1) {
            unloadLevel(state.firstLevel);
            freeState(&state);
            return state.result;
        }
        if (redraw) {
            judgePosition(&state);
            render(&state);
        }
    }
    unloadLevel(state.firstLevel);
    freeState(&state);
    return 0;
}

}  // namespace

int playLevel(SDL_Renderer* renderer, SDL_Texture* tiles, TTF_Font* font, TTF_Font* smallFont, char* filename) {
    LoadLevelResult loaded = loadLevel(filename);
    switch (loaded.result) {
        case loadCannotOpen:
            return refuse(renderer, tiles, font, loaded.level, "Nem lehet megnyitni a fájlt");
        case loadNoMemory:
            return refuse(renderer, tiles, font, loaded.level, "Memóriafoglalási hiba");
        case loadBadCharacter:
            return refuse(renderer, tiles, font, loaded.level, "A fájl hibás karaktereket tartalmaz");
        case loadTooLarge: {
            int answer = dialogBox(renderer, tiles, font, tooLargeQuestion(loaded).c_str());
            if (answer != dialogOk) {
                unloadLevel(loaded.level);
                return answer == dialogClosed ? 0 : 1;
            }
            break;
        }
        default:
            break;
    }
    if (loaded.level == nullptr) {
        return alertBox(renderer, tiles, font, "A fájl nem tartalmaz szinteket");
    }
    if (!checkLevels(loaded.level)) {
        return refuse(renderer, tiles, font, loaded.level, "Néhány szint hibás");
    }
    return runPlay(renderer, tiles, font, smallFont, filename, loaded.level, stoppedAt(placesPath(), filename));
}

int tryLevel(SDL_Renderer* renderer, SDL_Texture* tiles, TTF_Font* font, TTF_Font* smallFont, const Level* level) {
    Level* copy = newLevel(level->size, level->name, std::strlen(level->name));
    if (copy == nullptr) {
        return alertBox(renderer, tiles, font, "Memóriafoglalási hiba");
    }
    std::memcpy(copy->tiles, level->tiles, sizeof(TileState) * static_cast<size_t>(level->size.x * level->size.y));
    return runPlay(renderer, tiles, font, smallFont, nullptr, copy, 1);
}
