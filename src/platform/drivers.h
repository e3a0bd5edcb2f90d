// The narrow interfaces between the portable objects and a backend. Each
// backend folder has one file of factory functions; CMake picks the folder.
// Defaults are harmless so a backend implements only what it shows.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/classes.h"

class TControl;
class TForm;
class TMenuItem;
class TPopupMenu;
class TApplication;
enum class TControlChange;
enum class TCursor;

class IControlDriver {
public:
    virtual ~IControlDriver() = default;
    virtual void Changed(TControlChange) {}
    virtual void Repaint() {}
    virtual void SetFocus() {}
    virtual bool Focused() const { return false; }
};

class IFormDriver : public IControlDriver {
public:
    virtual void Show() {}
    virtual void Hide() {}
    // Shows the form and returns once its ModalResult is set.
    virtual int RunModal() = 0;
    virtual void SetMouseCapture(bool) {}
};

class IMenuDriver {
public:
    virtual ~IMenuDriver() = default;
    // Shows the menu at (x, y) and returns the chosen item, or none.
    virtual TMenuItem* Popup(int x, int y) = 0;
};

class ITimerDriver {
public:
    virtual ~ITimerDriver() = default;
    // Ticks every `intervalMs` from now on; 0 stops the timer.
    virtual void Set(unsigned intervalMs) = 0;
};

class TOpenDialog;

class IDialogDriver {
public:
    virtual ~IDialogDriver() = default;
    // The common file dialog; true when the user accepted a file, which is
    // then in the dialog's FileName.
    virtual bool Execute(TOpenDialog& dialog) = 0;
};

class IApplicationDriver {
public:
    virtual ~IApplicationDriver() = default;
    virtual void TitleChanged() {}
    virtual int MessageBox(const std::string& text, const std::string& caption, unsigned flags) = 0;
    // Runs the message loop until the application is terminated.
    virtual void Run() = 0;
    virtual void ProcessMessages() {}
    virtual void Terminate() {}
    virtual void SetCursor(TCursor) {}
    virtual std::vector<TRect> Monitors() = 0;
    virtual TPoint CursorPos() = 0;
};

std::unique_ptr<IControlDriver> newControlDriver(TControl* control);
std::unique_ptr<IFormDriver> newFormDriver(TForm* form);
std::unique_ptr<IMenuDriver> newMenuDriver(TPopupMenu* menu);
std::unique_ptr<IApplicationDriver> newApplicationDriver(TApplication* app);
class TTimer;
std::unique_ptr<ITimerDriver> newTimerDriver(TTimer* timer);
std::unique_ptr<IDialogDriver> newDialogDriver(TOpenDialog* dialog);
