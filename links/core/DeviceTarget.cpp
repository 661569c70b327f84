#include "links/core/DeviceTarget.h"

namespace {

bool IsHex(char16_t u) {
    return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F');
}

// Device names are compared as the adapter reports them; only ASCII letters
// fold, so the result does not hang on the locale.
bool AsciiCaseEqual(const QString& a, const QString& b) {
    if (a.size() != b.size()) return false;
    for (int i = 0; i < a.size(); ++i) {
        QChar x = a[i];
        QChar y = b[i];
        if (x.unicode() >= 'a' && x.unicode() <= 'z') x = QChar(x.unicode() - 32);
        if (y.unicode() >= 'a' && y.unicode() <= 'z') y = QChar(y.unicode() - 32);
        if (x != y) return false;
    }
    return true;
}

}  // namespace

QString NormalizeHex(const QString& text) {
    QString out;
    for (QChar c : text)
        if (IsHex(c.unicode())) out += c.toUpper();
    return out;
}

bool BlankTarget(const QString& text) {
    for (QChar c : text.trimmed())
        if (c != QLatin1Char(':') && c != QLatin1Char('-')) return false;
    return true;
}

TDeviceTarget ParseDeviceTarget(const QString& text) {
    TDeviceTarget target;
    const QString s = text.trimmed();
    if (BlankTarget(s)) return target;
    bool addressChars = true;
    for (QChar c : s) {
        const char16_t u = c.unicode();
        if (!IsHex(u) && u != ':' && u != '-') {
            addressChars = false;
            break;
        }
    }
    if (addressChars && s.size() >= 12) {
        target.Address = NormalizeHex(s);
        return target;
    }
    const int blank = s.indexOf(QLatin1Char(' '));
    if (blank >= 0) {
        target.Name = s.left(blank).trimmed();
        target.Address = NormalizeHex(s.mid(blank + 1).trimmed());
    } else {
        target.Name = s;
    }
    return target;
}

bool MatchesTarget(const TDeviceTarget& target, const QString& name, const QString& address) {
    const bool nameMatches = target.Name.isEmpty() || AsciiCaseEqual(target.Name, name);
    const bool addressMatches = target.Address.isEmpty() || target.Address == NormalizeHex(address);
    return nameMatches && addressMatches;
}
