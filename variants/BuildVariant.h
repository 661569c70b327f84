#pragma once

// What the two programs built from this tree do differently, in one place.
// TARVEX_BLE=1 builds Tarvex (serial port and Bluetooth LE), TARVEX_BLE=0
// builds Tarvex Serial (serial port only). The shared code calls the hooks
// below at the steps where the two differ. Tarvex's side is written here,
// inline; Tarvex Serial's side lives in variants/*.cpp, which only the
// serial-only build compiles. The Bluetooth LE link itself (its controls,
// members and handlers) is compiled out of Tarvex Serial by the same switch.

#include <QString>

#include "series/core/Energy.h"
#include "storage/core/Settings.h"

// Only the form libraries know which program they are built for; a core
// library, built once for both, must not ask.
#ifndef TARVEX_BLE
#error "TARVEX_BLE is set by the form libraries (tarvex_form, tarvex_form_serial)"
#endif

class TForm1;

// ---- Settings file

// The keys of a new settings file: Tarvex Serial leaves out [Settings]
// CheckBoxBTAuto and the section [BLE].
inline constexpr TIniVariant BuildIniVariant =
    TARVEX_BLE ? TIniVariant::Tarvex : TIniVariant::TarvexSerial;

// The start-up step that runs right after the keys CNV and OpenCom are
// completed. Tarvex keeps every key. Tarvex Serial, when the settings file
// exists, deletes [Settings] CheckBoxBTAuto and erases the section [BLE],
// whether or not they are there, and touches nothing else: a file written by
// Tarvex loses them at the first start. A key that cannot be deleted is left
// silently; a section that cannot be erased raises EIniFileException.
void RemoveOtherBuildSettings();

// ---- Form resource

// The design client area; the proportional layout scales from it.
inline constexpr int BuildClientWidth = 865;
inline constexpr int BuildClientHeight = TARVEX_BLE ? 554 : 529;

// Gives the controls whose design bounds differ between the two builds the
// bounds of this build. Called by the resource after every shared control
// exists and before the form records its layout. Tarvex: nothing.
void ApplyBuildBounds(TForm1& form);

// ---- Result texts

// What CLEAR, the start-up and the reset steps of the rebuilds, of the
// statistics recomputation and of the reload of derived values put into
// Label15 (last energy) and Label19 (average energy) before any value is
// shown. Tarvex: the zero texts of the power-factor mode (ZeroEnergyText,
// ZeroAverageEnergyText). Tarvex Serial: 0 with the pictures "0.00" and
// "00.0" in every mode, with the user's decimal separator. ShowLastEnergy
// and ShowAverageEnergy keep the zero texts of the mode in both builds.
QString ClearedEnergyText(bool powerFactorMode, bool powerFactorIpsc);
QString ClearedAverageEnergyText(bool powerFactorMode, bool powerFactorIpsc);

// The status line of a dV run over `differences` differences: "dV: ", the
// number in decimal, then " points |dV|" (Tarvex) or " points " (Tarvex
// Serial, ending in a blank).
QString DvStatusText(int differences);

#if TARVEX_BLE
inline void RemoveOtherBuildSettings() {}

inline void ApplyBuildBounds(TForm1& /*form*/) {}

inline QString ClearedEnergyText(bool powerFactorMode, bool powerFactorIpsc) {
    return ZeroEnergyText(powerFactorMode, powerFactorIpsc);
}

inline QString ClearedAverageEnergyText(bool powerFactorMode, bool powerFactorIpsc) {
    return ZeroAverageEnergyText(powerFactorMode, powerFactorIpsc);
}

inline QString DvStatusText(int differences) {
    return QStringLiteral("dV: ") + QString::number(differences) + QStringLiteral(" points |dV|");
}
#endif
