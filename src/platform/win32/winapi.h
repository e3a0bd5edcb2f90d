// The Windows headers, less the macros that would replace names of the
// portable interfaces (IDOK, MB_OK, SW_SHOWNORMAL, MessageBox, ...). The
// portable names carry the same values, so the backend uses them instead.
// Backend files take the SDK from here, never from <windows.h> directly;
// the portable headers may then come before or after.
#pragma once

#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// These need <windows.h> before them.
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <unknwn.h>

#undef IDOK
#undef IDCANCEL
#undef IDYES
#undef IDNO
#undef MB_OK
#undef MB_YESNO
#undef MB_ICONSTOP
#undef MB_ICONEXCLAMATION
#undef MB_ICONINFORMATION
#undef STILL_ACTIVE
#undef SW_SHOWNORMAL
#undef SW_SHOWMINIMIZED
#undef SW_SHOWMAXIMIZED
#undef EWX_LOGOFF
#undef EWX_SHUTDOWN
#undef EWX_REBOOT
#undef HELP_CONTENTS
#undef HELP_KEY
#undef LoadString
#undef MessageBox
#undef ReplaceFile
#undef ShellExecute
#undef WinHelp
