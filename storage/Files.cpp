// The save format.
#include "form/Form1.h"

#include "storage/ProgramSettings.h"

void TForm1::LoadTxtFormat() {
    CreateDefaultIni();
    FTxtFormat = ReadTxtFormat();
}
