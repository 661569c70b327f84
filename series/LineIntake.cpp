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
    double number = 0.0;
    if (!ParseShotValue(token, number)) return;
    // One look at the settings file for the whole shot: its reads (CNV,
    // AUT) answer from memory until the shot is done.
    const TSettingsSnapshot::THold settingsChecked = FSettings.HoldForShot();
    const std::optional<TLiveValue> shot = FSeries.TakeLiveValue(number, LiveInput, FFilter);
    if (!shot) return;
    const double v = shot->Value;
    const bool metric = CheckBox1->Checked();

    if (FSeries.VelocityCacheDirty()) RebuildVelocityCache(metric);
    const QString text = FormatDot2(v);
    int x = 0;
    {
        FMemoUpdating = true;
        // Until the list and the cache have both changed they may disagree;
        // a failure leaves the cache for the next reader to rebuild.
        bool agree = false;
        const TScopeGuard memoUpdated([this, &agree] {
            FMemoUpdating = false;
            if (!agree) FSeries.MarkCacheDirty();
        });
        TStrings* lines = Memo1->Lines();
        lines->Add(text);
        const int cut = TShotSeries::CutCount(lines->Count());
        // The cache holds the values of the value lines only: it loses as
        // many values as value lines go, so that it stays the values of the
        // lines that remain.
        int valuesCut = 0;
        if (cut > 0) {
            double value = 0.0;
            for (int i = 0; i < cut; ++i)
                if (ShotLineValue(lines->Strings(i), value)) ++valuesCut;
            // The cut fires the list's change once.
            lines->BeginUpdate();
            const TScopeGuard updated([lines] { lines->EndUpdate(); });
            for (int i = 0; i < cut; ++i) lines->Delete(0);
        }
        x = FSeries.AppendShot(v, metric, valuesCut);
        agree = true;
    }

    // Automatic saving takes the shot here.
    AutoSaveOnShot(text);

    const int points = FActiveSeries->Count();
    const bool hasPrevious = points > 0;
    const double previous = hasPrevious ? FActiveSeries->YValue(points - 1) : 0.0;
    AddChartPoint(x, v, hasPrevious, previous);
    // The chart is cut as the list is, by its own count of points.
    const int pointsCut = TShotSeries::CutCount(FActiveSeries->Count());
    if (pointsCut > 0) FActiveSeries->Delete(0, pointsCut);

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
    FSeries.SetCounterSettings(TCounterSettings{});
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
    FSeries.SetCounterSettings(CounterSettingsFromText(freq, gate, a));
}
