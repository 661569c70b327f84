#include "links/core/NotificationText.h"

#include <string>

#include "platform/core/Trim.h"

bool IsTextNotification(const QByteArray& bytes) {
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b == 0x09 || b == 0x0A || b == 0x0D) continue;
        if (b < 0x20 || b > 0x7E) return false;
    }
    return true;
}

QString HexLine(const QByteArray& bytes) {
    QString line;
    line.reserve(bytes.size() * 3);
    static const char Digits[] = "0123456789ABCDEF";
    for (int i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (i > 0) line += QLatin1Char(' ');
        line += QLatin1Char(Digits[b >> 4]);
        line += QLatin1Char(Digits[b & 0x0F]);
    }
    return line;
}

std::vector<QString> NotificationLines(TLineCutter& cutter, const QByteArray& bytes) {
    std::vector<QString> lines;
    for (const std::wstring& cut : cutter.Feed(bytes.constData(), std::size_t(bytes.size()))) {
        // A chronograph pads its value with blanks and ends it with CR LF;
        // a line of only those is no line.
        QString line = TrimText(QString::fromStdWString(cut));
        if (!line.isEmpty()) lines.push_back(std::move(line));
    }
    return lines;
}
