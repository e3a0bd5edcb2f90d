// Building the configured part of the popup menu from the three entry
// sections, and attaching META commands to their handlers.
#include <algorithm>
#include <charconv>
#include <cstring>

#include "core/start.h"

namespace {
// Nesting beyond this is cut: the entry becomes an item without children.
constexpr std::size_t kMaxNesting = 64;
// Ranges may name the same entries again and again (65535 groups of 65535
// each); past this many submenu items in all, a group gets no children, so the
// menu stays linear in the file's size.
constexpr std::size_t kMaxSubmenuItems = 131072;

struct SectionInfo {
    std::string_view name;
    std::string_view defaultCaption;
    std::string_view groupMarker;
};

// "<prefix><number>" in a buffer of its own: the menu asks for four keys of
// each of up to 65535 entries, and this is the hot path of start-up.
class NumberedName {
public:
    explicit NumberedName(std::uint16_t number) {
        digitsEnd_ = static_cast<std::size_t>(std::to_chars(digits_, digits_ + sizeof digits_, number).ptr - digits_);
    }
    std::string_view operator()(std::string_view prefix) {
        std::memcpy(text_, prefix.data(), prefix.size());
        std::memcpy(text_ + prefix.size(), digits_, digitsEnd_);
        return {text_, prefix.size() + digitsEnd_};
    }

private:
    char digits_[8];
    std::size_t digitsEnd_ = 0;
    char text_[32];  // the longest prefix is 14 characters
};

constexpr SectionInfo kSections[] = {
    {"PROGRAMS", "Error", "SuperMenu"},
    {"SUBPROGRAMS", "SubMenu Error", "LongMenu"},
    {"LONGPROGRAMS", "LongMenu Error", "LongMenu"},
};

bool namesMeta(std::string_view progName) {
    // Positions count characters: a multi-byte one before "META" is one.
    for (int chars = 0; chars < 4 && !progName.empty(); ++chars) {
        if (SameText(progName.substr(0, 4), "META")) return true;
        std::size_t next = 1;
        while (next < progName.size() && (static_cast<unsigned char>(progName[next]) & 0xC0) == 0x80) ++next;
        progName.remove_prefix(next);
    }
    return false;
}

using Handler = void (TTolvekForm::*)(TObject*);
struct MetaCommand {
    const char* text;
    Handler handler;
};
const MetaCommand kMetaCommands[] = {
    {"METACLOSE", &TTolvekForm::CloseTolvek1Click},
    {"METAFINDFILE", &TTolvekForm::FindFile1Click},
    {"METARUN", &TTolvekForm::Run1Click},
    {"METASYSTEMMETER", &TTolvekForm::SystemMeter1Click},
    {"METATIMEDATE", &TTolvekForm::TimeDate1Click},
    {"METAEXITWINDOWS", &TTolvekForm::EndWindows1Click},
    {"METARESTARTWINDOWS", &TTolvekForm::RestartWindows1Click},
    {"METAREBOOTCOMPUTER", &TTolvekForm::RebootComputer1Click},
    {"METAANALOGCLOCK", &TTolvekForm::AnalogClock1Click},
};
}  // namespace

std::unique_ptr<TMenuItem> TTolvekForm::buildEntry(TIniFile& ini, Section section, std::uint16_t number,
                                                   TComponent* owner) {
    const SectionInfo& info = kSections[static_cast<int>(section)];
    NumberedName key(number), fallback(number);
    std::string name = ini.ReadString(info.name, key("Name"), fallback(info.defaultCaption));
    std::string param = ini.ReadString(info.name, key("Param"), "");
    std::string progName = ini.ReadString(info.name, key("ProgName"), "");
    std::string shortCut = ini.ReadString(info.name, key("ShortCut"), "");

    auto item = std::make_unique<TMenuItem>(owner);
    item->Caption = std::move(name);
    item->Hint.reserve(progName.size() + 1 + param.size());
    item->Hint.append(progName).append(" ").append(param);
    // A separator line has no shortcut and does nothing.
    const bool line = item->IsLine();
    if (!shortCut.empty() && !line) item->ShortCut = TextToShortCut(shortCut);
    const bool group = progName.find(info.groupMarker) != std::string::npos;
    if (!group && !line) item->OnClick = [this](TObject* s) { RunEntry(static_cast<TMenuItem*>(s)); };
    if (namesMeta(progName) && !line) AssignMetaCommand(item.get());
    if (!group) return item;

    // A long entry already on the path, or nesting too deep, would never end:
    // it stays an item without children.
    const bool isLong = section == Section::LongPrograms;
    if (longPath_.size() >= kMaxNesting ||
        (isLong && std::find(longPath_.begin(), longPath_.end(), number) != longPath_.end()))
        return item;
    const auto first = static_cast<std::uint16_t>(StrToInt(param));
    const auto last = static_cast<std::uint16_t>(StrToInt(shortCut));
    if (first > last) return item;
    const std::size_t count = static_cast<std::size_t>(last - first) + 1;
    if (builtChildren_ + count > kMaxSubmenuItems) return item;
    builtChildren_ += count;
    if (isLong) longPath_.push_back(number);
    try {
        if (section == Section::Programs) {
            // Last to first, each on top: ascending order.
            for (int k = last; k >= first; --k)
                item->Insert(0, buildEntry(ini, Section::SubPrograms, static_cast<std::uint16_t>(k), item.get()));
        } else {
            // First to last, each on top: descending order.
            for (int k = first; k <= last; ++k) AddLongMenuEntry(ini, *item, static_cast<std::uint16_t>(k));
        }
    } catch (...) {
        if (isLong) longPath_.pop_back();
        throw;
    }
    if (isLong) longPath_.pop_back();
    return item;
}

void TTolvekForm::AddLongMenuEntry(TIniFile& ini, TMenuItem& parent, std::uint16_t number) {
    parent.Insert(0, buildEntry(ini, Section::LongPrograms, number, &parent));
}

void TTolvekForm::AssignMetaCommand(TMenuItem* item) {
    std::string text = UpperCase(item->Hint);
    if (!text.empty()) text.pop_back();
    for (const auto& cmd : kMetaCommands) {
        if (text == cmd.text) {
            item->OnClick = [this, h = cmd.handler](TObject* s) { (this->*h)(s); };
            return;
        }
    }
    item->OnClick = [this](TObject* s) { UnknownMetaClick(s); };
}

void TTolvekForm::UnknownMetaClick(TObject* sender) {
    auto* item = static_cast<TMenuItem*>(sender);
    Application->MessageBox("I don't understand \"" + item->Hint + "\"", "Error", MB_OK);
}
