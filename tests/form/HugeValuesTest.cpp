// Huge and non-finite numbers on a real main form: LOAD, REFRESH, the live
// path, SAVE and the analysis commands take no value beyond a shot, and no
// label, file or status shows a number that is not finite or counts values
// the list does not show.
#include <gtest/gtest.h>

#include <QDir>

#include "platform/chart/Chart.h"
#include "platform/core/FormatFloat.h"
#include "series/core/NumberText.h"
#include "support/FormFixture.h"
#include "variants/BuildVariant.h"

namespace {

using P = TForm1Probe;

// Lines that are one number as a whole, each beyond a shot or beyond the
// double range, and the largest ones that still are shots.
struct THugeLine {
    const char* Text;
    bool Shot;
};
const THugeLine HugeLines[] = {
    {"1e308", false},
    {"-1e308", false},
    {"1e300", false},
    {"1.7976931348623157E308", false},
    {"-1.7976931348623157E308", false},
    {"1e63", false},
    {"1.0000001E62", false},
    {"1e400", false},  // beyond the double range: no number at all
    {"1.5e-400", false},
    {"inf", false},
    {"NAN", false},
    {"-INF", false},
    {"1E62", true},  // what the list writes for the largest shot
    {"-1E62", true},
    {"99999999999999999999999999999999999999999999999999999999999999", true},
    {"812", true},
};

}  // namespace

class HugeValues : public FormFixture {
protected:
    void Start(const QByteArray& settings = "TXT=1\nMU=11\n") {
        WriteTextFile(IniFilePath(), "[Settings]\n" + settings);
        StartFormOffline();
    }

    static QStringList AllLines() {
        QStringList lines;
        for (const THugeLine& line : HugeLines) lines << QString::fromLatin1(line.Text);
        return lines;
    }

    // The lines of AllLines that are shots, as the list shows them.
    static QStringList ShotLines() {
        QStringList lines;
        for (const THugeLine& line : HugeLines) {
            double value = 0;
            if (line.Shot && ParseDotDouble(QString::fromLatin1(line.Text), value))
                lines << FormatDot2(value);
        }
        return lines;
    }

    // Every value label, the status line and the count agree with a list
    // of shown values, and none shows a number that is not finite.
    void ExpectLabelsFinite(int shown) {
        TForm1& form = Form();
        for (TLabel* label : {form.Label2, form.Label3, form.Label4, form.Label5, form.Label6,
                              form.Label7, form.Label8, form.Label15, form.Label19, form.Label20}) {
            const QString text = label->Caption();
            EXPECT_FALSE(text.contains(QLatin1String("INF"), Qt::CaseInsensitive) ||
                         text.contains(QLatin1String("NAN"), Qt::CaseInsensitive))
                << label->Name.toStdString() << ": " << text.toStdString();
        }
        EXPECT_EQ(form.Label8->Caption(), QString::number(shown));
        EXPECT_EQ(P::FActiveSeries(form)->Count(), shown);
    }

    void ExpectNoNonFiniteText(const QByteArray& bytes) {
        EXPECT_FALSE(bytes.contains("INF") || bytes.contains("NAN") || bytes.contains("inf") ||
                     bytes.contains("nan"))
            << bytes.toStdString();
    }

    void Run(TSpeedButton* button) {
        button->Click();
        ASSERT_TRUE(WaitFor([this] { return !P::FCommandBusy(Form()); }));
    }
};

TEST_F(HugeValues, LoadRefreshAndSaveTakeOnlyShots) {
    for (const bool txt : {true, false}) {
        SCOPED_TRACE(txt ? "TXT" : "CSV");
        Start(txt ? "TXT=1\nMU=11\n" : "TXT=0\nMU=11\n");
        QByteArray bytes = txt ? QByteArray() : QByteArray("Nr\tV\r\n\r\n\r\n");
        int row = 1;
        for (const QString& line : AllLines())
            bytes += (txt ? line : QString::number(row++) + "\t" + line).toUtf8() + "\r\n";
        FDialogs.QueueFile(WriteTextFile(FDir.filePath(txt ? "huge.txt" : "huge.csv"), bytes));
        Form().Button2->Click();
        EXPECT_EQ(MemoLines(), ShotLines());
        ExpectLabelsFinite(int(ShotLines().size()));

        // Typed back as they stood, REFRESH rebuilds the same shots.
        Form().Memo1->Lines()->Assign(AllLines());
        Form().RefreshCommand();
        EXPECT_EQ(MemoLines(), ShotLines());
        ExpectLabelsFinite(int(ShotLines().size()));

        // SAVE of the typed lines writes a row for each shot and no other.
        Form().Memo1->Lines()->Assign(AllLines());
        const QString saved = FDir.filePath(QStringLiteral("saved.csv"));
        P::FTxtFormat(Form()) = false;
        FDialogs.QueueFile(saved);
        Form().ButtonSave->Click();
        const QByteArray csv = ReadFileBytes(saved);
        ExpectNoNonFiniteText(csv);
        EXPECT_EQ(csv.count("\r\n"), 3 + ShotLines().size()) << csv.toStdString();

        // The filter passes no line beyond a shot.
        WriteFilter("0", "S<1~100>", "V(~)");
        Form().Memo1->Lines()->Assign(AllLines());
        Form().FilterCommand();
        EXPECT_EQ(MemoLines(), ShotLines());
        ExpectLabelsFinite(int(ShotLines().size()));
        CloseForm();
    }
}

TEST_F(HugeValues, LiveLinesAndCounterResultsBeyondAShotAreNoShots) {
    Start();
    // A received token is at most 62 characters: "1e308" holds the token
    // 308, and 62 nines are the largest shot.
    Feed({"1e308", QString(62, QLatin1Char('9')), QString(63, QLatin1Char('9')), "812"});
    EXPECT_EQ(MemoLines(), QStringList({"308", "1E62", "812"}));
    EXPECT_EQ(P::FNextShotNumber(Form()), 4);
    ExpectLabelsFinite(3);

    // A counter result beyond a shot (1e300 Hz over 1 m for a count of 1) is
    // none either, and uses no shot number.
    CloseForm();
    Start("TXT=1\nMU=11\nFREQ=1" + QByteArray(300, '0') + "\nGATE=1\n");
    ASSERT_TRUE(ShownSeries().CounterSettings().Mode);
    Feed({"1", "4"});
    EXPECT_TRUE(MemoLines().isEmpty());
    EXPECT_EQ(P::FNextShotNumber(Form()), 1);
    ExpectLabelsFinite(0);
    EXPECT_EQ(Form().Label2->Caption(), FormatValue(true, 0, QString::fromLatin1(DefaultDecFmt)));
}

TEST_F(HugeValues, CommandsRefuseAResultBeyondAShotAndUnlock) {
    struct Case {
        const char* Name;
        TSpeedButton* TForm1::*Button;
        QStringList List;
        QByteArray CompareFile;  // CMP only
        QString Message;
    };
    const Case cases[] = {
        {"SymOfTheLargestShots",
         &TForm1::SpeedButton5,
         {"1E62", "-1E62"},
         {},
         "SYM: Result too large to show"},
        {"DvOfTheLargestShots",
         &TForm1::SpeedButton7,
         {"1E62", "-1E62", "812"},
         {},
         "dV: Result too large to show"},
        {"CmpOfTheLargestShots",
         &TForm1::SpeedButton6,
         {"1E62", "812"},
         "-1E62\r\n812\r\n",
         "CMP: Result too large to show"},
    };
    Start();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Form().Memo1->Lines()->Assign(c.List);
        Form().RefreshCommand();
        const QStringList before = MemoLines();
        FDialogs.Messages.clear();
        if (!c.CompareFile.isEmpty())
            FDialogs.QueueFile(WriteTextFile(FDir.filePath("compare.txt"), c.CompareFile));
        Run(Form().*c.Button);
        EXPECT_EQ(FDialogs.Messages, QStringList({c.Message}));
        EXPECT_EQ(MemoLines(), before);
        EXPECT_FALSE(P::FMemoLocked(Form()));
        EXPECT_FALSE(LineQueue().Discarding());
        EXPECT_EQ(P::FAnalysisMode(Form()), TAnalysisMode::Shots);
        ExpectLabelsFinite(int(before.size()));
    }

    // Results within a shot are shown in full, each read back as its value:
    // the status counts what the list shows.
    Form().Memo1->Lines()->Assign({"5E61", "-4E61", "0"});
    Form().RefreshCommand();
    Run(Form().SpeedButton7);
    EXPECT_TRUE(P::FMemoLocked(Form()));
    EXPECT_EQ(MemoLines().size(), 2);
    EXPECT_EQ(Status(), DvStatusText(2));
    ExpectLabelsFinite(2);
    Form().RefreshCommand();
}

TEST_F(HugeValues, DvOfAFullListCountsTheDifferencesShown) {
    Start();
    QStringList list;
    for (int i = 0; i < ShotListCutAt; ++i) list << QString::number(800 + i % 7);
    P::FMemoUpdating(Form()) = true;
    Form().Memo1->Lines()->Assign(list);
    P::FMemoUpdating(Form()) = false;
    Run(Form().SpeedButton7);
    EXPECT_EQ(MemoLines().size(), ShotListKept);
    EXPECT_EQ(Status(), DvStatusText(ShotListKept));
    ExpectLabelsFinite(ShotListKept);
}
