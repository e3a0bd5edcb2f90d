// The directory scanner: walks a tree from a starting directory and reports
// every file whose name matches a wildcard mask, depth first, in pre-order.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

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
// Hidden and system directories and links (symbolic links, junctions, mount
// points) are never entered. Directories are read ahead on worker threads;
// the callback runs on the caller's thread, in the order of the walk.
void ScanDirectory(const std::string& directory, const std::string& mask, bool includeSubdirs,
                   const TScanCallback& callback);

// The same walk on the caller's thread alone, each directory searched as it
// is reached; the reference for the threaded walk.
void ScanDirectorySequential(const std::string& directory, const std::string& mask, bool includeSubdirs,
                             const TScanCallback& callback);

enum class TScanProgress {
    More,       // the time given is up; more is ready
    Waiting,    // the next directory is still being read
    Completed,  // every file was reported
    Stopped,    // the callback returned false
};

// One walk in steps, for a caller that must keep its window answering:
// Deliver reports what the workers have read, in walk order, and returns
// instead of blocking. `onReady`, called on a worker thread, says that a
// walk that was Waiting can go on.
class TDirectoryScan {
public:
    // Directories read ahead of the walk at most, so that memory stays
    // bounded however wide or deep the tree is.
    static constexpr std::size_t kReadAhead = 512;

    // `workers` 0: one a core and one more, two to eight.
    TDirectoryScan(const std::string& directory, const std::string& mask, bool includeSubdirs,
                   std::function<void()> onReady = {}, unsigned workers = 0, std::size_t readAhead = kReadAhead);
    TDirectoryScan(const TDirectoryScan&) = delete;
    TDirectoryScan& operator=(const TDirectoryScan&) = delete;
    // Stops and joins the workers.
    ~TDirectoryScan();

    // An error that reading a directory raised surfaces here, where the walk
    // reaches that directory.
    TScanProgress Deliver(const TScanCallback& callback, std::chrono::steady_clock::time_point until);
    // Blocks while the walk is Waiting.
    void Wait();
    // Ends the workers; their open searches are closed when this returns.
    void Stop();

private:
    struct Node;
    struct Frame {
        Node* node;
        std::size_t pathLength;  // of the walk's path before this directory's name
        std::size_t nextFile = 0;
        std::size_t nextChild = 0;
        bool entered = false;  // read, and its error raised if it had one
        bool counted = false;  // its files reported
    };

    void work();
    void read(Node& node, std::string& pattern, std::vector<TSearchRec>& files, std::vector<std::string>& dirs);
    Node* firstToRead() const;
    void replaceByChildren(Node& node);
    void publish();

    std::string mask_;
    bool subdirs_;
    bool everyName_;  // the mask matches every name: one search a directory serves both passes
    char delim_;
    std::function<void()> onReady_;
    std::size_t readAhead_;
    std::size_t batch_;  // reported directories that the walk tells the workers of at once

    std::mutex lock_;
    std::condition_variable work_;   // workers: something to read, or stop
    std::condition_variable ready_;  // the walk: the awaited directory is read
    Node* queue_ = nullptr;          // directories to read and being read, a list in walk order
    std::size_t ahead_ = 0;          // read or being read, not yet reported (as far as told)
    Node* awaited_ = nullptr;        // the directory the walk waits for
    std::atomic<bool> stop_{false};

    std::unique_ptr<Node> root_;
    std::vector<Frame> stack_;  // the walk's position, the root first
    std::string path_;          // the walk's directory, ending in the separator
    std::size_t reported_ = 0;  // directories reported and not yet told to the workers
    bool waited_ = false;       // awaited_ is the walk's, to be cleared
    bool stopped_ = false;
    std::vector<std::thread> workers_;
};
