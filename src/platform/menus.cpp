#include "platform/menus.h"

#include <algorithm>
#include <stdexcept>

#include "platform/drivers.h"
#include "platform/forms.h"
#include "platform/os.h"

namespace {
// Modifier prefixes, compared without regard to case.
struct Prefix {
    std::string_view text;
    TShortCut bit;
};
constexpr Prefix kPrefixes[] = {{"Shift+", scShift}, {"^", scCtrl}, {"Ctrl+", scCtrl}, {"Alt+", scAlt}};
// Entries of one menu level shown whole, however tall.
constexpr int kWholeLevel = 256;

// A caption as a range's caption may quote it: without its accelerator mark.
std::string withoutAccelerator(const std::string& caption) {
    std::string text;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && i + 1 < caption.size() && caption[i + 1] == '&')
            text += caption[i++];
        else if (caption[i] == '&')
            continue;
        text += caption[i];
    }
    return text;
}
}  // namespace

namespace {
// The names of the table; other keys are named by the keyboard layout.
std::string tableName(Word key) {
    switch (key) {
        case 8: return "BkSp";
        case 9: return "Tab";
        case 13: return "Enter";
        case 27: return "Esc";
        case 32: return "Space";
        case 33: return "PgUp";
        case 34: return "PgDn";
        case 35: return "End";
        case 36: return "Home";
        case 37: return "Left";
        case 38: return "Up";
        case 39: return "Right";
        case 40: return "Down";
        case 45: return "Ins";
        case 46: return "Del";
        default: break;
    }
    if (key >= '0' && key <= '9') return std::string(1, static_cast<char>(key));
    if (key >= 'A' && key <= 'Z') return std::string(1, static_cast<char>(key));
    if (key >= 96 && key <= 105) return std::string(1, static_cast<char>('0' + key - 96));
    if (key >= 112 && key <= 135) {
        std::string name(1, 'F');  // appended, not concatenated: g++ 12 warns falsely on "F" + ...
        name += std::to_string(key - 111);
        return name;
    }
    return {};
}

bool oneCharacter(std::string_view text) {
    return !text.empty() && Utf8Prefix(text, 1).size() == text.size();
}

// The layout's name when it is a single character; without an application
// (tools, fuzz targets) the layout is a US one.
std::string layoutName(Word key) {
    std::string name = Application ? Application->OS().LayoutKeyName(key) : IOperatingSystem::UsLayoutKeyName(key);
    return oneCharacter(name) ? name : std::string();
}

// Upper case of the letters that layouts name keys with (Latin-1, Greek,
// Cyrillic), so that "ctrl+ü" finds the key named "Ü".
std::u16string upperLetters(std::string_view text) {
    std::u16string s = Wtf8ToUtf16(text);
    for (char16_t& c : s) {
        if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7) ||
            (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) || (c >= 0x430 && c <= 0x44F))
            c = static_cast<char16_t>(c - 0x20);
        else if (c >= 0x450 && c <= 0x45F)
            c = static_cast<char16_t>(c - 0x50);
    }
    return s;
}
}  // namespace

std::string IOperatingSystem::UsLayoutKeyName(Word key) {
    switch (key) {
        case 0xBA: return ";";
        case 0xBB: return "=";
        case 0xBC: return ",";
        case 0xBD: return "-";
        case 0xBE: return ".";
        case 0xBF: return "/";
        case 0xC0: return "`";
        case 0xDB: return "[";
        case 0xDC: return "\\";
        case 0xDD: return "]";
        case 0xDE: return "'";
        default: return {};
    }
}

std::string IOperatingSystem::LayoutKeyName(Word key) {
    return UsLayoutKeyName(key);
}

std::string KeyName(Word key) {
    std::string name = tableName(key);
    return name.empty() ? layoutName(key) : name;
}

TShortCut TextToShortCut(std::string_view text) {
    TShortCut mods = 0;
    for (bool matched = true; matched;) {
        matched = false;
        for (const auto& p : kPrefixes) {
            if (text.size() >= p.text.size() && SameText(text.substr(0, p.text.size()), p.text)) {
                mods |= p.bit;
                text.remove_prefix(p.text.size());
                matched = true;
                break;
            }
        }
    }
    if (text.empty()) return 0;
    // Only a single character can be a layout's name, so only then is it asked.
    const std::u16string wanted = oneCharacter(text) ? upperLetters(text) : std::u16string();
    // Lowest key code first, so digits name the main keyboard's keys.
    for (Word key = 8; key <= 255; ++key) {
        const std::string name = tableName(key);
        if (name.empty() ? !wanted.empty() && upperLetters(layoutName(key)) == wanted : SameText(name, text))
            return static_cast<TShortCut>(key | mods);
    }
    return 0;
}

std::string ShortCutToText(TShortCut shortcut) {
    std::string name = KeyName(static_cast<Word>(shortcut & 0xFF));
    if (name.empty()) return {};
    std::string text;
    if (shortcut & scShift) text += "Shift+";
    if (shortcut & scCtrl) text += "Ctrl+";
    if (shortcut & scAlt) text += "Alt+";
    return text + name;
}

TMenuItem* TMenuItem::Add(std::unique_ptr<TMenuItem> item) { return Insert(Count(), std::move(item)); }

TMenuItem* TMenuItem::Items(int index) const {
    if (!items_) throw std::out_of_range("menu item index " + std::to_string(index));
    return items_->at(static_cast<std::size_t>(index)).get();
}

TMenuItem* TMenuItem::Insert(int index, std::unique_ptr<TMenuItem> item) {
    item->parent_ = this;
    if (!items_) items_ = std::make_unique<std::deque<std::unique_ptr<TMenuItem>>>();
    auto pos = items_->begin() + std::clamp(index, 0, Count());
    return items_->insert(pos, std::move(item))->get();
}

void TMenuItem::Click() {
    if (Enabled && OnClick) OnClick(this);
}

TMenuItem* TMenuItem::FindShortCut(TShortCut shortcut) {
    // Iterative, so a deep menu cannot exhaust the stack.
    std::vector<TMenuItem*> pending{this};
    while (!pending.empty()) {
        TMenuItem* item = pending.back();
        pending.pop_back();
        // A line shows nothing below it, so neither it nor its children act.
        if (item != this && item->IsLine()) continue;
        for (int i = item->Count() - 1; i >= 0; --i) pending.push_back(item->Items(i));
        if (item != this && item->ShortCut == shortcut && item->Enabled && item->Visible) return item;
    }
    return nullptr;
}

std::vector<TMenuEntry> MenuLevel(const TMenuEntry& opened, int capacity) {
    TMenuItem* parent = opened.item ? opened.item : opened.parent;
    const int first = opened.item ? 0 : opened.first;
    const int last = opened.item ? parent->Count() : opened.last;
    const int screen = std::max(capacity, 8);
    std::vector<TMenuEntry> level;
    auto addItems = [&](int from, int to) {
        for (int i = from; i < to; ++i)
            if (parent->Items(i)->Visible) level.push_back({parent->Items(i), nullptr, 0, 0, {}});
    };
    // An ordinary menu keeps every entry on its level, scrolling where it is
    // taller than the screen as the platform's own menus do; only levels too
    // long to build at once are split.
    if (last - first <= screen || (opened.item && last - first <= kWholeLevel)) {
        addItems(first, last);
        return level;
    }
    // Only the ends and the ranges' ends are looked at, so a level costs a
    // screen of items however many it holds; a range holding hidden items
    // shows fewer than its share.
    int headEnd = first, tailBegin = last;
    if (opened.item) {
        for (int kept = 0; kept < screen / 4 && headEnd < last;) kept += parent->Items(headEnd++)->Visible;
        for (int kept = 0; kept < screen / 4 && tailBegin > headEnd;) kept += parent->Items(--tailBegin)->Visible;
    }
    const auto slots = static_cast<std::size_t>(opened.item ? screen - 2 * (screen / 4) : screen);
    const auto middle = static_cast<std::size_t>(tailBegin - headEnd);
    const auto page = static_cast<std::size_t>(screen);
    // Ranges of a power of a screen, so the innermost ones are whole screens.
    std::size_t unit = 1;
    while (unit * slots < middle) unit *= page;
    // The first level spreads its ranges of whole screens over its slots
    // rather than leave most of them empty.
    if (opened.item) {
        const std::size_t below = std::max(unit / page, page);
        unit = below * ((middle + slots * below - 1) / (slots * below));
    }
    addItems(first, headEnd);
    for (std::size_t k = 0; k < middle; k += unit) {
        const int from = headEnd + static_cast<int>(k), to = headEnd + static_cast<int>(std::min(k + unit, middle));
        if (to - from == 1) {
            addItems(from, to);
            continue;
        }
        // Its caption quotes its first and last shown items that are not lines.
        int a = from, b = to - 1;
        while (a <= b && !parent->Items(a)->Visible) ++a;
        while (b >= a && !parent->Items(b)->Visible) --b;
        if (a > b) continue;  // nothing in it is shown
        int textA = a, textB = b;
        while (textA <= b && (!parent->Items(textA)->Visible || parent->Items(textA)->IsLine())) ++textA;
        while (textB >= textA && (!parent->Items(textB)->Visible || parent->Items(textB)->IsLine())) --textB;
        std::string caption = textA > textB ? "\u2026"
                                            : withoutAccelerator(parent->Items(textA)->Caption) + " \u2013 " +
                                                  withoutAccelerator(parent->Items(textB)->Caption);
        level.push_back({nullptr, parent, from, to, std::move(caption)});
    }
    addItems(tailBegin, last);
    return level;
}

TPopupMenu::TPopupMenu(TComponent* owner) : TComponent(owner), root_(this), driver_(newMenuDriver(this)) {}

TPopupMenu::~TPopupMenu() = default;

void TPopupMenu::Popup(int x, int y) {
    if (OnPopup) OnPopup(this);
    if (TMenuItem* chosen = driver_->Popup(x, y)) Application->Dispatch([chosen] { chosen->Click(); });
}

bool TPopupMenu::IsShortCut(TShortCut shortcut) {
    if (shortcut == 0) return false;
    TMenuItem* item = root_.FindShortCut(shortcut);
    if (!item) return false;
    item->Click();
    return true;
}
