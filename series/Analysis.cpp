// The analysis commands SYM, CMP and dV: each derives a series from the
// shot list and shows it in the list's place (ReloadValues). They run inside
// the command frame, with the list locked; false tells the frame to put the
// list back.
#include <vector>

#include <QFileInfo>

#include "form/Form1.h"
#include "platform/core/CurrentFolder.h"
#include "platform/ui/Dialogs.h"
#include "series/core/Analysis.h"
#include "series/core/CompareFile.h"
#include "series/core/NumberText.h"
#include "series/core/ShotSeries.h"
#include "variants/BuildVariant.h"

std::vector<double> TForm1::ParseMemoNumbers() {
    return ShotLineValues(Memo1->Lines()->ToStringList());
}

bool TForm1::MirrorCommand() {
    const std::vector<double> values = ParseMemoNumbers();
    const int n = int(values.size());
    if (n < 2) {
        ShowMessage(QStringLiteral(" Use min. 2 points"));
        return false;
    }
    const std::vector<double> differences = MirrorDifferences(values);
    if (!DerivedValuesShowable(differences)) {
        ShowMessage(DerivedTooLargeText(QStringLiteral("SYM")));
        return false;
    }
    FSeries.SetAnalysisMode(TAnalysisMode::Sym);
    ReloadValues(DerivedTexts(differences));
    Label20->SetCaption(QStringLiteral("SYM: Mirror ") + QString::number(n));
    return true;
}

bool TForm1::CompareCommand() {
    // One value per list line, so that the pairs keep their positions: a
    // line without a value counts as 0.
    const QStringList lines = Memo1->Lines()->ToStringList();
    std::vector<double> memo;
    memo.reserve(std::size_t(lines.size()));
    for (const QString& line : lines) {
        double value = 0.0;
        memo.push_back(ShotLineValue(line, value) ? value : 0.0);
    }

    const TCurrentFolderKeeper folder;
    TFileDialogRequest request;
    if (FTxtFormat) {
        request.Filter = QStringLiteral("TXT (*.txt)|*.txt|All (*.*)|*.*");
        request.DefaultExt = QStringLiteral("txt");
    } else {
        request.Filter = QStringLiteral("CSV (*.csv)|*.csv|All (*.*)|*.*");
        request.DefaultExt = QStringLiteral("csv");
    }
    if (!Dialogs().ExecuteOpen(request)) return false;
    // REFRESH or FILTER (their shortcuts work while the dialog is open) may
    // have released the lock meanwhile; a result shown now would take live
    // shots onto a derived series.
    if (!FMemoLocked) return false;

    const QString path = request.FileName;
    const QString name = QFileInfo(path).fileName();
    const TCompareFile compare = ReadCompareFile(path);
    if (compare.Problem != TCompareProblem::None) {
        // Comparing with nothing would only show the list as it is, as if
        // the comparison had been made.
        ShowMessage(CompareProblemText(compare.Problem, name));
        return false;
    }
    std::vector<double> file;
    file.reserve(compare.Texts.size());
    for (const QString& text : compare.Texts) {
        double value = 0.0;
        ParseShotValue(text, value);
        file.push_back(value);
    }

    const std::vector<double> differences =
        CompareDifferences(memo, file, std::size_t(ShotListKept));
    if (!DerivedValuesShowable(differences)) {
        ShowMessage(DerivedTooLargeText(QStringLiteral("CMP")));
        return false;
    }
    FSeries.SetAnalysisMode(TAnalysisMode::Cmp);
    ReloadValues(DerivedTexts(differences));
    Label20->SetCaption(QStringLiteral("CMP: Memo - ") + name);
    return true;
}

bool TForm1::DeltaCommand() {
    const std::vector<double> values = ParseMemoNumbers();
    if (values.size() < 2) {
        ShowMessage(QStringLiteral("Use minimum 2 points"));
        return false;
    }
    std::vector<double> differences = SuccessiveDifferences(values);
    // A full list (ShotListCutAt lines) has more differences than a derived
    // series shows; the status counts the ones shown.
    if (differences.size() > std::size_t(ShotListKept)) differences.resize(ShotListKept);
    if (!DerivedValuesShowable(differences)) {
        ShowMessage(DerivedTooLargeText(QStringLiteral("dV")));
        return false;
    }
    FSeries.SetAnalysisMode(TAnalysisMode::DV);
    ReloadValues(DerivedTexts(differences));
    Label20->SetCaption(DvStatusText(int(differences.size())));
    return true;
}
