#include "series/core/CompareFile.h"

#include <QFileInfo>

#include "platform/core/Files.h"
#include "series/core/NumberText.h"
#include "series/core/TextLines.h"

namespace {

bool IsBinaryByte(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 && (u < 0x09 || u > 0x0D);
}

// A value is what LOAD would take into the list as one (ShotLineValue), so
// that CMP pairs the shots LOAD would show; kept without its control
// characters so that it reads as the number it stands for.
void AppendIfValue(std::vector<QString>& texts, const QString& text) {
    double value = 0.0;
    if (ShotLineValue(text, value)) texts.push_back(TrimText(SanitizeLine(text)));
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
    if (path.isEmpty()) {
        result.Problem = TCompareProblem::Missing;
        return result;
    }
    // A folder, a pipe or a device is no shot file, and a file that stands
    // the open but not the read is unreadable.
    const TFileRead file = ReadWholeFile(path, MaxCompareFileBytes);
    switch (file.Problem) {
        case TFileReadProblem::None:
            break;
        case TFileReadProblem::CannotOpen:
            result.Problem =
                FileExists(path) ? TCompareProblem::Unreadable : TCompareProblem::Missing;
            return result;
        case TFileReadProblem::CannotRead:
        case TFileReadProblem::NotAFile:
            result.Problem = TCompareProblem::Unreadable;
            return result;
        case TFileReadProblem::TooLarge:
            result.Problem = TCompareProblem::TooLarge;
            return result;
    }
    const bool txt =
        QFileInfo(path).suffix().compare(QLatin1String("txt"), Qt::CaseInsensitive) == 0;
    return CompareFileValues(file.Bytes, txt);
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
