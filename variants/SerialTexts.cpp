// Tarvex Serial's result texts: fixed zero texts whatever the power-factor
// mode, and its own wording of the dV result.
#include "variants/BuildVariant.h"

#include "platform/core/FormatFloat.h"

QString ClearedEnergyText(bool /*powerFactorMode*/, bool /*powerFactorIpsc*/) {
    return FormatFloat(QStringLiteral("0.00"), 0.0);
}

QString ClearedAverageEnergyText(bool /*powerFactorMode*/, bool /*powerFactorIpsc*/) {
    return FormatFloat(QStringLiteral("00.0"), 0.0);
}

QString DvStatusText(int differences) {
    return QStringLiteral("dV: ") + QString::number(differences) + QStringLiteral(" points ");
}
