#include "platform/core/Files.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <stdio.h>

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include "platform/core/Exception.h"

bool FileExists(const QString& path) {
    return QFileInfo::exists(path);
}

namespace {

// The longest part of the target's name that goes into the temporary
// file's name, in bytes: the whole name must stay within NAME_MAX (255).
constexpr qsizetype TemporaryNameStem = 200;
// The random part of a temporary name, and the name's last part.
constexpr int TemporaryNameRandom = 12;
const QByteArray TemporaryNameEnd(".part");
// Tries before giving up on a free temporary name; with 62^12 names a
// second try is already unheard of.
constexpr int TemporaryNameTries = 100;

QByteArray RandomText(int length) {
    static const char Letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray text(length, '\0');
    for (char& c : text) c = Letters[QRandomGenerator::system()->bounded(62)];
    return text;
}

bool IsLetterOrDigit(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// True for a name TTemporaryFile gives: ".<name>.<12 letters or digits>.part".
bool IsTemporaryName(const char* name) {
    const std::size_t length = std::strlen(name);
    const std::size_t tail =
        std::size_t(TemporaryNameRandom) + std::size_t(TemporaryNameEnd.size());
    if (length < tail + 3 || name[0] != '.') return false;
    if (std::memcmp(name + length - TemporaryNameEnd.size(), TemporaryNameEnd.constData(),
                    std::size_t(TemporaryNameEnd.size())) != 0)
        return false;
    const char* random = name + length - tail;
    if (random[-1] != '.') return false;
    return std::all_of(random, random + TemporaryNameRandom, IsLetterOrDigit);
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::atomic<bool> UnnamedFilesAllowed{true};

// An unnamed file is given its name through its /proc entry, which needs
// no privilege; without /proc every temporary file is named from the start.
bool CanNameUnnamedFiles() {
    static const bool can = ::access("/proc/self/fd", X_OK) == 0;
    return can && UnnamedFilesAllowed.load();
}

// A temporary file for target, open for writing and gone again unless
// Placed says that it now has its final name.
//
// Where the file system allows it the file has no name while it is
// written (O_TMPFILE), so a writer killed meanwhile leaves nothing behind.
// Elsewhere, and for the moment between naming and renaming it for a
// replacement, it has a hidden name ".<name>.<random>.part". Its writer
// holds an exclusive lock on it from before it has any name until it is
// placed or removed, and the lock ends with the writer's process, so a
// named temporary file that nobody holds is one a killed writer left:
// RemoveStaleTemporaryFiles takes those away, also while another copy of
// the program is writing its own.
class TTemporaryFile {
public:
    TTemporaryFile(const QByteArray& target, const QString& path) : FPath(path) {
        const qsizetype slash = target.lastIndexOf('/');
        FFolder = slash < 0 ? QByteArray() : target.left(slash + 1);
        FStem = (slash < 0 ? target : target.mid(slash + 1)).left(TemporaryNameStem);
        if (CanNameUnnamedFiles()) {
            const QByteArray folder = FFolder.isEmpty() ? QByteArray(".") : FFolder;
            FFd = ::open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
            if (FFd >= 0) {
                // Nobody else can have it yet: the lock cannot be refused.
                ::flock(FFd, LOCK_EX);
                return;
            }
        }
        // A file system without unnamed files (or none at all: the named
        // open below says why).
        CreateNamed();
    }
    TTemporaryFile(const TTemporaryFile&) = delete;
    TTemporaryFile& operator=(const TTemporaryFile&) = delete;
    ~TTemporaryFile() { Discard(); }

    int Fd() const { return FFd; }

    // The bytes, flushed to the disk; the file stays open, and locked,
    // until it is placed or discarded.
    void Write(const QByteArray& bytes) {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n =
                ::write(FFd, bytes.constData() + done, std::size_t(bytes.size() - done));
            if (n < 0) {
                if (errno == EINTR) continue;
                Fail("write");
            }
            done += n;
        }
        if (::fsync(FFd) != 0) Fail("fsync");
    }

    // The written file under a temporary name, for a rename to put it in
    // place.
    const QByteArray& Name() {
        if (FName.isEmpty()) {
            for (int tries = 0; tries < TemporaryNameTries; ++tries) {
                const QByteArray name = RandomName();
                if (LinkUnnamed(name)) {
                    FName = name;
                    return FName;
                }
                if (errno != EEXIST) break;
            }
            Fail("linkat");
        }
        return FName;
    }

    // Gives the written file the name target while nothing has that name:
    // false, with nothing changed, when the name is taken. Only for an
    // unnamed file (see IsUnnamed).
    bool LinkNew(const QByteArray& target) {
        if (LinkUnnamed(target)) {
            FPlaced = true;
            return true;
        }
        if (errno == EEXIST) return false;
        Fail("linkat");
    }

    bool IsUnnamed() const { return FName.isEmpty(); }

    // Removes the file and raises the failed call's error.
    [[noreturn]] void Fail(const char* call) {
        const int error = errno;
        Discard();
        throw ESysError(QString::fromLatin1(call), error, FPath);
    }

    // The file now has its final name: nothing to remove. Closing it ends
    // the lock.
    void Placed() {
        FName.clear();
        FPlaced = true;
        Close();
    }

private:
    QByteArray RandomName() const {
        return FFolder + '.' + FStem + '.' + RandomText(TemporaryNameRandom) + TemporaryNameEnd;
    }

    bool LinkUnnamed(const QByteArray& name) const {
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(FFd);
        return ::linkat(AT_FDCWD, self.constData(), AT_FDCWD, name.constData(),
                        AT_SYMLINK_FOLLOW) == 0;
    }

    void CreateNamed() {
        for (int tries = 0; tries < TemporaryNameTries; ++tries) {
            const QByteArray name = RandomName();
            // O_EXCL with O_CREAT never follows a link at the name: whatever
            // is there, the open fails and another name is tried.
            const int fd = ::open(name.constData(),
                                  O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
            if (fd < 0) {
                if (errno == EEXIST) continue;
                break;
            }
            // Between the open and the lock a sweep may have taken the
            // file for a stale one and removed it: the name must still be
            // this file's once the lock is held, else another is tried.
            struct stat opened {};
            struct stat named {};
            if (::flock(fd, LOCK_EX) == 0 && ::fstat(fd, &opened) == 0 &&
                ::lstat(name.constData(), &named) == 0 && SameFile(opened, named)) {
                FFd = fd;
                FName = name;
                return;
            }
            ::close(fd);
        }
        throw ESysError(QStringLiteral("open"), errno, FPath);
    }

    void Close() {
        if (FFd >= 0) ::close(FFd);
        FFd = -1;
    }

    void Discard() {
        // The name goes while the lock is held, so that no sweep can take
        // a name that is about to be reused.
        if (!FPlaced && !FName.isEmpty()) ::unlink(FName.constData());
        FName.clear();
        Close();
    }

    QString FPath;
    QByteArray FFolder;  // with its "/", or empty for the current folder
    QByteArray FStem;
    QByteArray FName;  // the temporary name, while it has one
    int FFd = -1;
    bool FPlaced = false;
};

// The rename or link itself reaches the disk with the folder; a folder that
// cannot be synced changes nothing about the file, which is in place.
void SyncFolderOf(const QString& filePath) {
    const QByteArray folder = QFile::encodeName(QFileInfo(filePath).absolutePath());
    const int folderFd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        ::fsync(folderFd);
        ::close(folderFd);
    }
}

// Removes the temporary file `name` in the open folder when its writer is
// gone: a regular file of this user that nobody holds locked. True when it
// went.
bool RemoveWhenStale(int folderFd, const char* name) {
    int fd = ::openat(folderFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    // A file that takes the mode of one that cannot be read.
    if (fd < 0 && errno == EACCES)
        fd = ::openat(folderFd, name, O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    // Locked, the file is its writer's for good: a writer removes its file
    // or renames it away before it lets go, so a name that still holds the
    // file opened is a stale one.
    struct stat opened {};
    struct stat named {};
    const bool stale = ::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) &&
                       opened.st_uid == ::geteuid() && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
                       ::fstatat(folderFd, name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
                       SameFile(opened, named);
    const bool removed = stale && ::unlinkat(folderFd, name, 0) == 0;
    ::close(fd);
    return removed;
}

}  // namespace

void WriteFileReplacing(const QString& path, const QByteArray& bytes) {
    // Through a link, the file it names is replaced and the link stays.
    QString targetPath = path;
    const QFileInfo info(path);
    if (info.isSymLink() && info.exists()) targetPath = info.canonicalFilePath();

    const QByteArray target = QFile::encodeName(targetPath);
    struct stat existing {};
    const bool replacing = ::stat(target.constData(), &existing) == 0 && S_ISREG(existing.st_mode);

    // On any failure the temporary file goes; the file it was to replace stays.
    TTemporaryFile part(target, path);
    if (replacing) {
        // The owner first: changing it may clear set-id bits that the mode
        // then puts back. Only a privileged process may give a file away.
        if (::fchown(part.Fd(), existing.st_uid, existing.st_gid) != 0 && errno != EPERM)
            part.Fail("fchown");
        if (::fchmod(part.Fd(), existing.st_mode & 07777) != 0) part.Fail("fchmod");
    }
    part.Write(bytes);
    // No call puts an unnamed file in the place of another: it is named
    // for the moment of the rename.
    if (::rename(part.Name().constData(), target.constData()) != 0) part.Fail("rename");
    part.Placed();
    SyncFolderOf(targetPath);
}

bool WriteNewFile(const QString& path, const QByteArray& bytes) {
    const QByteArray target = QFile::encodeName(path);
    // Taken already: no temporary file is worth writing. The final step
    // below decides, since the name may be taken meanwhile.
    struct stat taken {};
    if (::lstat(target.constData(), &taken) == 0) return false;

    TTemporaryFile part(target, path);
    part.Write(bytes);
    if (part.IsUnnamed()) {
        // A link is made only while the name is free, a dangling link
        // included.
        if (!part.LinkNew(target)) return false;
        part.Placed();
        SyncFolderOf(path);
        return true;
    }
    if (::renameat2(AT_FDCWD, part.Name().constData(), AT_FDCWD, target.constData(),
                    RENAME_NOREPLACE) != 0) {
        if (errno == EEXIST) return false;
        // A file system without the no-replace rename: a hard link is made
        // only while the name is free, then the temporary name goes.
        if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) part.Fail("rename");
        if (::link(part.Name().constData(), target.constData()) != 0) {
            if (errno == EEXIST) return false;
            part.Fail("link");
        }
        // part's destructor removes the temporary name; the file stays
        // under its own.
        SyncFolderOf(path);
        return true;
    }
    part.Placed();
    SyncFolderOf(path);
    return true;
}

int RemoveStaleTemporaryFiles(const QString& folder) {
    const int folderFd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0) return 0;
    DIR* entries = ::fdopendir(folderFd);
    if (!entries) {
        ::close(folderFd);
        return 0;
    }
    // The names first: removing while reading the folder could skip some.
    std::vector<QByteArray> names;
    while (const dirent* entry = ::readdir(entries)) {
        if (IsTemporaryName(entry->d_name)) names.emplace_back(entry->d_name);
    }
    int removed = 0;
    for (const QByteArray& name : names)
        if (RemoveWhenStale(folderFd, name.constData())) ++removed;
    ::closedir(entries);
    return removed;
}

TFileRead ReadWholeFile(const QString& path, std::int64_t maxBytes) {
    TFileRead read;
    const auto failed = [&](TFileReadProblem problem, const char* call, int error) {
        read.Bytes.clear();
        read.Problem = problem;
        read.Call = QString::fromLatin1(call);
        read.Error = error;
        return read;
    };

    // Non-blocking, so that a named pipe chosen in a dialog cannot hang the
    // window; only a regular file is read at all.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return failed(TFileReadProblem::CannotOpen, "open", errno);
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        return failed(TFileReadProblem::CannotRead, "fstat", error);
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        return failed(TFileReadProblem::NotAFile, "", 0);
    }
    if (info.st_size > maxBytes) {
        ::close(fd);
        return failed(TFileReadProblem::TooLarge, "", 0);
    }

    // The file may grow while it is read: never take more than the bound.
    QByteArray& bytes = read.Bytes;
    bytes.resize(qsizetype(info.st_size) + 1);
    qsizetype done = 0;
    for (;;) {
        if (done == bytes.size()) {
            if (done > maxBytes) {
                ::close(fd);
                return failed(TFileReadProblem::TooLarge, "", 0);
            }
            bytes.resize(qsizetype(std::min<std::int64_t>(done * 2 + 4096, maxBytes + 1)));
        }
        const ssize_t n = ::read(fd, bytes.data() + done, std::size_t(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR) continue;
            const int error = errno;
            ::close(fd);
            return failed(TFileReadProblem::CannotRead, "read", error);
        }
        if (n == 0) break;
        done += n;
    }
    ::close(fd);
    bytes.truncate(done);
    return read;
}

void SetUnnamedTemporaryFilesForTesting(bool allowed) {
    UnnamedFilesAllowed.store(allowed);
}
