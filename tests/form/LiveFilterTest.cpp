// The [FILTER] configuration as the form reads it, and the live filter of the
// line intake.
#include <gtest/gtest.h>

#include "platform/chart/Chart.h"
#include "series/FilterSettings.h"
#include "support/FormFixture.h"

namespace {
using P = TForm1Probe;
}

class LiveFilter : public FormFixture {
protected:
    void SetUp() override {
        FormFixture::SetUp();
        StartFormOffline();
    }
};

TEST_F(LiveFilter, LoadFilterConfigReadsTheSection) {
    WriteFilter("1", " S(~10>+ ", "V<300~400>");
    const TFilterConfig config = LoadFilterConfig();
    EXPECT_TRUE(config.Enabled);
    EXPECT_TRUE(config.ShotsRule.Valid);
    EXPECT_TRUE(config.ShotsRule.ApplyLive);
    EXPECT_EQ(config.ShotsRule.Kind, TFilterKind::Shots);
    EXPECT_TRUE(config.VelocityRule.Valid);
    EXPECT_DOUBLE_EQ(config.VelocityRule.Min, 300);
    EXPECT_EQ(config.VelocityRule.Kind, TFilterKind::Velocity);

    WriteFilter("junk", "", "V(~)");
    const TFilterConfig off = LoadFilterConfig();
    EXPECT_FALSE(off.Enabled);
    EXPECT_FALSE(off.ShotsRule.Valid);
    EXPECT_FALSE(off.VelocityRule.Valid);

    QFile::remove(IniFilePath());
    const TFilterConfig none = LoadFilterConfig();
    EXPECT_FALSE(none.Enabled);
    EXPECT_FALSE(none.VelocityRule.Valid);
}

TEST_F(LiveFilter, DropsRejectedShotsAndUsesUpTheirNumbers) {
    struct Case {
        const char* Name;
        QString Filter;
        QString Shots;
        QString Velocity;
        QStringList Kept;
        QString Big;  // the last velocity shown
    };
    const QStringList received = {"350", "300", "BLE: no number", "399.5", "450", "360"};
    const Case cases[] = {
        {"Armed", "1", "S(~)", "V(300~400)+", {"350", "399.5", "360"}, "360.0"},
        {"NotEnabled", "0", "S(~)", "V(300~400)+", {"350", "300", "399.5", "450", "360"}, "360.0"},
        {"NoPlus", "1", "S(~)", "V(300~400)", {"350", "300", "399.5", "450", "360"}, "360.0"},
        // The shots rule arms the filter and the velocity rule is tested too;
        // shot numbers 1 to 5 (the log line takes none).
        {"ArmedByTheShotsRule", "1", "S(~)+", "V(300~)", {"350", "399.5", "450", "360"}, "360.0"},
        {"ShotNumbers", "1", "S<2~4>+", "V(~)", {"300", "399.5", "450"}, "450.0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Form().ButtonClear->Click();
        WriteFilter(c.Filter, c.Shots, c.Velocity);
        P::FFilter(Form()) = LoadFilterConfig();

        Feed(received);

        EXPECT_EQ(Form().Memo1->Lines()->ToStringList(), c.Kept);
        EXPECT_EQ(P::FVelocityCache(Form()).size(), std::size_t(c.Kept.size()));
        EXPECT_EQ(P::FActiveSeries(Form())->Count(), c.Kept.size());
        EXPECT_EQ(Form().Label8->Caption(), QString::number(c.Kept.size()));
        EXPECT_EQ(P::FNextShotNumber(Form()), 6);
        EXPECT_EQ(Form().Label2->Caption(), c.Big);
    }
}
