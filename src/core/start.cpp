#include "core/start.h"

#include "clock/timefrm.h"
#include "functions/help.h"
#include "platform/os.h"
#include "tolvek_version.h"

namespace {
const char* const kCloseQuestion = "This will close your Begin Button.\rAre you sure?";
const char* const kMissingConfig = "Couldn't find a \"TOLVEK.INI\" file!";

bool flagOn(std::int32_t value) { return (value & 0xFF) != 0; }
}  // namespace

TTolvekForm::TTolvekForm(TMenuVariant variant, std::string configFileName, std::vector<std::string> args)
    : TForm(nullptr, "TTolvekForm"),
      variant_(variant),
      configFileName_(std::move(configFileName)),
      args_(std::move(args)) {
    Name = "TolvekForm";
    SetCaption("TOLVEK");
    BorderStyle = TBorderStyle::None;
    BorderIcons = false;
    FontName = "System";
    FontHeight = 13;
    SetBounds(5, 2, 104, 27);
    PopupMenu = &Popit;

    spdTvk.Name = "spdTvk";
    spdTvk.SetBounds(0, 0, kButtonWidth, kButtonHeight);
    spdTvk.SetCaption("&BEGIN");
    spdTvk.PopupMenu = &Popit;
    spdTvk.OnClick = [this](TObject* s) { spdTvkClick(s); };
    spdTvk.OnMouseMove = [this](TObject* s, TShiftState sh, int x, int y) { spdTvkMouseMove(s, sh, x, y); };

    tvGo.Name = "tvGo";
    tvGo.StartDir = kDefaultStartDir;

    Popit.Name = "Popit";
    Popit.AutoPopup = false;
    Popit.OnPopup = [this](TObject* s) { PopitPopup(s); };
    buildFixedMenu();

    OnActivate = [this](TObject* s) { FormActivate(s); };
    OnCloseQuery = [this](TObject* s, bool& c) { FormCloseQuery(s, c); };
    OnCreate = [this](TObject* s) { FormCreate(s); };
    OnDestroy = [this](TObject* s) { FormDestroy(s); };
    OnDeactivate = [this](TObject* s) { FormDeactivate(s); };
    OnShow = [this](TObject* s) { FormShow(s); };
}

TTolvekForm::~TTolvekForm() { DoDestroy(); }

TMenuItem* TTolvekForm::addItem(TMenuItem& parent, const char* name, const char* caption, const char* shortcut,
                                void (TTolvekForm::*handler)(TObject*)) {
    auto item = std::make_unique<TMenuItem>(&parent);
    item->Name = name;
    item->Caption = caption;
    if (shortcut) item->ShortCut = TextToShortCut(shortcut);
    if (handler) item->OnClick = [this, handler](TObject* s) { (this->*handler)(s); };
    return parent.Add(std::move(item));
}

void TTolvekForm::buildFixedMenu() {
    TMenuItem& root = Popit.Items();
    const bool full = variant_ == TMenuVariant::Full;
    if (full) {
        N3 = addItem(root, "N3", "-", nullptr, nullptr);
        Run1 = addItem(root, "Run1", "Run", "Ctrl+R", &TTolvekForm::Run1Click);
        Setup1 = addItem(root, "Setup1", "Functions", nullptr, nullptr);
        SystemMeter1 = addItem(*Setup1, "SystemMeter1", "System Meter", "F1", &TTolvekForm::SystemMeter1Click);
        TimeDate1 = addItem(*Setup1, "TimeDate1", "Time/Date", nullptr, &TTolvekForm::TimeDate1Click);
        FindFile1 = addItem(*Setup1, "FindFile1", "Find File", "Ctrl+F", &TTolvekForm::FindFile1Click);
        AnalogClock1 = addItem(*Setup1, "AnalogClock1", "Analog Clock", nullptr, &TTolvekForm::AnalogClock1Click);
        N2 = addItem(root, "N2", "-", nullptr, nullptr);
    }
    Help = addItem(root, "Help", "&Tolvek", nullptr, nullptr);
    Help2 = addItem(*Help, "Help2", "Help", nullptr, nullptr);
    Help1 = addItem(*Help2, "Help1", "Quick Help", nullptr, &TTolvekForm::Help1Click);
    Howtouse1 = addItem(*Help2, "Howtouse1", "How to use...", "Ctrl+F1", &TTolvekForm::Howtouse1Click);
    Version1 = addItem(*Help2, "Version1", "Version", nullptr, &TTolvekForm::Version1Click);
    N5 = addItem(*Help, "N5", "-", nullptr, nullptr);
    AlwaysPopup1 = addItem(*Help, "AlwaysPopup1", "Always Popup", nullptr, &TTolvekForm::AlwaysPopup1Click);
    HandleBar1 = addItem(*Help, "HandleBar1", "Move Button", nullptr, &TTolvekForm::HandleBar1Click);
    StayOnTop1 = addItem(*Help, "StayOnTop1", "Stay On Top", nullptr, &TTolvekForm::StayOnTop1Click);
    StayOnTop1->Checked = true;
    if (full) {
        Shutdown1 = addItem(root, "Shutdown1", "S&hutdown", nullptr, nullptr);
        RebootWindows1 =
            addItem(*Shutdown1, "RebootWindows1", "Restart Windows", nullptr, &TTolvekForm::RestartWindows1Click);
        RebootComputer1 =
            addItem(*Shutdown1, "RebootComputer1", "Reboot Computer?!?", nullptr, &TTolvekForm::RebootComputer1Click);
        RestartWindows1 =
            addItem(*Shutdown1, "RestartWindows1", "Close Windows", "Shift+F4", &TTolvekForm::EndWindows1Click);
        N1 = addItem(*Shutdown1, "N1", "-", nullptr, nullptr);
        CloseTolvek1 = addItem(*Shutdown1, "CloseTolvek1", "Close Tolvek", nullptr, &TTolvekForm::CloseTolvek1Click);
    }
}

void TTolvekForm::FormCreate(TObject*) {
    Application->SetTitle("Windows 3.1 Tolvek Button v" TOLVEK_VERSION);
    ClockWindow = nullptr;
    TIniFile::ShareParses oneParse;
    loadHistory();
    LoadSettings();
}

void TTolvekForm::FormShow(TObject*) {
    TMenuItem& root = Popit.Items();
    for (int i = 0; i < root.Count(); ++i) {
        TMenuItem* group = root.Items(i);
        if (group->Caption != "Startup") continue;
        for (int k = 0; k < group->Count(); ++k) RunEntry(group->Items(k));
        return;
    }
}

void TTolvekForm::FormActivate(TObject*) {
    if (args_.size() < 2) return;
    for (const std::string& arg : args_)
        if (arg == "/popup") Popit.Popup(Left(), Top());
}

void TTolvekForm::FormDeactivate(TObject*) {
    Repaint();
    Application->ProcessMessages();
}

void TTolvekForm::spdTvkClick(TObject*) {
    Popit.Popup(Left(), Top());
    // The chosen item's action runs before this handler returns.
    Application->ProcessMessages();
}

void TTolvekForm::spdTvkMouseMove(TObject* sender, TShiftState, int, int) {
    if (AlwaysPopup1->Checked) spdTvkClick(sender);
}

void TTolvekForm::FormMouseMove(TObject*, TShiftState, int, int) {
    TPoint p = Application->CursorPos();
    SetBounds(p.x - ScreenPixels(Width()) / 2, p.y - ScreenPixels(Height()) / 2, Width(), Height());
}

void TTolvekForm::PopitPopup(TObject*) { Repaint(); }

void TTolvekForm::AlwaysPopup1Click(TObject*) { AlwaysPopup1->Checked = !AlwaysPopup1->Checked; }

void TTolvekForm::HandleBar1Click(TObject*) {
    HandleBar1->Checked = !HandleBar1->Checked;
    if (HandleBar1->Checked) {
        auto follow = [this](TObject* s, TShiftState sh, int x, int y) { FormMouseMove(s, sh, x, y); };
        OnMouseMove = follow;
        spdTvk.OnMouseMove = follow;
        SetMouseCapture(true);
    } else {
        OnMouseMove = nullptr;
        spdTvk.OnMouseMove = [this](TObject* s, TShiftState sh, int x, int y) { spdTvkMouseMove(s, sh, x, y); };
        SetMouseCapture(false);
    }
}

void TTolvekForm::StayOnTop1Click(TObject*) {
    StayOnTop1->Checked = !StayOnTop1->Checked;
    SetFormStyle(StayOnTop1->Checked ? TFormStyle::StayOnTop : TFormStyle::Normal);
}

void TTolvekForm::CloseTolvek1Click(TObject*) { Close(); }

void TTolvekForm::Howtouse1Click(TObject*) { Application->HelpCommand(HELP_CONTENTS, 0); }

void TTolvekForm::Help1Click(TObject*) { ShowHelpWindow(); }

void TTolvekForm::ClockWindowClosed() { ClockWindow = nullptr; }

void TTolvekForm::FormCloseQuery(TObject*, bool& canClose) {
    if (!QuickClose && Application->MessageBox(kCloseQuestion, "Exit", MB_YESNO) != IDYES) {
        canClose = false;
        return;
    }
    try {
        TIniFile ini(configFileName_);
        ini.WriteInteger("CONFIG", "Left", Left());
        ini.WriteInteger("CONFIG", "Top", Top());
        ini.WriteInteger("CONFIG", "StayOnTop", StayOnTop1->Checked ? 1 : 0);
        ini.WriteInteger("CONFIG", "AlwaysPopup", AlwaysPopup1->Checked ? 1 : 0);
        if (Shell) Application->OS().ExitWindowsEx(EWX_LOGOFF, 0);
        if (History) {
            SaveHistory();
            History.reset();
        }
    } catch (const std::exception& e) {
        // A file must not keep the user from signing out. The history goes
        // unsaved: a second report on the way out would only hold it up.
        if (!SessionEnding()) throw;
        Application->ShowException(e);
        History.reset();
    }
    canClose = true;
}

void TTolvekForm::FormDestroy(TObject*) {
    if (History) {
        SaveHistory();
        History.reset();
    }
}

void TTolvekForm::loadHistory() {
    TIniFile ini(configFileName_);
    History.emplace();
    for (int i = 1; i <= kHistorySlots; ++i)
        History->push_back(ini.ReadString("ALLINFO", "Legacy" + std::to_string(i), ""));
}

void TTolvekForm::SaveHistory() {
    if (!History) return;
    TIniFile ini(configFileName_);
    for (int i = 1; i <= kHistorySlots; ++i)
        ini.WriteString("ALLINFO", "Legacy" + std::to_string(i), (*History)[static_cast<std::size_t>(i - 1)]);
}

void TTolvekForm::LoadSettings() {
    TIniFile ini(configFileName_);
    const auto total = static_cast<std::uint16_t>(ini.ReadInteger("ALLINFO", "TotalEntries", 0));
    spdTvk.SetCaption(ini.ReadString("CONFIG", "Caption", "BEGIN"));
    Application->SetTitle(spdTvk.Caption() + " v" TOLVEK_VERSION);
    Shell = flagOn(ini.ReadInteger("CONFIG", "Shell", 0));
    QuickClose = flagOn(ini.ReadInteger("CONFIG", "QuickClose", 0));
    SetBounds(ini.ReadInteger("CONFIG", "Left", 0), ini.ReadInteger("CONFIG", "Top", 0), Width(), Height());
    StayOnTop1->Checked = flagOn(ini.ReadInteger("CONFIG", "StayOnTop", 0));
    SetFormStyle(StayOnTop1->Checked ? TFormStyle::StayOnTop : TFormStyle::Normal);
    AlwaysPopup1->Checked = flagOn(ini.ReadInteger("CONFIG", "AlwaysPopup", 0));
    try {
        longPath_.clear();
        builtChildren_ = 0;
        for (unsigned n = total; n >= 1; --n)
            Popit.Items().Insert(0, buildEntry(ini, Section::Programs, static_cast<std::uint16_t>(n), &Popit));
    } catch (...) {
        correctPosition();
        throw;
    }
    correctPosition();
}

void TTolvekForm::correctPosition() {
    TPoint p = KeepOnDesktop({Left(), Top()}, {ScreenPixels(Width()), ScreenPixels(Height())},
                             {ScreenPixels(kButtonWidth), ScreenPixels(kButtonHeight)}, Application->Monitors());
    SetBounds(p.x, p.y, Width(), Height());
}

int RunTolvek(TApplication& app, const std::vector<std::string>& args, TMenuVariant variant) {
    // The file is looked for where a bare name resolves: the user's own copy
    // or the Windows directory.
    if (args.empty() && !app.OS().FileExists(ResolveProfilePath(app.OS(), "TOLVEK.INI"))) {
        app.MessageBox(kMissingConfig, "Error", MB_OK);
        ShowHelpWindow();
        return 0;
    }
    app.SetTitle("Window Tolvek");
    app.HelpFile = "TOLVEK.HLP";
    std::string config = args.empty() ? std::string("TOLVEK.INI") : args.front();
    // Browse and the directory picker change the current directory on
    // purpose; a relative name must not follow them. A bare name is not
    // relative to it at all.
    if (!IsBareName(config)) config = app.OS().FullPath(config);
    app.CreateForm<TTolvekForm>(variant, config, args);
    // A clock window that nothing shows; the Analog Clock command makes its own.
    app.CreateForm<TfrmTime>(&app);
    app.Run();
    return 0;
}

int TolvekMain(const std::vector<std::string>& args, TMenuVariant variant) {
    TApplication app;
    return RunTolvek(app, args, variant);
}
