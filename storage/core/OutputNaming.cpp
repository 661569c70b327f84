#include "storage/core/OutputNaming.h"

#include <cstdlib>
#include <limits>

#include <QDir>
#include <QFileInfo>

#include "platform/core/IniFile.h"
#include "platform/core/Paths.h"
#include "platform/core/Trim.h"
#include "storage/core/Settings.h"
#include "storage/core/SettingsKeys.h"

namespace {

QString FolderMessage(const QString& folder) {
    if (folder.isEmpty()) return QStringLiteral("Unable to create directory");
    return QStringLiteral("Unable to create directory %1").arg(folder);
}

QString ExecutableFolder() {
    QString folder = QFileInfo(ExecutablePath()).absolutePath();
    if (!folder.endsWith(u'/')) folder += u'/';
    return folder;
}

bool IsNameSeparator(QChar c) {
    return c == u'_' || c == u'-';
}

}  // namespace

EOutputFolderError::EOutputFolderError(const QString& folder)
    : Exception(FolderMessage(folder)), FFolder(folder) {}

TOutputDefaults OutputSectionDefaults(const QString& section) {
    if (section == QLatin1String(SectionImg)) {
        return {Setting::ImgFolder.FileValue, Setting::ImgFileName.FileValue,
                Setting::ImgIndex.FileValue};
    }
    if (section == QLatin1String(SectionAutoSave)) {
        return {Setting::AutoSaveFolder.FileValue, Setting::AutoSaveFileName.FileValue,
                Setting::AutoSaveIndex.FileValue};
    }
    return {Setting::TxtCsvFolder.FileValue, Setting::TxtCsvFileName.FileValue,
            Setting::TxtCsvIndex.FileValue};
}

QString ResolveFolder(const QString& folder) {
    // Settings files written on Windows hold forms such as ".\shots"; a
    // backslash in a folder name is far less likely than such a file.
    QString text = folder;
    text.replace(u'\\', u'/');

    QString result;
    if (text.isEmpty() || text == u".") {
        result = DocumentsPath();
    } else if (text.startsWith(QStringLiteral("./"))) {
        result = ExecutableFolder() + text.mid(2);
    } else if (text.startsWith(u'/')) {
        // Only a real root makes a folder absolute: Qt would also take
        // ":name" as one, a resource path where nothing can be written.
        result = text;
    } else {
        // Relative forms, drive letters included where the system has none,
        // are taken from the executable's folder, never from the process's
        // current folder.
        result = ExecutableFolder() + text;
    }
    if (!result.isEmpty() && !result.endsWith(u'/')) result += u'/';
    return result;
}

bool EnsureFolder(const QString& folder) {
    if (folder.isEmpty()) return false;
    if (QFileInfo(folder).isDir()) return true;
    QDir().mkpath(folder);
    return QFileInfo(folder).isDir();
}

QString NearestExistingFolder(const QString& folder) {
    QString current = QDir::cleanPath(folder);
    while (!current.isEmpty() && !QFileInfo(current).isDir()) {
        const qsizetype slash = current.lastIndexOf(u'/');
        if (slash < 0) return QString();
        current = slash == 0 ? QStringLiteral("/") : current.left(slash);
    }
    if (!current.isEmpty() && !current.endsWith(u'/')) current += u'/';
    return current;
}

QString ExpandFileNamePattern(const QString& pattern, const QString& tag, const QString& index) {
    QString name = pattern;
    const qsizetype percent = name.indexOf(u'%');
    if (percent >= 0) name.replace(percent, 1, tag);
    const qsizetype dollar = name.indexOf(u'$');
    if (dollar < 0) return name;
    if (!index.isEmpty()) {
        name.replace(dollar, 1, index);
        return name;
    }
    qsizetype from = dollar;
    qsizetype to = dollar + 1;
    if (from > 0 && IsNameSeparator(name[from - 1])) --from;
    if (to < name.size() && IsNameSeparator(name[to])) ++to;
    name.remove(from, to - from);
    return name;
}

QString SafeFileName(const QString& fileName) {
    QString name = fileName;
    for (QChar& c : name) {
        if (c == u'/' || c == u'\\' || c.unicode() < 32 || c.unicode() == 127) c = u'_';
    }
    if (name == u"." || name == u"..") name.fill(u'_');
    return name;
}

namespace {

// The section's folder (resolved, and created when it can be) and name
// pattern, with the defaults written back where they are blank.
struct TOutputSection {
    QString Folder;
    QString Pattern;
};

TOutputSection PrepareSection(TIniFile& ini, const QString& section) {
    const TOutputDefaults defaults = OutputSectionDefaults(section);
    QString folder = TrimText(ini.ReadString(section, KeyFolder, QString()));
    if (folder.isEmpty()) {
        folder = defaults.Folder;
        ini.WriteString(section, KeyFolder, folder);
    }
    QString pattern = TrimText(ini.ReadString(section, KeyFileName, QString()));
    if (pattern.isEmpty()) {
        pattern = defaults.FileName;
        ini.WriteString(section, KeyFileName, pattern);
        if (!ini.ValueExists(section, KeyIndex)) ini.WriteString(section, KeyIndex, defaults.Index);
    }

    // A folder that cannot be made is the writer's to report, when a file is
    // actually written there: SAVE and IM still open their dialog, where the
    // user can pick another folder. Only a folder that cannot even be
    // determined ends the call.
    const QString resolved = ResolveFolder(folder);
    if (resolved.isEmpty()) throw EOutputFolderError(resolved);
    EnsureFolder(resolved);
    return {resolved, pattern};
}

}  // namespace

void PrepareOutputSection(const QString& section) {
    TIniFile ini(IniPath());
    PrepareSection(ini, section);
}

TOutputTarget PrepareOutputTarget(const QString& section) {
    TIniFile ini(IniPath());
    const TOutputSection prepared = PrepareSection(ini, section);
    return {prepared.Folder, prepared.Pattern, ini.ReadString(section, KeyIndex, QString())};
}

QString OutputTargetPath(const TOutputTarget& target, const QString& extension, const QString& tag,
                         const QString& index) {
    // The pattern, the tag and the index are free text from the settings
    // file; SafeFileName keeps the result a plain name inside the folder.
    const QString nameIndex = target.Pattern.contains(u'$') ? index : QString();
    return target.Folder +
           SafeFileName(ExpandFileNamePattern(target.Pattern, tag, nameIndex) + extension);
}

QString BuildOutputPath(const QString& section, const QString& extension, const QString& tag,
                        const std::optional<QString>& index) {
    const TOutputTarget target = PrepareOutputTarget(section);
    return OutputTargetPath(target, extension, tag, index ? *index : target.Index);
}

QString ReadOutputIndex(const QString& section) {
    return TIniFile(IniPath()).ReadString(section, KeyIndex, QString());
}

void WriteOutputIndex(const QString& section, const QString& index) {
    TIniFile(IniPath()).WriteString(section, KeyIndex, index);
}

bool FileNameUsesIndex(const QString& section) {
    const TIniFile ini(IniPath());
    return PatternUsesIndex(ini.ReadString(section, KeyFileName, QString()),
                            ini.ReadString(section, KeyIndex, QString()));
}

bool PatternUsesIndex(const QString& fileName, const QString& index) {
    return TrimText(fileName).contains(u'$') && !TrimText(index).isEmpty();
}

std::optional<QString> NextIndexText(const QString& index) {
    int value = 0;
    if (!TryStrToInt(index, value)) return std::nullopt;
    // The next number must read back as one, or every later file would
    // take the same name.
    if (value == std::numeric_limits<int>::max()) return std::nullopt;
    const qint64 next = qint64(value) + 1;
    QString digits = QString::number(std::llabs(next));
    const qsizetype width = index.size() - (next < 0 ? 1 : 0);
    if (digits.size() < width) digits.prepend(QString(width - digits.size(), u'0'));
    return next < 0 ? u'-' + digits : digits;
}

bool IncrementIndex(const QString& section) {
    if (!FileNameUsesIndex(section)) return false;
    TIniFile ini(IniPath());
    const QString index = ini.ReadString(section, KeyIndex, QString());
    if (index.isEmpty()) return false;
    const std::optional<QString> next = NextIndexText(index);
    if (!next) return false;
    ini.WriteString(section, KeyIndex, *next);
    return true;
}
