// SYM, CMP and dV through the command frame of a real main form, the lock of
// the shot list and REFRESH.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "platform/chart/Chart.h"
#include "platform/core/FormatFloat.h"
#include "platform/core/IniFile.h"
#include "series/core/Statistics.h"
#include "support/FormFixture.h"

namespace {
using P = TForm1Probe;
}

class AnalysisCommands : public FormFixture {
protected:
    void SetUp() override {
        FormFixture::SetUp();
        StartFormOffline();
    }

    // Fills the list as a user would have typed it and takes its values.
    void SetList(const QStringList& lines) {
        Form().Memo1->Lines()->Assign(lines);
        Form().RefreshCommand();
        Form().Memo1->Lines()->Assign(lines);
    }

    // Clicks a command button and waits until its frame has closed.
    void Run(TSpeedButton* button) {
        button->Click();
        ASSERT_TRUE(WaitFor([this] { return !P::FCommandBusy(Form()); }));
    }

    bool Locked() { return P::FMemoLocked(Form()); }

    // A file in the test folder.
    QString File(const QString& name, const QByteArray& bytes) {
        return WriteTextFile(FDir.filePath(name), bytes);
    }
};

TEST_F(AnalysisCommands, SymPairsBothEndsAndSkipsNonValueLines) {
    struct Case {
        const char* Name;
        QStringList List;
        QStringList Result;
        QString Status;
    };
    const Case cases[] = {
        {"Even", {"10", "11", "12", "13"}, {"-3", "-1"}, "SYM: Mirror 4"},
        {"OddWithLogAndBlankLines",
         {"1", "LOG: 31 FF 0A", "2", "", "3", "V=4 m/s", "4", "10"},
         {"-9", "-2"},
         "SYM: Mirror 5"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        SetList(c.List);
        Run(Form().SpeedButton5);
        EXPECT_EQ(MemoLines(), c.Result);
        EXPECT_EQ(Status(), c.Status);
        EXPECT_TRUE(Locked());
        EXPECT_EQ(P::FAnalysisMode(Form()), TAnalysisMode::Sym);
        EXPECT_TRUE(P::FDerivedValues(Form()));
        EXPECT_TRUE(LineQueue().Discarding());
        EXPECT_EQ(ShownSeries().Stats().Count, int(c.Result.size()));
        Form().RefreshCommand();
    }
    EXPECT_TRUE(FDialogs.Messages.isEmpty());
}

TEST_F(AnalysisCommands, TooFewValuesPutTheListBackUnlocked) {
    struct Case {
        TSpeedButton* TForm1::*Button;
        QString Message;
    };
    const Case cases[] = {{&TForm1::SpeedButton5, " Use min. 2 points"},
                          {&TForm1::SpeedButton7, "Use minimum 2 points"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Message.toStdString());
        FDialogs.Messages.clear();
        SetList({" 812.5 ", "", "LOG: 31 FF 0A"});
        Form().Label20->SetCaption(QStringLiteral("earlier"));
        Run(Form().*c.Button);
        EXPECT_EQ(FDialogs.Messages, QStringList({c.Message}));
        // The kept lines come back trimmed, the blank one gone.
        EXPECT_EQ(MemoLines(), QStringList({"812.5", "LOG: 31 FF 0A"}));
        EXPECT_FALSE(Locked());
        EXPECT_TRUE(P::FMemoSnapshot(Form()).empty());
        EXPECT_FALSE(LineQueue().Discarding());
        EXPECT_EQ(P::FAnalysisMode(Form()), TAnalysisMode::Shots);
        EXPECT_EQ(Status(), "earlier");
    }
}

TEST_F(AnalysisCommands, DeltaAndTheReportNamedAfterIt) {
    SetList({"10", "12", "9"});
    Run(Form().SpeedButton7);
    EXPECT_EQ(MemoLines(), QStringList({"2", "3"}));
    EXPECT_EQ(Status(), "dV: 2 points |dV|");
    EXPECT_EQ(P::FAnalysisMode(Form()), TAnalysisMode::DV);

    Form().SpeedButton8->Click();  // the save dialog is cancelled
    ASSERT_EQ(FDialogs.SaveRequests.size(), 1u);
    EXPECT_EQ(FDialogs.SaveRequests[0].FileName, "StatDV_001.jpg");
}

TEST_F(AnalysisCommands, LockRefusesUntilRefreshAndDropsLiveLines) {
    SetList({"800", "810", "805", "LOG: connected"});
    const QStringList before = MemoLines();
    Run(Form().SpeedButton5);
    const QStringList derived = MemoLines();
    ASSERT_EQ(derived, QStringList({"-5"}));

    for (TSpeedButton* button : {Form().SpeedButton5, Form().SpeedButton6, Form().SpeedButton7}) {
        Run(button);
        EXPECT_EQ(MemoLines(), derived);
    }
    EXPECT_EQ(Status(), "dV: Use refresh to unlock");
    EXPECT_TRUE(FDialogs.OpenRequests.empty());

    Receive({"900", "910"});
    EXPECT_EQ(MemoLines(), derived);
    EXPECT_EQ(ShownSeries().Stats().Count, 1);

    // REFRESH through its button: the kept lines come back as shots.
    Run(Form().SpeedButton3);
    EXPECT_EQ(MemoLines(), QStringList({"800", "810", "805"}));
    EXPECT_FALSE(Locked());
    EXPECT_EQ(P::FAnalysisMode(Form()), TAnalysisMode::Shots);
    EXPECT_FALSE(P::FDerivedValues(Form()));
    EXPECT_EQ(Form().Label8->Caption(), "3");
    EXPECT_EQ(Form().Label3->Caption(), "805.0");
    EXPECT_EQ(P::FActiveSeries(Form())->Count(), 3);
    EXPECT_NE(before, MemoLines());  // the log line is no shot

    // Live shots are taken in again and continue the numbering.
    Receive({"900"});
    EXPECT_EQ(MemoLines().last(), "900");
    EXPECT_EQ(P::FNextShotNumber(Form()), 5);
}

TEST_F(AnalysisCommands, RefreshTakesTheNumberOfATypedLineButNeverOfALogLine) {
    Feed({"800"});
    // Typed with its unit, and two log lines whose hexadecimal bytes are
    // digits.
    for (const char* line : {"812 m/s", "LOG: 31 FF 0A", "LOG: 12"})
        Form().Memo1->Lines()->Add(QString::fromLatin1(line));
    Run(Form().SpeedButton3);
    EXPECT_EQ(MemoLines(), QStringList({"800", "812"}));
    EXPECT_EQ(Form().Label8->Caption(), "2");
    EXPECT_EQ(Form().Label2->Caption(), "812.0");
    EXPECT_EQ(P::FVelocityCache(Form()), (std::vector<double>{800, 812}));
    EXPECT_EQ(P::FActiveSeries(Form())->Count(), 2);
    Receive({"820"});
    EXPECT_EQ(P::FNextShotNumber(Form()), 4);

    // SYM reads the list as it stands: only whole numbers are values. The
    // kept lines, rebuilt by REFRESH, give their numbers again.
    SetList({"800", "812 m/s", "LOG: 31 FF 0A", "805"});
    Run(Form().SpeedButton5);
    EXPECT_EQ(MemoLines(), QStringList({"-5"}));
    Run(Form().SpeedButton3);
    EXPECT_EQ(MemoLines(), QStringList({"800", "812", "805"}));
    EXPECT_EQ(Form().Label8->Caption(), "3");
}

TEST_F(AnalysisCommands, CtrlRRestoresOutsideTheFrame) {
    SetList({"800", "810"});
    Run(Form().SpeedButton7);
    Form().RefreshCommand();
    EXPECT_EQ(MemoLines(), QStringList({"800", "810"}));
    EXPECT_FALSE(Locked());
    EXPECT_FALSE(LineQueue().Discarding());
}

TEST_F(AnalysisCommands, ASecondCommandIsIgnoredWhileOneRuns) {
    SetList({"10", "12", "9"});
    Form().SpeedButton5->Click();
    EXPECT_FALSE(Form().SpeedButton7->Enabled());
    Form().BeginAnalysisCommand(TAnalysisCommand::DV);
    EXPECT_EQ(P::FRunningCommand(Form()), TAnalysisCommand::Sym);
    ASSERT_TRUE(WaitFor([this] { return !P::FCommandBusy(Form()); }));
    // Let any stray message arrive.
    QCoreApplication::processEvents();
    EXPECT_EQ(Status(), "SYM: Mirror 3");
    EXPECT_EQ(P::FAnalysisMode(Form()), TAnalysisMode::Sym);
    EXPECT_TRUE(Form().SpeedButton7->Enabled());
}

TEST_F(AnalysisCommands, EmptyListRunsNothing) {
    Run(Form().SpeedButton6);
    EXPECT_TRUE(FDialogs.OpenRequests.empty());
    EXPECT_FALSE(Locked());
    EXPECT_TRUE(FDialogs.Messages.isEmpty());
}

TEST_F(AnalysisCommands, CmpSubtractsTheFileByPosition) {
    struct Case {
        const char* Name;
        QStringList List;
        QString FileName;
        QByteArray Bytes;
        QStringList Result;
    };
    const QByteArray csvHead = "NR\tV\r\n\r\n\r\n";
    const Case cases[] = {
        // A blank or non-value line of the list counts as 0 at its place.
        {"LongerFile",
         {"10", "", "12"},
         "long.txt",
         "9\r\n9\r\n\r\n9\r\n9\r\n",
         {"1", "-9", "3", "-9"}},
        {"ShorterFile", {"10", "LOG: x", "30"}, "short.TXT", "1\r\n", {"9", "0", "30"}},
        {"Csv", {"800", "810"}, "a.csv", csvHead + "1\t799.5\t3\r\n2;812,25\r\n", {"0.5", "-2.25"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        SetList(c.List);
        FDialogs.QueueFile(File(c.FileName, c.Bytes));
        Run(Form().SpeedButton6);
        EXPECT_EQ(MemoLines(), c.Result);
        EXPECT_EQ(Status(), "CMP: Memo - " + c.FileName);
        EXPECT_EQ(P::FAnalysisMode(Form()), TAnalysisMode::Cmp);
        EXPECT_TRUE(Locked());
        Form().RefreshCommand();
    }
    EXPECT_TRUE(FDialogs.Messages.isEmpty());
}

TEST_F(AnalysisCommands, CmpDialogFollowsTheSaveFormatAndKeepsTheFolder) {
    SetList({"800"});
    const QString folder = QDir::currentPath();
    P::FTxtFormat(Form()) = true;
    Run(Form().SpeedButton6);  // cancelled
    P::FTxtFormat(Form()) = false;
    Run(Form().SpeedButton6);
    ASSERT_EQ(FDialogs.OpenRequests.size(), 2u);
    EXPECT_EQ(FDialogs.OpenRequests[0].Filter, "TXT (*.txt)|*.txt|All (*.*)|*.*");
    EXPECT_EQ(FDialogs.OpenRequests[0].DefaultExt, "txt");
    EXPECT_EQ(FDialogs.OpenRequests[1].Filter, "CSV (*.csv)|*.csv|All (*.*)|*.*");
    EXPECT_EQ(FDialogs.OpenRequests[1].DefaultExt, "csv");
    EXPECT_EQ(QDir::currentPath(), folder);
    // A cancelled dialog puts the list back without a word.
    EXPECT_EQ(MemoLines(), QStringList({"800"}));
    EXPECT_FALSE(Locked());
    EXPECT_TRUE(FDialogs.Messages.isEmpty());
}

TEST_F(AnalysisCommands, CmpWithABadFileSaysSoAndLosesNothing) {
    struct Case {
        const char* Name;
        QString Path;
        QString Message;
    };
    QByteArray garbage;
    for (int i = 0; i < 4096; ++i) garbage.append(char((i * 37) & 0xFF));
    const Case cases[] = {
        {"RemovedAfterTheDialog", FDir.filePath("gone.txt"), "CMP: File not found - gone.txt"},
        {"BinaryGarbage", File("garbage.txt", garbage), "CMP: Not a shot file - garbage.txt"},
        {"MegabyteLine", File("long.txt", "800\r\n" + QByteArray(1024 * 1024, '5') + "\r\n"),
         "CMP: Not a shot file - long.txt"},
        {"NoValue", File("words.txt", "velocity\r\nm/s\r\n"), "CMP: No values - words.txt"},
        {"Folder", FDir.path(), "CMP: Cannot read the file - " + QDir(FDir.path()).dirName()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        FDialogs.Messages.clear();
        SetList({"800", "LOG: kept", "810"});
        Form().Label20->SetCaption(QStringLiteral("earlier"));
        FDialogs.QueueFile(c.Path);
        Run(Form().SpeedButton6);
        EXPECT_EQ(FDialogs.Messages, QStringList({c.Message}));
        EXPECT_EQ(MemoLines(), QStringList({"800", "LOG: kept", "810"}));
        EXPECT_FALSE(Locked());
        EXPECT_FALSE(LineQueue().Discarding());
        EXPECT_EQ(P::FAnalysisMode(Form()), TAnalysisMode::Shots);
        EXPECT_EQ(Status(), "earlier");
        EXPECT_EQ(ShownSeries().Stats().Count, 2);
    }
}

TEST_F(AnalysisCommands, CmpOfBlankLinesThenRefreshKeepsTheResult) {
    SetList({"", " "});
    FDialogs.QueueFile(File("c.txt", "5\r\n6\r\n"));
    Run(Form().SpeedButton6);
    EXPECT_EQ(MemoLines(), QStringList({"-5", "-6"}));
    EXPECT_TRUE(Locked());
    EXPECT_TRUE(P::FMemoSnapshot(Form()).empty());
    Run(Form().SpeedButton3);
    EXPECT_FALSE(Locked());
    EXPECT_EQ(MemoLines(), QStringList({"-5", "-6"}));
    EXPECT_FALSE(P::FDerivedValues(Form()));
}

TEST_F(AnalysisCommands, RefreshInCnvModeUsesAMatchingCleanCache) {
    TIniFile(IniFilePath()).WriteInteger(QStringLiteral("Settings"), QStringLiteral("CNV"), 1);
    Feed({"800.456", "810"});
    ASSERT_EQ(MemoLines(), QStringList({"800.46", "810"}));

    // The cache keeps the full number; the list shows two decimals.
    Form().RefreshCommand();
    EXPECT_DOUBLE_EQ(ShownSeries().Stats().Min, 800.456);

    // A user's edit makes the cache stale: the lines are read again.
    Form().Memo1->Lines()->Add(QStringLiteral("820"));
    Form().RefreshCommand();
    EXPECT_EQ(MemoLines(), QStringList({"800.46", "810", "820"}));
    EXPECT_DOUBLE_EQ(ShownSeries().Stats().Min, 800.46);

    TIniFile(IniFilePath()).WriteInteger(QStringLiteral("Settings"), QStringLiteral("CNV"), 0);
    Form().RefreshCommand();
    EXPECT_DOUBLE_EQ(ShownSeries().Stats().Min, 800.46);
}

namespace {

// Answers the CMP dialog after running `during`, as a shortcut pressed while
// the dialog is open would.
class DialogsWithShortcut : public RecordingDialogs {
public:
    std::function<void()> During;
    bool ExecuteOpen(TFileDialogRequest& request) override {
        if (During) During();
        return RecordingDialogs::ExecuteOpen(request);
    }
};

}  // namespace

TEST_F(AnalysisCommands, RefreshWhileTheCmpDialogIsOpenWins) {
    SetList({"800", "810"});
    {
        DialogsWithShortcut dialogs;
        dialogs.During = [this] { Form().RefreshCommand(); };
        dialogs.QueueFile(File("c.txt", "1\r\n2\r\n"));
        Run(Form().SpeedButton6);
    }
    SetDialogs(&FDialogs);
    // No derived series is left unlocked under live input.
    EXPECT_EQ(MemoLines(), QStringList({"800", "810"}));
    EXPECT_FALSE(Locked());
    EXPECT_FALSE(P::FDerivedValues(Form()));
    EXPECT_EQ(P::FAnalysisMode(Form()), TAnalysisMode::Shots);
}

TEST_F(AnalysisCommands, DerivedValuesSurviveADecimalComma) {
    // The results are written with the user's separator and read back as
    // list values, so a comma locale loses no decimals.
    SetDecimalSeparatorForTesting(QLatin1Char(','));
    SetList({"10", "12.25", "9"});
    Run(Form().SpeedButton7);
    EXPECT_EQ(MemoLines(), QStringList({"2.25", "3.25"}));
    EXPECT_DOUBLE_EQ(ShownSeries().Stats().Max, 3.25);
    EXPECT_EQ(Form().Label4->Caption(), "3,3");
}
