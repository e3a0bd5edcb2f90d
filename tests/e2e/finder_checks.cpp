// The Find File window with the real executable: Ctrl+F opens it, a search
// in a prepared tree fills the grid page by page, the list is saved to a
// file, a found program starts by double-click, "Open With..." hands the
// found path to the Run dialog's program, the picker's "Okay" fills Start
// In, the histories come back when the window is opened again, and a long
// search can be stopped.
// Each session starts its own launcher and leaves nothing running.
#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "checks.h"

namespace e2e {

namespace {

using namespace std::chrono_literals;

constexpr auto kUiTimeout = 5s;
constexpr auto kSearchTimeout = 30s;
constexpr auto kRunTimeout = 15s;

constexpr int kRootFiles = 77;  // with three in subdirectories, 80 match "*.dat"
constexpr int kPageRows = 75;
constexpr int kRowPitch = 25;  // the grid's row height and its line
constexpr int kProgs = 16;

const std::vector<std::string> kTitles = {"Index", "Name", "Attr", "Date", "Size(B)"};

// ---- the prepared tree ----

struct TFileFacts {
    std::string attr;       // the grid's letters, "RA"
    std::string fixedAttr;  // the saved list's four places, "R  A"
    std::string date;       // the short date of the last write
    std::string size;
};

struct TTree {
    std::wstring root;                       // ...\find\tree
    std::wstring sub;                        // ...\tree\sub dir
    std::wstring notes;                      // ...\tree\sub dir\notes one.dat
    std::wstring program;                    // ...\tree\sub dir\Recorder Copy.exe
    std::wstring longFile;                   // a path well past 70 characters
    std::wstring readOnly;                   // one root file with the read-only bit
    std::map<std::string, TFileFacts> dats;  // what "*.dat" finds, by full path
    std::wstring recorder;                   // tolvek-recorder.exe, path without blanks
    std::wstring out;                        // where lists are saved
    std::wstring progs;                      // kProgs copies of the recorder, p01.exe ...
    std::wstring amp;                        // a directory with "&" in its name
};

std::string lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string padRight(const std::string& text, std::size_t width) {
    return text.size() < width ? text + std::string(width - text.size(), ' ') : text;
}

void removeTree(const std::wstring& dir) {
    WIN32_FIND_DATAW data;
    HANDLE h = ::FindFirstFileW(JoinPath(dir, L"*").c_str(), &data);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = JoinPath(dir, name);
            ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(path);
            else
                ::DeleteFileW(path.c_str());
        } while (::FindNextFileW(h, &data));
        ::FindClose(h);
    }
    ::RemoveDirectoryW(dir.c_str());
}

// What the platform says about a file, in the forms the window shows.
bool factsOf(const std::wstring& path, TFileFacts& facts) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
    const DWORD a = data.dwFileAttributes;
    const std::pair<DWORD, char> bits[] = {{FILE_ATTRIBUTE_READONLY, 'R'},
                                           {FILE_ATTRIBUTE_HIDDEN, 'H'},
                                           {FILE_ATTRIBUTE_SYSTEM, 'S'},
                                           {FILE_ATTRIBUTE_ARCHIVE, 'A'}};
    facts.attr.clear();
    facts.fixedAttr.clear();
    for (auto [bit, letter] : bits) {
        if (a & bit) facts.attr += letter;
        facts.fixedAttr += (a & bit) ? letter : ' ';
    }
    FILETIME local{};
    SYSTEMTIME st{};
    ::FileTimeToLocalFileTime(&data.ftLastWriteTime, &local);
    ::FileTimeToSystemTime(&local, &st);
    wchar_t date[80] = {};
    const int n = ::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, date, 80);
    facts.date = n > 1 ? Narrow(std::wstring_view(date, static_cast<std::size_t>(n - 1))) : "";
    facts.size = std::to_string((static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
    return true;
}

std::wstring withoutBlanks(const std::wstring& path) {
    if (path.find(L' ') == std::wstring::npos) return path;
    wchar_t buf[MAX_PATH * 4] = {};
    const DWORD n = ::GetShortPathNameW(path.c_str(), buf, MAX_PATH * 4);
    return n > 0 && n < MAX_PATH * 4 ? std::wstring(buf, n) : path;
}

bool prepareTree(TReport& report, const std::wstring& scratch, TTree& tree) {
    const std::wstring base = JoinPath(scratch, L"find");
    removeTree(base);
    tree.root = JoinPath(base, L"tree");
    tree.sub = JoinPath(tree.root, L"sub dir");
    tree.out = JoinPath(base, L"out");
    tree.progs = JoinPath(base, L"progs");
    tree.amp = JoinPath(base, L"R&D");
    const std::wstring deeper = JoinPath(tree.sub, L"deeper");
    const std::wstring longDir = JoinPath(tree.root, L"a directory whose name is rather long");
    bool ok = true;
    for (const std::wstring& dir : {base, tree.root, tree.sub, tree.out, deeper, longDir, tree.progs, tree.amp})
        ok = ok && ::CreateDirectoryW(dir.c_str(), nullptr);

    std::vector<std::wstring> dats;
    for (int i = 1; i <= kRootFiles; ++i) {
        wchar_t name[32];
        swprintf(name, 32, L"item%03d.dat", i);
        dats.push_back(JoinPath(tree.root, name));
        ok = ok && WriteFileBytes(dats.back(), std::string(static_cast<std::size_t>(i * 3), 'x'));
    }
    tree.notes = JoinPath(tree.sub, L"notes one.dat");
    tree.longFile = JoinPath(longDir, L"and a file name that takes the path past seventy.dat");
    dats.push_back(tree.notes);
    dats.push_back(JoinPath(deeper, L"inner.dat"));
    dats.push_back(tree.longFile);
    ok = ok && WriteFileBytes(tree.notes, "notes\r\n") && WriteFileBytes(dats[kRootFiles + 1], "inner") &&
         WriteFileBytes(tree.longFile, std::string(1234, 'l'));
    // Files the filter must pass over.
    ok = ok && WriteFileBytes(JoinPath(tree.root, L"readme.txt"), "r") &&
         WriteFileBytes(JoinPath(tree.root, L"item078.dat.bak"), "b") &&
         WriteFileBytes(JoinPath(deeper, L"other.bin"), "o");
    tree.readOnly = dats[12];
    ok = ok && ::SetFileAttributesW(tree.readOnly.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);

    const std::wstring recorder = ProgramBeside(L"tolvek-recorder.exe");
    tree.program = JoinPath(tree.sub, L"Recorder Copy.exe");
    bool copied = ::CopyFileW(recorder.c_str(), tree.program.c_str(), FALSE);
    // More than the grid shows at once, each logging its own name when run.
    for (int i = 1; i <= kProgs; ++i) {
        wchar_t name[16];
        swprintf(name, 16, L"p%02d.exe", i);
        copied = copied && ::CopyFileW(recorder.c_str(), JoinPath(tree.progs, name).c_str(), FALSE);
    }
    tree.recorder = withoutBlanks(recorder);
    if (!report.Check("finder.tree-prepared", ok && copied,
                      ok ? "cannot copy " + Narrow(recorder) : "cannot create the tree under " + Narrow(base)))
        return false;
    for (const std::wstring& path : dats) {
        TFileFacts facts;
        if (!factsOf(path, facts)) {
            report.Check("finder.tree-readable", false, "cannot read back " + Narrow(path));
            return false;
        }
        tree.dats[Narrow(path)] = facts;
    }
    if (tree.dats.at(Narrow(tree.readOnly)).attr != "RA")
        report.Note("finder: the read-only file reads back with the attributes " +
                    Show(tree.dats.at(Narrow(tree.readOnly)).attr));
    return true;
}

// ---- poking at the windows ----

// Modifier+key as the target's thread reads it: this thread shares the
// target's input state and holds the modifier down until `done` (the key's
// effect) is seen.
bool postKeyWith(UINT modifier, HWND hwnd, UINT vk, const std::function<bool()>& done) {
    const DWORD self = ::GetCurrentThreadId();
    const DWORD target = ::GetWindowThreadProcessId(hwnd, nullptr);
    const bool attached = ::AttachThreadInput(self, target, TRUE) != FALSE;
    BYTE keys[256] = {};
    ::GetKeyboardState(keys);
    keys[modifier] = 0x80;
    ::SetKeyboardState(keys);
    PostKey(hwnd, vk);
    const bool seen = WaitUntil(done, kUiTimeout);
    keys[modifier] = 0;
    ::SetKeyboardState(keys);
    if (attached) ::AttachThreadInput(self, target, FALSE);
    return seen;
}

bool postCtrlKey(HWND hwnd, UINT vk, const std::function<bool()>& done) {
    return postKeyWith(VK_CONTROL, hwnd, vk, done);
}

void postClick(HWND hwnd, int x, int y) {
    ::PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    ::PostMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

// The child of `form` of class `cls` whose top-left corner is at (left, top)
// of the form's client area.
HWND childAt(HWND form, const wchar_t* cls, int left, int top) {
    for (HWND child : ChildWindows(form, cls)) {
        RECT r{};
        ::GetWindowRect(child, &r);
        POINT p{r.left, r.top};
        ::ScreenToClient(form, &p);
        if (p.x == left && p.y == top) return child;
    }
    return nullptr;
}

HWND buttonCaptioned(HWND form, const std::string& caption) {
    for (HWND child : ChildWindows(form, L"Button"))
        if (TextOf(child) == caption) return child;
    return nullptr;
}

HWND editOf(HWND combo) {
    return combo ? ::FindWindowExW(combo, nullptr, L"Edit", nullptr) : nullptr;
}

std::vector<std::string> comboItems(HWND combo) {
    std::vector<std::string> items;
    DWORD_PTR count = 0;
    if (!::SendMessageTimeoutW(combo, CB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 3000, &count) ||
        count == static_cast<DWORD_PTR>(CB_ERR))
        return {"<unreadable>"};
    for (DWORD_PTR i = 0; i < count; ++i) {
        DWORD_PTR length = 0;
        ::SendMessageTimeoutW(combo, CB_GETLBTEXTLEN, i, 0, SMTO_ABORTIFHUNG, 3000, &length);
        if (length == static_cast<DWORD_PTR>(CB_ERR)) length = 0;
        std::wstring text(length + 1, L'\0');
        DWORD_PTR copied = 0;
        ::SendMessageTimeoutW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG, 3000,
                              &copied);
        text.resize(copied == static_cast<DWORD_PTR>(CB_ERR) ? 0 : std::min<std::size_t>(copied, length));
        items.push_back(Narrow(text));
    }
    return items;
}

std::string join(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items) out += (out.empty() ? "" : ", ") + Show(item);
    return "[" + out + "]";
}

// Clicks into a combo box's edit box, selects what it holds and types
// `text` over it, as a user would; true once the box shows it.
bool typeInto(HWND combo, const std::string& text) {
    HWND edit = editOf(combo);
    if (!edit) return false;
    postClick(edit, 2, 2);
    ::PostMessageW(edit, EM_SETSEL, 0, -1);
    for (wchar_t c : Widen(text)) PostChar(edit, c);
    return WaitUntil([&] { return TextOf(combo) == text; }, kUiTimeout);
}

struct TFinder {
    HWND form = nullptr;
    HWND filter = nullptr, startIn = nullptr;
    HWND findNow = nullptr, close = nullptr, browse = nullptr, prev = nullptr, next = nullptr;
    HWND found = nullptr, pages = nullptr, page = nullptr;
    HWND grid = nullptr;
};

// The controls by their places and captions in the window.
bool controlsOf(HWND form, TFinder& f, std::string& missing) {
    f.form = form;
    f.filter = childAt(form, L"ComboBox", 124, 12);
    f.startIn = childAt(form, L"ComboBox", 124, 40);
    f.findNow = buttonCaptioned(form, "Find Now");
    f.close = buttonCaptioned(form, "Close");
    f.browse = buttonCaptioned(form, "...");
    f.prev = buttonCaptioned(form, "<<");
    f.next = buttonCaptioned(form, ">>");
    f.found = childAt(form, L"Static", 136, 88);
    f.pages = childAt(form, L"Static", 252, 88);
    f.page = childAt(form, L"Static", 408, 88);
    auto grids = ChildWindows(form, L"TStringGrid");
    f.grid = grids.empty() ? nullptr : grids.front();
    const std::pair<HWND, const char*> all[] = {{f.filter, "the filter box at 124, 12"},
                                                {f.startIn, "the Start In box at 124, 40"},
                                                {editOf(f.filter), "the filter box's edit box"},
                                                {editOf(f.startIn), "the Start In box's edit box"},
                                                {f.findNow, "\"Find Now\""},
                                                {f.close, "\"Close\""},
                                                {f.browse, "\"...\""},
                                                {f.prev, "\"<<\""},
                                                {f.next, "\">>\""},
                                                {f.found, "the found label at 136, 88"},
                                                {f.pages, "the pages label at 252, 88"},
                                                {f.page, "the page label at 408, 88"},
                                                {f.grid, "a TStringGrid"}};
    missing.clear();
    for (auto [hwnd, what] : all)
        if (!hwnd) missing += std::string(missing.empty() ? "" : ", ") + what;
    return missing.empty();
}

HWND visibleFinder(DWORD pid) {
    auto list = TopWindows(pid, L"TSearchFrm", true);
    return list.empty() ? nullptr : list.front();
}

// Starts a launcher with `ini` and opens Find File with Ctrl+F.
bool openFinder(TReport& report, const std::string& name, TProcess& process, const std::wstring& exe,
                const std::wstring& ini, HWND& button, TFinder& f) {
    HWND main = StartLauncher(report, name, process, exe, {ini});
    button = main ? ButtonOf(main) : nullptr;
    if (!button) return false;
    HWND form = nullptr;
    postCtrlKey(button, 'F', [&] { return (form = visibleFinder(process.Id())) != nullptr; });
    if (!report.Check(name + ".ctrl-f-opens", form != nullptr, "no visible TSearchFrm window within 5 s of Ctrl+F"))
        return false;
    std::string missing;
    return report.Check(name + ".controls", controlsOf(form, f, missing), "not found: " + missing);
}

// Types both boxes, clicks Find Now and waits for the found label to read
// `expectFound`; false (with the label's text or the message shown) if not.
bool search(const TFinder& f, DWORD pid, const std::string& filter, const std::string& dir,
            const std::string& expectFound, std::string& why) {
    if (!typeInto(f.filter, filter) || !typeInto(f.startIn, dir)) {
        why = "the boxes read " + Show(TextOf(f.filter)) + " and " + Show(TextOf(f.startIn)) + " after typing";
        return false;
    }
    ::PostMessageW(f.findNow, BM_CLICK, 0, 0);
    HWND box = nullptr;
    const bool done = WaitUntil(
        [&] {
            auto boxes = TopWindows(pid, L"#32770", true);
            box = boxes.empty() ? nullptr : boxes.front();
            return box || TextOf(f.found) == expectFound;
        },
        kSearchTimeout);
    if (done && !box) return true;
    why = box ? "a message box came up instead: " + Show(TextOf(box))
              : "the found label reads " + Show(TextOf(f.found)) + " 30 s after Find Now";
    return false;
}

using TRows = std::vector<std::vector<std::string>>;

// The grid's cells, which its window text gives as tab-separated rows.
TRows gridRows(HWND grid) {
    TRows rows;
    const std::string text = TextOf(grid);
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find("\r\n", at);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(at, end - at);
        std::vector<std::string> cells;
        std::size_t from = 0;
        for (;;) {
            const std::size_t tab = line.find('\t', from);
            cells.push_back(line.substr(from, tab == std::string::npos ? std::string::npos : tab - from));
            if (tab == std::string::npos) break;
            from = tab + 1;
        }
        rows.push_back(std::move(cells));
        at = end + 2;
    }
    return rows;
}

std::string describeRow(const std::vector<std::string>& row) {
    return join(row);
}

// One page of the "*.dat" search, checked against the files themselves;
// `seen` collects the paths over the pages.
void checkPage(TReport& report, const std::string& name, const TRows& rows, int firstIndex, int count,
               const TTree& tree, std::set<std::string>& seen) {
    report.Check(name + ".row-count", static_cast<int>(rows.size()) == count + 1,
                 std::to_string(rows.size()) + " rows with the title row, expected " + std::to_string(count + 1));
    report.Check(name + ".titles", !rows.empty() && rows.front() == kTitles,
                 rows.empty() ? "the grid reads empty" : "title row " + describeRow(rows.front()));
    std::string badIndex, badName, badAttr, badDate, badSize, badShape;
    for (std::size_t r = 1; r < rows.size(); ++r) {
        const auto& row = rows[r];
        if (row.size() != 5) {
            if (badShape.empty()) badShape = "row " + std::to_string(r) + " " + describeRow(row);
            continue;
        }
        const std::string wantIndex = std::to_string(firstIndex + static_cast<int>(r) - 1);
        if (row[0] != wantIndex && badIndex.empty())
            badIndex = "row " + std::to_string(r) + " is numbered " + Show(row[0]) + ", expected " + wantIndex;
        auto it = tree.dats.find(row[1]);
        if (it == tree.dats.end() || !seen.insert(row[1]).second) {
            if (badName.empty())
                badName = "row " + std::to_string(r) + " names " + Show(row[1]) +
                          (it == tree.dats.end() ? ", which is no matching file" : " a second time");
            continue;
        }
        const TFileFacts& want = it->second;
        if (row[2] != want.attr && badAttr.empty())
            badAttr = Show(row[1]) + " shows " + Show(row[2]) + ", expected " + Show(want.attr);
        if (row[3] != want.date && badDate.empty())
            badDate = Show(row[1]) + " shows " + Show(row[3]) + ", expected " + Show(want.date);
        if (row[4] != want.size && badSize.empty())
            badSize = Show(row[1]) + " shows " + Show(row[4]) + ", expected " + Show(want.size);
    }
    report.Check(name + ".five-cells-a-row", badShape.empty(), badShape);
    report.Check(name + ".numbering", badIndex.empty(), badIndex);
    report.Check(name + ".full-paths-of-matching-files", badName.empty(), badName);
    report.Check(name + ".attributes", badAttr.empty(), badAttr);
    report.Check(name + ".dates", badDate.empty(), badDate);
    report.Check(name + ".sizes", badSize.empty(), badSize);
}

std::string labels(const TFinder& f) {
    return TextOf(f.found) + " | " + TextOf(f.pages) + " | " + TextOf(f.page);
}

std::string enabledText(HWND button) {
    return ::IsWindowEnabled(button) ? "enabled" : "disabled";
}

bool waitLabel(HWND label, const std::string& text) {
    return WaitUntil([&] { return TextOf(label) == text; }, kUiTimeout);
}

// The point in the Name column of a grid row (rows counted from the title).
POINT rowPoint(int row) {
    return {120, row * kRowPitch + kRowPitch / 2};
}

// Opens the results' popup menu over `row` and chooses its item `item`
// (1 "Open With...", 2 "Save List to File") from the keyboard.
bool choosePopupItem(HWND grid, int row, int item) {
    const POINT p = rowPoint(row);
    ::PostMessageW(grid, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(p.x, p.y));
    HWND menu = nullptr;
    if (!WaitUntil([&] { return (menu = VisibleMenuWindow()) != nullptr; }, kUiTimeout)) return false;
    for (int i = 0; i < item; ++i) {
        PostKey(menu, VK_DOWN);
        ::Sleep(100);
    }
    PostKey(menu, VK_RETURN);
    return true;
}

// ---- the recorder's log ----

struct TRun {
    std::string commandLine;
    std::string directory;
};

std::vector<TRun> readRuns(const std::wstring& log) {
    std::vector<TRun> runs;
    const std::string bytes = ReadFileBytes(log);
    std::size_t at = 0;
    while (at < bytes.size()) {
        const std::size_t end = bytes.find("\r\n", at);
        if (end == std::string::npos) break;
        const std::string line = bytes.substr(at, end - at);
        at = end + 2;
        const auto tab1 = line.find('\t');
        const auto tab2 = tab1 == std::string::npos ? std::string::npos : line.find('\t', tab1 + 1);
        if (tab2 != std::string::npos) runs.push_back({line.substr(0, tab1), line.substr(tab1 + 1, tab2 - tab1 - 1)});
    }
    return runs;
}

std::vector<TRun> waitForRun(const std::wstring& log) {
    std::vector<TRun> runs;
    WaitUntil(
        [&] {
            runs = readRuns(log);
            return !runs.empty();
        },
        kRunTimeout);
    return runs;
}

std::wstring useLog(const std::wstring& scratch, const wchar_t* name) {
    const std::wstring log = JoinPath(JoinPath(scratch, L"find"), name);
    ::DeleteFileW(log.c_str());
    ::SetEnvironmentVariableW(L"TOLVEK_RECORDER_LOG", log.c_str());
    return log;
}

std::string crlf(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines) out += line + "\r\n";
    return out;
}

std::wstring writeConfig(const std::wstring& scratch, const wchar_t* name, const std::vector<std::string>& extra) {
    std::vector<std::string> lines = {"[ALLINFO]", "TotalEntries=0", "Legacy1=calc.exe",
                                      "Legacy2=", "Legacy3=edit.com two"};
    lines.insert(lines.end(), extra.begin(), extra.end());
    // Out of the way of the Find File window.
    for (const char* line : {"[CONFIG]", "Caption=Find", "Left=700", "Top=650", "QuickClose=1"}) lines.push_back(line);
    const std::wstring ini = JoinPath(JoinPath(scratch, L"find"), name);
    return WriteFileBytes(ini, crlf(lines)) ? ini : std::wstring();
}

std::string profileValue(const std::wstring& file, const char* section, const char* key) {
    wchar_t buf[2048] = {};
    ::GetPrivateProfileStringW(Widen(section).c_str(), Widen(key).c_str(), L"<missing>", buf, 2048, file.c_str());
    return Narrow(buf);
}

// ---- the sessions ----

// Searching, the rows of both pages, paging there and back.
void searchAndPages(TReport& report, const TTargets& targets, const TTree& tree) {
    const std::wstring ini = writeConfig(targets.scratch, L"search.ini", {});
    TProcess process;
    HWND button = nullptr;
    TFinder f;
    if (!openFinder(report, "finder.search", process, targets.full, ini, button, f)) return;
    report.Check("finder.search.caption", TextOf(f.form) == "Search Results", "caption " + Show(TextOf(f.form)));
    report.Check("finder.search.before-search", labels(f) == "# Found | # Total Pages | Page 1",
                 "labels read " + Show(labels(f)));

    std::string why;
    if (!report.Check("finder.search.finds-80", search(f, process.Id(), "*.dat", Narrow(tree.root), "80 Found", why),
                      why))
        return;
    report.Check("finder.search.labels", labels(f) == "80 Found | 2 Total Pages | Page 1",
                 "labels read " + Show(labels(f)));
    report.Check("finder.search.page-buttons", !::IsWindowEnabled(f.prev) && ::IsWindowEnabled(f.next),
                 "\"<<\" is " + enabledText(f.prev) + ", \">>\" is " + enabledText(f.next) +
                     " on page 1 of 2 (expected disabled, enabled)");
    std::set<std::string> seen;
    const TRows page1 = gridRows(f.grid);
    checkPage(report, "finder.page1", page1, 1, kPageRows, tree, seen);

    ::PostMessageW(f.next, BM_CLICK, 0, 0);
    report.Check("finder.next-page", waitLabel(f.page, "Page 2"), "the page label reads " + Show(TextOf(f.page)));
    const TRows page2 = gridRows(f.grid);
    checkPage(report, "finder.page2", page2, kPageRows + 1, 80 - kPageRows, tree, seen);
    report.Check("finder.page2.page-buttons", ::IsWindowEnabled(f.prev) && !::IsWindowEnabled(f.next),
                 "\"<<\" is " + enabledText(f.prev) + ", \">>\" is " + enabledText(f.next) +
                     " on page 2 of 2 (expected enabled, disabled)");
    report.Check(
        "finder.pages-hold-every-file-once", seen.size() == tree.dats.size(),
        std::to_string(seen.size()) + " of the " + std::to_string(tree.dats.size()) + " matching files are listed");

    // Files of a directory come before those of its subdirectories.
    std::vector<std::string> order;
    for (const TRows* page : {&page1, &page2})
        for (std::size_t r = 1; r < page->size(); ++r)
            if ((*page)[r].size() == 5) order.push_back((*page)[r][1]);
    const std::string rootPrefix = lower(Narrow(tree.root)) + "\\";
    std::string outOfOrder;
    for (std::size_t i = 0; i < order.size(); ++i) {
        const std::string path = lower(order[i]);
        const bool inRoot = path.rfind(rootPrefix, 0) == 0 && path.find('\\', rootPrefix.size()) == std::string::npos;
        if (inRoot != (i < static_cast<std::size_t>(kRootFiles)) && outOfOrder.empty())
            outOfOrder = "result " + std::to_string(i + 1) + " is " + Show(order[i]);
    }
    const auto notesAt = std::find(order.begin(), order.end(), Narrow(tree.notes));
    const auto innerAt =
        std::find(order.begin(), order.end(), Narrow(JoinPath(JoinPath(tree.sub, L"deeper"), L"inner.dat")));
    if (outOfOrder.empty() && notesAt != order.end() && innerAt != order.end() && notesAt > innerAt)
        outOfOrder = "deeper\\inner.dat comes before notes one.dat";
    report.Check("finder.files-before-subdirectories", outOfOrder.empty(),
                 outOfOrder + " (the " + std::to_string(kRootFiles) + " files of the tree come first)");

    ::PostMessageW(f.prev, BM_CLICK, 0, 0);
    report.Check("finder.previous-page", waitLabel(f.page, "Page 1") && gridRows(f.grid) == page1,
                 "after \"<<\" the page label reads " + Show(TextOf(f.page)) + " and the grid " +
                     (gridRows(f.grid) == page1 ? "shows page 1 again" : "differs from page 1"));

    // A second search replaces the results: one file, one page.
    if (report.Check("finder.search-again", search(f, process.Id(), "*.exe", Narrow(tree.root), "1 Found", why), why)) {
        const TRows rows = gridRows(f.grid);
        report.Check(
            "finder.search-again.rows",
            rows.size() == 2 && rows[1].size() == 5 && rows[1][0] == "1" && rows[1][1] == Narrow(tree.program),
            "rows " + std::to_string(rows.size()) + ", row 1 " + (rows.size() > 1 ? describeRow(rows[1]) : ""));
        report.Check(
            "finder.search-again.one-page",
            labels(f) == "1 Found | 1 Total Pages | Page 1" && !::IsWindowEnabled(f.prev) && !::IsWindowEnabled(f.next),
            "labels " + Show(labels(f)) + ", \"<<\" " + enabledText(f.prev) + ", \">>\" " + enabledText(f.next));
    }
}

// "Save List to File" from the results' popup menu, on page 2: every result,
// in the store's order, in fixed-width lines; an existing file is replaced.
void saveList(TReport& report, const TTargets& targets, const TTree& tree) {
    const std::wstring ini = writeConfig(targets.scratch, L"save.ini", {});
    TProcess process;
    HWND button = nullptr;
    TFinder f;
    if (!openFinder(report, "finder.save", process, targets.full, ini, button, f)) return;
    std::string why;
    if (!report.Check("finder.save.search", search(f, process.Id(), "*.dat", Narrow(tree.root), "80 Found", why), why))
        return;
    std::vector<std::string> order;
    const TRows page1 = gridRows(f.grid);
    ::PostMessageW(f.next, BM_CLICK, 0, 0);
    waitLabel(f.page, "Page 2");
    const TRows page2 = gridRows(f.grid);
    for (const TRows* page : {&page1, &page2})
        for (std::size_t r = 1; r < page->size(); ++r)
            if ((*page)[r].size() == 5) order.push_back((*page)[r][1]);

    // A longer file of the same name is there already.
    const std::wstring saved = JoinPath(tree.out, L"saved list.TXT");
    WriteFileBytes(saved, std::string(20000, '#'));

    if (!report.Check("finder.save.popup-menu", choosePopupItem(f.grid, 1, 2),
                      "no popup menu within 5 s of the right button in the grid"))
        return;
    // The first file dialog of a prefix takes a while to come up.
    HWND dialog = WaitForTopWindow(process.Id(), L"#32770", true, kRunTimeout);
    if (!report.Check("finder.save.dialog", dialog != nullptr, "no dialog within 15 s of \"Save List to File\""))
        return;
    report.Check("finder.save.dialog-title", TextOf(dialog) == "Save File List", "title " + Show(TextOf(dialog)));
    // The file name box: an edit box, or the edit box of a combo box.
    HWND name = ::GetDlgItem(dialog, 0x480);  // edt1
    if (!name || lstrcmpiW(ClassOf(name).c_str(), L"Edit") != 0) {
        HWND combo = ::GetDlgItem(dialog, 0x47C);  // cmb13, perhaps an extended combo box
        auto edits = combo ? ChildWindows(combo, L"Edit") : std::vector<HWND>{};
        name = edits.empty() ? nullptr : edits.front();
    }
    if (!name) {
        std::string children;
        for (HWND child : ChildWindows(dialog, L""))
            children += " " + Narrow(ClassOf(child)) + "#" + std::to_string(::GetDlgCtrlID(child)) + "(" +
                        (::IsWindowVisible(child) ? "visible" : "hidden") + ")";
        report.Check("finder.save.name-box", false, "the dialog has no file name box; its windows:" + children);
        return;
    }
    // Typed without its extension: the dialog adds ".TXT".
    const std::wstring typed = JoinPath(tree.out, L"saved list");
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()), SMTO_ABORTIFHUNG, 3000,
                          &ignored);
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, IDOK)));
    const bool closed = WaitUntil([&] { return !::IsWindow(dialog) || !::IsWindowVisible(dialog); }, kUiTimeout);
    ::Sleep(300);  // an overwrite question would be up by now
    const auto others = TopWindows(process.Id(), L"#32770", true);
    report.Check("finder.save.no-question", closed && others.empty(),
                 !closed          ? std::string("the save dialog is still open")
                 : others.empty() ? std::string()
                                  : "a dialog came up: " + Show(TextOf(others.front())));

    std::string expected =
        padRight("Index", 7) + padRight("Name", 70) + padRight("Attr", 8) + padRight("Date", 12) + "Size\r\n";
    for (std::size_t i = 0; i < order.size(); ++i) {
        auto it = tree.dats.find(order[i]);
        if (it == tree.dats.end()) continue;  // the page checks report it
        expected += padRight(std::to_string(i + 1), 7) + padRight(order[i], 70) + padRight(it->second.fixedAttr, 8) +
                    padRight(it->second.date, 12) + it->second.size + "\r\n";
    }
    std::string bytes;
    WaitUntil(
        [&] {
            bytes = ReadFileBytes(saved);
            return bytes == expected;
        },
        kUiTimeout);
    if (!report.Check("finder.save.bytes", bytes == expected, FirstDifference(bytes, expected)))
        WriteFileBytes(JoinPath(tree.out, L"expected list.txt"), expected);
    std::size_t lines = 0;
    for (std::size_t at = bytes.find("\r\n"); at != std::string::npos; at = bytes.find("\r\n", at + 2)) ++lines;
    report.Check("finder.save.every-result", lines == 81, std::to_string(lines) + " lines, expected 81 (80 results)");
    // The long path runs straight into the Attr field.
    const std::string longLine = Narrow(tree.longFile) + "   A    ";
    report.Check("finder.save.long-path-unpadded", bytes.find(longLine) != std::string::npos,
                 Show(Narrow(tree.longFile)) + " is not followed directly by the Attr field");
    // Nothing is left beside the list (a temporary file, say).
    std::vector<std::string> names;
    WIN32_FIND_DATAW data;
    HANDLE h = ::FindFirstFileW(JoinPath(tree.out, L"*").c_str(), &data);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring n = data.cFileName;
            if (n != L"." && n != L".." && n != L"expected list.txt") names.push_back(Narrow(n));
        } while (::FindNextFileW(h, &data));
        ::FindClose(h);
    }
    report.Check("finder.save.one-file", names.size() == 1 && lower(names.front()) == "saved list.txt",
                 "the directory holds " + join(names));
}

// A double click on a found program starts it in its own directory.
void doubleClick(TReport& report, const TTargets& targets, const TTree& tree) {
    const std::wstring log = useLog(targets.scratch, L"double-click.log");
    const std::wstring ini = writeConfig(targets.scratch, L"double-click.ini", {});
    TProcess process;
    HWND button = nullptr;
    TFinder f;
    if (!openFinder(report, "finder.double-click", process, targets.full, ini, button, f)) return;
    std::string why;
    if (!report.Check("finder.double-click.search", search(f, process.Id(), "*.exe", Narrow(tree.root), "1 Found", why),
                      why))
        return;
    const POINT p = rowPoint(1);
    postClick(f.grid, p.x, p.y);
    ::PostMessageW(f.grid, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(p.x, p.y));
    ::PostMessageW(f.grid, WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
    const auto runs = waitForRun(log);
    if (!report.Check("finder.double-click.starts-program", !runs.empty(),
                      "the copy of the recorder logged nothing within 15 s" +
                          (TopWindows(process.Id(), L"#32770", true).empty()
                               ? std::string()
                               : ", and a message box is open: " +
                                     Show(ReadDialogBox(TopWindows(process.Id(), L"#32770", true).front()).text))))
        return;
    std::string program, tail;
    splitCommandLine(runs.front().commandLine, program, tail);
    report.Check("finder.double-click.program", lower(program) == lower(Narrow(tree.program)) && tail.empty(),
                 "command line " + Show(runs.front().commandLine) + ", expected the found path " +
                     Show(Narrow(tree.program)) + " alone");
    report.Check("finder.double-click.directory", lower(runs.front().directory) == lower(Narrow(tree.sub)),
                 "started in " + Show(runs.front().directory) + ", expected " + Show(Narrow(tree.sub)));
    report.Check("finder.double-click.once", readRuns(log).size() == 1,
                 std::to_string(readRuns(log).size()) + " runs were logged");
}

// "Open With...": the Run dialog lists its fixed names and the history; the
// program typed there receives the found path, quoted since it has a blank.
void openWith(TReport& report, const TTargets& targets, const TTree& tree) {
    const std::wstring log = useLog(targets.scratch, L"open-with.log");
    const std::wstring ini = writeConfig(targets.scratch, L"open-with.ini", {});
    const std::string original = ReadFileBytes(ini);
    TProcess process;
    HWND button = nullptr;
    TFinder f;
    if (!openFinder(report, "finder.open-with", process, targets.full, ini, button, f)) return;
    std::string why;
    if (!report.Check("finder.open-with.search", search(f, process.Id(), "notes*", Narrow(tree.root), "1 Found", why),
                      why))
        return;
    if (!report.Check("finder.open-with.popup-menu", choosePopupItem(f.grid, 1, 1),
                      "no popup menu within 5 s of the right button in the grid"))
        return;
    HWND dialog = WaitForTopWindow(process.Id(), L"TRunDlg", true, kUiTimeout);
    if (!report.Check("finder.open-with.run-dialog", dialog != nullptr, "no visible TRunDlg window within 5 s")) return;
    report.Check("finder.open-with.dialog-caption", TextOf(dialog) == "Run ...", "caption " + Show(TextOf(dialog)));
    auto combos = ChildWindows(dialog, L"ComboBox");
    HWND combo = combos.empty() ? nullptr : combos.front();
    if (!report.Check("finder.open-with.combo-box", combo && editOf(combo), "the dialog has no combo box")) return;
    const std::vector<std::string> listed = comboItems(combo);
    const std::vector<std::string> expected = {"Notepad.exe", "Write.exe", "calc.exe", "edit.com two"};
    report.Check("finder.open-with.list", listed == expected,
                 "the list holds " + join(listed) + ", expected " + join(expected));

    const std::string recorder = Narrow(tree.recorder);
    if (!report.Check("finder.open-with.typed", typeInto(combo, recorder),
                      "the box reads " + Show(TextOf(combo)) + " after typing"))
        return;
    HWND run = buttonCaptioned(dialog, "&Run");
    if (!report.Check("finder.open-with.run-button", run != nullptr, "the dialog has no \"&Run\" button")) return;
    ::PostMessageW(run, BM_CLICK, 0, 0);
    const auto runs = waitForRun(log);
    if (!report.Check("finder.open-with.starts-program", !runs.empty(), "the recorder logged nothing within 15 s"))
        return;
    std::string program, tail;
    splitCommandLine(runs.front().commandLine, program, tail);
    const std::string quoted = "\"" + Narrow(tree.notes) + "\"";
    report.Check("finder.open-with.program", lower(program) == lower(recorder),
                 "started " + Show(program) + ", expected " + Show(recorder));
    report.Check("finder.open-with.quoted-path", tail == quoted,
                 "the recorder got " + Show(tail) + ", expected " + Show(quoted));
    report.Check("finder.open-with.dialog-closes",
                 WaitUntil([&] { return TopWindows(process.Id(), L"TRunDlg", true).empty(); }, kUiTimeout),
                 "the Run dialog is still open");
    // Nothing goes into the Run history.
    report.Check("finder.open-with.configuration-untouched", ReadFileBytes(ini) == original,
                 FirstDifference(ReadFileBytes(ini), original));
}

// The grid's pixels in the highlight colour (the current cell's) between
// two heights of its client area, or in all of it.
int highlightedPixels(HWND grid, int top = 0, int bottom = INT_MAX) {
    RECT rc{};
    ::GetClientRect(grid, &rc);
    rc.top = std::max<LONG>(rc.top, top);
    rc.bottom = std::min<LONG>(rc.bottom, bottom);
    ::MapWindowPoints(grid, nullptr, reinterpret_cast<POINT*>(&rc), 2);
    const COLORREF c = ::GetSysColor(COLOR_HIGHLIGHT);
    const unsigned rgb = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
    const TImage image = CaptureScreen(rc);
    return static_cast<int>(std::count(image.pixels.begin(), image.pixels.end(), rgb));
}

void postWheel(HWND grid, int delta, int times) {
    for (int i = 0; i < times; ++i)
        ::PostMessageW(grid, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(static_cast<short>(delta))), 0);
}

// The keyboard's way through the window, and what the grid does with the
// mouse: a double click starts the row it met, also a partly shown one, and
// nothing when it grabbed a column border; the right button's double click
// opens the popup menu; Tab and small wheel steps move the view.
void keysAndGrid(TReport& report, const TTargets& targets, const TTree& tree) {
    const std::wstring log = useLog(targets.scratch, L"grid.log");
    const std::wstring ini = writeConfig(targets.scratch, L"grid.ini", {});
    TProcess process;
    HWND button = nullptr;
    TFinder f;
    if (!openFinder(report, "finder.keys", process, targets.full, ini, button, f)) return;
    const std::pair<HWND, const char*> stops[] = {{editOf(f.filter), "filter"},
                                                  {editOf(f.startIn), "Start In"},
                                                  {childAt(f.form, L"Button", 160, 64), "Include Subdirectories"},
                                                  {f.findNow, "Find Now"},
                                                  {f.close, "Close"},
                                                  {f.grid, "grid"}};
    auto nameOf = [&](HWND h) {
        for (auto [hwnd, name] : stops)
            if (hwnd == h) return std::string(name);
        return Narrow(ClassOf(h));
    };
    typeInto(f.filter, "*.exe");
    std::vector<std::string> seen{nameOf(FocusOf(f.form))};
    for (int i = 0; i < 6; ++i) {
        const HWND from = FocusOf(f.form);
        auto moved = [&] { return FocusOf(f.form) != from; };
        if (i < 5) {
            PostKey(from, VK_TAB);
            WaitUntil(moved, 2s);
        } else {
            postKeyWith(VK_CONTROL, from, VK_TAB, moved);  // the grid keeps Tab for its cells
        }
        seen.push_back(nameOf(FocusOf(f.form)));
    }
    const std::vector<std::string> expected = {"filter", "Start In", "Include Subdirectories", "Find Now", "Close",
                                               "grid",   "filter"};
    DWORD_PTR selection = 0;
    ::SendMessageTimeoutW(f.filter, CB_GETEDITSEL, 0, 0, SMTO_ABORTIFHUNG, 3000, &selection);
    report.Check("finder.keys.tab-order", seen == expected && selection == MAKELONG(0, 5),
                 "the focus went " + join(seen) + ", the filter box's selection is " +
                     std::to_string(LOWORD(selection)) + " to " + std::to_string(HIWORD(selection)));

    std::string why;
    if (!report.Check("finder.grid.search",
                      search(f, process.Id(), "*.exe", Narrow(tree.progs), std::to_string(kProgs) + " Found", why),
                      why))
        return;
    const TRows rows = gridRows(f.grid);
    RECT rc{};
    ::GetClientRect(f.grid, &rc);
    const int partial = rc.bottom / kRowPitch;  // the bottom row, cut off by the grid's edge
    auto started = [&] {
        const auto runs = waitForRun(log);
        std::string program, tail;
        if (!runs.empty()) splitCommandLine(runs.front().commandLine, program, tail);
        ::DeleteFileW(log.c_str());
        return program;
    };
    if (rc.bottom % kRowPitch != 0 && partial < static_cast<int>(rows.size()) && rows[partial].size() == 5) {
        const int y = partial * kRowPitch + (rc.bottom - partial * kRowPitch) / 2;
        postClick(f.grid, 120, y);
        ::PostMessageW(f.grid, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(120, y));
        ::PostMessageW(f.grid, WM_LBUTTONUP, 0, MAKELPARAM(120, y));
        const std::string program = started();
        report.Check("finder.grid.double-click-on-partly-shown-row", lower(program) == lower(rows[partial][1]),
                     "started " + Show(program) + ", the row shows " + Show(rows[partial][1]));
    } else {
        report.Note("finder.grid: no partly shown row in a grid " + std::to_string(rc.bottom) + " pixels high");
    }

    // The border after the Name column, which keeps its design width of 298.
    HDC screen = ::GetDC(nullptr);
    HFONT font = ::CreateFontW(-13, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                               CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Arial");
    HGDIOBJ old = ::SelectObject(screen, font);
    SIZE index{};
    ::GetTextExtentPoint32W(screen, L"IndexW", 6, &index);
    ::SelectObject(screen, old);
    ::DeleteObject(font);
    ::ReleaseDC(nullptr, screen);
    const int border = index.cx + 1 + 298;
    postClick(f.grid, 120, kRowPitch + kRowPitch / 2);
    postClick(f.grid, border, kRowPitch / 2);
    ::PostMessageW(f.grid, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(border, kRowPitch / 2));
    ::PostMessageW(f.grid, WM_LBUTTONUP, 0, MAKELPARAM(border, kRowPitch / 2));
    ::Sleep(2000);
    report.Check("finder.grid.border-double-click-starts-nothing", readRuns(log).empty(),
                 "a double click on the column border at x " + std::to_string(border) + " started " +
                     (readRuns(log).empty() ? "" : Show(readRuns(log).front().commandLine)));

    const POINT p = rowPoint(2);
    ::PostMessageW(f.grid, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(p.x, p.y));
    const bool first = WaitUntil([] { return VisibleMenuWindow() != nullptr; }, kUiTimeout);
    CloseMenus(kUiTimeout);
    ::PostMessageW(f.grid, WM_RBUTTONDBLCLK, MK_RBUTTON, MAKELPARAM(p.x, p.y));
    const bool second = WaitUntil([] { return VisibleMenuWindow() != nullptr; }, kUiTimeout);
    CloseMenus(kUiTimeout);
    report.Check("finder.grid.right-double-click-pops-up", first && second,
                 first ? "no menu after the second press of a double click" : "no menu after a right press");

    // A notch in thirds scrolls the first row's current cell out of view,
    // and back.
    postClick(f.grid, 120, kRowPitch + kRowPitch / 2);
    WaitUntil([&] { return highlightedPixels(f.grid, kRowPitch, 2 * kRowPitch) > 0; }, kUiTimeout);
    postWheel(f.grid, -WHEEL_DELTA / 3, 3);
    const bool away = WaitUntil([&] { return highlightedPixels(f.grid) == 0; }, kUiTimeout);
    postWheel(f.grid, WHEEL_DELTA / 3, 3);
    const bool back = WaitUntil([&] { return highlightedPixels(f.grid, kRowPitch, 2 * kRowPitch) > 0; }, kUiTimeout);
    report.Check("finder.grid.small-wheel-steps-scroll", away && back,
                 away ? "it did not come back" : "the current cell stays in view");
    // Tab from there to the Name cell of row 15, below the view: the grid
    // scrolls it up to its last whole row.
    const int lastWhole = (rc.bottom - kRowPitch) / kRowPitch;  // with the line below it
    for (int i = 0; i < 4 * 14; ++i) PostKey(f.grid, VK_TAB);
    const bool shown = WaitUntil(
        [&] { return highlightedPixels(f.grid, lastWhole * kRowPitch, (lastWhole + 1) * kRowPitch) > 0; }, kUiTimeout);
    report.Check("finder.grid.tab-shows-the-current-cell", shown, "row 15 is not the last row in view after Tab");
}

// The picker opens on the program's current directory, whose "&" its label
// shows as itself; "Okay" puts it into Start In. A click on "..." leaves the
// focus in Start In, so Enter there adds the picked directory to its
// history; Esc cancels the picker.
void picker(TReport& report, const TTargets& targets, const TTree& tree) {
    const std::wstring ini = writeConfig(targets.scratch, L"picker.ini", {});
    // The launcher inherits this process's current directory.
    wchar_t previous[MAX_PATH * 4] = {};
    ::GetCurrentDirectoryW(MAX_PATH * 4, previous);
    ::SetCurrentDirectoryW(tree.amp.c_str());
    TProcess process;
    HWND button = nullptr;
    TFinder f;
    const bool opened = openFinder(report, "finder.picker", process, targets.full, ini, button, f);
    ::SetCurrentDirectoryW(previous);
    if (!opened) return;
    typeInto(f.startIn, "typed");
    postClick(f.browse, 5, 5);
    HWND dialog = WaitForTopWindow(process.Id(), L"TfrmDir", true, kUiTimeout);
    if (!report.Check("finder.picker.opens", dialog != nullptr, "no visible TfrmDir window within 5 s of \"...\""))
        return;
    report.Check("finder.picker.caption", TextOf(dialog) == "Starting Directory", "caption " + Show(TextOf(dialog)));
    const std::string want = Narrow(tree.amp);
    HWND label = childAt(dialog, L"Static", 12, 12);
    const bool plain = label && (::GetWindowLongPtrW(label, GWL_STYLE) & SS_NOPREFIX);
    const std::string shown = label ? TextOf(label) : "";
    report.Check("finder.picker.label-shows-ampersand", plain && shown.ends_with("\\R&D"),
                 label ? "the label reads " + Show(shown) + (plain ? "" : " and takes \"&\" for an underline")
                       : "no label at 12, 12");
    HWND okay = buttonCaptioned(dialog, "Okay");
    if (!report.Check("finder.picker.okay-button", okay != nullptr, "the picker has no \"Okay\" button")) return;
    ::PostMessageW(okay, BM_CLICK, 0, 0);
    report.Check("finder.picker.okay-closes", WaitUntil([&] { return !::IsWindowVisible(dialog); }, kUiTimeout),
                 "the picker is still open");
    std::string got;
    WaitUntil(
        [&] {
            got = TextOf(f.startIn);
            return lower(got) == lower(want);
        },
        kUiTimeout);
    report.Check("finder.picker.okay-fills-start-in", lower(got) == lower(want),
                 "Start In reads " + Show(got) + ", expected the current directory " + Show(want));
    const HWND focus = FocusOf(f.form);
    PostKey(focus, VK_RETURN);
    std::vector<std::string> listed;
    WaitUntil([&] { return !(listed = comboItems(f.startIn)).empty(); }, kUiTimeout);
    report.Check("finder.picker.start-in-keeps-focus-and-history",
                 focus == editOf(f.startIn) && listed.size() == 1 && lower(listed.front()) == lower(want),
                 "the focus is in " + Narrow(ClassOf(focus)) + (focus == editOf(f.startIn) ? " of Start In" : "") +
                     ", and the Start In list holds " + join(listed));

    postClick(f.browse, 5, 5);
    dialog = WaitForTopWindow(process.Id(), L"TfrmDir", true, kUiTimeout);
    if (dialog) PostKey(FocusOf(dialog), VK_ESCAPE);
    report.Check("finder.picker.escape-cancels",
                 dialog && WaitUntil([&] { return !::IsWindowVisible(dialog); }, kUiTimeout) &&
                     lower(TextOf(f.startIn)) == lower(want),
                 dialog ? "the picker is still open, or Start In reads " + Show(TextOf(f.startIn))
                        : "the picker did not open again");
}

// The filter and Start In histories: added on leaving a box and on Enter,
// saved when the window goes, listed again in the next window.
void histories(TReport& report, const TTargets& targets, const TTree& tree) {
    const std::wstring ini =
        writeConfig(targets.scratch, L"histories.ini", {"[SEARCH]", "Filter1=zeta*.txt", "Filter2=Alpha*.txt"});
    TProcess process;
    HWND button = nullptr;
    TFinder f;
    if (!openFinder(report, "finder.histories", process, targets.full, ini, button, f)) return;
    report.Check("finder.histories.loaded-sorted",
                 comboItems(f.filter) == std::vector<std::string>{"Alpha*.txt", "zeta*.txt"},
                 "the filter list holds " + join(comboItems(f.filter)));
    const std::string dir = Narrow(tree.root);
    // Leaving the filter box adds its text; Enter in Start In adds that.
    if (!report.Check("finder.histories.typed", typeInto(f.filter, "*.dat") && typeInto(f.startIn, dir),
                      "the boxes read " + Show(TextOf(f.filter)) + " and " + Show(TextOf(f.startIn))))
        return;
    PostKey(editOf(f.startIn), VK_RETURN);
    const std::vector<std::string> filters = {"*.dat", "Alpha*.txt", "zeta*.txt"};
    report.Check(
        "finder.histories.added",
        WaitUntil([&] { return comboItems(f.filter) == filters && comboItems(f.startIn).size() == 1; }, kUiTimeout) &&
            lower(comboItems(f.startIn).front()) == lower(dir),
        "the lists hold " + join(comboItems(f.filter)) + " and " + join(comboItems(f.startIn)));
    ::PostMessageW(f.close, BM_CLICK, 0, 0);
    const bool closed = WaitUntil([&] { return !::IsWindow(f.form); }, kUiTimeout);
    if (!report.Check("finder.histories.close-button", closed, "the window still exists 5 s after \"Close\"")) return;
    std::string wrong;
    const std::pair<const char*, std::string> keys[] = {{"Filter1", "*.dat"},     {"Filter2", "Alpha*.txt"},
                                                        {"Filter3", "zeta*.txt"}, {"Filter4", "<missing>"},
                                                        {"StartIn1", dir},        {"StartIn2", "<missing>"}};
    for (const auto& [key, value] : keys) {
        const std::string got = profileValue(ini, "SEARCH", key);
        if (lower(got) != lower(value))
            wrong += std::string(" ") + key + "=" + Show(got) + " (expected " + Show(value) + ")";
    }
    report.Check("finder.histories.saved", wrong.empty(), wrong);

    TFinder again;
    HWND form = nullptr;
    postCtrlKey(button, 'F', [&] { return (form = visibleFinder(process.Id())) != nullptr; });
    std::string missing;
    if (!report.Check("finder.histories.reopens", form && controlsOf(form, again, missing),
                      form ? "not found: " + missing : "no TSearchFrm window within 5 s of the second Ctrl+F"))
        return;
    const auto listedDirs = comboItems(again.startIn);
    report.Check(
        "finder.histories.listed-again",
        comboItems(again.filter) == filters && listedDirs.size() == 1 && lower(listedDirs.front()) == lower(dir),
        "the lists hold " + join(comboItems(again.filter)) + " and " + join(listedDirs));
    const TRows rows = gridRows(again.grid);
    bool empty = rows.size() == 2;
    for (const auto& row : rows)
        for (const std::string& cell : row) empty = empty && cell.empty();
    report.Check("finder.histories.fresh-window",
                 empty && labels(again) == "# Found | # Total Pages | Page 1" && TextOf(again.filter).empty(),
                 "grid " + std::to_string(rows.size()) + " rows" + (empty ? "" : " with text") + ", labels " +
                     Show(labels(again)) + ", filter box " + Show(TextOf(again.filter)));
}

// Past the classic limit of 260 characters: the search finds a document 300
// characters deep, a double click opens it in the program its type is
// registered for (the recorder), and the configuration that lives beside it
// takes the search histories and the settings on close.
std::wstring longName(const std::wstring& path) {
    wchar_t buf[MAX_PATH * 4] = {};
    const DWORD n = ::GetLongPathNameW(path.c_str(), buf, MAX_PATH * 4);
    return n > 0 && n < MAX_PATH * 4 ? std::wstring(buf, n) : path;
}

std::string boxText(DWORD pid) {
    auto boxes = TopWindows(pid, L"#32770", true);
    return boxes.empty() ? std::string() : ", and a message box reads " + Show(ReadDialogBox(boxes.front()).text);
}

// A document type opened by the recorder, for as long as it lives.
class TDeepType {
public:
    TDeepType() {
        const std::wstring command = L"\"" + ProgramBeside(L"tolvek-recorder.exe") + L"\" \"%1\"";
        ok_ = set(L".tolvekdeep", L"TolvekDeepFile") && set(L"TolvekDeepFile\\shell\\open\\command", command);
    }
    ~TDeepType() {
        ::RegDeleteTreeW(HKEY_CLASSES_ROOT, L".tolvekdeep");
        ::RegDeleteTreeW(HKEY_CLASSES_ROOT, L"TolvekDeepFile");
    }
    bool ok() const { return ok_; }

private:
    static bool set(const wchar_t* key, const std::wstring& value) {
        HKEY h = nullptr;
        if (::RegCreateKeyExW(HKEY_CLASSES_ROOT, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr)) return false;
        const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
        const bool done = !::RegSetValueExW(h, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes);
        ::RegCloseKey(h);
        return done;
    }
    bool ok_ = false;
};

void longPaths(TReport& report, const TTargets& targets) {
    // What the driver itself needs to reach such paths.
    auto extended = [](const std::wstring& path) { return L"\\\\?\\" + path; };
    const std::wstring base = JoinPath(targets.scratch, L"long");
    removeTree(extended(base));
    std::wstring deep = base;
    bool made = ::CreateDirectoryW(base.c_str(), nullptr);
    for (wchar_t c = L'a'; c <= L'f'; ++c) {
        deep = JoinPath(deep, std::wstring(48, c));
        made = made && ::CreateDirectoryW(extended(deep).c_str(), nullptr);
    }
    const std::wstring document = JoinPath(deep, L"deep notes.tolvekdeep");
    const std::wstring ini = JoinPath(deep, L"deep.ini");
    TDeepType type;
    made = made && type.ok() && WriteFileBytes(extended(document), "deep\r\n") &&
           WriteFileBytes(extended(ini), crlf({"[CONFIG]", "Caption=Deep", "Left=700", "Top=650", "QuickClose=1"}));
    if (!report.Check("finder.long.tree", made && document.size() > 300,
                      "cannot make " + Narrow(document) + " (" + std::to_string(document.size()) +
                          " characters) or register its type"))
        return;
    const std::wstring log = useLog(targets.scratch, L"long.log");
    TProcess process;
    HWND button = nullptr;
    TFinder f;
    if (!openFinder(report, "finder.long", process, targets.full, ini, button, f)) return;
    std::string why;
    if (!report.Check("finder.long.search", search(f, process.Id(), "*.tolvekdeep", Narrow(deep), "1 Found", why), why))
        return;
    const POINT p = rowPoint(1);
    postClick(f.grid, p.x, p.y);
    ::PostMessageW(f.grid, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(p.x, p.y));
    ::PostMessageW(f.grid, WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
    const auto runs = waitForRun(log);
    std::string program, opened;
    if (!runs.empty()) splitCommandLine(runs.front().commandLine, program, opened);
    if (opened.size() >= 2 && opened.front() == '"') opened = opened.substr(1, opened.size() - 2);
    report.Check("finder.long.double-click-opens", lower(Narrow(longName(Widen(opened)))) == lower(Narrow(document)),
                 runs.empty() ? "nothing was started within 15 s" + boxText(process.Id())
                              : "the recorder got " + Show(runs.front().commandLine));

    ::PostMessageW(f.close, BM_CLICK, 0, 0);
    WaitUntil([&] { return !::IsWindow(f.form); }, kUiTimeout);
    HWND main = WaitForTopWindow(process.Id(), L"TTolvekForm", true, kUiTimeout);
    if (main) ::PostMessageW(main, WM_CLOSE, 0, 0);
    const bool ended = process.WaitExit(10s);
    const std::string bytes = ReadFileBytes(extended(ini));
    report.Check(
        "finder.long.configuration-written",
        ended && bytes.find("StartIn1=" + Narrow(deep) + "\r\n") != std::string::npos &&
            bytes.find("StayOnTop=0\r\n") != std::string::npos,
        (ended ? "" : "the launcher did not end" + boxText(process.Id()) + "; ") + "the file reads " + Show(bytes));
    removeTree(extended(base));
}

// A long search answers while it runs: the count changes, "Close" stops it,
// what was found so far is listed, and the next "Close" closes the window.
void stopMidSearch(TReport& report, const TTargets& targets) {
    constexpr int kSide = 100, kFilesEach = 2, kTotal = kSide * kSide * kFilesEach;
    const std::wstring big = JoinPath(JoinPath(targets.scratch, L"find"), L"big");
    bool made = ::CreateDirectoryW(big.c_str(), nullptr);
    for (int d = 0; made && d < kSide * kSide; ++d) {
        const std::wstring dir = JoinPath(big, L"a" + std::to_wstring(d / kSide));
        const std::wstring sub = JoinPath(dir, L"b" + std::to_wstring(d % kSide));
        if (d % kSide == 0) made = ::CreateDirectoryW(dir.c_str(), nullptr);
        made = made && ::CreateDirectoryW(sub.c_str(), nullptr);
        for (int f = 0; made && f < kFilesEach; ++f)
            made = WriteFileBytes(JoinPath(sub, L"f" + std::to_wstring(f) + L".dat"), "");
    }
    if (!report.Check("finder.stop.tree-prepared", made, "cannot create " + Narrow(big))) return;
    const std::wstring ini = writeConfig(targets.scratch, L"stop.ini", {});
    TProcess process;
    HWND button = nullptr;
    TFinder f;
    if (!openFinder(report, "finder.stop", process, targets.full, ini, button, f)) return;
    if (!report.Check("finder.stop.typed", typeInto(f.filter, "*") && typeInto(f.startIn, Narrow(big)),
                      "the boxes read " + Show(TextOf(f.filter)) + " and " + Show(TextOf(f.startIn))))
        return;
    ::PostMessageW(f.findNow, BM_CLICK, 0, 0);
    // "Searching: 12,345 Found" as 12345; -1 for any other text.
    auto searching = [](std::string text) {
        if (text.rfind("Searching: ", 0) != 0) return -1;
        std::erase(text, ',');
        return std::atoi(text.c_str() + 11);
    };
    std::vector<int> counts;
    bool othersDisabled = true;
    WaitUntil(
        [&] {
            const int n = searching(TextOf(f.found));
            if (n < 0 || (!counts.empty() && counts.back() == n)) return false;
            counts.push_back(n);
            othersDisabled = othersDisabled && !::IsWindowEnabled(f.findNow) && ::IsWindowEnabled(f.close);
            return counts.size() == 2;
        },
        kSearchTimeout);
    ::PostMessageW(f.close, BM_CLICK, 0, 0);
    std::string final;
    WaitUntil([&] { return (final = TextOf(f.found)).ends_with(" Found") && searching(final) < 0; }, kUiTimeout);
    const int found = std::atoi(final.c_str());
    report.Note("finder: stopped at " + final + " of " + std::to_string(kTotal));
    report.Check("finder.stop.changing-count", counts.size() == 2 && counts[0] < counts[1] && othersDisabled,
                 "counts seen: " + std::to_string(counts.size()) +
                     (counts.empty() ? "" : " up to " + std::to_string(counts.back())) +
                     (othersDisabled ? "" : "; Find Now enabled or Close disabled"));
    report.Check("finder.stop.stops", !counts.empty() && found >= counts.back() && found < kTotal,
                 "the label reads " + Show(final) + " after Close; " + std::to_string(kTotal) + " files in all");
    const TRows rows = gridRows(f.grid);
    const std::string pages = std::to_string((found + kPageRows - 1) / kPageRows) + " Total Pages";
    const bool listed = static_cast<int>(rows.size()) == std::min(found, kPageRows) + 1 && rows.size() > 1 &&
                        rows[1].size() == 5 && rows[1][0] == "1" && rows[1][1].rfind(Narrow(big), 0) == 0;
    report.Check("finder.stop.found-so-far-listed",
                 listed && TextOf(f.pages) == pages && ::IsWindowEnabled(f.findNow) && ::IsWindowVisible(f.form),
                 std::to_string(rows.size()) + " rows, first " + (rows.size() > 1 ? describeRow(rows[1]) : "none") +
                     ", labels " + Show(labels(f)) + ", Find Now " + enabledText(f.findNow));
    ::PostMessageW(f.close, BM_CLICK, 0, 0);
    report.Check("finder.stop.next-close-closes", WaitUntil([&] { return !::IsWindow(f.form); }, kUiTimeout),
                 "the window still exists 5 s after the second Close");
}

// ---- what a screen reader reads ----

std::vector<std::pair<DWORD, std::string>> gEvents;  // what the event hook saw: event, name

void CALLBACK onEvent(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG object, LONG child, DWORD, DWORD) {
    TAccessible acc;
    VARIANT id;
    ::VariantInit(&id);
    if (SUCCEEDED(
            ::AccessibleObjectFromEvent(hwnd, static_cast<DWORD>(object), static_cast<DWORD>(child), &acc.p, &id)))
        gEvents.emplace_back(event, AccessibleName(acc.p, id.lVal));
}

// The static text just before a window, which the platform names a box after.
std::string labelBefore(HWND hwnd) {
    HWND before = ::GetWindow(hwnd, GW_HWNDPREV);
    return before && ClassOf(before) == L"Static" ? TextOf(before) : "none";
}

// The grid's rows of cells as another process reads them; the events of a
// move of the current cell; labels before the boxes; and objects kept past
// the window's end answer that it is gone.
void accessibility(TReport& report, const TTargets& targets, const TTree& tree) {
    const std::wstring ini = writeConfig(targets.scratch, L"a11y.ini", {});
    TProcess process;
    HWND button = nullptr;
    TFinder f;
    std::string why;
    if (!openFinder(report, "finder.a11y", process, targets.full, ini, button, f) ||
        !report.Check("finder.a11y.search",
                      search(f, process.Id(), "*.exe", Narrow(tree.progs), std::to_string(kProgs) + " Found", why),
                      why))
        return;
    const TRows rows = gridRows(f.grid);
    TComScope com;
    TAccessible grid(f.grid), row;
    IDispatch* second = nullptr;
    if (grid.p) grid.p->get_accChild(ChildId(2), &second);
    if (second) second->QueryInterface(&row.p), second->Release();
    if (report.Check("finder.a11y.row", row.p && rows.size() > 2, "no object for the grid's second row")) {
        postClick(f.grid, 120, kRowPitch + kRowPitch / 2);  // the Name cell of row 1: current, focused
        WaitUntil([&] { return FocusOf(f.form) == f.grid; }, kUiTimeout);
        std::vector<std::string> names;
        for (LONG c = 1; c <= 5; ++c) names.push_back(AccessibleName(row.p, c));
        VARIANT rowRole, cellRole, state;
        row.p->get_accRole(ChildId(CHILDID_SELF), &rowRole);
        row.p->get_accRole(ChildId(2), &cellRole);
        row.p->get_accState(ChildId(2), &state);
        const LONG current = STATE_SYSTEM_SELECTED | STATE_SYSTEM_FOCUSED;
        report.Check("finder.a11y.cells",
                     names == rows[1] && rowRole.lVal == ROLE_SYSTEM_ROW && cellRole.lVal == ROLE_SYSTEM_CELL &&
                         (state.lVal & current) == current,
                     join(names) + " for " + join(rows[1]) + ", roles " + std::to_string(rowRole.lVal) + " " +
                         std::to_string(cellRole.lVal) + ", state " + std::to_string(state.lVal));
        HWINEVENTHOOK hook = ::SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_SELECTION, nullptr, onEvent,
                                               process.Id(), 0, WINEVENT_OUTOFCONTEXT);
        PostKey(f.grid, VK_DOWN);
        WaitUntil(
            [&] {
                MSG msg;
                while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
                return gEvents.size() >= 2;
            },
            kUiTimeout);
        if (hook) ::UnhookWinEvent(hook);
        std::sort(gEvents.begin(), gEvents.end());  // the platform may deliver them in either order
        std::string seen;
        for (const auto& [event, text] : gEvents) seen += " " + std::to_string(event) + " " + Show(text);
        report.Check(
            "finder.a11y.events",
            gEvents == decltype(gEvents){{EVENT_OBJECT_FOCUS, rows[2][1]}, {EVENT_OBJECT_SELECTION, rows[2][1]}},
            "seen:" + seen);
    }
    const std::string labels = labelBefore(f.filter) + " | " + labelBefore(f.startIn) + " | " + AccessibleName(grid.p);
    report.Check("finder.a11y.labels", labels == "Search Filter: | Start In: | Search Results:", Show(labels));
    ::PostMessageW(f.close, BM_CLICK, 0, 0);
    WaitUntil([&] { return !::IsWindow(f.grid); }, kUiTimeout);
    const std::string after = AccessibleName(row.p, 2) + " " + AccessibleName(grid.p, 1);
    bool answers = false;
    TextOf(button, &answers);
    report.Check("finder.a11y.gone", after.starts_with("!-") && after.find(" !-") != std::string::npos && answers,
                 "after the window closed: " + after + (answers ? "" : ", and the launcher does not answer"));
}

}  // namespace

void RunFinderChecks(TReport& report, const TTargets& targets) {
    TTree tree;
    if (!prepareTree(report, targets.scratch, tree)) return;
    searchAndPages(report, targets, tree);
    CloseMenus(kUiTimeout);
    saveList(report, targets, tree);
    CloseMenus(kUiTimeout);
    doubleClick(report, targets, tree);
    CloseMenus(kUiTimeout);
    openWith(report, targets, tree);
    CloseMenus(kUiTimeout);
    picker(report, targets, tree);
    CloseMenus(kUiTimeout);
    keysAndGrid(report, targets, tree);
    CloseMenus(kUiTimeout);
    accessibility(report, targets, tree);
    CloseMenus(kUiTimeout);
    histories(report, targets, tree);
    longPaths(report, targets);
    stopMidSearch(report, targets);
    ::SetEnvironmentVariableW(L"TOLVEK_RECORDER_LOG", nullptr);
}

}  // namespace e2e
