#include "platform/core/Files.h"

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>

#include "platform/core/Exception.h"

bool FileExists(const QString& path) {
    return QFileInfo::exists(path);
}

void WriteFileReplacing(const QString& path, const QByteArray& bytes) {
    // Through a link, the file it names is replaced and the link stays.
    QString targetPath = path;
    const QFileInfo info(path);
    if (info.isSymLink() && info.exists()) targetPath = info.canonicalFilePath();

    const QByteArray target = QFile::encodeName(targetPath);
    const QByteArray part = target + ".part";
    struct stat existing {};
    const bool replacing = ::stat(target.constData(), &existing) == 0 && S_ISREG(existing.st_mode);

    const int fd = ::open(part.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) throw ESysError(QStringLiteral("open"), errno, path);

    // On any failure the partial file goes; the file it was to replace stays.
    const auto fail = [&](const char* call, int error, bool open) {
        if (open) ::close(fd);
        ::unlink(part.constData());
        throw ESysError(QString::fromLatin1(call), error, path);
    };
    if (replacing) {
        // The owner first: changing it may clear set-id bits that the mode
        // then puts back. Only a privileged process may give a file away.
        if (::fchown(fd, existing.st_uid, existing.st_gid) != 0 && errno != EPERM)
            fail("fchown", errno, true);
        if (::fchmod(fd, existing.st_mode & 07777) != 0) fail("fchmod", errno, true);
    }
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, std::size_t(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR) continue;
            fail("write", errno, true);
        }
        done += n;
    }
    if (::fsync(fd) != 0) fail("fsync", errno, true);
    if (::close(fd) != 0) fail("close", errno, false);
    if (::rename(part.constData(), target.constData()) != 0) fail("rename", errno, false);

    // The rename itself reaches the disk with the folder; a folder that
    // cannot be synced changes nothing about the file, which is in place.
    const QByteArray folder = QFile::encodeName(QFileInfo(targetPath).absolutePath());
    const int folderFd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        ::fsync(folderFd);
        ::close(folderFd);
    }
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
