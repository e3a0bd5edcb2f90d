#include "finder/getdir.h"

#include "finder/srch.h"
#include "platform/grids.h"

TfrmDir::TfrmDir(TComponent* owner) : TForm(owner, "TfrmDir") {
    Name = "frmDir";
    SetCaption("Starting Directory");
    BorderStyle = TBorderStyle::Dialog;
    SetClientSize(241, 172);
    SetBounds(339, 203, Width(), Height());
    FontName = "Arial";
    FontHeight = 13;

    Label1.Name = "Label1";
    Label1.SetBounds(12, 12, 145, 13);
    Label1.ShowAccelChar = false;  // a directory's "&" is part of its name

    DirListBox.Name = "DirListBox";
    DirListBox.SetBounds(12, 32, 145, 97);
    DirListBox.TabOrder = 0;
    DirListBox.OnChange = [this](TObject*) { showDirectory(); };

    DriveLstBox.Name = "DriveLstBox";
    DriveLstBox.SetBounds(12, 140, 145, 22);
    DriveLstBox.TabOrder = 1;
    DriveLstBox.DirList = &DirListBox;

    SpeedButton1.Name = "SpeedButton1";
    SpeedButton1.SetBounds(168, 32, 61, 29);
    SpeedButton1.SetCaption("Okay");
    SpeedButton1.OnClick = [this](TObject* s) { SpeedButton1Click(s); };
    // Reachable from the keyboard: Enter outside the list, Esc, and Tab.
    SpeedButton1.Default = true;
    SpeedButton1.TabStop = true;

    SpeedButton2.Name = "SpeedButton2";
    SpeedButton2.SetBounds(168, 72, 61, 29);
    SpeedButton2.SetCaption("Cancel");
    SpeedButton2.OnClick = [this](TObject* s) { SpeedButton2Click(s); };
    SpeedButton2.Cancel = true;
    SpeedButton2.TabStop = true;

    DirListBox.ReadCurrentDirectory();
}

void TfrmDir::showDirectory() {
    Label1.SetCaption(MinimizeName(DirListBox.Directory(), DirListBox.Width(),
                                   [this](const std::string& text) { return TextWidthOf(Label1, text); }));
}

void TfrmDir::SpeedButton1Click(TObject*) {
    SetModalResult(mrOk);
}

void TfrmDir::SpeedButton2Click(TObject*) {
    SetModalResult(mrCancel);
}

std::string TfrmDir::GetDirectory() const {
    return DirListBox.Directory();
}

void TSearchFrm::spdSearchClick(TObject*) {
    TfrmDir dialog(this);
    if (dialog.ShowModal() == mrOk) txtStartIn.SetText(dialog.GetDirectory());
}
