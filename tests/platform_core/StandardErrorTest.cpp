// A run of one report told once, and once more with its count when it ends.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/core/StandardError.h"

TEST(RepeatedReport, TellsARunOnceThenItsCountWhenItEnds) {
    struct Step {
        const char* Kind;  // nullptr: End()
        const char* Text;
    };
    struct Case {
        const char* Name;
        std::vector<Step> Steps;
        std::string Told;
    };
    const Case cases[] = {
        {"one report", {{"a", "A1"}, {nullptr, ""}}, "A1\n"},
        {"a run",
         {{"a", "A1"}, {"a", "A2"}, {"a", "A3"}, {nullptr, ""}},
         "A1\nA3 (3 times in all)\n"},
        {"another kind ends a run",
         {{"a", "A1"}, {"a", "A2"}, {"b", "B1"}, {"a", "A3"}},
         "A1\nA2 (2 times in all)\nB1\nA3\n"},
        {"an end between",
         {{"a", "A1"}, {nullptr, ""}, {"a", "A2"}, {"a", "A3"}},
         "A1\nA2\nA3 (2 times in all)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        testing::internal::CaptureStderr();
        {
            // Destruction ends the run going on.
            TRepeatedReport report;
            for (const Step& step : c.Steps) {
                if (step.Kind)
                    report.Report(QString::fromLatin1(step.Kind), QString::fromLatin1(step.Text));
                else
                    report.End();
            }
        }
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.Told);
    }
}
