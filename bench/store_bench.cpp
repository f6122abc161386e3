// The level store against bare loops over the same bytes: reading a file of
// 100,000 levels (about 10 MB) beside a loop that only splits its lines, and
// saving it beside a loop that only writes its bytes. Files live in /dev/shm
// where a sync costs nothing; the cost of the save's sync on disk is measured
// on its own.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "file.h"
#include "results.h"

namespace {

constexpr int levelCount = 100000;

std::string scratch(const char* dir, const char* name) {
    return std::string(dir) + "/boxtolo-bench-" + std::to_string(getpid()) + "-" + name;
}

// A file of many levels of assorted sizes; written once, removed at the end.
const std::string& levelFile() {
    static std::string path;
    if (path.empty()) {
        path = scratch("/dev/shm", "levels.txt");
        std::string text;
        for (int i = 0; i < levelCount; i++) {
            int width = 5 + i % 15;
            int height = 3 + i % 9;
            text += "; Szint " + std::to_string(i) + "\n";
            for (int row = 0; row < height; row++) {
                std::string line(width, row == 0 || row == height - 1 ? '#' : ' ');
                line.front() = line.back() = '#';
                if (row == 1) {
                    line[1] = '@';
                    if (width > 4) {
                        line[2] = '$';
                        line[3] = '.';
                    }
                }
                text += line + "\n";
            }
            text += "\n";
        }
        FILE* file = std::fopen(path.c_str(), "wb");
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    }
    return path;
}

long long fileSize(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "rb");
    std::fseek(file, 0, SEEK_END);
    long long size = std::ftell(file);
    std::fclose(file);
    return size;
}

void BM_LoadLevels(benchmark::State& state) {
    std::string path = levelFile();
    size_t heldBefore = mallinfo2().uordblks;
    size_t held = 0;
    for (auto _ : state) {
        LoadLevelResult loaded = loadLevel(path.data());
        benchmark::DoNotOptimize(loaded.level);
        state.PauseTiming();
        held = mallinfo2().uordblks - heldBefore;
        unloadLevel(loaded.level);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * fileSize(path));
    // What a loaded level holds on the heap, and what the largest level the
    // game makes (19 x 11, a 63-byte name) would, both with malloc's header.
    state.counters["bytes_per_level"] = static_cast<double>(held) / levelCount;
    Level* largest = newLevel(Coordinates{19, 11}, std::string(63, 'x').c_str(), 63);
    state.counters["largest_level_bytes"] =
        static_cast<double>(malloc_usable_size(largest) + malloc_usable_size(largest->tiles) +
                            malloc_usable_size(largest->name) + 3 * sizeof(size_t));
    unloadLevel(largest);
}

// Reads the same file and finds its lines, nothing more.
void BM_BareLineLoop(benchmark::State& state) {
    std::string path = levelFile();
    char buffer[65536];
    for (auto _ : state) {
        int fd = open(path.c_str(), O_RDONLY);
        long lines = 0;
        ssize_t got;
        while ((got = read(fd, buffer, sizeof buffer)) > 0) {
            const char* p = buffer;
            const char* end = buffer + got;
            while ((p = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)))) != nullptr) {
                lines++;
                p++;
            }
        }
        close(fd);
        benchmark::DoNotOptimize(lines);
    }
    state.SetBytesProcessed(state.iterations() * fileSize(path));
}

void BM_SaveLevels(benchmark::State& state) {
    std::string path = levelFile();
    LoadLevelResult loaded = loadLevel(path.data());
    std::string target = scratch("/dev/shm", "saved.txt");
    for (auto _ : state) {
        benchmark::DoNotOptimize(saveLevel(loaded.level, target.data()));
    }
    state.SetBytesProcessed(state.iterations() * fileSize(target));
    unloadLevel(loaded.level);
    std::remove(target.c_str());
}

// Writes the same bytes to a new file in chunks, nothing more.
void BM_BareWriteLoop(benchmark::State& state) {
    std::string path = levelFile();
    std::vector<char> bytes(static_cast<size_t>(fileSize(path)) + 16);
    FILE* in = std::fopen(path.c_str(), "rb");
    size_t size = std::fread(bytes.data(), 1, bytes.size(), in);
    std::fclose(in);
    std::string target = scratch("/dev/shm", "bare.txt");
    for (auto _ : state) {
        int fd = open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        for (size_t done = 0; done < size;) {
            size_t chunk = size - done < 65536 ? size - done : 65536;
            ssize_t wrote = write(fd, bytes.data() + done, chunk);
            if (wrote <= 0) {
                break;
            }
            done += static_cast<size_t>(wrote);
        }
        close(fd);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<long long>(size));
    std::remove(target.c_str());
}

// What the save's fsync adds on a real disk, for the same amount of data.
void BM_SyncOnDisk(benchmark::State& state) {
    std::string path = levelFile();
    std::vector<char> bytes(static_cast<size_t>(fileSize(path)));
    std::string target = scratch("/tmp", "sync.txt");
    for (auto _ : state) {
        state.PauseTiming();
        int fd = open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (write(fd, bytes.data(), bytes.size()) < 0) {
            state.SkipWithError("write failed");
        }
        state.ResumeTiming();
        fsync(fd);
        state.PauseTiming();
        close(fd);
        state.ResumeTiming();
    }
    std::remove(target.c_str());
}

// A level's first start kept in a records file of 60 MB: the new line
// added, not the file written anew.
void BM_FirstStartOnALargeRecordsFile(benchmark::State& state) {
    std::string dir = scratch("/tmp", "records");
    std::string path = dir + "/eredmenyek.txt";
    std::string command = "mkdir -p '" + dir + "'";
    if (std::system(command.c_str()) != 0) {
        state.SkipWithError("no folder");
        return;
    }
    std::string text;
    for (uint64_t i = 0; text.size() < (size_t{60} << 20); i++) {
        char line[64];
        std::snprintf(line, sizeof line, "%016llx P 3 1 lrR\n", static_cast<unsigned long long>(i * 7919 + 1));
        text += line;
    }
    FILE* file = std::fopen(path.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
    uint64_t identity = 1ull << 62;
    for (auto _ : state) {
        recordStart(path, ++identity, "#####|#@$.#|#####");
    }
    command = "rm -rf '" + dir + "'";
    if (std::system(command.c_str()) != 0) {
        state.SkipWithError("not removed");
    }
}

BENCHMARK(BM_LoadLevels)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_BareLineLoop)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_SaveLevels)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_BareWriteLoop)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_SyncOnDisk)->Unit(benchmark::kMillisecond)->Repetitions(3)->Iterations(3)->ReportAggregatesOnly(true);
BENCHMARK(BM_FirstStartOnALargeRecordsFile)->Unit(benchmark::kMillisecond)->Iterations(10)->Repetitions(3)->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::remove(levelFile().c_str());
    return 0;
}
