#pragma once

#include <optional>

#include <QString>

#include "platform/core/Exception.h"

// Names of the program's output files. An output section ("TXTCSV" for SAVE,
// "AUTOSAVE" for automatic saving, "IMG" for the report image) holds Folder,
// FileName (a pattern: the first "%" stands for the tag, the first "$" for the
// index) and INDEX (the running index as text). Main thread only; every call
// that uses the settings file opens its own TIniFile on IniPath() and releases it
// before it returns, also on failure.

// An output folder that could not be determined at all (no Documents folder):
// "Unable to create directory".
class EOutputFolderError : public Exception {
public:
    explicit EOutputFolderError(const QString& folder);
    const QString& Folder() const { return FFolder; }

private:
    QString FFolder;
};

struct TOutputDefaults {
    const char* Folder;
    const char* FileName;
    const char* Index;
};
// Defaults by exact, case-sensitive section name: "IMG" and "AUTOSAVE" have
// their own, any other section those of "TXTCSV".
TOutputDefaults OutputSectionDefaults(const QString& section);

// The absolute folder for a Folder setting, ending in "/" unless empty; reads
// no setting and creates nothing. Backslashes count as separators. The empty
// text and "." give the Documents folder; "./rest" the executable's folder
// followed by rest; a path from the root ("/") stays as it is; anything else
// is taken from the executable's folder (so "..\shots" is beside it and
// ":shots" is a plain folder there, never a resource path).
QString ResolveFolder(const QString& folder);

// True when the folder exists, creating it with its missing parents first
// when needed; false for the empty text or a folder that cannot be created.
bool EnsureFolder(const QString& folder);

// The folder itself when it exists, else its nearest existing parent, ending
// in "/"; empty when none exists. Where a save dialog opens when the output
// folder could not be created.
QString NearestExistingFolder(const QString& folder);

// The name from a pattern, without folder or extension: the first "%" is
// replaced by the tag, then the first "$" by the index. With an empty index
// the "$" goes together with at most one "_" or "-" on each side. Later "%"
// and "$" stay.
QString ExpandFileNamePattern(const QString& pattern, const QString& tag, const QString& index);

// A file name that stays in its folder: "/", "\" and control characters
// become "_", and the names "." and ".." become "_" and "__".
QString SafeFileName(const QString& fileName);

// Readies the section for a file: a blank Folder or FileName gets the
// section's default written back (with FileName, INDEX "001" too when the
// section has no INDEX key), and the folder is created when missing; a
// folder that cannot be created is not reported here. Raises
// EIniFileException when a default cannot be written, and EOutputFolderError
// when the folder cannot be determined (the defaults written before stay).
// BuildOutputPath does this first; INDEX is neither read nor written.
void PrepareOutputSection(const QString& section);

// The full path of the next output file of the section: resolved folder +
// name from the pattern (made safe with SafeFileName) + extension (with its
// dot). A blank Folder or FileName gets the section's default written back;
// writing the default FileName also writes INDEX "001" when the section has no
// INDEX key. The folder is created when missing; a folder that cannot be
// created is not reported here (the path is returned and the write there
// fails). Raises EIniFileException when a default cannot be written, and
// EOutputFolderError when the folder cannot be determined (the defaults
// written before stay). With an index given, it stands in the name in place
// of the section's INDEX, which is neither read nor written.
QString BuildOutputPath(const QString& section, const QString& extension, const QString& tag,
                        const std::optional<QString>& index = std::nullopt);

// A section readied for its files: the resolved folder (ending in "/"), the
// trimmed name pattern and INDEX as it stands (empty when missing).
struct TOutputTarget {
    QString Folder;
    QString Pattern;
    QString Index;
};

// PrepareOutputSection and a read of INDEX, through one settings-file object:
// what a writer of several files needs to name them all without reading the
// settings file again. Raises as PrepareOutputSection does.
TOutputTarget PrepareOutputTarget(const QString& section);

// The path BuildOutputPath gives for the target with this index standing in
// for its INDEX; reads and writes no setting.
QString OutputTargetPath(const TOutputTarget& target, const QString& extension, const QString& tag,
                         const QString& index);

// The section's INDEX as it stands in the settings file (empty when missing).
QString ReadOutputIndex(const QString& section);

// Writes index as the section's INDEX. A refused write raises
// EIniFileException.
void WriteOutputIndex(const QString& section, const QString& index);

// True when the trimmed FileName holds a "$" and the trimmed INDEX is not
// empty. Only reads; any failure gives false.
bool FileNameUsesIndex(const QString& section);
// The rule of FileNameUsesIndex on a section's FileName and INDEX as read.
bool PatternUsesIndex(const QString& fileName, const QString& index);

// The index after the given one at the same width: the integer (class library
// syntax, so "$0A" is 10) plus one in decimal, padded with "0" after any sign
// to the old length; longer numbers keep all digits. Nothing when the text is
// no integer or is the largest one (2147483647), whose successor would not
// read back.
std::optional<QString> NextIndexText(const QString& index);

// When FileNameUsesIndex holds, writes NextIndexText of INDEX back as INDEX
// and returns true; an INDEX that cannot advance (no integer, or 2147483647)
// stays unchanged without a report and the result is false. A refused write
// raises EIniFileException.
bool IncrementIndex(const QString& section);
