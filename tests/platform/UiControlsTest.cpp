// Controls over real Qt widgets: change events made by the program and by
// the user, exceptions from handlers, fonts, names, combo items and layout.
#include <functional>
#include <memory>
#include <stdexcept>

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFontInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "platform/ui/Controls.h"
#include "platform/ui/Forms.h"
#include "platform/ui/QtBridge.h"
#include "support/RecordingDialogs.h"

namespace {

void SendKey(QWidget* widget, int key, const QString& text = QString(),
             Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QApplication::sendEvent(widget, &release);
}

// One form holding one control of each kind that raises change events,
// each counting its events.
struct Controls {
    Controls() {
        Form = std::make_unique<TForm>(nullptr);
        Check = new TCheckBox(Form.get());
        Check->SetParent(Form.get());
        Check->OnClick = Count(CheckEvents);
        Edit = new TEdit(Form.get());
        Edit->SetParent(Form.get());
        Edit->OnChange = Count(EditEvents);
        Memo = new TMemo(Form.get());
        Memo->SetParent(Form.get());
        Memo->OnChange = Count(MemoEvents);
        Combo = new TComboBox(Form.get());
        Combo->SetParent(Form.get());
        Combo->Items()->Add("one");
        Combo->Items()->Add("two");
        Combo->OnChange = Count(ComboEvents);
    }
    static TNotifyEvent Count(int& counter) {
        return [&counter](TObject*) { ++counter; };
    }
    QCheckBox* CheckWidget() const { return static_cast<QCheckBox*>(Check->Widget()); }
    QLineEdit* EditWidget() const { return static_cast<QLineEdit*>(Edit->Widget()); }
    QPlainTextEdit* MemoWidget() const { return static_cast<QPlainTextEdit*>(Memo->Widget()); }
    QComboBox* ComboWidget() const { return static_cast<QComboBox*>(Combo->Widget()); }

    std::unique_ptr<TForm> Form;
    TCheckBox* Check;
    TEdit* Edit;
    TMemo* Memo;
    TComboBox* Combo;
    int CheckEvents = 0, EditEvents = 0, MemoEvents = 0, ComboEvents = 0;
};

int Events(const Controls& c, const char* control) {
    const QString name = QString::fromLatin1(control);
    if (name == "check") return c.CheckEvents;
    if (name == "edit") return c.EditEvents;
    if (name == "memo") return c.MemoEvents;
    return c.ComboEvents;
}

struct EventCase {
    const char* Name;
    const char* Control;
    std::function<void(Controls&)> Act;
    int Expected;
};

const EventCase EventCases[] = {
    {"CheckSetToNewState", "check", [](Controls& c) { c.Check->SetChecked(true); }, 1},
    {"CheckSetToSameState", "check", [](Controls& c) { c.Check->SetChecked(false); }, 0},
    {"CheckSetTwice", "check",
     [](Controls& c) {
         c.Check->SetChecked(true);
         c.Check->SetChecked(false);
     },
     2},
    {"CheckClickedByUser", "check", [](Controls& c) { c.CheckWidget()->click(); }, 1},
    {"CheckSpaceByUser", "check", [](Controls& c) { SendKey(c.CheckWidget(), Qt::Key_Space, " "); },
     1},
    {"EditSetNewText", "edit", [](Controls& c) { c.Edit->SetText("12.5"); }, 1},
    {"EditSetSameText", "edit",
     [](Controls& c) {
         c.Edit->SetText("a");
         c.Edit->SetText("a");
     },
     1},
    {"EditTypedByUser", "edit", [](Controls& c) { SendKey(c.EditWidget(), Qt::Key_A, "a"); }, 1},
    {"MemoAdd", "memo", [](Controls& c) { c.Memo->Lines()->Add("1"); }, 1},
    {"MemoClearEmpty", "memo", [](Controls& c) { c.Memo->Lines()->Clear(); }, 1},
    {"MemoSetText", "memo", [](Controls& c) { c.Memo->SetText("a\r\nb"); }, 1},
    {"MemoSetSameText", "memo",
     [](Controls& c) {
         c.Memo->SetText("a");
         c.Memo->SetText("a");
     },
     1},
    {"MemoBracketedChanges", "memo",
     [](Controls& c) {
         TStrings* lines = c.Memo->Lines();
         lines->BeginUpdate();
         lines->Add("1");
         lines->Add("2");
         lines->Delete(0);
         lines->EndUpdate();
     },
     1},
    {"MemoAssign", "memo",
     [](Controls& c) {
         c.Memo->Lines()->Assign({"a", "b", "c"});
     },
     1},
    {"MemoTypedByUser", "memo", [](Controls& c) { SendKey(c.MemoWidget(), Qt::Key_X, "x"); }, 1},
    {"ComboItemIndexByProgram", "combo", [](Controls& c) { c.Combo->SetItemIndex(1); }, 0},
    {"ComboItemsByProgram", "combo",
     [](Controls& c) {
         c.Combo->Items()->Add("three");
         c.Combo->Items()->Clear();
     },
     0},
    {"ComboSetText", "combo", [](Controls& c) { c.Combo->SetText("typed"); }, 1},
    {"ComboChosenByUser", "combo",
     [](Controls& c) {
         c.Combo->SetStyle(csDropDownList);
         c.Combo->SetItemIndex(0);
         SendKey(c.ComboWidget(), Qt::Key_Down);
     },
     1},
    {"ComboTypedByUser", "combo",
     [](Controls& c) { SendKey(c.ComboWidget()->lineEdit(), Qt::Key_Z, "z"); }, 1},
};

class ChangeEvents : public testing::TestWithParam<EventCase> {};

TEST_P(ChangeEvents, FireOncePerChangeWhoeverMakesIt) {
    RecordingDialogs dialogs;
    Controls c;
    GetParam().Act(c);
    EXPECT_EQ(Events(c, GetParam().Control), GetParam().Expected);
    EXPECT_TRUE(dialogs.Errors.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Controls, ChangeEvents, testing::ValuesIn(EventCases),
                         [](const auto& info) { return std::string(info.param.Name); });

struct ThrowCase {
    const char* Name;
    std::function<void(Controls&, TNotifyEvent)> Attach;
    std::function<void(Controls&)> ByProgram;
    std::function<void(Controls&)> ByUser;
};

const ThrowCase ThrowCases[] = {
    {"CheckBox", [](Controls& c, TNotifyEvent e) { c.Check->OnClick = e; },
     [](Controls& c) { c.Check->SetChecked(true); }, [](Controls& c) { c.CheckWidget()->click(); }},
    {"Edit", [](Controls& c, TNotifyEvent e) { c.Edit->OnChange = e; },
     [](Controls& c) { c.Edit->SetText("x"); },
     [](Controls& c) { SendKey(c.EditWidget(), Qt::Key_Y, "y"); }},
    {"Memo", [](Controls& c, TNotifyEvent e) { c.Memo->OnChange = e; },
     [](Controls& c) { c.Memo->Lines()->Add("x"); },
     [](Controls& c) { SendKey(c.MemoWidget(), Qt::Key_Y, "y"); }},
    {"Combo", [](Controls& c, TNotifyEvent e) { c.Combo->OnChange = e; },
     [](Controls& c) { c.Combo->SetText("x"); },
     [](Controls& c) { SendKey(c.ComboWidget()->lineEdit(), Qt::Key_Y, "y"); }},
};

class HandlerExceptions : public testing::TestWithParam<ThrowCase> {};

TEST_P(HandlerExceptions, ReachTheProgramButAreShownForTheUser) {
    RecordingDialogs dialogs;
    Controls c;
    GetParam().Attach(c, [](TObject*) { throw Exception("handler failed"); });
    EXPECT_THROW(GetParam().ByProgram(c), Exception);
    EXPECT_TRUE(dialogs.Errors.isEmpty());

    EXPECT_NO_THROW(GetParam().ByUser(c));
    EXPECT_EQ(dialogs.Errors, QStringList{"handler failed"});

    GetParam().Attach(c, [](TObject*) { throw std::runtime_error("not ours"); });
    GetParam().ByUser(c);
    EXPECT_EQ(dialogs.Errors, (QStringList{"handler failed", "not ours"}));
}

INSTANTIATE_TEST_SUITE_P(Controls, HandlerExceptions, testing::ValuesIn(ThrowCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(ControlEvents, HandlerMayReplaceItselfWhileRunning) {
    Controls c;
    int runs = 0;
    c.Check->OnClick = [&](TObject*) {
        ++runs;
        c.Check->OnClick = nullptr;
    };
    c.Check->SetChecked(true);
    c.CheckWidget()->click();
    EXPECT_EQ(runs, 1);
}

TEST(Edit, ExitRunsWhenTheFocusMovesToAnotherControl) {
    RecordingDialogs dialogs;
    Controls c;
    int exits = 0;
    c.Edit->OnExit = Controls::Count(exits);
    c.Form->Show();
    QElapsedTimer timer;
    timer.start();
    while (!c.Form->Widget()->isActiveWindow() && timer.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    c.Edit->SetFocus();
    ASSERT_TRUE(c.Edit->Focused());
    c.Check->SetFocus();
    EXPECT_TRUE(c.Check->Focused());
    EXPECT_EQ(exits, 1);
    c.Edit->OnExit = [](TObject*) { throw Exception("Edit1 nie zawiera poprawnej liczby."); };
    c.Edit->SetFocus();
    c.Check->SetFocus();
    EXPECT_EQ(dialogs.Errors, QStringList{"Edit1 nie zawiera poprawnej liczby."});
}

TEST(ComboBox, ItemsAndTextFollowTheClassLibrary) {
    TForm form(nullptr);
    auto* combo = new TComboBox(&form);
    combo->SetParent(&form);
    combo->SetStyle(csDropDownList);
    auto* box = static_cast<QComboBox*>(combo->Widget());
    EXPECT_FALSE(box->isEditable());

    combo->Items()->Add("ttyS0");
    combo->Items()->Add("ttyUSB0");
    EXPECT_EQ(combo->ItemIndex(), -1);  // adding selects nothing
    EXPECT_EQ(combo->Text(), "");

    EXPECT_EQ(combo->Items()->IndexOf("TTYUSB0"), 1);
    EXPECT_EQ(combo->Items()->IndexOf("ttyUSB"), -1);  // the whole text only
    EXPECT_EQ(combo->Items()->IndexOf(""), -1);

    combo->SetItemIndex(1);
    EXPECT_EQ(combo->Text(), "ttyUSB0");
    combo->Items()->Delete(1);
    EXPECT_EQ(combo->ItemIndex(), -1);

    combo->SetText("TTYS0");
    EXPECT_EQ(combo->ItemIndex(), 0);
    combo->SetText("");
    EXPECT_EQ(combo->ItemIndex(), -1);
    combo->SetItemIndex(5);
    EXPECT_EQ(combo->ItemIndex(), -1);

    combo->Items()->Clear();
    EXPECT_EQ(combo->Items()->Count(), 0);
    EXPECT_THROW(combo->Items()->Strings(0), Exception);
}

TEST(Accessibility, NamesFollowCaptionsOrTheControlName) {
    TForm form(nullptr);
    form.SetCaption("CHRONO");
    auto* label = new TLabel(&form);
    label->SetParent(&form);
    label->SetCaption("Port COM:");
    auto* check = new TCheckBox(&form);
    check->Name = "CheckBox3";
    check->SetParent(&form);
    auto* edit = new TEdit(&form);
    edit->Name = "Edit1";
    edit->SetParent(&form);
    auto* memo = new TMemo(&form);
    memo->SetParent(&form);
    memo->Name = "Memo1";  // named after SetParent: the form's Show catches up
    auto* button = new TSpeedButton(&form);
    button->SetParent(&form);
    button->SetCaption("SYM");

    form.Show();
    EXPECT_EQ(form.Widget()->accessibleName(), "CHRONO");
    EXPECT_EQ(label->Widget()->accessibleName(), "Port COM:");
    EXPECT_EQ(check->Widget()->accessibleName(), "CheckBox3");
    EXPECT_EQ(edit->Widget()->accessibleName(), "Edit1");
    EXPECT_EQ(memo->Widget()->accessibleName(), "Memo1");
    EXPECT_EQ(button->Widget()->accessibleName(), "SYM");

    label->SetCaption("VAVG");
    check->SetCaption("Auto");
    form.SetCaption("Tarvex");
    EXPECT_EQ(label->Widget()->accessibleName(), "VAVG");
    EXPECT_EQ(check->Widget()->accessibleName(), "Auto");
    EXPECT_EQ(form.Widget()->accessibleName(), "Tarvex");
}

TEST(Font, SizesAndFamiliesMapAsTheClassLibraryDoes) {
    struct Case {
        const char* Name;
        int Height;
        bool Bold;
        int Size;
        const char* Family;
        bool DrawnBold;
    };
    const Case cases[] = {
        {"Segoe UI", -87, false, 65, "Liberation Sans", false},
        {"Segoe UI Semibold", -15, true, 11, "Liberation Sans", true},
        {"Segoe UI Semibold", -7, false, 5, "Liberation Sans", true},
        {"Tahoma", -22, false, 17, "DejaVu Sans", false},
        {"No Such Font 1234", -21, false, 16, "DejaVu Sans", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TFont font;
        font.SetName(c.Name);
        font.SetHeight(c.Height);
        font.SetBold(c.Bold);
        EXPECT_EQ(font.Size(), c.Size);
        const QFont q = ToQFont(font);
        EXPECT_EQ(q.pixelSize(), -c.Height);
        EXPECT_EQ(q.bold(), c.DrawnBold);
        EXPECT_EQ(QFontInfo(q).family(), c.Family);
    }
    TFont font;
    int changes = 0;
    font.OnChange = [&] { ++changes; };
    font.SetSize(16);
    EXPECT_EQ(font.Height(), -21);
    font.SetSize(6);
    EXPECT_EQ(font.Height(), -8);
    font.SetHeight(-8);  // no change, no event
    EXPECT_EQ(changes, 2);
}

TEST(Font, ParentFontFollowsTheParentUntilTheChildSetsItsOwn) {
    TForm form(nullptr);
    auto* panel = new TGridPanel(&form);
    panel->SetParent(&form);
    panel->Font()->SetName("Segoe UI");
    panel->Font()->SetHeight(-21);
    auto* label = new TLabel(&form);
    label->SetParent(panel);
    label->Font()->SetHeight(-25);
    label->Font()->SetColor(clMaroon);

    label->SetParentFont(true);
    EXPECT_TRUE(label->ParentFont());
    EXPECT_EQ(label->Font()->Height(), -21);
    EXPECT_EQ(label->Widget()->font().pixelSize(), 21);

    panel->Font()->SetSize(8);
    EXPECT_EQ(label->Font()->Height(), panel->Font()->Height());
    EXPECT_EQ(label->Widget()->font().pixelSize(), -panel->Font()->Height());
    EXPECT_TRUE(label->ParentFont());

    label->Font()->SetHeight(-30);
    EXPECT_FALSE(label->ParentFont());
    panel->Font()->SetHeight(-40);
    EXPECT_EQ(label->Font()->Height(), -30);
}

TEST(Canvas, MeasuresWithTheFont) {
    TForm form(nullptr);
    auto* label = new TLabel(&form);
    label->Font()->SetHeight(-20);
    const int small = label->Canvas()->TextWidth("1234.5");
    const int smallHeight = label->Canvas()->TextHeight("1234.5");
    label->Font()->SetHeight(-40);
    EXPECT_GT(label->Canvas()->TextWidth("1234.5"), small);
    EXPECT_GT(label->Canvas()->TextHeight("1234.5"), smallHeight);
    EXPECT_EQ(label->Canvas()->TextWidth(""), 0);
}

TEST(StringList, ValuesAndLines) {
    TStringList list;
    list.SetValues("AA:BB", "3");
    list.SetValues("Name X", "0");
    EXPECT_EQ(list.Values("aa:bb"), "3");
    list.SetValues("AA:BB", "7");
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list[0], "AA:BB=7");
    EXPECT_EQ(list.Values("missing"), "");
    list.SetValues("Name X", "");
    EXPECT_EQ(list.Count(), 1);

    list.SetText("a\r\nb\nc\rd\r\n");
    EXPECT_EQ(list.ToStringList(), (QStringList{"a", "b", "c", "d"}));
    EXPECT_EQ(list.Text(), "a\r\nb\r\nc\r\nd\r\n");
    list.SetText("x\r\n\r\n");
    EXPECT_EQ(list.ToStringList(), (QStringList{"x", ""}));
    EXPECT_THROW(list.Delete(2), Exception);
    EXPECT_THROW(list.Strings(-1), Exception);
}

TEST(Layout, AlignedChildrenShareTheClientArea) {
    TForm form(nullptr);
    form.SetClientWidth(400);
    form.SetClientHeight(300);
    auto* top = new TLabel(&form);
    top->AutoSize = false;
    top->SetParent(&form);
    top->SetHeight(20);
    top->SetAlign(alTop);
    auto* client = new TMemo(&form);
    client->SetParent(&form);
    client->AlignWithMargins = true;
    client->SetAlign(alClient);
    auto* fixed = new TButton(&form);
    fixed->SetParent(&form);
    fixed->SetBounds(5, 6, 70, 25);

    EXPECT_EQ(top->BoundsRect(), (TRect{0, 0, 400, 20}));
    EXPECT_EQ(client->BoundsRect(), (TRect{3, 23, 397, 297}));
    EXPECT_EQ(fixed->BoundsRect(), (TRect{5, 6, 75, 31}));

    form.DisableAlign();
    form.SetClientWidth(200);
    EXPECT_EQ(top->Width(), 400);  // suspended
    form.EnableAlign();
    EXPECT_EQ(top->Width(), 200);
    EXPECT_EQ(client->Width(), 194);
}

TEST(GridPanel, ChildrenFillTheirCells) {
    TForm form(nullptr);
    auto* grid = new TGridPanel(&form);
    grid->SetParent(&form);
    grid->SetBounds(616, 10, 240, 219);
    const double seventh = 100.0 / 7;
    grid->SetGrid({30, 70}, std::vector<double>(7, seventh));
    auto* caption = new TLabel(&form);
    caption->SetAlign(alClient);
    grid->PlaceControl(caption, 0, 6);
    auto* value = new TLabel(&form);
    value->SetAlign(alClient);
    grid->PlaceControl(value, 1, 0);

    EXPECT_EQ(caption->Parent(), grid);
    EXPECT_EQ(caption->BoundsRect(), grid->CellRect(0, 6));
    EXPECT_EQ(grid->CellRect(0, 6), (TRect{0, 188, 72, 219}));
    EXPECT_EQ(value->BoundsRect(), (TRect{72, 0, 240, 31}));

    grid->SetBounds(616, 10, 480, 438);
    EXPECT_EQ(value->BoundsRect(), (TRect{144, 0, 480, 63}));
    delete value;  // leaves the grid's placements with it
    grid->SetBounds(616, 10, 240, 219);
    EXPECT_EQ(caption->BoundsRect(), grid->CellRect(0, 6));
    EXPECT_EQ(grid->CellRect(2, 0), TRect{});
}

TEST(Ownership, ComponentsGoNewestFirstAndWidgetsOnce) {
    std::vector<QString> freed;
    struct Probe : TComponent {
        Probe(TComponent* owner, QString name, std::vector<QString>& log)
            : TComponent(owner), FName(std::move(name)), FLog(log) {}
        ~Probe() override { FLog.push_back(FName); }
        QString FName;
        std::vector<QString>& FLog;
    };
    {
        TForm form(nullptr);
        new Probe(&form, "first", freed);
        auto* panel = new TGridPanel(&form);
        panel->SetParent(&form);
        // A child that the panel does not own: freeing the panel takes the
        // child's widget along and leaves the child without a parent.
        auto* early = new TLabel(nullptr);
        new Probe(&form, "second", freed);
        early->SetParent(panel);
        delete panel;
        EXPECT_EQ(early->Widget(), nullptr);
        EXPECT_EQ(early->Parent(), nullptr);
        delete early;
    }
    EXPECT_EQ(freed, (std::vector<QString>{"second", "first"}));
}

}  // namespace
