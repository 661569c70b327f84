#pragma once

#include <QPalette>
#include <QString>
#include <QStringList>

// Visual styles: a palette and a style sheet under a name, drawn by Qt's
// Fusion style. "Windows", the plain look (Fusion's standard palette, no
// style sheet), is always known. Main thread only.
class TStyleManager {
public:
    static void RegisterStyle(const QString& name, const QPalette& palette,
                              const QString& styleSheet);
    static QStringList StyleNames();
    // Applies the named style to the whole application. An unknown name
    // shows Dialogs().ShowError("Style '<name>' not found") when
    // showErrorDialog is set, changes nothing and returns false.
    static bool TrySetStyle(const QString& name, bool showErrorDialog = true);
    static QString ActiveStyleName();
    // Forgets every registered style and returns to "Windows" (tests).
    static void ResetForTesting();
};
