#include "storage/core/Settings.h"

#include <algorithm>
#include <string_view>

#include "platform/core/Files.h"
#include "platform/core/Paths.h"
#include "platform/core/Trim.h"
#include "storage/core/OutputNaming.h"

namespace {

// Probe default that tells an absent Folder from any value a user would set.
const QString MissingFolder = QStringLiteral("__MISSING__");

bool SameName(const char* a, const char* b) {
    return std::string_view(a) == b;
}

int ClampOrDefault(int value, int low, int high, int fallback) {
    return value < low || value > high ? fallback : value;
}

// TXTCSV and IMG are completed as a whole when Folder is absent.
void RepairNamedSection(TIniFile& ini, const QString& section) {
    const TOutputDefaults defaults = OutputSectionDefaults(section);
    if (ini.ReadString(section, KeyFolder, MissingFolder) == MissingFolder) {
        ini.WriteString(section, KeyFolder, defaults.Folder);
        ini.WriteString(section, KeyFileName, defaults.FileName);
        ini.WriteString(section, KeyIndex, defaults.Index);
        return;
    }
    if (TrimText(ini.ReadString(section, KeyFileName, QString())).isEmpty()) {
        ini.WriteString(section, KeyFileName, defaults.FileName);
        if (!ini.ValueExists(section, KeyIndex)) ini.WriteString(section, KeyIndex, defaults.Index);
    }
}

}  // namespace

QString IniPath() {
    const QString exe = ExecutablePath();
    const qsizetype nameStart = std::max(exe.lastIndexOf(u'/'), exe.lastIndexOf(u'\\')) + 1;
    const qsizetype dot = exe.lastIndexOf(u'.');
    if (dot >= nameStart) return exe.left(dot) + QStringLiteral(".ini");
    return exe + QStringLiteral(".ini");
}

bool SettingsFileExists() {
    return FileExists(IniPath());
}

QString ReadSettingString(const TIniFile& ini, const TSettingKey& key) {
    return ini.ReadString(key.Section, key.Key, key.ReadDefault);
}

int ReadSettingInteger(const TIniFile& ini, const TSettingKey& key) {
    return ini.ReadInteger(key.Section, key.Key, QString::fromLatin1(key.ReadDefault).toInt());
}

bool ReadSettingBool(const TIniFile& ini, const TSettingKey& key) {
    return ini.ReadBool(key.Section, key.Key, QString::fromLatin1(key.ReadDefault).toInt() != 0);
}

bool SettingExists(const TIniFile& ini, const TSettingKey& key) {
    return ini.ValueExists(key.Section, key.Key);
}

void WriteSettingString(TIniFile& ini, const TSettingKey& key, const QString& value) {
    ini.WriteString(key.Section, key.Key, value);
}

void WriteSettingInteger(TIniFile& ini, const TSettingKey& key, int value) {
    ini.WriteInteger(key.Section, key.Key, value);
}

void WriteSettingBool(TIniFile& ini, const TSettingKey& key, bool value) {
    ini.WriteBool(key.Section, key.Key, value);
}

void DeleteSetting(TIniFile& ini, const TSettingKey& key) {
    ini.DeleteKey(key.Section, key.Key);
}

void WriteSettingDefault(TIniFile& ini, const TSettingKey& key) {
    const QString value = QString::fromLatin1(key.FileValue);
    switch (key.Kind) {
        case TWriteKind::String:
            ini.WriteString(key.Section, key.Key, value);
            break;
        case TWriteKind::Integer:
            ini.WriteInteger(key.Section, key.Key, value.toInt());
            break;
        case TWriteKind::Bool:
            ini.WriteBool(key.Section, key.Key, value.toInt() != 0);
            break;
        case TWriteKind::Float:
            ini.WriteFloat(key.Section, key.Key, value.toDouble());
            break;
        case TWriteKind::NotWritten:
            break;
    }
}

void CreateDefaultIni(TIniVariant variant) {
    if (SettingsFileExists()) return;
    TIniFile ini(IniPath());
    for (const TSettingKey& key : DefaultFileKeys) {
        if (key.TarvexOnly && variant == TIniVariant::TarvexSerial) continue;
        WriteSettingDefault(ini, key);
    }
}

void RepairOutputSections() {
    TIniFile ini(IniPath());
    RepairNamedSection(ini, SectionTxtCsv);
    RepairNamedSection(ini, SectionImg);

    if (!ini.ValueExists(SectionAutoSave, KeyAut)) {
        int count = 0;
        for (const TSettingKey& source : AutoSaveCountSources) {
            if (SameName(source.Section, SectionAutoSave)) continue;
            if (ini.ValueExists(source.Section, source.Key)) {
                count = ini.ReadInteger(source.Section, source.Key, 0);
                break;
            }
        }
        ini.WriteInteger(SectionAutoSave, KeyAut, count);
    }
    if (!ini.ValueExists(SectionAutoSave, KeyFolder)) {
        ini.WriteString(SectionAutoSave, KeyFolder, Setting::AutoSaveFolder.FileValue);
    }
    if (TrimText(ini.ReadString(SectionAutoSave, KeyFileName, QString())).isEmpty()) {
        ini.WriteString(SectionAutoSave, KeyFileName, Setting::AutoSaveFileName.FileValue);
        if (!ini.ValueExists(SectionAutoSave, KeyIndex)) {
            ini.WriteString(SectionAutoSave, KeyIndex, Setting::AutoSaveIndex.FileValue);
        }
    }
    if (ini.ReadInteger(SectionAutoSave, KeyAut, 0) > 0) {
        const QString folder =
            ini.ReadString(SectionAutoSave, KeyFolder, Setting::AutoSaveFolder.FileValue);
        EnsureFolder(ResolveFolder(folder));
    }
}

bool ReadTxtFormat() {
    const TIniFile ini(IniPath());
    return ReadSettingInteger(ini, Setting::Txt) != 0;
}

int ReadStyleIndex() {
    if (!SettingsFileExists()) return 1;
    const TIniFile ini(IniPath());
    return ClampOrDefault(ReadSettingInteger(ini, Setting::Style), 0, StyleIndexMax, 0);
}

TChartSettings ReadChartSettings() {
    const TIniFile ini(IniPath());
    TChartSettings chart;
    chart.ChartType =
        ClampOrDefault(ReadSettingInteger(ini, Setting::ChartType), 0, ChartTypeMax, 0);
    chart.ChartLineWidth =
        std::clamp(ReadSettingInteger(ini, Setting::ChartLineWidth), 1, ChartLineWidthMax);
    const int markerSize = ReadSettingInteger(ini, Setting::ChartMarkerSize);
    chart.ChartMarkerSize = markerSize < 1 ? 5 : std::min(markerSize, ChartMarkerSizeMax);
    const int barWidth = ReadSettingInteger(ini, Setting::ChartBarWidth);
    chart.ChartBarWidth =
        barWidth < 1 ? ChartBarWidthDefault : std::min(barWidth, ChartBarWidthMax);
    chart.ChartColor =
        ClampOrDefault(ReadSettingInteger(ini, Setting::ChartColor), 0, ChartColorMax, 1);
    return chart;
}

bool ReadCnvMode() {
    if (!SettingsFileExists()) return false;
    const TIniFile ini(IniPath());
    return ReadSettingInteger(ini, Setting::Cnv) != 0;
}

int ReadAutoSaveCount() {
    const TIniFile ini(IniPath());
    int count = 0;
    for (const TSettingKey& source : AutoSaveCountSources) {
        // [Settings] AUT, the last source, is read also when absent.
        if (SameName(source.Section, SectionSettings) ||
            ini.ValueExists(source.Section, source.Key)) {
            count = ini.ReadInteger(source.Section, source.Key, 0);
            break;
        }
    }
    return std::clamp(count, 0, AutoSaveCountMax);
}

TUnitsSetting DecodeUnits(int mu) {
    TUnitsSetting units;
    units.Metric = (mu / 10) % 10 == 1;
    units.Mix = mu % 10 == 1;
    return units;
}

int EncodeUnits(bool metric, bool mix) {
    return (metric ? 10 : 0) + (mix ? 1 : 0);
}

void SaveUnitsSetting(bool metric, bool mix) {
    TIniFile ini(IniPath());
    WriteSettingInteger(ini, Setting::Mu, EncodeUnits(metric, mix));
}
