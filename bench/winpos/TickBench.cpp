// Cost of the position keeper's save tick when nothing changed: it compares the window's
// bounds and visibility with what it saved last and must not touch the settings file.

#include <benchmark/benchmark.h>

#include <filesystem>

#include "Fakes.h"
#include "support/BenchFolder.h"
#include "winpos/SavePosition.h"

namespace fs = std::filesystem;

static void SaveTickUnchanged(benchmark::State& state) {
    const BenchFolder folder;

    FakeForm form;
    FakeSite site;
    site.parent = &form;
    winpos::SavePosition control(site);
    control.UserControl_Initialize();
    control.INIT(form, "QUORIXaffich.ini", "PositionFenetre");
    site.timer->onTick();  // restore
    site.timer->onTick();  // first save
    const fs::path file = folder.file("QUORIXaffich.ini");
    const auto written = fs::last_write_time(file);

    for (auto _ : state)
        site.timer->onTick();

    if (fs::last_write_time(file) != written) {
        state.SkipWithError("an unchanged tick wrote the settings file");
    }
}
BENCHMARK(SaveTickUnchanged)->Unit(benchmark::kNanosecond);

BENCHMARK_MAIN();
