// The Analog Clock command: one clock window at a time, which frees itself
// on close and tells the main window through its close notification.
#include "clock/timefrm.h"
#include "core/start.h"

void TTolvekForm::AnalogClock1Click(TObject*) {
    if (ClockWindow) return;  // open already: left where it is, not raised
    auto* window = Application->CreateForm<TfrmTime>(Application);
    ClockWindow = window;
    window->OnClosed = [this](TObject*, TCloseAction&) { ClockWindowClosed(); };
    try {
        window->Show();
    } catch (...) {
        // A window whose clock could not start closes again, so the next
        // command tries afresh instead of finding it "open".
        window->Close();
        throw;
    }
}
