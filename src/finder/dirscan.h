// The directory scanner: walks a tree from a starting directory and reports
// every file whose name matches a wildcard mask, depth first, in pre-order.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// A found file as the callback receives it.
struct TSearchRec {
    std::int32_t Time = 0;  // local last-write time, MS-DOS packed
    std::int64_t Size = 0;  // the whole size; files of 2 GiB and more included
    std::uint32_t Attr = 0;
    std::string Name;  // without any directory part
};

// Receives the current path (ending in the separator) and the entry; false
// stops the walk at once.
using TScanCallback = std::function<bool(const std::string& path, const TSearchRec& entry)>;

// `directory` empty: the current directory. `mask` empty: every file.
// Hidden and system directories and directory links are never entered.
void ScanDirectory(const std::string& directory, const std::string& mask, bool includeSubdirs,
                   const TScanCallback& callback);
