#pragma once

#include <string>

// Where the game finds its own files and keeps the player's.

// The bundled level file's name, and that of its levels' proven least
// pushes beside it.
constexpr const char* bundledLevels = "palyak.txt";
constexpr const char* bundledSolutions = "palyak.solutions";

// Where an installed game keeps its pictures, font, bundled levels and their
// solutions: share/games/boxtolo beside the bin folder that holds the
// binary, ending in "/"; empty when the binary's folder is unknown.
std::string installedShare();

// A file of the game's: the one in the working folder wins, as in the build
// folder; else the installed one (and *installed is set); else the plain
// name, which then fails to open.
std::string findAsset(const char* name, bool* installed);

// The player's data folder, ${XDG_DATA_HOME:-~/.local/share}/boxtolo (an
// empty or relative XDG_DATA_HOME counts as unset); empty when there is no
// usable home folder either.
std::string dataFolder();

// Makes the data folder if need be and copies the bundled levels from
// `share` into it once: a copy there is the player's and never overwritten.
// Returns the data folder, or empty when it cannot be made.
std::string prepareDataFolder(const std::string& share);

// Whether the working folder is the home folder or "/", where a desktop's
// menu starts a game.
bool startedAtHome();

bool isFile(const std::string& path);
// Whether two paths name the same folder (or file).
bool sameFolder(const char* a, const char* b);
// Makes `path` and the folders above it; false when one cannot be made.
bool makeFolders(const std::string& path);
