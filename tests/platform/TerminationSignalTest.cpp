// SIGTERM and SIGINT closing the program in an orderly way: the platform
// call on its own, then the real built programs started, signalled and
// checked for their exit status and the settings their close handler wrote.
#include <gtest/gtest.h>

#include <csignal>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include "platform/core/IniFile.h"
#include "platform/ui/Signals.h"
#include "support/FormFixture.h"

namespace {

bool DefaultAction(int signal) {
    struct sigaction current {};
    ::sigaction(signal, nullptr, &current);
    return current.sa_handler == SIG_DFL;
}

}  // namespace

TEST(TerminationRequest, SignalRunsTheHandlerOnTheMainThreadOnce) {
    int calls = 0;
    bool onMainThread = false;
    OnTerminationRequest([&] {
        ++calls;
        onMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
    });
    ASSERT_FALSE(DefaultAction(SIGTERM));
    ASSERT_FALSE(DefaultAction(SIGINT));

    ASSERT_EQ(::raise(SIGINT), 0);
    // Nothing runs inside the signal: only the event loop calls the handler.
    EXPECT_EQ(calls, 0);
    ASSERT_TRUE(WaitFor([&] { return calls > 0; }));
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(onMainThread);
    // A second request would now end the process at once.
    EXPECT_TRUE(DefaultAction(SIGTERM));
    EXPECT_TRUE(DefaultAction(SIGINT));
    OnTerminationRequest(nullptr);
}

TEST(TerminationRequest, RealProgramClosesItsWindowAndExitsWithZero) {
    const QString built = QCoreApplication::applicationDirPath() + "/../";
    struct Case {
        const char* Program;
        int Signal;
    };
    const Case cases[] = {{"tarvex", SIGTERM}, {"tarvex", SIGINT}, {"tarvex-serial", SIGTERM}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Program) + (c.Signal == SIGTERM ? " SIGTERM" : " SIGINT"));
        ASSERT_TRUE(QFileInfo::exists(built + c.Program)) << "build the programs first";
        // A copy in its own folder: the settings file lies beside it.
        QTemporaryDir dir;
        const QString program = dir.filePath(QString::fromLatin1(c.Program));
        ASSERT_TRUE(QFile::copy(built + c.Program, program));
        const QString ini = program + ".ini";
        // A settings file without the keys that only the close handler writes.
        ASSERT_FALSE(WriteTextFile(ini, "[Settings]\nStyle=1\nMU=11\n").isEmpty());

        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(dir.path());
        process.start(program, {});
        ASSERT_TRUE(process.waitForStarted(30000));
        // Start-up repairs the file; the automatic-save section comes last.
        ASSERT_TRUE(WaitFor([&] { return ReadFileBytes(ini).contains("[AUTOSAVE]"); }, 60));
        EXPECT_FALSE(ReadFileBytes(ini).contains("CheckBoxAuto50"));

        ASSERT_EQ(::kill(pid_t(process.processId()), c.Signal), 0);
        ASSERT_TRUE(process.waitForFinished(60000)) << process.readAllStandardError().toStdString();
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 0);

        // The close handler ran: it wrote its keys and left the rest.
        const TIniFile settings(ini);
        EXPECT_EQ(settings.ReadString("Settings", "CheckBoxAuto50", "<none>"), "0");
        EXPECT_EQ(settings.ReadString("Settings", "CheckBoxScroll", "<none>"), "1");
        EXPECT_EQ(settings.ReadString("Settings", "MultiplierG", "<none>"), "0.06479891");
        EXPECT_EQ(settings.ReadString("Settings", "MU", "<none>"), "11");
        // Nothing appeared in the folder it was started from but its own files.
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList());
    }
}
