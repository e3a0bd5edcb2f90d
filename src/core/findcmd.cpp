// The Find File command: a new search window for each use, shown modally.
#include "core/start.h"
#include "finder/srch.h"

void TTolvekForm::FindFile1Click(TObject*) {
    TSearchFrm window(this);
    window.ConfigFileName = ConfigFileName();
    window.ShowModal();
}
