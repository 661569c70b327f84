#pragma once

// The settings file as this build sees it: Tarvex writes the Bluetooth LE
// keys into a new file, Tarvex Serial does not.
#include "platform/core/IniFile.h"
#include "storage/core/Settings.h"
#include "storage/core/SettingsKeys.h"

inline void CreateDefaultIni() {
    CreateDefaultIni(TARVEX_BLE ? TIniVariant::Tarvex : TIniVariant::TarvexSerial);
}
