// The visual style: read at start with its fallbacks, saved on close.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPalette>

#include "app/Style.h"
#include "platform/core/IniFile.h"
#include "platform/ui/StyleManager.h"
#include "support/FormFixture.h"

class StyleTest : public FormFixture {};

TEST_F(StyleTest, SavedIndexChoosesTheStyle) {
    struct Case {
        const char* saved;  // nullptr: no settings file
        const char* applied;
    };
    const Case cases[] = {
        {nullptr, "Charcoal Dark Slate"},
        {"0", "Glow"},
        {"1", "Charcoal Dark Slate"},
        {"2", "Tablet Dark"},
        {"3", "Sapphire Kamri"},
        {"4", "Windows"},
        {"5", "Glow"},
        {"-1", "Glow"},
        {"abc", "Charcoal Dark Slate"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.saved ? c.saved : "no file");
        QFile::remove(IniFilePath());
        if (c.saved)
            WriteTextFile(IniFilePath(), QByteArray("[Settings]\nStyle=") + c.saved + "\n");
        TStyleManager::TrySetStyle("Windows", false);
        ApplySavedStyle();
        EXPECT_EQ(TStyleManager::ActiveStyleName(), c.applied);
        if (!c.saved) {
            EXPECT_FALSE(QFile::exists(IniFilePath()));  // reading writes nothing
        }
    }
    EXPECT_TRUE(FDialogs.Errors.isEmpty());
}

TEST_F(StyleTest, ActiveStyleIsSavedOnClose) {
    WriteTextFile(IniFilePath(), "[Settings]\nStyle=2\n");
    ApplySavedStyle();
    StartForm();
    CloseForm();
    EXPECT_EQ(TIniFile(IniFilePath()).ReadInteger("Settings", "Style", -9), 2);

    // Glow, also when reached as a fallback, is saved as 0.
    WriteTextFile(IniFilePath(), "[Settings]\nStyle=7\n");
    ApplySavedStyle();
    StartForm();
    CloseForm();
    EXPECT_EQ(TIniFile(IniFilePath()).ReadInteger("Settings", "Style", -9), 0);
}

TEST_F(StyleTest, IndexAndSaveAgree) {
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(TStyleManager::TrySetStyle(StyleNames()[i], false));
        EXPECT_EQ(ActiveStyleIndex(), i);
    }
    SaveStyleIndex(9);
    EXPECT_EQ(TIniFile(IniFilePath()).ReadInteger("Settings", "Style", -9), 0);
    SaveStyleIndex(3);
    EXPECT_EQ(TIniFile(IniFilePath()).ReadInteger("Settings", "Style", -9), 3);
}

TEST_F(StyleTest, DarkStylesAreDarkAndDistinct) {
    QSet<QRgb> windows;
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(TStyleManager::TrySetStyle(StyleNames()[i], false));
        const QColor window = QApplication::palette().color(QPalette::Window);
        windows.insert(window.rgb());
        if (i < 3) {
            EXPECT_LT(window.lightness(), 80) << StyleNames()[i].toStdString();
        }
    }
    EXPECT_EQ(windows.size(), 4);
}

TEST_F(StyleTest, UnknownStyleIsReportedByName) {
    EXPECT_FALSE(TStyleManager::TrySetStyle("Aqua Graphite", true));
    ASSERT_EQ(FDialogs.Errors.size(), 1);
    EXPECT_TRUE(FDialogs.Errors.front().contains("Aqua Graphite"));
}
