// SAVE and LOAD of shot files.
#include <QFileInfo>

#include "form/Form1.h"
#include "platform/core/CurrentFolder.h"
#include "platform/core/Exception.h"
#include "platform/core/Files.h"
#include "platform/ui/Dialogs.h"
#include "series/FilterSettings.h"
#include "series/core/Filter.h"
#include "series/core/NumberText.h"
#include "storage/core/OutputNaming.h"
#include "storage/core/SettingsKeys.h"
#include "storage/core/ShotsFileReader.h"
#include "storage/core/ShotsFileWriter.h"

namespace {

// The dialog filter and default extension of a save format.
void SetFormatFilter(TFileDialogRequest& request, bool txt) {
    request.Filter = txt ? QStringLiteral("TXT (*.txt)|*.txt|All (*.*)|*.*")
                         : QStringLiteral("CSV (*.csv)|*.csv|All (*.*)|*.*");
    request.DefaultExt = txt ? QStringLiteral("txt") : QStringLiteral("csv");
}

}  // namespace

TShotsFileSettings TForm1::ShotsFileSettingsNow() {
    TShotsFileSettings settings;
    settings.Txt = FTxtFormat;
    settings.PowerFactorMode = FPowerFactorMode;
    settings.PowerFactorIpsc = FPowerFactorIpsc;
    settings.WeightText = Edit1->Text();
    settings.WeightUnit = Label18->Caption();
    settings.Units = TUnitState{CheckBox1->Checked(), CheckBox2->Checked()};
    return settings;
}

void TForm1::ButtonSaveClick(TObject* /*Sender*/) {
    const TCurrentFolderKeeper keeper;
    const bool txt = FTxtFormat;
    const QString section = QString::fromLatin1(SectionTxtCsv);
    const QFileInfo proposed(
        BuildOutputPath(section, txt ? QStringLiteral(".txt") : QStringLiteral(".csv"), QString()));
    TFileDialogRequest request;
    SetFormatFilter(request, txt);
    request.InitialDir = NearestExistingFolder(proposed.path());
    request.FileName = proposed.fileName();
    if (!Dialogs().ExecuteSave(request)) return;

    QByteArray bytes;
    if (txt) {
        bytes = SavedTxtBytes(Memo1->Text());
    } else {
        const TShotsFileSettings settings = ShotsFileSettingsNow();
        // Every change the program makes to the list also updates the
        // labels and leaves the cache matching it; after an edit by hand the
        // labels describe an older list, and row 1 then takes the statistics
        // of the rows below it.
        std::optional<TStatsTexts> shown;
        if (!VelocityCacheStale())
            shown = TStatsTexts{Label3->Caption(), Label4->Caption(), Label5->Caption(),
                                Label6->Caption(), Label7->Caption(), Label19->Caption()};
        TCnvEnergies cnv;
        if (!FPowerFactorMode && IsCnvMode()) {
            // Row n must take the energy of the n-th shot listed.
            if (!shown) RebuildVelocityCache(CheckBox1->Checked());
            cnv.MetresPerSecond = &FSeries.VelocityCache();
            cnv.Grams = FWeightGrams;
        }
        bytes = SavedCsvBytes(Memo1->Lines()->ToStringList(), settings, shown, cnv);
    }

    WriteFileReplacing(request.FileName, bytes);
    if (FileNameUsesIndex(section)) IncrementIndex(section);
}

void TForm1::Button2Click(TObject* /*Sender*/) {
    const TCurrentFolderKeeper keeper;
    const bool txt = FTxtFormat;
    TFileDialogRequest request;
    SetFormatFilter(request, txt);
    request.FileName = txt ? QStringLiteral("Chrono.txt") : QStringLiteral("Chrono.csv");
    if (!Dialogs().ExecuteOpen(request)) return;

    // Nothing changes until the file is read whole: a file that is gone,
    // unreadable or too large leaves the list, the buffers and the settings
    // as they were.
    const TShotsFileRead read = ReadShotsFile(request.FileName, txt);
    if (read.Problem != TShotsFileProblem::None)
        throw Exception(ShotsFileProblemText(read, request.FileName));
    if (read.Values.empty()) {
        Label20->SetCaption(QStringLiteral("LOAD: no values in ") +
                            QFileInfo(request.FileName).fileName());
        return;
    }
    const QStringList loaded(read.Values.begin(), read.Values.end());

    // The lines listed before, trimmed, the blank ones left out, log lines
    // and notes included. While an analysis result holds the list, the kept
    // lines stand for it, so that loading never mixes derived values into
    // shots.
    QStringList earlier;
    if (FMemoLocked) {
        earlier = QStringList(FMemoSnapshot.begin(), FMemoSnapshot.end());
    } else {
        for (const QString& line : Memo1->Lines()->ToStringList()) {
            QString trimmed = TrimText(line);
            if (!trimmed.isEmpty()) earlier.append(std::move(trimmed));
        }
    }

    FFilter = LoadFilterConfig();
    const bool filtered =
        FFilter.Enabled && (FFilter.ShotsRule.Valid || FFilter.VelocityRule.Valid);
    QStringList added = loaded;
    if (filtered) {
        Label20->SetCaption(QStringLiteral("FILTER: ") + FilterDescription(FFilter));
        added = ApplyFilterToLines(loaded, FFilter, std::int32_t(earlier.size()) + 1);
        if (added.isEmpty()) {
            ShowMessage(QStringLiteral("The filter rejected all data. Check INI [FILTER]."));
            return;
        }
    } else {
        Label20->SetCaption(QString());
    }
    const QStringList combined = earlier + added;

    FAutoSaver.StartAfresh(std::vector<QString>(combined.begin(), combined.end()));
    ReleaseMemoLock(TPortInput::Keep);
    FSeries.ShowShots();
    RebuildFromLines(combined, true);
    Label20->SetCaption((filtered ? QStringLiteral("LOAD/FILTER: ") : QStringLiteral("LOAD: ")) +
                        QString::number(added.size()) + QStringLiteral(" added, total ") +
                        QString::number(combined.size()) + QStringLiteral(" points"));
}
