// The velocity cache beside the shot list, and the running statistics.
#include <cstddef>
#include <vector>

#include "form/Form1.h"
#include "platform/chart/Chart.h"
#include "platform/core/FormatFloat.h"
#include "platform/core/ScopeGuard.h"
#include "series/core/Energy.h"
#include "series/core/NumberText.h"
#include "series/core/Statistics.h"
#include "variants/BuildVariant.h"

void TForm1::Memo1Change(TObject* /*Sender*/) {
    if (!FMemoUpdating) FSeries.MarkCacheDirty();
}

int TForm1::CountNumericMemoLines() {
    int count = 0;
    double value = 0.0;
    for (const QString& line : Memo1->Lines()->ToStringList())
        if (ShotLineValue(line, value)) ++count;
    return count;
}

bool TForm1::VelocityCacheStale() {
    return FSeries.VelocityCacheDirty() ||
           FSeries.VelocityCache().size() != std::size_t(CountNumericMemoLines());
}

void TForm1::RebuildVelocityCache(bool metric) {
    FSeries.RebuildVelocityCache(ShotLineValues(Memo1->Lines()->ToStringList()), metric);
}

double TForm1::DisplayVelocity(double metresPerSecond) {
    return ::DisplayVelocity(metresPerSecond, CheckBox1->Checked());
}

void TForm1::ShowStatsLabels() {
    const TShotStats& stats = FSeries.Stats();
    const TStatsTexts texts = stats.Count > 0 ? StatsTexts(stats) : ZeroStatsTexts();
    Label3->SetCaption(texts.Average);
    Label4->SetCaption(texts.Maximum);
    Label5->SetCaption(texts.Minimum);
    Label6->SetCaption(texts.Spread);
    Label7->SetCaption(texts.Deviation);
    Label8->SetCaption(texts.Count);
}

void TForm1::ShowClearedShotLabels() {
    Label2->SetCaption(FormatValue(true, 0.0, DecFmt));
    Label15->SetCaption(ClearedEnergyText(FPowerFactorMode, FPowerFactorIpsc));
    ShowStatsLabels();
    Label19->SetCaption(ClearedAverageEnergyText(FPowerFactorMode, FPowerFactorIpsc));
}

void TForm1::ShowSeriesLabels() {
    if (FSeries.HasLastVelocity()) {
        Label2->SetCaption(FormatValue(false, FSeries.LastShownVelocity(), DecFmt));
        ShowStatsLabels();
    } else {
        ShowClearedShotLabels();
    }
    // ShowLastEnergy fits Label15 itself.
    ShowLastEnergy();
    ShowAverageEnergy();
    FitLabelFont(Label2, Label2->Caption());
}

void TForm1::RecomputeStatistics() {
    // The cache is the source: the list, the chart and the statistics are
    // written from it.
    const std::vector<double> shown = FSeries.RecomputeStatistics(CheckBox1->Checked());
    {
        FMemoUpdating = true;
        const TScopeGuard memoUpdated([this] { FMemoUpdating = false; });
        QStringList texts;
        texts.reserve(qsizetype(shown.size()));
        for (const double value : shown) texts.append(FormatDot2(value));
        // One assignment fires the list's change once.
        Memo1->Lines()->Assign(texts);
    }
    FActiveSeries->Clear();
    Chart1->LeftAxis()->SetAutomatic(true);
    for (std::size_t k = 0; k < shown.size(); ++k)
        AddChartPoint(double(k + 1), shown[k], k > 0, k > 0 ? shown[k - 1] : 0.0);

    ShowSeriesLabels();
    ShowShotWindow(TShotWindowAt::Start);
    UpdateBarWidth(true);
    FitVelocityAxis();
    Chart1->Invalidate();
}

void TForm1::EmptyShotList() {
    // A change the program makes leaves the cache clean; the flag is
    // cleared on every path.
    FMemoUpdating = true;
    const TScopeGuard memoUpdated([this] { FMemoUpdating = false; });
    Memo1->Lines()->Clear();
}
