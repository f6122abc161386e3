// Random input for every screen, dialogs included: key downs and ups over
// every scancode the game knows and some it does not, presses of every mouse
// button all over the window, moves with a button held or not, and now and then a closed window, after which
// the screen is entered again. Nothing may crash, hang or leak; the editor's
// list must stay consistent after every event; every file on disk must load.
//
// SOAK_EVENTS sets the events per screen (a few thousand by default),
// SOAK_SEED the seed, printed so that a failure can be replayed.
//
// The editor is driven through its own event handler, compiled in here, so
// that its list can be checked after each event.
#include "../src/edit.cpp"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>

#include "harness.h"
#include "input.h"
#include "menu.h"
#include "play.h"

namespace {

long eventsPerScreen() {
    const char* text = std::getenv("SOAK_EVENTS");
    return text != nullptr ? std::atol(text) : 3000;
}

unsigned seed() {
    static unsigned chosen = [] {
        const char* text = std::getenv("SOAK_SEED");
        unsigned value = text != nullptr ? static_cast<unsigned>(std::strtoul(text, nullptr, 10)) : std::random_device{}();
        std::printf("soak seed %u (replay with SOAK_SEED=%u)\n", value, value);
        return value;
    }();
    return chosen;
}

const char* const levels = "; Első\n#######\n#@ $ .#\n#######\n\n; Második\n######\n#@$ .#\n#.$  #\n######\n";

class Soak : public ScreenTest {
  protected:
    void SetUp() override {
        ScreenTest::SetUp();
        random.seed(seed() + static_cast<unsigned>(::testing::UnitTest::GetInstance()->random_seed()));
        writeFile("szintek.txt", levels);
        writeFile("rossz.txt", "#@$.#\n#x  #\n");
        // Something for Ctrl+V in the editor to paste.
        SDL_SetClipboardText(levels);
        std::strcpy(filename, "szintek.txt");
        snapshot = files();
    }

    // Queues up to `count` random events and a closing quit; returns how
    // many it queued.
    long queueBatch(long count) {
        long queued = 0;
        std::uniform_int_distribution<int> kind(0, 99);
        std::uniform_int_distribution<int> scancode(0, 300);
        std::uniform_int_distribution<int> cellX(0, 19), cellY(0, 11), offset(0, 63);
        std::uniform_int_distribution<int> button(1, 5);
        for (; queued < count; queued++) {
            int k = kind(random);
            if (k == 0 && queued > 20) {
                break;  // a closed window now and then
            }
            if (k < 55) {
                SDL_Scancode key = static_cast<SDL_Scancode>(scancode(random));
                // "/" could name a file outside the test's directory.
                if (key == SDL_SCANCODE_6) {
                    key = SDL_SCANCODE_RETURN;
                }
                k < 40 ? keyDown(key) : keyUp(key);
            } else if (k < 72) {
                // The mouse moved, a button held or not, or let go.
                SDL_Event event{};
                event.type = k < 68 ? SDL_MOUSEMOTION : SDL_MOUSEBUTTONUP;
                event.motion.state = (k & 1) != 0 ? SDL_BUTTON_LMASK : 0;
                event.motion.x = cellX(random) * 64 + offset(random);
                event.motion.y = cellY(random) * 64 + offset(random);
                if (event.type == SDL_MOUSEBUTTONUP) {
                    event.button.button = static_cast<Uint8>(button(random));
                    event.button.x = event.motion.x;
                    event.button.y = event.motion.y;
                }
                SDL_PushEvent(&event);
            } else {
                int x = cellX(random), y = cellY(random);
                if (x == 10 && y == 6) {
                    x = 11;  // the on-screen key that types "/" when shifted
                }
                clickPixel(x * 64 + offset(random), y * 64 + offset(random), static_cast<Uint8>(button(random)));
            }
        }
        quit();
        return queued + 1;
    }

    std::map<std::string, std::string> files() const {
        std::map<std::string, std::string> found;
        if (DIR* dir = opendir(".")) {
            while (dirent* entry = readdir(dir)) {
                std::string name = entry->d_name;
                struct stat info;
                if (name != "." && name != ".." && stat(name.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
                    found[name] = readFile(name);
                }
            }
            closedir(dir);
        }
        return found;
    }

    // Every file that appeared or changed was written by a save and loads
    // again; no temporary file is left behind.
    void checkFiles() {
        std::map<std::string, std::string> now = files();
        for (const auto& [name, bytes] : now) {
            auto before = snapshot.find(name);
            if (before != snapshot.end() && before->second == bytes) {
                continue;
            }
            EXPECT_EQ(name.find(".tmp"), std::string::npos) << "left behind: " << name;
            LoadLevelResult loaded = loadLevel(const_cast<char*>(name.c_str()));
            EXPECT_EQ(loaded.result, 0) << "a saved file does not load again: " << name;
            unloadLevel(loaded.level);
        }
        snapshot = now;
    }

    template <typename Enter>
    void soak(Enter enter) {
        long total = eventsPerScreen();
        for (long done = 0; done < total && !HasFailure();) {
            done += queueBatch(std::min<long>(400, total - done));
            // A screen that ends early is entered again on what is left.
            // Window events that a full-screen switch queues after the
            // quit are left for the next entry: alone they end no screen.
            while ((SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_QUIT, SDL_QUIT) > 0 ||
                    SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_KEYDOWN, SDL_LASTEVENT) > 0) &&
                   !HasFailure()) {
                enter();
                entries++;
                checkFiles();
            }
            if (std::strchr(filename, '/') != nullptr) {
                std::strcpy(filename, "szintek.txt");
            }
        }
    }

    std::mt19937 random;
    long entries = 0;
    char filename[64] = {};
    std::map<std::string, std::string> snapshot;
};

TEST_F(Soak, MainMenu) {
    soak([&] { mainMenu(renderer, tiles, font, filename); });
    std::printf("menu entered %ld times\n", entries);
}

TEST_F(Soak, PlayScreen) {
    soak([&] { playLevel(renderer, tiles, font, smallFont, filename); });
}

TEST_F(Soak, TextInput) {
    soak([&] { textInput(renderer, tiles, font, "File neve", filename, 63); });
}

TEST_F(Soak, Boxes) {
    std::bernoulli_distribution which(0.5);
    soak([&] {
        while (which(random) ? dialogBox(renderer, tiles, font, "Kérdés?") : alertBox(renderer, tiles, font, "Üzenet")) {
        }
    });
}

void expectConsistent(const EditState& state) {
    const Level* previous = nullptr;
    bool currentFound = state.level == nullptr;
    int count = 0;
    for (const Level* level = state.firstLevel; level != nullptr && count < 100000; level = level->next, count++) {
        ASSERT_EQ(level->prev, previous);
        currentFound = currentFound || level == state.level;
        ASSERT_GE(level->size.x, 1);
        ASSERT_GE(level->size.y, 1);
        ASSERT_NE(level->name, nullptr);
        previous = level;
    }
    ASSERT_TRUE(currentFound);
    ASSERT_EQ(state.level == nullptr, state.firstLevel == nullptr);
    if (state.level != nullptr) {
        ASSERT_GE(state.edit.x, 0);
        ASSERT_GE(state.edit.y, 0);
        ASSERT_LT(state.edit.x, state.level->size.x);
        ASSERT_LT(state.edit.y, state.level->size.y);
    }
}

// The editor's own loop, with the list checked after every event.
TEST_F(Soak, Editor) {
    soak([&] {
        LoadLevelResult loaded = loadLevel(filename);
        if (loaded.result != 0) {
            unloadLevel(loaded.level);
            loaded.level = nullptr;
        }
        EditState state = openState(renderer, tiles, font, smallFont, filename, loaded.level);
        render(&state);
        SDL_Event event;
        while (state.result == -1 && nextEvent(renderer, &state.waiting, &event) != 0) {
            bool redraw = handleEvent(event, &state);
            expectConsistent(state);
            if (redraw && state.result == -1) {
                render(&state);
            }
        }
        releasePicture(&state.picture);
        dropHistory(&state.history);
        unloadLevel(state.firstLevel);
    });
}

}  // namespace
