// The display format of the big velocity value.
#include "form/Form1.h"

#include "platform/core/IniFile.h"
#include "series/core/NumberText.h"
#include "storage/ProgramSettings.h"

void TForm1::LoadDisplayFormat() {
    CreateDefaultIni();
    {
        TIniFile ini(IniPath());
        QString text = TrimText(ReadSettingString(ini, Setting::Label2DisplayFormat));
        // Only a blank value is completed; a picture that is refused stays in
        // the file for the user to mend and the default is used meanwhile.
        if (text.isEmpty()) {
            WriteSettingDefault(ini, Setting::Label2DisplayFormat);
            text = QString::fromLatin1(Setting::Label2DisplayFormat.FileValue);
        }
        DecFmt = ValidDisplayFormat(TrimText(text));
    }
    FSeries.ForgetLastVelocity();
    Label2->SetCaption(FormatValue(true, 0.0, DecFmt));
}
