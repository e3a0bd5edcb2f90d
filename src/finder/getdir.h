// The starting-directory picker: walk the drives and directories, pick one.
// Opening a directory here changes the program's current directory, and
// the change outlives the dialog.
#pragma once

#include <string>

#include "platform/controls.h"
#include "platform/filectrl.h"
#include "platform/forms.h"

class TfrmDir : public TForm {
public:
    explicit TfrmDir(TComponent* owner);

    TLabel Label1{this};
    TDirectoryListBox DirListBox{this};
    TDriveComboBox DriveLstBox{this};
    TSpeedButton SpeedButton1{this};
    TSpeedButton SpeedButton2{this};

    void SpeedButton1Click(TObject* sender);
    void SpeedButton2Click(TObject* sender);
    // The list's current directory: C:\TEMP, but C:\ for a root.
    std::string GetDirectory() const;

private:
    void showDirectory();
};
