// The directory list and the drive selector. Both work on the program's
// current directory: opening a directory changes it, as the classic
// toolkit's file controls do.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/controls.h"

// A directory that could not be opened.
class EDirectoryError : public Exception {
public:
    using Exception::Exception;
};

// The chain of directories from the root down to the current one, then the
// current directory's subdirectories (hidden and system ones left out).
class TDirectoryListBox : public TControl {
public:
    explicit TDirectoryListBox(TControl* parent);

    // The current directory, as the platform gives it (no closing separator
    // except at a root).
    const std::string& Directory() const { return directory_; }
    // Makes `dir` the program's current directory and shows it; throws
    // EDirectoryError, and stays where it was, when that fails.
    void SetDirectory(const std::string& dir);
    // Shows the program's current directory.
    void ReadCurrentDirectory();

    const std::vector<std::string>& Items() const { return items_; }
    // Items 0 to OpenCount() - 1 are the chain; the last of them is current.
    int OpenCount() const { return openCount_; }
    std::string ItemPath(int index) const;

    // The highlighted entry; highlighting opens nothing.
    int ItemIndex() const { return itemIndex_; }
    void SetItemIndex(int index);
    void SelectedByUser(int index) { itemIndex_ = index; }

    // Opening: double-click, or Enter while the list has the focus.
    void OpenItem(int index);
    void DblClick() { OpenItem(itemIndex_); }
    // Enter opens the highlighted entry, before any default button.
    bool WantsKey(Word key, TShiftState shift) const override { return key == 13 && shift == 0; }
    bool DoKeyDown(Word& key, TShiftState shift) override;

    TNotifyEvent OnChange;  // the current directory changed

private:
    void rebuild();

    std::string directory_;
    std::vector<std::string> items_;
    std::vector<std::string> chainPaths_;
    int openCount_ = 0;
    int itemIndex_ = -1;
};

// The drives, "c:" and so on; choosing one makes the linked directory list
// show that drive's current directory. Empty where the platform has none.
class TDriveComboBox : public TControl {
public:
    explicit TDriveComboBox(TControl* parent);

    const std::vector<std::string>& Items() const { return drives_; }
    const std::string& Drive() const { return drive_; }
    // Shows `drive` as chosen, without changing directories.
    void SetDrive(std::string drive);
    // The user chose a drive: the directory list moves there, and the
    // selector goes back to the list's drive when that fails.
    void DriveChosenByUser(const std::string& drive);

    TDirectoryListBox* DirList = nullptr;
    TNotifyEvent OnChange;

private:
    std::vector<std::string> drives_;
    std::string drive_;
};

// `path` shortened to fit `maxWidth`: the directories after the drive give
// way to "..." one at a time from the first (C:\...\c), and at the last the
// drive too (...\c).
std::string MinimizeName(const std::string& path, int maxWidth, const std::function<int(const std::string&)>& width);

// The drive part of a path, "c:", or empty.
std::string ExtractFileDrive(const std::string& path);
