// Entry of tolvek.exe: the full fixed menu.
#include "app/entry.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) { return RunFromCommandLine(TMenuVariant::Full); }
