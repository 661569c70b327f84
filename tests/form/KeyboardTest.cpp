// The application-wide Ctrl shortcuts sent as real key events to the
// controls, the form's own key rules, the hover state of the command
// buttons and the unit hints.
#include <gtest/gtest.h>

#include <functional>

#include <QApplication>
#include <QKeyEvent>
#include <QObject>
#include <QWidget>

#include "platform/chart/Chart.h"
#include "platform/core/FormatFloat.h"
#include "platform/core/IniFile.h"
#include "support/FormFixture.h"

namespace {

using P = TForm1Probe;

constexpr double Foot = 0.3048;
constexpr double Grain = 0.06479891;
constexpr double FootPoundsPerJoule = 0.737562149;

// Counts the key presses that reach a widget.
class KeyCounter : public QObject {
public:
    explicit KeyCounter(QWidget* widget) : FWidget(widget) { widget->installEventFilter(this); }
    ~KeyCounter() override {
        if (FWidget) FWidget->removeEventFilter(this);
    }
    int Presses = 0;

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) ++Presses;
        return false;
    }

private:
    QPointer<QWidget> FWidget;
};

// Presses and releases a key on the widget, as the keyboard would.
void PressKey(QWidget* widget, int key, Qt::KeyboardModifiers modifiers, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QApplication::sendEvent(widget, &release);
}

QString Hint(double value, int decimals, const char* unit) {
    return QString::number(value, 'f', decimals) + QLatin1Char(' ') + QLatin1String(unit);
}

}  // namespace

class Keyboard : public FormFixture {
protected:
    void SetCnv(bool on) {
        TIniFile(IniFilePath())
            .WriteInteger(QStringLiteral("Settings"), QStringLiteral("CNV"), on ? 1 : 0);
    }
};

TEST_F(Keyboard, CtrlShortcutsRunFromEveryControlAndAreNotDelivered) {
    struct Key {
        int code;
        Qt::KeyboardModifiers modifiers;
        const char* name;
        // What the action leaves behind; empty for actions with nothing to
        // show on an empty list (filter and refresh).
        std::function<void(TForm1&)> check;
    };
    const Key keys[] = {
        {Qt::Key_P, Qt::ControlModifier, "Ctrl+P",
         [](TForm1& f) {
             EXPECT_TRUE(P::FPowerFactorMode(f));
             EXPECT_FALSE(P::FPowerFactorIpsc(f));
             EXPECT_EQ(f.Label17->Caption(), "PF");
         }},
        {Qt::Key_O, Qt::ControlModifier, "Ctrl+O",
         [](TForm1& f) {
             EXPECT_TRUE(P::FPowerFactorMode(f));
             EXPECT_TRUE(P::FPowerFactorIpsc(f));
         }},
        {Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier, "Ctrl+Shift+P",
         [](TForm1& f) { EXPECT_TRUE(P::FPowerFactorMode(f)); }},
        {Qt::Key_T, Qt::ControlModifier, "Ctrl+T",
         [](TForm1& f) {
             EXPECT_FALSE(P::FTxtFormat(f));
             EXPECT_EQ(f.Label20->Caption(), "Format: CSV");
         }},
        {Qt::Key_F, Qt::ControlModifier, "Ctrl+F", {}},
        {Qt::Key_R, Qt::ControlModifier, "Ctrl+R", {}},
        {Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier, "Ctrl+Shift+R", {}},
    };
    StartForm();
    Form().Edit1->SetText(QStringLiteral("8"));
    TControl* const controls[] = {Form().Memo1, Form().Edit1, Form().Chart1};
    for (TControl* control : controls) {
        for (const Key& key : keys) {
            SCOPED_TRACE(control->Name.toStdString() + " " + key.name);
            P::FPowerFactorMode(Form()) = false;
            P::FPowerFactorIpsc(Form()) = false;
            P::FTxtFormat(Form()) = true;
            Form().Label20->SetCaption(QString());
            const QString memo = Form().Memo1->Text();
            if (auto* focusable = dynamic_cast<TWinControl*>(control)) focusable->SetFocus();

            KeyCounter counter(control->Widget());
            const QChar letter = QChar(key.code - Qt::Key_A + 1);  // the control character
            PressKey(control->Widget(), key.code, key.modifiers, QString(letter));

            EXPECT_EQ(counter.Presses, 0);
            EXPECT_EQ(Form().Memo1->Text(), memo);
            EXPECT_EQ(Form().Edit1->Text(), "8");
            if (key.check) key.check(Form());
        }
    }
}

TEST_F(Keyboard, KeysWithoutCtrlAndOtherCtrlKeysReachTheControl) {
    StartForm();
    Form().Edit1->SetText(QString());
    Form().Edit1->SetFocus();
    {
        KeyCounter counter(Form().Edit1->Widget());
        PressKey(Form().Edit1->Widget(), Qt::Key_P, Qt::NoModifier, QStringLiteral("p"));
        EXPECT_EQ(counter.Presses, 1);
        EXPECT_EQ(Form().Edit1->Text(), "p");
        EXPECT_FALSE(P::FPowerFactorMode(Form()));
    }
    {
        KeyCounter counter(Form().Memo1->Widget());
        PressKey(Form().Memo1->Widget(), Qt::Key_A, Qt::ControlModifier, QString(QChar(1)));
        EXPECT_EQ(counter.Presses, 1);
    }
}

TEST_F(Keyboard, CtrlTTogglesTheSaveFormatForThisRunOnly) {
    TIniFile(IniFilePath()).WriteInteger(QStringLiteral("Settings"), QStringLiteral("TXT"), 1);
    StartForm();
    P::FTxtFormat(Form()) = true;
    QWidget* memo = Form().Memo1->Widget();
    PressKey(memo, Qt::Key_T, Qt::ControlModifier, QString(QChar(20)));
    EXPECT_EQ(Form().Label20->Caption(), "Format: CSV");
    EXPECT_FALSE(P::FTxtFormat(Form()));
    PressKey(memo, Qt::Key_T, Qt::ControlModifier, QString(QChar(20)));
    EXPECT_EQ(Form().Label20->Caption(), "Format: TXT");
    EXPECT_TRUE(P::FTxtFormat(Form()));
    EXPECT_EQ(
        TIniFile(IniFilePath()).ReadInteger(QStringLiteral("Settings"), QStringLiteral("TXT"), -1),
        1);
}

TEST_F(Keyboard, FormKeyDownConsumesOnlyItsShortcuts) {
    struct Case {
        WORD key;
        bool shift, ctrl, alt;
        WORD keyAfter;
        bool powerFactor;
        const char* status;
    };
    const Case cases[] = {
        {'P', false, true, false, 0, true, ""},
        {'P', true, true, true, 0, true, ""},
        {'P', false, false, false, 'P', false, "-"},
        {'O', false, true, false, 0, true, ""},
        {'T', false, true, true, 0, false, "Format: CSV"},
        {'F', false, true, false, 0, false, "-"},
        {'R', false, true, false, 0, false, "-"},
        // Ctrl+Shift+R is the hook's alone; the form leaves it.
        {'R', true, true, false, 'R', false, "-"},
        {'X', false, true, false, 'X', false, "-"},
    };
    StartForm();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(1, char(c.key)) + (c.shift ? " shift" : "") +
                     (c.ctrl ? " ctrl" : ""));
        P::FPowerFactorMode(Form()) = false;
        P::FPowerFactorIpsc(Form()) = false;
        P::FTxtFormat(Form()) = true;
        Form().Label20->SetCaption(QStringLiteral("-"));
        WORD key = c.key;
        TShiftState shift;
        shift.Shift = c.shift;
        shift.Ctrl = c.ctrl;
        shift.Alt = c.alt;
        Form().FormKeyDown(&Form(), key, shift);
        EXPECT_EQ(key, c.keyAfter);
        EXPECT_EQ(P::FPowerFactorMode(Form()), c.powerFactor);
        EXPECT_EQ(Form().Label20->Caption(), c.status);
    }
}

TEST_F(Keyboard, HoverFollowsTheCommandButtonUnderThePointer) {
    StartForm();
    TForm1& f = Form();
    struct Step {
        bool enter;
        TObject* sender;
        TAnalysisCommand hovered;
    };
    using C = TAnalysisCommand;
    const Step steps[] = {
        {true, f.SpeedButton3, C::Refresh}, {false, f.SpeedButton3, C::None},
        {true, f.SpeedButton5, C::Sym},     {true, f.SpeedButton6, C::Cmp},
        {false, f.SpeedButton5, C::Cmp},    {false, f.SpeedButton6, C::None},
        {true, f.SpeedButton7, C::DV},      {true, f.Label20, C::None},
        {true, f.SpeedButton7, C::DV},      {false, f.Label20, C::DV},
        {false, f.SpeedButton7, C::None},
    };
    for (const Step& s : steps) {
        if (s.enter)
            f.AnalysisButtonEnter(s.sender);
        else
            f.AnalysisButtonLeave(s.sender);
        EXPECT_EQ(P::FHoveredCommand(f), s.hovered);
    }
}

TEST_F(Keyboard, UnitHintsShowTheOtherUnit) {
    struct Case {
        const char* name;
        std::function<void(TForm1&)> setup;
        std::function<void(TForm1&)> enter;
        std::function<TLabel*(TForm1&)> label;
        QString hint;
    };
    const auto velocity = [](TForm1& f) { f.Label16MouseEnter(f.Label16); };
    const auto energy = [](TForm1& f) { f.Label17MouseEnter(f.Label17); };
    const auto weight = [](TForm1& f) { f.Label18MouseEnter(f.Label18); };
    const auto label16 = [](TForm1& f) { return f.Label16; };
    const auto label17 = [](TForm1& f) { return f.Label17; };
    const auto label18 = [](TForm1& f) { return f.Label18; };
    const Case cases[] = {
        {"velocity m/s",
         [](TForm1&) { ShownSeries().Assign(std::vector<double>{304.8}, true, false); }, velocity,
         label16, Hint(304.8 / Foot, 3, "ft/s")},
        {"velocity ft/s",
         [](TForm1& f) {
             f.Label16->SetCaption(QStringLiteral("ft/s"));
             ShownSeries().Assign(std::vector<double>{1000}, true, false);
         },
         velocity, label16, Hint(1000 * Foot, 3, "m/s")},
        {"velocity from the big label",
         [](TForm1& f) { f.Label2->SetCaption(QStringLiteral("812,5")); }, velocity, label16,
         Hint(812.5 / Foot, 3, "ft/s")},
        {"no velocity keeps the hint",
         [](TForm1& f) {
             f.Label2->SetCaption(QStringLiteral("--"));
             f.Label16->SetHint(QStringLiteral("before"));
         },
         velocity, label16, QStringLiteral("before")},
        {"velocity in CNV from the cache",
         [](TForm1&) {
             // The last velocity is another than the cache's last.
             ShownSeries().Assign(std::vector<double>{1}, true, false);
             ShownSeries().RebuildVelocityCache(std::vector<double>{290, 300}, true);
         },
         velocity, label16, Hint(300 / Foot, 3, "ft/s")},
        {"power factor", [](TForm1& f) { P::FPowerFactorMode(f) = true; }, energy, label17,
         QStringLiteral("Power Factor IPSC")},
        {"power factor IPSC",
         [](TForm1& f) {
             P::FPowerFactorMode(f) = true;
             P::FPowerFactorIpsc(f) = true;
         },
         energy, label17, QStringLiteral("Power Factor")},
        {"energy J", [](TForm1& f) { f.Label15->SetCaption(QStringLiteral("360.00")); }, energy,
         label17, Hint(360 * FootPoundsPerJoule, 3, "ft-lb")},
        {"energy ft-lb",
         [](TForm1& f) {
             f.Label17->SetCaption(QStringLiteral("ft-lb"));
             f.Label15->SetCaption(QStringLiteral("265.52"));
         },
         energy, label17, Hint(265.52 / FootPoundsPerJoule, 3, "J")},
        {"energy in CNV from the cache and grams",
         [](TForm1& f) {
             ShownSeries().RebuildVelocityCache(std::vector<double>{300}, true);
             P::FWeightGrams(f) = 8;
             f.Label15->SetCaption(QStringLiteral("1.00"));
         },
         energy, label17, Hint(300.0 * 300 * 8 / 2000 * FootPoundsPerJoule, 3, "ft-lb")},
        {"weight not a number", [](TForm1& f) { f.Edit1->SetText(QStringLiteral("abc")); }, weight,
         label18, QStringLiteral("Edit1 nie zawiera poprawnej liczby.")},
        {"weight grams", [](TForm1& f) { f.Edit1->SetText(QStringLiteral("8")); }, weight, label18,
         Hint(8 / Grain, 6, "gr")},
        {"weight grains",
         [](TForm1& f) {
             f.Label18->SetCaption(QStringLiteral("gr"));
             f.Edit1->SetText(QStringLiteral("123.5"));
         },
         weight, label18, Hint(123.5 * Grain, 6, "g")},
        {"weight in CNV from the grams",
         [](TForm1& f) {
             P::FWeightGrams(f) = 8;
             f.Edit1->SetText(QStringLiteral("abc"));
         },
         weight, label18, Hint(8 / Grain, 6, "gr")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const bool cnv = QString::fromLatin1(c.name).contains(QStringLiteral("CNV"));
        QFile::remove(IniFilePath());
        SetCnv(cnv);
        StartForm();
        c.setup(Form());
        c.enter(Form());
        EXPECT_EQ(c.label(Form())->Hint(), c.hint);
        EXPECT_TRUE(c.label(Form())->ShowHint());
        CloseForm();
    }
}

TEST_F(Keyboard, HintsUseTheUsersDecimalSeparator) {
    StartForm();
    SetDecimalSeparatorForTesting(QLatin1Char(','));
    ShownSeries().Assign(std::vector<double>{304.8}, true, false);
    Form().Label16MouseEnter(Form().Label16);
    EXPECT_EQ(Form().Label16->Hint(), "1000,000 ft/s");
    Form().Edit1->SetText(QStringLiteral("8"));
    Form().Label18MouseEnter(Form().Label18);
    EXPECT_EQ(Form().Label18->Hint(), Hint(8 / Grain, 6, "gr").replace('.', ','));
}
