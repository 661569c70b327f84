// Automatic saving of live shots every N shots: the form's side of
// FAutoSaver (storage/core/AutoSaver.h).
#include "form/Form1.h"

#include "storage/core/ShotsFileWriter.h"

TAutoSaverHost TForm1::AutoSaverHost() {
    TAutoSaverHost host;
    host.FileSettings = [this] { return ShotsFileSettingsNow(); };
    host.ShowStatus = [this](const QString& text) { Label20->SetCaption(text); };
    // The files that wait are written a slice at a time between the
    // window's events, after whatever the window has to do first.
    host.RequestCatchUp = [this] { PostMessage(this, WM_AUTOSAVE_CATCHUP, 0, 0); };
    // AUT and the naming mode come from the snapshot a shot holds, so a
    // shot opens no settings file to decide whether it writes one.
    host.ShotSettings = [this] {
        const TShotSettings& now = FSettings.Current();
        return TAutoSaveSettings{now.AutoSaveCount, now.AutoSaveIndexed};
    };
    return host;
}

void TForm1::AutoSaveOnShot(const QString& text) {
    // Only lines received from a link are saved this way.
    if (!LiveInput) return;
    FAutoSaver.AutoSaveOnShot(text);
}

void TForm1::AutoSaveOnClose() {
    FAutoSaver.AutoSaveOnClose();
}
