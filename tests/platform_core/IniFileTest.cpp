#include <climits>
#include <functional>
#include <random>
#include <string_view>

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "platform/core/IniFile.h"
#include "platform/core/ScopeGuard.h"
#include "support/CoreSupport.h"
#include "support/OpenCounter.h"

using namespace std::string_view_literals;

namespace {

QByteArray Bytes(std::string_view text) {
    return QByteArray(text.data(), qsizetype(text.size()));
}

bool RunningAsRoot() {
    return ::geteuid() == 0;
}

class IniFileTest : public ::testing::Test {
protected:
    QString Path(const QString& name) const { return FDir.filePath(name); }
    QStringList Entries() const {
        return QDir(FDir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    QTemporaryDir FDir;
};

TEST_F(IniFileTest, MissingOrEmptyFileReadsDefaultsAndFirstWriteCreatesIt) {
    for (const bool empty : {false, true}) {
        SCOPED_TRACE(empty ? "empty file" : "missing file");
        const QString path = Path(empty ? "empty.ini" : "missing.ini");
        if (empty) WriteTextFile(path, {});
        TIniFile ini(path);
        EXPECT_EQ(ini.FileName(), path);
        EXPECT_EQ(ini.ReadString("S", "k", "def"), "def");
        EXPECT_EQ(ini.ReadInteger("S", "k", 7), 7);
        EXPECT_TRUE(ini.ReadBool("S", "k", true));
        EXPECT_FALSE(ini.SectionExists("S"));
        EXPECT_FALSE(ini.ValueExists("S", "k"));
        EXPECT_TRUE(ini.ReadSection("S").isEmpty());
        EXPECT_TRUE(ini.ReadSections().isEmpty());
        ini.DeleteKey("S", "k");
        ini.EraseSection("S");
        EXPECT_EQ(QFileInfo::exists(path), empty) << "reads and no-op deletes create no file";

        ini.WriteString("S", "k", "v");
        EXPECT_EQ(ReadFileBytes(path), "[S]\nk=v\n");
    }
}

TEST_F(IniFileTest, ReadKindsFollowTheClassLibrary) {
    const QString path = Path("read.ini");
    WriteTextFile(path,
                  "[S]\n"
                  "dec=35\n"
                  "  spaced =   12  \n"
                  "hex1=$1F\n"
                  "hex2=0x1F\n"
                  "hex3=x1f\n"
                  "neg=-7\n"
                  "plus=+7\n"
                  "max=2147483647\n"
                  "over=2147483648\n"
                  "min=-2147483648\n"
                  "under=-2147483649\n"
                  "text=abc\n"
                  "trail=12abc\n"
                  "float=1.5\n"
                  "comma=2,5\n"
                  "empty=\n"
                  "two=2\n"
                  "zero=0\n"
                  "dup=first\n"
                  "dup=second\n");
    const TIniFile ini(path);

    struct IntCase {
        const char* Key;
        int Expected;  // read with the default 42
    };
    const IntCase ints[] = {
        {"dec", 35},    {"spaced", 12}, {"hex1", 31},     {"hex2", 31},  {"hex3", 31},
        {"neg", -7},    {"plus", 7},    {"max", INT_MAX}, {"over", 42},  {"min", INT_MIN},
        {"under", 42},  {"text", 42},   {"trail", 42},    {"float", 42}, {"empty", 42},
        {"absent", 42}, {"DEC", 35},
    };
    for (const IntCase& c : ints) EXPECT_EQ(ini.ReadInteger("s", c.Key, 42), c.Expected) << c.Key;

    struct BoolCase {
        const char* Key;
        bool Default;
        bool Expected;
    };
    const BoolCase bools[] = {
        {"two", false, true},   {"zero", true, false},    {"neg", false, true},
        {"text", true, true},   {"text", false, false},   {"empty", true, true},
        {"absent", true, true}, {"absent", false, false},
    };
    for (const BoolCase& c : bools) {
        EXPECT_EQ(ini.ReadBool("S", c.Key, c.Default), c.Expected) << c.Key << " " << c.Default;
    }

    EXPECT_EQ(ini.ReadString("S", "empty", "def"), "") << "present and empty is not the default";
    EXPECT_EQ(ini.ReadString("S", "absent", "def"), "def");
    EXPECT_EQ(ini.ReadString("S", "spaced", "def"), "12");
    EXPECT_EQ(ini.ReadString("S", "dup", "def"), "first");
    EXPECT_TRUE(ini.ValueExists("S", "empty"));
}

TEST(TryStrToInt, AcceptsOnlyTheClassLibrarySyntax) {
    struct Case {
        const char* Text;
        bool Ok;
        int Value;
    };
    const Case cases[] = {
        {"0", true, 0},
        {"  12", true, 12},
        {"\t5", true, 5},
        {"-$0A", true, -10},
        {"$7FFFFFFF", true, INT_MAX},
        {"0X10", true, 16},
        {"12 ", false, 0},
        {"", false, 0},
        {"+", false, 0},
        {"$", false, 0},
        {"0x", false, 0},
        {"ff", false, 0},
        {"$80000000", false, 0},
        {"99999999999999999999", false, 0},
        {"1e3", false, 0},
    };
    for (const Case& c : cases) {
        int value = -12345;
        EXPECT_EQ(TryStrToInt(c.Text, value), c.Ok) << c.Text;
        EXPECT_EQ(value, c.Ok ? c.Value : -12345) << c.Text;
    }
}

TEST_F(IniFileTest, WriteKindsGiveTheirTexts) {
    const QString path = Path("kinds.ini");
    TIniFile ini(path);
    ini.WriteInteger("K", "int", -35);
    ini.WriteBool("K", "yes", true);
    ini.WriteBool("K", "no", false);
    ini.WriteFloat("K", "one", 1.0);
    ini.WriteFloat("K", "quarter", 0.25);
    ini.WriteFloat("K", "third", 1.0 / 3.0);
    ini.WriteFloat("K", "hundred", 100.0);
    ini.WriteString("K", "empty", "");
    EXPECT_EQ(ReadFileBytes(path),
              "[K]\nint=-35\nyes=1\nno=0\none=1\nquarter=0.25\nthird=0.333333333333333\n"
              "hundred=100\nempty=\n");
    EXPECT_EQ(ini.ReadInteger("K", "int", 0), -35);
    EXPECT_TRUE(ini.ReadBool("K", "yes", false));
}

TEST_F(IniFileTest, EditsChangeOnlyTheirOwnLines) {
    struct Case {
        const char* Name;
        std::string_view Before;
        std::function<void(TIniFile&)> Edit;
        std::string_view After;
    };
    const Case cases[] = {
        {"replace in place keeps comments, blanks and unknown keys",
         "; top\n[A]\nx=1\n\nunknown = keep\n[B]\ny=2\n",
         [](TIniFile& i) { i.WriteString("A", "x", "9"); },
         "; top\n[A]\nx=9\n\nunknown = keep\n[B]\ny=2\n"},
        {"CRLF stays CRLF", "[A]\r\nx=1\r\ny=2\r\n",
         [](TIniFile& i) { i.WriteInteger("A", "y", 5); }, "[A]\r\nx=1\r\ny=5\r\n"},
        {"new key after the last key of a middle section", "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n",
         [](TIniFile& i) { i.WriteString("A", "z", "new"); },
         "[A]\r\nx=1\r\nz=new\r\n\r\n[B]\r\ny=2\r\n"},
        {"new key in a section without keys", "[A]\n; note\n[B]\n",
         [](TIniFile& i) { i.WriteString("A", "k", "v"); }, "[A]\nk=v\n; note\n[B]\n"},
        {"new section at the end of a CRLF file", "[A]\r\nx=1\r\n",
         [](TIniFile& i) { i.WriteBool("B", "b", true); }, "[A]\r\nx=1\r\n[B]\r\nb=1\r\n"},
        {"last line without line end, new key", "[A]\nx=1",
         [](TIniFile& i) { i.WriteString("A", "y", "2"); }, "[A]\nx=1\ny=2\n"},
        {"last line without line end, new section", "[A]\nx=1",
         [](TIniFile& i) { i.WriteString("B", "k", "v"); }, "[A]\nx=1\n[B]\nk=v\n"},
        {"byte-order mark kept, names match without case", "\xEF\xBB\xBF[A]\r\nx=1\r\n",
         [](TIniFile& i) { i.WriteString("a", "X", "2"); }, "\xEF\xBB\xBF[A]\r\nx=2\r\n"},
        {"a written line is key=value in the file's spelling", "[A]\n  key = old  \n",
         [](TIniFile& i) { i.WriteString("A", "KEY", "new"); }, "[A]\nkey=new\n"},
        {"no blank stays after the =", "[A]\nComPort= /dev/ttyS0\nk =   \n",
         [](TIniFile& i) {
             i.WriteString("A", "ComPort", "/dev/ttyUSB0");
             i.WriteString("A", "k", "v");
         },
         "[A]\nComPort=/dev/ttyUSB0\nk=v\n"},
        {"a key named like a header stays a key where it stands", "[A]\n[k=1\nx=2\n[B]\ny=3\n",
         [](TIniFile& i) { i.WriteString("A", "[k", "]"); }, "[A]\n[k=]\nx=2\n[B]\ny=3\n"},
        {"garbage lines kept byte for byte",
         "[A]\n\xFF\xFE\x00\x01junk\n\x80\n"
         "x=1\n"sv,
         [](TIniFile& i) { i.WriteString("A", "x", "2"); },
         "[A]\n\xFF\xFE\x00\x01junk\n\x80\n"
         "x=2\n"sv},
        {"lines before any section kept", "orphan=1\n; c\n[A]\nx=1\n",
         [](TIniFile& i) { i.WriteString("A", "x", "3"); }, "orphan=1\n; c\n[A]\nx=3\n"},
        {"first of duplicated keys is written", "[A]\nx=1\nx=2\n",
         [](TIniFile& i) { i.WriteString("A", "x", "3"); }, "[A]\nx=3\nx=2\n"},
        {"line breaks in a value cannot add lines", "[A]\nx=1\n",
         [](TIniFile& i) { i.WriteString("A", "x", "1\r\n[Evil]\nk=v"); },
         "[A]\nx=1  [Evil] k=v\n"},
        {"DeleteKey removes only that key", "[A]\nx=1\ny=2\n[B]\nx=3\n",
         [](TIniFile& i) { i.DeleteKey("a", "X"); }, "[A]\ny=2\n[B]\nx=3\n"},
        {"EraseSection removes every copy up to the next section",
         "[A]\nx=1\n; about B\n[B]\ny=2\n\n[C]\nz=3\n[b]\nw=4\n",
         [](TIniFile& i) { i.EraseSection("b"); }, "[A]\nx=1\n; about B\n[C]\nz=3\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const QString path = Path("edit.ini");
        WriteTextFile(path, Bytes(c.Before));
        TIniFile ini(path);
        c.Edit(ini);
        EXPECT_EQ(ReadFileBytes(path), Bytes(c.After));
    }
}

TEST_F(IniFileTest, OddFilesReadWithoutFailing) {
    struct Case {
        const char* Name;
        QByteArray Content;
        QStringList Sections;
        const char* Section;
        const char* Key;
        const char* Expected;  // read with the default "def"
    };
    std::mt19937 random(12345);
    QByteArray garbage;
    // No "[", "=" or carriage return, so that the garbage holds no section,
    // no key and no CRLF line end by chance.
    while (garbage.size() < 1 << 16) {
        const char c = char(random() & 0xFF);
        if (c != '[' && c != '=' && c != '\r') garbage.append(c);
    }
    const QByteArray longValue(4 << 20, 'x');

    const Case cases[] = {
        {"BOM and CRLF",
         "\xEF\xBB\xBF[Settings]\r\nStyle=3\r\n",
         {"Settings"},
         "settings",
         "STYLE",
         "3"},
        {"binary garbage", garbage, {}, "A", "x", "def"},
        {"garbage around a good section", garbage + "\n[A]\nx=5\n" + garbage, {"A"}, "A", "x", "5"},
        {"very long line", "[A]\nlong=" + longValue + "\nafter=1\n", {"A"}, "A", "after", "1"},
        {"keys before any section only", "a=1\nb=2\n", {}, "A", "a", "def"},
        {"header without closing bracket", "[A\nx=1\n", {}, "A", "x", "def"},
        {"key without name", "[A]\n=1\nx\n", {"A"}, "A", "x", "def"},
        {"comment line", "[A]\n;x=1\n", {"A"}, "A", ";x", "def"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const QString path = Path("odd.ini");
        WriteTextFile(path, c.Content);
        TIniFile ini(path);
        EXPECT_EQ(ini.ReadString(c.Section, c.Key, "def"), c.Expected);
        EXPECT_EQ(ini.ReadSections(), c.Sections);
        ini.ReadSection(c.Section);
        EXPECT_EQ(ini.ReadString("A", "long", "def").size(),
                  c.Content.contains("long=") ? longValue.size() : 3);

        // A write leaves whatever was there before untouched.
        ini.WriteString("Zz9", "k", "v");
        const QByteArray after = ReadFileBytes(path);
        EXPECT_TRUE(after.startsWith(c.Content));
        EXPECT_TRUE(after.endsWith("[Zz9]" +
                                   QByteArray(c.Content.contains("\r\n") ? "\r\n" : "\n") + "k=v" +
                                   QByteArray(c.Content.contains("\r\n") ? "\r\n" : "\n")));
        EXPECT_EQ(ini.ReadString("Zz9", "k", "def"), "v");
    }
}

TEST_F(IniFileTest, SectionsAndKeysAreListedInFileOrder) {
    const QString path = Path("list.ini");
    WriteTextFile(path, "[B]\nz=1\ny=\n[a]\nk=1\n[b]\nw=1\n[Empty]\n");
    const TIniFile ini(path);
    EXPECT_EQ(ini.ReadSections(), QStringList({"B", "a", "Empty"}));
    EXPECT_EQ(ini.ReadSection("b"), QStringList({"z", "y"}));
    EXPECT_TRUE(ini.SectionExists("EMPTY"));
    EXPECT_TRUE(ini.ReadSection("Empty").isEmpty());
}

TEST_F(IniFileTest, ReadSeesWritesOfAnotherObject) {
    const QString path = Path("shared.ini");
    TIniFile writer(path);
    const TIniFile reader(path);
    writer.WriteInteger("S", "n", 1);
    EXPECT_EQ(reader.ReadInteger("S", "n", 0), 1);
    writer.WriteInteger("S", "n", 2);
    EXPECT_EQ(reader.ReadInteger("S", "n", 0), 2);
}

TEST_F(IniFileTest, RefusedWriteRaisesAndChangesNothing) {
    struct Case {
        const char* Name;
        std::function<QString()> Prepare;  // returns the settings path
        QByteArray Content;                // expected content afterwards (empty: no file)
    };
    const QByteArray original = "[S]\nk=old\n";
    const Case cases[] = {
        {"parent is a regular file",
         [&] {
             WriteTextFile(Path("plain"), "x");
             return Path("plain/x.ini");
         },
         {}},
        {"folder does not exist", [&] { return Path("nofolder/x.ini"); }, {}},
        {"path is a folder",
         [&] {
             QDir(FDir.path()).mkdir("folder.ini");
             return Path("folder.ini");
         },
         {}},
        {"read-only file",
         [&] {
             WriteTextFile(Path("ro.ini"), original);
             QFile::setPermissions(Path("ro.ini"), QFile::ReadOwner | QFile::ReadGroup);
             return Path("ro.ini");
         },
         original},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const QString path = c.Prepare();
        const QStringList before = Entries();
        TIniFile ini(path);
        for (const std::function<void()>& write : std::initializer_list<std::function<void()>>{
                 [&] { ini.WriteString("S", "k", "new"); },
                 [&] { ini.WriteInteger("T", "n", 1); },
             }) {
            try {
                write();
                ADD_FAILURE() << "write reported success";
            } catch (const EIniFileException& e) {
                // The cause follows the text the user knows.
                EXPECT_TRUE(e.Message().startsWith("Unable to write to " +
                                                   QFileInfo(path).absoluteFilePath() + " ("))
                    << e.Message().toStdString();
                EXPECT_TRUE(e.Message().endsWith(")"));
                EXPECT_EQ(e.Message(), "Unable to write to " + QFileInfo(path).absoluteFilePath() +
                                           SystemErrorCause(e.Error()));
            }
        }
        EXPECT_EQ(Entries(), before) << "no temporary file left behind";
        if (!c.Content.isEmpty()) {
            EXPECT_EQ(ReadFileBytes(path), c.Content);
        }
        EXPECT_EQ(ini.ReadString("S", "k", "none"), c.Content.isEmpty() ? "none" : "old");
    }
}

TEST_F(IniFileTest, RefusedWriteInReadOnlyFolder) {
    if (RunningAsRoot()) GTEST_SKIP() << "permission bits do not stop root";
    const QString folder = Path("locked");
    ASSERT_TRUE(QDir(FDir.path()).mkdir("locked"));
    const QString path = folder + "/x.ini";
    WriteTextFile(path, "[S]\nk=old\n");
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0555), 0);
    TIniFile ini(path);
    EXPECT_THROW(ini.WriteString("S", "k", "new"), EIniFileException);
    EXPECT_THROW(ini.WriteString("S", "n", "new"), EIniFileException);
    ::chmod(QFile::encodeName(folder).constData(), 0755);
    EXPECT_EQ(ReadFileBytes(path), "[S]\nk=old\n");
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList({"x.ini"}));
}

TEST_F(IniFileTest, UnwritableFileWithWriteBitsIsRefusedForOrdinaryUsers) {
    if (RunningAsRoot()) GTEST_SKIP() << "permission bits do not stop root";
    const QString path = Path("other.ini");
    WriteTextFile(path, "[S]\nk=old\n");
    // Writable for the group and others only, not for the owner.
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0466), 0);
    TIniFile ini(path);
    EXPECT_THROW(ini.WriteString("S", "k", "new"), EIniFileException);
    EXPECT_EQ(ReadFileBytes(path), "[S]\nk=old\n");
}

TEST_F(IniFileTest, WriteKeepsPermissionsAndSymbolicLinks) {
    const QString real = Path("real.ini");
    WriteTextFile(real, "[S]\nk=1\n");
    ASSERT_EQ(::chmod(QFile::encodeName(real).constData(), 0640), 0);
    const QString link = Path("link.ini");
    ASSERT_TRUE(QFile::link(real, link));

    TIniFile ini(link);
    ini.WriteString("S", "k", "2");

    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(ReadFileBytes(real), "[S]\nk=2\n");
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(real).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(Entries(), QStringList({"link.ini", "real.ini"}));
}

}  // namespace

// Reads of a settled file are served from the parsed copy; any change to
// the file, even in place and of the same size, is seen at once.
TEST_F(IniFileTest, SettledFileIsReadAgainAfterAnyChange) {
    const QString path = Path("settled.ini");
    WriteTextFile(path, "[Settings]\nCNV=0\nMU=10\n");
    const QString other = Path("other.ini");
    WriteTextFile(other, "[Settings]\nCNV=7\n");
    // Older than the two seconds in which a change could hide in one
    // timestamp tick: written three seconds ago as far as the file's time and
    // the reads' clock go, so the in-place change below shows in the file's
    // time even where it keeps whole seconds only.
    for (const QString& file : {path, other}) {
        struct stat st {};
        ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &st), 0);
        const timespec times[2] = {st.st_atim, {st.st_mtim.tv_sec - 3, st.st_mtim.tv_nsec}};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(file).constData(), times, 0), 0);
    }
    SetIniFileClockAheadForTesting(std::chrono::seconds(3));
    const TScopeGuard realClock([] { SetIniFileClockAheadForTesting({}); });
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadInteger("Settings", "CNV", -1), 0);
    EXPECT_EQ(ini.ReadInteger("Settings", "CNV", -1), 0);              // from the parsed copy
    EXPECT_EQ(TIniFile(other).ReadInteger("Settings", "CNV", -1), 7);  // another file

    WriteTextFile(path, "[Settings]\nCNV=1\nMU=10\n");  // in place, same size
    EXPECT_EQ(ini.ReadInteger("Settings", "CNV", -1), 1);
    ini.WriteInteger("Settings", "MU", 11);  // our own write replaces the file
    EXPECT_EQ(ini.ReadInteger("Settings", "MU", -1), 11);
    QFile::remove(path);
    EXPECT_EQ(ini.ReadInteger("Settings", "CNV", -1), -1);
}

TEST_F(IniFileTest, WrittenKeyReadsBackExactlyAndNeighboursStayInTheirSection) {
    // Values and names that a plain "key=value" line would change on the
    // way back: blanks at either end, quotes, "=", "[" and "]".
    const QString values[] = {"",         " ",       " /dev/ttyUSB0", "x ",    "\"quoted\"",
                              "'one'",    "\"",      "\"\"",          "a=b",   "]",
                              "[A]",      "  [x]  ", "; not a note",  "\t9\t", "mid dle",
                              "'mixed\"", "ünïcode "};
    // A name may start with U+FEFF: only the file's first bytes are a
    // byte-order mark.
    const QString keys[] = {"k",
                            "[k",
                            "[k]",
                            "[k]x",
                            "k]",
                            "k k",
                            "[",
                            "[A",
                            " padded ",
                            QString(QChar(0xFEFF)) + "k",
                            QString(QChar(0xFEFF))};
    for (const QString& key : keys) {
        for (const QString& value : values) {
            SCOPED_TRACE((key + " = <" + value + ">").toStdString());
            const QString path = Path("roundtrip.ini");
            // The key already stands in the file with an older value.
            WriteTextFile(path, "[A]\nbefore=1\n" + key.toUtf8() + "=old\nafter=2\n[B]\nb=3\n");
            TIniFile ini(path);
            ASSERT_EQ(ini.ReadString("A", key, "def"), "old");
            ini.WriteString("A", key, value);
            EXPECT_EQ(ini.ReadString("A", key, "def"), value);
            ini.WriteString("A", key, value);  // a second write changes nothing
            EXPECT_EQ(ini.ReadString("A", key, "def"), value);
            EXPECT_EQ(ini.ReadString("A", "before", "def"), "1");
            EXPECT_EQ(ini.ReadString("A", "after", "def"), "2");
            EXPECT_EQ(ini.ReadString("B", "b", "def"), "3");
            EXPECT_EQ(ini.ReadSections(), (QStringList{"A", "B"}));
            EXPECT_EQ(ini.ReadSection("A"), (QStringList{"before", key.trimmed(), "after"}));

            // The same when the key is new to the file.
            QFile::remove(path);
            ini.WriteString("A", "before", "1");
            ini.WriteString("A", key, value);
            ini.WriteString("A", "after", "2");
            EXPECT_EQ(ini.ReadString(" A\n", key, "def"), value);
            EXPECT_EQ(ini.ReadSection("A"), (QStringList{"before", key.trimmed(), "after"}));
        }
    }
    // Values wrapped in quotes by hand, as other programs write them.
    const QString path = Path("quoted.ini");
    WriteTextFile(path, "[A]\nFolder=\"C:\\My Shots\"\nName = ' x '\nHalf=\"open\n");
    const TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("A", "Folder", "def"), "C:\\My Shots");
    EXPECT_EQ(ini.ReadString("A", "Name", "def"), " x ");
    EXPECT_EQ(ini.ReadString("A", "Half", "def"), "\"open");
}

TEST_F(IniFileTest, WriteThatChangesNothingLeavesAReadOnlyFileAlone) {
    const QString path = Path("complete.ini");
    const QByteArray content = "[S]\r\nk=v\r\nn=5\r\nb=1\r\n";
    WriteTextFile(path, content);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup);
    TIniFile ini(path);
    ini.WriteString("S", "k", "v");
    ini.WriteInteger("s", "N", 5);
    ini.WriteBool("S", "b", true);
    EXPECT_EQ(ReadFileBytes(path), content);
    try {
        ini.WriteString("S", "k", "w");
        ADD_FAILURE() << "a real change reported success";
    } catch (const EIniFileException& e) {
        EXPECT_EQ(e.Message(), "Unable to write to " + QFileInfo(path).absoluteFilePath() +
                                   " (Permission denied)");
    }
    EXPECT_EQ(ReadFileBytes(path), content);
}

// A file of the user's that has grown huge (comments, a key repeated a
// hundred thousand times, a later copy of a section, no line end at the
// end): writes change only their own lines, and every key reads as before
// after each write, also the keys after the place the file changed.
TEST_F(IniFileTest, WritesToAHugeFileKeepEveryUserLine) {
    const QString path = Path("huge.ini");
    QByteArray notes = "[Notes]\r\n";
    for (int i = 0; i < 100000; ++i) {
        if (i % 1000 == 0) notes += "; day " + QByteArray::number(i) + "\r\n";
        notes += "Shot=" + QByteArray::number(700 + i % 200) + ".5\r\n";
    }
    const QByteArray before = "[Settings]\r\nMU=10\r\n" + notes + "[Settings]\r\nCNV=1\r\nlast=end";
    WriteTextFile(path, before);
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("Notes", "Shot", "def"), "700.5");
    EXPECT_EQ(ini.ReadString("Settings", "CNV", "def"), "def") << "a later copy counts for nothing";

    ini.WriteInteger("Settings", "MU", 11);     // replaced before the notes
    ini.WriteInteger("Settings", "CNV", 0);     // added to the first copy
    ini.WriteString("Notes", "Extra", "x");     // added after the last repeated key
    ini.WriteString("AUTOSAVE", "INDEX", "7");  // a new section after the open last line
    ini.WriteString("AUTOSAVE", "INDEX", "8");
    ini.WriteInteger("Settings", "MU", 10);
    EXPECT_EQ(ReadFileBytes(path), "[Settings]\r\nMU=10\r\nCNV=0\r\n" + notes +
                                       "Extra=x\r\n[Settings]\r\nCNV=1\r\nlast=end\r\n"
                                       "[AUTOSAVE]\r\nINDEX=8\r\n");
    EXPECT_EQ(ini.ReadString("Notes", "Shot", "def"), "700.5");
    EXPECT_EQ(ini.ReadString("Notes", "Extra", "def"), "x");
    EXPECT_EQ(ini.ReadString("Settings", "CNV", "def"), "0");
    EXPECT_EQ(ini.ReadString("AUTOSAVE", "INDEX", "def"), "8");
    EXPECT_EQ(ini.ReadSection("Notes"), (QStringList{"Shot", "Extra"}));
    EXPECT_EQ(ini.ReadSections(), (QStringList{"Settings", "Notes", "AUTOSAVE"}));

    // The last line without its line end keeps its key when one is added
    // after it.
    WriteTextFile(path, "noeol=1\n[S]\nk=v");
    TIniFile small(path);
    small.WriteString("S", "k2", "w");
    EXPECT_EQ(ReadFileBytes(path), "noeol=1\n[S]\nk=v\nk2=w\n");
    EXPECT_EQ(small.ReadString("S", "k", "def"), "v");
    EXPECT_EQ(small.ReadString("S", "k2", "def"), "w");
}

TEST_F(IniFileTest, SnapshotReadsWhatTheFileReads) {
    const std::string_view files[] = {
        "[Settings]\nCNV=1\nMU=11\n",
        "\xEF\xBB\xBF[settings]\r\n cnv = 2 \r\nMU=\"  x  \"\r\n",
        "[Settings]\nCNV=1\nCNV=2\n[Settings]\nMU=5\n[AUTOSAVE]\nAUT='3'\n",
        "garbage\n=no name\n[Settings\nCNV=x\n[AUTOSAVE]\n; AUT=1\nAUT=$10\n",
        "[Settings]\nCNV=99999999999\nMU=-0\n[Empty]\n",
        "",
    };
    const struct {
        const char* Section;
        const char* Key;
    } probes[] = {{"Settings", "CNV"}, {"SETTINGS", "mu"}, {"AUTOSAVE", "AUT"},
                  {"Empty", "x"},      {"Nowhere", "k"},   {" Settings ", " CNV "}};
    for (const std::string_view file : files) {
        SCOPED_TRACE(std::string(file));
        const QString path = Path("same.ini");
        WriteTextFile(path, Bytes(file));
        const TIniFile ini(path);
        TIniFileSnapshot snapshot(path);
        EXPECT_TRUE(snapshot.Refresh());
        EXPECT_TRUE(snapshot.Exists());
        for (const auto& p : probes) {
            SCOPED_TRACE(std::string(p.Section) + "/" + p.Key);
            EXPECT_EQ(snapshot.ReadString(p.Section, p.Key, "def"),
                      ini.ReadString(p.Section, p.Key, "def"));
            EXPECT_EQ(snapshot.ReadInteger(p.Section, p.Key, -7),
                      ini.ReadInteger(p.Section, p.Key, -7));
            EXPECT_EQ(snapshot.ReadBool(p.Section, p.Key, true),
                      ini.ReadBool(p.Section, p.Key, true));
            EXPECT_EQ(snapshot.ValueExists(p.Section, p.Key), ini.ValueExists(p.Section, p.Key));
        }
    }
    // Nothing read yet, no file, a folder: every read its default.
    TIniFileSnapshot unread(Path("same.ini"));
    EXPECT_EQ(unread.ReadInteger("Settings", "CNV", -1), -1);
    for (const QString& path : {Path("missing.ini"), FDir.path()}) {
        TIniFileSnapshot snapshot(path);
        snapshot.Refresh();
        EXPECT_EQ(snapshot.Exists(), path == FDir.path());
        EXPECT_EQ(snapshot.ReadString("Settings", "CNV", "def"), "def");
        EXPECT_FALSE(snapshot.Refresh()) << "nothing changed";
    }
}

TEST_F(IniFileTest, SnapshotOpensAnUnchangedFileNeverAndSeesEveryChange) {
    const QString path = Path("watched.ini");
    WriteTextFile(path, "[Settings]\nCNV=0\nMU=10\n");
    TIniFileSnapshot snapshot(path);
    {
        // Read long after its last change as far as the reads' clock goes.
        SetIniFileClockAheadForTesting(std::chrono::seconds(3));
        const TScopeGuard realClock([] { SetIniFileClockAheadForTesting({}); });
        TOpenCounter opens(path);
        ASSERT_TRUE(opens.IsValid());
        EXPECT_TRUE(snapshot.Refresh());
        EXPECT_EQ(opens.Take(), 1);
        for (int i = 0; i < 1000; ++i) EXPECT_FALSE(snapshot.Refresh());
        EXPECT_EQ(opens.Take(), 0);
        EXPECT_EQ(snapshot.ReadInteger("Settings", "CNV", -1), 0);
    }

    // With the real clock, each change right after a reading: a copy read
    // within a timestamp tick of the change is not trusted and read again,
    // so even an edit in place that keeps the size shows at once.
    const struct {
        const char* Name;
        std::function<void()> Change;
        int Cnv;
    } changes[] = {
        {"in place, same size", [&] { WriteTextFile(path, "[Settings]\nCNV=1\nMU=10\n"); }, 1},
        {"in place again", [&] { WriteTextFile(path, "[Settings]\nCNV=2\nMU=10\n"); }, 2},
        {"a write of the program", [&] { TIniFile(path).WriteInteger("Settings", "CNV", 3); }, 3},
        {"replaced by a rename",
         [&] {
             WriteTextFile(Path("new.ini"), "[Settings]\nCNV=4\n");
             ASSERT_EQ(::rename(QFile::encodeName(Path("new.ini")).constData(),
                                QFile::encodeName(path).constData()),
                       0);
         },
         4},
        {"removed", [&] { QFile::remove(path); }, -1},
        {"made again", [&] { WriteTextFile(path, "[Settings]\nCNV=5\n"); }, 5},
    };
    for (const auto& c : changes) {
        SCOPED_TRACE(c.Name);
        c.Change();
        snapshot.Refresh();
        EXPECT_EQ(snapshot.ReadInteger("Settings", "CNV", -1), c.Cnv);
        EXPECT_EQ(snapshot.Exists(), c.Cnv != -1);
    }
}
