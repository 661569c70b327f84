// Replacing and new-file writes on real files in a temporary folder: what a
// failed write leaves, what two writers at once leave, and that no link
// planted in the folder is ever followed.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include <sys/stat.h>

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

class Files : public ::testing::Test {
protected:
    QString PathOf(const QString& name) const { return FDir.filePath(name); }
    // Every entry of the folder, hidden ones and links included.
    QStringList Entries() const {
        return QDir(FDir.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                       QDir::Name);
    }
    QTemporaryDir FDir;
};

}  // namespace

TEST_F(Files, ReplacingKeepsModeAndLinkAndLeavesNothingElse) {
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

TEST_F(Files, FailedWritesLeaveTheOldFileAndNoTemporaryFile) {
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

TEST_F(Files, LinksPlantedAtTheOldTemporaryNamesAreNeverFollowed) {
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

TEST_F(Files, TwoWritersOfOneFileEachLeaveItWhole) {
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

TEST_F(Files, NewFileNeverReplacesAnythingOfItsName) {
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
