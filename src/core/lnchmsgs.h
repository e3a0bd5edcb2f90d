/* The launcher's messages, string resources 25000 + the shell's error code.
   Plain defines only: the resource compiler reads this file too. */
#ifndef TOLVEK_LNCHMSGS_H
#define TOLVEK_LNCHMSGS_H

#define SLaunchBase 25000
#define SLaunch0 "Out of memory or executable file is corrupt"
#define SLaunch2 "File was not found"
#define SLaunch3 "Path was not found"
#define SLaunch5 "Sharing violation or netword error"
#define SLaunch6 "A library required separate data segments for each task"
#define SLaunch8 "Insufficient memory to start application"
#define SLaunch10 "Incorrect version of Windows"
#define SLaunch11 "File is not a Windows application or there was an error in the .EXE image"
#define SLaunch12 "Application was designed for a different operating system"
#define SLaunch13 "Application was designed for MS-DOS 4.0"
#define SLaunch14 "Unknown executable file type"
#define SLaunch15 "Cannot load a real-mode application"
#define SLaunch16 "Cannot load a second instance of an executable file containing multiple, non-read-only data segments"
#define SLaunch19 "Cannot load a compressed executable file"
#define SLaunch20 "A dynamic-link library (DLL) file is invalid"
#define SLaunch21 "Application requires Windows 32-bit extensions"
#define SLaunch31 "No association for specified file type"

/* The same table as a list, for code that needs every entry. */
#define LAUNCH_MESSAGES(X)                                                                                         \
    X(0, SLaunch0) X(2, SLaunch2) X(3, SLaunch3) X(5, SLaunch5) X(6, SLaunch6) X(8, SLaunch8) X(10, SLaunch10)     \
    X(11, SLaunch11) X(12, SLaunch12) X(13, SLaunch13) X(14, SLaunch14) X(15, SLaunch15) X(16, SLaunch16)          \
    X(19, SLaunch19) X(20, SLaunch20) X(21, SLaunch21) X(31, SLaunch31)

#endif
