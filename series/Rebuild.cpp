// The rebuilds: a list of lines, or of derived values, becomes the shown
// series (shot list, velocity cache, chart and statistics) in one batch.
#include <algorithm>
#include <span>
#include <vector>

#include <QStringList>

#include "form/Form1.h"
#include "platform/chart/Chart.h"
#include "platform/core/ScopeGuard.h"
#include "series/core/NumberText.h"
#include "series/core/Statistics.h"
#include "variants/BuildVariant.h"

namespace {

// No path may show more values than the shot list holds after a cut.
constexpr std::size_t MaxShownValues = 10000;

}  // namespace

void TForm1::RebuildFromLines(const QStringList& lines, bool refill) {
    FDerivedValues = false;
    FZoomSteps = 0;
    FZoomAnchor = 0;
    FZoomActive = false;
    const std::vector<double> values = RebuildLineValues(lines);
    // The last values are the newest shots; the cut is made before any value
    // is formatted, charted or counted.
    const std::size_t first = values.size() > MaxShownValues ? values.size() - MaxShownValues : 0;
    ShowValues(std::span<const double>(values).subspan(first), false, refill);
}

void TForm1::ReloadValues(const QStringList& texts) {
    FDerivedValues = true;
    FZoomSteps = 0;
    FZoomAnchor = 0;
    FZoomActive = false;
    const std::vector<double> values = RebuildLineValues(texts);
    // A derived series is capped like every other: a huge compare file must
    // not grow the list and the chart without bound. Its first values are
    // kept, where the pairs of a comparison lie.
    const std::size_t count = std::min(values.size(), MaxShownValues);
    ShowValues(std::span<const double>(values).first(count), true, true);
}

void TForm1::ShowValues(std::span<const double> values, bool derived, bool refill) {
    // The batch: one chart repaint at the end. Whatever fails on the way,
    // the flags go back, so the chart and the list's change handler never
    // stay switched off.
    struct BatchGuard {
        TForm1* Form;
        bool SavedBatchUpdate;
        bool SavedAutoRepaint;
        ~BatchGuard() {
            Form->FMemoUpdating = false;
            BatchUpdate = SavedBatchUpdate;
            Form->Chart1->SetAutoRepaint(SavedAutoRepaint);
        }
    } batch{this, BatchUpdate, Chart1->AutoRepaint()};
    BatchUpdate = true;
    Chart1->SetAutoRepaint(false);

    QStringList texts;
    if (refill) texts.reserve(qsizetype(values.size()));

    FMemoUpdating = true;
    FVelocityCache.clear();
    FVelocityCacheDirty = false;
    StatsReset();
    FActiveSeries->Clear();
    FNextShotNumber = 1;
    NextChartX = 1;

    for (std::size_t k = 0; k < values.size(); ++k) {
        const double v = values[k];
        if (refill) texts.append(FormatDot2(v));
        AppendVelocity(v);
        AddChartPoint(NextChartX, v, k > 0, k > 0 ? values[k - 1] : 0.0);
        ++NextChartX;
        // Live shots go on numbering after the shots; a derived series is
        // no shot series, so the next live shot would start again at 1.
        if (!derived) FNextShotNumber = int(k) + 2;
        ::StatsAdd(ShotStats, v);
        ShotStats.SumSquares += v * v;
    }

    if (refill) {
        // One assignment with redraw off: the list changes and repaints once.
        SendMessage(Memo1, WM_SETREDRAW, 0, 0);
        const TScopeGuard redrawOn([this] {
            SendMessage(Memo1, WM_SETREDRAW, 1, 0);
            Memo1->Invalidate();
        });
        Memo1->Lines()->Assign(texts);
    }
    FMemoUpdating = false;
    FVelocityCacheDirty = false;
    if (refill) SendMessage(Memo1, EM_LINESCROLL, WPARAM(-100000), 0);

    if (values.empty()) {
        LastVelocity = 0.0;
        LastVelocityValid = false;
        ShowClearedShotLabels();
    } else {
        LastVelocity = values.back();
        LastVelocityValid = true;
        Label2->SetCaption(FormatValue(false, LastVelocity));
        ShowStatsLabels();
    }
    ShowLastEnergy();
    ShowAverageEnergy();
    FitLabelFont(Label2, Label2->Caption());
    FitLabelFont(Label15, Label15->Caption());

    TChartAxis* bottom = Chart1->BottomAxis();
    if (CheckBoxScroll->Checked()) {
        bottom->SetAutomatic(false);
        if (derived) {
            bottom->SetMinMax(0, FullWindowShots - 1);
        } else {
            const int last = NextChartX - 1;
            const int width = (VisibleShots <= 1 ? FullWindowShots : VisibleShots) - 1;
            if (last >= width)
                bottom->SetMinMax(last - width, last);
            else
                bottom->SetMinMax(0, width);
        }
    } else {
        UpdateXAxis();
    }

    if (CheckBoxAuto->Checked())
        UpdateYAxis(TightAxisMargin);
    else if (CheckBoxAuto50->Checked())
        UpdateYAxis(WideAxisMargin);
    else
        Chart1->LeftAxis()->SetAutomatic(true);

    FAppliedBarWidth = -1;
    UpdateBarWidth(false);

    BatchUpdate = batch.SavedBatchUpdate;
    Chart1->SetAutoRepaint(batch.SavedAutoRepaint);
    Chart1->Invalidate();
    Chart1->Repaint();
}
