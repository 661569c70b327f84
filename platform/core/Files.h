#pragma once

#include <cstdint>

#include <QByteArray>
#include <QString>

// The program's few file-system operations that are more than a Qt call:
// every file the program writes (the settings file, the shot files, the
// report image) is written through WriteFileReplacing.

// True when something exists at path; a symbolic link counts by its target,
// so a dangling link does not exist.
bool FileExists(const QString& path);

// Writes bytes as the whole content of the file at path, replacing it: the
// bytes go to "<path>.part" in the same folder, are flushed to the disk and
// then take the file's place, so a failed write leaves an earlier file as it
// was and no partial file behind. A new file gets 0666 less the umask. A file
// that existed keeps its permission bits (and its owner where the process may
// set it); a symbolic link keeps pointing at the file it names, which is
// replaced. Raises ESysError with the failed call, errno and the path ("open
// error: 2 (No such file or directory: /home/u/shots/Chrono_001.csv)").
void WriteFileReplacing(const QString& path, const QByteArray& bytes);

// Why ReadWholeFile gave no bytes.
enum class TFileReadProblem {
    None,
    CannotOpen,  // Call and Error tell why
    CannotRead,  // Call and Error tell why
    NotAFile,    // a folder, device or pipe
    TooLarge,    // above the caller's limit
};

struct TFileRead {
    QByteArray Bytes;  // the whole file; empty with a problem
    TFileReadProblem Problem = TFileReadProblem::None;
    QString Call;   // the failed system call
    int Error = 0;  // its errno
};

// Reads the whole regular file at path, at most maxBytes of it: a larger
// file (also one that grows past the limit while it is read) is TooLarge.
// Never blocks on a pipe and never throws: the problem comes back instead.
TFileRead ReadWholeFile(const QString& path, std::int64_t maxBytes);
