// The directory scanner against `find -iname` on the same tree in the same
// run, and the result store's growth against std::vector's.
//
// The tree: 100 directories of 50 subdirectories each (5,100 directories),
// 20 files in every subdirectory (100,000 files), a quarter of them *.txt.
// Run bench/compare_find.sh for the ratios; targets: the scanner within 1.2
// times find's time, the store within 2 times the vector's.
//
// Measured with `bench/compare_find.sh build/scan_bench 10` (Release, g++ 12,
// 2-core VM, ext4, medians): ScanDirectory 263 ms, find -iname 276 ms (0.95);
// TSearchArray growth 232 ms, std::vector 179 ms (1.30).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "finder/dirscan.h"
#include "finder/srcharr.h"
#include "platform/forms.h"
#include "platform/headless/headless.h"

extern char** environ;

namespace {

constexpr int kTop = 100, kSub = 50, kFiles = 20;
constexpr const char* kMask = "*.TXT";
constexpr int kExpectedMatches = kTop * kSub * kFiles / 4;

// Made in a new temp directory, or in $TOLVEK_SCAN_TREE (kept afterwards)
// when that names a directory, so that other tools can time the same tree.
class Tree {
public:
    Tree() {
        if (const char* given = std::getenv("TOLVEK_SCAN_TREE"); given && *given) {
            root_ = given;
            keep_ = true;
            if (std::filesystem::exists(root_ + "/top099/sub49/file19.cpp")) return;
        } else {
            std::string tmpl = (std::filesystem::temp_directory_path() / "tolvek-scan-XXXXXX").string();
            root_ = ::mkdtemp(tmpl.data());
        }
        const char* exts[] = {".txt", ".dat", ".log", ".cpp"};
        char name[64];
        for (int t = 0; t < kTop; ++t)
            for (int s = 0; s < kSub; ++s) {
                std::snprintf(name, sizeof name, "/top%03d/sub%02d", t, s);
                const std::string dir = root_ + name;
                std::filesystem::create_directories(dir);
                for (int f = 0; f < kFiles; ++f) {
                    std::snprintf(name, sizeof name, "/file%02d%s", f, exts[f % 4]);
                    std::ofstream(dir + name) << 'x';
                }
            }
    }
    ~Tree() {
        if (!keep_) std::filesystem::remove_all(root_);
    }
    const std::string& root() const { return root_; }

private:
    std::string root_;
    bool keep_ = false;
};

const Tree& tree() {
    static Tree t;
    return t;
}

void BM_ScanDirectory(benchmark::State& state) {
    const std::string root = tree().root();
    TApplication app;
    for (auto _ : state) {
        int found = 0;
        ScanDirectory(root, kMask, true, [&](const std::string&, const TSearchRec&) {
            ++found;
            return true;
        });
        if (found != kExpectedMatches) state.SkipWithError("wrong number of matches");
        headless::rig().searchPatterns.clear();
    }
}
BENCHMARK(BM_ScanDirectory)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same search by find(1), its output thrown away; the time includes
// starting the process, a millisecond or so. On a busy machine compare the
// CPU times: the scanner's CPU column against find_cpu_ms.
void BM_FindIname(benchmark::State& state) {
    const std::string root = tree().root();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    std::string a0 = "find", a2 = "-iname", a3 = kMask;
    std::string a1 = root;
    char* argv[] = {a0.data(), a1.data(), a2.data(), a3.data(), nullptr};
    double childCpu = 0;
    for (auto _ : state) {
        pid_t pid = 0;
        if (posix_spawnp(&pid, "find", &actions, nullptr, argv, environ) != 0) {
            state.SkipWithError("cannot start find");
            break;
        }
        int status = 0;
        rusage usage{};
        ::wait4(pid, &status, 0, &usage);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) state.SkipWithError("find failed");
        childCpu += static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                    static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    }
    posix_spawn_file_actions_destroy(&actions);
    // The CPU column counts this process only; find's own time is here.
    state.counters["find_cpu_ms"] = benchmark::Counter(childCpu / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_FindIname)->Unit(benchmark::kMillisecond)->UseRealTime();

TExtSearchRec sample(std::int32_t i) {
    TExtSearchRec r;
    r.Attr = 0x20;
    r.Time = 0x30E96B2F;
    r.Size = i;
    r.Name = "file000042.txt";
    r.Path = "C:\\SOME\\DIR\\";
    return r;
}

constexpr std::int32_t kRecords = 1'000'000;

// As the Find File window fills it: bounds 0..100, increment 10, then a trim.
void BM_SearchArrayGrowth(benchmark::State& state) {
    for (auto _ : state) {
        TSearchArray store(0, 100, 10);
        for (std::int32_t i = 0; i < kRecords; ++i) store.SetItem(i, sample(i));
        store.Resize(0, kRecords - 1);
        benchmark::DoNotOptimize(store.High());
    }
}
BENCHMARK(BM_SearchArrayGrowth)->Unit(benchmark::kMillisecond);

void BM_VectorGrowth(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<TExtSearchRec> v;
        for (std::int32_t i = 0; i < kRecords; ++i) v.push_back(sample(i));
        benchmark::DoNotOptimize(v.data());
    }
}
BENCHMARK(BM_VectorGrowth)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
