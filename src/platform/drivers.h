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
    // Selects the whole text of an edit box that the keyboard moved to.
    virtual void SelectAll() {}
    // The platform's own control needs the key just now (an open drop-down
    // list closes itself with Enter and Esc), before the form sees it.
    virtual bool KeepsKey(Word) const { return false; }
    // Pixel width of `text` in the control's font. Without a screen to
    // measure on: 6 pixels a character, near a 13-pixel sans-serif font.
    virtual int TextWidth(const std::string& text) const {
        int chars = 0;
        for (char c : text) chars += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        return 6 * chars;
    }
};

class IFormDriver : public IControlDriver {
public:
    virtual void Show() {}
    virtual void Hide() {}
    // Shows the form and returns once its ModalResult is set.
    virtual int RunModal() = 0;
    virtual void SetMouseCapture(bool) {}
    // Design pixels as the screen shows them where the form is.
    virtual int ScreenPixels(int designPixels) const { return designPixels; }
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
    // Safe from any thread: ends a WaitMessageOrWake of the UI thread, or the
    // next one.
    virtual void Wake() {}
    // Returns when a window message waits, after a Wake, or after the time.
    virtual void WaitMessageOrWake(unsigned /*timeoutMs*/) {}
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

// A drawing surface: an off-screen bitmap, or a window while it is painted.
// Colours arrive as RGB (0x00BBGGRR), system colours already resolved; the
// right and bottom edges of rectangles and boxes are outside.
class IBitmapDriver;
class ICanvasDriver {
public:
    virtual ~ICanvasDriver() = default;
    virtual void FillRect(const TRect& r, std::uint32_t color) = 0;
    virtual void SetPixel(int x, int y, std::uint32_t color) = 0;
    virtual std::uint32_t GetPixel(int x, int y) = 0;
    // Even-odd filled with `brush`, then outlined with the pen.
    virtual void Polygon(const TPoint* points, std::size_t count, std::uint32_t pen, int penWidth,
                         std::uint32_t brush) = 0;
    virtual void Ellipse(const TRect& box, std::uint32_t pen, int penWidth, std::uint32_t brush) = 0;
    virtual void ClipToEllipse(const TRect& box) = 0;
    virtual void RemoveClip() = 0;
    // Source copy, scaled when the rectangles differ in size.
    virtual void StretchCopy(const TRect& dest, IBitmapDriver& source, const TRect& sourceRect) = 0;
};

class IBitmapDriver : public ICanvasDriver {
public:
    virtual void SetSize(int width, int height) = 0;
};

std::unique_ptr<IBitmapDriver> newBitmapDriver();
// The RGB value of system colour `index` (COLOR_WINDOW, COLOR_BTNFACE, ...).
std::uint32_t SystemColorRGB(int index);
// True while the backend runs `timer`: false once stopped, or when the
// platform refused to start it.
bool TimerRunning(const TTimer& timer);
