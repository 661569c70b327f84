// CLEAR, FILTER, the frame of the analysis commands, the memo lock and
// REFRESH.
#include "form/Form1.h"

#include <QStringList>

#include "platform/chart/Chart.h"
#include "platform/core/FormatFloat.h"
#include "platform/ui/Dialogs.h"
#include "series/FilterSettings.h"
#include "series/core/NumberText.h"
#include "series/core/Statistics.h"
#include "variants/BuildVariant.h"

namespace {

// The status text of a running command, by command code.
QString AnalysisCommandText(TAnalysisCommand command) {
    switch (command) {
        case 1:
            return QStringLiteral("REFRESH: processing...");
        case 2:
            return QStringLiteral("SYM: processing...");
        case 3:
            return QStringLiteral("CMP: processing...");
        case 4:
            return QStringLiteral("dV: processing...");
        default:
            return QString();
    }
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

    FMemoSnapshot.clear();
    FMemoLocked = false;
    ResetReceive(false, false);
    FDerivedValues = false;
    FAnalysisMode = 0;
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
    FVelocityCache.clear();
    FVelocityCacheDirty = false;
    SendMessage(Memo1, EM_LINESCROLL, WPARAM(-100000), 0);
    StatsReset();
    FActiveSeries->Clear();
    FNextShotNumber = 1;

    FAutoSaveCount = 0;
    FAutoSaveLines.clear();
    FLoadedLines.clear();
    FMemoSnapshot.clear();
    FMemoLocked = false;
    ResetReceive(false, false);
    FAnalysisMode = 0;
    // A window set by hand and the derived display go with the series, so
    // the empty chart fits itself again and hides negative labels.
    FZoomSteps = 0;
    FZoomAnchor = 0;
    FZoomActive = false;
    FDerivedValues = false;
    Label20->SetCaption(QString());

    Chart1->BottomAxis()->SetAutomatic(false);
    Chart1->BottomAxis()->SetMinMax(0, 25);
    Chart1->LeftAxis()->SetAutomatic(true);
    FAppliedBarWidth = -1;
    UpdateBarWidth(true);

    LastVelocity = 0.0;
    LastVelocityValid = false;
    Label2->SetCaption(FormatValue(true, 0.0));
    Label15->SetCaption(ClearedEnergyText(FPowerFactorMode, FPowerFactorIpsc));
    FitLabelFont(Label2, Label2->Caption());
    FitLabelFont(Label15, Label15->Caption());
    for (TLabel* label : {Label3, Label4, Label5, Label6, Label7})
        label->SetCaption(FormatFloat(QStringLiteral("00.0"), 0.0));
    Label8->SetCaption(FormatFloat(QStringLiteral("0"), 0.0));
    Label19->SetCaption(ClearedAverageEnergyText(FPowerFactorMode, FPowerFactorIpsc));
    FormResize(this);
    Chart1->Repaint();
}

void TForm1::RefreshCommand() {
    FDerivedValues = false;
    FAnalysisMode = 0;
    if (FMemoLocked) {
        if (!FMemoSnapshot.empty()) {
            QStringList kept;
            kept.reserve(qsizetype(FMemoSnapshot.size()));
            for (QString& line : FMemoSnapshot) kept.append(std::move(line));
            FMemoSnapshot.clear();
            FMemoLocked = false;
            ResetReceive(false, true);
            RebuildFromLines(kept, true);
            ClearCommandProgress();
            return;
        }
        UnlockMemo();
    }
    if (IsCnvMode() && !FVelocityCacheDirty &&
        FVelocityCache.size() == std::size_t(CountNumericMemoLines())) {
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
            struct Restore {
                TForm1* Form;
                ~Restore() {
                    SendMessage(Form->Memo1, WM_SETREDRAW, 1, 0);
                    Form->Memo1->Invalidate();
                    Form->FMemoUpdating = false;
                }
            } restore{this};
            TStrings* lines = Memo1->Lines();
            lines->BeginUpdate();
            try {
                lines->Assign(kept);
            } catch (...) {
                lines->EndUpdate();
                throw;
            }
            lines->EndUpdate();
        }
        RebuildVelocityCache(CheckBox1->Checked());
        ClearCommandProgress();
        restored = true;
    }
    FMemoSnapshot.clear();
    FMemoLocked = false;
    ResetReceive(false, true);
    return restored;
}

void TForm1::BeginAnalysisCommand(TAnalysisCommand command) {
    if (FCommandBusy) return;
    FCommandBusy = true;
    FRunningCommand = command;
    Screen()->SetCursor(crHourGlass);
    for (TSpeedButton* button : {SpeedButton3, SpeedButton5, SpeedButton6, SpeedButton7})
        button->SetEnabled(false);
    Update();
    ShowCommandProgress();
    Update();
    // A frame whose message never comes would keep the buttons disabled for
    // good.
    if (!PostMessage(this, WM_RUN_ANALYSIS, WPARAM(command), 0)) CloseAnalysisFrame();
}

void TForm1::CloseAnalysisFrame() {
    FRunningCommand = 0;
    ClearCommandProgress();
    FCommandBusy = false;
    Screen()->SetCursor(crDefault);
    for (TSpeedButton* button : {SpeedButton3, SpeedButton5, SpeedButton6, SpeedButton7})
        button->SetEnabled(true);
    Update();
}

void TForm1::RunAnalysisCommand(TMessage& message) {
    const auto command = TAnalysisCommand(message.WParam);
    // The frame closes whatever the command did; a failure goes on to the
    // default handler afterwards.
    struct FrameCloser {
        TForm1* Form;
        ~FrameCloser() { Form->CloseAnalysisFrame(); }
    } closer{this};

    if (command == 1) {
        RefreshCommand();
        ResetBarWidth(true);
        Chart1->Repaint();
    } else if (command >= 2 && command <= 4) {
        if (Memo1->Lines()->Count() == 0) return;
        if (FMemoLocked) {
            static const char* const names[] = {"SYM", "CMP", "dV"};
            Label20->SetCaption(QString::fromLatin1(names[command - 2]) +
                                QStringLiteral(": Use refresh to unlock"));
            return;
        }
        LockMemo();
        bool done = false;
        if (command == 2)
            done = MirrorCommand();
        else if (command == 3)
            done = CompareCommand();
        else
            done = DeltaCommand();
        if (!done) UnlockMemo();
    }
}

void TForm1::ShowCommandProgress() {
    if (FRunningCommand != 0 && FRunningCommand == FHoveredCommand)
        Label20->SetCaption(AnalysisCommandText(FRunningCommand));
    else
        ClearCommandProgress();
}

void TForm1::ClearCommandProgress() {
    const QString text = Label20->Caption();
    for (TAnalysisCommand command = 1; command <= 4; ++command)
        if (text == AnalysisCommandText(command)) {
            Label20->SetCaption(QString());
            return;
        }
}

void TForm1::SpeedButton3Click(TObject* /*Sender*/) {
    BeginAnalysisCommand(1);
}

void TForm1::SpeedButton5Click(TObject* /*Sender*/) {
    BeginAnalysisCommand(2);
}

void TForm1::SpeedButton6Click(TObject* /*Sender*/) {
    BeginAnalysisCommand(3);
}

void TForm1::SpeedButton7Click(TObject* /*Sender*/) {
    BeginAnalysisCommand(4);
}
