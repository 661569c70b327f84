#include "series/FilterSettings.h"

#include <QFileInfo>

#include "storage/ProgramSettings.h"

void EnsureFilterSection() {
    if (!QFileInfo::exists(IniPath())) return;
    // Shots and Velocity are probed with a text no rule can be, so that a
    // key present with an empty value counts as present and stays empty.
    const QString missing = QStringLiteral("__MISSING__");
    TIniFile ini(IniPath());
    if (!ini.ValueExists(SectionFilter, KeyFilter)) WriteSettingDefault(ini, Setting::Filter);
    if (ini.ReadString(SectionFilter, KeyShots, missing) == missing)
        WriteSettingDefault(ini, Setting::Shots);
    if (ini.ReadString(SectionFilter, KeyVelocity, missing) == missing)
        WriteSettingDefault(ini, Setting::Velocity);
}

// The rule syntax comes with the FILTER command; until then no rule is in
// force, which is also what a fresh settings file says.
TFilterConfig LoadFilterConfig() {
    return {};
}
