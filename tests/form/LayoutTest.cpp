// The proportional layout of the main form: design records, resizing,
// the big labels' fonts, maximise and restore, through a real form under
// the offscreen platform.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include <QWidget>

#include "platform/chart/Chart.h"
#include "platform/core/Exception.h"
#include "support/FormFixture.h"

namespace {

using P = TForm1Probe;

int Round(double v) {
    return int(std::lround(v));
}

// A control font scaled by f, as the layout keeps it: never below 6 points.
int ScaledFontSize(int size, double f) {
    const int scaled = Round(size * f);
    return scaled <= 5 ? 6 : scaled;
}

bool Fits(const TFont& font, int size, const QString& text, int width, int height) {
    TFont probe;
    probe.Assign(font);
    probe.SetSize(size);
    const TCanvas canvas(&probe);
    return canvas.TextWidth(text) <= std::max(width - 8, 1) &&
           canvas.TextHeight(text) <= std::max(height - 4, 1);
}

// A control whose placement fails, and which notes whether the form's
// drawing was held off when it was placed.
class TFailingControl : public TControl {
public:
    TFailingControl(TForm1* form) : TControl(form, new QWidget), FForm(form) {}
    void SetBounds(int, int, int, int) override {
        RedrawHeldOff = !FForm->Widget()->updatesEnabled();
        throw Exception(QStringLiteral("placement failed"));
    }
    bool RedrawHeldOff = false;

private:
    TForm1* FForm;
};

}  // namespace

class Layout : public FormFixture {
protected:
    // Resizes the client area and waits until the layout has followed.
    void ResizeClient(int width, int height) {
        TForm1& form = Form();
        form.SetClientWidth(width);
        form.SetClientHeight(height);
        ASSERT_TRUE(WaitFor([&] {
            return form.ClientWidth() == width && form.ClientHeight() == height &&
                   form.Chart1->Width() == Round(746.0 * width / 865);
        }));
    }
    // Every recorded control where the current client size puts it.
    void ExpectScaledLayout() {
        TForm1& form = Form();
        const double x = double(form.ClientWidth()) / 865;
        const double y = double(form.ClientHeight()) / 554;
        const double f = std::min(x, y);
        for (const TLayoutRecord& r : P::FLayout(form)) {
            SCOPED_TRACE(r.Control->Name.toStdString());
            EXPECT_EQ(r.Control->Left(), Round(r.Left * x));
            EXPECT_EQ(r.Control->Top(), Round(r.Top * y));
            // Labels that size themselves to their caption keep only their place.
            auto* label = dynamic_cast<TLabel*>(r.Control);
            if (!label || !label->AutoSize) {
                EXPECT_EQ(r.Control->Width(), Round(r.Width * x));
                EXPECT_EQ(r.Control->Height(), Round(r.Height * y));
            }
            if (r.FontSize > 0 && r.Control != form.Label2 && r.Control != form.Label15) {
                EXPECT_EQ(r.Control->Font()->Size(), ScaledFontSize(r.FontSize, f));
            }
        }
        ExpectBigLabelFitted(form.Label2, 65, std::min(std::max(x, y), 2.0));
        ExpectBigLabelFitted(form.Label15, 43, std::min(std::max(x, y), 2.0));
    }
    // The label's font is its base size scaled, shrunk only as far as the
    // caption needs, and never below 10 points.
    void ExpectBigLabelFitted(TLabel* label, int baseSize, double scale) {
        SCOPED_TRACE(label->Name.toStdString());
        const int start = std::max(Round(baseSize * scale), 10);
        const int size = label->Font()->Size();
        const QString text = label->Caption();
        EXPECT_LE(size, start);
        EXPECT_GE(size, 10);
        if (size > 10) {
            EXPECT_TRUE(Fits(*label->Font(), size, text, label->Width(), label->Height()));
        }
        if (size < start) {
            EXPECT_FALSE(Fits(*label->Font(), size + 1, text, label->Width(), label->Height()));
        }
    }
};

TEST_F(Layout, DesignRecordsCoverEveryUnalignedControl) {
    TForm1& form = StartFormOffline();
    EXPECT_EQ(P::FDesignClientWidth(form), 865);
    EXPECT_EQ(P::FDesignClientHeight(form), 554);
    const auto& layout = P::FLayout(form);

    auto find = [&](TControl* control) {
        return std::find_if(layout.begin(), layout.end(),
                            [&](const TLayoutRecord& r) { return r.Control == control; });
    };
    int unaligned = 0;
    for (int i = 0; i < form.ControlCount(); ++i) {
        TControl* control = form.Controls(i);
        SCOPED_TRACE(control->Name.toStdString());
        if (control->Align() != alNone) continue;
        ++unaligned;
        const auto record = find(control);
        ASSERT_NE(record, layout.end());
        EXPECT_EQ(record->Left, control->Left());
        EXPECT_EQ(record->Top, control->Top());
        // A label sized to its caption follows its font, which the first
        // layout sets to whole points.
        if (auto* label = dynamic_cast<TLabel*>(control); label && label->AutoSize) continue;
        EXPECT_EQ(record->Width, control->Width());
        EXPECT_EQ(record->Height, control->Height());
    }
    // The grid's labels fill their cells: the grid places them.
    EXPECT_EQ(int(layout.size()), unaligned);
    EXPECT_EQ(find(form.Label3), layout.end());

    struct Case {
        TControl* control;
        int fontSize;
    };
    const Case cases[] = {
        {form.Label2, 65},
        {form.Label15, 43},
        {form.GridPanel1, 16},
        {form.Button1, 11},
        {form.SpeedButton4, 17},
        {form.Edit1, 14},
        {(TControl*)form.Chart1, 0},
#if TARVEX_BLE
        {form.Shape1, 0},
        {form.CheckBox3, 5},
#endif
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.control->Name.toStdString());
        const auto record = find(c.control);
        ASSERT_NE(record, layout.end());
        EXPECT_EQ(record->FontSize, c.fontSize);
    }
}

TEST_F(Layout, ResizingScalesFromTheDesignAndComesBackExactly) {
    TForm1& form = StartFormOffline();
    struct Case {
        int width, height;
    };
    const Case cases[] = {
        {1730, 1108},  // x2, y2
        {1730, 554},   // x2, y1: heights and control fonts stay
        {3460, 1108},  // x4, y2: big labels capped at twice their size
        {865, 300},    // a low window: control fonts shrink, never below 6
        {1000, 700},  {1730, 1108},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
        ResizeClient(c.width, c.height);
        ExpectScaledLayout();
        EXPECT_FALSE(P::FResizing(form));
        EXPECT_TRUE(form.Widget()->updatesEnabled());
    }

    // Back at the design size every control is where the resource put it.
    ResizeClient(865, 554);
    for (const TLayoutRecord& r : P::FLayout(form)) {
        SCOPED_TRACE(r.Control->Name.toStdString());
        auto* label = dynamic_cast<TLabel*>(r.Control);
        if (label && label->AutoSize) {
            EXPECT_EQ(r.Control->Left(), r.Left);
            EXPECT_EQ(r.Control->Top(), r.Top);
        } else {
            EXPECT_EQ(r.Control->BoundsRect(),
                      (TRect{r.Left, r.Top, r.Left + r.Width, r.Top + r.Height}));
        }
        if (r.FontSize > 5) {
            EXPECT_EQ(r.Control->Font()->Size(), r.FontSize);
        }
    }
    EXPECT_EQ(form.Label2->Font()->Height(), -87);
    EXPECT_EQ(form.Label15->Font()->Height(), -57);
}

TEST_F(Layout, BigLabelsShrinkToTheirTextButNotBelowTen) {
    TForm1& form = StartFormOffline();
    ResizeClient(1730, 1108);
    struct Case {
        TLabel* label;
        const char* text;
    };
    const Case cases[] = {
        {form.Label2, "812.3"},
        {form.Label2, "1234567.891"},
        {form.Label2,
         "888888888888888888888888888888888888888888888888888888888888888888888888"
         "8888888888888888888888888888888888.888"},
        {form.Label15, "12.34"},
        {form.Label15,
         "888888888888888888888888888888888888888888888888888888888888888888888888"
         "88888888888888888888888888888888888888"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        c.label->SetCaption(QString::fromLatin1(c.text));
        form.FitLabelFont(c.label, c.label->Caption());
        ExpectBigLabelFitted(c.label, c.label == form.Label2 ? 65 : 43, 2.0);
    }
    EXPECT_EQ(form.Label2->Font()->Size(), 10);
    EXPECT_EQ(form.Label15->Font()->Size(), 10);

    // Another label starts from its own size, at least 10 points.
    form.Label20->Font()->SetSize(8);
    form.FitLabelFont(form.Label20, QStringLiteral("x"));
    EXPECT_EQ(form.Label20->Font()->Size(), 10);
    form.Label20->Font()->SetSize(14);
    form.FitLabelFont(form.Label20, QStringLiteral("x"));
    EXPECT_EQ(form.Label20->Font()->Size(), 14);
}

TEST_F(Layout, ResizeResetsTheBarWidth) {
    WriteTextFile(IniFilePath(), "[Settings]\nChartType=2\n");
    TForm1& form = StartFormOffline();
    const int design = P::FAppliedBarWidth(form);
    ASSERT_GT(design, 0);
    ResizeClient(1730, 554);
    EXPECT_GT(P::FAppliedBarWidth(form), design);
    ResizeClient(865, 554);
    EXPECT_EQ(P::FAppliedBarWidth(form), design);
}

TEST_F(Layout, NoLayoutWithoutDesignSizeBaseFontsOrWhileOneRuns) {
    {
        // Constructed, not started: nothing recorded yet.
        TForm1 form(Application);
        form.Label1->SetBounds(1, 2, 3, 4);
        form.FormResize(&form);
        EXPECT_EQ(form.Label1->Left(), 1);
        EXPECT_EQ(form.Label1->Top(), 2);
    }

    TForm1& form = StartFormOffline();
    // A nested call returns at once.
    form.Label1->SetLeft(300);
    P::FResizing(form) = true;
    form.FormResize(&form);
    EXPECT_EQ(form.Label1->Left(), 300);
    P::FResizing(form) = false;
    form.FormResize(&form);
    EXPECT_EQ(form.Label1->Left(), 11);

    // Closing frees the base fonts: a resize after it must not use them.
    TCloseAction action = caHide;
    form.FormClose(&form, action);
    ASSERT_FALSE((TForm1Probe::FLabel2BaseFont(form) || TForm1Probe::FLabel15BaseFont(form)));
    form.Label1->SetLeft(300);
    form.FormResize(&form);
    EXPECT_EQ(form.Label1->Left(), 300);
    form.SetClientWidth(1000);
    ASSERT_TRUE(WaitFor([&] { return form.ClientWidth() == 1000; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(form.Label1->Left(), 300);
}

TEST_F(Layout, FailedResizeLeavesDrawingOnAndPassesTheErrorOn) {
    TForm1& form = StartFormOffline();
    auto* failing = new TFailingControl(&form);
    P::FLayout(form).push_back({failing, 0, 0, 10, 10, 0});
    form.SetClientWidth(1730);
    ASSERT_TRUE(WaitFor([&] { return form.ClientWidth() == 1730; }));
    QCoreApplication::processEvents();

    EXPECT_THROW(form.FormResize(&form), Exception);
    EXPECT_TRUE(failing->RedrawHeldOff);
    EXPECT_FALSE(P::FResizing(form));
    EXPECT_TRUE(form.Widget()->updatesEnabled());
    // The controls before the failing one were placed.
    EXPECT_EQ(form.Chart1->Width(), Round(746 * 2.0));
    // And the next resize runs again.
    P::FLayout(form).pop_back();
    form.FormResize(&form);
    ExpectScaledLayout();
}

TEST_F(Layout, MaximiseAndRestoreLayTheFormOut) {
    TForm1& form = StartFormOffline();
    SendMessage(&form, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    // The window takes the screen's work area, whatever its size here.
    ASSERT_TRUE(WaitFor([&] {
        return form.Maximized() && form.ClientHeight() != 554 &&
               form.Chart1->Width() == Round(746.0 * form.ClientWidth() / 865);
    }));
    ExpectScaledLayout();
    EXPECT_TRUE(form.Widget()->updatesEnabled());

    SendMessage(&form, WM_SYSCOMMAND, SC_RESTORE, 0);
    ASSERT_TRUE(WaitFor([&] {
        return !form.Maximized() && form.ClientWidth() == 865 && form.ClientHeight() == 554 &&
               form.Chart1->Width() == 746;
    }));
    for (const TLayoutRecord& r : P::FLayout(form)) {
        SCOPED_TRACE(r.Control->Name.toStdString());
        EXPECT_EQ(r.Control->Left(), r.Left);
        EXPECT_EQ(r.Control->Top(), r.Top);
    }
    EXPECT_EQ(form.Label2->Font()->Height(), -87);
    EXPECT_TRUE(form.Widget()->updatesEnabled());

    // Another window command passes through without a layout.
    form.Label1->SetLeft(300);
    SendMessage(&form, WM_SYSCOMMAND, 0xF010, 0);  // SC_MOVE
    QCoreApplication::processEvents();
    EXPECT_FALSE(form.Maximized());
    EXPECT_EQ(form.Label1->Left(), 300);
}
