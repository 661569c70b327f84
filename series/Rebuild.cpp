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
#include "series/core/ShotSeries.h"
#include "variants/BuildVariant.h"

void TForm1::RebuildFromLines(const QStringList& lines, bool refill) {
    ResetZoom();
    const std::vector<double> values = RebuildLineValues(lines);
    // The last values are the newest shots; the cut is made before any value
    // is formatted, charted or counted.
    ShowValues(TShotSeries::NewestKept(values), false, refill);
}

void TForm1::ReloadValues(const QStringList& texts) {
    ResetZoom();
    const std::vector<double> values = RebuildLineValues(texts);
    // A derived series is capped like every other: a huge compare file must
    // not grow the list and the chart without bound. Its first values are
    // kept, where the pairs of a comparison lie.
    ShowValues(TShotSeries::FirstKept(values), true, true);
}

void TForm1::ShowValues(std::span<const double> values, bool derived, bool refill) {
    {
        // The batch: one chart repaint at the end. Whatever fails on the way,
        // the flags go back, so the chart and the list's change handler never
        // stay switched off.
        const bool savedBatchUpdate = BatchUpdate;
        const bool savedAutoRepaint = Chart1->AutoRepaint();
        const TScopeGuard batch([this, savedBatchUpdate, savedAutoRepaint] {
            FMemoUpdating = false;
            BatchUpdate = savedBatchUpdate;
            Chart1->SetAutoRepaint(savedAutoRepaint);
        });
        BatchUpdate = true;
        Chart1->SetAutoRepaint(false);

        FMemoUpdating = true;
        FSeries.Assign(values, CheckBox1->Checked(), derived);
        FActiveSeries->Clear();
        for (std::size_t k = 0; k < values.size(); ++k)
            AddChartPoint(double(k + 1), values[k], k > 0, k > 0 ? values[k - 1] : 0.0);

        if (refill) {
            QStringList texts;
            texts.reserve(qsizetype(values.size()));
            for (const double v : values) texts.append(FormatDot2(v));
            // One assignment with redraw off: the list changes and repaints once.
            SendMessage(Memo1, WM_SETREDRAW, 0, 0);
            const TScopeGuard redrawOn([this] {
                SendMessage(Memo1, WM_SETREDRAW, 1, 0);
                Memo1->Invalidate();
            });
            Memo1->Lines()->Assign(texts);
        }
        FMemoUpdating = false;
        if (refill) SendMessage(Memo1, EM_LINESCROLL, WPARAM(-100000), 0);

        ShowSeriesLabels();
        ShowShotWindow(derived ? TShotWindowAt::Start : TShotWindowAt::LastShot);
        if (!FitVelocityAxis()) Chart1->LeftAxis()->SetAutomatic(true);
        ResetBarWidth(false);
    }
    Chart1->Invalidate();
}
