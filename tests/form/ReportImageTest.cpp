// The IM button on a real main form: the JPEG report written through the
// save dialog, decoded back and looked at pixel by pixel.
#include <gtest/gtest.h>

#include <QImage>

#include "platform/core/Exception.h"
#include "platform/core/IniFile.h"
#include "support/FormFixture.h"

namespace {

using P = TForm1Probe;

bool Dark(const QImage& image, int x, int y) {
    return qGray(image.pixel(x, y)) < 128;
}
bool White(const QImage& image, int x, int y) {
    return qGray(image.pixel(x, y)) > 235;
}

}  // namespace

class ReportImage : public FormFixture {
protected:
    void SetUp() override {
        FormFixture::SetUp();
        StartFormOffline();
    }

    QString ImgKey(const char* key) { return IniValue("IMG", key); }
};

TEST_F(ReportImage, SavesTheStatisticsAndTheChartAsAJpeg) {
    Feed({"812.3", "815", "809.5", "820"});
    const QString file = FDir.filePath(QStringLiteral("report.jpg"));
    FDialogs.QueueFile(file);

    Form().SpeedButton8->Click();

    ASSERT_EQ(FDialogs.SaveRequests.size(), 1u);
    const TFileDialogRequest& request = FDialogs.SaveRequests[0];
    EXPECT_EQ(request.FileName, QStringLiteral("Stat_001.jpg"));
    EXPECT_EQ(request.InitialDir, FDir.filePath(QStringLiteral("IMG")) + QLatin1Char('/'));
    EXPECT_EQ(request.Filter, QStringLiteral("JPEG (*.jpg)|*.jpg|All (*.*)|*.*"));
    EXPECT_EQ(request.DefaultExt, QStringLiteral("jpg"));
    EXPECT_TRUE(FDialogs.Errors.isEmpty()) << FDialogs.Errors.join(' ').toStdString();

    const QByteArray bytes = ReadFileBytes(file);
    ASSERT_TRUE(bytes.startsWith("\xFF\xD8\xFF"));
    QImage image;
    ASSERT_TRUE(image.loadFromData(bytes, "JPG"));
    EXPECT_EQ(image.size(), QSize(600, 507));

    // White page, black frames that stop one pixel short of their right and
    // bottom corners, a white strip below the chart.
    EXPECT_TRUE(White(image, 2, 2));
    EXPECT_TRUE(White(image, 300, 40));
    EXPECT_TRUE(Dark(image, 15, 130));  // statistics frame, left
    EXPECT_TRUE(White(image, 586, 130));
    EXPECT_TRUE(Dark(image, 584, 130));   // and right edge
    EXPECT_TRUE(Dark(image, 300, 211));   // and bottom edge
    EXPECT_TRUE(White(image, 300, 218));  // between the frames
    EXPECT_TRUE(Dark(image, 300, 227));   // chart frame, top
    EXPECT_TRUE(Dark(image, 15, 350));
    EXPECT_TRUE(White(image, 300, 495));
    EXPECT_TRUE(White(image, 590, 350));

    // The title and the cells are drawn; the chart shows more than paper.
    const auto inked = [&](const QRect& area) {
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x) n += Dark(image, x, y) ? 1 : 0;
        return n;
    };
    EXPECT_GT(inked(QRect(150, 15, 300, 20)), 20);  // title
    EXPECT_GT(inked(QRect(30, 65, 60, 15)), 10);    // "VAVG"
    EXPECT_GT(inked(QRect(375, 153, 100, 15)), 5);  // last energy
    int coloured = 0;
    for (int y = 230; y < 474; y += 2)
        for (int x = 18; x < 582; x += 2) coloured += White(image, x, y) ? 0 : 1;
    EXPECT_GT(coloured, 200);

    EXPECT_EQ(ImgKey("INDEX"), QStringLiteral("002"));
    EXPECT_EQ(Status(), QStringLiteral("IMG: report.jpg"));
}

TEST_F(ReportImage, NameFollowsTheAnalysisModeAndTheIndex) {
    struct Case {
        const char* Name;
        TAnalysisMode Mode;
        QString Index;  // INDEX of [IMG] before
        QString Proposed;
        QString IndexAfter;
    };
    const Case cases[] = {
        {"Statistics", TAnalysisMode::Shots, "001", "Stat_001.jpg", "002"},
        {"Sym", TAnalysisMode::Sym, "009", "StatSYM_009.jpg", "010"},
        {"Cmp", TAnalysisMode::Cmp, "001", "StatCMP_001.jpg", "002"},
        {"DV", TAnalysisMode::DV, "001", "StatDV_001.jpg", "002"},
        {"NoIndex", TAnalysisMode::Shots, "", "Stat.jpg", ""},
    };
    Feed({"812", "815"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TIniFile(IniFilePath())
            .WriteString(QStringLiteral("IMG"), QStringLiteral("INDEX"), c.Index);
        ShownSeries().SetAnalysisMode(c.Mode);
        FDialogs.SaveRequests.clear();
        FDialogs.QueueFile(FDir.filePath(QString::fromLatin1(c.Name) + QStringLiteral(".jpg")));
        Form().SpeedButton8->Click();
        ASSERT_EQ(FDialogs.SaveRequests.size(), 1u);
        EXPECT_EQ(FDialogs.SaveRequests[0].FileName, c.Proposed);
        EXPECT_EQ(ImgKey("INDEX"), c.IndexAfter);
        EXPECT_TRUE(
            QFileInfo::exists(FDir.filePath(QString::fromLatin1(c.Name) + QStringLiteral(".jpg"))));
    }
}

TEST_F(ReportImage, NothingIsWrittenWithoutDataOrWhenCancelled) {
    // No lines at all.
    Form().SpeedButton8->Click();
    EXPECT_EQ(Status(), QStringLiteral("IMG: No data"));
    EXPECT_TRUE(FDialogs.SaveRequests.empty());

    // Lines, but none of them a point of the chart.
    Form().Memo1->Lines()->Add(QStringLiteral("LOG line"));
    Form().Label20->SetCaption(QString());
    Form().SpeedButton8->Click();
    EXPECT_EQ(Status(), QStringLiteral("IMG: No data"));
    EXPECT_TRUE(FDialogs.SaveRequests.empty());

    // Cancelled: the status and the index stay; the section's defaults are
    // written and its folder made all the same.
    Feed({"812"});
    Form().Label20->SetCaption(QStringLiteral("before"));
    Form().SpeedButton8->Click();
    EXPECT_EQ(FDialogs.SaveRequests.size(), 1u);
    EXPECT_EQ(Status(), QStringLiteral("before"));
    EXPECT_EQ(ImgKey("INDEX"), QStringLiteral("001"));
    EXPECT_TRUE(QFileInfo(FDir.filePath(QStringLiteral("IMG"))).isDir());
    EXPECT_TRUE(QDir(FDir.filePath(QStringLiteral("IMG"))).isEmpty());
}

TEST_F(ReportImage, AFileThatCannotBeWrittenIsReportedAndKeepsTheIndex) {
    Feed({"812"});
    Form().Label20->SetCaption(QStringLiteral("before"));
    const QString file = FDir.filePath(QStringLiteral("missing/report.jpg"));
    FDialogs.QueueFile(file);
    // The error goes on to the application's handler, which shows it: what
    // failed, why and where.
    try {
        Form().SpeedButton8->Click();
        ADD_FAILURE() << "no error";
    } catch (const ESysError& e) {
        EXPECT_EQ(e.Message(), "open error: 2 (No such file or directory: " + file + ")");
    }
    EXPECT_EQ(Status(), QStringLiteral("before"));
    EXPECT_EQ(ImgKey("INDEX"), QStringLiteral("001"));
}

TEST_F(ReportImage, FolderThatCannotBeCreatedStillOffersTheDialog) {
    // The IMG folder would lie inside a plain file: it cannot be made.
    WriteTextFile(FDir.filePath(QStringLiteral("plain")), "x");
    TIniFile(IniFilePath())
        .WriteString(QStringLiteral("IMG"), QStringLiteral("Folder"),
                     FDir.filePath(QStringLiteral("plain/reports")));
    Feed({"812"});
    const QString chosen = FDir.filePath(QStringLiteral("Stat_001.jpg"));
    FDialogs.QueueFile(chosen);

    Form().SpeedButton8->Click();

    // Nothing failed before the dialog, which opened at the nearest folder
    // that exists; the file went where the user chose.
    ASSERT_EQ(FDialogs.SaveRequests.size(), 1u);
    EXPECT_EQ(FDialogs.SaveRequests[0].InitialDir, FDir.path() + QLatin1Char('/'));
    EXPECT_EQ(FDialogs.SaveRequests[0].FileName, QStringLiteral("Stat_001.jpg"));
    EXPECT_TRUE(FDialogs.Errors.isEmpty());
    EXPECT_TRUE(ReadFileBytes(chosen).startsWith("\xFF\xD8\xFF"));
    EXPECT_EQ(Status(), QStringLiteral("IMG: Stat_001.jpg"));
    EXPECT_EQ(ImgKey("INDEX"), QStringLiteral("002"));
}
