// Visual styles: Fusion with a palette and a style sheet per name.
#include "platform/ui/StyleManager.h"

#include <map>

#include <QApplication>
#include <QColor>
#include <QPalette>
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

// The colour text as Qt spells it ("#rrggbb", lower case).
QString Name(const QString& colour) {
    return QColor(colour).name();
}

QPalette MakePalette(const TStyleColors& c) {
    QPalette p;
    p.setColor(QPalette::Window, QColor(c.Window));
    p.setColor(QPalette::WindowText, QColor(c.WindowText));
    p.setColor(QPalette::Base, QColor(c.Base));
    p.setColor(QPalette::AlternateBase, QColor(c.AlternateBase));
    p.setColor(QPalette::Text, QColor(c.Text));
    p.setColor(QPalette::Button, QColor(c.Button));
    p.setColor(QPalette::ButtonText, QColor(c.ButtonText));
    p.setColor(QPalette::Highlight, QColor(c.Highlight));
    p.setColor(QPalette::HighlightedText, QColor(c.HighlightedText));
    p.setColor(QPalette::ToolTipBase, QColor(c.ToolTipBase));
    p.setColor(QPalette::ToolTipText, QColor(c.ToolTipText));
    p.setColor(QPalette::PlaceholderText, QColor(c.Disabled));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, QColor(c.Disabled));
    return p;
}

QString StyleSheet(const TStyleColors& c, const QString& accent, int radius) {
    return QStringLiteral(
               "QPushButton, QToolButton { background: %1; color: %2; border: 1px solid %3;"
               " border-radius: %4px; padding: 0px 1px; }"
               "QPushButton:hover, QToolButton:hover { border-color: %5; }"
               "QPushButton:pressed, QToolButton:pressed { background: %5; color: %6; }"
               "QPushButton:disabled, QToolButton:disabled { color: %7; }"
               "QLineEdit, QPlainTextEdit, QComboBox { background: %8; color: %9;"
               " border: 1px solid %3; border-radius: %4px; }"
               "QComboBox QAbstractItemView { background: %8; color: %9;"
               " selection-background-color: %5; }"
               "QToolTip { background: %10; color: %11; border: 1px solid %5; }")
        .arg(Name(c.Button), Name(c.ButtonText), QColor(c.Button).darker(140).name(),
             QString::number(radius), accent, Name(c.HighlightedText), Name(c.Disabled),
             Name(c.Base), Name(c.Text))
        .arg(Name(c.ToolTipBase), Name(c.ToolTipText));
}

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

void TStyleManager::RegisterStyle(const QString& name, const TStyleColors& colors,
                                  const QString& accent, int radius) {
    RegisterStyle(name, MakePalette(colors), StyleSheet(colors, accent, radius));
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
        if (showErrorDialog) Dialogs().ShowError(QStringLiteral("Style '%1' not found").arg(name));
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

QString TStyleManager::ActiveStyleName() {
    return Active();
}

void TStyleManager::ResetForTesting() {
    Styles().clear();
    TrySetStyle(WindowsName, false);
}
