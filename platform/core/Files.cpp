#include "platform/core/Files.h"

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
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
// Tries before giving up on a free temporary name; with 62^12 names a
// second try is already unheard of.
constexpr int TemporaryNameTries = 100;

QByteArray RandomText(int length) {
    static const char Letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray text(length, '\0');
    for (char& c : text) c = Letters[QRandomGenerator::system()->bounded(62)];
    return text;
}

// A temporary file for target, open for writing and removed again by
// Discard unless Finish put it in place.
class TTemporaryFile {
public:
    TTemporaryFile(const QByteArray& target, const QString& path) : FPath(path) {
        const qsizetype slash = target.lastIndexOf('/');
        const QByteArray folder = slash < 0 ? QByteArray() : target.left(slash + 1);
        const QByteArray name =
            (slash < 0 ? target : target.mid(slash + 1)).left(TemporaryNameStem);
        for (int tries = 0; tries < TemporaryNameTries; ++tries) {
            FName = folder + '.' + name + '.' + RandomText(12) + ".part";
            // O_EXCL with O_CREAT never follows a link at the name: whatever
            // is there, the open fails and another name is tried.
            FFd = ::open(FName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                         0666);
            if (FFd >= 0) return;
            if (errno != EEXIST) break;
        }
        throw ESysError(QStringLiteral("open"), errno, FPath);
    }
    TTemporaryFile(const TTemporaryFile&) = delete;
    TTemporaryFile& operator=(const TTemporaryFile&) = delete;
    ~TTemporaryFile() { Discard(); }

    int Fd() const { return FFd; }
    const QByteArray& Name() const { return FName; }

    // The bytes, flushed to the disk; the file is closed afterwards.
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
        const int fd = FFd;
        FFd = -1;
        if (::close(fd) != 0) Fail("close");
    }

    // Removes the file and raises the failed call's error.
    [[noreturn]] void Fail(const char* call) {
        const int error = errno;
        Discard();
        throw ESysError(QString::fromLatin1(call), error, FPath);
    }

    // The file now has its final name: nothing to remove.
    void Placed() { FName.clear(); }

private:
    void Discard() {
        if (FFd >= 0) ::close(FFd);
        FFd = -1;
        if (!FName.isEmpty()) ::unlink(FName.constData());
        FName.clear();
    }

    QString FPath;
    QByteArray FName;
    int FFd = -1;
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
