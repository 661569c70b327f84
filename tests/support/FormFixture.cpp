#include "support/FormFixture.h"

#include <QFileInfo>
#include <QThread>

#include "platform/core/FormatFloat.h"
#include "platform/core/Paths.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/StyleManager.h"
#include "series/core/NumberText.h"
#include "series/core/Statistics.h"

void ResetProgramWideValues() {
    ResetShotStats();
    LastVelocity = 0.0;
    LastVelocityValid = false;
    NextChartX = 1;
    VisibleShots = 26;
    LiveInput = false;
    BatchUpdate = false;
    CounterMode = false;
    CounterA = 0;
    CounterGate = 0.0;
    CounterFreq = 0.0;
    DecFmt = QStringLiteral("0##");
}

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

QString WriteTextFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return QString();
    file.write(content);
    return path;
}

QByteArray ReadFileBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

void FormFixture::SetUp() {
    ASSERT_TRUE(FDir.isValid());
    SetExecutablePathForTesting(FDir.filePath(QStringLiteral("tarvex")));
    SetDocumentsPathForTesting(FDir.filePath(QStringLiteral("Documents")));
    SetDecimalSeparatorForTesting(QLatin1Char('.'));
    SetDialogs(&FDialogs);
    ResetProgramWideValues();
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

QString FormFixture::IniFilePath() const { return FDir.filePath(QStringLiteral("tarvex.ini")); }

TForm1& FormFixture::StartForm() {
    FForm = new TForm1(Application);
    Form1 = FForm;
    FForm->DoCreate();
    FForm->Show();
    QCoreApplication::processEvents();
    return *FForm;
}

void FormFixture::CloseForm() {
    TCloseAction action = caFree;
    try {
        FForm->FormClose(FForm, action);
    } catch (...) {
    }
    delete FForm;
    FForm = nullptr;
    Form1 = nullptr;
    // The hook points into the freed form.
    Application->OnMessage = nullptr;
}
