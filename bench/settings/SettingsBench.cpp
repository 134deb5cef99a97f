// Cost of one settings access through ProfileSetting, on files of the sizes a shop meets,
// and the floor: a plain loop that only opens, reads and scans the same file.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "settings/INI32.h"
#include "support/BenchFolder.h"

namespace fs = std::filesystem;

namespace {

// Writes a file of `keys` keys over ten sections; the key read is in the last section.
std::string MakeFile(const BenchFolder& folder, int keys) {
    const std::string name = "bench" + std::to_string(keys) + ".ini";
    fs::create_directories(folder.file(name).parent_path());
    std::ofstream out(folder.file(name));
    const int perSection = keys / 10;
    for (int s = 0; s < 10; ++s) {
        out << "[section" << s << "]\n";
        for (int k = 0; k < perSection; ++k)
            out << "key" << k << "=value " << k << "\n";
    }
    return name;
}

void ReadMode1(benchmark::State& state) {
    BenchFolder folder;
    const std::string file = MakeFile(folder, static_cast<int>(state.range(0)));
    const std::string key = "key" + std::to_string(state.range(0) / 10 - 1);
    for (auto _ : state) {
        benchmark::DoNotOptimize(INI32::ProfileSetting("section9", key, "d", file, 1));
    }
}
BENCHMARK(ReadMode1)->Arg(20)->Arg(1000)->Unit(benchmark::kMicrosecond);

void FloorRead(benchmark::State& state) {
    // What any reader must pay, and no more: open, read the whole file in one call into a
    // buffer of its size, close, find the line. No parsing, no code page, no allocation
    // beyond the buffer.
    BenchFolder folder;
    const fs::path path = folder.file(MakeFile(folder, static_cast<int>(state.range(0))));
    const std::string needle = "\nkey" + std::to_string(state.range(0) / 10 - 1) + "=";
    std::string buffer;
    for (auto _ : state) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat info {};
        ::fstat(fd, &info);
        buffer.resize(static_cast<std::size_t>(info.st_size));
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        ::close(fd);
        const std::string_view content(buffer.data(), got > 0 ? static_cast<std::size_t>(got) : 0);
        benchmark::DoNotOptimize(content.rfind(needle));
    }
}
BENCHMARK(FloorRead)->Arg(20)->Arg(1000)->Unit(benchmark::kMicrosecond);

void WriteMode0(benchmark::State& state) {
    BenchFolder folder;
    const std::string file = MakeFile(folder, 20);
    int64_t n = 0;
    for (auto _ : state) {
        // A different value each time, so every iteration really writes and flushes.
        INI32::ProfileSetting("section9", "key1", std::to_string(n++), file, 0);
    }
}
BENCHMARK(WriteMode0)->Unit(benchmark::kMicrosecond);

void RecordMode2Existing(benchmark::State& state) {
    BenchFolder folder;
    const std::string file = MakeFile(folder, 20);
    for (auto _ : state) {
        benchmark::DoNotOptimize(INI32::ProfileSetting("section9", "key1", "value 1", file, 2));
    }
}
BENCHMARK(RecordMode2Existing)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
