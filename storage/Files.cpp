// Save format, shot files and the report image.
#include "form/Form1.h"

#include "storage/ProgramSettings.h"

void TForm1::LoadTxtFormat() {
    CreateDefaultIni();
    FTxtFormat = ReadTxtFormat();
}

void TForm1::Button2Click(TObject* /*Sender*/) {}
