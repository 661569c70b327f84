#include "series/core/CompareFile.h"

#include <QFile>
#include <QFileInfo>

#include "series/core/NumberText.h"

namespace {

bool IsBinaryByte(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 && (u < 0x09 || u > 0x0D);
}

// The lines of the text: CR LF, LF or CR end a line.
std::vector<QString> SplitTextLines(const QString& text) {
    std::vector<QString> lines;
    qsizetype start = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\n') && c != QLatin1Char('\r')) continue;
        lines.push_back(text.mid(start, i - start));
        if (c == QLatin1Char('\r') && i + 1 < size && text.at(i + 1) == QLatin1Char('\n')) ++i;
        start = i + 1;
    }
    if (start < size) lines.push_back(text.mid(start));
    return lines;
}

// The first separator of a CSV line: a TAB when it holds one, else a ";",
// else a ","; -1 when none.
qsizetype FirstSeparator(const QString& line) {
    for (const QChar separator : {QLatin1Char('\t'), QLatin1Char(';'), QLatin1Char(',')}) {
        const qsizetype at = line.indexOf(separator);
        if (at >= 0) return at;
    }
    return -1;
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
    QByteArrayView view(bytes);
    if (view.startsWith("\xEF\xBB\xBF")) view = view.sliced(3);
    // As LOAD reads the file: a sequence cut off at the end is an invalid
    // character too, not silently dropped.
    const QString text = QString::fromUtf8(view);
    const std::vector<QString> lines = SplitTextLines(text);
    for (const QString& line : lines)
        if (line.size() > MaxCompareLineLength) {
            result.Problem = TCompareProblem::NotText;
            return result;
        }

    if (txt) {
        for (const QString& line : lines) AppendIfValue(result.Texts, line);
    } else {
        for (std::size_t i = 3; i < lines.size(); ++i) {
            const QString line = TrimText(lines[i]);
            if (line.isEmpty()) continue;
            const qsizetype first = FirstSeparator(line);
            if (first < 0) continue;
            // The second column ends at the line's own separator: looked for
            // afresh, a decimal comma in a TAB or ";" row ("1;812,5") would
            // cut the value short.
            QString rest = line.mid(first + 1);
            const qsizetype second = rest.indexOf(line.at(first));
            if (second >= 0) rest.truncate(second);
            AppendIfValue(result.Texts, rest);
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
        result.Problem =
            QFileInfo::exists(path) ? TCompareProblem::Unreadable : TCompareProblem::Missing;
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
