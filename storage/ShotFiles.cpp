// SAVE and LOAD of shot files.
#include <QFileInfo>

#include "form/Form1.h"
#include "platform/core/CurrentFolder.h"
#include "platform/core/Exception.h"
#include "platform/ui/Dialogs.h"
#include "storage/core/OutputNaming.h"
#include "storage/core/SettingsKeys.h"
#include "storage/core/ShotsFileWriter.h"

namespace {

// The dialog filter and default extension of a save format.
void SetFormatFilter(TFileDialogRequest& request, bool txt) {
    request.Filter = txt ? QStringLiteral("TXT (*.txt)|*.txt|All (*.*)|*.*")
                         : QStringLiteral("CSV (*.csv)|*.csv|All (*.*)|*.*");
    request.DefaultExt = txt ? QStringLiteral("txt") : QStringLiteral("csv");
}

}  // namespace

void TForm1::ButtonSaveClick(TObject* /*Sender*/) {
    const TCurrentFolderKeeper keeper;
    const bool txt = FTxtFormat;
    const QString section = QString::fromLatin1(SectionTxtCsv);
    const QFileInfo proposed(
        BuildOutputPath(section, txt ? QStringLiteral(".txt") : QStringLiteral(".csv"), QString()));
    TFileDialogRequest request;
    SetFormatFilter(request, txt);
    request.InitialDir = proposed.path() + QLatin1Char('/');
    request.FileName = proposed.fileName();
    if (!Dialogs().ExecuteSave(request)) return;

    QByteArray bytes;
    if (txt) {
        bytes = SavedTxtBytes(Memo1->Text());
    } else {
        TShotsFileSettings settings;
        settings.PowerFactorMode = FPowerFactorMode;
        settings.PowerFactorIpsc = FPowerFactorIpsc;
        settings.WeightText = Edit1->Text();
        settings.WeightUnit = Label18->Caption();
        settings.Units = TUnitState{CheckBox1->Checked(), CheckBox2->Checked()};
        const TShownStatistics shown{Label3->Caption(), Label4->Caption(), Label5->Caption(),
                                     Label6->Caption(), Label7->Caption(), Label19->Caption()};
        TCnvEnergies cnv;
        if (!FPowerFactorMode && IsCnvMode()) {
            // An edit, a log line or a cut may have left the cache behind the
            // list; row n must take the energy of the n-th shot listed.
            if (FVelocityCacheDirty || int(FVelocityCache.size()) != CountNumericMemoLines())
                RebuildVelocityCache(CheckBox1->Checked());
            cnv.MetresPerSecond = &FVelocityCache;
            cnv.Grams = FWeightGrams;
        }
        bytes = SavedCsvBytes(Memo1->Lines()->ToStringList(), settings, shown, cnv);
    }

    try {
        WriteFileReplacing(request.FileName, bytes);
    } catch (const ESysError& e) {
        throw Exception(FileErrorText(e.Call(), e.Error(), request.FileName));
    }
    if (FileNameUsesIndex(section)) IncrementIndex(section);
    Label20->SetCaption(QStringLiteral("SAVE: ") + QFileInfo(request.FileName).fileName());
}
