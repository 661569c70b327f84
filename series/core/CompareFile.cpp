#include "series/core/CompareFile.h"

#include <QFile>
#include <QFileInfo>

#include "platform/core/Files.h"
#include "series/core/NumberText.h"
#include "series/core/TextLines.h"

namespace {

bool IsBinaryByte(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 && (u < 0x09 || u > 0x0D);
}

void AppendIfValue(std::vector<QString>& texts, const QString& text) {
    const QString trimmed = TrimText(text);
    double value = 0.0;
    if (!trimmed.isEmpty() && ParseDotDouble(trimmed, value)) texts.push_back(trimmed);
}

}  // namespace

TCompareFile CompareFileValues(const QByteArray& bytes, bool txt) {
    TCompareFile result;
    for (const char c : bytes)
        if (IsBinaryByte(c)) {
            result.Problem = TCompareProblem::NotText;
            return result;
        }
    const std::vector<QString> lines = Utf8TextLines(bytes);
    for (const QString& line : lines)
        if (line.size() > MaxCompareLineLength) {
            result.Problem = TCompareProblem::NotText;
            return result;
        }

    if (txt) {
        for (const QString& line : lines) AppendIfValue(result.Texts, line);
    } else {
        for (std::size_t i = 3; i < lines.size(); ++i) {
            QString cell;
            if (CsvSecondCell(lines[i], cell)) AppendIfValue(result.Texts, cell);
        }
    }
    if (result.Texts.empty()) result.Problem = TCompareProblem::NoValue;
    return result;
}

TCompareFile ReadCompareFile(const QString& path) {
    TCompareFile result;
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists()) {
        result.Problem = TCompareProblem::Missing;
        return result;
    }
    // A folder, a pipe or a device is no shot file; a pipe would even hold
    // the program at the open.
    if (!info.isFile()) {
        result.Problem = TCompareProblem::Unreadable;
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        // Removed between the look and the open counts as missing.
        result.Problem = FileExists(path) ? TCompareProblem::Unreadable : TCompareProblem::Missing;
        return result;
    }
    // A device or a pipe reports no size; read at most one byte past the
    // limit so that an endless source is refused too.
    const QByteArray bytes = file.read(MaxCompareFileBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        result.Problem = TCompareProblem::Unreadable;
        return result;
    }
    if (bytes.size() > MaxCompareFileBytes) {
        result.Problem = TCompareProblem::TooLarge;
        return result;
    }
    const bool txt = info.suffix().compare(QLatin1String("txt"), Qt::CaseInsensitive) == 0;
    return CompareFileValues(bytes, txt);
}

QString CompareProblemText(TCompareProblem problem, const QString& fileName) {
    QString what;
    switch (problem) {
        case TCompareProblem::None:
            return QString();
        case TCompareProblem::Missing:
            what = QStringLiteral("File not found");
            break;
        case TCompareProblem::Unreadable:
            what = QStringLiteral("Cannot read the file");
            break;
        case TCompareProblem::TooLarge:
            what = QStringLiteral("File too large");
            break;
        case TCompareProblem::NotText:
            what = QStringLiteral("Not a shot file");
            break;
        case TCompareProblem::NoValue:
            what = QStringLiteral("No values");
            break;
    }
    return QStringLiteral("CMP: ") + what + QStringLiteral(" - ") + fileName;
}
