#pragma once

#include <cstdint>
#include <vector>

#include <QByteArray>
#include <QString>

// Reading TXT and CSV shot files back (LOAD). The format is the one the
// caller names (the save format), never guessed from the file's name.
// Pure except ReadShotsFile.

// The largest file LOAD reads, as for CMP's compare file: far above any shot
// file the program writes (10,000 CSV rows are well under 1 MB), low enough
// that a wrong choice in the dialog cannot fill the memory.
inline constexpr std::int64_t MaxShotsFileBytes = 32 * 1024 * 1024;

// The lines of a file's bytes: a UTF-8 byte-order mark at the start is
// skipped (a file without one is read as UTF-8 all the same; invalid bytes
// become U+FFFD); lines end at CR LF, LF or CR. A last line without its end
// counts; the end of the last line starts no further line.
std::vector<QString> ShotsFileLines(const QByteArray& bytes);

// The second cell of a CSV row, or false when the row has no separator. The
// row is trimmed; its first TAB, else its first ";", else its first ","
// separates the first cell, and the same character ends the second (so a
// decimal comma inside a TAB- or ";"-separated cell stays in the number).
// The cell comes back trimmed and may be empty.
bool CsvSecondCell(const QString& row, QString& cell);

// The velocities of a shot file, as their texts (trimmed), in file order:
// - TXT: every line that is one number as a whole (ShotLineValue);
// - CSV: from the fourth line on (header and two empty lines skipped whatever
//   they hold), the second cell of each row when it is one number.
// Everything else (words, log lines, empty cells, binary garbage) is left
// out, so that what LOAD adds is exactly what the list will show.
std::vector<QString> ShotsFileValues(const std::vector<QString>& lines, bool txt);

// Why a file could not be read.
enum class TShotsFileProblem {
    None,
    CannotOpen,  // Call and Error tell why
    CannotRead,  // Call and Error tell why
    NotAFile,    // a folder, device or pipe
    TooLarge,    // above MaxShotsFileBytes
};

struct TShotsFileRead {
    std::vector<QString> Values;  // ShotsFileValues of the file
    TShotsFileProblem Problem = TShotsFileProblem::None;
    QString Call;   // the failed system call
    int Error = 0;  // its errno
};

// Reads the file at path and takes its values. Never blocks on a pipe and
// never throws for a file it cannot read: the problem comes back instead,
// with no values.
TShotsFileRead ReadShotsFile(const QString& path, bool txt);

// The problem as the user reads it, naming the file: "open error: 2 (No such
// file or directory: <path>)", "<path> is not a file", "<path> is larger than
// 32 MB, too large for a shot file". Empty for TShotsFileProblem::None.
QString ShotsFileProblemText(const TShotsFileRead& read, const QString& path);
