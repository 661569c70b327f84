// The display format of the big velocity value.
#include "form/Form1.h"

#include "platform/core/IniFile.h"
#include "series/core/NumberText.h"
#include "series/core/Statistics.h"
#include "storage/ProgramSettings.h"

void TForm1::LoadDisplayFormat() {
    CreateDefaultIni();
    {
        TIniFile ini(IniPath());
        QString text = TrimText(ini.ReadString(QStringLiteral("Settings"),
                                               QStringLiteral("Label2DisplayFormat"), QString()));
        if (text.isEmpty()) {
            text = QStringLiteral("0##");
            ini.WriteString(QStringLiteral("Settings"), QStringLiteral("Label2DisplayFormat"),
                            text);
        }
        DecFmt = ValidDisplayFormat(TrimText(text));
    }
    LastVelocity = 0.0;
    LastVelocityValid = false;
    Label2->SetCaption(FormatValue(true, 0.0));
}
