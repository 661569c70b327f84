#pragma once

#include <cstdint>
#include <vector>

#include <QByteArray>
#include <QString>

#include "platform/core/Files.h"
#include "series/core/TextLines.h"

// Reading TXT and CSV shot files back (LOAD). The format is the one the
// caller names (the save format), never guessed from the file's name.
// Pure except ReadShotsFile.

// The largest file LOAD reads, as for CMP's compare file: far above any shot
// file the program writes (10,000 CSV rows are well under 1 MB), low enough
// that a wrong choice in the dialog cannot fill the memory.
inline constexpr std::int64_t MaxShotsFileBytes = 32 * 1024 * 1024;

// The lines of a shot file's bytes, by Utf8TextLines.
std::vector<QString> ShotsFileLines(const QByteArray& bytes);

// The lines LOAD takes from a shot file, in file order:
// - TXT: every line, trimmed, that is not empty, values or not;
// - CSV: from the fourth line on (header and two empty lines skipped whatever
//   they hold), the second cell (CsvSecondCell) of every non-empty row that
//   has a separator, trimmed, an empty cell too.
// The rebuild then takes from each the number the line rule finds in it
// (RebuildLineValue), so a CSV file read as TXT, "812 m/s" or a
// chronograph's text export load their velocities; the rest adds no shot.
std::vector<QString> ShotsFileValues(const std::vector<QString>& lines, bool txt);

// Why a file could not be read.
using TShotsFileProblem = TFileReadProblem;

struct TShotsFileRead {
    std::vector<QString> Values;  // ShotsFileValues of the file: the lines taken
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
