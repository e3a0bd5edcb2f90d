// The Help window: how to write the configuration file, the version line,
// and a button that writes a sample configuration.
#pragma once

#include "platform/controls.h"
#include "platform/forms.h"

class TfrmHelp : public TForm {
public:
    explicit TfrmHelp(TComponent* owner);

    TMemo Memo1{this};
    TSpeedButton spdDone{this};
    TLabel VersionNumber{this};
    TSpeedButton spdSample{this};

    void FormShow(TObject* sender);
    void spdDoneClick(TObject* sender);
    void spdSampleClick(TObject* sender);
};

// Writes the sample configuration as "TOLVEK.INI" in the Windows directory
// (or the user's own folder where that may not be written), unless the
// launcher would find a file of that name already.
void WriteSampleConfiguration();

// Creates the Help window, shows it modally and frees it.
void ShowHelpWindow();
