// Received lines become shots.

#include "form/Form1.h"
#include "platform/chart/Chart.h"
#include "platform/core/IniFile.h"
#include "platform/core/ScopeGuard.h"
#include "series/core/Counter.h"
#include "series/core/Energy.h"
#include "series/core/NumberText.h"
#include "series/core/ShotSeries.h"
#include "storage/ProgramSettings.h"

void TForm1::ProcessIncomingLine(const QString& line) {
    QString token;
    if (!ExtractNumberToken(SanitizeLine(line), token)) return;
    double v = 0.0;
    if (!ParseShotValue(token, v)) return;
    // One look at the settings file for the whole shot: its reads (CNV,
    // AUT) answer from memory until the shot is done.
    const TSettingsSnapshot::THold settingsChecked = FSettings.HoldForShot();

    const TCounterSettings& counter = FSeries.Counter;
    if (counter.Mode && LiveInput) {
        // A count with no velocity (count + A is 0) is no shot either: taken
        // as it stands it would show the raw count as a velocity.
        const std::optional<double> velocity =
            CounterToVelocity(v, counter.A, counter.Gate, counter.Freq);
        if (!velocity || !IsShotValue(*velocity)) return;
        v = *velocity;
    }

    // The number is used up whether or not the live filter keeps the line.
    const std::int32_t shotNumber = FSeries.FNextShotNumber++;
    const bool liveFilter =
        FFilter.Enabled && (FFilter.ShotsRule.ApplyLive || FFilter.VelocityRule.ApplyLive);
    if (liveFilter && !RulePasses(FFilter, shotNumber, v)) return;

    if (FSeries.FVelocityCacheDirty) RebuildVelocityCache(CheckBox1->Checked());
    // The cache follows the list's own cut below, not a cut of its own.
    FSeries.FVelocityCache.push_back(VelocityToMetres(v, CheckBox1->Checked()));
    const QString text = FormatDot2(v);

    {
        FMemoUpdating = true;
        // Until the list and the cache have both changed they may disagree;
        // a failure leaves the cache for the next reader to rebuild.
        bool agree = false;
        const TScopeGuard memoUpdated([this, &agree] {
            FMemoUpdating = false;
            FSeries.FVelocityCacheDirty = !agree;
        });
        TStrings* lines = Memo1->Lines();
        lines->Add(text);
        const int count = lines->Count();
        if (count > ShotListCutAt) {
            const int cut = count - ShotListKept;
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
            FSeries.DropFirstVelocities(valuesCut);
        }
        agree = true;
    }

    // Automatic saving takes the shot here.
    AutoSaveOnShot(text);

    const int points = FActiveSeries->Count();
    const bool hasPrevious = points > 0;
    const double previous = hasPrevious ? FActiveSeries->YValue(points - 1) : 0.0;
    AddChartPoint(FSeries.AddShot(v), v, hasPrevious, previous);
    const int pointCount = FActiveSeries->Count();
    if (pointCount > ShotListCutAt) FActiveSeries->Delete(0, pointCount - ShotListKept);

    if (!CheckBoxScroll->Checked() && LiveInput) {
        // A live shot takes the fitted axis back from a window set by hand.
        ResetZoom();
        Chart1->BottomAxis()->SetAutomatic(true);
    }
    ShowShotWindow(TShotWindowAt::LastShot);
    FitVelocityAxis();
    UpdateBarWidth(true);
    ShowSeriesLabels();
}

void TForm1::LoadCounterSettings() {
    CreateDefaultIni();
    FSeries.Counter = TCounterSettings{};
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
    FSeries.Counter = CounterSettingsFromText(freq, gate, a);
}
