#pragma once

#include <QPalette>
#include <QString>
#include <QStringList>

// Visual styles: a palette and a style sheet under a name. "Windows", the
// plain system look, is always known.
class TStyleManager {
public:
    static void RegisterStyle(const QString& name, const QPalette& palette,
                              const QString& styleSheet);
    static QStringList StyleNames();
    // Applies the named style to the whole application. On failure shows
    // an error box naming the style when showErrorDialog is set and
    // returns false.
    static bool TrySetStyle(const QString& name, bool showErrorDialog = true);
    static QString ActiveStyleName();
    // Forgets every registered style and returns to "Windows" (tests).
    static void ResetForTesting();
};
