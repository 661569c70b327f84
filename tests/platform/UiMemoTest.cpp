// TMemo: the line list and the widget stay the same text through program
// and user changes; positions count CR LF; the EM_ messages.
#include <memory>

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QThread>

#include "platform/ui/Controls.h"
#include "platform/ui/Forms.h"

namespace {

struct MemoOnForm {
    MemoOnForm() {
        Form = std::make_unique<TForm>(nullptr);
        Form->SetClientWidth(300);
        Form->SetClientHeight(300);
        Memo = new TMemo(Form.get());
        Memo->SetParent(Form.get());
        Memo->SetBounds(10, 10, 200, 200);
        Memo->OnChange = [this](TObject*) { ++Changes; };
    }
    QPlainTextEdit* Edit() const { return static_cast<QPlainTextEdit*>(Memo->Widget()); }
    // The widget shows the lines, one block each (a user's line break at the
    // very end may leave one empty block more).
    void ExpectWidgetMatches() const {
        const QStringList lines = Memo->Lines()->ToStringList();
        const QString shown = Edit()->toPlainText();
        const QString joined = lines.join('\n');
        EXPECT_TRUE(shown == joined || shown == joined + '\n') << shown.left(200).toStdString();
    }
    void ShowAndSettle() const {
        Form->Show();
        QElapsedTimer timer;
        timer.start();
        while (!Form->Widget()->isVisible() && timer.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::processEvents();
    }

    std::unique_ptr<TForm> Form;
    TMemo* Memo;
    int Changes = 0;
};

QStringList Numbered(int from, int count) {
    QStringList lines;
    for (int i = 0; i < count; ++i) lines.append(QString::number(from + i) + ".25");
    return lines;
}

TEST(Memo, LinesAndTextStayTheWidgetsText) {
    struct Step {
        const char* Name;
        void (*Act)(TMemo*);
        QStringList Lines;
        QString Text;
    };
    const Step steps[] = {
        {"Add", [](TMemo* m) { m->Lines()->Add("350.1"); }, {"350.1"}, "350.1"},
        {"AddEmpty", [](TMemo* m) { m->Lines()->Add(""); }, {"350.1", ""}, "350.1\r\n"},
        {"Put",
         [](TMemo* m) { m->Lines()->Put(1, "351.0"); },
         {"350.1", "351.0"},
         "350.1\r\n351.0"},
        {"InsertFront",
         [](TMemo* m) { m->Lines()->Insert(0, "log"); },
         {"log", "350.1", "351.0"},
         "log\r\n350.1\r\n351.0"},
        {"InsertMiddle",
         [](TMemo* m) { m->Lines()->Insert(2, "x"); },
         {"log", "350.1", "x", "351.0"},
         "log\r\n350.1\r\nx\r\n351.0"},
        {"DeleteLast",
         [](TMemo* m) { m->Lines()->Delete(3); },
         {"log", "350.1", "x"},
         "log\r\n350.1\r\nx"},
        {"DeleteFirst", [](TMemo* m) { m->Lines()->Delete(0); }, {"350.1", "x"}, "350.1\r\nx"},
        {"SetTextTrailingBreak", [](TMemo* m) { m->SetText("a\r\nb\r\n"); }, {"a", "b"}, "a\r\nb"},
        {"SetTextMixedBreaks",
         [](TMemo* m) { m->SetText("a\nb\rc"); },
         {"a", "b", "c"},
         "a\r\nb\r\nc"},
        {"Clear", [](TMemo* m) { m->Lines()->Clear(); }, {}, ""},
        {"AssignAfterClear",
         [](TMemo* m) {
             m->Lines()->Assign({"", "2"});
         },
         {"", "2"},
         "\r\n2"},
        {"DeleteOnly", [](TMemo* m) { m->Lines()->Delete(1); }, {""}, ""},
    };
    MemoOnForm f;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.Name);
        step.Act(f.Memo);
        EXPECT_EQ(f.Memo->Lines()->ToStringList(), step.Lines);
        EXPECT_EQ(f.Memo->Lines()->Count(), step.Lines.size());
        EXPECT_EQ(f.Memo->Text(), step.Text);
        f.ExpectWidgetMatches();
    }
    EXPECT_EQ(f.Memo->Lines()->Text(), "\r\n");
    EXPECT_THROW(f.Memo->Lines()->Delete(1), Exception);
    EXPECT_THROW(f.Memo->Lines()->Insert(3, "x"), Exception);
}

// The shot list: 10,100 appended lines, then cut from the front in one
// bracket, the way the line intake and the log keep it at 10,000 lines.
TEST(Memo, LongListAppendsAndCutsFromTheFront) {
    MemoOnForm f;
    f.ShowAndSettle();
    TStrings* lines = f.Memo->Lines();
    for (const QString& line : Numbered(0, 10100)) lines->Add(line);
    EXPECT_EQ(f.Changes, 10100);
    EXPECT_EQ(lines->Count(), 10100);
    EXPECT_EQ(lines->Strings(10099), "10099.25");
    f.ExpectWidgetMatches();

    lines->Add("10100.25");
    lines->BeginUpdate();
    while (lines->Count() > 10000) lines->Delete(0);
    lines->EndUpdate();
    EXPECT_EQ(f.Changes, 10102);
    EXPECT_EQ(lines->Count(), 10000);
    EXPECT_EQ(lines->Strings(0), "101.25");
    EXPECT_EQ(lines->Strings(9999), "10100.25");
    f.ExpectWidgetMatches();

    // A log line: the whole text rewritten with one line more, then the
    // first line cut, all inside one bracket: one change event.
    lines->BeginUpdate();
    f.Memo->SetText(f.Memo->Text() + "\r\nlog line");
    while (lines->Count() > 10000) lines->Delete(0);
    f.Memo->SetSelStart(int(f.Memo->Text().size()));
    f.Memo->SetSelLength(0);
    f.Memo->Perform(EM_SCROLLCARET, 0, 0);
    lines->EndUpdate();
    EXPECT_EQ(f.Changes, 10103);
    EXPECT_EQ(lines->Count(), 10000);
    EXPECT_EQ(lines->Strings(9999), "log line");
    EXPECT_EQ(lines->Strings(0), "102.25");
    f.ExpectWidgetMatches();
}

TEST(Memo, PositionsCountTwoCharactersPerLineBreak) {
    MemoOnForm f;
    f.Memo->SetText("12.5\r\n\r\n300.25");
    f.Memo->SetSelStart(6);  // start of the empty line
    EXPECT_EQ(f.Memo->SelStart(), 6);
    EXPECT_EQ(f.Edit()->textCursor().position(), 5);
    f.Memo->SetSelStart(8);  // start of "300.25"
    f.Memo->SetSelLength(3);
    EXPECT_EQ(f.Memo->SelText(), "300");
    f.Memo->SetSelStart(2);
    f.Memo->SetSelLength(7);
    EXPECT_EQ(f.Memo->SelLength(), 7);
    EXPECT_EQ(f.Memo->SelText(), ".5\r\n\r\n3");
    f.Memo->SetSelStart(5);  // between CR and LF: the end of the line
    EXPECT_EQ(f.Memo->SelStart(), 4);
    f.Memo->SetSelStart(1000);
    EXPECT_EQ(f.Memo->SelStart(), 14);

    f.Changes = 0;
    f.Memo->SetSelStart(14);
    f.Memo->SetSelText("\r\nscan 2");
    EXPECT_EQ(f.Changes, 1);
    EXPECT_EQ(f.Memo->Lines()->ToStringList(), (QStringList{"12.5", "", "300.25", "scan 2"}));
    EXPECT_EQ(f.Memo->SelStart(), 22);
    f.Memo->SetSelStart(0);
    f.Memo->SetSelLength(6);
    f.Memo->SetSelText("");
    EXPECT_EQ(f.Memo->Text(), "\r\n300.25\r\nscan 2");
    f.ExpectWidgetMatches();
}

TEST(Memo, UserEditsBecomeTheLines) {
    MemoOnForm f;
    f.Memo->Lines()->Assign({"1", "2"});
    f.Changes = 0;
    QTextCursor cursor = f.Edit()->textCursor();
    cursor.movePosition(QTextCursor::End);
    f.Edit()->setTextCursor(cursor);
    for (int key : {Qt::Key_Return, Qt::Key_3}) {
        const QString text = key == Qt::Key_Return ? QString("\r") : QString("3");
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(f.Edit(), &press);
    }
    EXPECT_EQ(f.Memo->Lines()->ToStringList(), (QStringList{"1", "2", "3"}));
    EXPECT_EQ(f.Changes, 2);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");
    QApplication::sendEvent(f.Edit(), &enter);
    // A break at the very end opens no line, as in the class library.
    EXPECT_EQ(f.Memo->Lines()->Count(), 3);
    f.Memo->Lines()->Add("4");
    EXPECT_EQ(f.Memo->Lines()->ToStringList(), (QStringList{"1", "2", "3", "4"}));
    f.ExpectWidgetMatches();
}

TEST(Memo, ScrollMessages) {
    MemoOnForm f;
    f.Memo->SetWordWrap(false);
    f.Memo->SetScrollBars(ssVertical);
    f.ShowAndSettle();
    f.Memo->Lines()->Assign(Numbered(0, 200));
    QCoreApplication::processEvents();
    EXPECT_EQ(f.Memo->Perform(EM_GETFIRSTVISIBLELINE, 0, 0), 0);

    f.Memo->Perform(EM_LINESCROLL, 0, 50);
    EXPECT_EQ(f.Memo->Perform(EM_GETFIRSTVISIBLELINE, 0, 0), 50);
    f.Memo->Perform(EM_LINESCROLL, 0, -20);
    EXPECT_EQ(f.Memo->Perform(EM_GETFIRSTVISIBLELINE, 0, 0), 30);
    f.Memo->Perform(EM_LINESCROLL, 0, -1000);
    EXPECT_EQ(f.Memo->Perform(EM_GETFIRSTVISIBLELINE, 0, 0), 0);

    // Line 3 starts after three lines of 4 characters and their CR LF.
    EXPECT_EQ(f.Memo->Perform(EM_LINEINDEX, 3, 0), 3 * 6);
    EXPECT_EQ(f.Memo->Perform(EM_LINEINDEX, 200, 0), -1);
    f.Memo->SetSelStart(3 * 6 + 2);
    EXPECT_EQ(f.Memo->Perform(EM_LINEINDEX, WPARAM(-1), 0), 3 * 6);

    f.Memo->SetSelStart(int(f.Memo->Text().size()));
    f.Memo->Perform(EM_SCROLLCARET, 0, 0);
    EXPECT_GT(f.Memo->Perform(EM_GETFIRSTVISIBLELINE, 0, 0), 150);

    f.Memo->Lines()->Assign({QString(300, 'x')});
    QCoreApplication::processEvents();
    f.Memo->Perform(EM_LINESCROLL, 10, 0);
    EXPECT_GT(f.Edit()->horizontalScrollBar()->value(), 0);
    f.Memo->Perform(EM_LINESCROLL, WPARAM(-100000), 0);
    EXPECT_EQ(f.Edit()->horizontalScrollBar()->value(), 0);
}

TEST(Memo, AddFollowsTheNewLastLine) {
    MemoOnForm f;
    f.ShowAndSettle();
    for (const QString& line : Numbered(0, 300)) f.Memo->Lines()->Add(line);
    QCoreApplication::processEvents();
    EXPECT_GT(f.Memo->Perform(EM_GETFIRSTVISIBLELINE, 0, 0), 250);
}

TEST(Memo, RedrawSwitch) {
    MemoOnForm f;
    SendMessage(f.Memo, WM_SETREDRAW, 0, 0);
    EXPECT_FALSE(f.Edit()->updatesEnabled());
    f.Memo->Lines()->Assign({"1"});
    SendMessage(f.Memo, WM_SETREDRAW, 1, 0);
    EXPECT_TRUE(f.Edit()->updatesEnabled());
}

}  // namespace
