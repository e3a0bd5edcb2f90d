// Forms and the application object. Every event that the platform delivers
// runs inside Application->Dispatch, which shows an escaping exception with
// the default error report, so handler code simply throws.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/controls.h"
#include "platform/os.h"

class IFormDriver;
class IApplicationDriver;

enum class TBorderStyle { None, Single, Sizeable, Dialog };
enum class TFormStyle { Normal, StayOnTop };
enum class TPosition { Designed, ScreenCenter };
enum class TCursor { Default, HourGlass };
enum TCloseAction { caNone, caHide, caFree, caMinimize };
using TCloseEvent = std::function<void(TObject* sender, TCloseAction& action)>;

class TForm : public TControl {
public:
    // `className` names the window class ("TTolvekForm", "TRunDlg", ...).
    TForm(TComponent* owner, std::string className);
    ~TForm() override;

    const std::string& ClassName() const { return className_; }

    TBorderStyle BorderStyle = TBorderStyle::Sizeable;
    bool BorderIcons = true;
    TPosition Position = TPosition::Designed;
    bool KeyPreview = false;
    std::string FontName = "System";
    int FontHeight = 13;
    bool FontBold = false;

    TFormStyle FormStyle() const { return formStyle_; }
    void SetFormStyle(TFormStyle style);
    void SetClientSize(int width, int height) { SetBounds(Left(), Top(), width, height); }
    // Sizes inside a form are design pixels, 96 to the inch, while its Left
    // and Top are the screen's: this gives a design size in screen pixels.
    int ScreenPixels(int designPixels) const;

    TNotifyEvent OnCreate, OnShow, OnActivate, OnDeactivate, OnDestroy;
    TCloseQueryEvent OnCloseQuery;
    // After the close query: caNone keeps the form, caFree releases it once
    // the current event has run (forms made by CreateForm only).
    TCloseEvent OnClose;
    TKeyEvent OnKeyDown;

    // Runs OnCreate; an exception there is reported and creation goes on.
    void DoCreate();
    // Runs OnDestroy once; the most derived form calls it from its destructor
    // while its members still exist.
    void DoDestroy();

    // Runs OnShow, then shows the form; an error of OnShow is thrown after.
    void Show();
    void Hide();
    int ShowModal();
    int ModalResult() const { return modalResult_; }
    void SetModalResult(int result) { modalResult_ = result; }
    // Asks OnCloseQuery, then OnClose; when allowed, hides the form and, for
    // the main form, ends the application. A modal form gets mrCancel.
    void Close();
    bool CloseQuery();
    bool Closed() const { return closed_; }
    // The platform asks whether the session may end: OnCloseQuery decides,
    // and can tell this from an ordinary close by SessionEnding().
    bool QueryEndSession();
    bool SessionEnding() const { return sessionEnding_; }

    // Events the backend reports; each runs through the dispatcher.
    void Activated();
    void Deactivated();
    // A key pressed while the form is active, as both backends route it: key
    // preview, the menus' shortcuts, the keys the focused control wants
    // first, Alt with an underlined letter, Tab and Shift+Tab, Enter and
    // Space on a focused button, Enter for the default and Esc for the
    // cancel button, and at last the focused control. True when something
    // used the key.
    // `repeat`: the key is held and the system repeats it.
    bool KeyDown(Word key, TShiftState shift, bool repeat = false);

    // The control that has the keyboard focus while the form is active, and
    // gets it back when the form is activated again.
    TControl* ActiveControl() const { return active_; }
    // Where the focus goes at activation: ActiveControl while it can take
    // it, else the first tab stop.
    TControl* ControlToFocus() const;
    // The tab stop after (or before) `from` in tab order, wrapping around:
    // each parent's children by TabOrder, containers entered in place.
    TControl* FindNextControl(const TControl* from, bool forward) const;
    // Focuses the next tab stop; an edit box gets its text selected.
    void SelectNext(const TControl* from, bool forward);
    // What the backend reports: the keyboard focus has arrived at `control`.
    // The control of this form that had it before gets its exit event, so
    // moving to another form and back fires none.
    void FocusArrived(TControl* control);
    // The control that gets the focus when the form is next activated.
    void SetActiveControl(TControl* control) { active_ = control; }
    void ControlRemoved(const TControl* control);

    void SetMouseCapture(bool capture);
    bool MouseCapture() const { return capture_; }

    IFormDriver* FormDriver() const;

private:
    TControl* findAccelerator(char key);
    TControl* findButton(bool wantDefault);
    // Moves the focus as the keyboard does: edit boxes get their text selected.
    void focusByKey(TControl* control);

    std::string className_;
    TFormStyle formStyle_ = TFormStyle::Normal;
    int modalResult_ = mrNone;
    bool closed_ = false;
    bool destroyed_ = false;
    bool capture_ = false;
    bool sessionEnding_ = false;
    TControl* active_ = nullptr;
    TControl* focused_ = nullptr;  // the last to receive the focus here
};

class TApplication : public TComponent {
public:
    TApplication();
    ~TApplication() override;

    const std::string& Title() const { return title_; }
    void SetTitle(std::string title);
    std::string HelpFile;

    int MessageBox(const std::string& text, const std::string& caption, unsigned flags);
    // The default error report.
    void ShowException(const std::exception& e);
    template <class F>
    void Dispatch(F&& f) {
        ++dispatchDepth_;
        try {
            f();
        } catch (const std::exception& e) {
            ShowException(e);
        }
        if (--dispatchDepth_ == 0) FreeReleasedForms();
    }
    // Frees `form` once no event is running any more.
    void Release(TForm* form);
    void FreeReleasedForms();
    std::size_t FormCount() const { return forms_.size(); }

    // Creates a form that the application owns; the first becomes the main form.
    template <class T, class... A>
    T* CreateForm(A&&... args) {
        auto form = std::make_unique<T>(std::forward<A>(args)...);
        T* raw = form.get();
        forms_.push_back(std::move(form));
        if (!MainForm) MainForm = raw;
        raw->DoCreate();
        return raw;
    }
    TForm* MainForm = nullptr;

    // Shows the main form and runs the message loop until it has closed.
    void Run();
    void ProcessMessages();
    // For work on other threads that a handler waits for without blocking
    // the window: Wake may be called from any thread and ends a
    // WaitMessageOrWake, which also returns when a window message waits.
    void Wake();
    void WaitMessageOrWake(unsigned timeoutMs);
    void Terminate();
    bool Terminated() const { return terminated_; }

    void SetCursor(TCursor cursor);
    bool HelpCommand(unsigned command, std::uintptr_t data);
    bool HelpKeyword(const std::string& keyword);

    // The desktop: every monitor's rectangle, the primary first.
    std::vector<TRect> Monitors();
    int ScreenWidth();
    int ScreenHeight();
    TPoint CursorPos();

    IOperatingSystem& OS() { return *os_; }
    IApplicationDriver& Driver() { return *driver_; }

private:
    TApplication* previous_;
    std::string title_;
    bool terminated_ = false;
    std::unique_ptr<IOperatingSystem> os_;
    std::unique_ptr<IApplicationDriver> driver_;
    std::vector<std::unique_ptr<TForm>> forms_;
    std::vector<TForm*> released_;
    bool freeing_ = false;
    int dispatchDepth_ = 0;
};

// The one application object, set while it exists.
extern TApplication* Application;

// Brings a window of `size` that no monitor shows back onto the nearest one:
// its right edge minus `backX`, its bottom edge minus `backY`, or its left or
// top edge. A window that any monitor shows even in part keeps its place.
TPoint KeepOnDesktop(TPoint pos, TPoint size, TPoint back, const std::vector<TRect>& monitors);
