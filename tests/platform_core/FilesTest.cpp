// Replacing and new-file writes on real files in a temporary folder: what a
// failed write leaves, what two writers at once leave, that no link planted
// in the folder is ever followed, and what a writer killed mid-write
// leaves. Every case runs with unnamed temporary files and, as on a file
// system without them, with named ones.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include <csignal>

#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "platform/core/Exception.h"
#include "platform/core/Files.h"
#include "support/FileSizeLimit.h"

namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

mode_t ModeOf(const QString& path) {
    struct stat info {};
    ::lstat(QFile::encodeName(path).constData(), &info);
    return info.st_mode & 07777;
}

class Files : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { SetUnnamedTemporaryFilesForTesting(GetParam()); }
    void TearDown() override { SetUnnamedTemporaryFilesForTesting(true); }

    QString PathOf(const QString& name) const { return FDir.filePath(name); }
    // Every entry of the folder, hidden ones and links included.
    QStringList Entries() const {
        return QDir(FDir.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                       QDir::Name);
    }
    // A file of the folder with a few bytes; its path, empty on failure.
    QString WriteTextFileForSweep(const QString& name) const {
        QFile file(PathOf(name));
        if (!file.open(QIODevice::WriteOnly) || file.write("x") != 1) return QString();
        return file.fileName();
    }
    QTemporaryDir FDir;
};

}  // namespace

TEST_P(Files, ReplacingKeepsModeAndLinkAndLeavesNothingElse) {
    const QString file = PathOf("shots.csv");
    WriteFileReplacing(file, "first");
    EXPECT_EQ(ReadAll(file), "first");
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(ModeOf(file), 0666 & ~mask);

    ::chmod(QFile::encodeName(file).constData(), 0640);
    ASSERT_TRUE(QFile::link(file, PathOf("link.csv")));
    WriteFileReplacing(PathOf("link.csv"), "second");
    EXPECT_TRUE(QFileInfo(PathOf("link.csv")).isSymLink());
    EXPECT_EQ(ReadAll(file), "second");
    EXPECT_EQ(ModeOf(file), mode_t(0640));
    EXPECT_EQ(Entries(), (QStringList{"link.csv", "shots.csv"}));
}

TEST_P(Files, FailedWritesLeaveTheOldFileAndNoTemporaryFile) {
    const QString file = PathOf("shots.csv");
    WriteFileReplacing(file, "old");

    struct Case {
        const char* Name;
        QString Path;
        const char* Call;
    };
    ASSERT_TRUE(QDir().mkpath(PathOf("folder")));
    const Case cases[] = {
        {"write past the size limit", file, "write"},
        {"rename onto a folder", PathOf("folder"), "rename"},
        {"folder below a file", PathOf("shots.csv/x"), "open"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        try {
            FileSizeLimit limit(QByteArray(c.Name).startsWith("write") ? 16 : RLIM_INFINITY);
            WriteFileReplacing(c.Path, QByteArray(4096, 'x'));
            ADD_FAILURE() << "no error";
        } catch (const ESysError& error) {
            EXPECT_EQ(error.Call(), QString::fromLatin1(c.Call));
            EXPECT_EQ(error.Path(), c.Path);
        }
        EXPECT_EQ(ReadAll(file), "old");
        EXPECT_EQ(Entries(), (QStringList{"folder", "shots.csv"}));
    }
    // The same for a new file that cannot be written whole.
    {
        FileSizeLimit limit(16);
        EXPECT_THROW(WriteNewFile(PathOf("new.csv"), QByteArray(4096, 'x')), ESysError);
    }
    EXPECT_EQ(Entries(), (QStringList{"folder", "shots.csv"}));
}

TEST_P(Files, LinksPlantedAtTheOldTemporaryNamesAreNeverFollowed) {
    const QString victim = PathOf("victim");
    WriteFileReplacing(victim, "precious");
    const QString file = PathOf("shots.csv");
    for (const QString& name : {QStringLiteral("shots.csv.part"), QStringLiteral(".shots.csv.part"),
                                QStringLiteral("shots.csv.tmp")})
        ASSERT_TRUE(QFile::link(victim, PathOf(name)));

    WriteFileReplacing(file, "shots");
    EXPECT_EQ(ReadAll(file), "shots");
    EXPECT_EQ(ReadAll(victim), "precious");
    EXPECT_TRUE(QFileInfo(PathOf("shots.csv.part")).isSymLink());
    EXPECT_EQ(Entries().size(), 5);
}

TEST_P(Files, TwoWritersOfOneFileEachLeaveItWhole) {
    const QString file = PathOf("Chrono.ini");
    const QByteArray a(256 * 1024, 'a');
    const QByteArray b(128 * 1024, 'b');
    std::atomic<int> failures{0};
    const auto writer = [&](const QByteArray& bytes) {
        for (int i = 0; i < 40; ++i) {
            try {
                WriteFileReplacing(file, bytes);
            } catch (const std::exception&) {
                ++failures;
            }
        }
    };
    std::thread first(writer, a);
    std::thread second(writer, b);
    for (int i = 0; i < 200; ++i) {
        const QByteArray seen = ReadAll(file);
        if (seen != "<unreadable>") {
            EXPECT_TRUE(seen == a || seen == b) << seen.size();
        }
    }
    first.join();
    second.join();
    EXPECT_EQ(failures.load(), 0);
    const QByteArray last = ReadAll(file);
    EXPECT_TRUE(last == a || last == b);
    EXPECT_EQ(Entries(), QStringList{"Chrono.ini"});
}

TEST_P(Files, NewFileNeverReplacesAnythingOfItsName) {
    const QString file = PathOf("Chrono_001.csv");
    EXPECT_TRUE(WriteNewFile(file, "first"));
    EXPECT_EQ(ReadAll(file), "first");
    EXPECT_FALSE(WriteNewFile(file, "second"));
    EXPECT_EQ(ReadAll(file), "first");

    // A dangling link holds its name: the file it names is not created.
    ASSERT_TRUE(QFile::link(PathOf("target"), PathOf("Chrono_002.csv")));
    EXPECT_FALSE(WriteNewFile(PathOf("Chrono_002.csv"), "x"));
    EXPECT_FALSE(QFileInfo::exists(PathOf("target")));
    EXPECT_EQ(Entries(), (QStringList{"Chrono_001.csv", "Chrono_002.csv"}));

    // Many writers race for one name: exactly one wins, the file is its.
    std::atomic<int> won{0};
    std::vector<std::thread> writers;
    for (int i = 0; i < 8; ++i)
        writers.emplace_back([&, i] {
            if (WriteNewFile(PathOf("Chrono_003.csv"), QByteArray(64 * 1024, char('a' + i)))) ++won;
        });
    for (std::thread& t : writers) t.join();
    EXPECT_EQ(won.load(), 1);
    const QByteArray bytes = ReadAll(PathOf("Chrono_003.csv"));
    EXPECT_EQ(bytes.size(), 64 * 1024);
    EXPECT_EQ(bytes.count(bytes.front()), bytes.size());
    EXPECT_EQ(Entries().size(), 3);
}

namespace {

// A child process: runs body (which never returns) with the write end of a
// pipe, on which it reports its progress one byte at a time.
struct TChild {
    pid_t Pid = -1;
    int Progress = -1;  // the read end

    template <class Body>
    explicit TChild(Body body) {
        int fds[2];
        if (::pipe(fds) != 0) return;
        Pid = ::fork();
        if (Pid == 0) {
            ::close(fds[0]);
            body(fds[1]);
            ::_exit(0);
        }
        ::close(fds[1]);
        Progress = fds[0];
    }
    ~TChild() {
        Kill();
        if (Progress >= 0) ::close(Progress);
    }
    TChild(const TChild&) = delete;
    TChild& operator=(const TChild&) = delete;

    // Waits for n more progress bytes; false when the child ended first.
    bool Await(int n) {
        for (char c = 0; n > 0; --n)
            if (::read(Progress, &c, 1) != 1) return false;
        return true;
    }
    void Kill() {
        if (Pid <= 0) return;
        ::kill(Pid, SIGKILL);
        ::waitpid(Pid, nullptr, 0);
        Pid = -1;
    }
};

void Report(int fd) {
    const char c = 1;
    if (::write(fd, &c, 1) != 1) ::_exit(1);
}

}  // namespace

TEST_P(Files, WritersKilledMidWriteLeaveWholeFilesAndNoTemporaryFileAfterASweep) {
    // Large enough that a kill after a finished write lands in the next
    // one as a rule; each file is whole either way.
    const QByteArray a(4 << 20, 'a');
    const QByteArray b(2 << 20, 'b');
    const QString file = PathOf("Chrono.ini");
    for (int round = 0; round < 8; ++round) {
        SCOPED_TRACE(round);
        TChild replacing([&](int progress) {
            for (int i = 0;; ++i) {
                WriteFileReplacing(file, i % 2 ? a : b);
                Report(progress);
            }
        });
        TChild creating([&](int progress) {
            for (int i = 0;; ++i) {
                WriteNewFile(PathOf(QStringLiteral("AS_%1_%2.txt").arg(round).arg(i)), a);
                Report(progress);
            }
        });
        ASSERT_TRUE(replacing.Await(1 + round % 3));
        ASSERT_TRUE(creating.Await(1 + round % 2));
        replacing.Kill();
        creating.Kill();
        const QByteArray seen = ReadAll(file);
        EXPECT_TRUE(seen == a || seen == b) << seen.size();
        for (const QString& name : Entries()) {
            if (name.startsWith("AS_")) {
                EXPECT_EQ(ReadAll(PathOf(name)), a) << name.toStdString();
            }
        }
    }
    RemoveStaleTemporaryFiles(FDir.path());
    for (const QString& name : Entries())
        EXPECT_TRUE(name == "Chrono.ini" || name.startsWith("AS_")) << name.toStdString();
}

TEST_P(Files, SweepTakesStaleTemporaryFilesAndLeavesLiveOnesAndOthers) {
    // What a writer killed while its temporary file had a name leaves.
    const QStringList stale{".shots.csv.ghMnh6H1k2wQ.part", ".tarvex-serial.ini.HYWzfszsKGAL.part",
                            "..x.000000000000.part"};
    for (const QString& name : stale) ASSERT_FALSE(WriteTextFileForSweep(name).isEmpty());
    // Not ours, or not a file: the sweep leaves them.
    const QStringList others{"shots.csv",
                             ".shots.csv.part",
                             "shots.csv.ghMnh6H1k2wQ.part",
                             ".shots.csv.ghMnh6H1k2w.part",
                             ".shots.csv.ghMnh6H1k2w-.part",
                             ".shots.csv.ghMnh6H1k2wQ.tmp"};
    for (const QString& name : others) ASSERT_FALSE(WriteTextFileForSweep(name).isEmpty());
    ASSERT_TRUE(QDir().mkpath(PathOf(".folder.ghMnh6H1k2wQ.part")));
    ASSERT_TRUE(QFile::link(PathOf("shots.csv"), PathOf(".link.ghMnh6H1k2wQ.part")));

    // A second copy writing at this moment holds its temporary file.
    const QString live = PathOf(".Chrono_473.txt.LiveLiveLive.part");
    TChild copy([&](int progress) {
        const int fd = ::open(QFile::encodeName(live).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 || ::flock(fd, LOCK_EX) != 0) ::_exit(1);
        Report(progress);
        ::pause();
    });
    ASSERT_TRUE(copy.Await(1));

    EXPECT_EQ(RemoveStaleTemporaryFiles(FDir.path()), stale.size());
    QStringList left = others;
    left << ".Chrono_473.txt.LiveLiveLive.part"
         << ".folder.ghMnh6H1k2wQ.part"
         << ".link.ghMnh6H1k2wQ.part";
    left.sort();
    EXPECT_EQ(Entries(), left);

    // Once that copy is gone its file is stale too.
    copy.Kill();
    EXPECT_EQ(RemoveStaleTemporaryFiles(FDir.path()), 1);
    EXPECT_FALSE(QFileInfo::exists(live));
    EXPECT_EQ(RemoveStaleTemporaryFiles(PathOf("no such folder")), 0);
}

TEST_P(Files, SweepNeverTakesTheTemporaryFileOfAWriteInProgress) {
    // Writers and sweeps at once: no write fails and every file is whole.
    const QString file = PathOf("Chrono.ini");
    const QByteArray a(512 * 1024, 'a');
    std::atomic<bool> done{false};
    std::atomic<int> failures{0};
    std::thread writer([&] {
        for (int i = 0; i < 60; ++i) {
            try {
                WriteFileReplacing(file, a);
                WriteNewFile(PathOf(QStringLiteral("AS_%1.txt").arg(i)), a);
            } catch (const std::exception&) {
                ++failures;
            }
        }
        done = true;
    });
    while (!done) RemoveStaleTemporaryFiles(FDir.path());
    writer.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(ReadAll(file), a);
    EXPECT_EQ(Entries().size(), 61);
}

INSTANTIATE_TEST_SUITE_P(TemporaryFiles, Files, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "Unnamed" : "Named";
                         });
