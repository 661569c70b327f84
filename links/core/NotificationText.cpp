#include "links/core/NotificationText.h"

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

std::vector<QString> CutNotificationText(QString& pending, bool& skipping,
                                         const QByteArray& bytes) {
    std::vector<QString> lines;
    int start = 0;
    for (int i = 0; i <= bytes.size(); ++i) {
        const bool end = i == bytes.size();
        if (!end && bytes[i] != '\n') continue;
        const QString chunk = QString::fromUtf8(bytes.constData() + start, i - start);
        start = i + 1;
        if (end) {
            // The unfinished rest: kept while it stays a plausible line.
            if (skipping) break;
            pending += chunk;
            if (pending.size() > MaxNotificationLineLength) {
                pending.clear();
                skipping = true;
            }
            break;
        }
        if (skipping) {
            skipping = false;
            pending.clear();
            continue;
        }
        const QString whole = pending + chunk;
        pending.clear();
        if (whole.size() > MaxNotificationLineLength) continue;
        QString line = TrimText(whole);
        if (!line.isEmpty()) lines.push_back(line);
    }
    return lines;
}
