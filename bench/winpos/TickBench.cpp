// Cost of the position keeper's save tick when nothing changed: it compares the window's
// bounds and visibility with what it saved last and must not touch the settings file.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>

#include "Fakes.h"
#include "winpos/SavePosition.h"

namespace fs = std::filesystem;

static void SaveTickUnchanged(benchmark::State& state) {
    std::string folder = fs::temp_directory_path() / "afficheur-bench-XXXXXX";
    ::mkdtemp(folder.data());
    ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);

    FakeForm form;
    FakeSite site;
    site.parent = &form;
    winpos::SavePosition control(site);
    control.UserControl_Initialize();
    control.INIT(form, "QUORIXaffich.ini", "PositionFenetre");
    site.timer->onTick();  // restore
    site.timer->onTick();  // first save
    const auto written = fs::last_write_time(fs::path(folder) / "afficheur" / "QUORIXaffich.ini");

    for (auto _ : state)
        site.timer->onTick();

    if (fs::last_write_time(fs::path(folder) / "afficheur" / "QUORIXaffich.ini") != written) {
        state.SkipWithError("an unchanged tick wrote the settings file");
    }
    fs::remove_all(folder);
}
BENCHMARK(SaveTickUnchanged)->Unit(benchmark::kNanosecond);

BENCHMARK_MAIN();
