#include "storage/core/Settings.h"

#include <algorithm>
#include <string_view>

#include <QFileInfo>
#include <QStringList>

#include "platform/core/Files.h"
#include "platform/core/Paths.h"
#include "platform/core/Trim.h"
#include "storage/core/OutputNaming.h"
#include "storage/core/SettingsSnapshot.h"

void KeepSettingsRefusal(const EIniFileException& refusal);

namespace {

// Probe default that tells an absent Folder from any value a user would set.
const QString MissingFolder = QStringLiteral("__MISSING__");

bool SameName(const char* a, const char* b) {
    return std::string_view(a) == b;
}

// The refusals of the innermost TSettingsRefusals, or none.
TSettingsRefusals* ActiveRefusals = nullptr;

// A write of this header: raises a refusal, or hands it to the refusals
// that take it.
template <class Write>
void Guarded(Write write) {
    if (!ActiveRefusals) {
        write();
        return;
    }
    try {
        write();
    } catch (const EIniFileException& refusal) {
        KeepSettingsRefusal(refusal);
    }
}

void WriteValue(TIniFile& ini, const char* section, const char* key, const QString& value) {
    Guarded([&] { ini.WriteString(section, key, value); });
}

int ClampOrDefault(int value, int low, int high, int fallback) {
    return value < low || value > high ? fallback : value;
}

// TXTCSV and IMG are completed as a whole when Folder is absent.
void RepairNamedSection(TIniFile& ini, const char* section) {
    const TOutputDefaults defaults = OutputSectionDefaults(section);
    if (ini.ReadString(section, KeyFolder, MissingFolder) == MissingFolder) {
        WriteValue(ini, section, KeyFolder, defaults.Folder);
        WriteValue(ini, section, KeyFileName, defaults.FileName);
        WriteValue(ini, section, KeyIndex, defaults.Index);
        return;
    }
    if (TrimText(ini.ReadString(section, KeyFileName, QString())).isEmpty()) {
        WriteValue(ini, section, KeyFileName, defaults.FileName);
        if (!ini.ValueExists(section, KeyIndex)) WriteValue(ini, section, KeyIndex, defaults.Index);
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
    Guarded([&] { ini.WriteString(key.Section, key.Key, value); });
}

void WriteSettingInteger(TIniFile& ini, const TSettingKey& key, int value) {
    Guarded([&] { ini.WriteInteger(key.Section, key.Key, value); });
}

void WriteSettingBool(TIniFile& ini, const TSettingKey& key, bool value) {
    Guarded([&] { ini.WriteBool(key.Section, key.Key, value); });
}

void DeleteSetting(TIniFile& ini, const TSettingKey& key) {
    Guarded([&] { ini.DeleteKey(key.Section, key.Key); });
}

void DeleteSettingsSection(TIniFile& ini, const char* section) {
    Guarded([&] { ini.EraseSection(section); });
}

void WriteSettingDefault(TIniFile& ini, const TSettingKey& key) {
    const QString value = QString::fromLatin1(key.FileValue);
    Guarded([&] {
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
    });
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
        WriteValue(ini, SectionAutoSave, KeyAut, QString::number(count));
    }
    if (!ini.ValueExists(SectionAutoSave, KeyFolder)) {
        WriteSettingDefault(ini, Setting::AutoSaveFolder);
    }
    if (TrimText(ini.ReadString(SectionAutoSave, KeyFileName, QString())).isEmpty()) {
        WriteSettingDefault(ini, Setting::AutoSaveFileName);
        if (!ini.ValueExists(SectionAutoSave, KeyIndex)) {
            WriteSettingDefault(ini, Setting::AutoSaveIndex);
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

namespace {

TShotSettings ReadShotSettings() {
    TIniFileSnapshot file(IniPath());
    file.Refresh();
    return ShotSettingsOf(file);
}

}  // namespace

bool ReadCnvMode() {
    return ReadShotSettings().CnvMode;
}

int ReadAutoSaveCount() {
    return ReadShotSettings().AutoSaveCount;
}

TSettingsRefusals::TSettingsRefusals() : FOuter(ActiveRefusals) {
    ActiveRefusals = this;
}

TSettingsRefusals::~TSettingsRefusals() {
    ActiveRefusals = FOuter;
}

void KeepSettingsRefusal(const EIniFileException& refusal) {
    if (!ActiveRefusals->FFirst)
        ActiveRefusals->FFirst = TSettingsRefusal{refusal.Message(), refusal.Error()};
}

void RemoveLeftoverTemporaryFiles() {
    QStringList folders{QFileInfo(IniPath()).absolutePath()};
    const TIniFile ini(IniPath());
    for (const char* section : {SectionTxtCsv, SectionImg, SectionAutoSave}) {
        QString folder = ini.ReadString(section, KeyFolder, QString());
        // A blank Folder gets the section's default at the first file.
        if (TrimText(folder).isEmpty()) folder = OutputSectionDefaults(section).Folder;
        folders.append(ResolveFolder(folder));
    }
    folders.removeDuplicates();
    for (const QString& folder : folders) RemoveStaleTemporaryFiles(folder);
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
