#include "core/runopt.h"

#include "core/start.h"

TRunDlg::TRunDlg(TComponent* owner) : TForm(owner, "TRunDlg") {
    Name = "RunDlg";
    SetCaption("Run ...");
    BorderStyle = TBorderStyle::Dialog;
    BorderIcons = false;
    SetClientSize(270, 81);
    Position = TPosition::ScreenCenter;
    FontName = "MS Sans Serif";
    FontHeight = 11;
    FontBold = true;
    KeyPreview = true;
    OnKeyDown = [this](TObject* s, Word& k, TShiftState sh) { FormKeyDown(s, k, sh); };
    OnShow = [this](TObject*) { cbFileName.SetFocus(); };

    Label1.SetBounds(28, 8, 81, 13);
    Label1.SetCaption("Enter what to ru&n");
    Label1.FocusControl = &cbFileName;
    Label1.FontBold = false;

    cbFileName.SetBounds(8, 24, 253, 20);
    cbFileName.ItemHeight = 13;
    cbFileName.TabOrder = 0;

    btRun.SetBounds(60, 52, 65, 25);
    btRun.SetCaption("&Run");
    btRun.ModalResult = mrOk;
    btRun.FontBold = false;
    btRun.TabOrder = 1;

    btCancel.SetBounds(128, 52, 65, 25);
    btCancel.SetCaption("&Cancel");
    btCancel.ModalResult = mrCancel;
    btCancel.Cancel = true;
    btCancel.FontBold = false;
    btCancel.TabOrder = 2;

    btBrowse.SetBounds(196, 52, 65, 25);
    btBrowse.SetCaption("&Browse");
    btBrowse.OnClick = [this](TObject* s) { btBrowseClick(s); };
    btBrowse.FontBold = false;
    btBrowse.TabOrder = 3;

    OpenDialog1.Title = "Select File to Run";
    OpenDialog1.Filter = "Executable & Help Files|*.EXE;*.BAT;*.COM;*.PIF;*.HLP|All Files|*.*";
    OpenDialog1.DefaultExt = "EXE";
}

void TRunDlg::btBrowseClick(TObject*) {
    if (OpenDialog1.Execute()) cbFileName.SetText(OpenDialog1.FileName);
}

void TRunDlg::FormKeyDown(TObject*, Word& key, TShiftState) {
    if (key == 13 && !cbFileName.Text().empty()) {
        SetModalResult(mrOk);
        key = 0;
    }
}

void TTolvekForm::Run1Click(TObject*) {
    // After a shutdown command saved and let go of the history, the file
    // holds what was saved; the close path saves it again.
    if (!History) loadHistory();
    TRunDlg dialog(this);
    for (const std::string& slot : *History)
        if (!slot.empty()) dialog.cbFileName.AddItem(slot);
    if (dialog.ShowModal() != mrOk) return;

    const std::string text = dialog.cbFileName.Text();
    std::string program = text, parameters;
    if (const auto space = text.find(' '); space != std::string::npos) {
        program = text.substr(0, space);
        parameters = text.substr(space + 1);
    }
    // Let the platform's program search find a name whose path is wrong.
    if (!Application->OS().FileExists(program)) program = ExtractFileName(program);
    RunTypedCommand(program, parameters);
    AddToHistory(program + " " + parameters);
}

void TTolvekForm::AddToHistory(const std::string& entry) {
    if (!History) loadHistory();
    std::vector<std::string>& slots = *History;
    for (const std::string& slot : slots)
        if (SameText(slot, entry)) return;
    for (std::string& slot : slots)
        if (slot.empty()) {
            slot = entry;
            return;
        }
    slots.pop_back();
    slots.insert(slots.begin(), entry);
}
