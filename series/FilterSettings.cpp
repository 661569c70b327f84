#include "series/FilterSettings.h"

#include "storage/ProgramSettings.h"

void EnsureFilterSection() {
    if (!SettingsFileExists()) return;
    // Shots and Velocity are probed with a text no rule can be, so that a
    // key present with an empty value counts as present and stays empty.
    const QString missing = QStringLiteral("__MISSING__");
    TIniFile ini(IniPath());
    if (!SettingExists(ini, Setting::Filter)) WriteSettingDefault(ini, Setting::Filter);
    if (ini.ReadString(SectionFilter, KeyShots, missing) == missing)
        WriteSettingDefault(ini, Setting::Shots);
    if (ini.ReadString(SectionFilter, KeyVelocity, missing) == missing)
        WriteSettingDefault(ini, Setting::Velocity);
}

TFilterConfig LoadFilterConfig() {
    if (!SettingsFileExists()) return {};
    // A file that cannot be read filters nothing; the filter is an aid, so
    // the program goes on without a message.
    const TIniFile ini(IniPath());
    TFilterConfig config;
    config.Enabled = ReadSettingInteger(ini, Setting::Filter) != 0;
    config.VelocityRule =
        ParseFilterRule(ReadSettingString(ini, Setting::Velocity), TFilterKind::Velocity);
    config.ShotsRule = ParseFilterRule(ReadSettingString(ini, Setting::Shots), TFilterKind::Shots);
    return config;
}
