// The serial port and its read thread.
#include "links/SerialLink.h"

#include "form/Form1.h"

void CloseComPortHandle() {}

bool TForm1::OpenComPort(bool /*showMessages*/) { return false; }

void TForm1::CloseComPort() {}

bool TForm1::SelectComPort(const QString& /*name*/) { return false; }

void TForm1::AutoOpenComPort() {}

void TForm1::Button1Click(TObject* /*Sender*/) {}

void TForm1::StartReadThread() {}

void TForm1::StopReadThread() {
    if (FReadThread && FReadThread->joinable()) FReadThread->join();
    FReadThread.reset();
}

void TForm1::SerialReadThread() {}
