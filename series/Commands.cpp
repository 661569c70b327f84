// CLEAR, FILTER, the frame of the analysis commands, the memo lock and
// REFRESH.
#include "form/Form1.h"

#include <QStringList>

#include "platform/chart/Chart.h"
#include "platform/core/FormatFloat.h"
#include "platform/core/ScopeGuard.h"
#include "platform/ui/Dialogs.h"
#include "series/FilterSettings.h"
#include "series/core/NumberText.h"
#include "series/core/ShotSeries.h"
#include "variants/BuildVariant.h"

namespace {

// The status text of a running command.
QString AnalysisCommandText(TAnalysisCommand command) {
    switch (command) {
        case TAnalysisCommand::Refresh:
            return QStringLiteral("REFRESH: processing...");
        case TAnalysisCommand::Sym:
            return QStringLiteral("SYM: processing...");
        case TAnalysisCommand::Cmp:
            return QStringLiteral("CMP: processing...");
        case TAnalysisCommand::DV:
            return QStringLiteral("dV: processing...");
        case TAnalysisCommand::None:
            break;
    }
    return QString();
}

// The lines of the list that are not empty after trimming, trimmed.
QStringList TrimmedLines(TStrings* lines) {
    QStringList result;
    result.reserve(lines->Count());
    for (const QString& line : lines->ToStringList()) {
        QString trimmed = TrimText(line);
        if (!trimmed.isEmpty()) result.append(std::move(trimmed));
    }
    return result;
}

}  // namespace

void TForm1::FilterCommand() {
    const QStringList lines = TrimmedLines(Memo1->Lines());
    if (lines.isEmpty()) return;

    // Filtered before anything is given up: a filter that rejects every line
    // leaves the list, its lock and its kept lines exactly as they were, so
    // a derived series never stays unlocked under live input.
    TFilterConfig config = LoadFilterConfig();
    const QStringList passed = ApplyFilterToLines(lines, config, 1);
    if (passed.isEmpty()) {
        ShowMessage(QStringLiteral("The filter rejected all data. Check the INI [FILTER]."));
        return;
    }

    ReleaseMemoLock(TPortInput::Keep);
    FSeries.ShowShots();
    const bool anyRule = config.ShotsRule.Valid || config.VelocityRule.Valid;
    const QString description = anyRule ? FilterDescription(config) : QStringLiteral("BYPASS");
    // The filter has been applied to the list; live shots are no longer
    // filtered until the next LOAD or start.
    config.VelocityRule.ApplyLive = false;
    config.ShotsRule.ApplyLive = false;
    FFilter = config;

    RebuildFromLines(passed, true);
    Label20->SetCaption(QStringLiteral("FILTER: ") + QString::number(passed.size()) +
                        QStringLiteral(" points | ") + description);
}

void TForm1::ButtonClearClick(TObject* /*Sender*/) {
    EmptyShotList();
    FSeries.Clear();
    SendMessage(Memo1, EM_LINESCROLL, WPARAM(-100000), 0);
    FActiveSeries->Clear();

    FAutoSaver.StartAfresh(std::vector<QString>{});
    ReleaseMemoLock(TPortInput::Keep);
    // A window set by hand goes with the series (the derived display went
    // with it), so the empty chart fits itself again and hides negative
    // labels.
    ResetZoom();
    Label20->SetCaption(QString());

    ShowShotWindow(TShotWindowAt::Start);
    Chart1->LeftAxis()->SetAutomatic(true);
    ResetBarWidth(true);

    ShowClearedShotLabels();
    FitLabelFont(Label2, Label2->Caption());
    FitLabelFont(Label15, Label15->Caption());
    FormResize(this);
    Chart1->Invalidate();
}

void TForm1::RefreshCommand() {
    FSeries.ShowShots();
    if (FMemoLocked) {
        if (!FMemoSnapshot.empty()) {
            QStringList kept;
            kept.reserve(qsizetype(FMemoSnapshot.size()));
            for (QString& line : FMemoSnapshot) kept.append(std::move(line));
            ReleaseMemoLock(TPortInput::Purge);
            RebuildFromLines(kept, true);
            ClearCommandProgress();
            return;
        }
        UnlockMemo();
    }
    if (IsCnvMode() && !VelocityCacheStale()) {
        RecomputeStatistics();
        ClearCommandProgress();
        return;
    }
    const QStringList lines = TrimmedLines(Memo1->Lines());
    if (!lines.isEmpty()) RebuildFromLines(lines, true);
    ClearCommandProgress();
}

void TForm1::LockMemo() {
    FMemoSnapshot = [this] {
        const QStringList lines = TrimmedLines(Memo1->Lines());
        return std::vector<QString>(lines.begin(), lines.end());
    }();
    FMemoLocked = true;
    ResetReceive(true, true);
}

bool TForm1::UnlockMemo() {
    bool restored = false;
    if (FMemoLocked && !FMemoSnapshot.empty()) {
        QStringList kept;
        kept.reserve(qsizetype(FMemoSnapshot.size()));
        for (const QString& line : FMemoSnapshot) kept.append(line);
        FMemoUpdating = true;
        SendMessage(Memo1, WM_SETREDRAW, 0, 0);
        {
            const TScopeGuard restore([this] {
                SendMessage(Memo1, WM_SETREDRAW, 1, 0);
                Memo1->Invalidate();
                FMemoUpdating = false;
            });
            Memo1->Lines()->Assign(kept);
        }
        RebuildVelocityCache(CheckBox1->Checked());
        ClearCommandProgress();
        restored = true;
    }
    ReleaseMemoLock(TPortInput::Purge);
    return restored;
}

void TForm1::ReleaseMemoLock(TPortInput input) {
    FMemoSnapshot.clear();
    FMemoLocked = false;
    ResetReceive(false, input == TPortInput::Purge);
}

void TForm1::BeginAnalysisCommand(TAnalysisCommand command) {
    if (FCommandBusy) return;
    FCommandBusy = true;
    FRunningCommand = command;
    Screen()->SetCursor(crHourGlass);
    for (TSpeedButton* button : {SpeedButton3, SpeedButton5, SpeedButton6, SpeedButton7})
        button->SetEnabled(false);
    ShowCommandProgress();
    // The one synchronous paint of the frame: the command runs from the
    // posted message without returning to the event loop in between, so the
    // disabled buttons and the progress text must reach the screen now or
    // the user sees nothing until the work is over.
    Update();
    // A frame whose message never comes would keep the buttons disabled for
    // good.
    if (!PostMessage(this, WM_RUN_ANALYSIS, WPARAM(command), 0)) CloseAnalysisFrame();
}

void TForm1::CloseAnalysisFrame() {
    FRunningCommand = TAnalysisCommand::None;
    ClearCommandProgress();
    FCommandBusy = false;
    Screen()->SetCursor(crDefault);
    for (TSpeedButton* button : {SpeedButton3, SpeedButton5, SpeedButton6, SpeedButton7})
        button->SetEnabled(true);
    Invalidate();
}

void TForm1::RunAnalysisCommand(TMessage& message) {
    const auto command = TAnalysisCommand(message.WParam);
    // The frame closes whatever the command did; a failure goes on to the
    // default handler afterwards.
    const TScopeGuard closer([this] { CloseAnalysisFrame(); });

    if (command == TAnalysisCommand::Refresh) {
        RefreshCommand();
        ResetBarWidth(true);
        Chart1->Invalidate();
        return;
    }
    const char* name = nullptr;
    switch (command) {
        case TAnalysisCommand::Sym:
            name = "SYM";
            break;
        case TAnalysisCommand::Cmp:
            name = "CMP";
            break;
        case TAnalysisCommand::DV:
            name = "dV";
            break;
        default:
            return;
    }
    if (Memo1->Lines()->Count() == 0) return;
    if (FMemoLocked) {
        Label20->SetCaption(QString::fromLatin1(name) + QStringLiteral(": Use refresh to unlock"));
        return;
    }
    LockMemo();
    bool done = false;
    if (command == TAnalysisCommand::Sym)
        done = MirrorCommand();
    else if (command == TAnalysisCommand::Cmp)
        done = CompareCommand();
    else
        done = DeltaCommand();
    if (!done) UnlockMemo();
}

void TForm1::ShowCommandProgress() {
    if (FRunningCommand != TAnalysisCommand::None && FRunningCommand == FHoveredCommand)
        Label20->SetCaption(AnalysisCommandText(FRunningCommand));
    else
        ClearCommandProgress();
}

void TForm1::ClearCommandProgress() {
    const QString text = Label20->Caption();
    for (TAnalysisCommand command : {TAnalysisCommand::Refresh, TAnalysisCommand::Sym,
                                     TAnalysisCommand::Cmp, TAnalysisCommand::DV})
        if (text == AnalysisCommandText(command)) {
            Label20->SetCaption(QString());
            return;
        }
}

void TForm1::SpeedButton3Click(TObject* /*Sender*/) {
    BeginAnalysisCommand(TAnalysisCommand::Refresh);
}

void TForm1::SpeedButton5Click(TObject* /*Sender*/) {
    BeginAnalysisCommand(TAnalysisCommand::Sym);
}

void TForm1::SpeedButton6Click(TObject* /*Sender*/) {
    BeginAnalysisCommand(TAnalysisCommand::Cmp);
}

void TForm1::SpeedButton7Click(TObject* /*Sender*/) {
    BeginAnalysisCommand(TAnalysisCommand::DV);
}
