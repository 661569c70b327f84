// Visual styles: Fusion with a palette and a style sheet per name.
#include "platform/ui/StyleManager.h"

#include <map>

#include <QApplication>
#include <QPointer>
#include <QStyle>
#include <QStyleFactory>

#include "platform/ui/Dialogs.h"

namespace {

struct Style {
    QPalette Palette;
    QString Sheet;
};

const QString WindowsName = QStringLiteral("Windows");

std::map<QString, Style>& Styles() {
    static std::map<QString, Style> styles;
    return styles;
}

QString& Active() {
    static QString active = WindowsName;
    return active;
}

// Set once: while a style sheet is active, QApplication::style() is a
// wrapper around the style set here, so it cannot be asked for its name.
// The pointer clears itself when someone else's style replaces it.
void UseFusion() {
    static QPointer<QStyle> fusion;
    if (fusion) return;
    fusion = QStyleFactory::create(QStringLiteral("Fusion"));
    QApplication::setStyle(fusion);
}

}  // namespace

void TStyleManager::RegisterStyle(const QString& name, const QPalette& palette,
                                  const QString& styleSheet) {
    Styles()[name] = Style{palette, styleSheet};
}

QStringList TStyleManager::StyleNames() {
    QStringList names{WindowsName};
    for (const auto& [name, style] : Styles()) {
        if (name != WindowsName) names.append(name);
    }
    return names;
}

bool TStyleManager::TrySetStyle(const QString& name, bool showErrorDialog) {
    auto it = Styles().find(name);
    if (it == Styles().end() && name != WindowsName) {
        if (showErrorDialog)
            Dialogs().ShowError(QStringLiteral("Style '%1' not found").arg(name));
        return false;
    }
    // Applying the active style again would re-polish every widget and drop
    // the fonts the controls set on them.
    if (name == Active()) return true;
    UseFusion();
    if (it != Styles().end()) {
        qApp->setPalette(it->second.Palette);
        qApp->setStyleSheet(it->second.Sheet);
    } else {
        qApp->setPalette(QApplication::style()->standardPalette());
        qApp->setStyleSheet(QString());
    }
    Active() = name;
    return true;
}

QString TStyleManager::ActiveStyleName() { return Active(); }

void TStyleManager::ResetForTesting() {
    Styles().clear();
    TrySetStyle(WindowsName, false);
}
