// Posted and sent messages, window timers, redraw switches and key state.
#include "platform/ui/Messages.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <mutex>
#include <unordered_map>
#include <utility>

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QHash>
#include <QSet>
#include <QTimer>
#include <QWidget>

#include "platform/ui/Controls.h"
#include "platform/ui/Forms.h"
#include "platform/ui/UiDetail.h"

namespace {

// A posted message waiting in Qt's queue. It names its target by pointer
// and serial number, so a target freed (and its address reused) meanwhile
// is recognised and the message dropped.
class PostedMessageEvent : public QEvent {
public:
    static QEvent::Type Kind() {
        static const auto type = QEvent::Type(QEvent::registerEventType());
        return type;
    }
    PostedMessageEvent(TWinControl* target, std::uint64_t serial, UINT msg, WPARAM wParam,
                       LPARAM lParam)
        : QEvent(Kind()),
          Target(target),
          Serial(serial),
          Msg(msg),
          WParam(wParam),
          LParam(lParam) {}
    TWinControl* Target;
    std::uint64_t Serial;
    UINT Msg;
    WPARAM WParam;
    LPARAM LParam;
};

class MessagePump;

// Live window controls with their serial numbers; read by PostMessage on
// any thread, changed on the main thread.
std::mutex WindowsMutex;
std::unordered_map<TWinControl*, std::uint64_t> Windows;
std::uint64_t NextSerial = 1;
MessagePump* Pump = nullptr;

bool AliveWithSerial(TWinControl* target, std::uint64_t serial) {
    std::lock_guard<std::mutex> lock(WindowsMutex);
    auto it = Windows.find(target);
    return it != Windows.end() && it->second == serial;
}

bool SerialOf(TWinControl* target, std::uint64_t& serial) {
    std::lock_guard<std::mutex> lock(WindowsMutex);
    auto it = Windows.find(target);
    if (it == Windows.end()) return false;
    serial = it->second;
    return true;
}

void Deliver(TWinControl* target, std::uint64_t serial, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!AliveWithSerial(target, serial)) return;
    if (UiDetail::ApplicationHandlesMessage(target, msg, wParam, lParam)) return;
    // The hook may have freed the target.
    if (!AliveWithSerial(target, serial)) return;
    TMessage message{msg, wParam, lParam, 0};
    RunGuarded([&] { target->WndProc(message); });
}

// The one receiver of posted messages on the main thread. A single
// receiver keeps posted messages in the order posted, also relative to
// TThread::Queue steps, which Qt queues on the same thread.
class MessagePump : public QObject {
public:
    ~MessagePump() override {
        std::lock_guard<std::mutex> lock(WindowsMutex);
        if (Pump == this) Pump = nullptr;
    }

protected:
    bool event(QEvent* event) override {
        if (event->type() == PostedMessageEvent::Kind()) {
            auto* posted = static_cast<PostedMessageEvent*>(event);
            Deliver(posted->Target, posted->Serial, posted->Msg, posted->WParam, posted->LParam);
            return true;
        }
        return QObject::event(event);
    }
};

// Window timers by window and id (main thread only).
std::map<std::pair<TWinControl*, WPARAM>, QTimer*> Timers;

// Redraw switches (main thread only).
QSet<const TWinControl*> RedrawOff;
TWinControl* LockedWindow = nullptr;

void ApplyUpdatesEnabled(TWinControl* control) {
    if (QWidget* widget = control->Widget()) {
        widget->setUpdatesEnabled(!RedrawOff.contains(control) && LockedWindow != control);
    }
}

QHash<const QObject*, TControl*>& ControlTable() {
    static QHash<const QObject*, TControl*> table;
    return table;
}

// Windows' smallest timer interval; a zero interval would spin.
constexpr UINT MinimumTimerInterval = 10;

}  // namespace

void UiDetail::RegisterControl(QWidget* widget, TControl* control) {
    ControlTable().insert(widget, control);
    QObject::connect(widget, &QObject::destroyed, [widget] { ControlTable().remove(widget); });
}

void UiDetail::UnregisterControl(QWidget* widget) {
    ControlTable().remove(widget);
}

TControl* UiDetail::ControlOf(const QObject* widget) {
    return ControlTable().value(widget);
}

TWinControl* UiDetail::WindowControlOf(const QObject* widget) {
    for (const QObject* o = widget; o; o = o->parent()) {
        if (auto* win = dynamic_cast<TWinControl*>(ControlOf(o))) return win;
        if (o->isWidgetType() && static_cast<const QWidget*>(o)->isWindow()) break;
    }
    return nullptr;
}

TForm* UiDetail::FormOf(const QWidget* widget) {
    if (!widget) return nullptr;
    return dynamic_cast<TForm*>(ControlOf(widget->window()));
}

void UiDetail::RegisterWindow(TWinControl* control) {
    std::lock_guard<std::mutex> lock(WindowsMutex);
    if (!Pump && QCoreApplication::instance()) {
        Pump = new MessagePump;
        Pump->setParent(QCoreApplication::instance());
    }
    Windows[control] = NextSerial++;
}

void UiDetail::UnregisterWindow(TWinControl* control) {
    {
        std::lock_guard<std::mutex> lock(WindowsMutex);
        Windows.erase(control);
    }
    for (auto it = Timers.begin(); it != Timers.end();) {
        if (it->first.first == control) {
            it->second->stop();
            it->second->deleteLater();
            it = Timers.erase(it);
        } else {
            ++it;
        }
    }
    RedrawOff.remove(control);
    if (LockedWindow == control) LockedWindow = nullptr;
}

void UiDetail::RunLaterIfAlive(TWinControl* control, std::function<void()> f) {
    std::uint64_t serial = 0;
    if (!SerialOf(control, serial)) return;
    QTimer::singleShot(0, QCoreApplication::instance(), [control, serial, f = std::move(f)] {
        if (AliveWithSerial(control, serial)) f();
    });
}

void UiDetail::SetRedrawOff(TWinControl* control, bool off) {
    if (off) {
        RedrawOff.insert(control);
    } else {
        RedrawOff.remove(control);
    }
    ApplyUpdatesEnabled(control);
}

bool PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!hwnd) return false;
    std::lock_guard<std::mutex> lock(WindowsMutex);
    auto it = Windows.find(hwnd);
    if (it == Windows.end() || !Pump) return false;
    QCoreApplication::postEvent(Pump,
                                new PostedMessageEvent(hwnd, it->second, msg, wParam, lParam));
    return true;
}

LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!hwnd) return 0;
    return hwnd->Perform(msg, wParam, lParam);
}

bool SetTimer(HWND hwnd, WPARAM id, UINT ms) {
    std::uint64_t serial = 0;
    if (!hwnd || !SerialOf(hwnd, serial) || !Pump) return false;
    const std::pair<TWinControl*, WPARAM> key{hwnd, id};
    QTimer*& timer = Timers[key];
    if (!timer) {
        timer = new QTimer(Pump);
        QObject::connect(timer, &QTimer::timeout, Pump,
                         [hwnd, id, serial] { Deliver(hwnd, serial, WM_TIMER, id, 0); });
        // Qt frees the timers with the application; the table must not keep
        // them then.
        QTimer* created = timer;
        QObject::connect(timer, &QObject::destroyed, [key, created] {
            auto it = Timers.find(key);
            if (it != Timers.end() && it->second == created) Timers.erase(it);
        });
    }
    timer->start(int(std::max(ms, MinimumTimerInterval)));
    return true;
}

bool KillTimer(HWND hwnd, WPARAM id) {
    auto it = Timers.find({hwnd, id});
    if (it == Timers.end()) return false;
    // It may be the timer whose tick is running now: stop it here, free it
    // once that tick has returned.
    it->second->stop();
    it->second->deleteLater();
    Timers.erase(it);
    return true;
}

short GetKeyState(int virtualKey) {
    Qt::KeyboardModifiers modifiers;
    Qt::MouseButtons buttons;
    if (!UiDetail::TrackedModifiers(modifiers, buttons)) {
        if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return 0;
        modifiers = QGuiApplication::queryKeyboardModifiers();
        buttons = QGuiApplication::mouseButtons();
    }
    bool down = false;
    switch (virtualKey) {
        case VK_SHIFT:
            down = modifiers.testFlag(Qt::ShiftModifier);
            break;
        case VK_CONTROL:
            down = modifiers.testFlag(Qt::ControlModifier);
            break;
        case VK_MENU:
            down = modifiers.testFlag(Qt::AltModifier);
            break;
        case 0x01:
            down = buttons.testFlag(Qt::LeftButton);
            break;
        case 0x02:
            down = buttons.testFlag(Qt::RightButton);
            break;
        case 0x04:
            down = buttons.testFlag(Qt::MiddleButton);
            break;
        default:
            break;
    }
    return down ? short(-0x8000) : short(0);
}

bool LockWindowUpdate(HWND hwnd) {
    if (!hwnd) {
        TWinControl* previous = LockedWindow;
        LockedWindow = nullptr;
        if (previous) ApplyUpdatesEnabled(previous);
        return true;
    }
    // One window at a time, as the system allows.
    if (LockedWindow && LockedWindow != hwnd) return false;
    LockedWindow = hwnd;
    ApplyUpdatesEnabled(hwnd);
    return true;
}

bool RedrawWindow(HWND hwnd, UINT flags) {
    QWidget* widget = hwnd ? hwnd->Widget() : nullptr;
    if (!widget) return false;
    // Painting a widget in Qt paints the children inside it as well.
    if (flags & RDW_UPDATENOW) {
        widget->repaint();
    } else if (flags & RDW_INVALIDATE) {
        widget->update();
    }
    return true;
}
