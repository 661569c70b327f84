#include "app/Style.h"

#include "platform/core/IniFile.h"
#include "platform/ui/StyleManager.h"
#include "storage/ProgramSettings.h"

const QStringList& StyleNames() {
    static const QStringList names{QStringLiteral("Glow"), QStringLiteral("Charcoal Dark Slate"),
                                   QStringLiteral("Tablet Dark"), QStringLiteral("Sapphire Kamri"),
                                   QStringLiteral("Windows")};
    return names;
}

void RegisterProgramStyles() {
    // Glow: dark with a warm orange glow on the controls.
    const TStyleColors glow{"#1e1e24", "#f0e6dc", "#14141a", "#26262e", "#f4ece4", "#2c2c34",
                            "#ffb060", "#ff8c1a", "#141414", "#2c2c34", "#ffd8b0", "#7a7068"};
    // Charcoal Dark Slate: neutral charcoal greys with slate-blue accents.
    const TStyleColors charcoal{"#2b2f33", "#e2e6ea", "#1f2226", "#32373c", "#e8ecef", "#3a4046",
                                "#e2e6ea", "#5b7c99", "#ffffff", "#3a4046", "#e2e6ea", "#7d858c"};
    // Tablet Dark: near-black, flat, large-contrast with a cyan accent.
    const TStyleColors tablet{"#101214", "#ffffff", "#000000", "#1a1d20", "#ffffff", "#1f2327",
                              "#ffffff", "#00a2d4", "#000000", "#1f2327", "#ffffff", "#6c7176"};
    // Sapphire Kamri: light, with sapphire-blue buttons.
    const TStyleColors sapphire{"#dfe8f5", "#0d2240", "#ffffff", "#eef3fa", "#0d2240", "#2f5fa8",
                                "#ffffff", "#1d4e9e", "#ffffff", "#ffffe8", "#0d2240", "#8a98ad"};
    TStyleManager::RegisterStyle(StyleNames()[0], glow, QStringLiteral("#ff8c1a"), 4);
    TStyleManager::RegisterStyle(StyleNames()[1], charcoal, QStringLiteral("#5b7c99"), 2);
    TStyleManager::RegisterStyle(StyleNames()[2], tablet, QStringLiteral("#00a2d4"), 0);
    TStyleManager::RegisterStyle(StyleNames()[3], sapphire, QStringLiteral("#1d4e9e"), 6);
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
