#pragma once

// The settings file as this build sees it: Tarvex writes the Bluetooth LE
// keys into a new file, Tarvex Serial does not.
#include "platform/core/IniFile.h"
#include "storage/core/Settings.h"
#include "storage/core/SettingsKeys.h"
#include "variants/BuildVariant.h"

inline void CreateDefaultIni() {
    CreateDefaultIni(BuildIniVariant);
}
