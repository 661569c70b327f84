#include "platform/core/IniFile.h"

#include <cerrno>
#include <climits>
#include <ctime>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include "platform/core/Files.h"

EIniFileException::EIniFileException(const QString& fullPath, int error)
    : Exception(QStringLiteral("Unable to write to %1").arg(fullPath) + SystemErrorCause(error)),
      FError(error) {}

bool TryStrToInt(const QString& text, int& value) {
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && (text[i] == u' ' || text[i] == u'\t')) ++i;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    int base = 10;
    if (i < n && text[i] == u'$') {
        base = 16;
        ++i;
    } else if (i + 1 < n && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
        base = 16;
        i += 2;
    } else if (i < n && (text[i] == u'x' || text[i] == u'X')) {
        base = 16;
        ++i;
    }
    if (i >= n) return false;
    qint64 magnitude = 0;
    for (; i < n; ++i) {
        const char16_t c = text[i].unicode();
        int digit = -1;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        if (digit < 0 || digit >= base) return false;
        magnitude = magnitude * base + digit;
        // Stop early so that a long run of digits cannot overflow qint64.
        if (magnitude > qint64(INT_MAX) + 1) return false;
    }
    const qint64 signedValue = negative ? -magnitude : magnitude;
    if (signedValue > INT_MAX || signedValue < INT_MIN) return false;
    value = int(signedValue);
    return true;
}

namespace {

// The file is kept as raw lines so that a write can give back every line it
// does not change byte for byte, also lines that are not valid UTF-8.
struct TLine {
    QByteArray Text;    // without its line ending
    QByteArray Ending;  // "\r\n", "\n", or empty for a last line without one
};

struct TIniText {
    QByteArray Bom;
    std::vector<TLine> Lines;
    QByteArray Eol = "\n";
};

enum class TLineKind { Other, Section, Key };

struct TLineInfo {
    TLineKind Kind = TLineKind::Other;
    QString Name;  // section or key name, trimmed
    QString Value;
};

const QByteArray Utf8Bom("\xEF\xBB\xBF");

TIniText ParseText(const QByteArray& bytes) {
    TIniText text;
    qsizetype pos = 0;
    if (bytes.startsWith(Utf8Bom)) {
        text.Bom = Utf8Bom;
        pos = Utf8Bom.size();
    }
    bool eolKnown = false;
    while (pos < bytes.size()) {
        const qsizetype lf = bytes.indexOf('\n', pos);
        TLine line;
        if (lf < 0) {
            line.Text = bytes.mid(pos);
            pos = bytes.size();
        } else {
            qsizetype end = lf;
            if (end > pos && bytes[end - 1] == '\r') --end;
            line.Text = bytes.mid(pos, end - pos);
            line.Ending = bytes.mid(end, lf + 1 - end);
            pos = lf + 1;
            if (!eolKnown) {
                text.Eol = line.Ending;
                eolKnown = true;
            }
        }
        text.Lines.push_back(std::move(line));
    }
    return text;
}

QByteArray JoinText(const TIniText& text) {
    QByteArray bytes = text.Bom;
    for (const TLine& line : text.Lines) bytes += line.Text + line.Ending;
    return bytes;
}

bool IsQuote(QChar c) {
    return c == u'"' || c == u'\'';
}

// A value wrapped in one pair of matching quotes reads without them, as
// settings files written elsewhere expect; the writer adds such a pair
// exactly when the reader would otherwise change the value.
QString Unquote(const QString& value) {
    if (value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front())
        return value.mid(1, value.size() - 2);
    return value;
}

bool NeedsQuotes(const QString& value) {
    if (value.isEmpty()) return false;
    if (value.front().isSpace() || value.back().isSpace()) return true;
    return value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front();
}

// A line is a section header when it is "[name]" and nothing else (a
// comment may follow), with no "=" inside the brackets. Every line with a
// named "=" is a key, also one whose name begins with "[": a written key
// never turns into a header, whatever its name or value.
TLineInfo Classify(const QByteArray& raw) {
    TLineInfo info;
    // Only the file's first bytes can be a byte-order mark (ParseText takes
    // them off); a U+FEFF at the start of a line is part of the name there.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    const QString line = QString(decoder(raw)).trimmed();
    const qsizetype eq = line.indexOf(u'=');
    if (line.startsWith(u'[')) {
        const qsizetype close = line.indexOf(u']');
        if (close > 0 && (eq < 0 || eq > close)) {
            const QString rest = line.mid(close + 1).trimmed();
            if (rest.isEmpty() || (eq < 0 && rest.startsWith(u';'))) {
                info.Kind = TLineKind::Section;
                info.Name = line.mid(1, close - 1).trimmed();
                return info;
            }
        }
    }
    if (line.startsWith(u';')) return info;
    if (eq <= 0) return info;
    info.Name = line.left(eq).trimmed();
    if (info.Name.isEmpty()) return info;
    info.Kind = TLineKind::Key;
    info.Value = Unquote(line.mid(eq + 1).trimmed());
    return info;
}

std::vector<TLineInfo> ClassifyAll(const TIniText& text) {
    std::vector<TLineInfo> infos;
    infos.reserve(text.Lines.size());
    for (const TLine& line : text.Lines) infos.push_back(Classify(line.Text));
    return infos;
}

// A name or value must stay on its own line.
QString OneLine(QString s) {
    for (QChar& c : s) {
        if (c == u'\r' || c == u'\n' || c == u'\0') c = u' ';
    }
    return s;
}

// A section or key name as the file holds it after a write.
QString CleanName(const QString& name) {
    return OneLine(name).trimmed();
}

// `wanted` is a caller's name, cleaned as a write would clean it.
bool SameName(const QString& inFile, const QString& wanted) {
    return inFile.compare(CleanName(wanted), Qt::CaseInsensitive) == 0;
}

// Header line of the first copy of the section, or -1.
int FindSection(const std::vector<TLineInfo>& infos, const QString& section) {
    for (size_t i = 0; i < infos.size(); ++i) {
        if (infos[i].Kind == TLineKind::Section && SameName(infos[i].Name, section)) return int(i);
    }
    return -1;
}

// One past the last line that belongs to the section whose header is at header.
int SectionEnd(const std::vector<TLineInfo>& infos, int header) {
    int i = header + 1;
    while (i < int(infos.size()) && infos[i].Kind != TLineKind::Section) ++i;
    return i;
}

int FindKey(const std::vector<TLineInfo>& infos, int header, const QString& ident) {
    const int end = SectionEnd(infos, header);
    for (int i = header + 1; i < end; ++i) {
        if (infos[i].Kind == TLineKind::Key && SameName(infos[i].Name, ident)) return i;
    }
    return -1;
}

enum class TLoad { Missing, Loaded, Unreadable };

TLoad LoadText(const QString& fileName, TIniText& text) {
    if (!FileExists(fileName)) return TLoad::Missing;
    const QFileInfo info(fileName);
    if (!info.isFile()) return TLoad::Unreadable;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) return TLoad::Unreadable;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) return TLoad::Unreadable;
    text = ParseText(bytes);
    return TLoad::Loaded;
}

// Reads never fail: a file that cannot be read is treated as empty.
TIniText LoadForReading(const QString& fileName) {
    TIniText text;
    if (LoadText(fileName, text) != TLoad::Loaded) return TIniText{};
    return text;
}

using TInfos = std::shared_ptr<const std::vector<TLineInfo>>;

// The settings file is read for every access, some of them once per shot.
// The last file read is kept parsed and used again while its identity,
// size and change times are the same; a file changed within the last two
// seconds is always read again, since a change inside one timestamp tick
// would not show (git's "racy" rule).
TInfos ReadInfos(const QString& fileName) {
    struct TCached {
        QString Name;
        struct stat Stat {};
        TInfos Infos;
    };
    static std::mutex mutex;
    static TCached cached;

    struct stat now {};
    const QByteArray path = QFile::encodeName(fileName);
    const bool statted = ::stat(path.constData(), &now) == 0 && S_ISREG(now.st_mode);
    auto same = [&](const struct stat& a) {
        return a.st_dev == now.st_dev && a.st_ino == now.st_ino && a.st_size == now.st_size &&
               a.st_mtim.tv_sec == now.st_mtim.tv_sec && a.st_mtim.tv_nsec == now.st_mtim.tv_nsec &&
               a.st_ctim.tv_sec == now.st_ctim.tv_sec && a.st_ctim.tv_nsec == now.st_ctim.tv_nsec;
    };
    timespec clock{};
    ::clock_gettime(CLOCK_REALTIME, &clock);
    const bool settled =
        statted && clock.tv_sec - now.st_mtim.tv_sec > 2 && clock.tv_sec - now.st_ctim.tv_sec > 2;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (settled && cached.Infos && cached.Name == fileName && same(cached.Stat))
            return cached.Infos;
    }
    auto infos =
        std::make_shared<const std::vector<TLineInfo>>(ClassifyAll(LoadForReading(fileName)));
    if (settled) {
        std::lock_guard<std::mutex> lock(mutex);
        cached = TCached{fileName, now, infos};
    }
    return infos;
}

std::optional<QString> FindValue(const QString& fileName, const QString& section,
                                 const QString& ident) {
    const TInfos shared = ReadInfos(fileName);
    const std::vector<TLineInfo>& infos = *shared;
    const int header = FindSection(infos, section);
    if (header < 0) return std::nullopt;
    const int key = FindKey(infos, header, ident);
    if (key < 0) return std::nullopt;
    return infos[key].Value;
}

[[noreturn]] void Refuse(const QString& fileName, int error) {
    throw EIniFileException(QFileInfo(fileName).absoluteFilePath(), error);
}

// A write needs the whole current file; one that cannot be read is refused
// rather than replaced by a file holding only the new key.
TIniText LoadForWriting(const QString& fileName) {
    TIniText text;
    if (LoadText(fileName, text) == TLoad::Unreadable)
        Refuse(fileName, QFileInfo(fileName).isDir() ? EISDIR : EIO);
    return text;
}

// The file a write has to replace: a symbolic link is followed, so the link
// itself stays in place.
QString WriteTarget(const QString& fileName) {
    QFileInfo info(fileName);
    for (int hops = 0; info.isSymLink() && hops < 40; ++hops)
        info = QFileInfo(info.symLinkTarget());
    return info.absoluteFilePath();
}

// Writes the whole file through WriteFileReplacing, so that readers and a
// crash see either the old or the new file. The settings file is stricter
// than the shot files: a file without any write permission is never
// replaced, also when running as root.
void SaveText(const QString& fileName, const TIniText& text) {
    const QString target = WriteTarget(fileName);
    const QByteArray targetName = QFile::encodeName(target);

    struct stat old {};
    if (::stat(targetName.constData(), &old) == 0) {
        if (!S_ISREG(old.st_mode)) Refuse(fileName, EISDIR);
        if ((old.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) Refuse(fileName, EACCES);
        if (::access(targetName.constData(), W_OK) != 0) Refuse(fileName, errno);
    } else if (errno != ENOENT) {
        Refuse(fileName, errno);
    }
    try {
        WriteFileReplacing(target, JoinText(text));
    } catch (const ESysError& e) {
        Refuse(fileName, e.Error());
    }
}

}  // namespace

TIniFile::TIniFile(const QString& fileName) : FFileName(fileName) {}

QString TIniFile::ReadString(const QString& section, const QString& ident,
                             const QString& def) const {
    return FindValue(FFileName, section, ident).value_or(def);
}

int TIniFile::ReadInteger(const QString& section, const QString& ident, int def) const {
    const std::optional<QString> text = FindValue(FFileName, section, ident);
    int value = def;
    if (text && TryStrToInt(*text, value)) return value;
    return def;
}

bool TIniFile::ReadBool(const QString& section, const QString& ident, bool def) const {
    return ReadInteger(section, ident, def ? 1 : 0) != 0;
}

void TIniFile::WriteString(const QString& section, const QString& ident, const QString& value) {
    const QString cleanSection = CleanName(section);
    const QString cleanIdent = CleanName(ident);
    const QString oneLine = OneLine(value);
    const QByteArray cleanValue = (NeedsQuotes(oneLine) ? u'"' + oneLine + u'"' : oneLine).toUtf8();

    TIniText text = LoadForWriting(FFileName);
    const QByteArray before = JoinText(text);
    const bool existed = FileExists(FFileName);
    const std::vector<TLineInfo> infos = ClassifyAll(text);
    auto& lines = text.Lines;
    const int header = FindSection(infos, cleanSection);
    if (header >= 0) {
        const int key = FindKey(infos, header, cleanIdent);
        if (key >= 0) {
            // The key keeps the file's spelling; the value follows the "="
            // directly, so the line reads back as written wherever it is read.
            QByteArray& raw = lines[key].Text;
            raw = raw.left(raw.indexOf('=')).trimmed() + '=' + cleanValue;
        } else {
            int at = header + 1;
            const int end = SectionEnd(infos, header);
            for (int i = header + 1; i < end; ++i) {
                if (infos[i].Kind == TLineKind::Key) at = i + 1;
            }
            if (lines[at - 1].Ending.isEmpty()) lines[at - 1].Ending = text.Eol;
            lines.insert(lines.begin() + at,
                         TLine{cleanIdent.toUtf8() + '=' + cleanValue, text.Eol});
        }
    } else {
        if (!lines.empty() && lines.back().Ending.isEmpty()) lines.back().Ending = text.Eol;
        lines.push_back(TLine{'[' + cleanSection.toUtf8() + ']', text.Eol});
        lines.push_back(TLine{cleanIdent.toUtf8() + '=' + cleanValue, text.Eol});
    }
    // A write that would leave the file as it is touches nothing, so a
    // complete settings file may be read-only.
    if (existed && JoinText(text) == before) return;
    SaveText(FFileName, text);
}

void TIniFile::WriteInteger(const QString& section, const QString& ident, int value) {
    WriteString(section, ident, QString::number(value));
}

void TIniFile::WriteBool(const QString& section, const QString& ident, bool value) {
    WriteString(section, ident, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void TIniFile::WriteFloat(const QString& section, const QString& ident, double value) {
    WriteString(section, ident, QString::number(value, 'g', 15));
}

bool TIniFile::SectionExists(const QString& section) const {
    return FindSection(*ReadInfos(FFileName), section) >= 0;
}

bool TIniFile::ValueExists(const QString& section, const QString& ident) const {
    return FindValue(FFileName, section, ident).has_value();
}

namespace {

// Rewrites the file without the lines `drop` picks (given each line and
// whether it stands in the named section); writes nothing when none is.
template <class Drop>
void RemoveLines(const QString& fileName, const QString& section, Drop drop) {
    TIniText text = LoadForWriting(fileName);
    const std::vector<TLineInfo> infos = ClassifyAll(text);
    std::vector<TLine> kept;
    kept.reserve(text.Lines.size());
    bool inSection = false;
    bool removed = false;
    for (size_t i = 0; i < infos.size(); ++i) {
        if (infos[i].Kind == TLineKind::Section) inSection = SameName(infos[i].Name, section);
        if (inSection && drop(infos[i])) {
            removed = true;
            continue;
        }
        kept.push_back(std::move(text.Lines[i]));
    }
    if (!removed) return;
    text.Lines = std::move(kept);
    SaveText(fileName, text);
}

}  // namespace

void TIniFile::DeleteKey(const QString& section, const QString& ident) {
    RemoveLines(FFileName, section, [&](const TLineInfo& info) {
        return info.Kind == TLineKind::Key && SameName(info.Name, ident);
    });
}

void TIniFile::EraseSection(const QString& section) {
    RemoveLines(FFileName, section, [](const TLineInfo&) { return true; });
}

QStringList TIniFile::ReadSection(const QString& section) const {
    const TInfos shared = ReadInfos(FFileName);
    const std::vector<TLineInfo>& infos = *shared;
    QStringList keys;
    const int header = FindSection(infos, section);
    if (header < 0) return keys;
    const int end = SectionEnd(infos, header);
    for (int i = header + 1; i < end; ++i) {
        if (infos[i].Kind != TLineKind::Key) continue;
        if (!keys.contains(infos[i].Name, Qt::CaseInsensitive)) keys.append(infos[i].Name);
    }
    return keys;
}

QStringList TIniFile::ReadSections() const {
    QStringList sections;
    const TInfos shared = ReadInfos(FFileName);
    for (const TLineInfo& info : *shared) {
        if (info.Kind != TLineKind::Section) continue;
        if (!sections.contains(info.Name, Qt::CaseInsensitive)) sections.append(info.Name);
    }
    return sections;
}
