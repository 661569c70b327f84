// Tarvex Serial's side of the settings file: the keys of the Bluetooth LE
// link go at every start.
#include "variants/BuildVariant.h"

#include "platform/core/IniFile.h"

void RemoveOtherBuildSettings() {
    if (!SettingsFileExists()) return;
    TIniFile ini(IniPath());
    // A key that stays behind is harmless, as this build never reads it, so
    // a refused delete is not worth a message; the erase reports its own.
    try {
        DeleteSetting(ini, Setting::CheckBoxBtAuto);
    } catch (const EIniFileException&) {
    }
    DeleteSettingsSection(ini, SectionBle);
}
