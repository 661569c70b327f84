#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "platform/core/IniFile.h"
#include "platform/core/Paths.h"
#include "storage/ProgramFolder.h"
#include "storage/core/OutputNaming.h"
#include "storage/core/Settings.h"

namespace {

// "{P}" is the executable's folder, "{D}" the Documents folder, "{R}" the
// temporary root; each ends in "/".
QString Expand(QString text, const TProgramFolder& program) {
    return text.replace("{P}", program.Prog())
        .replace("{D}", program.Docs())
        .replace("{R}", program.Root());
}

TEST(BuildOutputPath, NamesFilesFromTheOutputSections) {
    struct Case {
        const char* Section;
        const char* Extension;
        const char* Tag;
        const char* Before;  // settings file before; nullptr: none
        const char* Path;
        const char* After;  // settings file after; nullptr: unchanged
    };
    const Case cases[] = {
        {"TXTCSV", ".txt", "", nullptr, "{P}MYSHOTS/Chrono_001.txt",
         "[TXTCSV]\nFolder=./MYSHOTS\nFileName=Chrono_$\nINDEX=001\n"},
        {"IMG", ".jpg", "SYM", nullptr, "{P}IMG/StatSYM_001.jpg",
         "[IMG]\nFolder=./IMG\nFileName=Stat%_$\nINDEX=001\n"},
        {"IMG", ".jpg", "", "[IMG]\nFolder=./IMG\nFileName=Stat%_$\nINDEX=\n", "{P}IMG/Stat.jpg",
         nullptr},
        {"IMG", ".jpg", "CMP", "[IMG]\nFolder=./IMG\nFileName=Stat%_$\nINDEX=\n",
         "{P}IMG/StatCMP.jpg", nullptr},
        {"AUTOSAVE", ".csv", "", nullptr, "{P}AUTOSAVE/Chrono_001.csv",
         "[AUTOSAVE]\nFolder=./AUTOSAVE\nFileName=Chrono_$\nINDEX=001\n"},
        {"TXTCSV", ".txt", "", "[TXTCSV]\nFolder=.\nFileName=Chrono_$\nINDEX=\n", "{D}Chrono.txt",
         nullptr},
        {"TXTCSV", ".txt", "", "[TXTCSV]\nFolder={R}Data\nFileName=run-$-x\nINDEX=\n",
         "{R}Data/runx.txt", nullptr},
        {"TXTCSV", ".csv", "", "[TXTCSV]\nFolder=./out/\nFileName=A__$\nINDEX=\n", "{P}out/A_.csv",
         nullptr},
        {"TXTCSV", ".txt", "", "[TXTCSV]\nFolder=shots\nFileName=$\nINDEX=\n", "{P}shots/.txt",
         nullptr},
        {"TXTCSV", ".txt", "", "[TXTCSV]\nFolder=x\nFileName=My_$_$\nINDEX=7\n", "{P}x/My_7_$.txt",
         nullptr},
        {"TXTCSV", ".txt", "", "[TXTCSV]\nFolder=x\nFileName=$-run\nINDEX=\n", "{P}x/run.txt",
         nullptr},
        {"IMG", ".jpg", "SYM", "[IMG]\nFolder=x\nFileName=Report_$\nINDEX=3\n", "{P}x/Report_3.jpg",
         nullptr},
        {"IMG", ".jpg", "DV", "[IMG]\nFolder=./IMG\nFileName=%%$\nINDEX=01\n", "{P}IMG/DV%01.jpg",
         nullptr},
        {"TXTCSV", ".txt", "", "[TXTCSV]\nFolder=./\nFileName=Chrono\nINDEX=005\n", "{P}Chrono.txt",
         nullptr},
        {"TXTCSV", ".txt", "", "[TXTCSV]\nFolder=x\nFileName=   \n", "{P}x/Chrono_001.txt",
         "[TXTCSV]\nFolder=x\nFileName=Chrono_$\nINDEX=001\n"},
        {"TXTCSV", ".txt", "", "[TXTCSV]\nFolder=x\nFileName=\nINDEX=\n", "{P}x/Chrono.txt",
         "[TXTCSV]\nFolder=x\nFileName=Chrono_$\nINDEX=\n"},
        {"TXTCSV", ".txt", "", "[TXTCSV]\nFolder=   \nFileName=A\n", "{P}MYSHOTS/A.txt",
         "[TXTCSV]\nFolder=./MYSHOTS\nFileName=A\n"},
        // Forms written on Windows.
        {"AUTOSAVE", ".csv", "", "[AUTOSAVE]\nFolder=.\\auto\nFileName=A\n", "{P}auto/A.csv",
         nullptr},
        {"TXTCSV", ".txt", "", "[TXTCSV]\nFolder=..\\shots\nFileName=A\n", "{P}../shots/A.txt",
         nullptr},
        // Section names pick their defaults by exact name.
        {"img", ".jpg", "", nullptr, "{P}MYSHOTS/Chrono_001.jpg",
         "[img]\nFolder=./MYSHOTS\nFileName=Chrono_$\nINDEX=001\n"},
        // Pattern, tag and index can never leave the folder.
        {"TXTCSV", ".txt", "", "[TXTCSV]\nFolder=x\nFileName=../../evil_$\nINDEX=1\n",
         "{P}x/.._.._evil_1.txt", nullptr},
        {"IMG", ".jpg", "../t", "[IMG]\nFolder=x\nFileName=a/b%\n", "{P}x/a_b.._t.jpg", nullptr},
        {"IMG", ".jpg", "..\\t", "[IMG]\nFolder=x\nFileName=%\n", "{P}x/.._t.jpg", nullptr},
        {"TXTCSV", ".txt", "", "[TXTCSV]\nFolder=x\nFileName=$\nINDEX=../../y\n",
         "{P}x/.._.._y.txt", nullptr},
        {"TXTCSV", ".txt", "", "[TXTCSV]\nFolder=x\nFileName=a\\b\n", "{P}x/a_b.txt", nullptr},
    };
    // Readying the section alone (PrepareOutputSection) writes the same
    // defaults and makes the same folder as building the path.
    for (const Case& c : cases) {
        for (const bool build : {true, false}) {
            SCOPED_TRACE(std::string(build ? "BuildOutputPath " : "PrepareOutputSection ") +
                         c.Section + " " + c.Tag + " " + (c.Before ? c.Before : "none"));
            const TProgramFolder program;
            if (c.Before) program.WriteIni(Expand(c.Before, program).toUtf8());
            const QByteArray before = program.ReadIni();
            const QString expected = Expand(c.Path, program);

            if (build)
                EXPECT_EQ(BuildOutputPath(c.Section, c.Extension, c.Tag), expected);
            else
                PrepareOutputSection(c.Section);

            EXPECT_TRUE(QFileInfo(QFileInfo(expected).path()).isDir()) << "folder created";
            EXPECT_EQ(program.ReadIni(), c.After ? QByteArray(c.After) : before);
        }
    }
}

TEST(BuildOutputPath, FolderThatCannotBeCreatedIsLeftToTheWriter) {
    const TProgramFolder program;
    QFile plain(program.Root() + "plain");
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    program.WriteIni(Expand("[TXTCSV]\nFolder={R}plain/sub\n", program).toUtf8());
    // The path comes back all the same: the caller's dialog or write decides.
    EXPECT_EQ(BuildOutputPath("TXTCSV", ".txt", ""), program.Root() + "plain/sub/Chrono_001.txt");
    EXPECT_EQ(
        program.ReadIni(),
        Expand("[TXTCSV]\nFolder={R}plain/sub\nFileName=Chrono_$\nINDEX=001\n", program).toUtf8());
    EXPECT_EQ(NearestExistingFolder(program.Root() + "plain/sub/"), program.Root());
}

TEST(BuildOutputPath, FolderStartingWithAColonIsAPlainFolder) {
    const TProgramFolder program;
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(program.Root()));
    program.WriteIni("[AUTOSAVE]\nFolder=:shots\nFileName=run\n");
    const QString path = BuildOutputPath("AUTOSAVE", ".csv", "");
    QDir::setCurrent(before);
    EXPECT_EQ(path, program.Prog() + ":shots/run.csv");
    EXPECT_TRUE(QFileInfo(program.Prog() + ":shots").isDir());
    // Nothing appears in the process's current folder.
    EXPECT_EQ(QDir(program.Root()).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
              (QStringList{"Prog"}));
    EXPECT_EQ(ResolveFolder(":shots"), program.Prog() + ":shots/");
}

TEST(OutputNaming, NearestExistingFolderWalksUpToAFolderThatExists) {
    const TProgramFolder program;
    const QString root = program.Root();
    const struct {
        QString Folder;
        QString Expected;
    } cases[] = {
        {root + "Prog/", root + "Prog/"},
        {root + "Prog", root + "Prog/"},
        {root + "Prog/a/b/c/", root + "Prog/"},
        {root + "none/x", root},
        {"/", "/"},
        {"relative/none", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Folder.toStdString());
        EXPECT_EQ(NearestExistingFolder(c.Folder), c.Expected);
    }
}

TEST(BuildOutputPath, SettingsFileThatCannotBeWrittenRaises) {
    const TProgramFolder program;
    SetExecutablePathForTesting(program.Root() + "missing/tarvex");
    EXPECT_THROW(BuildOutputPath("TXTCSV", ".txt", ""), EIniFileException);
}

TEST(OutputNaming, SafeFileNameKeepsNamesInTheirFolder) {
    struct Case {
        const char* Name;
        const char* Expected;
    };
    const Case cases[] = {{".", "_"},
                          {"..", "__"},
                          {"...", "..."},
                          {"a/b\\c", "a_b_c"},
                          {"x\ty\n", "x_y_"},
                          {"Chrono_001.txt", "Chrono_001.txt"},
                          {"../x.txt", ".._x.txt"}};
    for (const Case& c : cases) EXPECT_EQ(SafeFileName(c.Name), c.Expected) << c.Name;
}

TEST(OutputNaming, ResolveFolderFollowsTheFolderRules) {
    const TProgramFolder program;
    struct Case {
        const char* Folder;
        const char* Expected;
    };
    const Case cases[] = {
        {"", "{D}"},           {".", "{D}"},           {"./", "{P}"},
        {"./a", "{P}a/"},      {".\\a\\b", "{P}a/b/"}, {"a", "{P}a/"},
        {"../a/", "{P}../a/"}, {"{R}abs", "{R}abs/"},  {"{R}abs/", "{R}abs/"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ResolveFolder(Expand(c.Folder, program)), Expand(c.Expected, program))
            << c.Folder;
    }
    EXPECT_FALSE(QFileInfo::exists(program.Docs())) << "resolving creates nothing";
}

TEST(OutputNaming, IndexUseAndIncrement) {
    struct Case {
        const char* FileName;
        const char* Index;  // nullptr: no INDEX key
        bool UsesIndex;
        const char* After;  // INDEX after IncrementIndex; nullptr: still absent
    };
    const Case cases[] = {
        {"Chrono_$", "001", true, "002"},
        {"Chrono_$", "009", true, "010"},
        {"Chrono_$", "0009", true, "0010"},
        {"Chrono_$", "9", true, "10"},
        {"Chrono_$", "999", true, "1000"},
        {"Chrono_$", "0", true, "1"},
        {"Chrono_$", "abc", true, "abc"},
        {"Chrono_$", "$0A", true, "011"},
        {"Chrono_$", "-05", true, "-04"},
        // The largest index stays: its successor would not read back.
        {"Chrono_$", "2147483647", true, "2147483647"},
        {"Chrono_$", "2147483646", true, "2147483647"},
        {"Chrono_$", "$7FFFFFFF", true, "$7FFFFFFF"},
        {"Chrono_$", "99999999999", true, "99999999999"},
        {"Chrono_$", "", false, ""},
        {"Chrono", "005", false, "005"},
        {"   ", "005", false, "005"},
        {"Chrono_$", nullptr, false, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.FileName) + " / " + (c.Index ? c.Index : "absent"));
        const TProgramFolder program;
        QByteArray ini = QByteArray("[IMG]\nFileName=") + c.FileName + "\n";
        if (c.Index) ini += QByteArray("INDEX=") + c.Index + "\n";
        program.WriteIni(ini);

        EXPECT_EQ(FileNameUsesIndex("IMG"), c.UsesIndex);
        const bool advanced = IncrementIndex("IMG");
        EXPECT_EQ(advanced, c.After && QByteArray(c.After) != QByteArray(c.Index ? c.Index : ""));

        const TIniFile file(program.Ini());
        EXPECT_EQ(file.ValueExists("IMG", "INDEX"), c.After != nullptr);
        if (c.After) {
            EXPECT_EQ(file.ReadString("IMG", "INDEX", "absent"), c.After);
        }
    }
}

TEST(OutputNaming, WithoutSettingsFileTheIndexIsNotUsed) {
    const TProgramFolder program;
    EXPECT_FALSE(FileNameUsesIndex("TXTCSV"));
    IncrementIndex("TXTCSV");
    EXPECT_FALSE(QFileInfo::exists(program.Ini()));
}

TEST(OutputNaming, ExpandFileNamePatternUsesFirstMarksOnly) {
    struct Case {
        const char* Pattern;
        const char* Tag;
        const char* Index;
        const char* Expected;
    };
    const Case cases[] = {
        {"Stat%_$", "SYM", "001", "StatSYM_001"},
        {"Stat%_$", "", "", "Stat"},
        {"%%$", "DV", "01", "DV%01"},
        {"run-$-x", "", "", "runx"},
        {"A__$", "", "", "A_"},
        {"$", "", "", ""},
        {"My_$_$", "", "7", "My_7_$"},
        {"$-run", "", "", "run"},
        {"-$_", "", "", ""},
        {"a$b", "", "", "ab"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ExpandFileNamePattern(c.Pattern, c.Tag, c.Index), c.Expected) << c.Pattern;
    }
}

}  // namespace
