#include "platform/filectrl.h"

#include <algorithm>

#include "platform/filesearch.h"
#include "platform/forms.h"

namespace {

constexpr Word VK_RETURN = 13;

bool isDelim(char c) {
    return c == '\\' || c == '/';
}

// The root ("C:\", "\\server\share\", "/") and the names below it.
void splitPath(const std::string& path, std::string& root, std::vector<std::string>& names) {
    std::size_t i = 0;
    if (path.size() >= 2 && path[1] == ':') {
        i = path.size() >= 3 && isDelim(path[2]) ? 3 : 2;
    } else if (path.size() >= 2 && isDelim(path[0]) && isDelim(path[1])) {
        int seen = 0;  // the server and the share belong to the root
        for (i = 2; i < path.size() && seen < 2; ++i)
            if (isDelim(path[i])) ++seen;
    } else if (!path.empty() && isDelim(path[0])) {
        i = 1;
    }
    root = path.substr(0, i);
    names.clear();
    std::string name;
    for (; i <= path.size(); ++i) {
        if (i == path.size() || isDelim(path[i])) {
            if (!name.empty()) names.push_back(std::move(name));
            name.clear();
        } else {
            name += path[i];
        }
    }
}

std::string withDelim(std::string dir) {
    if (!dir.empty() && !isDelim(dir.back())) dir += Application->OS().PathDelimiter();
    return dir;
}

}  // namespace

std::string ExtractFileDrive(const std::string& path) {
    if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2);
    return {};
}

// ---- TDirectoryListBox ----

TDirectoryListBox::TDirectoryListBox(TControl* parent) : TControl(parent, TControlKind::DirectoryList) {}

void TDirectoryListBox::ReadCurrentDirectory() {
    directory_ = Application->OS().GetCurrentDir();
    rebuild();
}

void TDirectoryListBox::SetDirectory(const std::string& dir) {
    if (!Application->OS().SetCurrentDir(dir)) throw EDirectoryError("Cannot open the directory " + dir);
    ReadCurrentDirectory();
}

void TDirectoryListBox::rebuild() {
    std::string root;
    std::vector<std::string> names;
    splitPath(directory_, root, names);
    items_.clear();
    chainPaths_.clear();
    const char delim = Application->OS().PathDelimiter();
    std::string path = root;
    if (!root.empty()) {
        items_.push_back(root);
        chainPaths_.push_back(root);
    }
    for (const std::string& name : names) {
        if (!path.empty() && !isDelim(path.back())) path += delim;
        path += name;
        items_.push_back(name);
        chainPaths_.push_back(path);
    }
    openCount_ = static_cast<int>(items_.size());

    std::vector<std::string> subdirs;
    for (TFileSearch s(withDelim(directory_) + "*.*", faDirectory); s.Found(); s.Next()) {
        const std::string& name = s.Entry().Name();
        if ((s.Entry().Attr() & faDirectory) && name != "." && name != "..") subdirs.push_back(name);
    }
    std::sort(subdirs.begin(), subdirs.end(),
              [](const std::string& a, const std::string& b) { return UpperCase(a) < UpperCase(b); });
    items_.insert(items_.end(), subdirs.begin(), subdirs.end());
    itemIndex_ = openCount_ - 1;
    Changed(TControlChange::Items);
    if (OnChange) OnChange(this);
}

std::string TDirectoryListBox::ItemPath(int index) const {
    if (index < 0 || index >= static_cast<int>(items_.size())) return {};
    if (index < openCount_) return chainPaths_[static_cast<std::size_t>(index)];
    return withDelim(directory_) + items_[static_cast<std::size_t>(index)];
}

void TDirectoryListBox::SetItemIndex(int index) {
    itemIndex_ = index;
    Changed(TControlChange::Items);
}

void TDirectoryListBox::OpenItem(int index) {
    if (index < 0 || index >= static_cast<int>(items_.size())) return;
    SetDirectory(ItemPath(index));
}

bool TDirectoryListBox::DoKeyDown(Word& key, TShiftState shift) {
    if (TControl::DoKeyDown(key, shift)) return true;
    if (key != VK_RETURN || shift) return false;
    key = 0;
    OpenItem(itemIndex_);
    return true;
}

// ---- TDriveComboBox ----

TDriveComboBox::TDriveComboBox(TControl* parent)
    : TControl(parent, TControlKind::DriveCombo), drives_(Application->OS().LogicalDrives()) {
    drive_ = LowerCase(ExtractFileDrive(Application->OS().GetCurrentDir()));
    SetText(drive_);
}

void TDriveComboBox::SetDrive(std::string drive) {
    drive_ = LowerCase(drive);
    SetText(drive_);
}

void TDriveComboBox::DriveChosenByUser(const std::string& drive) {
    if (!DirList) {
        SetDrive(drive);
    } else {
        try {
            // The bare drive name reaches that drive's own current directory.
            DirList->SetDirectory(drive);
            SetDrive(drive);
        } catch (...) {
            SetDrive(ExtractFileDrive(DirList->Directory()));
            throw;
        }
    }
    if (OnChange) OnChange(this);
}

// ---- MinimizeName ----

namespace {
// "\a\b\" becomes "\...\b\", and "\...\b\" becomes "\...\".
std::string cutFirstDirectory(std::string s, char delim) {
    const bool root = !s.empty() && isDelim(s.front());
    if (root) s.erase(0, 1);
    if (s.starts_with("...") && s.size() > 3 && isDelim(s[3])) s.erase(0, 4);
    auto p = std::find_if(s.begin(), s.end(), isDelim);
    if (p != s.end()) {
        s.erase(s.begin(), p + 1);
        s = std::string("...") + delim + s;
    } else {
        s.clear();
    }
    if (root) s = delim + s;
    return s;
}
}  // namespace

std::string MinimizeName(const std::string& path, int maxWidth, const std::function<int(const std::string&)>& width) {
    auto lastDelim = std::find_if(path.rbegin(), path.rend(), isDelim);
    if (lastDelim == path.rend()) return path;
    const char delim = *lastDelim;
    const std::size_t nameAt = static_cast<std::size_t>(path.rend() - lastDelim);
    std::string drive = ExtractFileDrive(path);
    std::string dir = path.substr(drive.size(), nameAt - drive.size());
    const std::string name = path.substr(nameAt);
    const std::string allCut = std::string(1, delim) + "..." + delim;
    while (width(drive + dir + name) > maxWidth) {
        if (dir == allCut) {
            drive.clear();
            dir = std::string("...") + delim;
            break;  // the name is never given up
        }
        if (dir.empty() || dir.size() == 1) {
            if (drive.empty()) break;
            drive.clear();
            continue;
        }
        dir = cutFirstDirectory(dir, delim);
    }
    return drive + dir + name;
}
