// Application-wide shortcuts, the units switch and the unit hints.
#include "form/Form1.h"

void TForm1::AppMessage(TMsg& /*Msg*/, bool& /*Handled*/) {}

void TForm1::FormKeyDown(TObject* /*Sender*/, WORD& /*Key*/, TShiftState /*Shift*/) {}

void TForm1::AnalysisButtonEnter(TObject* /*Sender*/) {}

void TForm1::AnalysisButtonLeave(TObject* /*Sender*/) {}

void TForm1::CheckBox1Click(TObject* /*Sender*/) {}

void TForm1::Edit1Change(TObject* /*Sender*/) {}

void TForm1::Label16MouseEnter(TObject* /*Sender*/) {}

void TForm1::Label17MouseEnter(TObject* /*Sender*/) {}

void TForm1::Label18MouseEnter(TObject* /*Sender*/) {}
