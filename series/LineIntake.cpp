// Received lines become shots.

#include "form/Form1.h"
#include "platform/chart/Chart.h"
#include "platform/core/IniFile.h"
#include "platform/core/ScopeGuard.h"
#include "series/core/Counter.h"
#include "series/core/Energy.h"
#include "series/core/NumberText.h"
#include "series/core/Statistics.h"
#include "storage/ProgramSettings.h"

namespace {

// The shot list and the chart series hold at most 10100 entries: the entry
// that makes 10101 cuts them back to their last 10000, so the cut (101
// deletions in one update bracket) comes once every 101 shots.
constexpr int MaxKept = 10000;
constexpr int CutAt = 10101;

// Removes the first n values; n at or above the size empties the cache.
void DropFirstVelocities(std::vector<double>& cache, int n) {
    if (n <= 0 || cache.empty()) return;
    if (std::size_t(n) >= cache.size()) {
        cache.clear();
        return;
    }
    cache.erase(cache.begin(), cache.begin() + n);
}

}  // namespace

void TForm1::ProcessIncomingLine(const QString& line) {
    QString token;
    if (!ExtractNumberToken(SanitizeLine(line), token)) return;
    double v = 0.0;
    if (!ParseDotDouble(token, v)) return;

    if (CounterMode && LiveInput) {
        // A count with no velocity (count + A is 0) is no shot either: taken
        // as it stands it would show the raw count as a velocity.
        const std::optional<double> velocity =
            CounterToVelocity(v, CounterA, CounterGate, CounterFreq);
        if (!velocity) return;
        v = *velocity;
    }

    // The number is used up whether or not the live filter keeps the line.
    const std::int32_t shotNumber = FNextShotNumber++;
    const bool liveFilter =
        FFilter.Enabled && (FFilter.ShotsRule.ApplyLive || FFilter.VelocityRule.ApplyLive);
    if (liveFilter && !RulePasses(FFilter, shotNumber, v)) return;

    if (FVelocityCacheDirty) RebuildVelocityCache(CheckBox1->Checked());
    FVelocityCache.push_back(VelocityToMetres(v, CheckBox1->Checked()));
    const QString text = FormatDot2(v);

    {
        FMemoUpdating = true;
        // Until the list and the cache have both changed they may disagree;
        // a failure leaves the cache for the next reader to rebuild.
        bool agree = false;
        const TScopeGuard memoUpdated([this, &agree] {
            FMemoUpdating = false;
            FVelocityCacheDirty = !agree;
        });
        TStrings* lines = Memo1->Lines();
        lines->Add(text);
        const int count = lines->Count();
        if (count >= CutAt) {
            const int cut = count - MaxKept;
            // The cache holds the values of the numeric lines only: it loses
            // as many values as value lines go, so that it stays the values
            // of the lines that remain.
            int valuesCut = 0;
            double value = 0.0;
            for (int i = 0; i < cut; ++i)
                if (ShotLineValue(lines->Strings(i), value)) ++valuesCut;
            {
                // The cut fires the list's change once.
                lines->BeginUpdate();
                const TScopeGuard updated([lines] { lines->EndUpdate(); });
                for (int i = 0; i < cut; ++i) lines->Delete(0);
            }
            DropFirstVelocities(FVelocityCache, valuesCut);
        }
        agree = true;
    }

    // Automatic saving takes the shot here.
    AutoSaveOnShot(text);

    LastVelocity = v;
    LastVelocityValid = true;
    Label2->SetCaption(FormatValue(false, v));
    FitLabelFont(Label2, Label2->Caption());

    const int points = FActiveSeries->Count();
    const bool hasPrevious = points > 0;
    const double previous = hasPrevious ? FActiveSeries->YValue(points - 1) : 0.0;
    AddChartPoint(NextChartX, v, hasPrevious, previous);
    ++NextChartX;
    const int pointCount = FActiveSeries->Count();
    if (pointCount >= CutAt) FActiveSeries->Delete(0, pointCount - MaxKept);

    TChartAxis* bottom = Chart1->BottomAxis();
    if (CheckBoxScroll->Checked()) {
        bottom->SetAutomatic(false);
        const int width = VisibleShots <= 1 ? 2 : VisibleShots;
        const int last = NextChartX - 1;
        if (NextChartX >= width)
            bottom->SetMinMax(last - (width - 1), last);
        else
            bottom->SetMinMax(0, width - 1);
    } else {
        if (LiveInput) {
            FZoomActive = false;
            FZoomAnchor = 0;
            FZoomSteps = 0;
            bottom->SetAutomatic(true);
        }
        UpdateXAxis();
    }

    FitVelocityAxis();

    UpdateBarWidth(true);

    ::StatsAdd(ShotStats, v);
    ShowLastEnergy();
    ShotStats.SumSquares += v * v;
    ShowAverageEnergy();
    ShowStatsLabels();
}

void TForm1::LoadCounterSettings() {
    CreateDefaultIni();
    CounterFreq = 0.0;
    CounterGate = 0.0;
    CounterA = 0;
    CounterMode = false;
    if (!SettingsFileExists()) return;

    QString freq;
    QString gate;
    QString a;
    {
        const TIniFile ini(IniPath());
        freq = ReadSettingString(ini, Setting::Freq);
        gate = ReadSettingString(ini, Setting::Gate);
        a = ReadSettingString(ini, Setting::A);
    }
    const TCounterSettings settings = CounterSettingsFromText(freq, gate, a);
    CounterFreq = settings.Freq;
    CounterGate = settings.Gate;
    CounterA = settings.A;
    CounterMode = settings.Mode;
}
