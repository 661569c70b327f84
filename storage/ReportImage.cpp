// The IM button: the statistics and the chart as a JPEG report picture.
#include <QFileInfo>

#include "form/Form1.h"
#include "platform/chart/Chart.h"
#include "platform/chart/ChartSeries.h"
#include "platform/core/CurrentFolder.h"
#include "platform/core/Exception.h"
#include "platform/core/Files.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/Graphics.h"
#include "storage/core/OutputNaming.h"
#include "storage/core/SettingsKeys.h"
#include "storage/core/ShotsFileWriter.h"

namespace {

constexpr int ReportWidth = 600;
constexpr int ReportHeight = 507;
constexpr int TitleTop = 15;
// Frames by their corners.
constexpr TRect StatsFrame{15, 50, 585, 212};
constexpr TRect ChartFrame{15, 227, 585, 477};
constexpr TPoint ChartOrigin{16, 228};
constexpr int ChartWidth = 568;
constexpr int ChartHeight = 248;
constexpr int JpegQuality = 90;
const QString ReportFontName = QStringLiteral("Arial");

}  // namespace

void TForm1::SpeedButton8Click(TObject* /*Sender*/) {
    if (Memo1->Lines()->Count() > 0 || !FMemoSnapshot.empty())
        ExportReportImage();
    else
        Label20->SetCaption(QStringLiteral("IMG: No data"));
}

void TForm1::ExportReportImage() {
    const TCurrentFolderKeeper keeper;
    if (FActiveSeries->Count() == 0) {
        Label20->SetCaption(QStringLiteral("IMG: No data"));
        return;
    }

    QString mode = QStringLiteral("STAT");
    QString tag;
    switch (FSeries.AnalysisMode()) {
        case TAnalysisMode::Sym:
            mode = tag = QStringLiteral("SYM");
            break;
        case TAnalysisMode::Cmp:
            mode = tag = QStringLiteral("CMP");
            break;
        case TAnalysisMode::DV:
            mode = QStringLiteral("dV");
            tag = QStringLiteral("DV");
            break;
        case TAnalysisMode::Shots:
            break;
    }

    TBitmap report(ReportWidth, ReportHeight);
    report.SetFont(ReportFontName, 12, true);
    const QString title = mode + QStringLiteral("  [ ") + Label16->Caption() +
                          QStringLiteral(" ]  [ ") + Label17->Caption() + QStringLiteral(" ]");
    report.TextOut((ReportWidth - report.TextWidth(title)) / 2, TitleTop, title);

    report.FrameRect(StatsFrame);

    report.SetFont(ReportFontName, 10, false);
    const int columns[] = {30, 95, 310, 375};
    const QString cells[5][4] = {
        {Label9->Caption(), Label3->Caption(), Label13->Caption(), Label7->Caption()},
        {Label10->Caption(), Label4->Caption(), Label21->Caption(), Label19->Caption()},
        {Label11->Caption(), Label5->Caption(), Label14->Caption(), Label8->Caption()},
        {Label12->Caption(), Label6->Caption(), QStringLiteral("V"), Label2->Caption()},
        {QStringLiteral("Weight"), Edit1->Text() + QStringLiteral(" ") + Label18->Caption(),
         FPowerFactorMode ? QStringLiteral("PF") : QStringLiteral("E"), Label15->Caption()},
    };
    for (int row = 0; row < 5; ++row)
        for (int column = 0; column < 4; ++column)
            report.TextOut(columns[column], 65 + 22 * row, cells[row][column]);

    report.FrameRect(ChartFrame);
    TBitmap chart(ChartWidth, ChartHeight);
    Chart1->Draw(chart, TRect{0, 0, ChartWidth, ChartHeight});
    report.Draw(ChartOrigin.X, ChartOrigin.Y, chart);

    const QString section = QString::fromLatin1(SectionImg);
    const QFileInfo proposed(BuildOutputPath(section, QStringLiteral(".jpg"), tag));
    TFileDialogRequest request;
    request.Filter = QStringLiteral("JPEG (*.jpg)|*.jpg|All (*.*)|*.*");
    request.DefaultExt = QStringLiteral("jpg");
    // An output folder that could not be created: the dialog opens where it
    // can, so another folder can be chosen.
    request.InitialDir = NearestExistingFolder(proposed.path());
    request.FileName = proposed.fileName();
    if (!Dialogs().ExecuteSave(request)) return;

    const QByteArray jpeg = report.JpegBytes(JpegQuality);
    if (jpeg.isEmpty()) throw Exception(QStringLiteral("JPEG encoding failed"));
    WriteFileReplacing(request.FileName, jpeg);
    if (FileNameUsesIndex(section)) IncrementIndex(section);
    Label20->SetCaption(QStringLiteral("IMG: ") + QFileInfo(request.FileName).fileName());
}
