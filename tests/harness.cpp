#include "harness.h"

#include "input.h"
#include "window.h"

#include <SDL2/SDL_image.h>
#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

// Frames are dumped here by the dummy driver when counting presents.
const char* const frameDumpVariable = "SDL_VIDEO_DUMMY_SAVE_FRAMES";

}  // namespace

std::vector<uint32_t> areaPixels(const Frame& frame, SDL_Rect area) {
    std::vector<uint32_t> pixels;
    for (int y = area.y; y < area.y + area.h; y++) {
        for (int x = area.x; x < area.x + area.w; x++) {
            pixels.push_back(frame.at(x, y));
        }
    }
    return pixels;
}

int countColor(const Frame& frame, SDL_Rect area, int r, int g, int b, int tolerance) {
    int count = 0;
    for (int y = area.y; y < area.y + area.h && y < frame.height; y++) {
        for (int x = area.x; x < area.x + area.w && x < frame.width; x++) {
            uint32_t p = frame.at(x, y);
            int pr = (p >> 16) & 0xFF, pg = (p >> 8) & 0xFF, pb = p & 0xFF;
            if (std::abs(pr - r) <= tolerance && std::abs(pg - g) <= tolerance && std::abs(pb - b) <= tolerance) {
                count++;
            }
        }
    }
    return count;
}

void expectLevelRow(const Frame& frame, TTF_Font* smallFont, int left, int right, const char* number,
                    const char* counters, const char* countersRoom, int gap, int minNameWidth) {
    const int top = 11 * tileSize;
    int nw = 0, cw = 0, rw = 0, h = 0;
    TTF_SizeUTF8(smallFont, number, &nw, &h);
    if (counters != nullptr) {
        TTF_SizeUTF8(smallFont, counters, &cw, &h);
        TTF_SizeUTF8(smallFont, countersRoom, &rw, &h);
    }
    auto white = [&](int x1, int x2) { return countColor(frame, SDL_Rect{x1, top, x2 - x1, tileSize}, 255, 255, 255, 0); };
    EXPECT_GT(white(left, left + nw), 20) << "the number";
    EXPECT_EQ(white(0, left), 0) << "nothing before the number";
    EXPECT_EQ(white(left + nw, left + nw + gap), 0) << "a gap after the number";
    int nameRight = right - rw - gap;
    EXPECT_EQ(white(nameRight, right - cw), 0) << "a gap before the counters";
    if (counters != nullptr) {
        EXPECT_GT(white(right - cw, right), 40) << "the counters";
    }
    EXPECT_EQ(white(right, frame.width), 0) << "nothing after the row";
    int first = -1, last = -1;
    for (int x = left + nw + gap; x < nameRight; x++) {
        if (white(x, x + 1) > 0) {
            first = first < 0 ? x : first;
            last = x;
        }
    }
    EXPECT_GE(last - first, minNameWidth) << "the name";
}

Uint32 quitLater(Uint32, void*) {
    SDL_Event event{};
    event.type = SDL_QUIT;
    SDL_PushEvent(&event);
    return 0;
}

Uint32 escapeLater(Uint32, void*) {
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.keysym.scancode = SDL_SCANCODE_ESCAPE;
    SDL_PushEvent(&event);
    return 0;
}

int inkPixels(TTF_Font* font, const char* text) {
    int ink = 0;
    std::string rest = text;
    for (size_t start = 0; start <= rest.size();) {
        size_t end = rest.find('\n', start);
        end = end == std::string::npos ? rest.size() : end;
        std::string line = rest.substr(start, end - start);
        SDL_Surface* drawn = line.empty() ? nullptr : TTF_RenderUTF8_Solid(font, line.c_str(), SDL_Color{255, 255, 255, 255});
        if (drawn != nullptr) {
            SDL_LockSurface(drawn);
            for (int y = 0; y < drawn->h; y++) {
                const Uint8* row = static_cast<const Uint8*>(drawn->pixels) + y * drawn->pitch;
                for (int x = 0; x < drawn->w; x++) {
                    ink += row[x] != 0;
                }
            }
            SDL_UnlockSurface(drawn);
            SDL_FreeSurface(drawn);
        }
        start = end + 1;
    }
    return ink;
}

SDL_Rect cellRect(int x, int y) {
    return SDL_Rect{x * tileSize, y * tileSize, tileSize, tileSize};
}

SDL_Rect cellsRect(int x1, int y1, int x2, int y2) {
    return SDL_Rect{x1 * tileSize, y1 * tileSize, (x2 - x1 + 1) * tileSize, (y2 - y1 + 1) * tileSize};
}

void ScreenTest::SetUp() {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    unsetenv(frameDumpVariable);
    tempDir = makeTempDir();
    // The player's records live under the home folder: a test's go into a
    // home of its own, never into the real one.
    setenv("HOME", (tempDir + "/home").c_str(), 1);
    setenv("XDG_DATA_HOME", (tempDir + "/data").c_str(), 1);
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    renderer = openWindow();
    ASSERT_NE(renderer, nullptr) << SDL_GetError();
    window = SDL_RenderGetWindow(renderer);
    std::string build = BOXTOLO_BUILD_DIR;
    tiles = loadTiles(renderer, (build + "/tiles.png").c_str());
    ASSERT_NE(tiles, nullptr) << IMG_GetError();
    atlas = IMG_Load((build + "/tiles.png").c_str());
    ASSERT_NE(atlas, nullptr);
    ASSERT_EQ(TTF_Init(), 0);
    font = TTF_OpenFont((build + "/font.ttf").c_str(), 50);
    ASSERT_NE(font, nullptr);
    smallFont = TTF_OpenFont((build + "/font.ttf").c_str(), 28);
    ASSERT_NE(smallFont, nullptr);
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    previousDir = cwd;
    ASSERT_EQ(chdir(tempDir.c_str()), 0);
}

void ScreenTest::TearDown() {
    unsetenv(frameDumpVariable);
    if (!previousDir.empty()) {
        EXPECT_EQ(chdir(previousDir.c_str()), 0);
    }
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    if (smallFont != nullptr) {
        TTF_CloseFont(smallFont);
    }
    if (font != nullptr) {
        TTF_CloseFont(font);
    }
    TTF_Quit();
    if (atlas != nullptr) {
        SDL_FreeSurface(atlas);
    }
    if (tiles != nullptr) {
        SDL_DestroyTexture(tiles);
    }
    if (renderer != nullptr) {
        closeWindow(renderer);
    }
    SDL_Quit();
    removeTree(tempDir);
}

namespace {

void pushKey(Uint32 type, SDL_Scancode key) {
    SDL_Event event{};
    event.type = type;
    event.key.type = type;
    event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.scancode = key;
    event.key.keysym.sym = SDL_GetKeyFromScancode(key);
    ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();
}

}  // namespace

void ScreenTest::keyDown(SDL_Scancode key) {
    pushKey(SDL_KEYDOWN, key);
}

void ScreenTest::keyUp(SDL_Scancode key) {
    pushKey(SDL_KEYUP, key);
}

void ScreenTest::press(SDL_Scancode key) {
    keyDown(key);
    keyUp(key);
}

void ScreenTest::ctrlPress(SDL_Scancode key) {
    keyDown(SDL_SCANCODE_LCTRL);
    keyDown(key);
}

void ScreenTest::clickPixel(int x, int y, Uint8 button) {
    SDL_Event event{};
    event.type = SDL_MOUSEBUTTONDOWN;
    event.button.type = SDL_MOUSEBUTTONDOWN;
    event.button.button = button;
    event.button.state = SDL_PRESSED;
    event.button.clicks = 1;
    event.button.x = x;
    event.button.y = y;
    ASSERT_EQ(SDL_PushEvent(&event), 1);
}

void ScreenTest::click(int cellX, int cellY, Uint8 button) {
    clickPixel(cellX * tileSize + tileSize / 2, cellY * tileSize + tileSize / 2, button);
}

void ScreenTest::movePixel(int x, int y) {
    SDL_Event event{};
    event.type = SDL_MOUSEMOTION;
    event.motion.x = x;
    event.motion.y = y;
    SDL_PushEvent(&event);
}

void ScreenTest::moveTo(int cellX, int cellY, Uint32 buttons) {
    SDL_Event event{};
    event.type = SDL_MOUSEMOTION;
    event.motion.state = buttons;
    event.motion.x = cellX * tileSize + tileSize / 2;
    event.motion.y = cellY * tileSize + tileSize / 2;
    ASSERT_EQ(SDL_PushEvent(&event), 1);
}

void ScreenTest::letGo(int cellX, int cellY, Uint8 button) {
    SDL_Event event{};
    event.type = SDL_MOUSEBUTTONUP;
    event.button.button = button;
    event.button.state = SDL_RELEASED;
    event.button.x = cellX * tileSize + tileSize / 2;
    event.button.y = cellY * tileSize + tileSize / 2;
    ASSERT_EQ(SDL_PushEvent(&event), 1);
}

void ScreenTest::quit() {
    SDL_Event event{};
    event.type = SDL_QUIT;
    ASSERT_EQ(SDL_PushEvent(&event), 1);
}

void ScreenTest::typeText(const char* text) {
    for (const char* c = text; *c != '\0'; c++) {
        if (*c >= 'a' && *c <= 'z') {
            // The Hungarian layout swaps the Y and Z positions.
            char letter = *c == 'y' ? 'z' : *c == 'z' ? 'y' : *c;
            press(static_cast<SDL_Scancode>(SDL_SCANCODE_A + (letter - 'a')));
        } else if (*c >= '1' && *c <= '9') {
            press(static_cast<SDL_Scancode>(SDL_SCANCODE_1 + (*c - '1')));
        } else if (*c == '0') {
            press(SDL_SCANCODE_GRAVE);
        } else if (*c == '.') {
            press(SDL_SCANCODE_PERIOD);
        } else if (*c == ' ') {
            press(SDL_SCANCODE_SPACE);
        } else if (*c == '-') {
            press(SDL_SCANCODE_SLASH);
        } else {
            ADD_FAILURE() << "cannot type " << *c;
        }
    }
}

std::vector<uint32_t> ScreenTest::areaAfter(const std::function<void()>& input, const std::function<int()>& screen,
                                            SDL_Rect area) {
    input();
    quit();
    EXPECT_EQ(screen(), 0);
    return areaPixels(capture(), area);
}

Frame ScreenTest::capture() const {
    Frame frame;
    frame.width = gridColumns * tileSize;
    frame.height = gridRows * tileSize;
    frame.pixels.resize(static_cast<size_t>(frame.width) * frame.height);
    EXPECT_EQ(SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, frame.pixels.data(),
                                   frame.width * 4),
              0)
        << SDL_GetError();
    return frame;
}

Frame ScreenTest::boxFrame(const char* message, bool question) {
    quit();
    question ? dialogBox(renderer, tiles, font, message) : alertBox(renderer, tiles, font, message);
    return capture();
}

void ScreenTest::expectShows(const Frame& expected, const char* label) const {
    EXPECT_TRUE(capture().pixels == expected.pixels) << label;
}

void ScreenTest::expectBox(const Frame& shown, const char* message, bool question, const std::string& label) {
    EXPECT_TRUE(boxFrame(message, question).pixels == shown.pixels) << label << ": " << message;
}

double ScreenTest::cellDifference(const Frame& frame, int x, int y, std::initializer_list<Tile> layers) const {
    SDL_Surface* expected = SDL_CreateRGBSurfaceWithFormat(0, tileSize, tileSize, 32, SDL_PIXELFORMAT_ARGB8888);
    SDL_FillRect(expected, nullptr, SDL_MapRGBA(expected->format, 0, 0, 0, 255));
    SDL_SetSurfaceBlendMode(atlas, SDL_BLENDMODE_BLEND);
    for (Tile layer : layers) {
        static const int columns[] = {10, 11, 12, 7, 0, 3, 3, 12, 2, 2, 1, 1, 2, 4, 1, 5,
                                      5,  4,  4,  5, 0, 6, 6, 7,  7, 7, 8, 8, 8, 9, 9};
        static const int rows[] = {6, 6, 6, 6, 4, 0, 1, 3, 0, 1, 0, 1, 2, 0, 2, 2,
                                   1, 1, 2, 0, 3, 2, 0, 0, 1, 2, 0, 1, 2, 0, 1};
        static_assert(sizeof columns / sizeof columns[0] == tileCount, "every picture's place");
        SDL_Rect source{columns[layer] * tileSize, rows[layer] * tileSize, tileSize, tileSize};
        SDL_Rect destination{0, 0, tileSize, tileSize};
        SDL_BlitSurface(atlas, &source, expected, &destination);
    }
    SDL_LockSurface(expected);
    double total = 0;
    for (int j = 0; j < tileSize; j++) {
        const uint32_t* row = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(expected->pixels) +
                                                                j * expected->pitch);
        for (int i = 0; i < tileSize; i++) {
            uint32_t want = row[i];
            uint32_t got = frame.at(x * tileSize + i, y * tileSize + j);
            for (int shift = 0; shift < 24; shift += 8) {
                total += std::abs(static_cast<int>((want >> shift) & 0xFF) - static_cast<int>((got >> shift) & 0xFF));
            }
        }
    }
    SDL_UnlockSurface(expected);
    SDL_FreeSurface(expected);
    return total / (tileSize * tileSize * 3);
}

bool ScreenTest::cellShows(const Frame& frame, int x, int y, std::initializer_list<Tile> layers) const {
    return cellDifference(frame, x, y, layers) < 2.0;
}

std::vector<Frame> ScreenTest::savedFrames() const {
    std::vector<std::string> names;
    DIR* dir = opendir(tempDir.c_str());
    if (dir == nullptr) {
        return {};
    }
    while (dirent* entry = readdir(dir)) {
        if (std::string(entry->d_name).rfind("SDL_window", 0) == 0) {
            names.push_back(tempDir + "/" + entry->d_name);
        }
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    std::vector<Frame> frames;
    for (const std::string& name : names) {
        SDL_Surface* loaded = SDL_LoadBMP(name.c_str());
        SDL_Surface* argb = loaded != nullptr ? SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_ARGB8888, 0) : nullptr;
        Frame frame;
        if (argb != nullptr) {
            frame.width = argb->w;
            frame.height = argb->h;
            for (int y = 0; y < argb->h; y++) {
                const uint32_t* row = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(argb->pixels) +
                                                                        y * argb->pitch);
                frame.pixels.insert(frame.pixels.end(), row, row + argb->w);
            }
        }
        SDL_FreeSurface(argb);
        SDL_FreeSurface(loaded);
        frames.push_back(frame);
    }
    return frames;
}

void ScreenTest::countFrames() {
    setenv(frameDumpVariable, "1", 1);
}

int ScreenTest::presentedFrames() const {
    int count = 0;
    DIR* dir = opendir(tempDir.c_str());
    if (dir == nullptr) {
        return -1;
    }
    while (dirent* entry = readdir(dir)) {
        if (std::string(entry->d_name).rfind("SDL_window", 0) == 0) {
            count++;
        }
    }
    closedir(dir);
    return count;
}

std::string makeTempDir() {
    char path[] = "/tmp/boxtolo-test-XXXXXX";
    char* made = mkdtemp(path);
    return made != nullptr ? std::string(made) : std::string();
}

void removeTree(const std::string& path) {
    if (path.empty()) {
        return;
    }
    std::string command = "rm -rf '" + path + "'";
    if (std::system(command.c_str()) != 0) {
        ADD_FAILURE() << "could not remove " << path;
    }
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

bool fileExists(const std::string& path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

std::set<std::string> folderListing(const std::string& dir) {
    std::set<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* entry = readdir(d)) {
            std::string name = entry->d_name;
            if (name != "." && name != "..") {
                names.insert(name);
            }
        }
        closedir(d);
    }
    return names;
}

Level* levelsFromText(const std::string& text) {
    std::string dir = makeTempDir();
    std::string path = dir + "/levels.txt";
    writeFile(path, text);
    LoadLevelResult loaded = loadLevel(path.data());
    removeTree(dir);
    EXPECT_EQ(loaded.result, 0);
    return loaded.level;
}

std::vector<std::string> levelRows(const Level* level) {
    static const char characters[] = " #@+$*. ";
    std::vector<std::string> rows;
    for (int y = 0; y < level->size.y; y++) {
        std::string row;
        for (int x = 0; x < level->size.x; x++) {
            int cell = level->tiles[y * level->size.x + x];
            row += (cell >= 0 && cell <= 7) ? characters[cell] : '?';
        }
        rows.push_back(row);
    }
    return rows;
}

int countLevels(const Level* level) {
    int count = 0;
    for (; level != nullptr; level = level->next) {
        count++;
    }
    return count;
}

long deadPid() {
    pid_t child = fork();
    if (child == 0) {
        _exit(0);
    }
    waitpid(child, nullptr, 0);
    return static_cast<long>(child);
}
