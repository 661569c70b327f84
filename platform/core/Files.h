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
// bytes go to a temporary file in the same folder, are flushed to the disk
// and then take the file's place, so a failed write leaves an earlier file
// as it was and no temporary file behind; two programs writing one file at
// the same time each write their own, and the file is whole either way.
// Where the file system has unnamed files (O_TMPFILE: ext4, xfs, btrfs,
// tmpfs) the temporary file has no name while it is written and is named
// only for the rename; elsewhere it is created exclusively under a name no
// other writer can have chosen or planted (".<name>.<random>.part", a link
// of that name is never followed). Its writer holds it locked while it has
// a name, so a temporary file that a killed writer left is told from one
// being written (see RemoveStaleTemporaryFiles). A new file gets 0666 less
// the umask. A file that existed keeps its permission bits (and its owner
// where the process may set it); a symbolic link keeps pointing at the
// file it names, which is replaced. Raises ESysError with the failed call,
// errno and the path ("open error: 2 (No such file or directory:
// /home/u/shots/Chrono_001.csv)").
void WriteFileReplacing(const QString& path, const QByteArray& bytes);

// Writes bytes as a new file at path, the same way, but only while nothing
// at all has that name (also no dangling link): the file appears whole in
// one step and never replaces anything, even when another program creates
// the name at the same moment. An unnamed temporary file is linked at the
// name directly, so it never has another name. False when the name is
// taken, with nothing changed; raises ESysError as WriteFileReplacing does
// for any other failure.
bool WriteNewFile(const QString& path, const QByteArray& bytes);

// Removes from folder the temporary files of the two writes above whose
// writer is gone (a process killed mid-write): hidden files of their
// naming, regular, of this user, that no writer holds. A temporary file
// that another program (a second copy) is writing at the moment stays, as
// does anything else in the folder. Returns how many went; a folder that
// cannot be read gives 0. Never throws.
int RemoveStaleTemporaryFiles(const QString& folder);

// Tests: false makes the two writes above name every temporary file from
// the start, as on a file system without unnamed files; true puts back the
// unnamed files where the file system has them.
void SetUnnamedTemporaryFilesForTesting(bool allowed);

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
