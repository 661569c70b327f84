#pragma once

#include <functional>

#include <QObject>
#include <QString>
#include <QStringList>

#include "platform/ui/Messages.h"
#include "platform/ui/Types.h"

// Shared inner parts of the class-library stand-in; nothing outside
// platform/ui includes this header.

class QWidget;
class TControl;
class TWinControl;
class TForm;

namespace UiDetail {

// Widget -> control lookup (main thread). A widget destroyed on its own
// (with its parent widget) leaves the table by itself.
void RegisterControl(QWidget* widget, TControl* control);
void UnregisterControl(QWidget* widget);
TControl* ControlOf(const QObject* widget);
// The nearest window control at or above the widget, or null.
TWinControl* WindowControlOf(const QObject* widget);
// The form whose top-level widget holds the widget, or null.
TForm* FormOf(const QWidget* widget);

// Live window controls, for posted messages and timers (any thread may
// look them up). Unregistering drops pending messages and kills timers.
void RegisterWindow(TWinControl* control);
void UnregisterWindow(TWinControl* control);
// Runs `f` after the current event when the control is still alive then.
void RunLaterIfAlive(TWinControl* control, std::function<void()> f);

// Redraw switches of a window control: WM_SETREDRAW and LockWindowUpdate
// both hold the widget's updates off; either one turns them off.
void SetRedrawOff(TWinControl* control, bool off);

// The application-wide input filter: modifier tracking for GetKeyState,
// the application's OnMessage hook and the forms' key preview. Installed on
// qApp once, when the first control or the application object is made.
void EnsureInputHook();
// Modifier state as the filter saw it last; false when it has seen none
// since the application was last active.
bool TrackedModifiers(Qt::KeyboardModifiers& modifiers, Qt::MouseButtons& buttons);
// Passes a queued message to the application's OnMessage; true when the
// hook handled it (the message is then dropped).
bool ApplicationHandlesMessage(TWinControl* hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Shows the exception in flight through the application's default handler
// (or the dialogs when there is no application). Call inside a catch block.
void ShowExceptionInFlight();

// Splits text into lines at CR LF, LF or CR; a break at the very end adds no
// empty line.
QStringList SplitLines(const QString& text);

}  // namespace UiDetail
