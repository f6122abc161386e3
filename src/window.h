#pragma once

#include <SDL2/SDL.h>

#include <functional>
#include <vector>

// The game's one window. Every screen draws a frame of 1280 x 768 pixels
// into the renderer's target texture (the frame) and shows it with
// showFrame, which scales it to whatever size the window has; waitEvent
// hands the screens their events with clicks in frame pixels. A screen
// paints its whole frame, floor first, without clearing it: on the software
// renderer a clear evicts the frame from the cache and doubles what a frame
// costs.

// Opens the window at the frame's size with a software renderer whose
// target is the frame. Null when SDL fails; nothing is then left open.
SDL_Renderer* openWindow();
// Releases the frame, the renderer and the window.
void closeWindow(SDL_Renderer* renderer);

// Sizes the window to the desktop's usable area: 1280 x 768 when that fits
// with the window manager's borders, else the largest size of the frame's
// shape that fits. The borders are known only once the window manager has
// framed the window, so the fit is made again then (within two seconds,
// unless the player resized the window first).
void fitToDesktop(SDL_Renderer* renderer);

// Shows the frame drawn: the window cleared to the bars' colour, the frame
// copied into the largest rectangle of its shape that fits, centred, and
// presented.
void showFrame(SDL_Renderer* renderer);

// SDL_WaitEvent for a screen: a resize, an expose or F11 (which switches
// full screen) shows the frame again and never reaches the screen; clicks
// and motion arrive in frame pixels, clicks on the bars not at all; motion
// over the bars and the mouse leaving the window arrive as a motion to
// (-1, -1).
// Returns 0 when waiting failed.
int waitEvent(SDL_Renderer* renderer, SDL_Event* event);

// waitEvent for at most `milliseconds`: 0 when none came for the screen.
int waitEventFor(SDL_Renderer* renderer, SDL_Event* event, Uint32 milliseconds);

// The next event for a screen: the first of `later` (input that came while
// the screen was busy, kept in order), else waitEvent's.
int nextEvent(SDL_Renderer* renderer, std::vector<SDL_Event>* later, SDL_Event* event);

// Runs `work` a short slice a call (it returns false when done). Work done
// within a tenth of a second just happens; longer, `busy` is called once
// (the screen shows that it is thinking) and the window stays alive
// between slices: resizes, exposes and F11 are handled as waitEvent does,
// Escape stops the work, and any other input is kept in `later` for the
// screen, in order.
enum WorkEnd { workDone, workStopped, windowClosed };
WorkEnd keepAliveWhile(SDL_Renderer* renderer, const std::function<bool()>& work, const std::function<void()>& busy,
                       std::vector<SDL_Event>* later);

// Whether the desktop's clipboard holds something SDL handed over as empty
// text: on X11, SDL 2.26 cannot read a text of 1 MiB or more, nor anything
// that is not text, while the clipboard has an owner.
bool clipboardUnreadable(SDL_Renderer* renderer);

// How far the wheel turned towards the player (down the list), whichever
// way the system counts it: positive towards, negative away.
int wheelTowardsPlayer(const SDL_MouseWheelEvent& wheel);

// The direction of an arrow key or of W, A, S, D (by position), or -1.
int keyDirection(SDL_Scancode key);

// The inside of a window fitted to the desktop's usable area, given the
// window manager's borders round it: false when 1280 x 768 fits as it is.
bool fitToUsable(SDL_Rect usable, int top, int left, int bottom, int right, SDL_Rect* fitted);
// Where the frame is shown in a window of the given size.
SDL_Rect fitFrame(int windowWidth, int windowHeight);
// The frame pixel shown at window pixel (x, y) of a window showing the frame
// at `shown`. False on the bars around it.
bool windowToFrame(SDL_Rect shown, int x, int y, int* frameX, int* frameY);
