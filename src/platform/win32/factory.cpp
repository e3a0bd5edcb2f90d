// The Win32 backend's factory functions; CMake builds this folder for Windows.
#include "platform/win32/win32.h"

std::unique_ptr<IControlDriver> newControlDriver(TControl* control) {
    return std::make_unique<win32::TWin32Control>(control);
}
std::unique_ptr<IFormDriver> newFormDriver(TForm* form) {
    return std::make_unique<win32::TWin32Form>(form);
}
std::unique_ptr<IMenuDriver> newMenuDriver(TPopupMenu* menu) {
    return std::make_unique<win32::TWin32Menu>(menu);
}
std::unique_ptr<IApplicationDriver> newApplicationDriver(TApplication* app) {
    return std::make_unique<win32::TWin32Application>(app);
}
std::unique_ptr<IOperatingSystem> newOperatingSystem() {
    return std::make_unique<win32::TWin32OS>();
}
std::unique_ptr<ITimerDriver> newTimerDriver(TTimer* timer) {
    return std::make_unique<win32::TWin32Timer>(timer);
}
std::unique_ptr<IDialogDriver> newDialogDriver(TOpenDialog*) {
    return std::make_unique<win32::TWin32Dialog>();
}
