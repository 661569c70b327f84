// The Bluetooth LE link.
#include "form/Form1.h"

void TForm1::SCANClick(TObject* /*Sender*/) {}

void TForm1::CONNECTClick(TObject* /*Sender*/) {}

void TForm1::ConnTimeoutTimer(TObject* /*Sender*/) {}

void TForm1::KeepAliveTimer(TObject* /*Sender*/) {}

void TForm1::LoadBleLast() {}
