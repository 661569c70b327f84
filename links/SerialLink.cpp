// The serial port's commands on the main form: the port list's choice,
// OPEN and CLOSE, the automatic open at start, and the read thread's start.
#include "form/Form1.h"
#include "links/core/SerialLink.h"
#include "platform/chart/Chart.h"
#include "platform/core/Exception.h"
#include "platform/core/IniFile.h"
#include "platform/serial/PortList.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/Threads.h"
#include "storage/ProgramSettings.h"

bool TForm1::OpenComPort(bool showMessages) {
    if (FSerialLink.IsOpen()) {
        Button1->SetCaption(QStringLiteral("CLOSE"));
        return true;
    }

    const QString name = TrimText(ComboBox1->Text());
    if (ComboBox1->ItemIndex() < 0 || name.isEmpty()) {
        if (showMessages) ShowMessage(QStringLiteral("Select port COM."));
        Button1->SetCaption(QStringLiteral("OPEN"));
        return false;
    }

    try {
        FSerialLink.Open(ComPortDevicePath(name));
    } catch (const ESysError& e) {
        if (showMessages) ShowMessage(e.Message());
        Button1->SetCaption(QStringLiteral("OPEN"));
        return false;
    }

    Button1->SetCaption(QStringLiteral("CLOSE"));
    Chart1->BottomAxis()->SetAutomatic(false);
    FAutoSaver.StartAfresh();
    StartReadThread();
    {
        TIniFile ini(IniPath());
        WriteSettingString(ini, Setting::ComPort, name);
    }
    return true;
}

void TForm1::CloseComPort() {
    FSerialLink.Close();
    Button1->SetCaption(QStringLiteral("OPEN"));
}

bool TForm1::SelectComPort(const QString& name) {
    const QString wanted = TrimText(name);
    if (wanted.isEmpty()) return false;
    const int index = ComboBox1->Items()->IndexOf(wanted);
    if (index < 0) return false;
    ComboBox1->SetItemIndex(index);
    return true;
}

void TForm1::AutoOpenComPort() {
    QString openCom;
    QString port;
    {
        TIniFile ini(IniPath());
        openCom = TrimText(ReadSettingString(ini, Setting::OpenCom));
        if (openCom.isEmpty() || openCom == QStringLiteral("0")) return;
        port = TrimText(ReadSettingString(ini, Setting::ComPort));
    }
    if (SelectComPort(port)) OpenComPort(false);
}

void TForm1::Button1Click(TObject* /*Sender*/) {
    if (!FSerialLink.IsOpen())
        OpenComPort(true);
    else
        CloseComPort();
}

void TForm1::StartReadThread() {
    FSerialLink.StartReading([this](TSerialReaderTicket ticket) {
        // A report still queued when its thread was stopped (by a user
        // CLOSE or the form's end) finds its ticket stale and never touches
        // a port opened later or a form that is gone.
        TThread::Queue(nullptr, [this, ticket] {
            if (ticket.IsCurrent()) CloseComPort();
        });
    });
}
