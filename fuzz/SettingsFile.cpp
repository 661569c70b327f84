// The settings-file reader and writer, TIniFile.
//
// Input: the file's bytes, then a section, a key and a value, cut at NUL
// bytes. Properties: reading never fails; a key written reads back exactly
// (any value on one line, blanks and quotes included; any name the file
// syntax can hold: no "=" and no "]" in a section, no "=" and no leading ";"
// in a key, no blanks around a name); every other key reads as before, and no
// key appears or goes but the one written.
#include <map>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "fuzz/FuzzSupport.h"
#include "platform/core/IniFile.h"

namespace {

// The file lives in memory where there is a memory file system: every write
// syncs to the disk.
const QString& FilePath() {
    static QTemporaryDir folder(QDir(QStringLiteral("/dev/shm")).exists()
                                    ? QStringLiteral("/dev/shm/tarvex-fuzz-XXXXXX")
                                    : QDir::tempPath() + QStringLiteral("/tarvex-fuzz-XXXXXX"));
    static const QString path = folder.path() + QStringLiteral("/settings.ini");
    return path;
}

// A name as the program could give one: valid text without control
// characters or blanks around it.
bool PlainName(const QString& text) {
    if (text.isEmpty() || !text.isValidUtf16()) return false;
    for (const QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) return false;
    return text.trimmed() == text;
}

bool WritableSection(const QString& name) {
    return PlainName(name) && !name.contains(QLatin1Char(']')) && !name.contains(QLatin1Char('='));
}

bool WritableKey(const QString& name) {
    return PlainName(name) && !name.contains(QLatin1Char('=')) &&
           !name.startsWith(QLatin1Char(';'));
}

// Any value a control could hold on one line, blanks and quotes included.
bool WritableValue(const QString& value) {
    if (!value.isValidUtf16()) return false;
    for (const QChar c : value)
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c.unicode() == 0) return false;
    return true;
}

using TSnapshot = std::map<std::pair<QString, QString>, QString>;

// Every key of every section as the reads see it; names in lower case.
TSnapshot Snapshot(const TIniFile& ini, QStringList& sections) {
    TSnapshot snapshot;
    sections = ini.ReadSections();
    for (const QString& section : sections) {
        for (const QString& key : ini.ReadSection(section)) {
            snapshot[{section.toLower(), key.toLower()}] =
                ini.ReadString(section, key, QStringLiteral("\x01missing"));
        }
    }
    return snapshot;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto fields = fuzz::Fields(data, size, 4);
    const QString section = fuzz::Text(fields[1]);
    const QString key = fuzz::Text(fields[2]);
    const QString value = fuzz::Text(fields[3]);
    {
        QFile file(FilePath());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
        file.write(fields[0].data(), qint64(fields[0].size()));
    }
    TIniFile ini(FilePath());
    QStringList sectionsBefore;
    const TSnapshot before = Snapshot(ini, sectionsBefore);
    // Reads of anything at all give a value or the default, never a failure.
    ini.ReadString(section, key, QString());
    ini.ReadInteger(section, key, 0);
    ini.ReadBool(section, key, false);

    if (!WritableSection(section) || !WritableKey(key) || !WritableValue(value)) return 0;
    try {
        ini.WriteString(section, key, value);
    } catch (const EIniFileException&) {
        return 0;  // the temporary folder went away; nothing to check
    }
    const QString detail = QStringLiteral("[%1] %2=%3").arg(section, key, value);
    fuzz::Require(ini.ReadString(section, key, QStringLiteral("\x01missing")) == value,
                  "a key written reads back exactly", detail);

    QStringList sectionsAfter;
    const TSnapshot after = Snapshot(ini, sectionsAfter);
    for (const auto& [name, old] : before) {
        if (name.first == section.toLower() && name.second == key.toLower()) continue;
        const auto found = after.find(name);
        fuzz::Require(found != after.end() && found->second == old,
                      "the other keys stay where they were",
                      detail + QStringLiteral(" moved [%1] %2").arg(name.first, name.second));
    }
    for (const auto& [name, now] : after) {
        if (name.first == section.toLower() && name.second == key.toLower()) continue;
        fuzz::Require(before.count(name) == 1, "no other key appears",
                      detail + QStringLiteral(" added [%1] %2").arg(name.first, name.second));
    }
    return 0;
}
