#include "functions/help.h"

#include "platform/inifiles.h"
#include "tolvek_version.h"

namespace {
const char* const kVersion = "Windows 3.1 Tolvek Button v" TOLVEK_VERSION;

const char* const kHelpText =
    "WHY THIS BUTTON?\r\n"
    "Tolvek puts your programs one click away: a single small button that stays on\r\n"
    "top of your windows and pops up a menu of whatever you choose to start. It\r\n"
    "costs a tiny share of the graphics memory that a full button bar of another\r\n"
    "product takes.\r\n"
    "\r\n"
    "HOW TO USE IT\r\n"
    "Tolvek needs an INI file that sets up the programs it runs. Press \"Sample INI\"\r\n"
    "below to create a sample one for your system, then edit it. Without an INI file\r\n"
    "this window pops up instead of the button, and you have to press \"Sample INI\",\r\n"
    "because Tolvek does not run without the file.\r\n"
    "\r\n"
    "WHERE THE FILE IS\r\n"
    "Started without a file name, Tolvek uses TOLVEK.INI in your Windows folder,\r\n"
    "or your own copy of it in %APPDATA%\\Tolvek when you have one. Where Windows\r\n"
    "does not let you change the Windows folder, Tolvek makes that copy the first\r\n"
    "time it saves something, and \"Sample INI\" writes its sample there too. A file\r\n"
    "named with its folder (C:\\Work\\my.ini) is used just as you name it.\r\n"
    "\r\n"
    "THE FILE, AN EXAMPLE\r\n"
    "   [ALLINFO]\r\n"
    "   TotalEntries=X\r\n"
    "   TotalSubEntries=X\r\n"
    "   [PROGRAMS]\r\n"
    "   NameX=Notepad\r\n"
    "   ProgNameX=C:\\WINDOWS\\NOTEPAD.EXE\r\n"
    "   ParamX=\r\n"
    "   ShortCutX=\r\n"
    "\r\n"
    "WHAT THE KEYS MEAN\r\n"
    "TotalEntries is the number of program entries. The entry keys carry sequential\r\n"
    "numbers: Name1, then Name2, and so on. Name is the title in the menu, ProgName\r\n"
    "the path and program to run, and Param its parameters. ShortCut is written in\r\n"
    "the standard form: Ctrl plus X is written exactly as Ctrl+X. Use each shortcut\r\n"
    "only once.\r\n"
    "\r\n"
    "SEPARATORS\r\n"
    "An entry with the Name \"-\" and the ProgName \"NoVal.exe\" draws a line.\r\n"
    "\r\n"
    "SUBMENUS\r\n"
    "An entry whose ProgName is \"SuperMenu\" opens a submenu. Its Param holds the\r\n"
    "number of the first entry of the [SUBPROGRAMS] list and its ShortCut the number\r\n"
    "of the last. So entry 11 with ProgName11=SuperMenu, Param11=3 and ShortCut11=6\r\n"
    "gives a submenu of sub programs 3 through 6.\r\n"
    "[LONGPROGRAMS] entries work the same way and are reached with \"LongMenu\", from\r\n"
    "[SUBPROGRAMS] or from other [LONGPROGRAMS] entries.\r\n"
    "\r\n"
    "STARTING DIRECTORY\r\n"
    "A program starts in C:\\ unless you say otherwise. To start it in another\r\n"
    "directory, add to the end of Param a blank, a dollar sign and the path, without\r\n"
    "a closing backslash: Param1=readme.txt $D:\\WORK\r\n"
    "\r\n"
    "AN EDITOR?\r\n"
    "An editor for this file exists, but it is not released yet.\r\n"
    "\r\n"
    "LAST WORDS\r\n"
    "Tell us what you think of Tolvek and what you would like it to do. It is free\r\n"
    "to use and to pass on. It comes with no guarantees of any kind: use it at your\r\n"
    "own risk.\r\n";

struct SampleEntry {
    const char* section;
    int n;
    const char *name, *progName, *param, *shortCut;
};

const SampleEntry kSampleEntries[] = {
    {"PROGRAMS", 1, "Notepad", "NOTEPAD.EXE", "", "Ctrl+N"},
    {"PROGRAMS", 2, "Write", "WRITE.EXE", "", "Ctrl+W"},
    {"PROGRAMS", 3, "Dos Prompt", "DOSPRMPT.PIF", "", ""},
    {"PROGRAMS", 4, "File Manager", "WINFILE.EXE", "$C:\\", ""},
    {"PROGRAMS", 5, "System Programs", "SuperMenu", "1", "5"},
    {"PROGRAMS", 6, "Accessories", "SuperMenu", "6", "9"},
    {"SUBPROGRAMS", 1, "Control Panels", "CONTROL.EXE", "", ""},
    {"SUBPROGRAMS", 2, "Print Manager", "PRINTMAN.EXE", "", ""},
    {"SUBPROGRAMS", 3, "System Editor", "SYSEDIT.EXE", "", ""},
    {"SUBPROGRAMS", 4, "Registration Editor", "REGEDIT.EXE", "", ""},
    {"SUBPROGRAMS", 5, "Advanced RegEdit", "REGEDIT.EXE", "/v", ""},
    {"SUBPROGRAMS", 6, "Paint Brush", "PBRUSH.EXE", "", ""},
    {"SUBPROGRAMS", 7, "Calculator", "CALC.EXE", "", ""},
    {"SUBPROGRAMS", 8, "Clock", "CLOCK.EXE", "", ""},
    {"SUBPROGRAMS", 9, "Unknown Options", "LongMenu", "1", "2"},
    {"LONGPROGRAMS", 1, "Task Manager", "TASKMAN.EXE", "", ""},
    {"LONGPROGRAMS", 2, "Control Panel Options", "LongMenu", "3", "6"},
    {"LONGPROGRAMS", 3, "Fonts", "CONTROL.EXE", "Fonts", ""},
    {"LONGPROGRAMS", 4, "Printers", "CONTROL.EXE", "Printers", ""},
    {"LONGPROGRAMS", 5, "Desktop", "CONTROL.EXE", "Desktop", ""},
    {"LONGPROGRAMS", 6, "Mouse", "CONTROL.EXE", "Mouse", ""},
};
}  // namespace

TfrmHelp::TfrmHelp(TComponent* owner) : TForm(owner, "TfrmHelp") {
    Name = "frmHelp";
    SetCaption("Help, About, Etc");
    BorderStyle = TBorderStyle::Dialog;
    BorderIcons = true;
    SetBounds(276, 150, 513, 267);
    FontName = "System";
    FontHeight = 13;
    OnShow = [this](TObject* s) { FormShow(s); };

    Memo1.SetBounds(0, 0, 513, 225);
    Memo1.SetText(kHelpText);
    Memo1.TabOrder = 0;

    spdDone.SetBounds(24, 232, 81, 25);
    spdDone.SetCaption("Dismiss");
    spdDone.HasGlyph = false;
    spdDone.OnClick = [this](TObject* s) { spdDoneClick(s); };

    VersionNumber.SetBounds(112, 232, 289, 25);
    VersionNumber.Alignment = TAlignment::Center;
    VersionNumber.FontName = "Arial";
    VersionNumber.FontHeight = 16;
    VersionNumber.SetCaption(kVersion);

    spdSample.SetBounds(408, 232, 81, 25);
    spdSample.SetCaption("Sample INI");
    spdSample.HasGlyph = false;
    spdSample.OnClick = [this](TObject* s) { spdSampleClick(s); };
}

void TfrmHelp::FormShow(TObject*) { VersionNumber.SetCaption(kVersion); }

void TfrmHelp::spdDoneClick(TObject*) { SetModalResult(mrOk); }

void TfrmHelp::spdSampleClick(TObject*) { WriteSampleConfiguration(); }

void WriteSampleConfiguration() {
    IOperatingSystem& os = Application->OS();
    // Tested where a bare name is read from: the user's own copy or the
    // Windows directory, whatever its name. The writes go to the Windows
    // directory, or to the user's copy where that may not be written.
    if (os.FileExists(ResolveProfilePath(os, "TOLVEK.INI"))) {
        Application->MessageBox("You Already have a \"TOLVEK.INI\" file!  I can't overwrite it!", "Error",
                                MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    TIniFile ini("TOLVEK.INI");
    ini.WriteInteger("ALLINFO", "TotalEntries", 6);
    ini.WriteInteger("ALLINFO", "TotalSubEntries", 9);
    ini.WriteInteger("ALLINFO", "TotalLongEntries", 6);
    for (int i = 1; i <= 10; ++i) ini.WriteString("ALLINFO", "Legacy" + std::to_string(i), "");
    for (int i = 1; i <= 10; ++i) ini.WriteString("SEARCH", "Filter" + std::to_string(i), "");
    for (int i = 1; i <= 10; ++i) ini.WriteString("SEARCH", "StartIn" + std::to_string(i), "");
    for (const SampleEntry& e : kSampleEntries) {
        const std::string n = std::to_string(e.n);
        ini.WriteString(e.section, "Name" + n, e.name);
        ini.WriteString(e.section, "ProgName" + n, e.progName);
        ini.WriteString(e.section, "Param" + n, e.param);
        ini.WriteString(e.section, "ShortCut" + n, e.shortCut);
    }
    ini.WriteString("CONFIG", "Caption", "&Tolvek");
    ini.WriteInteger("CONFIG", "Left", 0);
    ini.WriteInteger("CONFIG", "Top", 0);
    ini.WriteInteger("CONFIG", "StayOnTop", 1);
    ini.WriteInteger("CONFIG", "AlwaysPopup", 0);
    ini.WriteInteger("CONFIG", "Shell", 0);
}

void ShowHelpWindow() {
    TfrmHelp help(nullptr);
    help.ShowModal();
}
