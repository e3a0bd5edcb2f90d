// Entry of tolvek-compact.exe: only the "&Tolvek" submenu is fixed.
#include "app/entry.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) { return RunFromCommandLine(TMenuVariant::Compact); }
