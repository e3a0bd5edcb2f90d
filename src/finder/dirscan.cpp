#include "finder/dirscan.h"

#include <algorithm>

#include "platform/filesearch.h"
#include "platform/forms.h"

namespace {

// What the directory pass may enter. Links may lead back to an ancestor and
// are never followed; other reparse points hold the directory's own data.
bool enterable(IFileFind& e) {
    const std::uint32_t attr = e.Attr();
    if ((attr & (faDirectory | faHidden | faSysFile | faVolumeID)) != faDirectory) return false;
    if ((attr & faReparsePoint) && IsLinkTag(e.ReparseTag())) return false;
    const std::string& name = e.Name();
    return name != "." && name != "..";
}

void fill(TSearchRec& rec, IFileFind& e) {
    rec.Name = e.Name();
    rec.Attr = e.Attr();
    rec.Size = static_cast<std::int64_t>(e.Size());
    rec.Time = e.Time();
}

bool isFile(IFileFind& e) {
    return !(e.Attr() & (faDirectory | faVolumeID));
}

std::string startPath(const std::string& directory, char delim) {
    std::string path = directory.empty() ? Application->OS().GetCurrentDir() : directory;
    if (path.empty() || (path.back() != delim && path.back() != '/')) path += delim;
    return path;
}

class Scanner {
public:
    Scanner(std::string path, std::string mask, bool subdirs, const TScanCallback& callback, char delim)
        : path_(std::move(path)), mask_(std::move(mask)), subdirs_(subdirs), callback_(callback), delim_(delim) {}

    // False when the callback stopped the walk.
    bool scan() {
        const std::size_t length = path_.size();
        {
            TFileSearch files(path_ + mask_, faAnyFile);
            for (; files.Found(); files.Next()) {
                IFileFind& e = files.Entry();
                if (!isFile(e)) continue;
                fill(entry_, e);
                if (!callback_(path_, entry_)) return false;
            }
        }
        if (!subdirs_) return true;
        // Hidden and system directories do not pass this filter.
        for (TFileSearch dirs(path_ + "*.*", faDirectory); dirs.Found(); dirs.Next()) {
            IFileFind& e = dirs.Entry();
            if (!enterable(e)) continue;
            path_ += e.Name();
            path_ += delim_;
            const bool completed = scan();
            path_.resize(length);
            if (!completed) return false;
        }
        return true;
    }

private:
    std::string path_;  // one string for every level, cut back in place
    std::string mask_;
    bool subdirs_;
    const TScanCallback& callback_;
    char delim_;
    TSearchRec entry_;
};

}  // namespace

void ScanDirectorySequential(const std::string& directory, const std::string& mask, bool includeSubdirs,
                             const TScanCallback& callback) {
    const char delim = Application->OS().PathDelimiter();
    Scanner(startPath(directory, delim), mask.empty() ? "*.*" : mask, includeSubdirs, callback, delim).scan();
}

void ScanDirectory(const std::string& directory, const std::string& mask, bool includeSubdirs,
                   const TScanCallback& callback) {
    TDirectoryScan scan(directory, mask, includeSubdirs);
    while (scan.Deliver(callback, std::chrono::steady_clock::time_point::max()) == TScanProgress::Waiting) scan.Wait();
}

// ---- the threaded walk ----
//
// Workers read whole directories (files that match, subdirectories to
// enter) into nodes of a tree that the walk then reports from, depth first.
// The directories still to read, and those being read, form a list in walk
// order: a directory read is replaced in it by its subdirectories, so the
// first one not yet taken is always the one the walk needs next, else the
// nearest after it.

struct TDirectoryScan::Node {
    Node* parent = nullptr;
    std::string name;  // ending in the separator; the root's is the whole start path
    std::vector<TSearchRec> files;
    std::unique_ptr<Node[]> children;
    std::size_t childCount = 0;
    std::exception_ptr error;
    // In the list to read, under lock_.
    Node* prev = nullptr;
    Node* next = nullptr;
    bool taken = false;
    // Set once the rest is final; the walk looks without the lock.
    std::atomic<bool> ready{false};
};

TDirectoryScan::TDirectoryScan(const std::string& directory, const std::string& mask, bool includeSubdirs,
                               std::function<void()> onReady, unsigned workers, std::size_t readAhead)
    : mask_(mask.empty() ? "*.*" : mask),
      subdirs_(includeSubdirs),
      everyName_(mask_ == "*" || mask_ == "*.*"),
      delim_(Application->OS().PathDelimiter()),
      onReady_(std::move(onReady)),
      readAhead_(std::max<std::size_t>(readAhead, 1)),
      batch_(std::max<std::size_t>(readAhead_ / 8, 1)),
      root_(std::make_unique<Node>()) {
    root_->name = startPath(directory, delim_);
    path_ = root_->name;
    queue_ = root_.get();
    stack_.push_back({root_.get(), 0});
    // One more than the cores: a worker waiting for the disk leaves its
    // core to another.
    if (workers == 0) workers = std::clamp(std::thread::hardware_concurrency() + 1, 2u, 8u);
    // Without subdirectories there is one directory to read.
    if (!subdirs_) workers = 1;
    workers_.reserve(workers);
    try {
        for (unsigned i = 0; i < workers; ++i) workers_.emplace_back([this] { work(); });
    } catch (...) {
        // No destructor runs for a constructor that throws: the started
        // workers must be joined here.
        Stop();
        throw;
    }
}

TDirectoryScan::~TDirectoryScan() {
    Stop();
}

void TDirectoryScan::Stop() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        stop_ = true;
    }
    work_.notify_all();
    ready_.notify_all();
    for (std::thread& t : workers_) t.join();
    workers_.clear();
}

// Past at most one taken directory a worker.
TDirectoryScan::Node* TDirectoryScan::firstToRead() const {
    Node* node = queue_;
    while (node && node->taken) node = node->next;
    return node;
}

void TDirectoryScan::replaceByChildren(Node& node) {
    Node* before = node.prev;
    for (std::size_t i = 0; i < node.childCount; ++i) {
        Node& child = node.children[i];
        child.prev = before;
        (before ? before->next : queue_) = &child;
        before = &child;
    }
    (before ? before->next : queue_) = node.next;
    if (node.next) node.next->prev = before;
}

void TDirectoryScan::work() {
    // Kept from directory to directory, so that their room is reused.
    std::string pattern;
    std::vector<TSearchRec> files;
    std::vector<std::string> dirs;
    std::unique_lock<std::mutex> hold(lock_);
    for (;;) {
        Node* node = nullptr;
        // The directory the walk waits for is read even past the limit:
        // nodes read out of order must not hold it up for ever.
        work_.wait(hold, [&] {
            if (stop_) return true;
            node = firstToRead();
            return node && (ahead_ < readAhead_ || node == awaited_);
        });
        if (stop_) return;
        node->taken = true;
        ++ahead_;
        hold.unlock();
        try {
            read(*node, pattern, files, dirs);
        } catch (...) {
            node->files.clear();
            node->children.reset();
            node->childCount = 0;
            node->error = std::current_exception();
        }
        hold.lock();
        replaceByChildren(*node);
        const bool more = node->childCount > 1;
        const bool awaited = node == awaited_;
        // From here on the walk may report the node and free it.
        node->ready.store(true, std::memory_order_release);
        if (more) work_.notify_all();
        if (awaited) {
            ready_.notify_one();
            if (onReady_) {
                hold.unlock();
                onReady_();
                hold.lock();
            }
        }
    }
}

void TDirectoryScan::read(Node& node, std::string& pattern, std::vector<TSearchRec>& files,
                          std::vector<std::string>& dirs) {
    // The path from the names up the tree: a directory's ancestors stay
    // until everything under them is reported.
    std::size_t length = 0;
    for (const Node* n = &node; n; n = n->parent) length += n->name.size();
    pattern.resize(length);
    for (const Node* n = &node; n; n = n->parent) {
        length -= n->name.size();
        pattern.replace(length, n->name.size(), n->name);
    }
    length = pattern.size();
    files.clear();
    dirs.clear();
    const auto addDir = [&](IFileFind& e) {
        dirs.push_back(e.Name());
        dirs.back() += delim_;
    };
    if (everyName_) {
        // The mask matches every name, so one search serves both passes.
        pattern += mask_;
        for (TFileSearch all(pattern, faAnyFile); all.Found() && !stop_; all.Next()) {
            IFileFind& e = all.Entry();
            if (isFile(e))
                fill(files.emplace_back(), e);
            else if (subdirs_ && enterable(e))
                addDir(e);
        }
    } else {
        pattern += mask_;
        for (TFileSearch found(pattern, faAnyFile); found.Found() && !stop_; found.Next())
            if (isFile(found.Entry())) fill(files.emplace_back(), found.Entry());
        if (subdirs_) {
            pattern.resize(length);
            pattern += "*.*";
            for (TFileSearch all(pattern, faDirectory); all.Found() && !stop_; all.Next())
                if (enterable(all.Entry())) addDir(all.Entry());
        }
    }
    node.files.assign(std::make_move_iterator(files.begin()), std::make_move_iterator(files.end()));
    if (dirs.empty()) return;
    node.children = std::make_unique<Node[]>(dirs.size());
    node.childCount = dirs.size();
    for (std::size_t i = 0; i < dirs.size(); ++i) {
        node.children[i].parent = &node;
        node.children[i].name = std::move(dirs[i]);
    }
}

// Tells the workers how many directories the walk has done with.
void TDirectoryScan::publish() {
    if (reported_ == 0) return;
    bool limited;
    {
        std::lock_guard<std::mutex> hold(lock_);
        limited = ahead_ >= readAhead_;
        ahead_ -= reported_;
    }
    reported_ = 0;
    if (limited) work_.notify_all();
}

TScanProgress TDirectoryScan::Deliver(const TScanCallback& callback, std::chrono::steady_clock::time_point until) {
    if (stopped_) return TScanProgress::Stopped;
    const bool timed = until != std::chrono::steady_clock::time_point::max();
    unsigned sinceClock = 0;
    const auto timeUp = [&] { return timed && ++sinceClock % 64 == 0 && std::chrono::steady_clock::now() >= until; };
    const auto pause = [&](TScanProgress progress) {
        publish();
        return progress;
    };
    while (!stack_.empty()) {
        Frame& frame = stack_.back();
        Node& node = *frame.node;
        if (!frame.entered) {
            if (!node.ready.load(std::memory_order_acquire)) {
                publish();
                std::lock_guard<std::mutex> hold(lock_);
                if (!node.ready.load(std::memory_order_acquire)) {
                    awaited_ = &node;
                    waited_ = true;
                    work_.notify_one();
                    return TScanProgress::Waiting;
                }
            }
            if (waited_) {
                std::lock_guard<std::mutex> hold(lock_);
                awaited_ = nullptr;
                waited_ = false;
            }
            frame.entered = true;
            if (node.error) {
                stopped_ = true;
                std::rethrow_exception(node.error);
            }
        }
        while (frame.nextFile < node.files.size()) {
            if (!callback(path_, node.files[frame.nextFile++])) {
                stopped_ = true;
                Stop();
                return TScanProgress::Stopped;
            }
            if (timeUp()) return pause(TScanProgress::More);
        }
        if (!frame.counted) {
            frame.counted = true;
            std::vector<TSearchRec>().swap(node.files);
            if (++reported_ >= batch_) publish();
        }
        if (frame.nextChild < node.childCount) {
            Node& child = node.children[frame.nextChild++];
            stack_.push_back({&child, path_.size()});
            path_ += child.name;
            if (timeUp()) return pause(TScanProgress::More);
            continue;
        }
        // The subtree is done: nothing refers to it any more.
        path_.resize(frame.pathLength);
        node.children.reset();
        node.childCount = 0;
        stack_.pop_back();
        if (stack_.empty()) root_.reset();
    }
    return pause(TScanProgress::Completed);
}

void TDirectoryScan::Wait() {
    std::unique_lock<std::mutex> hold(lock_);
    ready_.wait(hold, [&] { return stop_ || !awaited_ || awaited_->ready.load(std::memory_order_acquire); });
}
