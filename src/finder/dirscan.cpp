#include "finder/dirscan.h"

#include "platform/filesearch.h"
#include "platform/forms.h"

namespace {

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
                if (e.Attr() & (faDirectory | faVolumeID)) continue;
                entry_.Name = e.Name();
                entry_.Attr = e.Attr();
                entry_.Size = static_cast<std::int64_t>(e.Size());
                entry_.Time = e.Time();
                if (!callback_(path_, entry_)) return false;
            }
        }
        if (!subdirs_) return true;
        // Hidden and system directories do not pass this filter.
        for (TFileSearch dirs(path_ + "*.*", faDirectory); dirs.Found(); dirs.Next()) {
            IFileFind& e = dirs.Entry();
            // A link may lead back to an ancestor; it is never followed.
            if ((e.Attr() & (faDirectory | faReparsePoint)) != faDirectory) continue;
            const std::string& name = e.Name();
            if (name == "." || name == "..") continue;
            path_ += name;
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

void ScanDirectory(const std::string& directory, const std::string& mask, bool includeSubdirs,
                   const TScanCallback& callback) {
    IOperatingSystem& os = Application->OS();
    const char delim = os.PathDelimiter();
    std::string path = directory.empty() ? os.GetCurrentDir() : directory;
    if (path.empty() || (path.back() != delim && path.back() != '/')) path += delim;
    Scanner(std::move(path), mask.empty() ? "*.*" : mask, includeSubdirs, callback, delim).scan();
}
