// SAVE and LOAD on a real main form: the files written byte for byte, files
// read back through the open dialog, and the files and folders that fail.
#include <gtest/gtest.h>

#include <QDir>

#include "platform/core/Exception.h"
#include "platform/core/FormatFloat.h"
#include "platform/core/IniFile.h"
#include "support/FormFixture.h"

namespace {

using P = TForm1Probe;

const QByteArray Bom("\xEF\xBB\xBF");
const QByteArray MetricHeader =
    "Nr\tV\tE\tVAVG\tVMAX\tVMIN\tdV\tSV\tEAVG\tWeight [ g  ]\tShots\tUnits\r\n\r\n\r\n";

// Dialogs that, as a real one may, leave another folder current.
class FolderChangingDialogs : public RecordingDialogs {
public:
    QString Elsewhere;
    bool ExecuteOpen(TFileDialogRequest& request) override {
        QDir::setCurrent(Elsewhere);
        return RecordingDialogs::ExecuteOpen(request);
    }
    bool ExecuteSave(TFileDialogRequest& request) override {
        QDir::setCurrent(Elsewhere);
        return RecordingDialogs::ExecuteSave(request);
    }
};

}  // namespace

class ShotFiles : public FormFixture {
protected:
    void Start(const QByteArray& settings = "TXT=0\n", const QByteArray& more = "") {
        WriteTextFile(IniFilePath(), "[Settings]\n" + settings + more);
        StartFormOffline();
    }

    // Shots through the intake outside the drain: no counter conversion and
    // no automatic saving.
    void Take(const QStringList& lines) { Feed(lines, false); }
    void Type(const QString& line) { Form().Memo1->Lines()->Add(line); }
    // Shots into the automatic-save buffer, as live shots with AUT set put
    // them there; AUT is off again afterwards.
    void Buffer(const QStringList& shots) {
        WriteIniValue("AUTOSAVE", "AUT", QStringLiteral("100"));
        for (const QString& shot : shots) P::AutoSaver(Form()).AutoSaveOnShot(shot);
        WriteIniValue("AUTOSAVE", "AUT", QStringLiteral("0"));
    }
    std::vector<QString> Buffered() { return P::AutoSaver(Form()).BufferedLines(); }

    // Saves through the dialog into the test folder; returns the bytes.
    QByteArray Save(const QString& name) {
        const QString path = FDir.filePath(name);
        FDialogs.QueueFile(path);
        Form().ButtonSave->Click();
        return ReadFileBytes(path);
    }

    QString TxtCsvKey(const char* key) { return IniValue("TXTCSV", key); }
};

TEST_F(ShotFiles, SaveWritesTheListByteForByte) {
    struct Case {
        const char* Name;
        bool Txt;
        bool Metric;
        int PowerFactor;  // 0 energy, 1 PF, 2 PF IPSC
        QByteArray Expected;
    };
    // Imperial: 1000 and 1100 ft/s with 100 gr. Metric: 800 and 810.5 m/s
    // with 10 g. Typed and log lines stand between the shots.
    const Case cases[] = {
        {"CsvMetricEnergy", false, true, 0,
         Bom + MetricHeader +
             "1\t800\t3200.00\t805.3\t810.5\t800.0\t10.5\t7.4\t3242.28\t10\t2\tmetric\r\n"
             "2\t810.5\t3284.55\t\t\t\t\t\t\t\t\t\r\n"},
        {"CsvImperialEnergy", false, false, 0,
         Bom + "Nr\tV\tE\tVAVG\tVMAX\tVMIN\tdV\tSV\tEAVG\tWeight [ gr ]\tShots\tUnits\r\n\r\n\r\n"
               "1\t1000\t222.01\t1050.0\t1100.0\t1000.0\t100.0\t70.7\t245.32\t100\t2\timperial\r\n"
               "2\t1100\t268.63\t\t\t\t\t\t\t\t\t\r\n"},
        {"CsvImperialPowerFactor", false, false, 1,
         Bom + "Nr\tV\tPF\tVAVG\tVMAX\tVMIN\tdV\tSV\tPAVG\tWeight [ gr ]\tShots\tUnits\r\n\r\n\r\n"
               "1\t1000\t100\t1050.0\t1100.0\t1000.0\t100.0\t70.7\t105\t100\t2\timperial\r\n"
               "2\t1100\t110\t\t\t\t\t\t\t\t\t\r\n"},
        {"CsvImperialIpsc", false, false, 2,
         Bom + "Nr\tV\tPF\tVAVG\tVMAX\tVMIN\tdV\tSV\tPAVG\tWeight [ gr ]\tShots\tUnits\r\n\r\n\r\n"
               "1\t1000\t100.0\t1050.0\t1100.0\t1000.0\t100.0\t70.7\t105.0\t100\t2\timperial\r\n"
               "2\t1100\t110.0\t\t\t\t\t\t\t\t\t\r\n"},
        {"TxtMetric", true, true, 0, Bom + "800\r\nnote 1\r\nLOG: 31 FF 0A\r\n810.5"},
        {"TxtImperial", true, false, 1, Bom + "1000\r\nnote 1\r\nLOG: 31 FF 0A\r\n1100"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Start(c.Txt ? "TXT=1\n" : "TXT=0\n", c.Metric ? "MU=10\n" : "MU=0\n");
        Form().Edit1->SetText(c.Metric ? QStringLiteral("10") : QStringLiteral("100"));
        if (c.PowerFactor == 1) Form().TogglePowerFactor();
        if (c.PowerFactor == 2) Form().TogglePowerFactorIpsc();
        if (c.Metric) {
            Take({"800"});
            Type(QStringLiteral("note 1"));
            Type(QStringLiteral("LOG: 31 FF 0A"));
            Take({"810.5"});
        } else {
            Take({"1000"});
            Type(QStringLiteral("note 1"));
            Type(QStringLiteral("LOG: 31 FF 0A"));
            Take({"1100"});
        }
        EXPECT_EQ(Save(QString::fromLatin1(c.Name)).toStdString(), c.Expected.toStdString());
        EXPECT_TRUE(FDialogs.Errors.isEmpty()) << FDialogs.Errors.join(' ').toStdString();
        CloseForm();
    }
}

TEST_F(ShotFiles, FolderThatCannotBeCreatedStillOffersTheDialog) {
    // The output folder would lie inside a plain file: it cannot be made.
    WriteTextFile(FDir.filePath(QStringLiteral("plain")), "x");
    Start("TXT=0\n", "[TXTCSV]\nFolder=" + FDir.filePath(QStringLiteral("plain/shots")).toUtf8() +
                         "\nFileName=Chrono_$\nINDEX=001\n");
    Take({"812"});
    const QByteArray saved = Save(QStringLiteral("chosen.csv"));
    ASSERT_EQ(FDialogs.SaveRequests.size(), 1u);
    EXPECT_EQ(FDialogs.SaveRequests[0].InitialDir, FDir.path() + QLatin1Char('/'));
    EXPECT_TRUE(FDialogs.Errors.isEmpty());
    EXPECT_TRUE(saved.contains("812"));
}

TEST_F(ShotFiles, SaveProposesTheIndexedNameAndAdvancesTheIndex) {
    Start();
    Save(QStringLiteral("first.csv"));  // an empty list is saved too
    ASSERT_EQ(FDialogs.SaveRequests.size(), 1u);
    const TFileDialogRequest& csv = FDialogs.SaveRequests[0];
    EXPECT_EQ(csv.FileName, QStringLiteral("Chrono_001.csv"));
    EXPECT_EQ(csv.InitialDir, FDir.filePath(QStringLiteral("MYSHOTS")) + QLatin1Char('/'));
    EXPECT_EQ(csv.Filter, QStringLiteral("CSV (*.csv)|*.csv|All (*.*)|*.*"));
    EXPECT_EQ(csv.DefaultExt, QStringLiteral("csv"));
    EXPECT_EQ(ReadFileBytes(FDir.filePath(QStringLiteral("first.csv"))), Bom + MetricHeader);
    EXPECT_EQ(TxtCsvKey("INDEX"), QStringLiteral("002"));
    EXPECT_TRUE(Status().isEmpty());  // a successful SAVE says nothing

    // Ctrl+T: the next SAVE proposes a TXT file with the next index; an
    // empty list gives the byte-order mark alone.
    P::FTxtFormat(Form()) = true;
    EXPECT_EQ(Save(QStringLiteral("second.txt")), Bom);
    const TFileDialogRequest& txt = FDialogs.SaveRequests.back();
    EXPECT_EQ(txt.FileName, QStringLiteral("Chrono_002.txt"));
    EXPECT_EQ(txt.Filter, QStringLiteral("TXT (*.txt)|*.txt|All (*.*)|*.*"));
    EXPECT_EQ(txt.DefaultExt, QStringLiteral("txt"));
    EXPECT_EQ(TxtCsvKey("INDEX"), QStringLiteral("003"));

    // A name without "$" stays the same and the index stays.
    TIniFile(IniFilePath())
        .WriteString(QStringLiteral("TXTCSV"), QStringLiteral("FileName"), QStringLiteral("Range"));
    Take({"812"});
    EXPECT_EQ(Save(QStringLiteral("second.txt")), Bom + "812");  // replaced without a question
    EXPECT_EQ(FDialogs.SaveRequests.back().FileName, QStringLiteral("Range.txt"));
    EXPECT_EQ(TxtCsvKey("INDEX"), QStringLiteral("003"));

    // Cancelled: no file, no index change, no status.
    Form().Label20->SetCaption(QStringLiteral("before"));
    Form().ButtonSave->Click();
    EXPECT_EQ(TxtCsvKey("INDEX"), QStringLiteral("003"));
    EXPECT_EQ(Status(), QStringLiteral("before"));
}

TEST_F(ShotFiles, CnvSaveTakesEachEnergyFromItsOwnShot) {
    Start("TXT=0\nCNV=1\nMultiplierG=10\n");
    Take({"300", "310", "320"});
    // The user deletes the first shot by hand: the cache still starts with
    // 300, but the first row is now 310 m/s.
    Form().Memo1->Lines()->Delete(0);
    const QStringList rows =
        QString::fromUtf8(Save(QStringLiteral("cnv.csv")).mid(3)).split(QStringLiteral("\r\n"));
    ASSERT_GE(rows.size(), 5);
    // 310 x 310 x 10 / 2000 and 320 x 320 x 10 / 2000 joules.
    EXPECT_EQ(rows[3].split('\t').mid(0, 3), (QStringList{"1", "310", "480.50"}));
    EXPECT_EQ(rows[4].split('\t').mid(0, 3), (QStringList{"2", "320", "512.00"}));
}

TEST_F(ShotFiles, ShotsTypedByHandGetTheStatisticsOfTheRows) {
    Start();
    Form().Edit1->SetText(QStringLiteral("10"));
    Take({"800"});
    // Typed shots are no live shots: the labels still show 800 alone.
    Type(QStringLiteral("810.5"));
    Type(QStringLiteral("note"));
    EXPECT_EQ(Save(QStringLiteral("typed.csv")).toStdString(),
              (Bom + MetricHeader +
               "1\t800\t3200.00\t805.3\t810.5\t800.0\t10.5\t7.4\t3242.28\t10\t2\tmetric\r\n"
               "2\t810.5\t3284.55\t\t\t\t\t\t\t\t\t\r\n")
                  .toStdString());
}

TEST_F(ShotFiles, SaveIntoAFolderThatCannotBeWrittenIsReported) {
    Start();
    Take({"812", "815"});
    const QString earlier = WriteTextFile(FDir.filePath(QStringLiteral("kept.csv")), "earlier");
    Form().Label20->SetCaption(QStringLiteral("before"));

    // A "folder" that is a file cannot take the new file.
    const QString blocked = FDir.filePath(QStringLiteral("kept.csv/shots.csv"));
    FDialogs.QueueFile(blocked);
    try {
        Form().ButtonSave->Click();
        ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
        // The application's handler shows this text in a message box.
        EXPECT_TRUE(e.Message().startsWith(QStringLiteral("open error: 20 (")))
            << e.Message().toStdString();
        EXPECT_TRUE(e.Message().endsWith(blocked + QLatin1Char(')'))) << e.Message().toStdString();
    }
    EXPECT_EQ(ReadFileBytes(earlier), QByteArray("earlier"));
    EXPECT_EQ(TxtCsvKey("INDEX"), QStringLiteral("001"));
    EXPECT_EQ(Status(), QStringLiteral("before"));
    EXPECT_EQ(MemoLines(), (QStringList{"812", "815"}));
}

TEST_F(ShotFiles, TheCurrentFolderComesBackAfterEveryDialog) {
    FolderChangingDialogs dialogs;
    QTemporaryDir elsewhere;
    dialogs.Elsewhere = elsewhere.path();
    const QString before = QDir::currentPath();
    Start();
    Take({"812"});

    dialogs.QueueFile(FDir.filePath(QStringLiteral("ok.csv")));
    Form().ButtonSave->Click();
    EXPECT_EQ(QDir::currentPath(), before);

    dialogs.QueueFile(FDir.filePath(QStringLiteral("missing/x.csv")));
    EXPECT_THROW(Form().ButtonSave->Click(), Exception);
    EXPECT_EQ(QDir::currentPath(), before);

    Form().ButtonSave->Click();  // cancelled
    EXPECT_EQ(QDir::currentPath(), before);
}

TEST_F(ShotFiles, LoadReadsBackWhatSaveWrote) {
    for (const bool txt : {false, true}) {
        SCOPED_TRACE(txt ? "TXT" : "CSV");
        Start(txt ? "TXT=1\n" : "TXT=0\n");
        // A comma as the user's decimal separator goes into the CSV cells.
        SetDecimalSeparatorForTesting(QLatin1Char(','));
        Form().Edit1->SetText(QStringLiteral("10"));
        Take({"812.35", "815", "809.5"});
        Type(QStringLiteral("LOG: 31 FF 0A"));
        const QString file = txt ? QStringLiteral("round.txt") : QStringLiteral("round.csv");
        Save(file);
        Form().ButtonClear->Click();

        FDialogs.QueueFile(FDir.filePath(file));
        Form().Button2->Click();
        const TFileDialogRequest& open = FDialogs.OpenRequests.back();
        EXPECT_EQ(open.FileName, txt ? QStringLiteral("Chrono.txt") : QStringLiteral("Chrono.csv"));
        EXPECT_EQ(open.Filter, txt ? QStringLiteral("TXT (*.txt)|*.txt|All (*.*)|*.*")
                                   : QStringLiteral("CSV (*.csv)|*.csv|All (*.*)|*.*"));
        EXPECT_TRUE(open.InitialDir.isEmpty());
        EXPECT_EQ(MemoLines(), (QStringList{"812.35", "815", "809.5"}));
        EXPECT_EQ(Form().Label8->Caption(), QStringLiteral("3"));
        // TXT takes the log line too (it adds no shot); CSV has no row for it.
        EXPECT_EQ(Status(), txt ? QStringLiteral("LOAD: 4 added, total 4 points")
                                : QStringLiteral("LOAD: 3 added, total 3 points"));
        EXPECT_TRUE(FDialogs.Errors.isEmpty()) << FDialogs.Errors.join(' ').toStdString();
        SetDecimalSeparatorForTesting(QLatin1Char('.'));
        CloseForm();
    }
}

TEST_F(ShotFiles, LoadReadsEveryLineEndMarkAndSeparator) {
    struct Case {
        const char* Name;
        bool Txt;
        QByteArray Bytes;
        QStringList Expected;
    };
    const QByteArray head = "Nr;V\r\n\r\n\r\n";
    const Case cases[] = {
        {"TxtMarkCrLf", true, Bom + "812.5\r\n815\r\n", {"812.5", "815"}},
        {"TxtNoMarkLf", true, "812.5\n815\n", {"812.5", "815"}},
        {"TxtCrAndNoLastEnd", true, "812.5\r815", {"812.5", "815"}},
        {"TxtCommaAndNotes",
         true,
         "812,5\nV=900 m/s\n\n  815  \nLOG: 31 FF 0A\n",
         {"812.5", "900", "815"}},
        // A chronograph's own text export: the velocity before "nr".
        {"TxtChronographExport",
         true,
         "Chrono export\r\n812,35 m/s nr 1\r\n815.1 m/s nr 2\r\n",
         {"812.35", "815.1"}},
        // A CSV file read as TXT: every line with a number gives its last
        // number (row 1 its shot count, later rows their energy).
        {"TxtHoldingACsvFile",
         true,
         Bom + MetricHeader +
             "1\t800\t3200.00\t805.3\t810.5\t800.0\t10.5\t7.4\t3242.28\t10\t2\tmetric\r\n"
             "2\t810.5\t3284.55\t\t\t\t\t\t\t\t\t\r\n",
         {"2", "3284.55"}},
        {"CsvTab", false, Bom + "Nr\tV\r\n\r\n\r\n1\t812.5\t7\r\n2\t815\t7\r\n", {"812.5", "815"}},
        {"CsvSemicolonLf", false, "Nr;V\n\n\n1;812,5;7\n2;815;7\n", {"812.5", "815"}},
        {"CsvCommaCr", false, "Nr,V\r\r\r1,812.5,7\r2,815,7", {"812.5", "815"}},
        {"CsvTwoCellsDecimalComma", false, head + "1\t812,5\r\n2;815,5\r\n", {"812.5", "815.5"}},
        // A cell with a unit gives its number; an empty cell and a row
        // without separator give none.
        {"CsvUnitsAndEmptyCells", false, head + "1\t812 m/s\t7\r\n2\t\t7\r\n815\r\n", {"812"}},
        // A TXT file read as CSV: no row has a separator.
        {"CsvOfATxtFile", false, "812.5\r\n815\r\n816\r\n817\r\n", {}},
    };
    Start();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Form().ButtonClear->Click();
        P::FTxtFormat(Form()) = c.Txt;
        FDialogs.QueueFile(WriteTextFile(FDir.filePath(QString::fromLatin1(c.Name)), c.Bytes));
        Form().Button2->Click();
        EXPECT_EQ(MemoLines(), c.Expected);
    }
}

TEST_F(ShotFiles, LoadCountsEveryLineItTakes) {
    struct Case {
        const char* Name;
        bool Txt;
        QByteArray Bytes;
        QStringList Shown;
        QString Status;
    };
    const QByteArray head = "Nr\tV\r\n\r\n\r\n";
    const Case cases[] = {
        // Every non-empty line counts, whether it gives a shot or not.
        {"Txt",
         true,
         "812\n\nV=900 m/s\n  \nabc\n",
         {"812", "900"},
         "LOAD: 3 added, total 3 points"},
        // Every cell counts, an empty one too; a row without separator does
        // not, nor does "4\t", which is "4" once trimmed.
        {"Csv",
         false,
         head + "1\t812\r\n2\t\t7\r\n3\tabc\r\nnote\r\n4\t\r\n",
         {"812"},
         "LOAD: 3 added, total 3 points"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Start(c.Txt ? "TXT=1\n" : "TXT=0\n");
        FDialogs.QueueFile(WriteTextFile(FDir.filePath(QString::fromLatin1(c.Name)), c.Bytes));
        Form().Button2->Click();
        EXPECT_EQ(MemoLines(), c.Shown);
        EXPECT_EQ(Status(), c.Status);
        EXPECT_EQ(Form().Label8->Caption(), QString::number(c.Shown.size()));
        CloseForm();
    }
}

TEST_F(ShotFiles, LoadAppendsToTheShotsAndStartsTheBuffersAfresh) {
    Start("TXT=1\n");
    Take({"800", "801"});
    Type(QStringLiteral("LOG: BLE: Connected"));
    Type(QStringLiteral("  "));
    Buffer({"800", "801"});
    QueueReceived({"999"});
    LineQueue().SetDiscarding(true);
    FDialogs.QueueFile(WriteTextFile(FDir.filePath(QStringLiteral("a.txt")), "810\n811 m/s\n"));
    Form().Button2->Click();

    // The log line is one of the earlier lines: it counts in the total and
    // stays in the lines loaded, but is no shot.
    EXPECT_EQ(MemoLines(), (QStringList{"800", "801", "810", "811"}));
    EXPECT_EQ(Status(), QStringLiteral("LOAD: 2 added, total 5 points"));
    EXPECT_EQ(P::AutoSaver(Form()).BufferedCount(), 0);
    EXPECT_TRUE(Buffered().empty());
    EXPECT_EQ(P::AutoSaver(Form()).LoadedLines(),
              (std::vector<QString>{"800", "801", "LOG: BLE: Connected", "810", "811 m/s"}));
    EXPECT_FALSE(LineQueue().Discarding());
    EXPECT_TRUE(ReceivedQueueEmpty());
    EXPECT_EQ(P::FNextShotNumber(Form()), 5);

    // Loaded twice: appended again, the total is the whole series.
    FDialogs.QueueFile(FDir.filePath(QStringLiteral("a.txt")));
    Form().Button2->Click();
    EXPECT_EQ(Status(), QStringLiteral("LOAD: 2 added, total 6 points"));
    EXPECT_EQ(Form().Label8->Caption(), QStringLiteral("6"));
}

TEST_F(ShotFiles, LoadWhileAnAnalysisResultIsShownAppendsToTheKeptShots) {
    Start("TXT=1\n");
    Take({"800", "810"});
    Type(QStringLiteral("LOG: BLE: Connected"));
    // SYM's result stands in the list; the shots wait in the kept list.
    Form().SpeedButton5->Click();
    ASSERT_TRUE(WaitFor([this] { return !P::FCommandBusy(Form()); }));
    ASSERT_TRUE(P::FMemoLocked(Form()));
    ASSERT_EQ(MemoLines(), QStringList{"-10"});

    FDialogs.QueueFile(WriteTextFile(FDir.filePath(QStringLiteral("b.txt")), "820\n"));
    Form().Button2->Click();
    EXPECT_EQ(MemoLines(), (QStringList{"800", "810", "820"}));
    EXPECT_EQ(P::AutoSaver(Form()).LoadedLines(),
              (std::vector<QString>{"800", "810", "LOG: BLE: Connected", "820"}));
    EXPECT_FALSE(P::FMemoLocked(Form()));
    EXPECT_TRUE(P::FMemoSnapshot(Form()).empty());
    EXPECT_FALSE(P::FDerivedValues(Form()));
    EXPECT_EQ(P::FAnalysisMode(Form()), TAnalysisMode::Shots);
    EXPECT_FALSE(LineQueue().Discarding());
    EXPECT_EQ(Status(), QStringLiteral("LOAD: 1 added, total 4 points"));
}

TEST_F(ShotFiles, LoadFiltersTheLoadedShotsWhenTheFilterIsOn) {
    Start("TXT=1\n", "[FILTER]\nFilter=0\nShots=S<7~>\nVelocity=V(800~900)+\n");
    Take({"700", "701", "702", "703", "704"});
    TIniFile(IniFilePath()).WriteInteger(QStringLiteral("FILTER"), QStringLiteral("Filter"), 1);
    // Shot 6 fails the shots rule; 950 fails the velocity rule.
    FDialogs.QueueFile(
        WriteTextFile(FDir.filePath(QStringLiteral("f.txt")), "810\n820\n950\n830\n"));
    Form().Button2->Click();
    EXPECT_EQ(MemoLines(), (QStringList{"700", "701", "702", "703", "704", "820", "830"}));
    EXPECT_EQ(Status(), QStringLiteral("LOAD/FILTER: 2 added, total 7 points"));
    EXPECT_TRUE(P::FFilter(Form()).Enabled);
    EXPECT_TRUE(P::FFilter(Form()).VelocityRule.ApplyLive);

    // A filter that rejects everything: the message, and the list as it was.
    TIniFile(IniFilePath())
        .WriteString(QStringLiteral("FILTER"), QStringLiteral("Velocity"),
                     QStringLiteral("V(1000~2000)"));
    Buffer({"830"});
    FDialogs.QueueFile(FDir.filePath(QStringLiteral("f.txt")));
    Form().Button2->Click();
    EXPECT_EQ(FDialogs.Messages,
              QStringList{QStringLiteral("The filter rejected all data. Check INI [FILTER].")});
    EXPECT_EQ(MemoLines(), (QStringList{"700", "701", "702", "703", "704", "820", "830"}));
    EXPECT_EQ(Status(), QStringLiteral("FILTER: Shots:S<7~> Velocity:V(1000~2000)"));
    EXPECT_EQ(Buffered(), std::vector<QString>{"830"});
    EXPECT_FALSE(P::FFilter(Form()).VelocityRule.ApplyLive);

    // Filter=0: the rules stay in the file but LOAD takes every value.
    TIniFile(IniFilePath()).WriteInteger(QStringLiteral("FILTER"), QStringLiteral("Filter"), 0);
    FDialogs.QueueFile(FDir.filePath(QStringLiteral("f.txt")));
    Form().Button2->Click();
    EXPECT_EQ(Status(), QStringLiteral("LOAD: 4 added, total 11 points"));
}

TEST_F(ShotFiles, BadFilesAreReportedAndLoseNothing) {
    Start("TXT=1\n");
    Take({"800", "801"});
    Buffer({"801"});
    const QStringList listed = MemoLines();
    const auto unchanged = [&] {
        EXPECT_EQ(MemoLines(), listed);
        EXPECT_EQ(Buffered(), std::vector<QString>{"801"});
        EXPECT_EQ(Form().Label8->Caption(), QStringLiteral("2"));
    };

    // A file without any line, or with blank lines only, and a TXT file
    // read as CSV (no row has a separator): nothing to take, said in the
    // status line.
    struct Empty {
        const char* Name;
        bool Txt;
        QByteArray Bytes;
    };
    for (const Empty& e : {Empty{"empty.txt", true, ""}, Empty{"marked.txt", true, Bom},
                           Empty{"blank.txt", true, Bom + "\r\n  \r\n\t\n"},
                           Empty{"values.txt", false, "810\n811\n812\n813\n"}}) {
        SCOPED_TRACE(e.Name);
        P::FTxtFormat(Form()) = e.Txt;
        FDialogs.QueueFile(WriteTextFile(FDir.filePath(QString::fromLatin1(e.Name)), e.Bytes));
        Form().Button2->Click();
        EXPECT_EQ(Status(), QStringLiteral("LOAD: no values in ") + QString::fromLatin1(e.Name));
        unchanged();
    }
    P::FTxtFormat(Form()) = true;

    // A file that went between the dialog and the read; a file of 100 MB.
    const QString removed = WriteTextFile(FDir.filePath(QStringLiteral("gone.txt")), "900\n");
    QFile::remove(removed);
    const QString huge = FDir.filePath(QStringLiteral("huge.txt"));
    {
        QFile file(huge);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(100LL * 1024 * 1024));
    }
    struct Failing {
        QString Path;
        QString Message;
    };
    for (const Failing& f :
         {Failing{removed, QStringLiteral("open error: 2 (")},
          Failing{huge,
                  huge + QStringLiteral(" is larger than 32 MB, too large for a shot file")}}) {
        SCOPED_TRACE(f.Path.toStdString());
        Form().Label20->SetCaption(QStringLiteral("before"));
        FDialogs.QueueFile(f.Path);
        try {
            Form().Button2->Click();
            ADD_FAILURE() << "no error";
        } catch (const Exception& e) {
            EXPECT_TRUE(e.Message().startsWith(f.Message)) << e.Message().toStdString();
            EXPECT_TRUE(e.Message().contains(f.Path));
        }
        EXPECT_EQ(Status(), QStringLiteral("before"));
        unchanged();
    }

    // A line of 1 MB is taken but gives no shot; the values around it load.
    FDialogs.QueueFile(WriteTextFile(FDir.filePath(QStringLiteral("long.txt")),
                                     "810\n" + QByteArray(1024 * 1024, '9') + "\n811\n"));
    Form().Button2->Click();
    EXPECT_EQ(Status(), QStringLiteral("LOAD: 3 added, total 5 points"));
    EXPECT_EQ(MemoLines(), (QStringList{"800", "801", "810", "811"}));

    // Binary garbage is read line by line like any text: the shots listed
    // before stay first.
    QByteArray garbage;
    for (int i = 0; i < 20000; ++i) garbage += char((i * 7919) % 256);
    FDialogs.QueueFile(WriteTextFile(FDir.filePath(QStringLiteral("garbage.bin")), garbage));
    Form().Button2->Click();
    EXPECT_TRUE(Status().startsWith(QStringLiteral("LOAD: "))) << Status().toStdString();
    EXPECT_EQ(MemoLines().mid(0, 4), (QStringList{"800", "801", "810", "811"}));
}

TEST_F(ShotFiles, AutomaticSavingInOneFileStartsFromTheLoadedList) {
    Start("TXT=1\n", "[AUTOSAVE]\nAUT=2\nFileName=Range\n");
    Take({"800"});
    Type(QStringLiteral("LOG: BLE: Connected"));
    FDialogs.QueueFile(WriteTextFile(FDir.filePath(QStringLiteral("c.txt")), "812,345\n"));
    Form().Button2->Click();

    Feed({"820", "821"});
    // The lines LOAD combined, as they were, then the live shots.
    EXPECT_EQ(ReadFileBytes(FDir.filePath(QStringLiteral("AUTOSAVE/Range.txt"))),
              Bom + "800\r\nLOG: BLE: Connected\r\n812,345\r\n820\r\n821\r\n");
}
