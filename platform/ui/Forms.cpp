// Forms, the application object and the application-wide input filter.
#include "platform/ui/Forms.h"

#include <algorithm>
#include <functional>
#include <exception>

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPixmap>
#include <QPointer>
#include <QWheelEvent>
#include <QWidget>
#include <QWindow>

#include "platform/core/ScopeGuard.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/QtBridge.h"
#include "platform/ui/UiDetail.h"

TApplication* Application = nullptr;

// The top-level widget of a form: hands resizing and closing to the form.
class FormWidget : public QWidget {
public:
    TForm* Form = nullptr;

protected:
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        if (Form && !Form->Destroying()) Form->DoResize();
    }

    void closeEvent(QCloseEvent* event) override {
        if (!Form || Form->Destroying() || Form->FClosing) {
            event->accept();
            return;
        }
        bool accept = false;
        RunGuarded([&] { Form->DoClose(accept); });
        if (accept) {
            event->accept();
        } else {
            event->ignore();
        }
    }
};

namespace {

void UpdateAccessibleNames(TWinControl* parent) {
    for (int i = 0; i < parent->ControlCount(); ++i) {
        TControl* child = parent->Controls(i);
        child->UpdateAccessibleName();
        if (auto* win = dynamic_cast<TWinControl*>(child)) UpdateAccessibleNames(win);
    }
}

}  // namespace

TForm::TForm(TComponent* owner) : TWinControl(owner, new FormWidget) {
    static_cast<FormWidget*>(Widget())->Form = this;
    ApplyBorderIcons();
}

TForm::~TForm() {
    FDestroying = true;
    UiDetail::UnregisterWindow(this);
    if (auto* widget = static_cast<FormWidget*>(Widget())) widget->Form = nullptr;
    if (Application && Application->FMainForm == this) Application->FMainForm = nullptr;
    DestroyComponents();
}

QString TForm::Caption() const {
    QWidget* widget = Widget();
    return widget ? widget->windowTitle() : QString();
}

void TForm::SetCaption(const QString& caption) {
    if (QWidget* widget = Widget()) widget->setWindowTitle(caption);
    UpdateAccessibleName();
}

int TForm::ClientWidth() const {
    QWidget* widget = Widget();
    return widget ? widget->width() : 0;
}

int TForm::ClientHeight() const {
    QWidget* widget = Widget();
    return widget ? widget->height() : 0;
}

void TForm::SetClientWidth(int width) {
    if (QWidget* widget = Widget()) widget->resize(std::max(0, width), widget->height());
    Realign();
}

void TForm::SetClientHeight(int height) {
    if (QWidget* widget = Widget()) widget->resize(widget->width(), std::max(0, height));
    Realign();
}

void TForm::ApplyConstraints() {
    if (QWidget* widget = Widget())
        widget->setMinimumSize(std::max(0, Constraints.MinWidth),
                               std::max(0, Constraints.MinHeight));
}

void TForm::ApplyTabOrder() {
    std::vector<TWinControl*> ordered;
    std::function<void(TWinControl*)> collect = [&](TWinControl* parent) {
        for (int i = 0; i < parent->ControlCount(); ++i) {
            auto* child = dynamic_cast<TWinControl*>(parent->Controls(i));
            if (!child) continue;
            // Only controls that take the focus by Tab join the chain; a
            // panel or a chart in between would break it.
            if (child->TabOrder >= 0 && child->Widget() &&
                (child->Widget()->focusPolicy() & Qt::TabFocus))
                ordered.push_back(child);
            collect(child);
        }
    };
    collect(this);
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](TWinControl* a, TWinControl* b) { return a->TabOrder < b->TabOrder; });
    for (size_t i = 1; i < ordered.size(); ++i)
        QWidget::setTabOrder(ordered[i - 1]->Widget(), ordered[i]->Widget());
}

void TForm::ApplyBorderIcons() {
    QWidget* widget = Widget();
    if (!widget) return;
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    // As in the system: without the system menu there are no window buttons.
    if (BorderIcons.SystemMenu) {
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
        if (BorderIcons.Minimize) flags |= Qt::WindowMinimizeButtonHint;
        if (BorderIcons.Maximize) flags |= Qt::WindowMaximizeButtonHint;
    }
    if (widget->windowFlags() == flags) return;
    const bool visible = widget->isVisible();
    widget->setWindowFlags(flags);
    if (visible) widget->show();
}

namespace {
void ApplyOpacity(QWidget* widget, bool on, int value) {
    if (widget) widget->setWindowOpacity(on ? value / 255.0 : 1.0);
}
}  // namespace

void TForm::SetAlphaBlend(bool on) {
    FAlphaBlend = on;
    ApplyOpacity(Widget(), FAlphaBlend, FAlphaBlendValue);
}

void TForm::SetAlphaBlendValue(int value) {
    FAlphaBlendValue = std::clamp(value, 0, 255);
    ApplyOpacity(Widget(), FAlphaBlend, FAlphaBlendValue);
}

void TForm::Dispatch(TMessage& message) {
    if (message.Msg == WM_SETREDRAW) {
        TWinControl::WndProc(message);
    } else {
        DefaultHandler(message);
    }
}

void TForm::DefaultHandler(TMessage& message) {
    if (message.Msg != WM_SYSCOMMAND) return;
    QWidget* widget = Widget();
    if (!widget) return;
    // The low four bits of a system command are the system's own.
    switch (message.WParam & 0xFFF0) {
        case SC_MAXIMIZE:
            widget->showMaximized();
            break;
        case SC_RESTORE:
            widget->showNormal();
            break;
        default:
            break;
    }
}

void TForm::WndProc(TMessage& message) {
    Dispatch(message);
}

void TForm::Show() {
    UpdateAccessibleName();
    UpdateAccessibleNames(this);
    QWidget* widget = Widget();
    if (!widget) return;
    // A window shown for the first time comes up in front anyway.
    if (widget->isVisible()) widget->raise();
    widget->show();
    widget->activateWindow();
}

void TForm::Close() {
    if (FClosing) return;
    bool accept = false;
    DoClose(accept);
    if (!accept) return;
    FClosing = true;
    if (QWidget* widget = Widget()) widget->close();
    FClosing = false;
}

void TForm::DoClose(bool& accept) {
    accept = false;
    // A request to close that arrives while a box of OnClose is open (a
    // signal, a second click) leaves the close to the run in progress.
    if (FInOnClose) return;
    TCloseAction action = caHide;
    TCloseEvent handler = OnClose;
    if (handler) {
        FInOnClose = true;
        const TScopeGuard done([this] { FInOnClose = false; });
        handler(this, action);
    }
    switch (action) {
        case caNone:
            return;
        case caMinimize:
            if (QWidget* widget = Widget()) widget->showMinimized();
            return;
        case caFree: {
            TForm* self = this;
            UiDetail::RunLaterIfAlive(this, [self] { delete self; });
            break;
        }
        case caHide:
            break;
    }
    accept = true;
    if (Application && Application->FMainForm == this) Application->Terminate();
}

void TForm::DoResize() {
    FireUserEvent(OnResize);
}

bool TForm::Showing() const {
    QWidget* widget = Widget();
    return widget && widget->isVisible();
}

bool TForm::Maximized() const {
    QWidget* widget = Widget();
    return widget && widget->windowState().testFlag(Qt::WindowMaximized);
}

QImage TForm::Grab() {
    QWidget* widget = Widget();
    if (!widget) return {};
    return widget->grab().toImage();
}

void TForm::DoCreate() {
    TNotifyEvent handler = OnCreate;
    if (handler) RunGuarded([&] { handler(this); });
}

// --------------------------------------------------------- TApplication

TApplication::TApplication() : TComponent(nullptr) {
    Application = this;
    UiDetail::EnsureInputHook();
}

TApplication::~TApplication() {
    OnMessage = nullptr;
    FDestroying = true;
    DestroyComponents();
    FMainForm = nullptr;
    if (Application == this) Application = nullptr;
}

void TApplication::Adopt(TForm* form) {
    if (!FMainForm) FMainForm = form;
}

void TApplication::Run() {
    if (FTerminated || !FMainForm || !FMainForm->Showing()) return;
    FRunning = true;
    QApplication::exec();
    FRunning = false;
    // Qt's own quit on the last window's close may still wait in the queue;
    // delivered after the loop, it would make every later modal loop (a
    // message box shown while the program shuts down) return at once.
    QCoreApplication::removePostedEvents(QCoreApplication::instance(), QEvent::Quit);
}

void TApplication::ShowException(const Exception& e) {
    Dialogs().ShowError(e.Message());
}

void TApplication::HandleException() {
    std::exception_ptr current = std::current_exception();
    if (!current) return;
    try {
        std::rethrow_exception(current);
    } catch (const Exception& e) {
        ShowException(e);
    } catch (const std::exception& e) {
        ShowException(Exception(QString::fromUtf8(e.what())));
    } catch (...) {
        ShowException(Exception(QString()));
    }
}

void TApplication::ProcessMessages() {
    QCoreApplication::processEvents();
}

void TApplication::Terminate() {
    FTerminated = true;
    // exit, not quit: quit goes through the platform and comes back later.
    if (FRunning) QCoreApplication::exit(0);
}

void UiDetail::ShowExceptionInFlight() {
    // Showing must not throw back into Qt's event delivery.
    try {
        if (Application) {
            Application->HandleException();
            return;
        }
        std::exception_ptr current = std::current_exception();
        if (!current) return;
        try {
            std::rethrow_exception(current);
        } catch (const Exception& e) {
            Dialogs().ShowError(e.Message());
        } catch (...) {
            Dialogs().ShowError(QString());
        }
    } catch (...) {
    }
}

void RunGuarded(const std::function<void()>& f) {
    try {
        f();
    } catch (...) {
        UiDetail::ShowExceptionInFlight();
    }
}

bool UiDetail::ApplicationHandlesMessage(TWinControl* hwnd, UINT msg, WPARAM wParam,
                                         LPARAM lParam) {
    if (!Application || Application->Destroying()) return false;
    TMessageEvent hook = Application->OnMessage;
    if (!hook) return false;
    TMsg message{hwnd, msg, wParam, lParam};
    bool handled = false;
    RunGuarded([&] { hook(message, handled); });
    return handled;
}

// ------------------------------------------------------ the input filter

namespace {

WORD VirtualKeyOf(int key) {
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return WORD(key);  // 'A'..'Z'
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return WORD(key);  // '0'..'9'
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return WORD(0x70 + (key - Qt::Key_F1));
    switch (key) {
        case Qt::Key_Shift:
            return VK_SHIFT;
        case Qt::Key_Control:
            return VK_CONTROL;
        case Qt::Key_Alt:
        case Qt::Key_AltGr:
            return VK_MENU;
        case Qt::Key_Backspace:
            return 0x08;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return 0x09;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return 0x0D;
        case Qt::Key_Escape:
            return 0x1B;
        case Qt::Key_Space:
            return 0x20;
        case Qt::Key_PageUp:
            return 0x21;
        case Qt::Key_PageDown:
            return 0x22;
        case Qt::Key_End:
            return 0x23;
        case Qt::Key_Home:
            return 0x24;
        case Qt::Key_Left:
            return 0x25;
        case Qt::Key_Up:
            return 0x26;
        case Qt::Key_Right:
            return 0x27;
        case Qt::Key_Down:
            return 0x28;
        case Qt::Key_Insert:
            return 0x2D;
        case Qt::Key_Delete:
            return 0x2E;
        default:
            return 0;
    }
}

// Sees every event of the application before its receiver does.
class InputHook : public QObject {
public:
    Qt::KeyboardModifiers Modifiers;
    Qt::MouseButtons Buttons;
    bool Valid = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
                return KeyEvent(watched, static_cast<QKeyEvent*>(event));
            case QEvent::ShortcutOverride:
                FLastKey = nullptr;
                return false;
            case QEvent::MouseMove:
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
                return MouseEvent(watched, static_cast<QMouseEvent*>(event));
            case QEvent::Wheel:
                Modifiers = static_cast<QWheelEvent*>(event)->modifiers();
                Valid = true;
                return false;
            case QEvent::ApplicationStateChange:
                // Keys released in another application are never seen here.
                if (QGuiApplication::applicationState() != Qt::ApplicationActive) Valid = false;
                return false;
            default:
                return false;
        }
    }

private:
    void TrackKey(const QKeyEvent* key) {
        Qt::KeyboardModifiers modifiers = key->modifiers();
        const bool down = key->type() == QEvent::KeyPress;
        // The event of a modifier key may carry the state before it.
        switch (key->key()) {
            case Qt::Key_Control:
                modifiers.setFlag(Qt::ControlModifier, down);
                break;
            case Qt::Key_Shift:
                modifiers.setFlag(Qt::ShiftModifier, down);
                break;
            case Qt::Key_Alt:
                modifiers.setFlag(Qt::AltModifier, down);
                break;
            default:
                break;
        }
        Modifiers = modifiers;
        Valid = true;
    }

    TShiftState ShiftState() const { return ShiftStateOf(Modifiers, Buttons); }

    bool KeyEvent(QObject* watched, QKeyEvent* key) {
        TrackKey(key);
        // The window gets the event before the focused widget; the widget's
        // turn is the one that counts.
        if (!watched->isWidgetType()) return false;
        auto* widget = static_cast<QWidget*>(watched);
        // A key the widget ignores goes on to its parent as the same event:
        // that is still the one key press.
        if (key == FLastKey && key->type() == FLastType && key->key() == FLastCode &&
            FLastReceiver && FLastReceiver->parentWidget() == widget) {
            FLastReceiver = widget;
            return false;
        }
        FLastKey = key;
        FLastType = key->type();
        FLastCode = key->key();
        FLastReceiver = widget;

        const WORD vk = VirtualKeyOf(key->key());
        if (vk == 0) return false;
        const bool press = key->type() == QEvent::KeyPress;
        // Only the program's own windows: a file dialog or message box runs
        // its own loop, as the system's dialogs do.
        TWinControl* hwnd = UiDetail::WindowControlOf(widget);
        if (hwnd && UiDetail::ApplicationHandlesMessage(hwnd, press ? WM_KEYDOWN : WM_KEYUP, vk, 0))
            return Eat(key);
        if (!press) return false;
        TForm* form = UiDetail::FormOf(widget);
        if (!form || form->Destroying() || !form->OnKeyDown) return false;
        if (!form->KeyPreview && form->Widget() != widget) return false;
        WORD code = vk;
        const TShiftState shift = ShiftState();
        TKeyEvent handler = form->OnKeyDown;
        RunGuarded([&] { handler(form, code, shift); });
        return code == 0 ? Eat(key) : false;
    }

    bool Eat(QKeyEvent* key) {
        key->accept();
        FLastKey = nullptr;
        return true;
    }

    bool MouseEvent(QObject* watched, QMouseEvent* mouse) {
        Modifiers = mouse->modifiers();
        Buttons = mouse->buttons();
        Valid = true;
        FLastKey = nullptr;
        if (mouse->type() != QEvent::MouseMove) return false;
        // Every move reaches the window once; widgets see it only when they
        // track the mouse, so the window's copy is the message. An event sent
        // straight to a widget (not from the window system) counts as well.
        QWidget* target = nullptr;
        QPoint p = mouse->position().toPoint();
        if (watched->isWindowType()) {
            QWidget* top = TopLevelOf(static_cast<QWindow*>(watched));
            if (!top) return false;
            QWidget* child = top->childAt(p);
            target = child ? child : top;
            p = target->mapFrom(top, p);
        } else if (watched->isWidgetType() && !mouse->spontaneous()) {
            target = static_cast<QWidget*>(watched);
        } else {
            return false;
        }
        const LPARAM position = LPARAM((p.x() & 0xFFFF) | ((p.y() & 0xFFFF) << 16));
        TWinControl* hwnd = UiDetail::WindowControlOf(target);
        if (hwnd && UiDetail::ApplicationHandlesMessage(hwnd, WM_MOUSEMOVE, 0, position)) {
            mouse->accept();
            return true;
        }
        return false;
    }

    static QWidget* TopLevelOf(const QWindow* window) {
        const auto tops = QApplication::topLevelWidgets();
        for (QWidget* top : tops) {
            if (top->windowHandle() == window) return top;
        }
        return nullptr;
    }

    const QEvent* FLastKey = nullptr;
    QEvent::Type FLastType = QEvent::None;
    int FLastCode = 0;
    QPointer<QWidget> FLastReceiver;
};

QPointer<InputHook> Hook;

}  // namespace

void UiDetail::EnsureInputHook() {
    if (Hook || !QCoreApplication::instance()) return;
    Hook = new InputHook;
    Hook->setParent(QCoreApplication::instance());
    QCoreApplication::instance()->installEventFilter(Hook);
}

bool UiDetail::TrackedModifiers(Qt::KeyboardModifiers& modifiers, Qt::MouseButtons& buttons) {
    if (!Hook || !Hook->Valid) return false;
    modifiers = Hook->Modifiers;
    buttons = Hook->Buttons;
    return true;
}
