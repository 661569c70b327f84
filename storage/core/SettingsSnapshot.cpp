#include "storage/core/SettingsSnapshot.h"

#include <algorithm>
#include <string_view>

#include "storage/core/OutputNaming.h"
#include "storage/core/SettingsKeys.h"

TShotSettings ShotSettingsOf(const TIniFileSnapshot& file) {
    TShotSettings values;
    values.CnvMode = file.Exists() &&
                     file.ReadInteger(Setting::Cnv.Section, Setting::Cnv.Key,
                                      QString::fromLatin1(Setting::Cnv.ReadDefault).toInt()) != 0;
    for (const TSettingKey& source : AutoSaveCountSources) {
        // [Settings] AUT, the last source, is read also when absent.
        if (std::string_view(source.Section) == SectionSettings ||
            file.ValueExists(source.Section, source.Key)) {
            values.AutoSaveCount =
                std::clamp(file.ReadInteger(source.Section, source.Key, 0), 0, AutoSaveCountMax);
            break;
        }
    }
    values.AutoSaveIndexed =
        PatternUsesIndex(file.ReadString(SectionAutoSave, KeyFileName, QString()),
                         file.ReadString(SectionAutoSave, KeyIndex, QString()));
    return values;
}

TSettingsSnapshot::TSettingsSnapshot(const QString& iniPath) : FFile(iniPath) {}

const TShotSettings& TSettingsSnapshot::Current() {
    if (FHolds == 0) Check();
    return FValues;
}

void TSettingsSnapshot::Check() {
    if (FFile.Refresh()) FValues = ShotSettingsOf(FFile);
}

TSettingsSnapshot::THold::THold(TSettingsSnapshot& snapshot) : FSnapshot(snapshot) {
    if (FSnapshot.FHolds == 0) FSnapshot.Check();
    ++FSnapshot.FHolds;
}

TSettingsSnapshot::THold::~THold() {
    --FSnapshot.FHolds;
}
