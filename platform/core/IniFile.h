#pragma once

#include <chrono>
#include <memory>

#include <sys/stat.h>

#include <QString>
#include <QStringList>

#include "platform/core/Exception.h"

// A write to the settings file that did not reach the disk. The message is
// "Unable to write to <full path> (<cause>)", the cause being the system's
// description of Error(), the error number of the call that failed (a
// read-only file counts as EACCES).
class EIniFileException : public Exception {
public:
    EIniFileException(const QString& fullPath, int error);
    int Error() const { return FError; }

private:
    int FError;
};

// The class library's integer syntax: leading blanks, an optional sign, then
// decimal digits, or hexadecimal digits after "$", "x", "X", "0x" or "0X".
// Nothing may follow the digits. Returns false (value untouched) when the
// text is not such an integer or does not fit in a signed 32-bit value.
bool TryStrToInt(const QString& text, int& value);

// A settings file of the INI kind: "[Section]" lines, each followed by
// "Key=Value" lines.
//
// Contract:
// - Creating an object touches no file. A read sees every earlier write,
//   also one made through another object, and every change made by hand.
//   The last file seen is kept as an index of its key lines (the first copy
//   of each section and key only; values are read from the line when asked
//   for) and used again while its identity, size and change times are
//   unchanged; a file changed less than one timestamp tick before it was
//   read (two seconds where the file system keeps no fractions of a second,
//   else a tenth of one) is compared by content until it has settled. A
//   write changes the file's bytes in place and moves the index with them;
//   a write that gives a key the value it has reads only that key's line.
// - Section and key names match without regard to letter case; blanks around
//   names and values are ignored, and a value wrapped in one pair of matching
//   quotes (" or ') reads without them. A duplicated section or key: the
//   first one counts. Lines starting with ";" are comments.
// - A section header is "[name]" alone on its line (a ";" comment may follow
//   when the line holds no "="); any other line with a named "=" is a key,
//   also when its name begins with "[". Section names hold no "=" or "]",
//   key names no "=" and no leading ";".
// - Reads never fail: a missing or unreadable file, a missing key, or a line
//   that cannot be understood (garbage, no "=", before any section) yields
//   the caller's default. A UTF-8 byte-order mark is skipped; text is UTF-8.
// - A key written reads back exactly as written: the line becomes "Key=Value"
//   (the key as the file spelled it, nothing between "=" and the value), and
//   a value that begins or ends with a blank, or is itself wrapped in
//   matching quotes, is written inside a pair of double quotes. Carriage
//   returns, line feeds and NULs in a written name or value become blanks, so
//   a value can never add lines to the file.
// - A write replaces the key's line in place, or adds the key after the last
//   key of its section, or adds the section at the end of the file. Every
//   other line stays byte for byte (comments, unknown keys, blank lines, the
//   byte-order mark, line endings). New lines take the file's line ending;
//   a new file uses LF. A write that leaves the file's bytes as they are
//   touches nothing, so a complete read-only file reads and "writes" fine.
// - A write is on the disk when the call returns. The new file replaces the
//   old one in a single step through WriteFileReplacing (a unique temporary file in
//   the same folder, then a rename), keeping the old file's permissions and
//   owner, so a failed write leaves the old file intact. A file without any
//   write permission bit is never replaced, also for root. A refused write
//   (missing or unwritable folder, read-only file, disk error) raises
//   EIniFileException and changes nothing. A symbolic link is written
//   through to its target, also one whose target does not exist yet.
// - Not thread-safe; used from the main thread only.
class TIniFile {
public:
    explicit TIniFile(const QString& fileName);

    // The path given to the constructor.
    const QString& FileName() const { return FFileName; }

    // The value, or def when the key is absent. A key present with an empty
    // value reads as empty.
    QString ReadString(const QString& section, const QString& ident, const QString& def) const;
    // The value in TryStrToInt's syntax, else def (absent, empty or no integer).
    int ReadInteger(const QString& section, const QString& ident, int def) const;
    // ReadInteger with def as 1 or 0; any non-zero integer is true.
    bool ReadBool(const QString& section, const QString& ident, bool def) const;

    void WriteString(const QString& section, const QString& ident, const QString& value);
    // Decimal text, such as "35".
    void WriteInteger(const QString& section, const QString& ident, int value);
    // "1" for true, "0" for false.
    void WriteBool(const QString& section, const QString& ident, bool value);
    // General format, at most 15 significant digits, "." as decimal separator,
    // no trailing zeros: 1.0 gives "1", 0.25 gives "0.25".
    void WriteFloat(const QString& section, const QString& ident, double value);

    // True when a "[section]" line exists, also with no keys under it.
    bool SectionExists(const QString& section) const;
    // True when the section holds the key, whatever its value.
    bool ValueExists(const QString& section, const QString& ident) const;
    // Removes every line of the key in every copy of the section. Nothing is
    // written when the key is absent.
    void DeleteKey(const QString& section, const QString& ident);
    // Removes every copy of the section: its header and all lines up to the
    // next section. Nothing is written when the section is absent.
    void EraseSection(const QString& section);
    // The key names of the section, as written in the file, in file order.
    QStringList ReadSection(const QString& section) const;
    // The section names, as written in the file, in file order.
    QStringList ReadSections() const;

private:
    QString FFileName;
};

// A settings file read once and kept, for reads that come often (at every
// shot): its reads answer from memory by TIniFile's rules and touch no file.
//
// Contract:
// - Creating an object touches no file; until the first Refresh every read
//   gives its default.
// - Refresh brings the copy up to date. While the file keeps the identity,
//   size and change times it had when it was read, and was read more than
//   one timestamp tick after its last change (see TIniFile), that costs one
//   stat of the path; otherwise the file is read again (one open). So an
//   edit by hand, a replacement by a rename and a write of the program are
//   all seen by the next Refresh, also an edit that keeps the size.
// - A missing file, one that cannot be read or something other than a file
//   at the path reads as empty, so that every read gives its default.
// - Not thread-safe; used from the main thread only.
class TIniFileSnapshot {
public:
    explicit TIniFileSnapshot(const QString& fileName);

    // True when the file was read again.
    bool Refresh();
    // True when something existed at the path (a link counting by its
    // target) at the last Refresh.
    bool Exists() const { return FExists; }

    QString ReadString(const QString& section, const QString& ident, const QString& def) const;
    int ReadInteger(const QString& section, const QString& ident, int def) const;
    bool ReadBool(const QString& section, const QString& ident, bool def) const;
    bool ValueExists(const QString& section, const QString& ident) const;

private:
    struct TValues;
    const QString* Find(const QString& section, const QString& ident) const;

    QString FFileName;
    std::shared_ptr<const TValues> FValues;
    bool FRead = false;  // Refresh ran at least once
    bool FExists = false;
    bool FSettled = false;  // read long enough after the last change to trust FStat
    struct stat FStat {};
};

// Tests: moves the clock by which a read judges whether a file has settled
// (see TIniFile) this far ahead of the real one, so a test need not wait for
// a file to age; zero puts it back.
void SetIniFileClockAheadForTesting(std::chrono::nanoseconds ahead);
