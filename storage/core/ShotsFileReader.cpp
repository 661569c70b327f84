#include "storage/core/ShotsFileReader.h"

#include "platform/core/Exception.h"
#include "platform/core/Trim.h"

std::vector<QString> ShotsFileLines(const QByteArray& bytes) {
    return Utf8TextLines(bytes);
}

std::vector<QString> ShotsFileValues(const std::vector<QString>& lines, bool txt) {
    std::vector<QString> values;
    values.reserve(lines.size());
    for (std::size_t i = txt ? 0 : 3; i < lines.size(); ++i) {
        QString text;
        if (txt) {
            text = TrimText(lines[i]);
            if (text.isEmpty()) continue;
        } else if (!CsvSecondCell(lines[i], text)) {
            continue;
        }
        values.push_back(std::move(text));
    }
    return values;
}

TShotsFileRead ReadShotsFile(const QString& path, bool txt) {
    const TFileRead file = ReadWholeFile(path, MaxShotsFileBytes);
    TShotsFileRead read;
    read.Problem = file.Problem;
    read.Call = file.Call;
    read.Error = file.Error;
    if (file.Problem == TShotsFileProblem::None)
        read.Values = ShotsFileValues(ShotsFileLines(file.Bytes), txt);
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
