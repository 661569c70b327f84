// A chronograph on a pseudo-terminal feeding a real main form: the port is
// opened by the start-up timer, the read thread cuts the bytes into lines,
// the window message hands them to the main thread, and the shots end in the
// shot list, the big value, the statistics, the chart and the settings file.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <random>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "links/PseudoTerminal.h"
#include "links/core/SerialLink.h"
#include "platform/chart/Chart.h"
#include "platform/core/FormatFloat.h"
#include "series/core/NumberText.h"
#include "series/core/Statistics.h"
#include "support/FormFixture.h"

#include <QMetaObject>
#include <QThread>

namespace {

using P = TForm1Probe;

// Generous: a loaded machine may take seconds where an idle one takes
// milliseconds. No test waits this long when it passes.
constexpr int DeadlineSeconds = 30;

}  // namespace

class SerialEndToEnd : public FormFixture {
protected:
    void SetUp() override {
        FormFixture::SetUp();
        ASSERT_TRUE(FTerminal.IsValid()) << "no pseudo-terminal";
    }

    void TearDown() override {
        FormFixture::TearDown();
        // No test may leave the port to the next one.
        EXPECT_FALSE(FTerminal.SlaveHeld());
    }

    // The settings file the user prepared: the pseudo-terminal as the port,
    // opened at start, plus extra [Settings] lines.
    void WriteSettings(const QByteArray& extra = {}, const QByteArray& openCom = "1") {
        WriteTextFile(IniFilePath(), "[Settings]\nComPort=" + FTerminal.SlavePath().toUtf8() +
                                         "\nOpenCom=" + openCom + "\n" + extra);
    }

    // Starts the form and lets the start-up timer open the port.
    void StartAndOpen() {
        StartForm();
        ASSERT_TRUE(WaitFor([&] { return P::FSerialLink(Form()).IsOpen(); }, DeadlineSeconds))
            << "the start-up timer did not open " << FTerminal.SlavePath().toStdString();
        EXPECT_EQ(Form().Button1->Caption(), "CLOSE");
        EXPECT_TRUE(TForm1Probe::FSerialLink(Form()).IsReading());
    }

    QStringList Shots() { return Form().Memo1->Lines()->ToStringList(); }

    bool WaitForShots(int count) {
        return WaitFor([&] { return Form().Memo1->Lines()->Count() >= count; }, DeadlineSeconds);
    }

    // Waits until the list ends with `last`.
    bool WaitForLast(const QString& last) {
        return WaitFor(
            [&] {
                const int n = Form().Memo1->Lines()->Count();
                return n > 0 && Form().Memo1->Lines()->Strings(n - 1) == last;
            },
            DeadlineSeconds);
    }

    int ChartPoints() { return P::FActiveSeries(Form())->Count(); }

    std::size_t QueuedLines() { return LineQueue().Size(); }

    // Waits without running the event loop, so that nothing drains the
    // queue meanwhile: only the read thread moves.
    bool WaitWithoutEvents(const std::function<bool()>& done) {
        QElapsedTimer clock;
        clock.start();
        while (!done()) {
            if (clock.elapsed() > DeadlineSeconds * 1000) return false;
            QThread::msleep(5);
        }
        return true;
    }

    // Lines 1, 2, ... count as a device sends them, with the three line ends
    // taking turns.
    static QByteArray NumberedLines(int first, int count) {
        static const char* const ends[] = {"\n", "\r", "\r\n"};
        QByteArray bytes;
        for (int i = first; i < first + count; ++i) bytes += QByteArray::number(i) + ends[i % 3];
        return bytes;
    }

    TPseudoTerminal FTerminal;
};

TEST_F(SerialEndToEnd, ShotsTravelFromTheDeviceToListStatisticsChartAndSettings) {
    WriteSettings();
    StartAndOpen();
    EXPECT_EQ(IniValue("Settings", "ComPort"), FTerminal.SlavePath());

    std::vector<double> values;
    values.reserve(512);

    // CR LF ending, the number before "nr".
    ASSERT_TRUE(FTerminal.Write("V=812.3 m/s nr 1\r\n"));
    ASSERT_TRUE(WaitForShots(1));
    values.push_back(812.3);
    EXPECT_EQ(Shots(), QStringList{"812.3"});
    EXPECT_EQ(Form().Label2->Caption(), "812.3");

    // A line split over two writes, the reader woken in between.
    ASSERT_TRUE(FTerminal.Write("79"));
    QCoreApplication::processEvents();
    ASSERT_TRUE(FTerminal.Write("9.5\n"));
    ASSERT_TRUE(WaitForLast(QStringLiteral("799.5")));
    values.push_back(799.5);

    // A CR alone, LF endings, empty lines, garbage, a comma.
    ASSERT_TRUE(FTerminal.Write("810\r\n\r\nERR no value\n\x01\x02\xff\n805,25\r\n"));
    ASSERT_TRUE(WaitForLast(QStringLiteral("805.25")));
    values.insert(values.end(), {810, 805.25});
    EXPECT_EQ(Shots(), (QStringList{"812.3", "799.5", "810", "805.25"}));

    // A burst of 500 lines in one write.
    QByteArray burst;
    for (int i = 0; i < 500; ++i) {
        const double v = 780 + (i % 41) * 0.5;
        values.push_back(v);
        burst += "V=" + FormatDot2(v).toLatin1() + (i % 2 ? "\r\n" : "\n");
    }
    ASSERT_TRUE(FTerminal.Write(burst));
    ASSERT_TRUE(WaitForShots(int(values.size())));
    ASSERT_EQ(Form().Memo1->Lines()->Count(), int(values.size()));

    QStringList expectedLines;
    TShotStats expected;
    for (double v : values) {
        expectedLines.append(FormatDot2(v));
        StatsAdd(expected, v);
    }
    EXPECT_EQ(Shots(), expectedLines);
    EXPECT_EQ(Form().Label2->Caption(),
              FormatValue(false, values.back(), QString::fromLatin1(DefaultDecFmt)));
    const TStatsTexts texts = StatsTexts(expected);
    EXPECT_EQ(Form().Label3->Caption(), texts.Average);
    EXPECT_EQ(Form().Label4->Caption(), "812.3");
    EXPECT_EQ(Form().Label5->Caption(), "780.0");
    EXPECT_EQ(Form().Label6->Caption(), "32.3");
    EXPECT_EQ(Form().Label7->Caption(), texts.Deviation);
    EXPECT_EQ(Form().Label8->Caption(), QString::number(values.size()));
    EXPECT_EQ(ChartPoints(), int(values.size()));
    EXPECT_EQ(P::FVelocityCache(Form()).size(), values.size());
    EXPECT_EQ(P::FNextShotNumber(Form()), int(values.size()) + 1);
    // The scrolling window follows the last shot.
    EXPECT_DOUBLE_EQ(Form().Chart1->BottomAxis()->Maximum(), double(values.size()));

    // CLOSE while the device has sent half a line: the thread hands it over
    // as it stops, as a log line (the device never finished it, so it is no
    // shot).
    ASSERT_TRUE(FTerminal.Write("801\n45.6"));
    ASSERT_TRUE(WaitForLast(QStringLiteral("801")));
    Form().Button1->Click();
    EXPECT_FALSE(P::FSerialLink(Form()).IsOpen());
    EXPECT_FALSE(TForm1Probe::FSerialLink(Form()).IsReading());
    EXPECT_EQ(Form().Button1->Caption(), "OPEN");
    ASSERT_TRUE(WaitForLast(QStringLiteral("LOG: unfinished line: 45.6")));
    EXPECT_EQ(Form().Memo1->Lines()->Count(), int(values.size()) + 2);
    EXPECT_EQ(Form().Label8->Caption(), QString::number(values.size() + 1));
    EXPECT_TRUE(FDialogs.Messages.isEmpty());

    CloseForm();
    EXPECT_EQ(IniValue("Settings", "ComPort"), FTerminal.SlavePath());
    EXPECT_EQ(IniValue("Settings", "OpenCom"), "1");
}

TEST_F(SerialEndToEnd, CounterModeConvertsLiveCounts) {
    struct Case {
        const char* Name;
        QByteArray Settings;
        QByteArray Sent;  // ends with a line that gives the shot `Last`
        QStringList Shots;
        int NextShotNumber;
    };
    const Case cases[] = {
        // 0.1 m x 16 MHz / 4000 counts.
        {"Converted", "FREQ=16 MHz\nGATE=10 cm\nA=0\n", "count 4000\n", {"400"}, 2},
        // count + A = 0 has no velocity: no shot and no shot number used.
        {"ZeroDivisorGivesNoShot", "FREQ=16MHz\nGATE=0.1\nA=-4000\n", "4000\n12000\n", {"200"}, 2},
        // An unknown unit leaves counter mode off.
        {"UnknownUnitNoConversion", "FREQ=16 GHz\nGATE=0.1\nA=0\n", "4000\n", {"4000"}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        WriteSettings(c.Settings);
        StartAndOpen();
        ASSERT_TRUE(FTerminal.Write(c.Sent));
        ASSERT_TRUE(WaitForLast(c.Shots.back()));
        EXPECT_EQ(Shots(), c.Shots);
        EXPECT_EQ(P::FNextShotNumber(Form()), c.NextShotNumber);
        CloseForm();
        QFile::remove(IniFilePath());
    }
}

TEST_F(SerialEndToEnd, NoiseAndEndlessLinesLeaveTheFormResponsive) {
    WriteSettings();
    StartAndOpen();

    // A megabyte without a line feed: dropped whole, with the bytes up to the
    // line feed that ends it; the next line is a shot again.
    ASSERT_TRUE(FTerminal.Write(QByteArray(1 << 20, '7') + "\n812.3\n"));
    ASSERT_TRUE(WaitForShots(1));
    EXPECT_EQ(Shots(), QStringList{"812.3"});

    // Binary noise without digits, cut into lines of garbage, none a shot.
    std::mt19937 random(20240611);
    QByteArray noise;
    while (noise.size() < 256 * 1024) {
        const char byte = char(random() & 0xFF);
        if (byte < '0' || byte > '9') noise += byte;
    }
    // Its CRs and LFs cut it into more lines than the queue holds: the
    // device waits for the main thread, so it sends from a thread of its own.
    std::atomic<bool> written{false};
    std::thread writer([&] { written = FTerminal.Write(noise + "\n799.5\n"); });
    const bool arrived = WaitForLast(QStringLiteral("799.5"));
    writer.join();
    ASSERT_TRUE(written);
    ASSERT_TRUE(arrived);
    EXPECT_EQ(Shots(), (QStringList{"812.3", "799.5"}));
    EXPECT_EQ(Form().Label8->Caption(), "2");
    EXPECT_TRUE(ReceivedQueueEmpty());

    // The port still closes promptly.
    Form().Button1->Click();
    EXPECT_FALSE(P::FSerialLink(Form()).IsOpen());
    EXPECT_EQ(Form().Button1->Caption(), "OPEN");
}

TEST_F(SerialEndToEnd, UnpluggedDeviceClosesThePortOnceAndKeepsEveryShot) {
    WriteSettings();
    StartAndOpen();
    ASSERT_TRUE(FTerminal.Write("805\n802.5"));
    ASSERT_TRUE(WaitForLast(QStringLiteral("805")));

    FTerminal.CloseMaster();

    // Closed on the main thread as CLOSE does, with no box: nobody pressed a
    // button. The line cut off by the hang-up is listed, but as a log line:
    // the device never finished it, so "802.5" may be "802.57" cut short.
    ASSERT_TRUE(WaitFor([&] { return !P::FSerialLink(Form()).IsOpen(); }, DeadlineSeconds));
    EXPECT_EQ(Form().Button1->Caption(), "OPEN");
    EXPECT_FALSE(TForm1Probe::FSerialLink(Form()).IsReading());
    ASSERT_TRUE(WaitForLast(QStringLiteral("LOG: unfinished line: 802.5")));
    EXPECT_EQ(Shots(), (QStringList{"805", "LOG: unfinished line: 802.5"}));
    EXPECT_EQ(Form().Label8->Caption(), "1");
    EXPECT_EQ(int(ShownSeries().Stats().Count), 1);
    EXPECT_TRUE(FDialogs.Messages.isEmpty());

    // The form answers: OPEN on the vanished device says why it failed.
    Form().Button1->Click();
    EXPECT_FALSE(P::FSerialLink(Form()).IsOpen());
    EXPECT_EQ(Form().Button1->Caption(), "OPEN");
    ASSERT_EQ(FDialogs.Messages.size(), 1);
    EXPECT_TRUE(FDialogs.Messages.front().startsWith("CreateFile error: "))
        << FDialogs.Messages.front().toStdString();
}

TEST_F(SerialEndToEnd, StartUpOpensOnlyANamedListedPortAndShowsNothing) {
    struct Case {
        const char* Name;
        QByteArray OpenCom;
        QByteArray ComPort;  // "@" stands for the pseudo-terminal's path
        bool Opens;
    };
    const Case cases[] = {
        {"On", "1", "@", true},
        {"AnyTextSwitchesOn", "yes", "@", true},
        {"NameTrimmed", " 1 ", "  @  ", true},
        {"OffWithZero", "0", "@", false},
        {"OffWhenEmpty", "", "@", false},
        {"PortNotListed", "1", "/dev/pts/tarvex-none", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        QByteArray port = c.ComPort;
        port.replace('@', FTerminal.SlavePath().toUtf8());
        WriteTextFile(IniFilePath(),
                      "[Settings]\nComPort=" + port + "\nOpenCom=" + c.OpenCom + "\n");
        StartForm();
        // The timer's tick, delivered now instead of after 700 ms.
        KillTimer(&Form(), TIMER_COM_AUTOOPEN);
        SendMessage(&Form(), WM_TIMER, TIMER_COM_AUTOOPEN, 0);
        EXPECT_EQ(P::FSerialLink(Form()).IsOpen(), c.Opens);
        EXPECT_EQ(Form().Button1->Caption(), c.Opens ? "CLOSE" : "OPEN");
        EXPECT_TRUE(FDialogs.Messages.isEmpty());
        CloseForm();
        QFile::remove(IniFilePath());
    }
}

TEST_F(SerialEndToEnd, UserOpenReportsFailuresInABox) {
    WriteSettings({}, "0");
    StartFormOffline();
    ASSERT_EQ(Form().ComboBox1->Text(), FTerminal.SlavePath());

    // Another program holds the port.
    const int held = ::open(FTerminal.SlavePath().toLocal8Bit().constData(),
                            O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
    Form().Button1->Click();
    ::close(held);
    EXPECT_FALSE(P::FSerialLink(Form()).IsOpen());
    EXPECT_EQ(Form().Button1->Caption(), "OPEN");
    ASSERT_EQ(FDialogs.Messages.size(), 1);
    // What failed, why and on which port.
    EXPECT_EQ(FDialogs.Messages.front(),
              "CreateFile error: 16 (Device or resource busy: " + FTerminal.SlavePath() + ")");

    // Free again: OPEN opens, a second OPEN only confirms the caption.
    Form().Button1->Click();
    EXPECT_TRUE(P::FSerialLink(Form()).IsOpen());
    EXPECT_TRUE(Form().OpenComPort(true));
    EXPECT_EQ(Form().Button1->Caption(), "CLOSE");
    EXPECT_TRUE(TForm1Probe::FSerialLink(Form()).IsReading());
    Form().Button1->Click();
    EXPECT_FALSE(P::FSerialLink(Form()).IsOpen());

    // No port selected.
    Form().ComboBox1->Items()->Clear();
    Form().Button1->Click();
    EXPECT_EQ(Form().Button1->Caption(), "OPEN");
    ASSERT_EQ(FDialogs.Messages.size(), 2);
    EXPECT_EQ(FDialogs.Messages.back(), "Select port COM.");
}

TEST_F(SerialEndToEnd, ReceiveResetWithoutDiscardKeepsTheLineInProgress) {
    WriteSettings();
    StartAndOpen();

    // The bytes before and after the reset form one line, whether or not the
    // thread had read the first ones when the reset came.
    ASSERT_TRUE(FTerminal.Write("12"));
    Form().ResetReceive(false, false);
    ASSERT_TRUE(FTerminal.Write("3.4\n"));
    ASSERT_TRUE(WaitForShots(1));
    EXPECT_EQ(Shots(), QStringList{"123.4"});

    // A purge with the flag clear keeps the port usable.
    Form().ResetReceive(false, true);
    EXPECT_FALSE(LineQueue().Discarding());
    ASSERT_TRUE(FTerminal.Write("777\n"));
    ASSERT_TRUE(WaitForLast(QStringLiteral("777")));
}

TEST_F(SerialEndToEnd, CrEndsALineAsLfDoesAndCrLfEndsItOnce) {
    WriteSettings();
    StartAndOpen();
    struct Case {
        const char* Name;
        std::vector<QByteArray> Writes;
        QStringList Shots;
    };
    const Case cases[] = {
        // A device that only ever sends CR.
        {"OnlyCr", {"812.35\r815.1\r", "820\r"}, {"812.35", "815.1", "820"}},
        // Five CR-ended shots and then an LF are five shots, not one number.
        {"FiveCrThenLf", {"801\r802\r803\r804\r805\r\n"}, {"801", "802", "803", "804", "805"}},
        // The CR and the LF of one line end in different reads.
        {"CrLfSplit", {"806\r", "\n807\r", "\n"}, {"806", "807"}},
        {"MixedEnds", {"1.5\n2.5\r3.5\r\n\r\n4.5\n"}, {"1.5", "2.5", "3.5", "4.5"}},
    };
    QStringList expected;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        for (const QByteArray& bytes : c.Writes) {
            ASSERT_TRUE(FTerminal.Write(bytes));
            QCoreApplication::processEvents();
        }
        expected += c.Shots;
        ASSERT_TRUE(WaitForLast(c.Shots.back()));
        EXPECT_EQ(Shots(), expected);
    }
    EXPECT_EQ(Form().Label8->Caption(), QString::number(expected.size()));
    EXPECT_EQ(ChartPoints(), expected.size());
    // Nothing is left half-read: a CLOSE now adds no line.
    Form().Button1->Click();
    QCoreApplication::processEvents();
    EXPECT_EQ(Shots(), expected);
}

// A device that floods the port while the main thread is busy: the read
// thread stops reading once the queue is full, and every line still arrives,
// in order, once the main thread gets to them.
TEST_F(SerialEndToEnd, AFloodWaitsInThePortNotInTheQueue) {
    WriteSettings();
    StartAndOpen();
    constexpr int Lines = 50000;
    const QByteArray flood = NumberedLines(1, Lines);
    std::atomic<bool> written{false};
    std::thread writer([&] { written = FTerminal.Write(flood); });

    ASSERT_TRUE(WaitWithoutEvents([&] { return QueuedLines() >= ReceivedLinesBound; }))
        << "the read thread never filled the queue";
    // Watch for a while: the queue must not grow past its bound, whatever
    // the device still sends.
    std::size_t most = 0;
    QElapsedTimer watch;
    watch.start();
    while (watch.elapsed() < 2000) {
        most = std::max(most, QueuedLines());
        QThread::msleep(5);
    }
    EXPECT_LE(most, ReceivedLinesBound);

    ASSERT_TRUE(
        WaitFor([&] { return int(ShownSeries().Stats().Count) >= Lines; }, DeadlineSeconds * 4))
        << "shots: " << ShownSeries().Stats().Count;
    writer.join();
    EXPECT_TRUE(written);
    EXPECT_EQ(int(ShownSeries().Stats().Count), Lines);
    // The list keeps the last 10000 (and at most 100 more), in order.
    const QStringList shots = Shots();
    ASSERT_GE(shots.size(), 10000);
    for (int i = 0; i < shots.size(); ++i)
        ASSERT_EQ(shots[i], QString::number(Lines - shots.size() + 1 + i)) << i;
}

// Closing the form works off what the read thread has queued: no line read
// from the port is lost.
TEST_F(SerialEndToEnd, CloseWorksOffEveryQueuedLine) {
    WriteSettings();
    StartAndOpen();
    constexpr int Lines = int(ReceivedLinesBound) - 24;
    ASSERT_TRUE(FTerminal.Write(NumberedLines(1, Lines) + "30"));
    ASSERT_TRUE(WaitWithoutEvents([&] { return QueuedLines() >= std::size_t(Lines); }));
    EXPECT_EQ(int(ShownSeries().Stats().Count), 0);
    CloseForm([&](TForm1& form) {
        const TShotSeries& series = TForm1Probe::FSeries(form);
        EXPECT_EQ(int(series.Stats().Count), Lines);
        EXPECT_DOUBLE_EQ(series.LastShownVelocity(), double(Lines));
    });
}

// While a flood is worked off, a CLEAR pressed meanwhile runs between two
// slices of the drain, not after the whole queue.
TEST_F(SerialEndToEnd, ClearAnswersWhileTheQueueIsWorkedOff) {
    StartFormOffline();
    QStringList lines;
    for (int i = 1; i <= 10000; ++i) lines << QString::number(i);
    QueueReceived(lines);
    PostMessage(&Form(), WM_LINES_RECEIVED, 0, 0);
    int shotsAtClear = -1;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [&] {
            shotsAtClear = int(ShownSeries().Stats().Count);
            Form().ButtonClear->Click();
        },
        Qt::QueuedConnection);
    ASSERT_TRUE(WaitFor([&] { return shotsAtClear >= 0 && ReceivedQueueEmpty(); }));
    QCoreApplication::processEvents();

    // The first slice ran, and left the rest for later messages.
    EXPECT_GE(shotsAtClear, 64);
    EXPECT_LT(shotsAtClear, 10000);
    // CLEAR dropped what was still queued.
    EXPECT_EQ(Form().Memo1->Lines()->Count(), 0);
    EXPECT_EQ(int(ShownSeries().Stats().Count), 0);
    EXPECT_FALSE(TForm1Probe::LiveInput(*Form1));
    EXPECT_FALSE(TForm1Probe::BatchUpdate(*Form1));
    EXPECT_TRUE(Form().Chart1->AutoRepaint());
}
