#pragma once

#include <QString>
#include <QStringList>

class QPalette;

// The colours of a style, each as "#rrggbb": the window, its text, the
// background of edits and lists (Base) with its alternate and its text, the
// buttons and their text, the selection and its text, tool tips and their
// text, and disabled text.
struct TStyleColors {
    QString Window, WindowText, Base, AlternateBase, Text, Button, ButtonText, Highlight,
        HighlightedText, ToolTipBase, ToolTipText, Disabled;
};

// Visual styles: a palette and a style sheet under a name, drawn by Qt's
// Fusion style. "Windows", the plain look (Fusion's standard palette, no
// style sheet), is always known. Main thread only.
class TStyleManager {
public:
    static void RegisterStyle(const QString& name, const QPalette& palette,
                              const QString& styleSheet);
    // A style made of its colours: buttons, edits and tool tips take them,
    // the accent (hover, pressed, list selection) and the corner radius in
    // pixels.
    static void RegisterStyle(const QString& name, const TStyleColors& colors,
                              const QString& accent, int radius);
    static QStringList StyleNames();
    // Applies the named style to the whole application. An unknown name
    // shows Dialogs().ShowError("Style '<name>' not found") when
    // showErrorDialog is set, changes nothing and returns false.
    static bool TrySetStyle(const QString& name, bool showErrorDialog = true);
    static QString ActiveStyleName();
    // Forgets every registered style and returns to "Windows" (tests).
    static void ResetForTesting();
};
