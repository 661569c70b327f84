#include "series/core/TextLines.h"

#include <QStringDecoder>

#include "series/core/NumberText.h"

namespace {

// The line holds a TAB, else a ";", else a ",": that character.
QChar FirstSeparator(QStringView text) {
    for (const QChar separator : {QLatin1Char('\t'), QLatin1Char(';'), QLatin1Char(',')})
        if (text.contains(separator)) return separator;
    return QChar();
}

}  // namespace

std::vector<QString> SplitTextLines(const QString& text) {
    std::vector<QString> lines;
    qsizetype start = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n')) continue;
        lines.push_back(text.mid(start, i - start));
        if (c == QLatin1Char('\r') && i + 1 < size && text.at(i + 1) == QLatin1Char('\n')) ++i;
        start = i + 1;
    }
    if (start < size) lines.push_back(text.mid(start));
    return lines;
}

std::vector<QString> Utf8TextLines(const QByteArray& bytes) {
    QByteArrayView view(bytes);
    if (view.startsWith("\xEF\xBB\xBF")) view = view.sliced(3);
    // fromUtf8 would drop a second mark too, and with it a character that
    // belongs to the first line. Stateless: a sequence cut at the end of the
    // file is an invalid character, not one still to come.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom |
                                                     QStringDecoder::Flag::Stateless);
    return SplitTextLines(decoder(view));
}

bool CsvSecondCell(const QString& row, QString& cell) {
    const QString trimmed = TrimText(row);
    const QChar separator = FirstSeparator(trimmed);
    if (separator.isNull()) return false;
    const QString rest = trimmed.mid(trimmed.indexOf(separator) + 1);
    QChar end = FirstSeparator(rest);
    // A comma ends the cell only in a row that commas cut: in "1;812,5" or
    // "1\t812,5" it is the decimal point, and cutting there would load 812.
    if (end == QLatin1Char(',') && separator != QLatin1Char(',')) end = QChar();
    cell = TrimText(end.isNull() ? rest : rest.left(rest.indexOf(end)));
    return true;
}
