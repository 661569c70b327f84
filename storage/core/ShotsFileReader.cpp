#include "storage/core/ShotsFileReader.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>

#include "platform/core/Exception.h"
#include "series/core/NumberText.h"

std::vector<QString> ShotsFileLines(const QByteArray& bytes) {
    return Utf8TextLines(bytes);
}

std::vector<QString> ShotsFileValues(const std::vector<QString>& lines, bool txt) {
    std::vector<QString> values;
    values.reserve(lines.size());
    double value = 0.0;
    for (std::size_t i = txt ? 0 : 3; i < lines.size(); ++i) {
        QString text;
        if (txt)
            text = TrimText(lines[i]);
        else if (!CsvSecondCell(lines[i], text))
            continue;
        if (ShotLineValue(text, value)) values.push_back(text);
    }
    return values;
}

TShotsFileRead ReadShotsFile(const QString& path, bool txt) {
    TShotsFileRead read;
    const auto failed = [&](TShotsFileProblem problem, const char* call, int error) {
        read.Problem = problem;
        read.Call = QString::fromLatin1(call);
        read.Error = error;
        return read;
    };

    // Non-blocking, so that a named pipe chosen in the dialog cannot hang
    // the window; only a regular file is read at all.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return failed(TShotsFileProblem::CannotOpen, "open", errno);
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        return failed(TShotsFileProblem::CannotRead, "fstat", error);
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        return failed(TShotsFileProblem::NotAFile, "", 0);
    }
    if (info.st_size > MaxShotsFileBytes) {
        ::close(fd);
        return failed(TShotsFileProblem::TooLarge, "", 0);
    }

    // The file may grow while it is read: never take more than the bound.
    QByteArray bytes;
    bytes.resize(qsizetype(info.st_size) + 1);
    qsizetype done = 0;
    for (;;) {
        if (done == bytes.size()) {
            if (done > MaxShotsFileBytes) {
                ::close(fd);
                return failed(TShotsFileProblem::TooLarge, "", 0);
            }
            bytes.resize(std::min<qsizetype>(done * 2 + 4096, MaxShotsFileBytes + 1));
        }
        const ssize_t n = ::read(fd, bytes.data() + done, std::size_t(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR) continue;
            const int error = errno;
            ::close(fd);
            return failed(TShotsFileProblem::CannotRead, "read", error);
        }
        if (n == 0) break;
        done += n;
    }
    ::close(fd);
    bytes.truncate(done);
    read.Values = ShotsFileValues(ShotsFileLines(bytes), txt);
    return read;
}

QString ShotsFileProblemText(const TShotsFileRead& read, const QString& path) {
    switch (read.Problem) {
        case TShotsFileProblem::None:
            return QString();
        case TShotsFileProblem::CannotOpen:
        case TShotsFileProblem::CannotRead:
            return ESysError(read.Call, read.Error, path).Message();
        case TShotsFileProblem::NotAFile:
            return path + QStringLiteral(" is not a file");
        case TShotsFileProblem::TooLarge:
            return path + QStringLiteral(" is larger than ") +
                   QString::number(MaxShotsFileBytes / (1024 * 1024)) +
                   QStringLiteral(" MB, too large for a shot file");
    }
    return QString();
}
