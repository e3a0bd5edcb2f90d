// The command text of a menu entry on its way to the shell: the program is
// the text up to the first blank, the parameters follow, and a "$" starts
// the directory; META entries never reach the shell. The launcher passes
// its texts on whole.
//
// Input: the entry's ProgName up to the first line feed, its Param up to the
// next, then the rest as a command text given straight to the launcher.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "core/start.h"
#include "platform/headless/headless.h"
#include "fuzz_temp.h"

namespace {

[[noreturn]] void fail(const char* what, const std::string& text) {
    std::fprintf(stderr, "command property broken: %s [%s]\n", what, text.c_str());
    std::abort();
}

// One file in a private temp directory for every run; removed at exit.
const std::string& iniPath() {
    static const TFuzzTempFile file("command", "tolvek.ini");
    return file.Path();
}

// "META" begins at one of the first four characters, not bytes.
bool namesMeta(const std::string& progName) {
    const std::string upper = UpperCase(progName);
    std::size_t chars = 0;
    for (std::size_t i = 0; i < upper.size() && chars < 4; ++i) {
        if ((static_cast<unsigned char>(upper[i]) & 0xC0) == 0x80) continue;
        if (upper.compare(i, 4, "META") == 0) return true;
        ++chars;
    }
    return false;
}

// What one start of `hint` must have handed to the shell.
void checkSplit(const std::string& hint, const headless::ShellCall& call) {
    const auto space = hint.find(' ');
    if (call.file != hint.substr(0, space)) fail("program is not the text up to the first blank", hint);
    std::string rebuilt = call.file;
    if (space != std::string::npos) {
        rebuilt += " " + call.parameters;
        if (call.parameters.find('$') != std::string::npos) fail("a $ left in the parameters", hint);
        if (hint.find('$', space) != std::string::npos) rebuilt += "$" + call.directory;
        else if (call.directory != kDefaultStartDir) fail("directory without a $", hint);
    } else if (!call.parameters.empty() || call.directory != kDefaultStartDir) {
        fail("parameters or directory from a text without blanks", hint);
    }
    if (rebuilt != hint) fail("program, parameters and directory do not make up the text", hint + " | " + rebuilt);
}

// An item with a META program: an unknown command is reported, and nothing
// reaches the shell.
void checkMeta(TMenuItem& item) {
    const std::string& hint = item.Hint;
    std::string upper = UpperCase(hint);
    if (!upper.empty()) upper.pop_back();
    static const char* const known[] = {"METACLOSE",       "METAFINDFILE",       "METARUN",
                                        "METASYSTEMMETER", "METATIMEDATE",       "METAEXITWINDOWS",
                                        "METARESTARTWINDOWS", "METAREBOOTCOMPUTER", "METAANALOGCLOCK"};
    for (const char* k : known)
        if (upper == k) return;  // a built-in function; its own tests cover it
    auto& rig = headless::rig();
    const std::size_t boxes = rig.messageBoxes.size(), starts = rig.shellCalls.size();
    item.Click();
    if (rig.messageBoxes.size() != boxes + 1 || rig.messageBoxes.back().text != "I don't understand \"" + hint + "\"")
        fail("unknown META command not reported", hint);
    if (rig.shellCalls.size() != starts) fail("a META command reached the shell", hint);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const auto nl1 = input.find('\n');
    const auto nl2 = nl1 == std::string::npos ? std::string::npos : input.find('\n', nl1 + 1);
    const std::string prog = input.substr(0, nl1);
    const std::string param = nl1 == std::string::npos ? std::string() : input.substr(nl1 + 1, nl2 - nl1 - 1);
    const std::string direct = nl2 == std::string::npos ? std::string() : input.substr(nl2 + 1);

    const std::string& path = iniPath();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << "[ALLINFO]\r\nTotalEntries=1\r\n[PROGRAMS]\r\nName1=Entry\r\nProgName1=" << prog
            << "\r\nParam1=" << param << "\r\n";
    }
    TApplication app;
    auto& rig = headless::rig();
    rig.windowsDir = std::filesystem::path(path).parent_path().string();
    auto* form = app.CreateForm<TTolvekForm>(TMenuVariant::Full, path, std::vector<std::string>{path});
    form->History.reset();  // nothing to save into the temp file

    // The entry as the configuration file gave it, when the line rules kept
    // it one entry (a line break inside ends the value).
    const TIniFile ini(app.OS(), path);
    const std::string progRead = ini.ReadString("PROGRAMS", "ProgName1", "");
    const std::string paramRead = ini.ReadString("PROGRAMS", "Param1", "");
    const bool group = progRead.find("SuperMenu") != std::string::npos;
    TMenuItem& root = form->Popit.Items();
    if (!group && prog.find('\r') == std::string::npos && param.find('\r') == std::string::npos) {
        if (root.Count() != 7) fail("the entry is missing", input);
        TMenuItem* entry = root.Items(0);
        const std::string hint = progRead + " " + paramRead;
        if (entry->Hint != hint) fail("hint is not program and parameters", entry->Hint);
        if (namesMeta(progRead)) {
            checkMeta(*entry);
        } else {
            entry->Click();
            if (rig.shellCalls.size() != 1) fail("not exactly one start", hint);
            checkSplit(hint, rig.shellCalls.back());
            if (!form->tvGo.ProgramName.empty() || form->tvGo.StartDir != kDefaultStartDir)
                fail("launcher not reset after the start", hint);
        }
    }

    // Any bytes as a command text, blanks or not.
    {
        const std::size_t before = rig.shellCalls.size();
        TMenuItem item(nullptr);
        item.Hint = direct;
        form->RunEntry(&item);
        if (rig.shellCalls.size() != before + 1) fail("not exactly one start", direct);
        checkSplit(direct, rig.shellCalls.back());
        // The same text as a META entry's.
        form->AssignMetaCommand(&item);
        checkMeta(item);
    }

    // The launcher hands its texts to the shell unchanged.
    {
        TTvLauncher launcher(nullptr);
        launcher.ProgramName = prog;
        launcher.Parameters = param;
        launcher.StartDir = direct;
        launcher.ShowMode = static_cast<TShowMode>(size % 3);
        launcher.Launch();
        const auto& call = rig.shellCalls.back();
        const int show = size % 3 == 1 ? SW_SHOWMAXIMIZED : size % 3 == 2 ? SW_SHOWMINIMIZED : SW_SHOWNORMAL;
        if (call != headless::ShellCall{prog, param, direct, show}) fail("launcher changed its texts", input);
        if (!launcher.Watching() || launcher.HasFinished()) fail("started process not watched", input);
    }
    return 0;
}
