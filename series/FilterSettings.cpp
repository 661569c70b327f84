#include "series/FilterSettings.h"

#include <QFileInfo>

#include "storage/ProgramSettings.h"

void EnsureFilterSection() {
    if (!QFileInfo::exists(IniPath())) return;
    const QString section = QStringLiteral("FILTER");
    const QString missing = QStringLiteral("__MISSING__");
    TIniFile ini(IniPath());
    if (!ini.ValueExists(section, QStringLiteral("Filter")))
        ini.WriteInteger(section, QStringLiteral("Filter"), 0);
    if (ini.ReadString(section, QStringLiteral("Shots"), missing) == missing)
        ini.WriteString(section, QStringLiteral("Shots"), QStringLiteral("S(~)"));
    if (ini.ReadString(section, QStringLiteral("Velocity"), missing) == missing)
        ini.WriteString(section, QStringLiteral("Velocity"), QStringLiteral("V(~)"));
}

// The rule syntax comes with the FILTER command; until then no rule is in
// force, which is also what a fresh settings file says.
TFilterConfig LoadFilterConfig() { return {}; }
