// CLEAR and the frame of the analysis commands.
#include "form/Form1.h"

#include <QStringList>

#include "platform/chart/Chart.h"
#include "platform/core/FormatFloat.h"
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

}  // namespace

void TForm1::FilterCommand() {}

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

void TForm1::RefreshCommand() {}

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
    PostMessage(this, WM_RUN_ANALYSIS, WPARAM(command), 0);
}

void TForm1::RunAnalysisCommand(TMessage& message) {
    const auto command = TAnalysisCommand(message.WParam);
    // The frame closes whatever the command did; a failure goes on to the
    // default handler afterwards.
    struct FrameCloser {
        TForm1* Form;
        ~FrameCloser() {
            Form->FRunningCommand = 0;
            Form->ClearCommandProgress();
            Form->FCommandBusy = false;
            Screen()->SetCursor(crDefault);
            for (TSpeedButton* button :
                 {Form->SpeedButton3, Form->SpeedButton5, Form->SpeedButton6, Form->SpeedButton7})
                button->SetEnabled(true);
            Form->Update();
        }
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
        }
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

void TForm1::SpeedButton3Click(TObject* /*Sender*/) { BeginAnalysisCommand(1); }

void TForm1::SpeedButton5Click(TObject* /*Sender*/) { BeginAnalysisCommand(2); }

void TForm1::SpeedButton6Click(TObject* /*Sender*/) { BeginAnalysisCommand(3); }

void TForm1::SpeedButton7Click(TObject* /*Sender*/) { BeginAnalysisCommand(4); }
