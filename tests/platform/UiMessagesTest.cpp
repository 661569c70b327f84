// Posted and sent messages, window timers, the main-thread queue, worker
// threads, the application's message hook and the redraw switches.
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QThread>

#include "platform/ui/Controls.h"
#include "platform/ui/Forms.h"
#include "platform/ui/Threads.h"
#include "support/FormFixture.h"
#include "support/RecordingDialogs.h"

namespace {

// Records what its message map receives; the rest goes the default way.
class RecordingForm : public TForm {
public:
    using TForm::TForm;
    void Dispatch(TMessage& message) override {
        if (message.Msg >= WM_APP || message.Msg == WM_TIMER) {
            Received.push_back(message);
            if (OnMessageArrived) OnMessageArrived(message);
            return;
        }
        TForm::Dispatch(message);
    }
    int Count(UINT msg, WPARAM wParam) const {
        int n = 0;
        for (const TMessage& m : Received) n += m.Msg == msg && m.WParam == wParam;
        return n;
    }
    std::vector<TMessage> Received;
    std::function<void(TMessage&)> OnMessageArrived;
};

// Records the key presses that reach a widget.
class KeyProbe : public QObject {
public:
    explicit KeyProbe(QWidget* widget) { widget->installEventFilter(this); }
    std::vector<int> Keys;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress)
            Keys.push_back(static_cast<QKeyEvent*>(event)->key());
        return false;
    }
};

void Press(QWidget* widget, int key, Qt::KeyboardModifiers modifiers, const QString& text = {}) {
    QKeyEvent event(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(widget, &event);
}

void Release(QWidget* widget, int key, Qt::KeyboardModifiers modifiers) {
    QKeyEvent event(QEvent::KeyRelease, key, modifiers);
    QApplication::sendEvent(widget, &event);
}

TEST(PostMessage, ArrivesInOrderFromAnotherThread) {
    RecordingForm form(nullptr);
    constexpr int Count = 2000;
    std::thread worker([&] {
        for (int i = 0; i < Count; ++i)
            EXPECT_TRUE(PostMessage(&form, WM_APP + 101, WPARAM(i), -i));
    });
    worker.join();
    ASSERT_TRUE(WaitFor([&] { return form.Received.size() == size_t(Count); }));
    for (int i = 0; i < Count; ++i) {
        EXPECT_EQ(form.Received[size_t(i)].WParam, WPARAM(i));
        EXPECT_EQ(form.Received[size_t(i)].LParam, -i);
    }
    EXPECT_FALSE(PostMessage(nullptr, WM_APP, 0, 0));
}

TEST(PostMessage, QueuedStepsAndMessagesKeepOneOrder) {
    RecordingForm form(nullptr);
    std::vector<int> order;
    form.OnMessageArrived = [&](TMessage& m) { order.push_back(int(m.WParam)); };
    constexpr int Count = 1000;
    std::thread worker([&] {
        for (int i = 0; i < Count; ++i) {
            if (i % 2 == 0) {
                TThread::Queue(nullptr, [&order, i] { order.push_back(i); });
            } else {
                PostMessage(&form, WM_APP + 102, WPARAM(i), 0);
            }
        }
    });
    worker.join();
    ASSERT_TRUE(WaitFor([&] { return order.size() == size_t(Count); }));
    for (int i = 0; i < Count; ++i) EXPECT_EQ(order[size_t(i)], i);
}

TEST(PostMessage, DroppedWhenTheWindowIsFreedFirst) {
    auto* doomed = new RecordingForm(nullptr);
    RecordingForm survivor(nullptr);
    for (int i = 0; i < 10; ++i) PostMessage(doomed, WM_APP + 101, 0, 0);
    PostMessage(&survivor, WM_APP + 101, 1, 0);
    delete doomed;
    EXPECT_FALSE(PostMessage(doomed, WM_APP + 101, 0, 0));
    ASSERT_TRUE(WaitFor([&] { return survivor.Received.size() == 1; }));
}

TEST(PostMessage, ExceptionsFromTheMessageMapAreShown) {
    RecordingDialogs dialogs;
    RecordingForm form(nullptr);
    form.OnMessageArrived = [](TMessage&) { throw Exception("drain failed"); };
    PostMessage(&form, WM_APP + 101, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return !dialogs.Errors.isEmpty(); }));
    EXPECT_EQ(dialogs.Errors, QStringList{"drain failed"});
    form.OnMessageArrived = nullptr;
    EXPECT_THROW(
        {
            form.OnMessageArrived = [](TMessage&) { throw Exception("sent"); };
            SendMessage(&form, WM_APP + 101, 0, 0);
        },
        Exception);
}

TEST(SendMessage, ReturnsTheResultOfTheMessageMap) {
    RecordingForm form(nullptr);
    form.OnMessageArrived = [](TMessage& m) { m.Result = LRESULT(m.WParam) + m.LParam; };
    EXPECT_EQ(SendMessage(&form, WM_APP + 5, 40, 2), 42);
    EXPECT_EQ(form.Received.size(), 1u);
    EXPECT_EQ(SendMessage(nullptr, WM_APP, 0, 0), 0);
}

TEST(WindowTimers, TickUntilKilledAndRestartWhenSetAgain) {
    RecordingForm form(nullptr);
    // The fade-in pattern: the timer kills itself on its second tick.
    form.OnMessageArrived = [&](TMessage& m) {
        if (m.Msg == WM_TIMER && m.WParam == 777 && form.Count(WM_TIMER, 777) == 2)
            KillTimer(&form, 777);
    };
    ASSERT_TRUE(SetTimer(&form, 777, 10));
    ASSERT_TRUE(SetTimer(&form, 779, 100000));
    ASSERT_TRUE(SetTimer(&form, 779, 20));  // the same id again: new interval, restarted
    ASSERT_TRUE(WaitFor([&] { return form.Count(WM_TIMER, 779) >= 1; }));
    EXPECT_TRUE(KillTimer(&form, 779));
    EXPECT_FALSE(KillTimer(&form, 779));
    EXPECT_FALSE(KillTimer(&form, 12345));
    const int at779 = form.Count(WM_TIMER, 779);

    // A later timer ticking several times proves the others have stopped.
    ASSERT_TRUE(SetTimer(&form, 778, 15));
    ASSERT_TRUE(WaitFor([&] { return form.Count(WM_TIMER, 778) >= 5; }));
    KillTimer(&form, 778);
    EXPECT_EQ(form.Count(WM_TIMER, 777), 2);
    EXPECT_EQ(form.Count(WM_TIMER, 779), at779);
    EXPECT_FALSE(SetTimer(nullptr, 1, 10));
}

TEST(WindowTimers, FreeingTheWindowStopsThem) {
    auto* doomed = new RecordingForm(nullptr);
    RecordingForm witness(nullptr);
    SetTimer(doomed, 1, 10);
    PostMessage(doomed, WM_APP, 0, 0);
    delete doomed;
    SetTimer(&witness, 2, 15);
    ASSERT_TRUE(WaitFor([&] { return witness.Count(WM_TIMER, 2) >= 5; }));
    EXPECT_FALSE(KillTimer(doomed, 1));
}

TEST(Queue, RunsAtOnceOnTheMainThread) {
    bool ran = false;
    TThread::Queue(nullptr, [&] { ran = true; });
    EXPECT_TRUE(ran);
    EXPECT_TRUE(TThread::IsMainThread());
}

struct AppWithEdit {
    AppWithEdit() {
        Form = new RecordingForm(&App);
        Edit = new TEdit(Form);
        Edit->SetParent(Form);
        Edit->Name = "Edit1";
        Probe = std::make_unique<KeyProbe>(Edit->Widget());
    }
    QWidget* EditWidget() const { return Edit->Widget(); }
    QString EditText() const { return static_cast<QLineEdit*>(Edit->Widget())->text(); }

    RecordingDialogs Dialogs;
    TApplication App;
    RecordingForm* Form;
    TEdit* Edit;
    std::unique_ptr<KeyProbe> Probe;
};

TEST(ApplicationHook, HandledKeyNeverReachesTheControl) {
    AppWithEdit a;
    std::vector<TMsg> seen;
    std::vector<short> ctrlState;
    a.App.OnMessage = [&](TMsg& msg, bool& handled) {
        if (msg.message != WM_KEYDOWN) return;
        seen.push_back(msg);
        ctrlState.push_back(GetKeyState(VK_CONTROL));
        if (GetKeyState(VK_CONTROL) < 0 && msg.wParam == 'F') handled = true;
    };

    Press(a.EditWidget(), Qt::Key_Control, Qt::NoModifier);
    Press(a.EditWidget(), Qt::Key_F, Qt::ControlModifier, QString(QChar(6)));
    Release(a.EditWidget(), Qt::Key_F, Qt::ControlModifier);
    Release(a.EditWidget(), Qt::Key_Control, Qt::ControlModifier);
    Press(a.EditWidget(), Qt::Key_F, Qt::NoModifier, "f");

    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].wParam, VK_CONTROL);
    EXPECT_EQ(seen[1].wParam, WPARAM('F'));
    EXPECT_EQ(seen[1].hwnd, a.Edit);
    EXPECT_LT(ctrlState[1], 0);
    EXPECT_EQ(seen[2].wParam, WPARAM('F'));
    EXPECT_GE(ctrlState[2], 0);
    EXPECT_EQ(a.Probe->Keys, (std::vector<int>{Qt::Key_Control, Qt::Key_F}));
    EXPECT_EQ(a.EditText(), "f");
    EXPECT_GE(GetKeyState(VK_CONTROL), 0);
}

TEST(ApplicationHook, SeesMouseMovesAndPostedMessages) {
    AppWithEdit a;
    std::vector<TMsg> seen;
    a.App.OnMessage = [&](TMsg& msg, bool& handled) {
        seen.push_back(msg);
        handled = msg.message == WM_APP + 7;
    };
    QMouseEvent move(QEvent::MouseMove, QPointF(3, 4), QPointF(3, 4), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(a.EditWidget(), &move);
    PostMessage(a.Form, WM_APP + 7, 0, 0);
    PostMessage(a.Form, WM_APP + 8, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return a.Form->Received.size() == 1; }));
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].message, WM_MOUSEMOVE);
    EXPECT_EQ(seen[0].hwnd, a.Edit);
    EXPECT_EQ(seen[0].lParam, LPARAM(3 | (4 << 16)));
    EXPECT_EQ(seen[1].message, WM_APP + 7);
    EXPECT_EQ(a.Form->Received[0].Msg, WM_APP + 8);  // the handled one was dropped
}

TEST(ApplicationHook, HookExceptionIsShownAndTheKeyGoesOn) {
    AppWithEdit a;
    a.App.OnMessage = [](TMsg& msg, bool&) {
        if (msg.message == WM_KEYDOWN) throw Exception("hook failed");
    };
    Press(a.EditWidget(), Qt::Key_A, Qt::NoModifier, "a");
    EXPECT_EQ(a.Dialogs.Errors, QStringList{"hook failed"});
    EXPECT_EQ(a.EditText(), "a");
}

TEST(KeyPreview, TheFormSeesKeysFirstAndZeroConsumesThem) {
    AppWithEdit a;
    std::vector<std::pair<WORD, bool>> keys;
    a.Form->OnKeyDown = [&](TObject* sender, WORD& key, TShiftState shift) {
        EXPECT_EQ(sender, a.Form);
        keys.emplace_back(key, shift.Ctrl);
        if (key == 'T' && shift.Ctrl) key = 0;
    };
    Press(a.EditWidget(), Qt::Key_1, Qt::NoModifier, "1");
    EXPECT_TRUE(keys.empty());  // key preview is off

    a.Form->KeyPreview = true;
    Press(a.EditWidget(), Qt::Key_2, Qt::NoModifier, "2");
    Press(a.EditWidget(), Qt::Key_T, Qt::ControlModifier, QString(QChar(20)));
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0], std::make_pair(WORD('2'), false));
    EXPECT_EQ(keys[1], std::make_pair(WORD('T'), true));
    EXPECT_EQ(a.EditText(), "12");
    EXPECT_EQ(a.Probe->Keys, (std::vector<int>{Qt::Key_1, Qt::Key_2}));
}

TEST(Redraw, SwitchesAndImmediateRepaint) {
    RecordingForm form(nullptr);
    form.SetClientWidth(200);
    form.SetClientHeight(100);
    auto* label = new TLabel(&form);
    label->SetParent(&form);
    label->SetBounds(0, 0, 100, 30);
    label->SetCaption("x");
    form.Show();
    ASSERT_TRUE(WaitFor([&] { return form.Widget()->isVisible(); }));
    QWidget* widget = form.Widget();

    SendMessage(&form, WM_SETREDRAW, 0, 0);
    EXPECT_FALSE(widget->updatesEnabled());
    EXPECT_TRUE(LockWindowUpdate(&form));
    SendMessage(&form, WM_SETREDRAW, 1, 0);
    EXPECT_FALSE(widget->updatesEnabled());  // still locked
    TWinControl* other = new TEdit(&form);
    EXPECT_FALSE(LockWindowUpdate(other));  // one window at a time
    EXPECT_TRUE(LockWindowUpdate(nullptr));
    EXPECT_TRUE(widget->updatesEnabled());

    struct PaintCounter : QObject {
        int Paints = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            Paints += e->type() == QEvent::Paint;
            return false;
        }
    } counter;
    QCoreApplication::processEvents();
    label->Widget()->installEventFilter(&counter);
    EXPECT_TRUE(RedrawWindow(&form, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW));
    EXPECT_GE(counter.Paints, 1);
}

}  // namespace
