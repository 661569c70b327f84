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

TFilterConfig LoadFilterConfig() {
    if (!QFileInfo::exists(IniPath())) return {};
    // A file that cannot be read filters nothing; the filter is an aid, so
    // the program goes on without a message.
    const TIniFile ini(IniPath());
    TFilterConfig config;
    config.Enabled = ini.ReadInteger(SectionFilter, KeyFilter, 0) != 0;
    config.VelocityRule = ParseFilterRule(ini.ReadString(SectionFilter, KeyVelocity, QString()), 0);
    config.ShotsRule = ParseFilterRule(ini.ReadString(SectionFilter, KeyShots, QString()), 1);
    return config;
}
