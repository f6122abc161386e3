#include "folders.h"

#include <SDL2/SDL.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace {

// Copies `from` to `to` unless `to` exists. A copy that fails anywhere,
// reading included, leaves no file: a cut copy would pass for the levels.
void copyIfMissing(const std::string& from, const std::string& to) {
    int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        return;
    }
    int out = open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    bool ok = out >= 0;
    char buffer[65536];
    ssize_t got = 0;
    while (ok && (got = read(in, buffer, sizeof buffer)) > 0) {
        ok = write(out, buffer, static_cast<size_t>(got)) == got;
    }
    ok = ok && got == 0;
    close(in);
    if (out >= 0) {
        ok = close(out) == 0 && ok;
        if (!ok) {
            unlink(to.c_str());
        }
    }
}

}  // namespace

bool sameFolder(const char* a, const char* b) {
    struct stat first, second;
    return stat(a, &first) == 0 && stat(b, &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

bool makeFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        std::string part = path.substr(0, slash);
        if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
            return false;
        }
        if (slash == std::string::npos) {
            return true;
        }
    }
}

bool isFile(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string installedShare() {
    char* base = SDL_GetBasePath();
    if (base == nullptr) {
        return std::string();
    }
    std::string share = std::string(base) + "../share/games/boxtolo/";
    SDL_free(base);
    return share;
}

std::string findAsset(const char* name, bool* installed) {
    std::string share = installedShare();
    if (isFile(name) || share.empty() || !isFile(share + name)) {
        return name;
    }
    *installed = true;
    return share + name;
}

std::string dataFolder() {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome != nullptr && dataHome[0] == '/') {
        return std::string(dataHome) + "/boxtolo";
    }
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') {
        return std::string();
    }
    return std::string(home) + "/.local/share/boxtolo";
}

std::string prepareDataFolder(const std::string& share) {
    std::string data = dataFolder();
    if (data.empty() || !makeFolders(data)) {
        return std::string();
    }
    copyIfMissing(share + bundledLevels, data + "/" + bundledLevels);
    return data;
}

bool startedAtHome() {
    const char* home = std::getenv("HOME");
    return sameFolder(".", "/") || (home != nullptr && home[0] == '/' && sameFolder(".", home));
}
