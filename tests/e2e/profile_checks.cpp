// Our profile engine against GetPrivateProfileStringW and
// WritePrivateProfileStringW on the same files: awkward spacing, quotes,
// long values, duplicates, every kind of line end; and configurations in
// UTF-16 and in the ANSI code page that the launcher must keep readable.
#include <cstdio>
#include <string>
#include <vector>

#include "checks.h"
#include "platform/profile.h"

namespace e2e {

using namespace std::chrono_literals;

namespace {

struct TQuery {
    std::string section, key, def;
};

struct TReadCase {
    const char* name;
    std::string bytes;
    std::vector<TQuery> queries;
};

struct TWrite {
    std::string section, key, value;
};

std::string realRead(const std::wstring& file, const TQuery& q) {
    // The buffer the program uses: 2048 characters, so at most 2047 come back.
    std::vector<wchar_t> buf(2048, L'\0');
    ::GetPrivateProfileStringW(Widen(q.section).c_str(), Widen(q.key).c_str(), Widen(q.def).c_str(), buf.data(),
                               static_cast<DWORD>(buf.size()), file.c_str());
    return Narrow(buf.data());
}

std::string describe(const TQuery& q) {
    return "[" + q.section + "] " + Show(q.key) + " default " + Show(q.def);
}

std::string repeat(std::string_view unit, std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i) out += unit;
    return out;
}

// Digits that change along the value, so a cut at the wrong place shows.
std::string longValue(std::size_t length) {
    std::string out;
    for (std::size_t i = 0; i < length; ++i) out += static_cast<char>('0' + (i / 10) % 10);
    return out;
}

std::vector<TReadCase> readCases() {
    std::vector<TReadCase> cases;
    cases.push_back({"quotes",
                     "[quotes]\r\ndq=\"val\"\r\nsq='val'\r\nopen=\"val\r\nclose=val\"\r\nmixed=\"val'\r\none=\"\r\n"
                     "two=\"\"\r\ninner=a \"b\" c\r\npadded=  \"  in quotes  \"  \r\nsingle='x'\r\n",
                     {{"quotes", "dq", "def"},
                      {"quotes", "sq", "def"},
                      {"quotes", "open", "def"},
                      {"quotes", "close", "def"},
                      {"quotes", "mixed", "def"},
                      {"quotes", "one", "def"},
                      {"quotes", "two", "def"},
                      {"quotes", "inner", "def"},
                      {"quotes", "padded", "def"},
                      {"quotes", "single", "def"},
                      {"quotes", "nokey", "fallback   "}}});
    cases.push_back({"blanks",
                     "[ section1 ]\n  key1  =  value1  \nkey2=value2\t\n\ttabbed\t=\ttab value\t\n[section2]\nname2=\n"
                     "noequals line\nKeyCase=Upper\nspaced key = v\n",
                     {{"section1", "key1", "def"},
                      {"SECTION1", "KEY2", "def"},
                      {"Section1", "tabbed", "def"},
                      {"section2", "name2", "def"},
                      {"section2", "noequals line", "def"},
                      {"section2", "noequals", "def"},
                      {"section2", "keycase", "def"},
                      {"section2", "spaced key", "def"},
                      {"nosection", "key1", "dflt   "},
                      {"section2", "missing", "  both  "},
                      {"section2", "missing", ""}}});
    cases.push_back({"long",
                     "[long]\r\nvalue=" + longValue(3000) + "\r\nafter=still read\r\nexact=" + longValue(2047) +
                         "\r\nover=" + longValue(2048) + "\r\nquoted=\"" + longValue(2100) + "\"\r\n",
                     {{"long", "value", ""},
                      {"long", "after", ""},
                      {"long", "exact", ""},
                      {"long", "over", ""},
                      {"long", "quoted", ""}}});
    // The default comes back through the same 2048-character buffer.
    cases.push_back({"long-default", "[long]\r\nshort=1\r\n", {{"long", "missing", longValue(3000)}}});
    cases.push_back({"duplicates",
                     "[dup]\r\nk=first\r\nk=second\r\nK=third\r\n[other]\r\na=1\r\n[DUP]\r\nk=fourth\r\n"
                     "extra=only in the second\r\n",
                     {{"dup", "k", "def"}, {"DUP", "K", "def"}, {"dup", "extra", "def"}, {"other", "a", "def"}}});
    cases.push_back(
        {"cr-only", "[a]\rk1=v1\r[b]\rk2=v2\r", {{"a", "k1", "def"}, {"b", "k2", "def"}, {"a", "k2", "def"}}});
    cases.push_back({"mixed-ends",
                     "[a]\r\nk1=v1\n[b]\rk2=v2\r\nk3=v3",
                     {{"a", "k1", "def"}, {"b", "k2", "def"}, {"b", "k3", "def"}}});
    cases.push_back({"blank-lines",
                     "\r\n\r\n[s]\r\n\r\nk=v\r\n\r\n[t]\r\n  \r\nu=w\r\n",
                     {{"s", "k", "def"}, {"t", "u", "def"}, {"s", "u", "def"}}});
    cases.push_back({"utf8-bom",
                     "\xEF\xBB\xBF[bom]\r\nword=Gr\xC3\xBC\xC3\x9F"
                     "e\r\nlong=" +
                         repeat("\xC3\xA9", 3000) + "\r\n",
                     {{"bom", "word", "def"},
                      {"bom", "long", "def"},
                      {"BOM", "missing",
                       "d\xC3\xA9"
                       "f "}}});
    return cases;
}

void readChecks(TReport& report, const std::wstring& dir) {
    std::vector<TReadCase> cases = readCases();
    // Files without a BOM are read in the ANSI code page by both readers;
    // ours assumes Windows-1252 for it.
    if (::GetACP() == 1252)
        cases.push_back({"ansi", "[ansi]\r\nword=caf\xE9\r\n", {{"ansi", "word", "def"}}});
    else
        report.Note("profile: the ANSI code page is " + std::to_string(::GetACP()) + ", not 1252; ANSI file skipped");

    for (const TReadCase& c : cases) {
        const std::wstring file = JoinPath(dir, L"read-" + Widen(c.name) + L".ini");
        if (!report.Check(std::string("profile.read.") + c.name + ".file", WriteFileBytes(file, c.bytes),
                          "cannot write the file"))
            continue;
        const TProfileData ours = TProfileData::Parse(c.bytes);
        std::string wrong;
        for (const TQuery& q : c.queries) {
            const std::string real = realRead(file, q);
            const std::string mine = ours.ReadString(q.section, q.key, q.def);
            if (real != mine) wrong += " " + describe(q) + ": platform " + Show(real) + ", ours " + Show(mine) + ";";
        }
        report.Check(std::string("profile.read.") + c.name, wrong.empty(), wrong);
    }
}

const std::vector<TWrite> kFreshWrites = {
    {"first", "alpha", "one"},      {"first", "beta", ""},   {"second", "gamma", "three words"},
    {"first", "alpha", "replaced"}, {"FIRST", "Delta", "d"}, {"second", "GAMMA", "g2"},
    {"third", "k", "  spaced  "},   {"second", "empty", ""}, {"second", "empty", "filled"},
    {"first", "quoted", "\"q\""},   {"Third", "K", "again"}, {"fourth", "n", "1"}};

void freshWriteChecks(TReport& report, const std::wstring& dir) {
    const std::wstring file = JoinPath(dir, L"write-fresh.ini");
    ::DeleteFileW(file.c_str());
    TProfileData ours;
    bool allWritten = true;
    for (const TWrite& w : kFreshWrites) {
        allWritten = ::WritePrivateProfileStringW(Widen(w.section).c_str(), Widen(w.key).c_str(),
                                                  Widen(w.value).c_str(), file.c_str()) &&
                     allWritten;
        ours.Write(w.section, w.key, w.value);
    }
    if (!report.Check("profile.write.fresh.platform-writes", allWritten, "WritePrivateProfileStringW failed")) return;
    const std::string real = ReadFileBytes(file);
    const std::string mine = ours.Serialize();
    report.Check("profile.write.fresh.same-bytes", real == mine, "ours " + FirstDifference(mine, real));
}

struct TWriteCase {
    const char* name;
    std::string bytes;
    std::vector<TWrite> writes;
    std::vector<TQuery> queries;  // read back afterwards
};

void existingWriteChecks(TReport& report, const std::wstring& dir) {
    const std::vector<TWriteCase> cases = {
        {"quotes",
         "[quotes]\r\ndq=\"val\"\r\nsq='val'\r\n; a comment\r\nopen=\"val\r\n\r\n[next]\r\nx=1\r\n",
         {{"quotes", "dq", "new"}, {"quotes", "added", "a"}, {"QUOTES", "SQ", ""}, {"next", "y", "\"2\""}},
         {{"quotes", "dq", "def"},
          {"quotes", "sq", "def"},
          {"quotes", "open", "def"},
          {"quotes", "added", "def"},
          {"next", "x", "def"},
          {"next", "y", "def"}}},
        {"blanks",
         "[ section1 ]\n  key1  =  value1  \nkey2=value2\n\n[section2]\nname2=\nnoequals line\n",
         {{"section1", "key1", "changed"}, {"section1", "key2", ""}, {"section2", "added", "x"}, {"fresh", "k", "v"}},
         {{"section1", "key1", "def"},
          {"section1", "key2", "def"},
          {"section2", "name2", "def"},
          {"section2", "added", "def"},
          {"section2", "noequals line", "def"},
          {"fresh", "k", "def"}}},
        {"duplicates",
         "[dup]\r\nk=first\r\nk=second\r\n[other]\r\na=1\r\n[DUP]\r\nk=third\r\nextra=e\r\n",
         {{"DUP", "k", "w"}, {"dup", "extra", "x"}, {"other", "b", "2"}},
         {{"dup", "k", "def"}, {"dup", "extra", "def"}, {"other", "a", "def"}, {"other", "b", "def"}}},
        {"no-final-newline",
         "[s]\nk=v",
         {{"s", "n", "1"}, {"t", "m", "2"}},
         {{"s", "k", "def"}, {"s", "n", "def"}, {"t", "m", "def"}}},
    };
    for (const TWriteCase& c : cases) {
        const std::string name = std::string("profile.write.") + c.name;
        const std::wstring realFile = JoinPath(dir, L"write-" + Widen(c.name) + L"-platform.ini");
        const std::wstring ourFile = JoinPath(dir, L"write-" + Widen(c.name) + L"-ours.ini");
        if (!report.Check(name + ".file", WriteFileBytes(realFile, c.bytes), "cannot write the file")) continue;
        TProfileData ours = TProfileData::Parse(c.bytes);
        bool allWritten = true;
        for (const TWrite& w : c.writes) {
            allWritten = ::WritePrivateProfileStringW(Widen(w.section).c_str(), Widen(w.key).c_str(),
                                                      Widen(w.value).c_str(), realFile.c_str()) &&
                         allWritten;
            ours.Write(w.section, w.key, w.value);
        }
        if (!report.Check(name + ".platform-writes", allWritten, "WritePrivateProfileStringW failed")) continue;
        if (!report.Check(name + ".our-file", WriteFileBytes(ourFile, ours.Serialize()), "cannot write the file"))
            continue;
        // The platform rewrites the whole file in its own layout, so only
        // the values are comparable: both files through the platform's reader.
        std::string wrong;
        for (const TQuery& q : c.queries) {
            const std::string real = realRead(realFile, q), mine = realRead(ourFile, q);
            if (real != mine) wrong += " " + describe(q) + ": platform " + Show(real) + ", ours " + Show(mine) + ";";
        }
        report.Check(name + ".same-values", wrong.empty(), wrong);
    }
}

std::string utf16(const std::u16string& text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t u : text) {
        bytes += static_cast<char>(bigEndian ? u >> 8 : u & 0xFF);
        bytes += static_cast<char>(bigEndian ? u & 0xFF : u >> 8);
    }
    return bytes;
}

// The launcher reads the caption of a configuration, closes once, which
// writes the position and the history, and the platform's reader still reads
// the file: nothing before the new keys changed, and they are in the same
// encoding.
void keepsEncoding(TReport& report, const TTargets& targets, const std::string& name, const std::string& bytes,
                   const std::string& caption) {
    const std::string check = "profile.encoding." + name;
    const std::wstring dir = JoinPath(targets.scratch, L"profile");
    ::CreateDirectoryW(dir.c_str(), nullptr);
    const std::wstring ini = JoinPath(dir, L"encoding-" + Widen(name) + L".ini");
    if (!report.Check(check + ".file", WriteFileBytes(ini, bytes), "cannot write the file")) return;
    {
        TProcess process;
        HWND form = StartLauncher(report, check, process, targets.full, {ini});
        HWND button = form ? ButtonOf(form) : nullptr;
        if (!button) return;
        report.Check(check + ".caption", TextOf(button) == caption, "the button reads " + Show(TextOf(button)));
        ::PostMessageW(form, WM_CLOSE, 0, 0);
        if (!report.Check(check + ".closes", process.WaitExit(10s), "still running 10 s after WM_CLOSE")) return;
    }
    const std::string after = ReadFileBytes(ini);
    report.Check(check + ".kept", after.size() > bytes.size() && after.starts_with(bytes),
                 FirstDifference(after.substr(0, bytes.size()), bytes));
    const std::string read = realRead(ini, {"CONFIG", "Caption", ""});
    const std::string added = realRead(ini, {"CONFIG", "StayOnTop", ""});
    report.Check(check + ".platform-reads", read == caption && added == "0",
                 "Caption " + Show(read) + ", StayOnTop " + Show(added));
}

}  // namespace

void RunAnsiProfileChecks(TReport& report, const TTargets& targets) {
    // "Блок" in code page 1251, "Café" in 1252.
    const UINT codePage = ::GetACP();
    const std::string word = codePage == 1251 ? "\xC1\xEB\xEE\xEA" : "Caf\xE9";
    if (codePage != 1251 && codePage != 1252) {
        report.Note("profile: the ANSI code page is " + std::to_string(codePage) + "; ANSI configuration skipped");
        return;
    }
    keepsEncoding(report, targets, "ansi-" + std::to_string(codePage),
                  "[CONFIG]\r\nCaption=" + word + "\r\nLeft=300\r\nTop=150\r\nQuickClose=1\r\n",
                  codePage == 1251 ? "Блок" : "Café");
}

void RunProfileChecks(TReport& report, const TTargets& targets) {
    const std::wstring dir = JoinPath(targets.scratch, L"profile");
    ::CreateDirectoryW(dir.c_str(), nullptr);
    readChecks(report, dir);
    freshWriteChecks(report, dir);
    existingWriteChecks(report, dir);
    const std::u16string config = u"[CONFIG]\r\nCaption=Блок Ψ\r\nLeft=300\r\nTop=150\r\nQuickClose=1\r\n";
    keepsEncoding(report, targets, "utf16le", utf16(config, false), "Блок Ψ");
    keepsEncoding(report, targets, "utf16be", utf16(config, true), "Блок Ψ");
    RunAnsiProfileChecks(report, targets);
}

}  // namespace e2e
