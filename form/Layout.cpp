// Proportional layout of the main form.
#include "form/Form1.h"

void TForm1::RecordControlBounds() {}

void TForm1::FormResize(TObject* /*Sender*/) {}

void TForm1::HandleSysCommand(TMessage& message) { TForm::DefaultHandler(message); }

void TForm1::FitLabelFont(TLabel* /*label*/, const QString& /*text*/) {}
