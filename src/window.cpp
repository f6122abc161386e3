#include "window.h"

#include <SDL2/SDL_syswm.h>
#include <X11/Xlib.h>

#include <cstdint>

#include "tiles.h"

namespace {

// The grey floor's colour, for the bars beside a frame of another shape.
constexpr SDL_Color barColor{0x6b, 0x71, 0x7a, 255};
const char* const fitKey = "boxtolo-fit";
// How long after the start the window manager may still frame the window.
constexpr Uint32 framingTime = 2000;
// Work that ends this soon is not shown as work, and input waits for it.
constexpr Uint32 quietTime = 100;
// While work runs longer, the window is looked at this often.
constexpr Uint32 lookInterval = 10;
// Room around the frame beyond which the window's borders cannot matter.
constexpr int roomForBorders = 64;

// All the window remembers besides its frame (which is the renderer's
// target): whether the fit to the desktop must be made again once the
// window manager has framed the window, until when, and the size it gave,
// so that a size the player chose is left alone. Kept as the window's data.
struct DesktopFit {
    bool pending;
    Uint32 until;
    int width, height;
};

SDL_Window* windowOf(SDL_Renderer* renderer) {
    return SDL_RenderGetWindow(renderer);
}

DesktopFit* fitOf(SDL_Window* window) {
    return window != nullptr ? static_cast<DesktopFit*>(SDL_GetWindowData(window, fitKey)) : nullptr;
}

// The size and place that fit the window to the desktop, or false when it
// keeps its size; `framed` tells whether the window manager's borders were
// counted.
bool desktopFit(SDL_Window* window, SDL_Rect* fitted, bool* framed) {
    *framed = true;
    SDL_Rect usable;
    if (SDL_GetDisplayUsableBounds(SDL_GetWindowDisplayIndex(window), &usable) != 0) {
        return false;
    }
    if (usable.w >= frameWidth + roomForBorders && usable.h >= frameHeight + roomForBorders) {
        return false;
    }
    int top = 0, left = 0, bottom = 0, right = 0;
    *framed = SDL_GetWindowBordersSize(window, &top, &left, &bottom, &right) != 0 || top > 0;
    return fitToUsable(usable, top, left, bottom, right, fitted);
}

void refitOnceFramed(SDL_Window* window, DesktopFit* fit) {
    int w = 0, h = 0;
    SDL_GetWindowSize(window, &w, &h);
    bool playerChanged = w != fit->width || h != fit->height ||
                         (SDL_GetWindowFlags(window) & (SDL_WINDOW_FULLSCREEN | SDL_WINDOW_MAXIMIZED)) != 0;
    if (playerChanged || SDL_TICKS_PASSED(SDL_GetTicks(), fit->until)) {
        fit->pending = false;
        return;
    }
    SDL_Rect fitted;
    bool framed = false;
    bool resize = desktopFit(window, &fitted, &framed);
    if (!framed) {
        return;
    }
    fit->pending = false;
    if (resize && (fitted.w != w || fitted.h != h)) {
        SDL_SetWindowSize(window, fitted.w, fitted.h);
        SDL_SetWindowPosition(window, fitted.x, fitted.y);
    }
}

void toggleFullScreen(SDL_Window* window) {
    bool full = (SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN_DESKTOP) == SDL_WINDOW_FULLSCREEN_DESKTOP;
    SDL_SetWindowFullscreen(window, full ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
}

// Moves a click or motion from window pixels into frame pixels; false on
// the bars.
bool intoFrame(SDL_Window* window, Sint32* x, Sint32* y) {
    int w = 0, h = 0;
    SDL_GetWindowSize(window, &w, &h);
    int frameX = 0, frameY = 0;
    if (!windowToFrame(fitFrame(w, h), *x, *y, &frameX, &frameY)) {
        return false;
    }
    *x = frameX;
    *y = frameY;
    return true;
}

}  // namespace

SDL_Renderer* openWindow() {
    // Otherwise SDL backs the software renderer's window surface with an
    // OpenGL context, which costs tens of milliseconds at start for nothing.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    // Resizable: the frame is shown scaled to whatever size the window has.
    SDL_Window* window = SDL_CreateWindow("Boxtolo", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, frameWidth,
                                          frameHeight, SDL_WINDOW_RESIZABLE);
    if (window == nullptr) {
        return nullptr;
    }
    SDL_SetWindowMinimumSize(window, frameWidth / 4, frameHeight / 4);
    SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
    SDL_Texture* frame = renderer != nullptr ? SDL_CreateTexture(renderer, SDL_GetWindowPixelFormat(window),
                                                                 SDL_TEXTUREACCESS_TARGET, frameWidth, frameHeight)
                                             : nullptr;
    DesktopFit* fit = static_cast<DesktopFit*>(SDL_calloc(1, sizeof(DesktopFit)));
    if (frame == nullptr || fit == nullptr || SDL_SetRenderTarget(renderer, frame) != 0) {
        SDL_free(fit);
        if (renderer != nullptr) {
            SDL_DestroyRenderer(renderer);  // and the frame with it
        }
        SDL_DestroyWindow(window);
        return nullptr;
    }
    SDL_SetWindowData(window, fitKey, fit);
    return renderer;
}

void closeWindow(SDL_Renderer* renderer) {
    SDL_Window* window = windowOf(renderer);
    // SDL's X11 driver wakes a waiting SDL_WaitEvent by sending an event to
    // the window over a second connection; a window destroyed before the X
    // server has that event makes SDL end the process with an X error. A
    // round trip to the server (a query of the mouse) lets it catch up in
    // nearly every case.
    SDL_GetGlobalMouseState(nullptr, nullptr);
    SDL_Texture* frame = SDL_GetRenderTarget(renderer);
    SDL_SetRenderTarget(renderer, nullptr);
    if (frame != nullptr) {
        SDL_DestroyTexture(frame);
    }
    SDL_DestroyRenderer(renderer);
    SDL_free(SDL_SetWindowData(window, fitKey, nullptr));
    SDL_DestroyWindow(window);
}

void fitToDesktop(SDL_Renderer* renderer) {
    SDL_Window* window = windowOf(renderer);
    DesktopFit* fit = fitOf(window);
    SDL_Rect fitted;
    bool framed = false;
    if (fit == nullptr) {
        return;
    }
    if (desktopFit(window, &fitted, &framed)) {
        SDL_SetWindowSize(window, fitted.w, fitted.h);
        SDL_SetWindowPosition(window, fitted.x, fitted.y);
    }
    fit->pending = true;
    fit->until = SDL_GetTicks() + framingTime;
    SDL_GetWindowSize(window, &fit->width, &fit->height);
}

void showFrame(SDL_Renderer* renderer) {
    SDL_Texture* frame = SDL_GetRenderTarget(renderer);
    if (frame == nullptr) {
        SDL_RenderPresent(renderer);
        return;
    }
    int w = 0, h = 0;
    SDL_GetWindowSize(windowOf(renderer), &w, &h);
    SDL_Rect shown = fitFrame(w, h);
    // Whole multiples stay crisp; any other scale is smoothed.
    bool whole = shown.w % frameWidth == 0 && shown.h == shown.w / frameWidth * frameHeight;
    SDL_SetTextureScaleMode(frame, whole ? SDL_ScaleModeNearest : SDL_ScaleModeLinear);
    Uint8 r = 0, g = 0, b = 0, a = 0;
    SDL_GetRenderDrawColor(renderer, &r, &g, &b, &a);
    SDL_SetRenderTarget(renderer, nullptr);
    // The bars on both sides of the frame (or above and below it), only
    // where they are: clearing the whole window would cost as much again.
    SDL_Rect bars[2] = {{0, 0, shown.x, h}, {shown.x + shown.w, 0, w - shown.x - shown.w, h}};
    if (shown.w == w) {
        bars[0] = SDL_Rect{0, 0, w, shown.y};
        bars[1] = SDL_Rect{0, shown.y + shown.h, w, h - shown.y - shown.h};
    }
    SDL_SetRenderDrawColor(renderer, barColor.r, barColor.g, barColor.b, barColor.a);
    SDL_RenderFillRects(renderer, bars, 2);
    SDL_RenderCopy(renderer, frame, nullptr, &shown);
    SDL_RenderPresent(renderer);
    SDL_SetRenderTarget(renderer, frame);
    SDL_SetRenderDrawColor(renderer, r, g, b, a);
}

namespace {

// Handles what the window does itself (a resize, an expose, F11 show the
// frame again) and moves clicks and motion into frame pixels. True when
// the event is the screen's.
bool forScreen(SDL_Renderer* renderer, SDL_Event* event) {
    SDL_Window* window = windowOf(renderer);
    DesktopFit* fit = fitOf(window);
    if (fit != nullptr && fit->pending) {
        refitOnceFramed(window, fit);
    }
    switch (event->type) {
        case SDL_WINDOWEVENT:
            if (event->window.event == SDL_WINDOWEVENT_SIZE_CHANGED || event->window.event == SDL_WINDOWEVENT_EXPOSED) {
                showFrame(renderer);
            }
            if (event->window.event == SDL_WINDOWEVENT_LEAVE) {
                // The mouse left the window: to the screens, it went nowhere.
                SDL_MouseMotionEvent gone{};
                gone.type = SDL_MOUSEMOTION;
                gone.timestamp = event->window.timestamp;
                gone.x = gone.y = -1;
                event->motion = gone;
                return true;
            }
            return false;
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            if (event->key.keysym.scancode != SDL_SCANCODE_F11) {
                return true;
            }
            if (event->type == SDL_KEYDOWN && event->key.repeat == 0) {
                toggleFullScreen(window);
                showFrame(renderer);
            }
            return false;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            return intoFrame(window, &event->button.x, &event->button.y);
        case SDL_MOUSEMOTION:
            if (!intoFrame(window, &event->motion.x, &event->motion.y)) {
                event->motion.x = event->motion.y = -1;  // over the bars: off the frame
            }
            return true;
        default:
            return true;
    }
}

}  // namespace

int waitEvent(SDL_Renderer* renderer, SDL_Event* event) {
    for (;;) {
        if (SDL_WaitEvent(event) == 0) {
            return 0;
        }
        if (forScreen(renderer, event)) {
            return 1;
        }
    }
}

int waitEventFor(SDL_Renderer* renderer, SDL_Event* event, Uint32 milliseconds) {
    Uint32 until = SDL_GetTicks() + milliseconds;
    for (;;) {
        Uint32 now = SDL_GetTicks();
        if (SDL_TICKS_PASSED(now, until) || SDL_WaitEventTimeout(event, static_cast<int>(until - now)) == 0) {
            return 0;
        }
        if (forScreen(renderer, event)) {
            return 1;
        }
    }
}

int nextEvent(SDL_Renderer* renderer, std::vector<SDL_Event>* later, SDL_Event* event) {
    if (later->empty()) {
        return waitEvent(renderer, event);
    }
    *event = later->front();
    later->erase(later->begin());
    return 1;
}

WorkEnd keepAliveWhile(SDL_Renderer* renderer, const std::function<bool()>& work, const std::function<void()>& busy,
                       std::vector<SDL_Event>* later) {
    Uint32 quietUntil = SDL_GetTicks() + quietTime;
    bool more = true;
    while (more && !SDL_TICKS_PASSED(SDL_GetTicks(), quietUntil)) {
        more = work();
    }
    if (!more) {
        return workDone;
    }
    busy();
    SDL_Event event;
    Uint32 nextLook = SDL_GetTicks();
    while (work()) {
        // The window is looked at often enough to feel alive, not at every
        // slice: looking costs as much as a slice of work.
        if (!SDL_TICKS_PASSED(SDL_GetTicks(), nextLook)) {
            continue;
        }
        nextLook = SDL_GetTicks() + lookInterval;
        while (SDL_PollEvent(&event) == 1) {
            if (!forScreen(renderer, &event)) {
                continue;
            }
            if (event.type == SDL_QUIT) {
                return windowClosed;
            }
            if (event.type == SDL_KEYDOWN && event.key.keysym.scancode == SDL_SCANCODE_ESCAPE) {
                return workStopped;
            }
            later->push_back(event);
        }
    }
    return workDone;
}

bool clipboardUnreadable(SDL_Renderer* renderer) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(windowOf(renderer), &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) {
        return false;
    }
    Display* display = info.info.x11.display;
    return XGetSelectionOwner(display, XInternAtom(display, "CLIPBOARD", False)) != None;
}

int wheelTowardsPlayer(const SDL_MouseWheelEvent& wheel) {
    return wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? wheel.y : -wheel.y;
}

int keyDirection(SDL_Scancode key) {
    switch (key) {
        case SDL_SCANCODE_LEFT:
        case SDL_SCANCODE_A:
            return 0;
        case SDL_SCANCODE_UP:
        case SDL_SCANCODE_W:
            return 1;
        case SDL_SCANCODE_RIGHT:
        case SDL_SCANCODE_D:
            return 2;
        case SDL_SCANCODE_DOWN:
        case SDL_SCANCODE_S:
            return 3;
        default:
            return -1;
    }
}

SDL_Rect fitFrame(int windowWidth, int windowHeight) {
    if (windowWidth <= 0 || windowHeight <= 0) {
        return SDL_Rect{0, 0, frameWidth, frameHeight};
    }
    // Whichever side limits the scale decides the size; the other is
    // rounded from it.
    int64_t byWidth = static_cast<int64_t>(windowWidth) * frameHeight;
    int64_t byHeight = static_cast<int64_t>(windowHeight) * frameWidth;
    int w, h;
    if (byWidth <= byHeight) {
        w = windowWidth;
        h = static_cast<int>((byWidth + frameWidth / 2) / frameWidth);
    } else {
        h = windowHeight;
        w = static_cast<int>((byHeight + frameHeight / 2) / frameHeight);
    }
    w = w < 1 ? 1 : w;
    h = h < 1 ? 1 : h;
    return SDL_Rect{(windowWidth - w) / 2, (windowHeight - h) / 2, w, h};
}

bool fitToUsable(SDL_Rect usable, int top, int left, int bottom, int right, SDL_Rect* fitted) {
    int roomW = usable.w - left - right;
    int roomH = usable.h - top - bottom;
    if (roomW >= frameWidth && roomH >= frameHeight) {
        return false;
    }
    *fitted = fitFrame(roomW, roomH);
    // Positions are the inside's: the title bar must stay on the screen too.
    fitted->x += usable.x + left;
    fitted->y += usable.y + top;
    return true;
}

bool windowToFrame(SDL_Rect shown, int x, int y, int* frameX, int* frameY) {
    if (x < shown.x || y < shown.y || x >= shown.x + shown.w || y >= shown.y + shown.h) {
        return false;
    }
    // The frame pixel under the centre of the window pixel.
    *frameX = static_cast<int>((2 * static_cast<int64_t>(x - shown.x) + 1) * frameWidth / (2 * shown.w));
    *frameY = static_cast<int>((2 * static_cast<int64_t>(y - shown.y) + 1) * frameHeight / (2 * shown.h));
    return true;
}
