// Forms, the application object, the screen, the real dialogs and the
// visual styles.
#include <functional>
#include <memory>
#include <new>
#include <stdexcept>

#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QMessageBox>
#include <QPalette>
#include <QScreen>
#include <QStyle>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include "platform/ui/Controls.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/Forms.h"
#include "platform/ui/QtBridge.h"
#include "platform/ui/StyleManager.h"
#include "support/FormFixture.h"
#include "support/RecordingDialogs.h"

namespace {

int CountPixels(const QImage& image, const QColor& color) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) n += image.pixelColor(x, y) == color;
    return n;
}

TEST(Form, GrabDrawsTheControls) {
    TForm form(nullptr);
    form.SetClientWidth(300);
    form.SetClientHeight(200);
    auto* lamp = new TShape(&form);
    lamp->SetParent(&form);
    lamp->SetBounds(10, 10, 6, 25);
    lamp->SetBrushColor(RGB(255, 0, 0));
    auto* big = new TLabel(&form);
    big->SetParent(&form);
    big->SetBounds(100, 20, 150, 80);
    big->SetTransparent(false);
    big->SetColor(clBlack);
    big->Font()->SetColor(clBlue);
    big->Font()->SetHeight(-40);
    big->SetCaption("350.2");

    for (bool shown : {false, true}) {
        SCOPED_TRACE(shown ? "shown" : "never shown");
        if (shown) {
            form.Show();
            ASSERT_TRUE(WaitFor([&] { return form.Showing(); }));
        }
        const QImage image = form.Grab();
        ASSERT_EQ(image.size(), QSize(300, 200));
        // The lamp inside its black outline, the label's black box with text.
        EXPECT_EQ(CountPixels(image, QColor(255, 0, 0)), 4 * 23);
        EXPECT_EQ(image.pixelColor(10, 10), QColor(0, 0, 0));
        EXPECT_EQ(image.pixelColor(101, 21), QColor(0, 0, 0));
        EXPECT_GT(CountPixels(image.copy(100, 20, 150, 80), QColor(0, 0, 255)), 50);
    }
}

TEST(Form, CloseAsksOnCloseFirst) {
    struct Case {
        const char* Name;
        TCloseAction Action;
        bool StaysOpen;
    };
    const Case cases[] = {{"Hide", caHide, false}, {"None", caNone, true}, {"Free", caFree, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        bool freed = false;
        struct Watched : TForm {
            explicit Watched(bool& flag) : TForm(nullptr), Freed(flag) {}
            ~Watched() override { Freed = true; }
            bool& Freed;
        };
        auto* form = new Watched(freed);
        int closes = 0;
        form->OnClose = [&](TObject*, TCloseAction& action) {
            EXPECT_EQ(action, caHide);
            action = c.Action;
            ++closes;
        };
        form->Show();
        form->Close();
        EXPECT_EQ(closes, 1);
        if (c.Action == caFree) {
            ASSERT_TRUE(WaitFor([&] { return freed; }));
            continue;
        }
        EXPECT_EQ(form->Showing(), c.StaysOpen);
        form->Show();
        form->Widget()->close();  // the window's close button
        EXPECT_EQ(closes, 2);
        EXPECT_EQ(form->Showing(), c.StaysOpen);
        delete form;
    }
}

TEST(Form, OnCloseExceptionKeepsTheWindowOpen) {
    RecordingDialogs dialogs;
    TForm form(nullptr);
    form.OnClose = [](TObject*, TCloseAction&) { throw Exception("Unable to write to x.ini"); };
    form.Show();
    EXPECT_THROW(form.Close(), Exception);
    EXPECT_TRUE(form.Showing());
    form.Widget()->close();
    EXPECT_TRUE(form.Showing());
    EXPECT_EQ(dialogs.Errors, QStringList{"Unable to write to x.ini"});
    form.OnClose = nullptr;
}

TEST(Form, WindowProperties) {
    TForm form(nullptr);
    QWidget* widget = form.Widget();
    form.SetCaption("CHRONO");
    EXPECT_EQ(widget->windowTitle(), "CHRONO");
    EXPECT_EQ(form.Caption(), "CHRONO");

    form.SetClientWidth(865);
    form.SetClientHeight(554);
    EXPECT_EQ(form.ClientWidth(), 865);
    EXPECT_EQ(widget->size(), QSize(865, 554));
    form.SetBounds(20, 30, 900, 600);
    EXPECT_EQ(form.BoundsRect(), (TRect{20, 30, 920, 630}));

    form.Constraints.MinWidth = 800;
    form.Constraints.MinHeight = 296;
    form.ApplyConstraints();
    EXPECT_EQ(widget->minimumSize(), QSize(800, 296));

    form.SetAlphaBlendValue(1);
    EXPECT_DOUBLE_EQ(widget->windowOpacity(), 1.0);  // blending off
    form.SetAlphaBlend(true);
    EXPECT_NEAR(widget->windowOpacity(), 1 / 255.0, 0.01);
    form.SetAlphaBlendValue(80);
    EXPECT_NEAR(widget->windowOpacity(), 80 / 255.0, 0.01);
    form.SetAlphaBlend(false);
    EXPECT_DOUBLE_EQ(widget->windowOpacity(), 1.0);

    form.BorderIcons = {true, true, false};
    form.ApplyBorderIcons();
    EXPECT_TRUE(widget->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(widget->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(widget->windowFlags().testFlag(Qt::WindowCloseButtonHint));
}

TEST(Form, ResizeAlignsChildrenThenRunsOnResize) {
    TForm form(nullptr);
    form.SetClientWidth(400);
    form.SetClientHeight(300);
    auto* status = new TLabel(&form);
    status->AutoSize = false;
    status->SetParent(&form);
    status->SetHeight(25);
    status->SetAlign(alBottom);
    std::vector<int> seenWidths;
    form.OnResize = [&](TObject*) { seenWidths.push_back(status->Width()); };
    form.Show();
    ASSERT_TRUE(WaitFor([&] { return form.Showing(); }));
    seenWidths.clear();

    form.SetClientWidth(600);
    ASSERT_TRUE(WaitFor([&] { return !seenWidths.empty(); }));
    EXPECT_EQ(seenWidths.back(), 600);
    EXPECT_EQ(status->Top(), 275);
}

TEST(Form, SystemCommandsMaximiseAndRestore) {
    TForm form(nullptr);
    form.SetClientWidth(400);
    form.SetClientHeight(300);
    form.Show();
    ASSERT_TRUE(WaitFor([&] { return form.Showing(); }));
    SendMessage(&form, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    ASSERT_TRUE(WaitFor([&] { return form.Maximized(); }));
    SendMessage(&form, WM_SYSCOMMAND, SC_RESTORE, 0);
    ASSERT_TRUE(WaitFor([&] { return !form.Maximized(); }));
    SendMessage(&form, WM_SYSCOMMAND, 0xF020, 0);  // minimise: not handled by default
    EXPECT_FALSE(form.Widget()->isMinimized());
}

TEST(Application, CreateFormRunsOnCreateAndShowsTheMainForm) {
    RecordingDialogs dialogs;
    struct MainForm : TForm {
        explicit MainForm(TComponent* owner) : TForm(owner) {
            OnCreate = [this](TObject*) {
                Steps.push_back("create");
                throw Exception("Unable to write to Tarvex.ini");
            };
        }
        std::vector<QString> Steps;
    };
    {
        TApplication app;
        EXPECT_EQ(Application, &app);
        MainForm* form1 = nullptr;
        app.CreateForm(form1);
        MainForm* second = nullptr;
        app.CreateForm(second);
        EXPECT_EQ(app.MainForm(), form1);
        EXPECT_EQ(form1->Steps, std::vector<QString>{"create"});
        EXPECT_TRUE(form1->Showing());  // the exception ended only OnCreate
        EXPECT_EQ(dialogs.Errors,
                  (QStringList{"Unable to write to Tarvex.ini", "Unable to write to Tarvex.ini"}));

        // Closing the main form ends Run.
        QTimer::singleShot(0, [form1] { form1->Close(); });
        app.Run();
        EXPECT_FALSE(form1->Showing());
        app.Run();  // after the main form has closed: returns at once
    }
    EXPECT_EQ(Application, nullptr);
}

TEST(Application, HandleExceptionShowsTheMessageOfAnyStandardException) {
    RecordingDialogs dialogs;
    TApplication app;
    struct Case {
        std::function<void()> Throw;
        QString Shown;
    };
    const Case cases[] = {
        {[] { throw ESysError("CreateFile", 16, "/dev/ttyUSB0"); },
         "CreateFile error: 16 (Device or resource busy: /dev/ttyUSB0)"},
        {[] { throw Exception("plain"); }, "plain"},
        {[] { throw std::runtime_error("foreign"); }, "foreign"},
        {[] { throw std::bad_alloc(); }, QString::fromUtf8(std::bad_alloc().what())},
        {[] { throw 42; }, ""},
    };
    for (const Case& c : cases) {
        try {
            c.Throw();
        } catch (...) {
            app.HandleException();
        }
    }
    EXPECT_EQ(dialogs.Errors,
              (QStringList{"CreateFile error: 16 (Device or resource busy: /dev/ttyUSB0)", "plain",
                           "foreign", QString::fromUtf8(std::bad_alloc().what()), ""}));
    app.HandleException();  // nothing in flight: nothing shown
    EXPECT_EQ(dialogs.Errors.size(), 5);
}

TEST(Application, FreesItsFormsAndDropsTheirPendingWork) {
    RecordingDialogs dialogs;
    auto app = std::make_unique<TApplication>();
    auto* form = new TForm(app.get());
    auto* timer = new TTimer(form);
    timer->SetInterval(10);
    int ticks = 0;
    timer->OnTimer = [&](TObject*) { ++ticks; };
    SetTimer(form, 777, 10);
    PostMessage(form, WM_APP + 101, 0, 0);
    app.reset();
    EXPECT_EQ(Application, nullptr);
    TForm witness(nullptr);
    int witnessTicks = 0;
    auto* clock = new TTimer(&witness);
    clock->SetInterval(15);
    clock->OnTimer = [&](TObject*) { ++witnessTicks; };
    ASSERT_TRUE(WaitFor([&] { return witnessTicks >= 3; }));
    EXPECT_EQ(ticks, 0);
    EXPECT_TRUE(dialogs.Errors.isEmpty());
}

TEST(Timer, DisableThenEnableRestartsTheInterval) {
    TForm form(nullptr);
    auto* timer = new TTimer(&form);
    EXPECT_TRUE(timer->Enabled());
    int ticks = 0;
    timer->SetEnabled(false);
    timer->SetInterval(30);
    timer->OnTimer = [&](TObject* sender) {
        EXPECT_EQ(sender, timer);
        if (++ticks == 2) timer->SetEnabled(false);
    };
    timer->SetEnabled(true);
    ASSERT_TRUE(WaitFor([&] { return ticks == 2; }));
    RecordingDialogs dialogs;
    timer->OnTimer = [](TObject*) { throw Exception("tick failed"); };
    timer->SetEnabled(true);
    ASSERT_TRUE(WaitFor([&] { return !dialogs.Errors.isEmpty(); }));
    timer->SetEnabled(false);
    EXPECT_EQ(dialogs.Errors.first(), "tick failed");
}

TEST(Screen, WorkAreaAndCursor) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const TRect work = Screen()->WorkAreaRect();
    EXPECT_EQ(work.Width(), area.width());
    EXPECT_EQ(work.Height(), area.height());

    Screen()->SetCursor(crHourGlass);
    Screen()->SetCursor(crHourGlass);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    Screen()->SetCursor(crDefault);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// The real dialogs, answered by a timer that finds them on screen.
TEST(RealDialogs, FileDialogFiltersAndAnswer) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QStringList filters;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        filters = dialog->nameFilters();
        dialog->selectFile(dir.filePath("Chrono_001.txt"));
        QMetaObject::invokeMethod(dialog, "accept");
    });
    TFileDialogRequest request;
    request.Filter = "TXT (*.txt)|*.txt|All (*.*)|*.*";
    request.DefaultExt = "txt";
    request.InitialDir = dir.path();
    request.FileName = "Chrono_001.txt";
    ASSERT_TRUE(Dialogs().ExecuteSave(request));
    EXPECT_EQ(filters, (QStringList{"TXT (*.txt)", "All (*)"}));
    EXPECT_EQ(request.FileName, dir.filePath("Chrono_001.txt"));

    QTimer::singleShot(0, [] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget()))
            dialog->reject();
    });
    TFileDialogRequest open;
    open.Filter = "CSV files|*.csv;*.tsv";
    EXPECT_FALSE(Dialogs().ExecuteOpen(open));
}

TEST(RealDialogs, MessageBoxShowsTheText) {
    QString shown;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        shown = box->text();
        box->accept();
    });
    ShowMessage("The filter rejected all data. Check the INI [FILTER].");
    EXPECT_EQ(shown, "The filter rejected all data. Check the INI [FILTER].");
}

TEST(Styles, RegisteredStylesApplyAndUnknownOnesFail) {
    RecordingDialogs dialogs;
    TStyleManager::ResetForTesting();
    EXPECT_EQ(TStyleManager::ActiveStyleName(), "Windows");

    QPalette dark;
    dark.setColor(QPalette::Window, QColor(40, 44, 52));
    TStyleManager::RegisterStyle("Charcoal Dark Slate", dark, "QLabel { font-weight: bold; }");
    EXPECT_EQ(TStyleManager::StyleNames(), (QStringList{"Windows", "Charcoal Dark Slate"}));

    EXPECT_TRUE(TStyleManager::TrySetStyle("Charcoal Dark Slate"));
    EXPECT_EQ(TStyleManager::ActiveStyleName(), "Charcoal Dark Slate");
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), QColor(40, 44, 52));
    EXPECT_EQ(qApp->styleSheet(), "QLabel { font-weight: bold; }");
    EXPECT_EQ(ColorToQColor(clBtnFace), QColor(40, 44, 52));

    EXPECT_FALSE(TStyleManager::TrySetStyle("Glow"));
    EXPECT_FALSE(TStyleManager::TrySetStyle("Tablet Dark", false));
    EXPECT_EQ(dialogs.Errors, QStringList{"Style 'Glow' not found"});
    EXPECT_EQ(TStyleManager::ActiveStyleName(), "Charcoal Dark Slate");

    EXPECT_TRUE(TStyleManager::TrySetStyle("Windows"));
    EXPECT_EQ(qApp->styleSheet(), "");
    EXPECT_EQ(QApplication::style()->name(), "fusion");
    EXPECT_EQ(QApplication::palette().color(QPalette::Window),
              QApplication::style()->standardPalette().color(QPalette::Window));
    TStyleManager::ResetForTesting();
}

}  // namespace
