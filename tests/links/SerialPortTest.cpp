#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <future>
#include <thread>

#include <termios.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/core/Exception.h"
#include "platform/serial/SerialPort.h"
#include "PseudoTerminal.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto Deadline = 20s;

// Closes the port when a test ends early.
struct TOpenPort {
    explicit TOpenPort(const QString& path) : Handle(SerialOpen(path)) {}
    ~TOpenPort() { SerialClose(Handle); }
    TOpenPort(const TOpenPort&) = delete;
    TOpenPort& operator=(const TOpenPort&) = delete;
    TComHandle Handle;
};

// Reads as the read thread does: ask what is waiting, read it, else wait.
QByteArray ReadUntil(TComHandle handle, qsizetype count) {
    QByteArray received;
    char buffer[4096];
    const auto until = Clock::now() + Deadline;
    while (received.size() < count && Clock::now() < until) {
        const int waiting = SerialBytesWaiting(handle);
        const std::ptrdiff_t got =
            waiting > 0
                ? SerialRead(handle, buffer, std::min<std::ptrdiff_t>(waiting, sizeof buffer))
                : 0;
        if (got > 0)
            received.append(buffer, got);
        else
            SerialWait(handle);
    }
    return received;
}

bool WaitForBytes(TComHandle handle, int count) {
    const auto until = Clock::now() + Deadline;
    while (SerialBytesWaiting(handle) < count) {
        if (Clock::now() >= until) return false;
        SerialWait(handle);
    }
    return true;
}

int OpenDescriptorCount() {
    return int(QDir(QStringLiteral("/proc/self/fd"))
                   .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                   .size());
}

class SerialPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FTerminal.IsValid()) << "no pseudo-terminal: errno " << errno;
    }
    TPseudoTerminal FTerminal;
};

}  // namespace

TEST_F(SerialPortTest, OpenSetsChronographLineSettings) {
    TOpenPort port(FTerminal.SlavePath());
    ASSERT_TRUE(port.Handle.IsValid());
    ASSERT_NE(port.Handle, INVALID_HANDLE_VALUE);

    // The master reports the terminal settings of its slave.
    termios tio{};
    ASSERT_EQ(tcgetattr(FTerminal.Master(), &tio), 0);
    EXPECT_EQ(cfgetispeed(&tio), speed_t(B19200));
    EXPECT_EQ(cfgetospeed(&tio), speed_t(B19200));
    EXPECT_EQ(tio.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(tio.c_cflag & (CREAD | CLOCAL), tcflag_t(CREAD | CLOCAL));
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL | INLCR | IGNCR | ISTRIP | INPCK | PARMRK), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    EXPECT_EQ(tio.c_cc[VMIN], 0);
    EXPECT_EQ(tio.c_cc[VTIME], 0);
}

TEST_F(SerialPortTest, PassesEveryByteValueUnchanged) {
    TOpenPort port(FTerminal.SlavePath());
    // Every value, with CR, LF, XON/XOFF and the signal characters among them.
    QByteArray sent;
    for (int round = 0; round < 2; ++round)
        for (int value = 0; value < 256; ++value) sent.append(char(value));
    ASSERT_TRUE(FTerminal.Write(sent));
    EXPECT_EQ(ReadUntil(port.Handle, sent.size()), sent);
    EXPECT_EQ(SerialBytesWaiting(port.Handle), 0);
}

TEST_F(SerialPortTest, ReadTakesAtMostTheBytesAskedFor) {
    TOpenPort port(FTerminal.SlavePath());
    ASSERT_TRUE(FTerminal.Write("0123456789"));
    ASSERT_TRUE(WaitForBytes(port.Handle, 10));

    char buffer[16] = {};
    ASSERT_EQ(SerialRead(port.Handle, buffer, 4), 4);
    EXPECT_EQ(QByteArray(buffer, 4), "0123");
    EXPECT_EQ(SerialBytesWaiting(port.Handle), 6);
    ASSERT_EQ(SerialRead(port.Handle, buffer, sizeof buffer), 6);
    EXPECT_EQ(QByteArray(buffer, 6), "456789");
    // Nothing left: the read returns at once with nothing.
    EXPECT_EQ(SerialRead(port.Handle, buffer, sizeof buffer), 0);
}

TEST_F(SerialPortTest, PurgeDropsReceivedBytes) {
    TOpenPort port(FTerminal.SlavePath());
    ASSERT_TRUE(FTerminal.Write("123.4\r\n"));
    ASSERT_TRUE(WaitForBytes(port.Handle, 7));
    SerialPurge(port.Handle, TPurge::Input);
    EXPECT_EQ(SerialBytesWaiting(port.Handle), 0);

    ASSERT_TRUE(FTerminal.Write("5\n"));
    EXPECT_EQ(ReadUntil(port.Handle, 2), "5\n");
    ASSERT_TRUE(FTerminal.Write("6\n"));
    ASSERT_TRUE(WaitForBytes(port.Handle, 2));
    SerialPurge(port.Handle, TPurge::InputAndOutput);
    EXPECT_EQ(SerialBytesWaiting(port.Handle), 0);
}

TEST_F(SerialPortTest, FailedOpenNamesTheCallAndLeavesNothingOpen) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString plainFile = dir.filePath(QStringLiteral("notaport"));
    QFile file(plainFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    struct Case {
        QString Path;
        QString Call;
        int Error;
        QString Cause;
    };
    const Case cases[] = {
        {dir.filePath(QStringLiteral("ttyUSB9")), QStringLiteral("CreateFile"), ENOENT,
         "No such file or directory"},
        {plainFile, QStringLiteral("GetCommState"), ENOTTY, "Inappropriate ioctl for device"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Path.toStdString());
        const int before = OpenDescriptorCount();
        try {
            SerialClose(SerialOpen(c.Path));
            ADD_FAILURE() << "opened";
        } catch (const ESysError& e) {
            EXPECT_EQ(e.Call(), c.Call);
            EXPECT_EQ(e.Error(), c.Error);
            EXPECT_EQ(e.Message(), c.Call + QStringLiteral(" error: ") + QString::number(c.Error) +
                                       " (" + c.Cause + ": " + c.Path + ")");
        }
        EXPECT_EQ(OpenDescriptorCount(), before);
    }
    // The texts the user sees: the call and number first, then why and where.
    EXPECT_EQ(ESysError(QStringLiteral("CreateFile"), 16, "/dev/ttyUSB0").Message(),
              QStringLiteral("CreateFile error: 16 (Device or resource busy: /dev/ttyUSB0)"));
    EXPECT_EQ(ESysError(QStringLiteral("GetCommState"), 25).Message(),
              QStringLiteral("GetCommState error: 25 (Inappropriate ioctl for device)"));
}

TEST_F(SerialPortTest, HeldPortIsRefusedUntilClosed) {
    TComHandle first = SerialOpen(FTerminal.SlavePath());
    const int before = OpenDescriptorCount();
    try {
        SerialClose(SerialOpen(FTerminal.SlavePath()));
        ADD_FAILURE() << "a held port opened twice";
    } catch (const ESysError& e) {
        // Busy, whether the exclusive terminal or the lock (which also
        // stops root) refused it.
        EXPECT_EQ(e.Call(), QStringLiteral("CreateFile"));
        EXPECT_EQ(e.Error(), EBUSY);
        EXPECT_EQ(e.Message(),
                  "CreateFile error: 16 (Device or resource busy: " + FTerminal.SlavePath() + ")");
    }
    EXPECT_EQ(OpenDescriptorCount(), before);

    // The refused open left the holder working.
    ASSERT_TRUE(FTerminal.Write("1\n"));
    EXPECT_EQ(ReadUntil(first, 2), "1\n");

    SerialClose(first);
    TOpenPort again(FTerminal.SlavePath());
    EXPECT_TRUE(again.Handle.IsValid());
}

TEST_F(SerialPortTest, WaitEndsWhenBytesArrive) {
    TOpenPort port(FTerminal.SlavePath());
    EXPECT_EQ(SerialWait(port.Handle, 10), TSerialWait::TimedOut);
    ASSERT_TRUE(FTerminal.Write("7"));
    // Far longer than the test may take: a wait that missed the byte would
    // show as TimedOut.
    EXPECT_EQ(SerialWait(port.Handle, 60000), TSerialWait::Readable);
}

TEST_F(SerialPortTest, AWaitWithoutLimitEndsAtBytesOrAHangUp) {
    TComHandle handle = SerialOpen(FTerminal.SlavePath());
    auto bytes =
        std::async(std::launch::async, [&] { return SerialWait(handle, SerialWaitForever); });
    ASSERT_TRUE(FTerminal.Write("7"));
    ASSERT_EQ(bytes.wait_for(Deadline), std::future_status::ready);
    EXPECT_EQ(bytes.get(), TSerialWait::Readable);
    char buffer[8];
    ASSERT_EQ(SerialRead(handle, buffer, sizeof buffer), 1);

    // The device goes while the wait sleeps: reported at once, not after a
    // time.
    auto hangUp =
        std::async(std::launch::async, [&] { return SerialWait(handle, SerialWaitForever); });
    FTerminal.CloseMaster();
    ASSERT_EQ(hangUp.wait_for(Deadline), std::future_status::ready);
    EXPECT_EQ(hangUp.get(), TSerialWait::Lost);
    SerialClose(handle);
}

TEST_F(SerialPortTest, CancelEndsWaitPromptlyAndOnlyOnce) {
    TOpenPort port(FTerminal.SlavePath());
    auto waiting = std::async(std::launch::async, [&] { return SerialWait(port.Handle, 120000); });
    std::this_thread::yield();
    SerialCancel(port.Handle);
    ASSERT_EQ(waiting.wait_for(Deadline), std::future_status::ready);
    EXPECT_EQ(waiting.get(), TSerialWait::Cancelled);
    // The cancel was used up by the wait it ended.
    EXPECT_EQ(SerialWait(port.Handle, 10), TSerialWait::TimedOut);

    // A cancel that comes before the wait still ends it.
    SerialCancel(port.Handle);
    auto late = std::async(std::launch::async, [&] { return SerialWait(port.Handle, 120000); });
    ASSERT_EQ(late.wait_for(Deadline), std::future_status::ready);
    EXPECT_EQ(late.get(), TSerialWait::Cancelled);
}

TEST_F(SerialPortTest, HangUpIsReportedWithoutSpinning) {
    TComHandle handle = SerialOpen(FTerminal.SlavePath());
    ASSERT_TRUE(FTerminal.Write("45.6"));
    ASSERT_TRUE(WaitForBytes(handle, 4));
    FTerminal.CloseMaster();

    // The read loop's view: nothing more to read, and the wait says why.
    TPortState state = TPortState::Open;
    int reports = 0;
    const auto until = Clock::now() + Deadline;
    while (state == TPortState::Open && Clock::now() < until) {
        char buffer[64];
        const int waiting = SerialBytesWaiting(handle);
        if (waiting > 0 && SerialRead(handle, buffer, sizeof buffer) > 0) continue;
        if (SerialWait(handle) == TSerialWait::Lost) {
            state = TPortState::Lost;
            ++reports;
        }
    }
    ASSERT_EQ(state, TPortState::Lost);
    EXPECT_EQ(reports, 1);

    char buffer[64];
    EXPECT_LE(SerialBytesWaiting(handle), 0);
    EXPECT_LE(SerialRead(handle, buffer, sizeof buffer), 0);

    // Each later wait of the lost port still sleeps its full time: a lower
    // bound only, which a slow machine meets all the more.
    constexpr int Waits = 20;
    constexpr int WaitMs = 10;
    const auto start = Clock::now();
    for (int i = 0; i < Waits; ++i)
        EXPECT_EQ(SerialWait(handle, WaitMs, TPortState::Lost), TSerialWait::Lost);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(Waits * WaitMs));

    // Stopping the read thread of a lost port, asleep without a time limit,
    // stays prompt.
    auto waiting = std::async(std::launch::async, [&] {
        return SerialWait(handle, SerialWaitForever, TPortState::Lost);
    });
    SerialCancel(handle);
    ASSERT_EQ(waiting.wait_for(Deadline), std::future_status::ready);
    EXPECT_EQ(waiting.get(), TSerialWait::Cancelled);

    const int before = OpenDescriptorCount();
    SerialClose(handle);
    EXPECT_EQ(OpenDescriptorCount(), before - 2);
}
