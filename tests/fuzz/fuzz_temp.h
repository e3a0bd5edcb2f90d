// A file in a private temporary directory that lives as long as the fuzz
// run: every input is written over it, and the directory goes at exit.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

class TFuzzTempFile {
public:
    TFuzzTempFile(const std::string& tag, const std::string& name) {
        std::string tmpl = (std::filesystem::temp_directory_path() / ("tolvek-fuzz-" + tag + "-XXXXXX")).string();
        dir_ = ::mkdtemp(tmpl.data());
        path_ = dir_ + "/" + name;
    }
    ~TFuzzTempFile() {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    const std::string& Path() const { return path_; }

private:
    std::string dir_, path_;
};
