// Building the 65535-entry menu from one parse of the configuration file.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "core/start.h"
#include "platform/headless/headless.h"

namespace {
std::string largeIni() {
    std::string ini = "[ALLINFO]\r\nTotalEntries=65535\r\n[PROGRAMS]\r\n";
    for (int i = 1; i <= 65535; ++i) {
        std::string n = std::to_string(i);
        ini += "Name" + n + "=Entry " + n + "\r\nProgName" + n + "=C:\\TOOLS\\P" + n + ".EXE\r\nParam" + n +
               "=/x $C:\\WORK\r\nShortCut" + n + "=\r\n";
    }
    return ini;
}

struct IniFileOnDisk {
    IniFileOnDisk() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "tolvek-bench-XXXXXX").string();
        dir = ::mkdtemp(tmpl.data());
        path = dir + "/large.ini";
        std::ofstream(path, std::ios::binary) << largeIni();
    }
    ~IniFileOnDisk() { std::filesystem::remove_all(dir); }
    std::string dir, path;
};

void BM_ParseLargeProfile(benchmark::State& state) {
    const std::string bytes = largeIni();
    for (auto _ : state) benchmark::DoNotOptimize(TProfileData::Parse(bytes));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_ParseLargeProfile)->Unit(benchmark::kMillisecond);

// Files of 5 to 100 MB in 1000-key sections with 80-byte values: how the
// parse scales with the size.
std::string profileOfSize(std::size_t bytes) {
    std::string text = "[FIRST]\r\nkey=first value\r\n";
    const std::string pad(80, 'p');
    for (std::size_t i = 0; text.size() < bytes; ++i) {
        if (i % 1000 == 0) text += "[S" + std::to_string(i / 1000) + "]\r\n";
        text += "Key" + std::to_string(i) + "=" + pad + "\r\n";
    }
    return text;
}

void BM_ParseProfileOfSize(benchmark::State& state) {
    const std::string bytes = profileOfSize(static_cast<std::size_t>(state.range(0)) * 1'000'000);
    for (auto _ : state) benchmark::DoNotOptimize(TProfileData::Parse(bytes));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_ParseProfileOfSize)->Arg(5)->Arg(25)->Arg(50)->Arg(100)->Unit(benchmark::kMillisecond);

void BM_BuildLargeMenu(benchmark::State& state) {
    IniFileOnDisk file;
    for (auto _ : state) {
        auto app = std::make_unique<TApplication>();
        auto* form = app->CreateForm<TTolvekForm>(TMenuVariant::Full, file.path, std::vector<std::string>{file.path});
        if (form->Popit.Items().Count() != 65535 + 6) state.SkipWithError("menu incomplete");
        form->History.reset();  // nothing to save between rounds
        // Tearing the window down is not part of building it.
        state.PauseTiming();
        app.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_BuildLargeMenu)->Unit(benchmark::kMillisecond);
}  // namespace

BENCHMARK_MAIN();
