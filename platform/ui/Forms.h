#pragma once

#include <functional>
#include <memory>

#include <QImage>
#include <QString>

#include "platform/core/Exception.h"
#include "platform/ui/Controls.h"

struct TBorderIcons {
    bool SystemMenu = true;
    bool Minimize = true;
    bool Maximize = true;
};

struct TSizeConstraints {
    int MinWidth = 0;
    int MinHeight = 0;
};

using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TKeyEvent = std::function<void(TObject* Sender, WORD& Key, TShiftState Shift)>;

// A top-level window. Messages posted or sent to it reach Dispatch; window
// timers deliver WM_TIMER there. Width and Height are the outer size; the
// client size excludes the frame. Resizing runs the alignment of the
// children, then OnResize. Closing (Close or the window's close button)
// runs OnClose with caHide; caNone keeps the window open, caMinimize
// minimises it, caFree also frees the form after the current event. An
// exception from OnClose keeps the window open. Closing the application's
// main form ends Run. A close asked for while OnClose runs (from a box it
// shows) is refused: OnClose runs once at a time. With KeyPreview, OnKeyDown sees every key press
// of the form's controls first; Key set to 0 consumes it. Destroying a form drops its pending
// posted messages and window timers.
class TForm : public TWinControl {
public:
    explicit TForm(TComponent* owner);
    ~TForm() override;

    QString Caption() const;
    void SetCaption(const QString& caption);
    int ClientWidth() const override;
    int ClientHeight() const override;
    void SetClientWidth(int width);
    void SetClientHeight(int height);
    TSizeConstraints Constraints;
    void ApplyConstraints();
    TBorderIcons BorderIcons;
    void ApplyBorderIcons();
    // Orders keyboard focus by the TabOrder of the window controls that
    // have one, at every depth; controls without one keep Qt's order.
    void ApplyTabOrder();
    bool KeyPreview = false;

    bool AlphaBlend() const { return FAlphaBlend; }
    void SetAlphaBlend(bool on);
    int AlphaBlendValue() const { return FAlphaBlendValue; }
    void SetAlphaBlendValue(int value);

    TNotifyEvent OnCreate;
    TCloseEvent OnClose;
    TNotifyEvent OnResize;
    TKeyEvent OnKeyDown;

    // The message map; the default passes to DefaultHandler.
    virtual void Dispatch(TMessage& message);
    // What the class library does with a message nobody handled (the
    // default window procedure): WM_SYSCOMMAND maximise and restore change
    // the window state; everything else is ignored.
    virtual void DefaultHandler(TMessage& message);
    void WndProc(TMessage& message) override;

    void Show();
    // Runs OnClose and, unless it answers caNone, closes the window.
    void Close();
    bool Showing() const;
    bool Maximized() const;

    // Draws the form with all its children into an image (tests, reports).
    QImage Grab();

    // Runs OnCreate (CreateForm calls it after construction); an exception
    // from it is shown and ends OnCreate only.
    void DoCreate();

protected:
    QString AccessibleCaption() const override { return Caption(); }

private:
    friend class FormWidget;
    void DoClose(bool& accept);
    void DoResize();
    bool FAlphaBlend = false;
    int FAlphaBlendValue = 255;
    bool FClosing = false;
    bool FInOnClose = false;
};

using TMessageEvent = std::function<void(TMsg& Msg, bool& Handled)>;

// The application object. Exceptions that escape an event handler raised by
// the user or a message reach HandleException, which shows them.
// Create it after the QApplication and before any form; it sets the global
// Application, and its destructor frees the forms it owns (OnMessage is
// cleared first) and then clears the global.
// OnMessage sees, before they are delivered, the key presses and releases
// (WM_KEYDOWN / WM_KEYUP, wParam the virtual-key code: 'A'..'Z', '0'..'9',
// VK_SHIFT, VK_CONTROL, VK_MENU and the usual editing and function keys;
// hwnd the window control holding the focus) and mouse moves (WM_MOUSEMOVE,
// lParam x | y << 16 in the control under the mouse) of every form, and every
// posted message and WM_TIMER; Handled drops the event or message. Keys and
// mouse moves in Qt's own dialogs (file dialogs, message boxes) are not
// passed, as the system's dialogs run their own message loops.
class TApplication : public TComponent {
public:
    TApplication();
    ~TApplication() override;
    void Initialize() {}
    bool MainFormOnTaskBar = false;
    // Constructs the form with the application as owner, stores it in
    // `reference`, runs its OnCreate and shows it. The first form created
    // becomes the main form. A form is not shown once the application was
    // told to end (a request to end that came while OnCreate ran a box).
    template <class T>
    void CreateForm(T*& reference) {
        reference = new T(this);
        Adopt(reference);
        reference->DoCreate();
        if (!FTerminated) reference->Show();
    }
    // True once Terminate ran.
    bool Terminated() const { return FTerminated; }
    TForm* MainForm() const { return FMainForm; }
    // The message loop; returns when the main form has closed (at once when
    // there is none or it has closed already, or after Terminate).
    void Run();
    // Dialogs().ShowError with the exception's message.
    void ShowException(const Exception& e);
    // Shows the exception in flight (call inside a catch block): one of the
    // Exception family with its message, any other standard exception with
    // its what() text, anything else with an empty message.
    void HandleException();
    void ProcessMessages();
    // Ends Run (now or, before Run, as soon as it starts).
    void Terminate();
    TMessageEvent OnMessage;

private:
    friend class TForm;
    void Adopt(TForm* form);
    TForm* FMainForm = nullptr;
    bool FRunning = false;
    bool FTerminated = false;
};

// The one application object; exists from its creation to program exit.
extern TApplication* Application;

// Runs `f`; an exception is shown through the application's default
// handler instead of escaping (for event handlers raised by Qt).
void RunGuarded(const std::function<void()>& f);
