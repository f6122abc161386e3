#pragma once

#include <SDL2/SDL.h>
#include <SDL2/SDL_ttf.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <set>
#include <string>
#include <vector>

#include "file.h"
#include "tiles.h"
#include "window.h"

// The window's pixels, read back after a screen has presented.
struct Frame {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;  // ARGB8888, row by row

    uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// The pixels of a rectangle of the frame, row by row.
std::vector<uint32_t> areaPixels(const Frame& frame, SDL_Rect area);
// Counts the pixels of a rectangle whose colour is within `tolerance` of (r, g, b).
int countColor(const Frame& frame, SDL_Rect area, int r, int g, int b, int tolerance = 8);
SDL_Rect cellRect(int x, int y);
SDL_Rect cellsRect(int x1, int y1, int x2, int y2);

// The game's window (a frame drawn into the renderer's target, shown in the
// window) under SDL's dummy video driver, with
// the real tiles.png and font.ttf. Screens are called through their entry
// functions; input is queued beforehand and every script ends with a quit.
class ScreenTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    void keyDown(SDL_Scancode key);
    void keyUp(SDL_Scancode key);
    void press(SDL_Scancode key);  // down and up
    void ctrlPress(SDL_Scancode key);
    void clickPixel(int x, int y, Uint8 button = SDL_BUTTON_LEFT);
    void click(int cellX, int cellY, Uint8 button = SDL_BUTTON_LEFT);
    // The mouse moved to pixel (x, y) of the frame, no button held: (-1, -1)
    // is off the frame.
    void movePixel(int x, int y);
    // The mouse moved to the middle of a cell with these buttons held
    // (SDL_BUTTON_LMASK and the like), and a button let go there.
    void moveTo(int cellX, int cellY, Uint32 buttons);
    void letGo(int cellX, int cellY, Uint8 button = SDL_BUTTON_LEFT);
    void quit();
    // Types ASCII letters, digits and "x" with the physical keys.
    void typeText(const char* text);

    Frame capture() const;
    // The pixels of `area` after `input` and a closed window, the screen
    // run by `screen` (which must end with 0).
    std::vector<uint32_t> areaAfter(const std::function<void()>& input, const std::function<int()>& screen,
                                    SDL_Rect area);
    // What an alert (or, with `question`, a confirmation box) with this
    // text looks like; and whether the window shows exactly that now.
    Frame boxFrame(const char* message, bool question);
    void expectShows(const Frame& expected, const char* label) const;
    // Whether `shown` (captured before) is exactly such an alert or question.
    void expectBox(const Frame& shown, const char* message, bool question, const std::string& label);
    // How far the cell is from the given pictures drawn in order over black;
    // the mean difference per channel, 0 for an exact match.
    double cellDifference(const Frame& frame, int x, int y, std::initializer_list<Tile> layers) const;
    bool cellShows(const Frame& frame, int x, int y, std::initializer_list<Tile> layers) const;
    // Frames presented so far, counted by the dummy driver as it saves them.
    int presentedFrames() const;
    // The frames presented so far, in order, as the dummy driver saved them.
    std::vector<Frame> savedFrames() const;
    void countFrames();

    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* tiles = nullptr;
    TTF_Font* font = nullptr;
    TTF_Font* smallFont = nullptr;  // the counters' size
    SDL_Surface* atlas = nullptr;
    std::string tempDir;
    std::string previousDir;
};

// Checks the level row of `frame`: white text in `smallFont` from pixel
// `left` (the number) and ending at `right` (the counters, if any, with room
// kept for `countersRoom`), and a name between them that keeps a gap of
// `gap` pixels to both and reaches at least `minNameWidth` pixels.
void expectLevelRow(const Frame& frame, TTF_Font* smallFont, int left, int right, const char* number,
                    const char* counters, const char* countersRoom, int gap, int minNameWidth);

// The pixels `text` sets when drawn in `font`, its lines ("\n" between
// them) counted alike: a text drawn whole sets exactly so many.
int inkPixels(TTF_Font* font, const char* text);

// SDL timer callbacks that push a closed window, or an Escape key-down, when
// they fire: input that comes later, while a screen is busy.
Uint32 quitLater(Uint32, void*);
Uint32 escapeLater(Uint32, void*);

// A temporary directory that is removed with everything in it.
std::string makeTempDir();
void removeTree(const std::string& path);
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
bool fileExists(const std::string& path);
// The names in a folder, without "." and "..".
std::set<std::string> folderListing(const std::string& dir);

// Reads levels written in the file format, through a temporary file; the
// caller frees the list with unloadLevel.
Level* levelsFromText(const std::string& text);
// A level's rows in file characters, trailing floor kept.
std::vector<std::string> levelRows(const Level* level);
int countLevels(const Level* level);
// A pid that no process has any more.
long deadPid();
