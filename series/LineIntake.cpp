// Received lines become shots.
#include "form/Form1.h"

void TForm1::ProcessIncomingLine(const QString& /*line*/) {}

void TForm1::LoadCounterSettings() {}
