// The clock window: small, sizeable and modeless; its whole client area is a
// running analog clock and its caption is today's date. A double click
// closes it, and a closed clock window is done with: its opener is told and
// makes a new one next time.
#pragma once

#include <functional>

#include "clock/tvclock.h"
#include "platform/forms.h"

class TfrmTime : public TForm {
public:
    explicit TfrmTime(TComponent* owner);
    ~TfrmTime() override;

    // The controller comes first so that it outlives the clock, whose
    // destruction still removes its trigger from the controller's pool.
    TTvController TvController1{this};
    TTvClock TheClock{this};

    // Set by the opener; called when the window closes.
    TCloseEvent OnClosed;

    void FormShow(TObject* sender);
    void TheClockDblClick(TObject* sender);
    void FormClose(TObject* sender, TCloseAction& action);
};
