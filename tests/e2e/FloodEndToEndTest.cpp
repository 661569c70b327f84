// The real program under a flood: a device on a pseudo-terminal (which, like
// a USB CDC device, ignores the baud rate) sends a million lines as fast as
// the program takes them. Memory must stay bounded, SIGTERM must end the
// program within seconds, and every shot the program read must be in the
// automatically saved files, in order, each once.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>

#include "ProgramHarness.h"

namespace {

// SIGTERM in the middle of the flood: the program ends within this. Before
// the queue was bounded it took minutes.
constexpr int EndDeadlineMs = 30000;
// How long the flood runs before the signal: long enough for an unbounded
// queue to swallow the whole million lines.
constexpr int FloodMs = 10000;
constexpr int FloodLines = 1000000;
constexpr int SavedPerFile = 1000;
// Peak growth of the resident memory over the flood. The unbounded queue
// grew by more than 100 MB within the first seconds; a bounded one stays far
// below this margin.
constexpr long GrowthLimitKb = 64 * 1024;

// The resident memory of a process in kB, -1 once it is gone.
long ResidentKb(qint64 pid) {
    const QByteArray status = ReadFileBytes(QStringLiteral("/proc/%1/status").arg(pid));
    for (const QByteArray& line : status.split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').front().toLong();
    return -1;
}

}  // namespace

class FloodEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FTerminal.IsValid()) << "no pseudo-terminal";
        ASSERT_TRUE(WatchForFlush(FTerminal));
        ASSERT_NO_FATAL_FAILURE(FFolder.Make(TARVEX_PROGRAM, "tarvex"));
    }

    void TearDown() override {
        FStop = true;
        if (FWriter.joinable()) FWriter.join();
        KillIfRunning(FProcess);
    }

    void Start() {
        QProcessEnvironment env = FFolder.Environment();
        // Under the address sanitizer freed memory waits in a quarantine of
        // 256 MB before it is reused, which the resident memory would show;
        // a small one keeps the program's own memory visible.
        const QString asan = env.value(QStringLiteral("ASAN_OPTIONS"));
        env.insert(QStringLiteral("ASAN_OPTIONS"),
                   asan + (asan.isEmpty() ? "" : ":") + "quarantine_size_mb=16");
        FProcess.setProcessChannelMode(QProcess::ForwardedChannels);
        FFolder.Start(FProcess, env);
    }

    // Sends the shots 1 to FloodLines as chronograph lines ("V=812 m/s nr
    // 17"), the three line ends taking turns, as fast as the port takes them;
    // counts the lines sent whole.
    void StartFlood() {
        // Never blocked in a write: the writer must notice the stop.
        ::fcntl(FTerminal.Master(), F_SETFL, ::fcntl(FTerminal.Master(), F_GETFL) | O_NONBLOCK);
        FWriter = std::thread([this] {
            static const char* const ends[] = {"\n", "\r", "\r\n"};
            QByteArray block;
            int next = 1;
            while (next <= FloodLines && !FStop) {
                block.clear();
                for (; next <= FloodLines && block.size() < 4000; ++next)
                    block += "V=" + QByteArray::number(next) + " m/s nr " +
                             QByteArray::number(next % 1000) + ends[next % 3];
                qsizetype done = 0;
                while (done < block.size() && !FStop) {
                    pollfd p{FTerminal.Master(), POLLOUT, 0};
                    if (::poll(&p, 1, 50) <= 0) continue;
                    if (p.revents & (POLLERR | POLLHUP)) return;
                    const ssize_t n = ::write(FTerminal.Master(), block.constData() + done,
                                              size_t(block.size() - done));
                    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
                    if (n <= 0) return;
                    done += n;
                }
                if (done < block.size()) return;
                FSent = next - 1;
            }
        });
    }

    // The values of the automatically saved files, in the order of their
    // numbers.
    QList<QByteArray> SavedValues() {
        const QDir folder(FFolder.Path(QStringLiteral("Prog/AUTOSAVE")));
        QList<QByteArray> values;
        for (const QString& name :
             folder.entryList({QStringLiteral("Flood_*.txt")}, QDir::Files, QDir::Name)) {
            QByteArray bytes = ReadFileBytes(folder.filePath(name));
            if (bytes.startsWith("\xEF\xBB\xBF")) bytes.remove(0, 3);
            for (const QByteArray& line : bytes.split('\n')) {
                const QByteArray value = line.trimmed();
                if (!value.isEmpty()) values.append(value);
            }
        }
        return values;
    }

    TProgramFolder FFolder;
    TPseudoTerminal FTerminal;
    QProcess FProcess;
    std::thread FWriter;
    std::atomic<bool> FStop{false};
    std::atomic<int> FSent{0};
};

TEST_F(FloodEndToEnd, AMillionLinesKeepMemoryBoundedAndSigtermEndsPromptly) {
    ASSERT_TRUE(WriteFile(FFolder.Ini(),
                          "[Settings]\r\nComPort=" + FTerminal.SlavePath().toUtf8() +
                              "\r\nOpenCom=1\r\nTXT=1\r\n"
                              "[AUTOSAVE]\r\nAUT=" +
                              QByteArray::number(SavedPerFile) +
                              "\r\nFolder=./AUTOSAVE\r\nFileName=Flood_$\r\nINDEX=00001\r\n"));
    Start();
    ASSERT_TRUE(WaitForPortOpen(FProcess, FTerminal)) << "the program did not open the port";
    const qint64 pid = FProcess.processId();
    const long before = ResidentKb(pid);
    ASSERT_GT(before, 0);

    StartFlood();
    long peak = before;
    QElapsedTimer flood;
    flood.start();
    while (flood.elapsed() < FloodMs) {
        peak = std::max(peak, ResidentKb(pid));
        if (peak - before > GrowthLimitKb) break;
        ::usleep(20000);
    }
    peak = std::max(peak, ResidentKb(pid));
    const qint64 floodMs = flood.elapsed();
    EXPECT_LE(peak - before, GrowthLimitKb)
        << "resident memory grew from " << before << " kB to " << peak << " kB";

    std::printf("flood: %d lines sent in %lld ms, peak growth %ld kB\n", int(FSent),
                (long long)floodMs, peak - before);

    // SIGTERM while the device still floods the port.
    QElapsedTimer ending;
    ending.start();
    ASSERT_NO_FATAL_FAILURE(EndWith(FProcess, SIGTERM, EndDeadlineMs));
    const qint64 endedMs = ending.elapsed();
    FStop = true;
    FWriter.join();

    // Every shot the program read is saved once, in order, from the first:
    // whole files of SavedPerFile shots. What the device sent and the
    // program never read waits in the port's buffers (a few ten kilobytes);
    // the last file's worth may be short of a file.
    const QList<QByteArray> saved = SavedValues();
    ASSERT_FALSE(saved.isEmpty());
    EXPECT_EQ(saved.size() % SavedPerFile, 0);
    for (int i = 0; i < saved.size(); ++i)
        ASSERT_EQ(saved[i], QByteArray::number(i + 1)) << "shot " << i + 1;
    const int unread = 20000;
    EXPECT_GE(saved.size(), FSent - SavedPerFile - unread)
        << "sent " << FSent << ", saved " << saved.size();
    std::printf("flood: %lld saved, ended in %lld ms\n", (long long)saved.size(),
                (long long)endedMs);
}
