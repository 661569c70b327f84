#include "app/Style.h"

#include <QColor>
#include <QPalette>

#include "platform/core/IniFile.h"
#include "platform/ui/StyleManager.h"
#include "storage/ProgramSettings.h"

namespace {

struct StyleColors {
    QColor Window, WindowText, Base, AlternateBase, Text, Button, ButtonText, Highlight,
        HighlightedText, ToolTipBase, ToolTipText, Disabled;
};

QPalette MakePalette(const StyleColors& c) {
    QPalette p;
    p.setColor(QPalette::Window, c.Window);
    p.setColor(QPalette::WindowText, c.WindowText);
    p.setColor(QPalette::Base, c.Base);
    p.setColor(QPalette::AlternateBase, c.AlternateBase);
    p.setColor(QPalette::Text, c.Text);
    p.setColor(QPalette::Button, c.Button);
    p.setColor(QPalette::ButtonText, c.ButtonText);
    p.setColor(QPalette::Highlight, c.Highlight);
    p.setColor(QPalette::HighlightedText, c.HighlightedText);
    p.setColor(QPalette::ToolTipBase, c.ToolTipBase);
    p.setColor(QPalette::ToolTipText, c.ToolTipText);
    p.setColor(QPalette::PlaceholderText, c.Disabled);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, c.Disabled);
    return p;
}

QString StyleSheet(const StyleColors& c, const QString& accent, int radius) {
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
        .arg(c.Button.name(), c.ButtonText.name(), c.Button.darker(140).name(),
             QString::number(radius), accent, c.HighlightedText.name(), c.Disabled.name(),
             c.Base.name(), c.Text.name())
        .arg(c.ToolTipBase.name(), c.ToolTipText.name());
}

}  // namespace

const QStringList& StyleNames() {
    static const QStringList names{QStringLiteral("Glow"), QStringLiteral("Charcoal Dark Slate"),
                                   QStringLiteral("Tablet Dark"),
                                   QStringLiteral("Sapphire Kamri"), QStringLiteral("Windows")};
    return names;
}

void RegisterProgramStyles() {
    // Glow: dark with a warm orange glow on the controls.
    const StyleColors glow{"#1e1e24", "#f0e6dc", "#14141a", "#26262e", "#f4ece4", "#2c2c34",
                           "#ffb060", "#ff8c1a", "#141414", "#2c2c34", "#ffd8b0", "#7a7068"};
    // Charcoal Dark Slate: neutral charcoal greys with slate-blue accents.
    const StyleColors charcoal{"#2b2f33", "#e2e6ea", "#1f2226", "#32373c", "#e8ecef",
                               "#3a4046", "#e2e6ea", "#5b7c99", "#ffffff", "#3a4046",
                               "#e2e6ea", "#7d858c"};
    // Tablet Dark: near-black, flat, large-contrast with a cyan accent.
    const StyleColors tablet{"#101214", "#ffffff", "#000000", "#1a1d20", "#ffffff", "#1f2327",
                             "#ffffff", "#00a2d4", "#000000", "#1f2327", "#ffffff", "#6c7176"};
    // Sapphire Kamri: light, with sapphire-blue buttons.
    const StyleColors sapphire{"#dfe8f5", "#0d2240", "#ffffff", "#eef3fa", "#0d2240",
                               "#2f5fa8", "#ffffff", "#1d4e9e", "#ffffff", "#ffffe8",
                               "#0d2240", "#8a98ad"};
    TStyleManager::RegisterStyle(StyleNames()[0], MakePalette(glow),
                                 StyleSheet(glow, QStringLiteral("#ff8c1a"), 4));
    TStyleManager::RegisterStyle(StyleNames()[1], MakePalette(charcoal),
                                 StyleSheet(charcoal, QStringLiteral("#5b7c99"), 2));
    TStyleManager::RegisterStyle(StyleNames()[2], MakePalette(tablet),
                                 StyleSheet(tablet, QStringLiteral("#00a2d4"), 0));
    TStyleManager::RegisterStyle(StyleNames()[3], MakePalette(sapphire),
                                 StyleSheet(sapphire, QStringLiteral("#1d4e9e"), 6));
}

void ApplySavedStyle() {
    const int index = ReadStyleIndex();
    if (!TStyleManager::TrySetStyle(StyleNames()[index], true))
        TStyleManager::TrySetStyle(StyleNames()[0], true);
}

int ActiveStyleIndex() {
    const QString active = TStyleManager::ActiveStyleName();
    for (int i = 1; i <= 4; ++i)
        if (active == StyleNames()[i]) return i;
    return 0;
}

void SaveStyleIndex(unsigned index) {
    if (index > 4) index = 0;
    TIniFile ini(IniPath());
    WriteSettingInteger(ini, Setting::Style, int(index));
}
