// What the user can do with the results: launch a file by double-clicking
// its row, open it with a program of choice, save the whole list.
#include "core/runopt.h"
#include "core/start.h"
#include "finder/srch.h"
#include "platform/inifiles.h"

namespace {

// Shows the hourglass until the scope ends, also when an error leaves it.
class TBusyCursor {
public:
    TBusyCursor() { Application->SetCursor(TCursor::HourGlass); }
    TBusyCursor(const TBusyCursor&) = delete;
    TBusyCursor& operator=(const TBusyCursor&) = delete;
    ~TBusyCursor() { Application->SetCursor(TCursor::Default); }
};

std::string quotedIfBlank(const std::string& path) {
    return path.find_first_of(" \t") == std::string::npos ? path : "\"" + path + "\"";
}

std::string listLine(const std::string& index, const std::string& name, const std::string& attr,
                     const std::string& date, const std::string& size) {
    return PadRight(index, 7) + PadRight(name, 70) + PadRight(attr, 8) + PadRight(date, 12) + size + "\r\n";
}

}  // namespace

std::optional<std::string> TSearchFrm::pathUnderMouse() const {
    // A title or an empty cell names no file to start.
    if (!Results) return std::nullopt;
    const TGridCoord cell = SearchRes.MouseCoord(LastMousePos.x, LastMousePos.y);
    if (cell.y < SearchRes.FixedRows || cell.y >= SearchRes.RowCount()) return std::nullopt;
    const std::string& path = SearchRes.Cell(1, cell.y);
    if (path.empty()) return std::nullopt;
    return path;
}

void TSearchFrm::SearchResMouseDown(TObject*, TMouseButton button, TShiftState, int x, int y) {
    LastMousePos = {x, y};
    if (button != TMouseButton::Right) return;
    const TPoint at = Application->CursorPos();
    Popit.Popup(at.x, at.y);
}

void TSearchFrm::SearchResDblClick(TObject*) {
    const auto path = pathUnderMouse();
    if (!path) return;
    tvGo.StartDir = ExtractFilePath(*path);
    tvGo.ProgramName = *path;
    tvGo.Parameters.clear();
    tvGo.Launch();
    tvGo.ProgramName.clear();
    tvGo.Parameters.clear();
    tvGo.StartDir = kDefaultStartDir;
}

void TSearchFrm::OpenWith1Click(TObject*) {
    const auto path = pathUnderMouse();
    if (!path) return;
    TRunDlg dialog(this);
    dialog.cbFileName.AddItem("Notepad.exe");
    dialog.cbFileName.AddItem("Write.exe");
    {
        const TIniFile ini(ConfigFileName);
        for (int k = 1; k <= kHistorySlots; ++k) {
            std::string value = ini.ReadString("ALLINFO", "Legacy" + std::to_string(k), "");
            if (!value.empty()) dialog.cbFileName.AddItem(std::move(value));
        }
    }
    if (dialog.ShowModal() != mrOk) return;
    // Quoted, so that a path with blanks reaches the program as one argument.
    Application->OS().WinExec(dialog.cbFileName.Text() + " " + quotedIfBlank(*path), SW_SHOWNORMAL);
}

void TSearchFrm::SaveSearchList1Click(TObject*) {
    if (!SaveFile.Execute()) return;
    const std::string fileName = SaveFile.FileName;
    TBusyCursor busy;
    std::string text = listLine("Index", "Name", "Attr", "Date", "Size");
    if (Results) {
        for (std::int32_t i = 0; i <= Results->High(); ++i) {
            const TExtSearchRec rec = Results->GetItem(i);
            text += listLine(std::to_string(i + 1), rec.Path + rec.Name, AttrLetters(rec.Attr, true),
                             ShortDate(rec.Time), std::to_string(rec.Size));
        }
    }
    // Written beside the file and put in its place only when complete, so a
    // failed write never leaves an existing list cut short.
    try {
        Application->OS().ReplaceFile(fileName, text);
    } catch (const EFileIOError&) {
        throw EInOutError("Cannot write the file " + fileName);
    }
}
