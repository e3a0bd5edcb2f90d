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
// A directory's place in the walk is the list of child positions from the
// root, so the pending directory with the smallest one is always read
// first: the one the walk needs next, else the nearest after it.

struct TDirectoryScan::Node {
    std::string path;                  // ending in the separator
    std::vector<std::uint32_t> place;  // child positions from the root
    std::vector<TSearchRec> files;
    std::vector<std::unique_ptr<Node>> children;
    std::exception_ptr error;
    bool ready = false;  // under lock_
};

TDirectoryScan::TDirectoryScan(const std::string& directory, const std::string& mask, bool includeSubdirs,
                               std::function<void()> onReady, unsigned workers, std::size_t readAhead)
    : mask_(mask.empty() ? "*.*" : mask),
      subdirs_(includeSubdirs),
      everyName_(mask_ == "*" || mask_ == "*.*"),
      delim_(Application->OS().PathDelimiter()),
      onReady_(std::move(onReady)),
      readAhead_(std::max<std::size_t>(readAhead, 1)),
      root_(std::make_unique<Node>()) {
    root_->path = startPath(directory, delim_);
    pending_.push_back(root_.get());
    stack_.push_back({root_.get()});
    // One more than the cores: a worker waiting for the disk leaves its
    // core to another.
    if (workers == 0) workers = std::clamp(std::thread::hardware_concurrency() + 1, 2u, 8u);
    // Without subdirectories there is one directory to read.
    if (!subdirs_) workers = 1;
    workers_.reserve(workers);
    for (unsigned i = 0; i < workers; ++i) workers_.emplace_back([this] { work(); });
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

void TDirectoryScan::work() {
    // For the heap functions: the earliest place comes out on top.
    const auto byPlace = [](const Node* a, const Node* b) { return a->place > b->place; };
    std::unique_lock<std::mutex> hold(lock_);
    for (;;) {
        // The directory the walk waits for is read even past the limit:
        // nodes read out of order must not hold it up for ever.
        work_.wait(hold, [&] {
            return stop_ || (!pending_.empty() && (ahead_ < readAhead_ || pending_.front() == awaited_));
        });
        if (stop_) return;
        std::pop_heap(pending_.begin(), pending_.end(), byPlace);
        Node& node = *pending_.back();
        pending_.pop_back();
        ++ahead_;
        hold.unlock();
        try {
            read(node);
        } catch (...) {
            node.files.clear();
            node.children.clear();
            node.error = std::current_exception();
        }
        hold.lock();
        node.ready = true;
        for (auto& child : node.children) {
            pending_.push_back(child.get());
            std::push_heap(pending_.begin(), pending_.end(), byPlace);
        }
        if (node.children.size() > 1) work_.notify_all();
        if (&node == awaited_) {
            ready_.notify_one();
            if (onReady_) {
                hold.unlock();
                onReady_();
                hold.lock();
            }
        }
    }
}

void TDirectoryScan::read(Node& node) {
    std::vector<std::string> dirs;
    const auto add = [&](IFileFind& e) { fill(node.files.emplace_back(), e); };
    if (everyName_) {
        // The mask matches every name, so one search serves both passes.
        for (TFileSearch all(node.path + mask_, faAnyFile); all.Found() && !stop_; all.Next()) {
            IFileFind& e = all.Entry();
            if (isFile(e))
                add(e);
            else if (subdirs_ && enterable(e))
                dirs.push_back(e.Name());
        }
    } else {
        for (TFileSearch files(node.path + mask_, faAnyFile); files.Found() && !stop_; files.Next())
            if (isFile(files.Entry())) add(files.Entry());
        if (subdirs_)
            for (TFileSearch all(node.path + "*.*", faDirectory); all.Found() && !stop_; all.Next())
                if (enterable(all.Entry())) dirs.push_back(all.Entry().Name());
    }
    node.children.reserve(dirs.size());
    for (std::size_t i = 0; i < dirs.size(); ++i) {
        auto child = std::make_unique<Node>();
        child->path.reserve(node.path.size() + dirs[i].size() + 1);
        child->path = node.path;
        child->path += dirs[i];
        child->path += delim_;
        child->place = node.place;
        child->place.push_back(static_cast<std::uint32_t>(i));
        node.children.push_back(std::move(child));
    }
}

TScanProgress TDirectoryScan::Deliver(const TScanCallback& callback, std::chrono::steady_clock::time_point until) {
    if (stopped_) return TScanProgress::Stopped;
    const bool timed = until != std::chrono::steady_clock::time_point::max();
    unsigned sinceClock = 0;
    const auto timeUp = [&] { return timed && ++sinceClock % 64 == 0 && std::chrono::steady_clock::now() >= until; };
    while (!stack_.empty()) {
        Frame& frame = stack_.back();
        Node& node = *frame.node;
        if (!frame.entered) {
            {
                std::lock_guard<std::mutex> hold(lock_);
                if (!node.ready) {
                    awaited_ = &node;
                    work_.notify_one();
                    return TScanProgress::Waiting;
                }
                awaited_ = nullptr;
            }
            frame.entered = true;
            if (node.error) {
                stopped_ = true;
                std::rethrow_exception(node.error);
            }
        }
        while (frame.nextFile < node.files.size()) {
            if (!callback(node.path, node.files[frame.nextFile++])) {
                stopped_ = true;
                Stop();
                return TScanProgress::Stopped;
            }
            if (timeUp()) return TScanProgress::More;
        }
        if (!frame.counted) {
            frame.counted = true;
            std::vector<TSearchRec>().swap(node.files);
            {
                std::lock_guard<std::mutex> hold(lock_);
                --ahead_;
            }
            work_.notify_one();
        }
        if (frame.nextChild < node.children.size()) {
            Node* child = node.children[frame.nextChild++].get();
            stack_.push_back({child});
            if (timeUp()) return TScanProgress::More;
            continue;
        }
        // The subtree is done: nothing refers to it any more.
        stack_.pop_back();
        if (stack_.empty())
            root_.reset();
        else
            stack_.back().node->children[stack_.back().nextChild - 1].reset();
    }
    return TScanProgress::Completed;
}

void TDirectoryScan::Wait() {
    std::unique_lock<std::mutex> hold(lock_);
    ready_.wait(hold, [&] { return stop_ || !awaited_ || awaited_->ready; });
}
