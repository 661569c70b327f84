// Tarvex Serial's side of the settings file: the keys of the Bluetooth LE
// link go at every start.
#include "variants/BuildVariant.h"

#include <QFileInfo>

#include "platform/core/IniFile.h"

void RemoveOtherBuildSettings() {
    const QString path = IniPath();
    if (!QFileInfo::exists(path)) return;
    TIniFile ini(path);
    // A key that stays behind is harmless, as this build never reads it, so
    // a refused delete is not worth a message; the erase reports its own.
    try {
        ini.DeleteKey(QString::fromLatin1(SectionSettings), QString::fromLatin1(KeyCheckBoxBtAuto));
    } catch (const EIniFileException&) {
    }
    ini.EraseSection(QString::fromLatin1(SectionBle));
}
