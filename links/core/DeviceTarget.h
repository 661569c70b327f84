#pragma once

#include <QString>

// The device a CONNECT looks for, as the user wrote it in the device box:
// a name, an address, or a name, one blank and an address.

struct TDeviceTarget {
    QString Name;     // empty: any name
    QString Address;  // upper-case hexadecimal digits only; empty: any address
};

// The hexadecimal digits of text, upper case, everything else dropped:
// "aa:bb-cc" gives "AABBCC".
QString NormalizeHex(const QString& text);

// True for a text that names no device: once trimmed, empty or only ':' and
// '-' (which would otherwise match every device).
bool BlankTarget(const QString& text);

// The target text, trimmed: only hexadecimal digits, ':' and '-', at least
// 12 of them, is an address; otherwise the part before the first blank is
// the name and the rest, normalised, the address; without a blank it is a
// name. A blank text gives neither.
TDeviceTarget ParseDeviceTarget(const QString& text);

// Whether a device with this name and address is the target: the name equal
// ignoring ASCII case, the address equal once normalised; an empty part of
// the target matches anything.
bool MatchesTarget(const TDeviceTarget& target, const QString& name, const QString& address);
