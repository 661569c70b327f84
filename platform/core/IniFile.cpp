#include "platform/core/IniFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <climits>
#include <ctime>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
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

enum class TLineKind { Other, Section, Key };

struct TLineInfo {
    TLineKind Kind = TLineKind::Other;
    QString Name;  // section or key name, trimmed
    QString Value;
};

const QByteArray Utf8Bom("\xEF\xBB\xBF");

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
    // Only the file's first bytes can be a byte-order mark (the readers skip
    // them); a U+FEFF at the start of a line is part of the name there.
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

// The form under which names are looked up: equal for names that match
// without regard to case.
QString NameKey(const QString& name) {
    return name.toCaseFolded();
}

// ---- The index of a file
//
// Only the first copy of a section and the first line of a key in it count,
// so that is all the index keeps: where each such key line is, where a new
// key of the section goes, and the section names. Values are taken from the
// line itself when asked for, so a file of any size costs memory only for
// its distinct keys, and comments, repeated keys and later copies of a
// section cost nothing.

struct TKeyLine {
    qint64 Start = 0;  // the line, without its line ending
    qint64 End = 0;
};

struct TSectionIndex {
    QString Name;  // as the file spells it
    QHash<QString, TKeyLine> Keys;
    std::vector<TKeyLine> Order;  // the key lines, in file order
    qint64 InsertAt = 0;          // after the last key line of the first copy, or its header
};

struct TIndex {
    QByteArray Eol = "\n";  // the first line ending of the file
    std::vector<TSectionIndex> Sections;
    QHash<QString, int> SectionAt;
};

using TIndexPtr = std::shared_ptr<const TIndex>;

bool IsAsciiBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// One line of the bytes that begins at a position: End is where its text
// ends (before CR LF or LF), Next where the next line begins (its line end
// lies between the two), First its first byte after ASCII blanks (End for a
// blank line).
struct TRawLine {
    qsizetype End;
    qsizetype Next;
    qsizetype First;
};

TRawLine RawLineAt(const char* data, qsizetype pos, qsizetype size) {
    TRawLine line{size, size, pos};
    const auto* lf = static_cast<const char*>(std::memchr(data + pos, '\n', size_t(size - pos)));
    if (lf) {
        line.End = lf - data;
        line.Next = line.End + 1;
        if (line.End > pos && data[line.End - 1] == '\r') --line.End;
    }
    while (line.First < line.End && IsAsciiBlank(data[line.First])) ++line.First;
    return line;
}

TIndexPtr BuildIndex(const QByteArray& bytes) {
    auto index = std::make_shared<TIndex>();
    const char* data = bytes.constData();
    const qsizetype size = bytes.size();
    qsizetype pos = bytes.startsWith(Utf8Bom) ? Utf8Bom.size() : 0;
    bool eolKnown = false;
    int current = -1;  // the first copy of a section being read, or -1
    // Raw key names already taken in the current first copy: a repeated
    // key, the usual bulk of a huge file, is passed over without decoding.
    QSet<QByteArray> seen;

    const auto addKey = [&](const TLineInfo& info, qsizetype start, qsizetype end) {
        TSectionIndex& section = index->Sections[size_t(current)];
        const QString key = NameKey(info.Name);
        if (section.Keys.contains(key)) return;
        section.Keys.insert(key, TKeyLine{start, end});
        section.Order.push_back(TKeyLine{start, end});
    };

    while (pos < size) {
        const TRawLine line = RawLineAt(data, pos, size);
        const qsizetype end = line.End;
        const qsizetype next = line.Next;
        const qsizetype p = line.First;
        if (!eolKnown && next > end) {
            index->Eol = QByteArray(data + end, next - end);
            eolKnown = true;
        }
        const auto first = p < end ? static_cast<unsigned char>(data[p]) : 0;
        if (p == end || first == ';') {
            pos = next;
            continue;
        }
        if (first == '[' || first >= 0x80) {
            // Could be a header (also one after blanks outside ASCII):
            // the full rules decide.
            const TLineInfo info = Classify(QByteArray::fromRawData(data + pos, end - pos));
            if (info.Kind == TLineKind::Section) {
                const QString key = NameKey(info.Name);
                seen.clear();
                if (index->SectionAt.contains(key)) {
                    current = -1;
                } else {
                    current = int(index->Sections.size());
                    index->SectionAt.insert(key, current);
                    TSectionIndex section;
                    section.Name = info.Name;
                    section.InsertAt = next;
                    index->Sections.push_back(std::move(section));
                }
            } else if (info.Kind == TLineKind::Key && current >= 0) {
                index->Sections[size_t(current)].InsertAt = next;
                addKey(info, pos, end);
            }
            pos = next;
            continue;
        }
        // Any other line with a named "=" is a key; outside a first copy it
        // counts for nothing.
        const auto* eq = static_cast<const char*>(std::memchr(data + p, '=', size_t(end - p)));
        if (current < 0 || !eq || eq == data + p) {
            pos = next;
            continue;
        }
        index->Sections[size_t(current)].InsertAt = next;
        const QByteArray raw = QByteArray::fromRawData(data + p, eq - (data + p));
        if (!seen.contains(raw)) {
            seen.insert(QByteArray(raw.constData(), raw.size()));
            addKey(Classify(QByteArray::fromRawData(data + pos, end - pos)), pos, end);
        }
        pos = next;
    }
    return index;
}

const TSectionIndex* FindSectionIndex(const TIndex& index, const QString& section) {
    const auto it = index.SectionAt.constFind(NameKey(CleanName(section)));
    return it == index.SectionAt.cend() ? nullptr : &index.Sections[size_t(*it)];
}

const TKeyLine* FindKeyLine(const TIndex& index, const QString& section, const QString& ident) {
    const TSectionIndex* s = FindSectionIndex(index, section);
    if (!s) return nullptr;
    const auto it = s->Keys.constFind(NameKey(CleanName(ident)));
    return it == s->Keys.cend() ? nullptr : &*it;
}

// ---- The last file seen
//
// Reads come often (some at every shot), so the index of the last file seen
// is kept with the file's identity, size and change times. While those stay
// the same the index is used again. A change within one timestamp tick of
// the file system need not show in them, so a file read less than one tick
// after its last change is checked by its content until it has settled (the
// bytes are kept for that meanwhile); the tick is taken as two seconds on a
// file system that keeps no fractions of a second, else as a tenth of one.

struct TSnapshot {
    QString Name;
    struct stat Stat {};
    bool Trusted = false;
    QByteArray Bytes;  // while not trusted
    TIndexPtr Index;
};

std::mutex CacheMutex;
TSnapshot Cache;

bool SameStat(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
           a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

qint64 Nanoseconds(const timespec& t) {
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

std::atomic<qint64> ClockAheadNs{0};

timespec Now() {
    timespec clock{};
    ::clock_gettime(CLOCK_REALTIME, &clock);
    const qint64 ahead = ClockAheadNs.load();
    if (ahead != 0) {
        const qint64 ns = qint64(clock.tv_nsec) + ahead;
        clock.tv_sec += time_t(ns / 1000000000);
        clock.tv_nsec = long(ns % 1000000000);
        if (clock.tv_nsec < 0) {
            clock.tv_nsec += 1000000000;
            --clock.tv_sec;
        }
    }
    return clock;
}

// True when a change made after `before` (taken before the file was read)
// cannot leave the file's times as they are in `st`.
bool Settled(const struct stat& st, const timespec& before) {
    const bool coarse = st.st_mtim.tv_nsec == 0 && st.st_ctim.tv_nsec == 0;
    const qint64 tick = coarse ? qint64(2000000000) : qint64(100000000);
    const qint64 last = std::max(Nanoseconds(st.st_mtim), Nanoseconds(st.st_ctim));
    return Nanoseconds(before) - last > tick;
}

// The index for `bytes`, just read from a file with `st` (read after
// `before`): the kept one when the file is the one indexed, else a new one,
// which is kept.
TIndexPtr IndexFor(const QString& fileName, const QByteArray& bytes, const struct stat& st,
                   const timespec& before, bool keep = true) {
    const bool settled = Settled(st, before);
    {
        std::lock_guard<std::mutex> lock(CacheMutex);
        if (Cache.Index && Cache.Name == fileName && SameStat(Cache.Stat, st) &&
            (Cache.Trusted || Cache.Bytes == bytes)) {
            if (settled && !Cache.Trusted) {
                Cache.Trusted = true;
                Cache.Bytes = QByteArray();
            }
            return Cache.Index;
        }
    }
    TIndexPtr index = BuildIndex(bytes);
    if (!keep) return index;
    std::lock_guard<std::mutex> lock(CacheMutex);
    Cache = TSnapshot{fileName, st, settled, settled ? QByteArray() : bytes, index};
    return index;
}

// Keeps `index` as the one of the file just written with `bytes`.
void Remember(const QString& fileName, const QByteArray& bytes, const TIndexPtr& index) {
    const timespec before = Now();
    struct stat written {};
    if (::stat(QFile::encodeName(fileName).constData(), &written) != 0 ||
        !S_ISREG(written.st_mode) || written.st_size != bytes.size())
        return;
    const bool settled = Settled(written, before);
    std::lock_guard<std::mutex> lock(CacheMutex);
    Cache = TSnapshot{fileName, written, settled, settled ? QByteArray() : bytes, index};
}

void Forget() {
    std::lock_guard<std::mutex> lock(CacheMutex);
    Cache = TSnapshot{};
}

bool ReadAll(int fd, qint64 size, QByteArray& bytes) {
    bytes.clear();
    // Room for a written line, so that a write changes the bytes in place.
    bytes.reserve(qsizetype(size) + 4096);
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return true;
        bytes.append(buffer, n);
    }
}

// True when the open file holds exactly `bytes`; compared piece by piece,
// so that checking a large file costs no memory.
bool SameContent(int fd, const QByteArray& bytes) {
    static thread_local std::vector<char> buffer(1 << 20);
    qint64 done = 0;
    for (;;) {
        const ssize_t n = ::pread(fd, buffer.data(), buffer.size(), done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return done == bytes.size();
        if (done + n > bytes.size() ||
            std::memcmp(buffer.data(), bytes.constData() + done, size_t(n)) != 0)
            return false;
        done += n;
    }
}

bool ReadAt(int fd, qint64 start, qint64 end, QByteArray& line) {
    line.resize(qsizetype(end - start));
    qint64 done = 0;
    while (done < end - start) {
        const ssize_t n = ::pread(fd, line.data() + done, size_t(end - start - done), start + done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += n;
    }
    return true;
}

// The settings file opened for one read: its index, and the lines the index
// points at. A file that is missing or cannot be read reads as empty; only
// a regular file is opened, without waiting (a named pipe in its place
// cannot hang the program).
class TReadView {
public:
    explicit TReadView(const QString& fileName) {
        static const TIndexPtr empty = std::make_shared<const TIndex>();
        FIndex = empty;
        const timespec before = Now();
        struct stat st {};
        const QByteArray path = QFile::encodeName(fileName);
        if (::stat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode)) return;
        FFd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (FFd < 0) return;
        if (::fstat(FFd, &st) != 0 || !S_ISREG(st.st_mode)) return;
        TIndexPtr candidate;
        QByteArray candidateBytes;
        {
            std::lock_guard<std::mutex> lock(CacheMutex);
            if (Cache.Index && Cache.Name == fileName && SameStat(Cache.Stat, st)) {
                if (Cache.Trusted) {
                    FIndex = Cache.Index;
                    return;
                }
                candidate = Cache.Index;
                candidateBytes = Cache.Bytes;
            }
        }
        // A file changed moments ago: the kept bytes tell whether it is still
        // the file indexed, without reading it into memory again.
        if (candidate && SameContent(FFd, candidateBytes)) {
            FIndex = candidate;
            FBytes = candidateBytes;
            FHaveBytes = true;
            if (Settled(st, before)) {
                std::lock_guard<std::mutex> lock(CacheMutex);
                if (Cache.Index == candidate) {
                    Cache.Trusted = true;
                    Cache.Bytes = QByteArray();
                }
            }
            return;
        }
        if (!ReadAll(FFd, st.st_size, FBytes)) {
            FBytes.clear();
            return;
        }
        FHaveBytes = true;
        FIndex = IndexFor(fileName, FBytes, st, before);
    }
    ~TReadView() {
        if (FFd >= 0) ::close(FFd);
    }
    TReadView(const TReadView&) = delete;
    TReadView& operator=(const TReadView&) = delete;

    const TIndex& Index() const { return *FIndex; }

    // The key line the index points at, as the file holds it.
    bool Raw(const TKeyLine& at, QByteArray& line) const {
        if (FHaveBytes) {
            if (at.End > FBytes.size()) return false;
            line = FBytes.mid(qsizetype(at.Start), qsizetype(at.End - at.Start));
            return true;
        }
        return FFd >= 0 && ReadAt(FFd, at.Start, at.End, line);
    }

    // The key line the index points at, classified.
    TLineInfo Line(const TKeyLine& at) const {
        QByteArray line;
        if (!Raw(at, line)) return {};
        return Classify(line);
    }

private:
    int FFd = -1;
    QByteArray FBytes;
    bool FHaveBytes = false;
    TIndexPtr FIndex;
};

std::optional<QString> FindValue(const QString& fileName, const QString& section,
                                 const QString& ident) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        const TReadView view(fileName);
        const TKeyLine* at = FindKeyLine(view.Index(), section, ident);
        if (!at) return std::nullopt;
        const TLineInfo info = view.Line(*at);
        if (info.Kind == TLineKind::Key && SameName(info.Name, ident)) return info.Value;
        // The file changed under the index in the same timestamp tick.
        Forget();
    }
    return std::nullopt;
}

[[noreturn]] void Refuse(const QString& fileName, int error) {
    throw EIniFileException(QFileInfo(fileName).absoluteFilePath(), error);
}

enum class TLoad { Missing, Loaded, Unreadable };

// A write needs the whole current file; one that cannot be read is refused
// rather than replaced by a file holding only the new key.
struct TCurrent {
    bool Existed = false;
    QByteArray Bytes;
    struct stat Stat {};
    timespec Before{};
};

TCurrent LoadForWriting(const QString& fileName) {
    TCurrent current;
    current.Before = Now();
    if (!FileExists(fileName)) return current;
    current.Existed = true;
    const QFileInfo info(fileName);
    if (!info.isFile()) Refuse(fileName, info.isDir() ? EISDIR : EIO);
    const QByteArray path = QFile::encodeName(fileName);
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) Refuse(fileName, EIO);
    const bool read = ::fstat(fd, &current.Stat) == 0 && S_ISREG(current.Stat.st_mode) &&
                      ReadAll(fd, current.Stat.st_size, current.Bytes);
    ::close(fd);
    if (!read) Refuse(fileName, EIO);
    return current;
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
// replaced, also when running as root. The file written is indexed at once,
// so that the reads after a write need not parse it again.
void SaveBytes(const QString& fileName, const QByteArray& bytes, TIndexPtr index = nullptr) {
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
    Forget();
    try {
        WriteFileReplacing(target, bytes);
    } catch (const ESysError& e) {
        Refuse(fileName, e.Error());
    }
    Remember(fileName, bytes, index ? index : BuildIndex(bytes));
}

// The index of a file after `length` bytes at `at` were replaced by
// `inserted` bytes: every place after the change moves with it.
std::shared_ptr<TIndex> Shifted(const TIndex& old, qint64 at, qint64 length, qint64 inserted) {
    auto index = std::make_shared<TIndex>(old);
    const qint64 delta = inserted - length;
    // A line that starts where bytes are inserted moves; one whose text ends
    // there (the last line, without its line ending) stays.
    const auto moveStart = [&](qint64& place) {
        if (place > at || (length == 0 && place == at)) place += delta;
    };
    const auto moveEnd = [&](qint64& place) {
        if (place > at) place += delta;
    };
    for (TSectionIndex& section : index->Sections) {
        moveStart(section.InsertAt);
        for (TKeyLine& key : section.Keys) {
            moveStart(key.Start);
            moveEnd(key.End);
        }
        for (TKeyLine& key : section.Order) {
            moveStart(key.Start);
            moveEnd(key.End);
        }
    }
    return index;
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

    // Most writes (all those on close, as a rule) give a key the value it
    // has: found through the index, such a write reads no more than the
    // key's line.
    {
        const TReadView view(FFileName);
        if (const TKeyLine* key = FindKeyLine(view.Index(), cleanSection, cleanIdent)) {
            QByteArray raw;
            if (view.Raw(*key, raw) && view.Line(*key).Kind == TLineKind::Key &&
                raw.left(raw.indexOf('=')).trimmed() + '=' + cleanValue == raw)
                return;
        }
    }

    // The file is read once and changed in place: a huge file costs one
    // copy in memory, not three. The index is not kept with these bytes,
    // which are about to change.
    TCurrent current = LoadForWriting(FFileName);
    QByteArray& bytes = current.Bytes;
    const TIndexPtr index = current.Existed
                                ? IndexFor(FFileName, bytes, current.Stat, current.Before, false)
                                : std::make_shared<const TIndex>();
    // The last line of the file lacks its line ending: it gets one before
    // anything is added after it.
    const qsizetype bom = bytes.startsWith(Utf8Bom) ? Utf8Bom.size() : 0;
    const bool openLast = bytes.size() > bom && !bytes.endsWith('\n');
    const QByteArray newLine = cleanIdent.toUtf8() + '=' + cleanValue;

    // The new line and header must read back as the key and section written;
    // the index of the new file is then the old one moved, else the new
    // file is indexed whole.
    const TLineInfo lineInfo = Classify(newLine);
    const bool plainKey = lineInfo.Kind == TLineKind::Key && SameName(lineInfo.Name, cleanIdent);
    TIndexPtr newIndex;
    if (const TSectionIndex* s = FindSectionIndex(*index, cleanSection)) {
        if (const TKeyLine* key = FindKeyLine(*index, cleanSection, cleanIdent)) {
            // The key keeps the file's spelling; the value follows the "="
            // directly, so the line reads back as written wherever it is read.
            const QByteArray raw = bytes.mid(key->Start, key->End - key->Start);
            const QByteArray line = raw.left(raw.indexOf('=')).trimmed() + '=' + cleanValue;
            // A write that would leave the file as it is touches nothing, so
            // a complete settings file may be read-only.
            if (line == raw) return;
            bytes.replace(qsizetype(key->Start), qsizetype(key->End - key->Start), line);
            auto moved = Shifted(*index, key->Start, key->End - key->Start, line.size());
            const TKeyLine written{key->Start, key->Start + line.size()};
            TSectionIndex& entry = moved->Sections[size_t(s - index->Sections.data())];
            entry.Keys[NameKey(cleanIdent)] = written;
            for (TKeyLine& k : entry.Order)
                if (k.Start == written.Start) k = written;
            newIndex = moved;
        } else {
            const qsizetype at = qsizetype(s->InsertAt);
            QByteArray piece;
            if (at == bytes.size() && openLast) piece = index->Eol;
            piece += newLine + index->Eol;
            bytes.insert(at, piece);
            if (plainKey) {
                const qint64 added = piece.size();
                auto moved = Shifted(*index, at, 0, added);
                const qint64 start = at + added - newLine.size() - index->Eol.size();
                const TKeyLine written{start, start + newLine.size()};
                TSectionIndex& entry = moved->Sections[size_t(s - index->Sections.data())];
                entry.Keys.insert(NameKey(cleanIdent), written);
                entry.Order.push_back(written);
                entry.InsertAt = at + added;
                newIndex = moved;
            }
        }
    } else {
        if (openLast) bytes.append(index->Eol);
        const QByteArray header = '[' + cleanSection.toUtf8() + ']';
        bytes.append(header + index->Eol + newLine + index->Eol);
        const TLineInfo headerInfo = Classify(header);
        if (plainKey && headerInfo.Kind == TLineKind::Section &&
            SameName(headerInfo.Name, cleanSection)) {
            auto added = std::make_shared<TIndex>(*index);
            const qint64 start = bytes.size() - newLine.size() - index->Eol.size();
            const TKeyLine written{start, start + newLine.size()};
            TSectionIndex entry;
            entry.Name = headerInfo.Name;
            entry.Keys.insert(NameKey(cleanIdent), written);
            entry.Order.push_back(written);
            entry.InsertAt = bytes.size();
            added->SectionAt.insert(NameKey(entry.Name), int(added->Sections.size()));
            added->Sections.push_back(std::move(entry));
            newIndex = added;
        }
    }
    SaveBytes(FFileName, bytes, newIndex);
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
    const TReadView view(FFileName);
    return FindSectionIndex(view.Index(), section) != nullptr;
}

bool TIniFile::ValueExists(const QString& section, const QString& ident) const {
    return FindValue(FFileName, section, ident).has_value();
}

namespace {

// Rewrites the file without the lines `drop` picks among those in a copy of
// the named section (given each line, classified); writes nothing when none
// is. Only lines that could be a header are looked at outside the section,
// so a huge file is passed over quickly.
template <class Drop>
void RemoveLines(const QString& fileName, const QString& section, Drop drop) {
    const TCurrent current = LoadForWriting(fileName);
    if (!current.Existed) return;
    const QByteArray& bytes = current.Bytes;
    const TIndexPtr index = IndexFor(fileName, bytes, current.Stat, current.Before);
    if (!FindSectionIndex(*index, section)) return;

    const char* data = bytes.constData();
    const qsizetype size = bytes.size();
    QByteArray kept;
    kept.reserve(size);
    qsizetype pos = bytes.startsWith(Utf8Bom) ? Utf8Bom.size() : 0;
    kept.append(data, pos);
    bool inSection = false;
    bool removed = false;
    while (pos < size) {
        const TRawLine line = RawLineAt(data, pos, size);
        const qsizetype end = line.End;
        const qsizetype next = line.Next;
        const qsizetype p = line.First;
        const auto first = p < end ? static_cast<unsigned char>(data[p]) : 0;
        TLineInfo info;
        bool classified = false;
        if (first == '[' || first >= 0x80) {
            info = Classify(QByteArray::fromRawData(data + pos, end - pos));
            classified = true;
            if (info.Kind == TLineKind::Section) inSection = SameName(info.Name, section);
        }
        if (inSection) {
            if (!classified) info = Classify(QByteArray::fromRawData(data + pos, end - pos));
            if (drop(info)) {
                removed = true;
                pos = next;
                continue;
            }
        }
        kept.append(data + pos, next - pos);
        pos = next;
    }
    if (!removed) return;
    SaveBytes(fileName, kept);
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
    const TReadView view(FFileName);
    QStringList keys;
    const TSectionIndex* s = FindSectionIndex(view.Index(), section);
    if (!s) return keys;
    for (const TKeyLine& at : s->Order) {
        const TLineInfo info = view.Line(at);
        if (info.Kind == TLineKind::Key) keys.append(info.Name);
    }
    return keys;
}

QStringList TIniFile::ReadSections() const {
    const TReadView view(FFileName);
    QStringList sections;
    for (const TSectionIndex& s : view.Index().Sections) sections.append(s.Name);
    return sections;
}

// ---- The snapshot

// The values of the first line of each key in the first copy of each
// section, decoded once; looked up by their case-folded, cleaned names.
struct TIniFileSnapshot::TValues {
    QHash<QString, QHash<QString, QString>> Sections;
};

TIniFileSnapshot::TIniFileSnapshot(const QString& fileName)
    : FFileName(fileName), FValues(std::make_shared<const TValues>()) {}

bool TIniFileSnapshot::Refresh() {
    const timespec before = Now();
    const QByteArray path = QFile::encodeName(FFileName);
    struct stat st {};
    const bool found = ::stat(path.constData(), &st) == 0;
    if (FRead && found == FExists && (!found || (FSettled && SameStat(FStat, st)))) return false;

    FRead = true;
    FExists = found;
    FStat = st;
    FValues = std::make_shared<const TValues>();
    // Nothing to read: whatever comes to the path changes what stat says.
    FSettled = true;
    if (!found || !S_ISREG(st.st_mode)) return true;

    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    QByteArray bytes;
    const bool read =
        fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ReadAll(fd, st.st_size, bytes);
    if (fd >= 0) ::close(fd);
    // The times of what was read (or of a file that cannot be read, whose
    // permission changes its change time): a later change shows in them
    // unless it falls in the same timestamp tick.
    FStat = st;
    FSettled = Settled(st, before);
    if (!read) return true;

    auto values = std::make_shared<TValues>();
    const TIndexPtr index = IndexFor(FFileName, bytes, st, before);
    for (const TSectionIndex& section : index->Sections) {
        QHash<QString, QString>& keys = values->Sections[NameKey(section.Name)];
        for (auto it = section.Keys.cbegin(); it != section.Keys.cend(); ++it) {
            const TKeyLine& at = it.value();
            if (at.End > bytes.size()) continue;
            const TLineInfo info =
                Classify(bytes.mid(qsizetype(at.Start), qsizetype(at.End - at.Start)));
            if (info.Kind == TLineKind::Key) keys.insert(it.key(), info.Value);
        }
    }
    FValues = std::move(values);
    return true;
}

const QString* TIniFileSnapshot::Find(const QString& section, const QString& ident) const {
    const auto s = FValues->Sections.constFind(NameKey(CleanName(section)));
    if (s == FValues->Sections.cend()) return nullptr;
    const auto k = s->constFind(NameKey(CleanName(ident)));
    return k == s->cend() ? nullptr : &*k;
}

QString TIniFileSnapshot::ReadString(const QString& section, const QString& ident,
                                     const QString& def) const {
    const QString* value = Find(section, ident);
    return value ? *value : def;
}

int TIniFileSnapshot::ReadInteger(const QString& section, const QString& ident, int def) const {
    const QString* text = Find(section, ident);
    int value = def;
    if (text && TryStrToInt(*text, value)) return value;
    return def;
}

bool TIniFileSnapshot::ReadBool(const QString& section, const QString& ident, bool def) const {
    return ReadInteger(section, ident, def ? 1 : 0) != 0;
}

bool TIniFileSnapshot::ValueExists(const QString& section, const QString& ident) const {
    return Find(section, ident) != nullptr;
}

void SetIniFileClockAheadForTesting(std::chrono::nanoseconds ahead) {
    ClockAheadNs.store(qint64(ahead.count()));
}
