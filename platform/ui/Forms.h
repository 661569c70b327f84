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
// client size excludes the frame.
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

    // Runs OnCreate (CreateForm calls it after construction).
    void DoCreate();

private:
    friend class FormWidget;
    void DoClose(bool& accept);
    void DoResize();
    bool FAlphaBlend = false;
    int FAlphaBlendValue = 255;
    bool FClosing = false;
};

using TMessageEvent = std::function<void(TMsg& Msg, bool& Handled)>;

// The application object. Exceptions that escape an event handler raised by
// the user or a message reach HandleException, which shows them.
class TApplication : public TComponent {
public:
    TApplication();
    ~TApplication() override;
    void Initialize() {}
    bool MainFormOnTaskBar = false;
    // Constructs the form with the application as owner, stores it in
    // `reference`, runs its OnCreate and shows it. The first form created
    // becomes the main form.
    template <class T>
    void CreateForm(T*& reference) {
        reference = new T(this);
        Adopt(reference);
        reference->DoCreate();
        reference->Show();
    }
    TForm* MainForm() const { return FMainForm; }
    // The message loop; returns when the main form has closed.
    void Run();
    void ShowException(const Exception& e);
    // Shows the exception in flight (call inside a catch block).
    void HandleException();
    void ProcessMessages();
    void Terminate();
    TMessageEvent OnMessage;

private:
    void Adopt(TForm* form);
    TForm* FMainForm = nullptr;
    QObject* FHook = nullptr;
};

// The one application object; exists from its creation to program exit.
extern TApplication* Application;

// Runs `f`; an exception is shown through the application's default
// handler instead of escaping (for event handlers raised by Qt).
void RunGuarded(const std::function<void()>& f);
