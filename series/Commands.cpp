// Filter, clear, rebuild and the analysis commands.
#include "form/Form1.h"

void TForm1::FilterCommand() {}

void TForm1::ButtonClearClick(TObject* /*Sender*/) {}

void TForm1::RefreshCommand() {}

void TForm1::RunAnalysisCommand(TMessage& /*message*/) {}

void TForm1::SpeedButton3Click(TObject* /*Sender*/) {}

void TForm1::SpeedButton5Click(TObject* /*Sender*/) {}

void TForm1::SpeedButton6Click(TObject* /*Sender*/) {}

void TForm1::SpeedButton7Click(TObject* /*Sender*/) {}
