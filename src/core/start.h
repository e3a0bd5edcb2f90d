// The main button window: one borderless button whose popup menu holds the
// configured entries above the fixed items.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/program.h"
#include "core/tvlaunch.h"
#include "platform/forms.h"
#include "platform/inifiles.h"
#include "platform/menus.h"

constexpr int kHistorySlots = 10;
constexpr const char* kDefaultStartDir = "C:\\";

// "Invalid Filename"
class ETolvekError : public Exception {
public:
    using Exception::Exception;
};

// A failed change of the current directory.
class EInOutError : public Exception {
public:
    using Exception::Exception;
};
constexpr int kButtonWidth = 105;
constexpr int kButtonHeight = 27;

class TTolvekForm : public TForm {
public:
    TTolvekForm(TMenuVariant variant, std::string configFileName, std::vector<std::string> args);
    ~TTolvekForm() override;

    TBitBtn spdTvk{this};
    TPopupMenu Popit{this};
    TTvLauncher tvGo{this};

    // Fixed items, owned by Popit; the compact build has only the "&Tolvek"
    // submenu, so the others stay null there.
    TMenuItem *N3 = nullptr, *Run1 = nullptr, *Setup1 = nullptr, *SystemMeter1 = nullptr, *TimeDate1 = nullptr,
              *FindFile1 = nullptr, *AnalogClock1 = nullptr, *N2 = nullptr;
    TMenuItem *Help = nullptr, *Help2 = nullptr, *Help1 = nullptr, *Howtouse1 = nullptr, *Version1 = nullptr,
              *N5 = nullptr, *AlwaysPopup1 = nullptr, *HandleBar1 = nullptr, *StayOnTop1 = nullptr;
    TMenuItem *Shutdown1 = nullptr, *RebootWindows1 = nullptr, *RebootComputer1 = nullptr, *RestartWindows1 = nullptr,
              *N1 = nullptr, *CloseTolvek1 = nullptr;

    // The ten Run slots; released once saved.
    std::optional<std::vector<std::string>> History;
    TForm* ClockWindow = nullptr;
    bool Shell = false;
    bool QuickClose = false;

    const std::string& ConfigFileName() const { return configFileName_; }
    TMenuVariant Variant() const { return variant_; }

    // Handlers, named as the form declares them.
    void spdTvkClick(TObject* sender);
    void spdTvkMouseMove(TObject* sender, TShiftState shift, int x, int y);
    void FormMouseMove(TObject* sender, TShiftState shift, int x, int y);
    void PopitPopup(TObject* sender);
    void FormCreate(TObject* sender);
    void FormShow(TObject* sender);
    void FormActivate(TObject* sender);
    void FormDeactivate(TObject* sender);
    void FormCloseQuery(TObject* sender, bool& canClose);
    void FormDestroy(TObject* sender);
    void AlwaysPopup1Click(TObject* sender);
    void HandleBar1Click(TObject* sender);
    void StayOnTop1Click(TObject* sender);
    void CloseTolvek1Click(TObject* sender);
    void Howtouse1Click(TObject* sender);
    void Help1Click(TObject* sender);
    void Run1Click(TObject* sender);
    void SystemMeter1Click(TObject* sender);
    void TimeDate1Click(TObject* sender);
    void FindFile1Click(TObject* sender);
    void AnalogClock1Click(TObject* sender);
    void Version1Click(TObject* sender);
    void EndWindows1Click(TObject* sender);
    void RestartWindows1Click(TObject* sender);
    void RebootComputer1Click(TObject* sender);
    void UnknownMetaClick(TObject* sender);
    void ClockWindowClosed();

    // Reads the window settings and builds the configured entries.
    void LoadSettings();
    // Builds "LONGPROGRAMS" entry `number` with its children into `parent`.
    void AddLongMenuEntry(TIniFile& ini, TMenuItem& parent, std::uint16_t number);
    void RunEntry(TMenuItem* item);
    void AssignMetaCommand(TMenuItem* item);
    void RunTypedCommand(const std::string& program, const std::string& parameters);
    void ShowWinExecError(Word code);
    void AddToHistory(const std::string& entry);
    void SaveHistory();

private:
    enum class Section { Programs, SubPrograms, LongPrograms };
    std::unique_ptr<TMenuItem> buildEntry(TIniFile& ini, Section section, std::uint16_t number, TComponent* owner);
    void buildFixedMenu();
    TMenuItem* addItem(TMenuItem& parent, const char* name, const char* caption, const char* shortcut,
                       void (TTolvekForm::*handler)(TObject*));
    void correctPosition();
    void resetLauncher();
    // The launcher is reset after every start, also after a refused one.
    void launchAndReset();
    void loadHistory();

    TMenuVariant variant_;
    std::string configFileName_;
    std::vector<std::string> args_;
    // "LONGPROGRAMS" numbers on the path being built, to stop cycles.
    std::vector<std::uint16_t> longPath_;
    std::size_t builtChildren_ = 0;  // submenu items built so far by LoadSettings
};

// The start-up path after the command line has been read; TolvekMain
// creates the application object and calls this.
int RunTolvek(TApplication& app, const std::vector<std::string>& args, TMenuVariant variant);
