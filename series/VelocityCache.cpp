// The velocity cache beside the shot list, and the running statistics.
#include <vector>

#include "form/Form1.h"
#include "platform/chart/Chart.h"
#include "platform/core/FormatFloat.h"
#include "series/core/Energy.h"
#include "series/core/NumberText.h"
#include "series/core/Statistics.h"
#include "variants/BuildVariant.h"

namespace {

// AppendVelocity keeps the cache from growing past the list's own limit.
constexpr std::size_t CacheCutAt = 10100;
constexpr std::size_t CacheKept = 10000;

}  // namespace

void TForm1::Memo1Change(TObject* /*Sender*/) {
    if (!FMemoUpdating) FVelocityCacheDirty = true;
}

void TForm1::StatsReset() {
    ResetShotStats();
}

void TForm1::StatsAdd(double value) {
    ::StatsAdd(ShotStats, value);
}

int TForm1::CountNumericMemoLines() {
    int count = 0;
    double value = 0.0;
    for (const QString& line : Memo1->Lines()->ToStringList())
        if (ShotLineValue(line, value)) ++count;
    return count;
}

void TForm1::RebuildVelocityCache(bool metric) {
    FVelocityCache.clear();
    if (FVelocityCache.capacity() < CacheKept) FVelocityCache.reserve(CacheKept);
    double value = 0.0;
    for (const QString& line : Memo1->Lines()->ToStringList())
        if (ShotLineValue(line, value)) FVelocityCache.push_back(VelocityToMetres(value, metric));
    FVelocityCacheDirty = false;
}

void TForm1::AppendVelocity(double value) {
    FVelocityCache.push_back(VelocityToMetres(value, CheckBox1->Checked()));
    if (FVelocityCache.size() > CacheCutAt)
        FVelocityCache.erase(FVelocityCache.begin(),
                             FVelocityCache.end() - std::ptrdiff_t(CacheKept));
}

double TForm1::DisplayVelocity(double metresPerSecond) {
    return ::DisplayVelocity(metresPerSecond, CheckBox1->Checked());
}

void TForm1::ShowStatsLabels() {
    const TStatsTexts texts = ShotStats.Count > 0 ? StatsTexts(ShotStats) : ZeroStatsTexts();
    Label3->SetCaption(texts.Average);
    Label4->SetCaption(texts.Maximum);
    Label5->SetCaption(texts.Minimum);
    Label6->SetCaption(texts.Spread);
    Label7->SetCaption(texts.Deviation);
    Label8->SetCaption(texts.Count);
}

void TForm1::RecomputeStatistics() {
    const std::vector<double> values = FVelocityCache;

    FMemoUpdating = true;
    TStrings* lines = Memo1->Lines();
    try {
        QStringList texts;
        texts.reserve(qsizetype(values.size()));
        for (double value : values) texts.append(FormatDot2(DisplayVelocity(value)));
        lines->BeginUpdate();
        try {
            lines->Assign(texts);
        } catch (...) {
            lines->EndUpdate();
            throw;
        }
        lines->EndUpdate();
    } catch (...) {
        FMemoUpdating = false;
        throw;
    }
    FMemoUpdating = false;
    FVelocityCacheDirty = false;

    ResetShotStats();
    FActiveSeries->Clear();
    FNextShotNumber = 1;
    LastVelocity = 0.0;
    LastVelocityValid = false;

    Label2->SetCaption(FormatValue(true, 0.0));
    Label15->SetCaption(ClearedEnergyText(FPowerFactorMode, FPowerFactorIpsc));
    ShowStatsLabels();
    Label19->SetCaption(ClearedAverageEnergyText(FPowerFactorMode, FPowerFactorIpsc));

    Chart1->LeftAxis()->SetAutomatic(true);

    double previous = 0.0;
    bool hasPrevious = false;
    for (double value : values) {
        const double y = DisplayVelocity(value);
        AddChartPoint(NextChartX, y, hasPrevious, previous);
        ++NextChartX;
        ::StatsAdd(ShotStats, y);
        ShotStats.SumSquares += y * y;
        previous = y;
        hasPrevious = true;
    }
    FNextShotNumber = int(values.size()) + 1;

    if (hasPrevious) {
        LastVelocity = previous;
        LastVelocityValid = true;
        Label2->SetCaption(FormatValue(false, LastVelocity));
        ShowStatsLabels();
    }
    FitLabelFont(Label2, Label2->Caption());
    ShowLastEnergy();
    ShowAverageEnergy();

    if (CheckBoxScroll->Checked()) {
        Chart1->BottomAxis()->SetAutomatic(false);
        Chart1->BottomAxis()->SetMinMax(0, 25);
    } else {
        UpdateXAxis();
    }
    UpdateBarWidth(true);
    if (CheckBoxAuto->Checked())
        UpdateYAxis(0.05);
    else if (CheckBoxAuto50->Checked())
        UpdateYAxis(0.5);
    Chart1->Invalidate();
}

void TForm1::EmptyShotList() {
    // A change the program makes leaves the cache clean; the flag is
    // cleared on every path.
    FMemoUpdating = true;
    try {
        Memo1->Lines()->Clear();
    } catch (...) {
        FMemoUpdating = false;
        throw;
    }
    FMemoUpdating = false;
}
