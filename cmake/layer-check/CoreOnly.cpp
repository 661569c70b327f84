// Builds as a core file: the core folders and Qt Core are in reach.
#include <QString>

#include "platform/core/Trim.h"
#include "series/core/Energy.h"
#include "storage/core/Settings.h"

QString LayerCheckCoreOnly() {
    return TrimText(EnergyText(ShotEnergy(300, 10, TUnitState{})));
}
