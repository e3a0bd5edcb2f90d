// The in-memory backend: no windows; state lives in the portable objects and
// in the rig that tests read and script.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <stdexcept>

#include "platform/datetime.h"
#include "platform/drivers.h"
#include "platform/filesearch.h"
#include "platform/headless/headless.h"
// The executable's string resources, which the Windows build links in.
#include "core/lnchmsgs.h"

namespace fs = std::filesystem;

namespace {

class AppDriver : public IApplicationDriver {
public:
    headless::Rig rig;

    int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override {
        int answer;
        if (!rig.answers.empty()) {
            answer = rig.answers.front();
            rig.answers.pop_front();
        } else {
            answer = (flags & 0x0F) == MB_OK ? IDOK : IDNO;
        }
        rig.messageBoxes.push_back({text, caption, flags, answer});
        return answer;
    }
    void Run() override {}  // tests drive the forms themselves
    void ProcessMessages() override {
        ++rig.processMessagesCalls;
        if (rig.onProcessMessages) rig.onProcessMessages();
    }
    void Wake() override {
        {
            std::lock_guard<std::mutex> hold(wakeLock_);
            woken_ = true;
        }
        wakeUp_.notify_one();
    }
    void WaitMessageOrWake(unsigned timeoutMs) override {
        std::unique_lock<std::mutex> hold(wakeLock_);
        wakeUp_.wait_for(hold, std::chrono::milliseconds(timeoutMs), [&] { return woken_; });
        woken_ = false;
    }
    void SetCursor(TCursor c) override { rig.cursorShape = c; }
    std::vector<TRect> Monitors() override { return rig.monitors; }
    TPoint CursorPos() override { return rig.cursor; }

private:
    std::mutex wakeLock_;
    std::condition_variable wakeUp_;
    bool woken_ = false;
};

// The rig's search records, which the scanner's workers update.
std::mutex searchLock;

class ControlDriver : public IControlDriver {
public:
    explicit ControlDriver(TControl* c) : control_(c) {}
    void Changed(TControlChange) override { ++headless::rig().changes[control_]; }
    void Repaint() override { ++headless::rig().repaints; }
    // As on Windows, the focus moves at once only within the active form;
    // another form keeps the control for its next activation.
    void SetFocus() override {
        TForm* form = control_->ParentForm();
        if (!form || !control_->CanFocus()) return;
        if (headless::rig().activeForm == form)
            Application->Dispatch([&] { form->FocusArrived(control_); });
        else
            form->SetActiveControl(control_);
    }
    bool Focused() const override {
        TForm* form = control_->ParentForm();
        return Application && form && headless::rig().activeForm == form && form->ActiveControl() == control_;
    }

private:
    TControl* control_;
};

class FormDriver : public IFormDriver {
public:
    explicit FormDriver(TForm* f) : form_(f) {
        if (Application) headless::rig().liveForms.push_back(f);
    }
    ~FormDriver() override {
        if (!Application) return;
        auto& rig = headless::rig();
        if (rig.capture == form_) rig.capture = nullptr;
        if (rig.activeForm == form_) rig.activeForm = nullptr;
        std::erase(rig.modalForms, form_);
        std::erase(rig.liveForms, form_);
    }
    void Repaint() override { ++headless::rig().repaints; }
    void Show() override {
        headless::rig().formsShown.push_back(form_->ClassName());
        activate();
    }
    void Hide() override {
        if (headless::rig().activeForm == form_) headless::rig().activeForm = nullptr;
    }
    int RunModal() override {
        auto& rig = headless::rig();
        rig.modalShown.push_back(form_->ClassName());
        TForm* previous = rig.activeForm;
        rig.modalForms.push_back(form_);
        activate();
        auto it = rig.modalResponders.find(form_->ClassName());
        if (it != rig.modalResponders.end()) it->second(*form_);
        std::erase(rig.modalForms, form_);
        // The activation goes back where it was, if that form still exists.
        const bool alive = std::find(rig.liveForms.begin(), rig.liveForms.end(), previous) != rig.liveForms.end();
        rig.activeForm = alive ? previous : nullptr;
        return form_->ModalResult() == mrNone ? mrCancel : form_->ModalResult();
    }
    void SetMouseCapture(bool capture) override {
        auto& rig = headless::rig();
        if (capture)
            rig.capture = form_;
        else if (rig.capture == form_)
            rig.capture = nullptr;
    }
    int ScreenPixels(int designPixels) const override {
        const int dpi = Application ? headless::rig().dpi : 96;
        // Halves away from zero, as the platform's MulDiv rounds.
        return static_cast<int>(std::lround(designPixels * static_cast<double>(dpi) / 96));
    }

private:
    // The form becomes the active one, and the focus goes into it.
    void activate() {
        headless::rig().activeForm = form_;
        if (TControl* c = form_->ControlToFocus()) Application->Dispatch([&] { form_->FocusArrived(c); });
    }

    TForm* form_;
};

// What a user can choose in `menu`: an enabled, visible command of it.
bool choosable(TPopupMenu& menu, const TMenuItem* item) {
    if (item->IsLine() || item->Count() > 0) return false;
    for (const TMenuItem* i = item; i != &menu.Items(); i = i->Parent())
        if (!i || !i->Visible || !i->Enabled) return false;
    return true;
}

class MenuDriver : public IMenuDriver {
public:
    explicit MenuDriver(TPopupMenu* m) : menu_(m) {}
    TMenuItem* Popup(int x, int y) override {
        auto& rig = headless::rig();
        rig.popups.push_back({x, y});
        TMenuItem* chosen = rig.popupResponder ? rig.popupResponder(*menu_) : nullptr;
        return chosen && choosable(*menu_, chosen) ? chosen : nullptr;
    }

private:
    TPopupMenu* menu_;
};

class TimerDriver : public ITimerDriver {
public:
    explicit TimerDriver(TTimer* t) : timer_(t) {}
    ~TimerDriver() override { Set(0); }
    void Set(unsigned interval) override {
        if (!Application) return;
        auto& rig = headless::rig();
        if (interval == 0 || rig.refuseTimers)
            rig.timers.erase(timer_);
        else
            rig.timers[timer_] = {interval, rig.now + interval};
    }

private:
    TTimer* timer_;
};

class DialogDriver : public IDialogDriver {
public:
    bool Execute(TOpenDialog& dialog) override {
        auto& rig = headless::rig();
        rig.dialogsShown.push_back(dialog.Title);
        return rig.dialogResponder && rig.dialogResponder(dialog);
    }
};

// A real search whose attributes the rig may amend, counted while open.
class RiggedFind : public IFileFind {
public:
    RiggedFind(std::unique_ptr<IFileFind> find, std::string dir) : find_(std::move(find)), dir_(std::move(dir)) {
        std::lock_guard<std::mutex> hold(searchLock);
        ++headless::rig().openSearches;
    }
    ~RiggedFind() override {
        std::lock_guard<std::mutex> hold(searchLock);
        if (Application) --headless::rig().openSearches;
    }
    bool Next() override { return find_->Next(); }
    const std::string& Name() const override { return find_->Name(); }
    std::uint32_t Attr() override {
        std::uint32_t attr = find_->Attr();
        auto& rig = headless::rig();
        if (rig.fileAttributes.empty() && rig.reparseTags.empty()) return attr;
        const std::string path = fs::path(dir_ + Name()).lexically_normal().string();
        if (rig.reparseTags.count(path)) attr |= faReparsePoint;
        auto it = rig.fileAttributes.find(path);
        if (it == rig.fileAttributes.end()) return attr;
        constexpr std::uint32_t own = faDirectory | faReparsePoint;
        return (attr & own) | (it->second & ~own);
    }
    std::uint32_t ReparseTag() override {
        auto& tags = headless::rig().reparseTags;
        auto it = tags.empty() ? tags.end() : tags.find(fs::path(dir_ + Name()).lexically_normal().string());
        return it != tags.end() ? it->second : find_->ReparseTag();
    }
    std::uint64_t Size() override { return find_->Size(); }
    std::int32_t Time() override { return find_->Time(); }

private:
    std::unique_ptr<IFileFind> find_;
    std::string dir_;
};

class FakeOS : public IOperatingSystem {
    // As the platform tells a want of rights from other failures.
    [[noreturn]] static void refuse(int error, const std::string& what) {
        const std::string text = what + ": " + std::strerror(error);
        if (error == EACCES || error == EPERM || error == EROFS) throw EWriteDenied(text);
        throw EFileIOError(text);
    }

public:
    std::unique_ptr<IFileFind> FindFirst(const std::string& pattern) override {
        auto& rig = headless::rig();
        std::unique_ptr<IFileFind> find;
        {
            std::lock_guard<std::mutex> hold(searchLock);
            if (rig.recordSearches) rig.searchPatterns.push_back(pattern);
            if (rig.onFindFirst) rig.onFindFirst(pattern);
            if (rig.findResponder) find = rig.findResponder(pattern);
        }
        if (!rig.findResponder) find = NativeFindFirst(pattern);
        if (!find) return nullptr;
        const auto slash = pattern.rfind('/');
        return std::make_unique<RiggedFind>(std::move(find),
                                            slash == std::string::npos ? "" : pattern.substr(0, slash + 1));
    }
    std::vector<std::string> LogicalDrives() override {
        std::vector<std::string> names;
        for (auto& [name, dir] : headless::rig().drives) names.push_back(name);
        return names;
    }
    char PathDelimiter() override { return '/'; }
    bool FileExists(const std::string& path) override {
        std::error_code ec;
        return fs::is_regular_file(fs::path(path), ec);
    }
    std::string WindowsDirectory() override { return headless::rig().windowsDir; }
    const IAnsiCodePage& AnsiCodePage() override {
        const IAnsiCodePage* codePage = TableCodePage(headless::rig().ansiCodePage);
        if (!codePage) throw std::invalid_argument("the headless backend knows code pages 1252 and 1251 only");
        return *codePage;
    }
    std::optional<std::string> ReadFile(const std::string& path) override {
        ++headless::rig().fileReads;
        std::error_code ec;
        if (!fs::is_regular_file(fs::path(path), ec)) return std::nullopt;
        std::ifstream in(path, std::ios::binary | std::ios::ate);
        if (!in) return std::nullopt;
        std::string bytes(static_cast<std::size_t>(in.tellg()), '\0');
        in.seekg(0);
        in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!in) return std::nullopt;
        return bytes;
    }
    void ReplaceFile(const std::string& path, const std::string& bytes) override {
        auto& rig = headless::rig();
        if (rig.failReplace && rig.failReplace(path)) throw EFileIOError("injected write failure: " + path);
        struct stat st {};
        std::error_code ec;
        const fs::path target = fs::absolute(fs::path(path), ec).lexically_normal();
        if (::stat(path.c_str(), &st) == 0) {
            // Root may write anything; honour the read-only bit as Windows does.
            if (S_ISDIR(st.st_mode)) throw EFileIOError("a directory is in the way: " + path);
            if (!(st.st_mode & S_IWUSR)) throw EFileIOError("read-only: " + path);
            auto attr = rig.fileAttributes.find(target.string());
            if (attr != rig.fileAttributes.end() && (attr->second & faReadOnly))
                throw EFileIOError("read-only attribute: " + path);
        }
        if (auto refused = rig.dirWriteErrors.find(target.parent_path().string()); refused != rig.dirWriteErrors.end())
            refuse(refused->second, "cannot create a file beside " + path);
        std::string tmp = path + ".tmp" + std::to_string(::getpid());
        {
            // A full disk takes what fits and then refuses the rest.
            const bool full = rig.freeSpace && bytes.size() > *rig.freeSpace;
            const std::size_t fits = full ? *rig.freeSpace : bytes.size();
            errno = 0;
            std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
            if (!out) refuse(errno, "cannot create " + tmp);
            rig.tempWrites.push_back({tmp, 0});
            out.write(bytes.data(), static_cast<std::streamsize>(fits));
            out.flush();
            if (out) rig.tempWrites.back().written = fits;
            if (!out || full) {
                out.close();
                std::remove(tmp.c_str());
                throw EFileIOError((full ? "no space left on the device for " : "cannot write ") + tmp);
            }
        }
        if (std::rename(tmp.c_str(), path.c_str()) != 0) {
            std::remove(tmp.c_str());
            throw EFileIOError("cannot replace " + path);
        }
    }
    std::string GetCurrentDir() override { return fs::current_path().string(); }
    std::string FullPath(const std::string& path) override {
        std::error_code ec;
        return fs::absolute(fs::path(path), ec).lexically_normal().string();
    }
    std::string UserDataDirectory() override { return headless::rig().userDataDir; }
    bool CreateDir(const std::string& dir) override {
        std::error_code ec;
        fs::create_directory(fs::path(dir), ec);
        return fs::is_directory(fs::path(dir), ec);
    }
    bool SetCurrentDir(const std::string& dir) override {
        std::error_code ec;
        auto& drives = headless::rig().drives;
        if (auto drive = drives.find(LowerCase(dir)); drive != drives.end()) {
            fs::current_path(fs::path(drive->second), ec);
            return !ec;
        }
        fs::current_path(fs::path(dir), ec);
        return !ec;
    }
    ShellResult ShellExecute(const std::string& file, const std::string& parameters, const std::string& directory,
                             int showCmd) override {
        auto& rig = headless::rig();
        rig.shellCalls.push_back({file, parameters, directory, showCmd});
        headless::ShellReply reply{true, 33, 0};
        if (rig.shellResponder) {
            reply = rig.shellResponder(rig.shellCalls.back());
        } else {
            reply.process = rig.nextProcess++;
            rig.processes[reply.process] = STILL_ACTIVE;
        }
        if (reply.process) rig.openedProcesses.push_back(reply.process);
        return {reply.ok, reply.instApp, reply.process ? TProcessHandle(*this, reply.process) : TProcessHandle()};
    }
    bool GetExitCodeProcess(const TProcessHandle& process, unsigned& exitCode) override {
        auto& rig = headless::rig();
        auto it = rig.processes.find(process.get());
        if (it == rig.processes.end()) return false;
        exitCode = it->second;
        return true;
    }
    unsigned WinExec(const std::string& commandLine, int showCmd) override {
        auto& rig = headless::rig();
        rig.winExecCalls.push_back({commandLine, showCmd, GetCurrentDir()});
        return rig.winExecResult;
    }
    std::string LoadString(unsigned id) override {
#define TOLVEK_LAUNCH_CASE(code, text) \
    case SLaunchBase + (code):         \
        return text;
        switch (id) {
            LAUNCH_MESSAGES(TOLVEK_LAUNCH_CASE)
            default:
                return {};
        }
#undef TOLVEK_LAUNCH_CASE
    }
    FreeResources GetFreeResources() override { return headless::rig().freeResources; }
    bool EnableShutdownPrivilege() override {
        headless::rig().shutdownPrivilege = true;
        return true;
    }
    bool ExitWindowsEx(unsigned flags, unsigned reserved) override {
        auto& rig = headless::rig();
        rig.exitWindowsCalls.push_back({flags, reserved, rig.shutdownPrivilege});
        return true;
    }
    bool WinHelp(const std::string& file, unsigned command, std::uintptr_t data) override {
        headless::rig().helpCalls.push_back({file, command, data, {}});
        return true;
    }
    bool WinHelpKey(const std::string& file, const std::string& keyword) override {
        headless::rig().helpCalls.push_back({file, HELP_KEY, 0, keyword});
        return true;
    }
    TSystemTime GetLocalTime() override {
        auto& rig = headless::rig();
        return AddMilliseconds(rig.localTime, static_cast<std::int64_t>(rig.now - rig.localTimeSetAt));
    }
    std::uint64_t GetTickCount64() override { return headless::rig().now; }
    std::string LongMonthName(int month) override {
        auto& names = headless::rig().longMonthNames;
        return month >= 1 && month <= static_cast<int>(names.size()) ? names[static_cast<std::size_t>(month - 1)] : "";
    }
    std::string TimeSeparator() override { return headless::rig().timeSeparator; }
    std::string LayoutKeyName(Word key) override {
        const auto& layout = headless::rig().keyboardLayout;
        if (!layout) return IOperatingSystem::LayoutKeyName(key);
        auto it = layout->find(key);
        return it == layout->end() ? std::string() : it->second;
    }

private:
    void CloseProcess(std::uintptr_t process) override {
        auto& rig = headless::rig();
        rig.closedProcesses.push_back(process);
        rig.processes.erase(process);
    }
};

}  // namespace

headless::Rig& headless::rig() { return static_cast<AppDriver&>(Application->Driver()).rig; }

void headless::advance(unsigned ms) {
    auto& r = rig();
    const std::uint64_t end = r.now + ms;
    for (;;) {
        // The earliest due timer; a tick may start or stop timers.
        TTimer* due = nullptr;
        std::uint64_t when = end + 1;
        for (auto& [timer, slot] : r.timers)
            if (slot.second < when) {
                when = slot.second;
                due = timer;
            }
        if (!due) break;
        r.now = when;
        r.timers[due].second = when + r.timers[due].first;
        due->Tick();
    }
    r.now = end;
}

void headless::setLocalTime(Word year, Word month, Word day, Word hour, Word minute, Word second, Word msec) {
    auto& r = rig();
    // Through AddMilliseconds, so the day of the week comes out right.
    r.localTime = AddMilliseconds({year, month, 0, day, hour, minute, second, msec}, 0);
    r.localTimeSetAt = r.now;
}

bool TimerRunning(const TTimer& timer) { return headless::rig().timers.count(const_cast<TTimer*>(&timer)) != 0; }

bool headless::pressKey(TForm& form, Word key, TShiftState shift) {
    const auto& modal = rig().modalForms;
    if (!modal.empty() && modal.back() != &form) return false;
    bool used = false;
    Application->Dispatch([&] { used = form.KeyDown(key, shift); });
    return used;
}

std::size_t headless::openProcessHandles() {
    auto& r = rig();
    return r.openedProcesses.size() - r.closedProcesses.size();
}

std::unique_ptr<IControlDriver> newControlDriver(TControl* control) { return std::make_unique<ControlDriver>(control); }
std::unique_ptr<IFormDriver> newFormDriver(TForm* form) { return std::make_unique<FormDriver>(form); }
std::unique_ptr<IMenuDriver> newMenuDriver(TPopupMenu* menu) { return std::make_unique<MenuDriver>(menu); }
std::unique_ptr<IApplicationDriver> newApplicationDriver(TApplication*) { return std::make_unique<AppDriver>(); }
std::unique_ptr<IOperatingSystem> newOperatingSystem() { return std::make_unique<FakeOS>(); }
std::unique_ptr<ITimerDriver> newTimerDriver(TTimer* timer) { return std::make_unique<TimerDriver>(timer); }
std::unique_ptr<IDialogDriver> newDialogDriver(TOpenDialog*) { return std::make_unique<DialogDriver>(); }
