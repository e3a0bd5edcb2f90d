// Commands whose windows and functions are not built yet. Each is wired to
// its menu item and META command already, so filling one in is all it takes.
#include "core/start.h"

void TTolvekForm::TimeDate1Click(TObject*) {}
void TTolvekForm::FindFile1Click(TObject*) {}
void TTolvekForm::AnalogClock1Click(TObject*) {}
