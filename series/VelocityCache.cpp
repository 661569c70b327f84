// The velocity cache beside the shot list, and the running statistics.
#include "form/Form1.h"

#include "series/core/Statistics.h"

void TForm1::Memo1Change(TObject* /*Sender*/) {
    if (!FMemoUpdating) FVelocityCacheDirty = true;
}

void TForm1::StatsReset() { ResetShotStats(); }

void TForm1::StatsAdd(double value) { ::StatsAdd(ShotStats, value); }

int TForm1::CountNumericMemoLines() { return 0; }

void TForm1::RebuildVelocityCache(bool /*metric*/) {}

void TForm1::AppendVelocity(double /*value*/) {}

double TForm1::DisplayVelocity(double metresPerSecond) { return metresPerSecond; }

void TForm1::RecomputeStatistics() {}
