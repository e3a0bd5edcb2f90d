// A real temp directory holding the configuration file, a headless
// application object and the main window built from that file.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "core/start.h"
#include "platform/headless/headless.h"
#include "platform/inifiles.h"

class TempDir {
public:
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "tolvek-XXXXXX").string();
        path_ = ::mkdtemp(tmpl.data());
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(path_, ec);
    }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class Fixture {
public:
    // `ini` is written as the configuration file before the window is made.
    explicit Fixture(const std::string& ini, TMenuVariant variant = TMenuVariant::Full,
                     std::vector<std::string> extraArgs = {}) {
        rig().windowsDir = dir.path();
        iniPath = dir.file("tolvek.ini");
        writeFile(iniPath, ini);
        args.push_back(iniPath);
        for (auto& a : extraArgs) args.push_back(a);
        form = app.CreateForm<TTolvekForm>(variant, iniPath, args);
    }

    TTolvekForm& main() { return *form; }
    headless::Rig& rig() { return headless::rig(); }
    std::string ini(const std::string& section, const std::string& key, const std::string& def = "<missing>") {
        return TIniFile(app.OS(), iniPath).ReadString(section, key, def);
    }
    std::string bytes() { return readFile(iniPath); }
    // Captions of an item's children, top to bottom.
    static std::vector<std::string> captions(TMenuItem& item) {
        std::vector<std::string> out;
        for (int i = 0; i < item.Count(); ++i) out.push_back(item.Items(i)->Caption);
        return out;
    }

    TempDir dir;
    TApplication app;
    std::string iniPath;
    std::vector<std::string> args;
    TTolvekForm* form = nullptr;
};
