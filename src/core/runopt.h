// The Run dialog: type a command or pick a recent one, browse for a file.
#pragma once

#include "platform/controls.h"
#include "platform/dialogs.h"
#include "platform/forms.h"

class TRunDlg : public TForm {
public:
    explicit TRunDlg(TComponent* owner);

    TLabel Label1{this};
    TComboBox cbFileName{this};
    TButton btRun{this};
    TButton btCancel{this};
    TButton btBrowse{this};
    TOpenDialog OpenDialog1{this};

    void btBrowseClick(TObject* sender);
    void FormKeyDown(TObject* sender, Word& key, TShiftState shift);
};
