#include "platform/core/Files.h"

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
