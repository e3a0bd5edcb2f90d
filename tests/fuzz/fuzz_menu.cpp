// The main window built from an arbitrary configuration file: no crash, no
// unbounded recursion or growth, and a menu tree of bounded size.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/start.h"
#include "platform/headless/headless.h"
#include "fuzz_temp.h"

namespace {

// Entries the configuration can name (TotalEntries and the ranges are 16-bit)
// once each at the top and once below a group, plus the fixed items.
constexpr std::size_t kMaxItems = 200000;

std::size_t countItems(TMenuItem& root) {
    // Iterative: the depth is what is under test.
    std::size_t count = 0;
    std::vector<TMenuItem*> pending{&root};
    while (!pending.empty()) {
        TMenuItem* item = pending.back();
        pending.pop_back();
        for (int i = 0; i < item->Count(); ++i) {
            ++count;
            pending.push_back(item->Items(i));
        }
    }
    return count;
}

std::size_t depthOf(TMenuItem& root) {
    std::size_t deepest = 0;
    std::vector<std::pair<TMenuItem*, std::size_t>> pending{{&root, 0}};
    while (!pending.empty()) {
        auto [item, depth] = pending.back();
        pending.pop_back();
        if (depth > deepest) deepest = depth;
        for (int i = 0; i < item->Count(); ++i) pending.push_back({item->Items(i), depth + 1});
    }
    return deepest;
}

// One file in a private temp directory for every run; removed at exit.
const std::string& iniPath() {
    static const TFuzzTempFile file("menu", "tolvek.ini");
    return file.Path();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = iniPath();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    TApplication app;
    headless::rig().windowsDir = std::filesystem::path(path).parent_path().string();
    // A failed build (a group range that is no number) is reported in a
    // message box and the window still comes up.
    auto* form = app.CreateForm<TTolvekForm>(TMenuVariant::Full, path, std::vector<std::string>{path});
    TMenuItem& root = form->Popit.Items();
    const std::size_t items = countItems(root);
    if (items > kMaxItems) {
        std::fprintf(stderr, "menu has %zu items\n", items);
        std::abort();
    }
    // Nesting is cut at 64 long groups below a top entry and its submenu entry.
    const std::size_t depth = depthOf(root);
    if (depth > 67) {
        std::fprintf(stderr, "menu is %zu levels deep\n", depth);
        std::abort();
    }
    // The fixed items stay at the bottom, whatever the entries above them.
    if (root.Count() < 6 || root.Items(root.Count() - 1) != form->Shutdown1) {
        std::fprintf(stderr, "fixed items missing\n");
        std::abort();
    }
    // Showing the window runs the "Startup" group; starts are recorded.
    form->FormShow(nullptr);
    form->History.reset();  // nothing to save into the temp file
    return 0;
}
