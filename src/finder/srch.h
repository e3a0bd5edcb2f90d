// The Find File window: searches a directory tree for a file filter and
// pages through what it found, 75 files at a time. It keeps the recent
// filters and starting directories in the configuration file.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/tvlaunch.h"
#include "finder/dirscan.h"
#include "finder/srcharr.h"
#include "platform/dialogs.h"
#include "platform/extctrls.h"
#include "platform/forms.h"
#include "platform/grids.h"
#include "platform/menus.h"

constexpr int kResultsPerPage = 75;
constexpr int kSearchHistorySlots = 10;

// `text` followed by blanks up to `width` characters; a longer text whole.
std::string PadRight(const std::string& text, std::size_t width);
// "R", "H", "S", "A" for the bits that are set; `fixed` puts a blank in
// the place of each bit that is clear.
std::string AttrLetters(std::uint8_t attr, bool fixed);
// The date of a packed time in the user's short date format.
std::string ShortDate(std::int32_t time);

class TSearchFrm : public TForm {
public:
    explicit TSearchFrm(TComponent* owner);
    ~TSearchFrm() override;

    // Each box comes right after its label: assistive tools name a box
    // after the text before it. Tab follows TabOrder, not this order.
    TPanel TvPanel1{this};
    TLabel Label1{&TvPanel1};
    TComboBox txtSearchFilter{&TvPanel1};
    TSpeedButton spdHelp{&TvPanel1};
    TButton spFindNow{&TvPanel1};
    TLabel Label2{&TvPanel1};
    TComboBox txtStartIn{&TvPanel1};
    TSpeedButton spdSearch{&TvPanel1};
    TButton spdStopNow{&TvPanel1};
    TCheckBox cbIncludeSub{&TvPanel1};
    TLabel Label4{&TvPanel1};
    TLabel lbSearchFound{&TvPanel1};
    TLabel lbPages{&TvPanel1};
    TSpeedButton spdPrevPage{&TvPanel1};
    TLabel lbCurPage{&TvPanel1};
    TSpeedButton spdNextPage{&TvPanel1};
    TPanel TvPanel2{this};
    TPanel TvPanel3{this};
    TPanel TvPanel4{this};
    TStringGrid SearchRes{this};
    TMainMenu MainMenu1{this};
    TPopupMenu Popit{this};
    TSaveDialog SaveFile{this};
    TTvLauncher tvGo{this};

    // Owned by MainMenu1 and Popit.
    TMenuItem *File1 = nullptr, *FindNow1 = nullptr, *Browse1 = nullptr, *N1 = nullptr, *SaveSearchList1 = nullptr,
              *N2 = nullptr, *Exit1 = nullptr, *Help1 = nullptr;
    TMenuItem *OpenWith1 = nullptr, *SaveListtoFile1 = nullptr;

    // The last successful search; none before it and after one that found nothing.
    std::unique_ptr<TSearchArray> Results;
    std::int32_t FoundCount = 0;
    std::int32_t CurrentPage = 0;
    std::int32_t TotalPages = 0;
    std::string ConfigFileName;
    TPoint LastMousePos;

    void FormCreate(TObject* sender);
    void FormShow(TObject* sender);
    void FormDestroy(TObject* sender);
    void spFindNowClick(TObject* sender);
    void spdStopNowClick(TObject* sender);
    void spdNextPageClick(TObject* sender);
    void spdPrevPageClick(TObject* sender);
    void txtSearchFilterKeyDown(TObject* sender, Word& key, TShiftState shift);
    void txtStartInKeyDown(TObject* sender, Word& key, TShiftState shift);
    void txtSearchFilterExit(TObject* sender);
    void txtStartInExit(TObject* sender);
    void spdHelpClick(TObject* sender);
    void spdSearchClick(TObject* sender);
    // While a search runs: Esc and the close box stop it.
    void FormKeyDown(TObject* sender, Word& key, TShiftState shift);
    void FormCloseQuery(TObject* sender, bool& canClose);
    // The result actions.
    void SearchResMouseDown(TObject* sender, TMouseButton button, TShiftState shift, int x, int y);
    void SearchResDblClick(TObject* sender);
    void OpenWith1Click(TObject* sender);
    void SaveSearchList1Click(TObject* sender);

    // The scanner's callback; stops the walk only when the store is full.
    bool AddFoundFile(const std::string& path, const TSearchRec& entry);
    void ShowResults();
    void ShowPage(std::int32_t page);

private:
    class TSearching;
    // Reports what the scanner finds, answering the window's messages in
    // between, until the scan ends or the user stops it.
    void runScan(const std::string& startIn, const std::string& filter);

    TMenuItem* addItem(TMenuItem& parent, const char* name, const char* caption, void (TSearchFrm::*handler)(TObject*));
    void placeLabel(TLabel& label, int left, int top, const char* caption);
    // Back to the state before any search.
    void clearResults();
    // The full path in the row under LastMousePos, if that row holds a result.
    std::optional<std::string> pathUnderMouse() const;

    bool searching_ = false;
    bool stopRequested_ = false;
    bool closeRequested_ = false;  // by the close box, during a search
};

// Adds `text` to the list of `box` unless it is empty or listed already,
// letter case aside.
void AddToSearchHistory(TComboBox& box, const std::string& text);
