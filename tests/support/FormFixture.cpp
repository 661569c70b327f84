#include "support/FormFixture.h"

#include <QFileInfo>
#include <QThread>
#include <QWidget>

#include "platform/core/FormatFloat.h"
#include "platform/core/IniFile.h"
#include "platform/core/Paths.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/StyleManager.h"
#include "series/core/NumberText.h"

bool WaitFor(const std::function<bool()>& done, int seconds) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > qint64(seconds) * 1000) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(1);
    }
    return true;
}

void FormFixture::SetUp() {
    ASSERT_TRUE(FDir.isValid());
    SetExecutablePathForTesting(FDir.filePath(QStringLiteral("tarvex")));
    SetDocumentsPathForTesting(FDir.filePath(QStringLiteral("Documents")));
    SetDecimalSeparatorForTesting(QLatin1Char('.'));
    SetDialogs(&FDialogs);
}

void FormFixture::TearDown() {
    if (FForm) CloseForm();
    QCoreApplication::processEvents();
    SetDialogs(nullptr);
    SetDecimalSeparatorForTesting(QChar());
    SetExecutablePathForTesting(QString());
    SetDocumentsPathForTesting(QString());
    TStyleManager::TrySetStyle(QStringLiteral("Windows"), false);
}

QString FormFixture::IniFilePath() const {
    return FDir.filePath(QStringLiteral("tarvex.ini"));
}

TForm1& FormFixture::StartForm() {
    FForm = new TForm1(Application);
    Form1 = FForm;
    FForm->DoCreate();
    FForm->Show();
    QCoreApplication::processEvents();
    return *FForm;
}

TForm1& FormFixture::StartFormOffline() {
    StartForm();
    KillTimer(FForm, TIMER_COM_AUTOOPEN);
    KillTimer(FForm, TIMER_BLE_AUTOCONNECT);
    return *FForm;
}

void FormFixture::Feed(const QStringList& lines, bool live) {
    TForm1Probe::LiveInput(Form()) = live;
    for (const QString& line : lines) Form().ProcessIncomingLine(line);
    TForm1Probe::LiveInput(Form()) = false;
}

void FormFixture::SetListQuietly(const QStringList& lines) {
    TForm1Probe::FMemoUpdating(Form()) = true;
    Form().Memo1->Lines()->Assign(lines);
    TForm1Probe::FMemoUpdating(Form()) = false;
}

void FormFixture::EmptyListQuietly() {
    TForm1Probe::FMemoUpdating(Form()) = true;
    Form().Memo1->Lines()->Clear();
    TForm1Probe::FMemoUpdating(Form()) = false;
}

void FormFixture::QueueReceived(const QStringList& lines) {
    for (const QString& line : lines) LineQueue().Push(line);
}

bool FormFixture::ReceivedQueueEmpty() {
    return LineQueue().Empty();
}

void FormFixture::Receive(const QStringList& lines) {
    QueueReceived(lines);
    Form().DrainReceivedLines();
}

QString FormFixture::IniValue(const char* section, const char* key) const {
    return TIniFile(IniFilePath())
        .ReadString(QString::fromLatin1(section), QString::fromLatin1(key),
                    QStringLiteral("<none>"));
}

void FormFixture::WriteIniValue(const char* section, const char* key, const QString& value) const {
    TIniFile(IniFilePath())
        .WriteString(QString::fromLatin1(section), QString::fromLatin1(key), value);
}

void FormFixture::WriteFilter(const QString& filter, const QString& shots,
                              const QString& velocity) const {
    WriteIniValue("FILTER", "Filter", filter);
    WriteIniValue("FILTER", "Shots", shots);
    WriteIniValue("FILTER", "Velocity", velocity);
}

void FormFixture::ExpectTabOrderFromShotList(const std::vector<TWinControl*>& expected) {
    std::vector<QWidget*> reached;
    QWidget* widget = Form().Memo1->Widget();
    while (reached.size() < expected.size()) {
        widget = widget->nextInFocusChain();
        if ((widget->focusPolicy() & Qt::TabFocus) && !widget->parentWidget()->focusPolicy())
            reached.push_back(widget);
    }
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(reached[i], expected[i]->Widget()) << expected[i]->Name.toStdString();
}

void FormFixture::CloseForm(const std::function<void(TForm1&)>& closed) {
    TCloseAction action = caFree;
    try {
        FForm->FormClose(FForm, action);
    } catch (...) {
    }
    if (closed) closed(*FForm);
    delete FForm;
    FForm = nullptr;
    Form1 = nullptr;
    // The hook points into the freed form.
    Application->OnMessage = nullptr;
}
