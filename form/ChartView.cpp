// The chart of the main form: series type, colours, axes, bar width, the
// scrolling shot window and the mouse.
#include "form/Form1.h"

#include "platform/chart/Chart.h"

void TForm1::LoadChartSettings() { FActiveSeries = Series1; }

void TForm1::AddChartPoint(double x, double y, bool /*hasPrevious*/, double /*previous*/) {
    if (FActiveSeries) FActiveSeries->AddXY(x, y);
}

void TForm1::UpdateXAxis() {}

void TForm1::UpdateYAxis(double /*margin*/) {}

void TForm1::UpdateBarWidth(bool /*repaint*/) {}

void TForm1::ResetBarWidth(bool repaint) {
    FAppliedBarWidth = -1;
    UpdateBarWidth(repaint);
}

void TForm1::CheckBoxScrollClick(TObject* /*Sender*/) {}

void TForm1::CheckBoxAutoClick(TObject* /*Sender*/) {}

void TForm1::CheckBoxAuto50Click(TObject* /*Sender*/) {}

void TForm1::SpeedButton1Click(TObject* /*Sender*/) {}

void TForm1::SpeedButton2Click(TObject* /*Sender*/) {}

void TForm1::SppeButton3Click(TObject* /*Sender*/) {}

void TForm1::SpeedButton4Click(TObject* /*Sender*/) {}

void TForm1::Chart1MouseMove(TObject* /*Sender*/, TShiftState /*Shift*/, int /*X*/, int /*Y*/) {}

void TForm1::Chart1MouseDown(TObject* /*Sender*/, TMouseButton /*Button*/, TShiftState /*Shift*/,
                             int /*X*/, int /*Y*/) {}

void TForm1::Chart1GetAxisLabel(TChartAxis* /*Sender*/, TChartSeries* /*Series*/,
                                int /*ValueIndex*/, QString& /*LabelText*/) {}

void TForm1::Chart1BeforeDrawSeries(TObject* /*Sender*/) {}
