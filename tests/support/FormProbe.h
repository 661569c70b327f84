#pragma once

// Test access to the main form's private state.
#include "form/Form1.h"
#if TARVEX_BLE
#include "links/ble/BleLink.h"
#endif

class TForm1Probe {
public:
#define TARVEX_PROBE(member)            \
    static auto& member(TForm1& form) { \
        return form.member;             \
    }
    TARVEX_PROBE(FActiveSeries)
    TARVEX_PROBE(FBarSeries)
    TARVEX_PROBE(FChartType)
    TARVEX_PROBE(FChartColor)
    TARVEX_PROBE(FChartLineWidth)
    TARVEX_PROBE(FChartMarkerSize)
    TARVEX_PROBE(FChartBarWidth)
    TARVEX_PROBE(FAppliedBarWidth)
    TARVEX_PROBE(FFadeSteps)
    TARVEX_PROBE(FLabel2BaseFont)
    TARVEX_PROBE(FLabel15BaseFont)
    TARVEX_PROBE(FLayout)
    TARVEX_PROBE(FDesignClientWidth)
    TARVEX_PROBE(FDesignClientHeight)
    TARVEX_PROBE(FResizing)
    TARVEX_PROBE(FTxtFormat)
    TARVEX_PROBE(FFilter)
    TARVEX_PROBE(FSeries)
    TARVEX_PROBE(LiveInput)
    TARVEX_PROBE(BatchUpdate)
    TARVEX_PROBE(FSerialLink)
    TARVEX_PROBE(FReceivedLineQueue)
    TARVEX_PROBE(FBleLink)
    TARVEX_PROBE(FLastUnitsMetric)
    TARVEX_PROBE(FLastWeightMix)
    TARVEX_PROBE(FUpdatingWeight)
    TARVEX_PROBE(FMemoUpdating)
    TARVEX_PROBE(FWeightGrams)
    TARVEX_PROBE(FPowerFactorMode)
    TARVEX_PROBE(FPowerFactorIpsc)
    TARVEX_PROBE(FZoomSteps)
    TARVEX_PROBE(FZoomAnchor)
    TARVEX_PROBE(FZoomActive)
    TARVEX_PROBE(FCommandBusy)
    TARVEX_PROBE(FRunningCommand)
    TARVEX_PROBE(FHoveredCommand)
    TARVEX_PROBE(FMemoSnapshot)
    TARVEX_PROBE(FMemoLocked)
#undef TARVEX_PROBE
    // Automatic saving (storage/core/AutoSaver.h).
    static TAutoSaver& AutoSaver(TForm1& form) {
        return form.FAutoSaver;
    }
    // The shown series' members by their own names, read only: the series
    // changes only through its own functions (ShownSeries()).
    static const std::vector<double>& FVelocityCache(TForm1& form) {
        return form.FSeries.VelocityCache();
    }
    static bool FVelocityCacheDirty(TForm1& form) {
        return form.FSeries.VelocityCacheDirty();
    }
    static std::int32_t FNextShotNumber(TForm1& form) {
        return form.FSeries.NextShotNumber();
    }
    static bool FDerivedValues(TForm1& form) {
        return form.FSeries.DerivedValues();
    }
    static TAnalysisMode FAnalysisMode(TForm1& form) {
        return form.FSeries.AnalysisMode();
    }
#if TARVEX_BLE
    // The Bluetooth LE link of a started form, and its members by their own
    // names.
    static TBleLink& BleLink(TForm1& form) {
        return *form.FBleLink;
    }
#define TARVEX_BLE_PROBE(member)        \
    static auto& member(TForm1& form) { \
        return BleLink(form).member;    \
    }
    TARVEX_BLE_PROBE(FBleDevice)
    TARVEX_BLE_PROBE(FNotifyCharacteristic)
    TARVEX_BLE_PROBE(FWriteCharacteristic)
    TARVEX_BLE_PROBE(FRxCutter)
    TARVEX_BLE_PROBE(FTargetName)
    TARVEX_BLE_PROBE(FTargetAddress)
    TARVEX_BLE_PROBE(FBleWorkers)
    TARVEX_BLE_PROBE(FIniPath)
#undef TARVEX_BLE_PROBE
    // Owned by the link; null before FormCreate made it and once it is
    // closed.
    static TStringList* FScanIndex(TForm1& form) {
        return form.FBleLink ? form.FBleLink->FScanIndex.get() : nullptr;
    }
    static TTimer* FConnTimeout(TForm1& form) {
        return form.FBleLink ? form.FBleLink->FConnTimeout.get() : nullptr;
    }
    static TTimer* FKeepAlive(TForm1& form) {
        return form.FBleLink ? form.FBleLink->FKeepAlive.get() : nullptr;
    }
    // The notification text that no line end has ended yet.
    static QString BleRxText(TForm1& form) {
        return QString::fromStdWString(BleLink(form).FRxCutter.Unfinished());
    }
#endif
};

// The main form's shown series (Form1 must be set).
inline TShotSeries& ShownSeries() {
    return TForm1Probe::FSeries(*Form1);
}
