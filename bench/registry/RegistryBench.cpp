// Cost of the registry route's two uses of RegistryKey on a store of realistic size: a read
// (OpenKey, value, close) among 10,000 keys, and a value write with its commit.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "platform/Registry.h"
#include "registry/RegistryKey.h"
#include "support/BenchFolder.h"

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kRead = 0x20019;
constexpr uint32_t kWrite = 0x20006;

std::string KeyPath(int i) {
    return "Software\\Bench\\group" + std::to_string(i / 100) + "\\key" + std::to_string(i);
}

// 10,000 keys in 100 groups, each with a few values.
void Fill(int keys) {
    for (int i = 0; i < keys; ++i) {
        RegistryKey key;
        key.CreateKey(platform::HKEY_CURRENT_USER, KeyPath(i));
        key.value("ip", std::string("192.168.1.") + std::to_string(i % 250));
        key.value("port", std::string("4000"));
    }
}

void OpenReadClose(benchmark::State& state) {
    BenchFolder folder;
    const int keys = static_cast<int>(state.range(0));
    Fill(keys);
    int i = 0;
    for (auto _ : state) {
        RegistryKey key;
        key.OpenKey(platform::HKEY_CURRENT_USER, KeyPath(i), kRead);
        benchmark::DoNotOptimize(key.value("ip"));
        i = (i + 7919) % keys;
    }
}
BENCHMARK(OpenReadClose)->Arg(10000)->Unit(benchmark::kMicrosecond)->Repetitions(5);

void WriteWithCommit(benchmark::State& state) {
    BenchFolder folder;
    Fill(static_cast<int>(state.range(0)));
    RegistryKey key;
    key.OpenKey(platform::HKEY_CURRENT_USER, KeyPath(42), kWrite);
    int n = 0;
    for (auto _ : state) {
        key.value("port", std::to_string(n++));
    }
}
BENCHMARK(WriteWithCommit)->Arg(10000)->Unit(benchmark::kMicrosecond)->Repetitions(5);

}  // namespace

BENCHMARK_MAIN();
