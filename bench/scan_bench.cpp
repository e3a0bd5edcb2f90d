// The directory scanner and the result store.
//
//   scan_bench --make DIR FILES   generates a tree of FILES files (a multiple
//                                 of 20,000) under DIR, a quarter of them *.txt
//   scan_bench --scan DIR MASK [--sequential]
//                                 prints the full path of every file that
//                                 ScanDirectory (or the sequential walk)
//                                 reports, as fd and find print theirs
//   scan_bench [benchmark flags]  Google Benchmark: both walks on a tree of
//                                 100,000 files, and the result store's
//                                 growth against std::vector's
//
// bench/compare_find.sh times the scanner against fd and find in rounds.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "finder/dirscan.h"
#include "finder/srcharr.h"
#include "platform/forms.h"
#include "platform/headless/headless.h"

namespace {

constexpr const char* kMask = "*.TXT";

// Directories of 20 files each (five of every twenty *.txt), 50 to a
// parent: 100,000 files make 100 parents of 50 directories.
void makeTree(const std::string& root, int files) {
    const char* exts[] = {".txt", ".dat", ".log", ".cpp"};
    char name[64];
    for (int leaf = 0; leaf < files / 20; ++leaf) {
        std::snprintf(name, sizeof name, "/top%03d/sub%02d", leaf / 50, leaf % 50);
        const std::string dir = root + name;
        std::filesystem::create_directories(dir);
        for (int f = 0; f < 20; ++f) {
            std::snprintf(name, sizeof name, "/file%02d%s", f, exts[f % 4]);
            std::ofstream(dir + name) << 'x';
        }
    }
}

int scanOnce(const std::string& root, const std::string& mask, bool sequential) {
    TApplication app;
    // The unit tests' record of every search is no part of a scan.
    headless::rig().recordSearches = false;
    static char buffer[1 << 16];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    const TScanCallback print = [](const std::string& path, const TSearchRec& e) {
        std::fwrite(path.data(), 1, path.size(), stdout);
        std::fwrite(e.Name.data(), 1, e.Name.size(), stdout);
        std::fputc('\n', stdout);
        return true;
    };
    (sequential ? ScanDirectorySequential : ScanDirectory)(root, mask, true, print);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

class Tree {
public:
    Tree() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "tolvek-scan-XXXXXX").string();
        root_ = ::mkdtemp(tmpl.data());
        makeTree(root_, 100'000);
    }
    ~Tree() { std::filesystem::remove_all(root_); }
    const std::string& root() const { return root_; }

private:
    std::string root_;
};

const Tree& tree() {
    static Tree t;
    return t;
}

template <bool Sequential>
void BM_Scan(benchmark::State& state) {
    const std::string root = tree().root();
    TApplication app;
    headless::rig().recordSearches = false;
    for (auto _ : state) {
        int found = 0;
        (Sequential ? ScanDirectorySequential : ScanDirectory)(root, kMask, true,
                                                               [&](const std::string&, const TSearchRec&) {
                                                                   ++found;
                                                                   return true;
                                                               });
        if (found != 25'000) state.SkipWithError("wrong number of matches");
    }
}
BENCHMARK(BM_Scan<false>)->Name("BM_ScanDirectory")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Scan<true>)->Name("BM_ScanDirectorySequential")->Unit(benchmark::kMillisecond)->UseRealTime();

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

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--make") == 0) {
        makeTree(argv[2], std::atoi(argv[3]));
        return 0;
    }
    if ((argc == 4 || argc == 5) && std::strcmp(argv[1], "--scan") == 0)
        return scanOnce(argv[2], argv[3], argc == 5 && std::strcmp(argv[4], "--sequential") == 0);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
