#include "finder/srch.h"

#include <chrono>

#include "core/start.h"
#include "platform/filesearch.h"
#include "platform/inifiles.h"

namespace {

constexpr Word VK_RETURN = 13;
constexpr const char* kSearchSection = "SEARCH";
constexpr char kHelpKeyword[] = "Search Dialog";
constexpr int kDesignColWidths[] = {38, 298, 61, 80, 65};
constexpr int kLabelGap = 2;  // between a label and a neighbour it had to give way to
constexpr const char* kColumnTitles[] = {"Index", "Name", "Attr", "Date", "Size(B)"};
// Widths of the narrow columns, measured in the grid's font.
constexpr const char* kColumnSamples[] = {"IndexW", nullptr, "AttrWW", "12/12/12W", "Size(B)W"};

// Until the backend reports the client area, a sizeable window with a menu
// bar loses about this much to its frame, caption and menu.
constexpr int kFrameWidth = 8;
constexpr int kFrameHeight = 46;

constexpr Word VK_ESCAPE = 27;
// The longest the window goes without looking at its messages, and the
// shortest time between two counts shown while a search runs.
constexpr auto kSearchSlice = std::chrono::milliseconds(25);
constexpr std::uint64_t kCountEveryMs = 100;
constexpr unsigned kWaitMs = 100;

std::string grouped(std::int32_t n) {
    std::string digits = std::to_string(n);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(static_cast<std::size_t>(at), ",");
    return digits;
}

void loadHistory(const TIniFile& ini, const char* key, TComboBox& box) {
    for (int k = 1; k <= kSearchHistorySlots; ++k) {
        std::string value = ini.ReadString(kSearchSection, key + std::to_string(k), "");
        if (!value.empty()) box.AddItem(std::move(value));
    }
}

void saveHistory(TIniFile& ini, const char* key, const TComboBox& box) {
    const auto& items = box.Items();
    for (std::size_t p = 1; p <= items.size() && p <= kSearchHistorySlots; ++p)
        if (!items[p - 1].empty()) ini.WriteString(kSearchSection, key + std::to_string(p), items[p - 1]);
}

}  // namespace

std::string PadRight(const std::string& text, std::size_t width) {
    // Characters, not bytes, so that a name with accents keeps the columns.
    std::size_t chars = 0;
    for (char c : text) chars += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return chars < width ? text + std::string(width - chars, ' ') : text;
}

std::string AttrLetters(std::uint8_t attr, bool fixed) {
    std::string out;
    const std::pair<std::uint8_t, char> bits[] = {
        {faReadOnly, 'R'}, {faHidden, 'H'}, {faSysFile, 'S'}, {faArchive, 'A'}};
    for (auto [bit, letter] : bits)
        if (attr & bit)
            out += letter;
        else if (fixed)
            out += ' ';
    return out;
}

std::string ShortDate(std::int32_t time) {
    const TDosDate d = UnpackDosDate(time);
    if (d.month < 1 || d.month > 12 || d.day < 1) return {};
    return Application->OS().FormatShortDate(d.year, d.month, d.day);
}

// While it lives: every control but "Close" disabled, the hourglass shown,
// the focus on "Close"; afterwards all as it was.
class TSearchFrm::TSearching {
public:
    explicit TSearching(TSearchFrm& w)
        : w_(w), controls_{&w.txtSearchFilter, &w.txtStartIn,  &w.cbIncludeSub, &w.spFindNow, &w.spdHelp,
                           &w.spdSearch,       &w.spdPrevPage, &w.spdNextPage,  &w.SearchRes} {
        w.searching_ = true;
        w.stopRequested_ = false;
        w.closeRequested_ = false;
        for (TControl* c : controls_)
            if (c->Focused()) focus_ = c;
        // The boxes' histories take nothing from this move: the focus comes
        // back when the search has ended.
        w.spdStopNow.SetFocus();
        for (TControl* c : controls_) {
            enabled_.push_back(c->Enabled());
            c->SetEnabled(false);
        }
        for (TMenuItem* item : {w.File1, w.Help1}) {
            enabled_.push_back(item->Enabled);
            item->Enabled = false;
        }
        Application->SetCursor(TCursor::HourGlass);
    }
    TSearching(const TSearching&) = delete;
    TSearching& operator=(const TSearching&) = delete;
    ~TSearching() {
        std::size_t i = 0;
        for (TControl* c : controls_) c->SetEnabled(enabled_[i++]);
        for (TMenuItem* item : {w_.File1, w_.Help1}) item->Enabled = enabled_[i++];
        Application->SetCursor(TCursor::Default);
        w_.searching_ = false;
        if (focus_) focus_->SetFocus();
    }

private:
    TSearchFrm& w_;
    const std::vector<TControl*> controls_;
    std::vector<bool> enabled_;
    TControl* focus_ = nullptr;
};

void AddToSearchHistory(TComboBox& box, const std::string& text) {
    if (text.empty()) return;
    for (const std::string& item : box.Items())
        if (SameText(item, text)) return;
    box.AddItem(text);
}

TSearchFrm::TSearchFrm(TComponent* owner) : TForm(owner, "TSearchFrm") {
    Name = "SearchFrm";
    SetCaption("Search Results");
    BorderStyle = TBorderStyle::Sizeable;
    SetBounds(1, -2, 628, 450);
    FontName = "Arial";
    FontHeight = 13;

    TvPanel1.Name = "TvPanel1";
    TvPanel1.Align = TAlign::Top;
    TvPanel1.SetBounds(0, 0, 620, 109);
    TvPanel1.TabOrder = 0;

    placeLabel(Label1, 36, 16, "Search Filter:");
    txtSearchFilter.Name = "txtSearchFilter";
    txtSearchFilter.SetBounds(124, 12, 245, 24);
    txtSearchFilter.Sorted = true;
    txtSearchFilter.TabOrder = 0;
    txtSearchFilter.OnKeyDown = [this](TObject* s, Word& k, TShiftState sh) { txtSearchFilterKeyDown(s, k, sh); };
    txtSearchFilter.OnExit = [this](TObject* s) { txtSearchFilterExit(s); };

    spdHelp.Name = "spdHelp";
    spdHelp.SetBounds(376, 11, 25, 25);
    spdHelp.SetCaption("?");
    spdHelp.HasGlyph = false;
    spdHelp.OnClick = [this](TObject* s) { spdHelpClick(s); };

    spFindNow.Name = "spFindNow";
    spFindNow.SetBounds(428, 11, 69, 25);
    spFindNow.SetCaption("Find Now");
    spFindNow.TabOrder = 3;
    spFindNow.OnClick = [this](TObject* s) { spFindNowClick(s); };

    placeLabel(Label2, 68, 48, "Start In:");
    txtStartIn.Name = "txtStartIn";
    txtStartIn.SetBounds(124, 40, 245, 24);
    txtStartIn.TabOrder = 1;
    txtStartIn.OnKeyDown = [this](TObject* s, Word& k, TShiftState sh) { txtStartInKeyDown(s, k, sh); };
    txtStartIn.OnExit = [this](TObject* s) { txtStartInExit(s); };

    spdSearch.Name = "spdSearch";
    spdSearch.SetBounds(376, 39, 25, 25);
    spdSearch.SetCaption("...");
    spdSearch.HasGlyph = false;
    spdSearch.OnClick = [this](TObject* s) { spdSearchClick(s); };

    spdStopNow.Name = "spdStopNow";
    spdStopNow.SetBounds(428, 39, 69, 25);
    spdStopNow.SetCaption("Close");
    spdStopNow.TabOrder = 4;
    spdStopNow.OnClick = [this](TObject* s) { spdStopNowClick(s); };

    cbIncludeSub.Name = "cbIncludeSub";
    cbIncludeSub.SetBounds(160, 64, 169, 17);
    cbIncludeSub.SetCaption("Include Subdirectories");
    cbIncludeSub.SetChecked(true);
    cbIncludeSub.TabOrder = 2;

    placeLabel(Label4, 36, 88, "Search Results:");
    Label4.FocusControl = &SearchRes;  // names the grid for assistive tools
    placeLabel(lbSearchFound, 136, 88, "# Found");
    lbSearchFound.Name = "lbSearchFound";
    placeLabel(lbPages, 252, 88, "# Total Pages");
    lbPages.Name = "lbPages";
    // A screen's font may be wider than the design's. Where a label would
    // then run into its neighbour, the names of the boxes move left and the
    // count moves right, a little apart.
    for (TLabel* label : {&Label1, &Label2})
        if (label->Left() + label->Width() > txtSearchFilter.Left())
            label->SetLeft(txtSearchFilter.Left() - kLabelGap - label->Width());
    if (Label4.Left() + Label4.Width() > lbSearchFound.Left())
        lbSearchFound.SetLeft(Label4.Left() + Label4.Width() + kLabelGap);

    spdPrevPage.Name = "spdPrevPage";
    spdPrevPage.SetBounds(380, 88, 25, 17);
    spdPrevPage.SetCaption("<<");
    spdPrevPage.HasGlyph = false;
    spdPrevPage.SetEnabled(false);
    spdPrevPage.OnClick = [this](TObject* s) { spdPrevPageClick(s); };

    lbCurPage.Name = "lbCurPage";
    lbCurPage.SetBounds(408, 88, 57, 17);
    lbCurPage.SetCaption("Page 1");
    lbCurPage.Alignment = TAlignment::Center;

    spdNextPage.Name = "spdNextPage";
    spdNextPage.SetBounds(468, 88, 25, 17);
    spdNextPage.SetCaption(">>");
    spdNextPage.HasGlyph = false;
    spdNextPage.OnClick = [this](TObject* s) { spdNextPageClick(s); };

    for (auto [panel, name, align] :
         {std::tuple{&TvPanel2, "TvPanel2", TAlign::Left}, std::tuple{&TvPanel3, "TvPanel3", TAlign::Right},
          std::tuple{&TvPanel4, "TvPanel4", TAlign::Bottom}}) {
        panel->Name = name;
        panel->Align = align;
        panel->SetBounds(0, 0, 25, 25);
    }

    SearchRes.Name = "SearchRes";
    SearchRes.Align = TAlign::Client;
    SearchRes.TabOrder = 5;
    SearchRes.SetColCount(5);
    SearchRes.SetRowCount(2);
    SearchRes.FixedCols = 1;
    SearchRes.FixedRows = 1;
    SearchRes.GridLines = true;
    SearchRes.ColSizing = true;
    SearchRes.TabsMoveCells = true;
    SearchRes.Editing = false;
    SearchRes.RowSelect = false;
    for (int c = 0; c < 5; ++c) SearchRes.SetColWidth(c, kDesignColWidths[c]);
    SearchRes.OnDblClick = [this](TObject* s) { SearchResDblClick(s); };
    SearchRes.OnMouseDown = [this](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
        SearchResMouseDown(s, b, sh, x, y);
    };
    ArrangeAligned(*this, Width() - kFrameWidth, Height() - kFrameHeight);

    MainMenu1.Name = "MainMenu1";
    File1 = addItem(MainMenu1.Items(), "File1", "&File", nullptr);
    FindNow1 = addItem(*File1, "FindNow1", "Fi&nd Now", &TSearchFrm::spFindNowClick);
    Browse1 = addItem(*File1, "Browse1", "&Browse...", &TSearchFrm::spdSearchClick);
    N1 = addItem(*File1, "N1", "-", nullptr);
    SaveSearchList1 = addItem(*File1, "SaveSearchList1", "&Save Search List", &TSearchFrm::SaveSearchList1Click);
    N2 = addItem(*File1, "N2", "-", nullptr);
    // As the window has always had it: Exit runs a search.
    Exit1 = addItem(*File1, "Exit1", "E&xit", &TSearchFrm::spFindNowClick);
    Help1 = addItem(MainMenu1.Items(), "Help1", "&Help", &TSearchFrm::spdHelpClick);

    Popit.Name = "Popit";
    Popit.AutoPopup = false;
    OpenWith1 = addItem(Popit.Items(), "OpenWith1", "Open With...", &TSearchFrm::OpenWith1Click);
    SaveListtoFile1 = addItem(Popit.Items(), "SaveListtoFile1", "Save List to File", &TSearchFrm::SaveSearchList1Click);

    SaveFile.Name = "SaveFile";
    SaveFile.Title = "Save File List";
    SaveFile.Filter = "Text Files|*.TXT|All Files|*.*";
    SaveFile.DefaultExt = "TXT";

    tvGo.Name = "tvGo";
    tvGo.StartDir = kDefaultStartDir;

    KeyPreview = true;
    OnKeyDown = [this](TObject* s, Word& k, TShiftState sh) { FormKeyDown(s, k, sh); };
    OnCloseQuery = [this](TObject* s, bool& canClose) { FormCloseQuery(s, canClose); };
    OnShow = [this](TObject* s) { FormShow(s); };
    OnDestroy = [this](TObject* s) { FormDestroy(s); };
    FormCreate(this);
}

TSearchFrm::~TSearchFrm() {
    DoDestroy();
}

TMenuItem* TSearchFrm::addItem(TMenuItem& parent, const char* name, const char* caption,
                               void (TSearchFrm::*handler)(TObject*)) {
    auto item = std::make_unique<TMenuItem>(&parent);
    item->Name = name;
    item->Caption = caption;
    if (handler) item->OnClick = [this, handler](TObject* s) { (this->*handler)(s); };
    return parent.Add(std::move(item));
}

void TSearchFrm::placeLabel(TLabel& label, int left, int top, const char* caption) {
    label.SetCaption(caption);
    label.SetBounds(left, top, TextWidthOf(label, caption), 13);  // sized to its text
}

void TSearchFrm::FormCreate(TObject*) {
    Results.reset();
    LastMousePos = {};
}

void TSearchFrm::FormShow(TObject*) {
    if (ConfigFileName.empty()) return;
    TIniFile ini(ConfigFileName);
    loadHistory(ini, "Filter", txtSearchFilter);
    loadHistory(ini, "StartIn", txtStartIn);
}

void TSearchFrm::FormDestroy(TObject*) {
    Results.reset();
    if (ConfigFileName.empty()) return;
    TIniFile ini(ConfigFileName);
    saveHistory(ini, "Filter", txtSearchFilter);
    saveHistory(ini, "StartIn", txtStartIn);
}

void TSearchFrm::spFindNowClick(TObject*) {
    if (searching_) return;
    const std::string filter = txtSearchFilter.Text();
    const std::string startIn = txtStartIn.Text();
    if (filter.empty() || startIn.empty()) {
        Application->MessageBox("You must enter a value", "Error", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    Results = std::make_unique<TSearchArray>(0, 100, 10);
    FoundCount = 0;
    try {
        TSearching busy(*this);
        runScan(startIn, filter);
        if (FoundCount >= 1 && !Results->Resize(0, FoundCount - 1))
            throw EOutOfMemory("Not enough memory to allocate data.");
    } catch (...) {
        // The page on screen came from the store just replaced.
        clearResults();
        throw;
    }
    // A stopped search keeps what it found, as a finished one does.
    if (FoundCount >= 1)
        ShowResults();
    else
        clearResults();
    if (closeRequested_) {
        Close();
    } else if (FoundCount < 1 && !Application->Terminated()) {
        Application->MessageBox("Nothing found!", "", MB_OK | MB_ICONINFORMATION);
    }
}

void TSearchFrm::runScan(const std::string& startIn, const std::string& filter) {
    const TScanCallback add = [this](const std::string& path, const TSearchRec& entry) {
        return AddFoundFile(path, entry);
    };
    TDirectoryScan scan(startIn, filter, cbIncludeSub.Checked(), [] { Application->Wake(); });
    IOperatingSystem& os = Application->OS();
    std::uint64_t nextCount = 0;
    for (;;) {
        const TScanProgress step = scan.Deliver(add, std::chrono::steady_clock::now() + kSearchSlice);
        if (step == TScanProgress::Completed || step == TScanProgress::Stopped) return;
        if (const std::uint64_t now = os.GetTickCount64(); now >= nextCount) {
            lbSearchFound.SetCaption("Searching: " + grouped(FoundCount) + " Found");
            nextCount = now + kCountEveryMs;
        }
        if (step == TScanProgress::Waiting) Application->WaitMessageOrWake(kWaitMs);
        Application->ProcessMessages();
        if (stopRequested_ || Application->Terminated()) return;
    }
}

bool TSearchFrm::AddFoundFile(const std::string& path, const TSearchRec& entry) {
    TExtSearchRec rec;
    rec.Attr = static_cast<std::uint8_t>(entry.Attr & 0xFF);
    rec.Time = entry.Time;
    rec.Size = entry.Size;
    rec.Name = entry.Name;
    rec.Path = path;
    Results->SetItem(FoundCount, rec);
    // A full store takes nothing more; counting on would show empty rows.
    if (FoundCount > Results->High()) return false;
    ++FoundCount;
    return true;
}

void TSearchFrm::ShowResults() {
    const std::int32_t count = Results->High() + 1;
    TotalPages = count / kResultsPerPage + (count % kResultsPerPage ? 1 : 0);
    lbSearchFound.SetCaption(std::to_string(count) + " Found");
    lbPages.SetCaption(std::to_string(TotalPages) + " Total Pages");
    CurrentPage = 1;
    lbCurPage.SetCaption("Page 1");
    ShowPage(1);
    spdNextPage.SetEnabled(TotalPages != 1);
    spdPrevPage.SetEnabled(false);
}

void TSearchFrm::ShowPage(std::int32_t page) {
    if (!Results) return;
    // Drawn once, not once a cell: a redraw for each cell took seconds.
    TGridUpdate update(SearchRes);
    const std::int32_t count = Results->High() + 1;
    SearchRes.ClearCells();
    const std::int32_t rows = page == TotalPages ? count - (TotalPages - 1) * kResultsPerPage : kResultsPerPage;
    SearchRes.SetRowCount(rows + 1);
    const std::int32_t first = (page - 1) * kResultsPerPage + 1;
    for (int c = 0; c < 5; ++c) {
        SearchRes.SetCell(c, 0, kColumnTitles[c]);
        // The name column keeps what the user dragged it to.
        if (kColumnSamples[c]) SearchRes.SetColWidth(c, TextWidthOf(SearchRes, kColumnSamples[c]));
    }
    for (std::int32_t r = 1; r <= rows; ++r) {
        const TExtSearchRec rec = Results->GetItem(first + r - 2);
        SearchRes.SetCell(0, r, std::to_string(first + r - 1));
        SearchRes.SetCell(1, r, rec.Path + rec.Name);
        SearchRes.SetCell(2, r, AttrLetters(rec.Attr, false));
        SearchRes.SetCell(3, r, ShortDate(rec.Time));
        SearchRes.SetCell(4, r, std::to_string(rec.Size));
    }
}

void TSearchFrm::clearResults() {
    Results.reset();
    FoundCount = 0;
    CurrentPage = 0;
    TotalPages = 0;
    {
        TGridUpdate update(SearchRes);
        SearchRes.ClearCells();
        SearchRes.SetRowCount(2);
        for (int c = 0; c < 5; ++c) SearchRes.SetColWidth(c, kDesignColWidths[c]);
    }
    lbSearchFound.SetCaption("# Found");
    lbPages.SetCaption("# Total Pages");
    lbCurPage.SetCaption("Page 1");
    spdPrevPage.SetEnabled(false);
    spdNextPage.SetEnabled(true);
}

void TSearchFrm::spdStopNowClick(TObject*) {
    if (searching_)
        stopRequested_ = true;
    else
        SetModalResult(mrCancel);
}

void TSearchFrm::FormKeyDown(TObject*, Word& key, TShiftState) {
    if (!searching_ || key != VK_ESCAPE) return;
    stopRequested_ = true;
    key = 0;
}

void TSearchFrm::FormCloseQuery(TObject*, bool& canClose) {
    if (!searching_) return;
    // The search stops first; the window closes when it has.
    stopRequested_ = closeRequested_ = true;
    canClose = false;
}

void TSearchFrm::spdNextPageClick(TObject*) {
    if (CurrentPage >= TotalPages) return;
    ++CurrentPage;
    ShowPage(CurrentPage);
    if (CurrentPage > 1) spdPrevPage.SetEnabled(true);
    if (CurrentPage == TotalPages) spdNextPage.SetEnabled(false);
    lbCurPage.SetCaption("Page " + std::to_string(CurrentPage));
}

void TSearchFrm::spdPrevPageClick(TObject*) {
    if (CurrentPage <= 1) return;
    --CurrentPage;
    ShowPage(CurrentPage);
    if (CurrentPage < TotalPages) spdNextPage.SetEnabled(true);
    if (CurrentPage == 1) spdPrevPage.SetEnabled(false);
    lbCurPage.SetCaption("Page " + std::to_string(CurrentPage));
}

void TSearchFrm::txtSearchFilterKeyDown(TObject*, Word& key, TShiftState) {
    if (key != VK_RETURN) return;
    AddToSearchHistory(txtSearchFilter, txtSearchFilter.Text());
    key = 0;
    txtStartIn.SetFocus();
}

void TSearchFrm::txtStartInKeyDown(TObject*, Word& key, TShiftState) {
    if (key != VK_RETURN) return;
    AddToSearchHistory(txtStartIn, txtStartIn.Text());
    spFindNow.SetFocus();
}

void TSearchFrm::txtSearchFilterExit(TObject*) {
    if (!searching_) AddToSearchHistory(txtSearchFilter, txtSearchFilter.Text());
}

void TSearchFrm::txtStartInExit(TObject*) {
    if (!searching_) AddToSearchHistory(txtStartIn, txtStartIn.Text());
}

void TSearchFrm::spdHelpClick(TObject*) {
    Application->HelpKeyword(kHelpKeyword);
}
