// The form resource: every control of the main window with its design
// bounds, captions, fonts and colours, and the events the resource wires.
#include "form/Form1.h"

#include "platform/chart/Chart.h"
#include "variants/BuildVariant.h"
#if TARVEX_BLE
#include "platform/ble/BluetoothLE.h"
#endif

namespace {

void SetFont(TControl* control, const QString& name, int height, bool bold, TColor color) {
    TFont* font = control->Font();
    font->SetName(name);
    font->SetHeight(height);
    font->SetBold(bold);
    font->SetColor(color);
}

template <class T>
T* Make(TForm1* form, TWinControl* parent, const char* name, int left, int top, int width,
        int height) {
    T* control = new T(form);
    control->Name = QString::fromLatin1(name);
    control->SetParent(parent);
    control->SetBounds(left, top, width, height);
    return control;
}

// A label of the statistics grid: fills its cell, text centred vertically.
// Labels size themselves to their caption unless fixed.
TLabel* MakeLabel(TForm1* form, const char* name, int left, int top, int width, int height,
                  bool fixedSize) {
    auto* label = new TLabel(form);
    label->AutoSize = !fixedSize;
    label->Name = QString::fromLatin1(name);
    label->SetParent(form);
    label->SetBounds(left, top, width, height);
    return label;
}

TLabel* GridLabel(TForm1* form, TGridPanel* grid, const char* name, const QString& caption,
                  int column, int row) {
    auto* label = new TLabel(form);
    label->AutoSize = false;
    label->Name = QString::fromLatin1(name);
    label->SetParent(grid);
    label->SetCaption(caption);
    label->SetAlign(alClient);
    label->SetLayout(tlCenter);
    if (column == 0) {
        label->SetAlignment(taRightJustify);
        SetFont(label, QStringLiteral("Segoe UI"), -25, false, clMaroon);
    } else {
        label->SetAlignment(taCenter);
        SetFont(label, QStringLiteral("Segoe UI"), -25, false, clWindowText);
    }
    grid->PlaceControl(label, column, row);
    return label;
}

TSpeedButton* ToolButton(TForm1* form, const char* name, const QString& caption, int left, int top,
                         int width, int height, int fontHeight) {
    auto* button = Make<TSpeedButton>(form, form, name, left, top, width, height);
    button->SetCaption(caption);
    SetFont(button, QStringLiteral("Tahoma"), fontHeight, false, clSilver);
    return button;
}

}  // namespace

void TForm1::LoadResource() {
    LoadFormFrame();
    LoadPortAndFileControls();
    LoadOptionBoxes();
    LoadValueLabels();
    LoadStatisticsGrid();
    LoadWeightAndToolButtons();
    LoadStatusLine();
    Chart1 = Make<TChart>(this, this, "Chart1", 109, 308, 746, 207);
    LoadChartResource();

    // The bounds above are Tarvex's; the serial-only build moves a few.
    ApplyBuildBounds(*this);

#if TARVEX_BLE
    LoadBleControls();
#endif

    BalloonHint1 = new TBalloonHint(this);
    BalloonHint1->Name = QStringLiteral("BalloonHint1");

    LoadTabOrder();
    // The events the resource wires; FormCreate adds the rest.
    WireResourceEvents();
}

// The window: name, caption, colour, font, smallest size and the design
// client area of this build.
void TForm1::LoadFormFrame() {
    Name = QStringLiteral("Form1");
    SetCaption(QStringLiteral("CHRONO"));
    SetColor(clBtnFace);
    SetFont(this, QStringLiteral("Segoe UI Semibold"), -15, true, clWindowText);
    Constraints.MinHeight = 296;
    Constraints.MinWidth = 426;
    ApplyConstraints();
    SetClientWidth(BuildClientWidth);
    SetClientHeight(BuildClientHeight);
    SetBounds(0, 0, Width(), Height());
}

// The serial port's label, list and OPEN button, SAVE, LOAD, CLEAR and the
// shot list.
void TForm1::LoadPortAndFileControls() {
    Label1 = MakeLabel(this, "Label1", 11, 10, 42, 20, false);
    Label1->SetCaption(QStringLiteral("Label1"));
    Label1->SetParentFont(true);

    ComboBox1 = Make<TComboBox>(this, this, "ComboBox1", 11, 32, 84, 28);
    ComboBox1->SetParentFont(true);
    ComboBox1->SetText(QStringLiteral(" "));

    Button1 = Make<TButton>(this, this, "Button1", 100, 32, 84, 28);
    Button1->SetCaption(QStringLiteral("OPEN"));
    Button1->SetParentFont(true);

    ButtonSave = Make<TButton>(this, this, "ButtonSave", 11, 65, 84, 28);
    ButtonSave->SetCaption(QStringLiteral("SAVE"));
    ButtonSave->SetParentFont(true);

    Button2 = Make<TButton>(this, this, "Button2", 100, 65, 84, 28);
    Button2->SetCaption(QStringLiteral("LOAD"));
    Button2->SetParentFont(true);

    ButtonClear = Make<TButton>(this, this, "ButtonClear", 11, 99, 84, 28);
    ButtonClear->SetCaption(QStringLiteral("CLEAR"));
    ButtonClear->SetParentFont(true);

    Memo1 = Make<TMemo>(this, this, "Memo1", 11, 135, 86, 380);
    Memo1->SetParentFont(true);
    Memo1->SetAlignment(taCenter);
    Memo1->SetScrollBars(ssVertical);
    Memo1->Lines()->Assign({QStringLiteral("Memo"), QStringLiteral("1")});
}

// "Mix", "Units", "Chart", "Auto" and "Auto50".
void TForm1::LoadOptionBoxes() {
    CheckBox2 = Make<TCheckBox>(this, this, "CheckBox2", 104, 116, 59, 20);
    CheckBox2->SetCaption(QStringLiteral("Mix"));
    CheckBox2->SetParentFont(true);

    CheckBox1 = Make<TCheckBox>(this, this, "CheckBox1", 104, 142, 60, 21);
    CheckBox1->SetCaption(QStringLiteral("Units"));
    CheckBox1->SetParentFont(true);
    CheckBox1->SetChecked(true);

    CheckBoxScroll = Make<TCheckBox>(this, this, "CheckBoxScroll", 104, 170, 60, 19);
    CheckBoxScroll->SetCaption(QStringLiteral("Chart"));
    CheckBoxScroll->SetParentFont(true);
    CheckBoxScroll->SetChecked(true);

    CheckBoxAuto = Make<TCheckBox>(this, this, "CheckBoxAuto", 104, 197, 59, 21);
    CheckBoxAuto->SetCaption(QStringLiteral("Auto"));
    CheckBoxAuto->SetParentFont(true);
    CheckBoxAuto->SetChecked(true);

    CheckBoxAuto50 = Make<TCheckBox>(this, this, "CheckBoxAuto50", 104, 224, 78, 21);
    CheckBoxAuto50->SetCaption(QStringLiteral("Auto50"));
    CheckBoxAuto50->SetParentFont(true);
}

// The big last velocity and last energy, and the three unit labels.
void TForm1::LoadValueLabels() {
    Label2 = MakeLabel(this, "Label2", 210, 34, 236, 117, true);
    Label2->SetCaption(QStringLiteral("Label2"));
    SetFont(Label2, QStringLiteral("Segoe UI"), -87, false, clBlue);
    Label2->SetColor(clBlack);
    Label2->SetTransparent(false);
    Label2->SetAlignment(taCenter);
    Label2->SetLayout(tlCenter);
    Label2->AlignWithMargins = true;
    Label2->MarginLeft = Label2->MarginTop = Label2->MarginRight = Label2->MarginBottom = 6;

    Label15 = MakeLabel(this, "Label15", 210, 151, 239, 76, true);
    Label15->SetCaption(QStringLiteral("Label15"));
    SetFont(Label15, QStringLiteral("Segoe UI"), -57, false, clTeal);
    Label15->SetAlignment(taCenter);
    Label15->SetLayout(tlCenter);
    Label15->AlignWithMargins = true;
    Label15->MarginLeft = Label15->MarginTop = Label15->MarginRight = Label15->MarginBottom = 6;

    Label16 = MakeLabel(this, "Label16", 536, 73, 81, 49, false);
    Label16->SetCaption(QStringLiteral(" fps "));
    SetFont(Label16, QStringLiteral("Segoe UI"), -34, false, clBlue);
    Label16->SetAlignment(taCenter);
    Label16->SetTransparent(true);
    Label16->SetHint(QStringLiteral("True"));
    Label16->SetShowHint(true);

    Label17 = MakeLabel(this, "Label17", 536, 158, 81, 46, false);
    Label17->SetCaption(QStringLiteral(" fpe "));
    SetFont(Label17, QStringLiteral("Segoe UI"), -34, false, clGreen);
    Label17->SetAlignment(taCenter);
    Label17->SetHint(QStringLiteral("True"));
    Label17->SetShowHint(true);

    Label18 = MakeLabel(this, "Label18", 699, 240, 32, 29, false);
    Label18->SetCaption(QStringLiteral("gr"));
    SetFont(Label18, QStringLiteral("Segoe UI"), -19, false, clNavy);
    Label18->SetHint(QStringLiteral("True"));
}

// The statistics grid: captions in the left column, values in the right.
void TForm1::LoadStatisticsGrid() {
    GridPanel1 = Make<TGridPanel>(this, this, "GridPanel1", 616, 10, 240, 219);
    SetFont(GridPanel1, QStringLiteral("Segoe UI"), -21, false, clWindowText);
    GridPanel1->SetGrid({30.0, 70.0}, std::vector<double>(7, 100.0 / 7.0));
    Label9 = GridLabel(this, GridPanel1, "Label9", QStringLiteral("VAVG"), 0, 0);
    Label3 = GridLabel(this, GridPanel1, "Label3", QStringLiteral("Label3"), 1, 0);
    Label10 = GridLabel(this, GridPanel1, "Label10", QStringLiteral("VMAX"), 0, 1);
    Label4 = GridLabel(this, GridPanel1, "Label4", QStringLiteral("Label4"), 1, 1);
    Label11 = GridLabel(this, GridPanel1, "Label11", QStringLiteral("VMIN"), 0, 2);
    Label5 = GridLabel(this, GridPanel1, "Label5", QStringLiteral("Label5"), 1, 2);
    Label12 = GridLabel(this, GridPanel1, "Label12", QStringLiteral("dV"), 0, 3);
    Label6 = GridLabel(this, GridPanel1, "Label6", QStringLiteral("Label6"), 1, 3);
    Label13 = GridLabel(this, GridPanel1, "Label13", QStringLiteral("SV"), 0, 4);
    Label7 = GridLabel(this, GridPanel1, "Label7", QStringLiteral("Label7"), 1, 4);
    Label14 = GridLabel(this, GridPanel1, "Label14", QStringLiteral("NR"), 0, 5);
    Label8 = GridLabel(this, GridPanel1, "Label8", QStringLiteral("Label8"), 1, 5);
    Label21 = GridLabel(this, GridPanel1, "Label21", QStringLiteral("EAVG"), 0, 6);
    Label19 = GridLabel(this, GridPanel1, "Label19", QStringLiteral("Label19"), 1, 6);
}

// The weight box, "IM", the shot-axis buttons and the analysis buttons.
void TForm1::LoadWeightAndToolButtons() {
    Edit1 = Make<TEdit>(this, this, "Edit1", 616, 240, 72, 28);
    SetFont(Edit1, QStringLiteral("Segoe UI"), -18, false, clWindowText);
    Edit1->SetAlignment(taCenter);
    Edit1->AutoSelect = false;

    SpeedButton8 = ToolButton(this, "SpeedButton8", QStringLiteral("IM"), 759, 240, 26, 23, -15);
    SppeButton3 = ToolButton(this, "SppeButton3", QStringLiteral("-"), 794, 240, 26, 23, -22);
    SpeedButton4 = ToolButton(this, "SpeedButton4", QStringLiteral("+"), 828, 240, 26, 23, -22);
    SpeedButton3 = ToolButton(this, "SpeedButton3", QStringLiteral("R"), 235, 245, 45, 23, -15);
    SpeedButton5 = ToolButton(this, "SpeedButton5", QStringLiteral("SYM"), 292, 245, 45, 23, -15);
    SpeedButton6 = ToolButton(this, "SpeedButton6", QStringLiteral("CMP"), 349, 245, 45, 23, -15);
    SpeedButton7 = ToolButton(this, "SpeedButton7", QStringLiteral("dV"), 406, 245, 45, 23, -15);
    SpeedButton1 = ToolButton(this, "SpeedButton1", QStringLiteral("X0"), 109, 273, 60, 23, -15);
    SpeedButton2 = ToolButton(this, "SpeedButton2", QStringLiteral("XN"), 795, 273, 60, 23, -15);
}

void TForm1::LoadStatusLine() {
    Label20 = MakeLabel(this, "Label20", 181, 273, 547, 25, true);
    Label20->SetCaption(QStringLiteral("Label20"));
    SetFont(Label20, QStringLiteral("Segoe UI"), -18, false, clWindowText);
    Label20->SetAlignment(taCenter);
    Label20->AlignWithMargins = true;
    Label20->MarginLeft = Label20->MarginTop = Label20->MarginRight = Label20->MarginBottom = 6;
}

#if TARVEX_BLE
// The lamp, the device box, CONNECT, auto-connect, the link status, SCAN and
// the adapter, which stays off until the link is used.
void TForm1::LoadBleControls() {
    Shape1 = Make<TShape>(this, this, "Shape1", 10, 522, 6, 25);

    Edit2 = Make<TEdit>(this, this, "Edit2", 22, 522, 280, 25);
    Edit2->SetParentFont(true);
    Edit2->SetText(QStringLiteral("Edit2"));

    CONNECT = Make<TButton>(this, this, "CONNECT", 308, 522, 75, 25);
    CONNECT->SetCaption(QStringLiteral("CONNECT"));
    CONNECT->SetParentFont(true);

    CheckBox3 = Make<TCheckBox>(this, this, "CheckBox3", 392, 528, 15, 15);
    CheckBox3->SetCaption(QString());
    SetFont(CheckBox3, QStringLiteral("Segoe UI Semibold"), -7, true, clWindowText);
    CheckBox3->SetHint(QStringLiteral("Auto-connect BTLE"));
    CheckBox3->SetShowHint(true);

    Memo2 = Make<TMemo>(this, this, "Memo2", 414, 522, 360, 25);
    Memo2->SetParentFont(true);
    Memo2->SetScrollBars(ssVertical);
    Memo2->Lines()->Assign({QStringLiteral("Memo2")});

    SCAN = Make<TButton>(this, this, "SCAN", 780, 522, 75, 25);
    SCAN->SetCaption(QStringLiteral("SCAN"));
    SCAN->SetParentFont(true);

    BluetoothLE1 = new TBluetoothLE(this);
    BluetoothLE1->Name = QStringLiteral("BluetoothLE1");
    BluetoothLE1->SetEnabled(false);
}
#endif

// The Tab order of the resource.
void TForm1::LoadTabOrder() {
    int tab = 0;
    for (TWinControl* c : std::initializer_list<TWinControl*> {
             Memo1, Button1, ComboBox1, ButtonClear, ButtonSave, Chart1, CheckBoxScroll, GridPanel1,
                 CheckBox1, Edit1, Button2, CheckBoxAuto, CheckBoxAuto50, CheckBox2
#if TARVEX_BLE
                 ,
                 SCAN, CONNECT, Edit2, Memo2, CheckBox3
#endif
         })
        c->TabOrder = tab++;
    ApplyTabOrder();
}

void TForm1::WireResourceEvents() {
    OnCreate = Handler(this, &TForm1::FormCreate);
    OnClose = [this](TObject* sender, TCloseAction& action) { FormClose(sender, action); };
    Button1->OnClick = Handler(this, &TForm1::Button1Click);
    ButtonSave->OnClick = Handler(this, &TForm1::ButtonSaveClick);
    Button2->OnClick = Handler(this, &TForm1::Button2Click);
    ButtonClear->OnClick = Handler(this, &TForm1::ButtonClearClick);
    CheckBox1->OnClick = Handler(this, &TForm1::CheckBox1Click);
    CheckBoxScroll->OnClick = Handler(this, &TForm1::CheckBoxScrollClick);
    CheckBoxAuto->OnClick = Handler(this, &TForm1::CheckBoxAutoClick);
    CheckBoxAuto50->OnClick = Handler(this, &TForm1::CheckBoxAuto50Click);
    Label16->OnMouseEnter = Handler(this, &TForm1::Label16MouseEnter);
    Label17->OnMouseEnter = Handler(this, &TForm1::Label17MouseEnter);
    Label18->OnMouseEnter = Handler(this, &TForm1::Label18MouseEnter);
    Edit1->OnChange = Handler(this, &TForm1::Edit1Change);
    Edit1->OnExit = Handler(this, &TForm1::Edit1Change);
    SpeedButton8->OnClick = Handler(this, &TForm1::SpeedButton8Click);
    SppeButton3->OnClick = Handler(this, &TForm1::SppeButton3Click);
    SpeedButton4->OnClick = Handler(this, &TForm1::SpeedButton4Click);
    SpeedButton3->OnClick = Handler(this, &TForm1::SpeedButton3Click);
    SpeedButton5->OnClick = Handler(this, &TForm1::SpeedButton5Click);
    SpeedButton6->OnClick = Handler(this, &TForm1::SpeedButton6Click);
    SpeedButton7->OnClick = Handler(this, &TForm1::SpeedButton7Click);
    SpeedButton1->OnClick = Handler(this, &TForm1::SpeedButton1Click);
    SpeedButton2->OnClick = Handler(this, &TForm1::SpeedButton2Click);
    Chart1->OnMouseMove = [this](TObject* sender, TShiftState shift, int x, int y) {
        Chart1MouseMove(sender, shift, x, y);
    };
}

void TForm1::LoadChartResource() {
    Chart1->Legend()->SetVisible(false);
    Chart1->Title()->SetText(QStringLiteral("Velocity"));
    Chart1->Title()->SetVisible(false);
    Chart1->SetView3D(false);

    TChartAxis* bottom = Chart1->BottomAxis();
    bottom->SetAutomatic(false);
    bottom->SetIncrement(1);
    bottom->SetTitle(QStringLiteral("SHOTS"));

    TChartAxis* left = Chart1->LeftAxis();
    left->SetAutomatic(false);
    left->SetLabelsFormat(QStringLiteral("0.##"));
    left->SetTitle(QStringLiteral("VELOCITY"));
    left->SetTitleSize(17);

    Series1 = new TLineSeries(this);
    Series1->Name = QStringLiteral("Series1");
    Series1->SetParentChart(Chart1);
    Series1->SetColorEachPoint(true);
    Series1->LinePen()->SetSmallDots(true);
    Series1->Pointer()->SetVisible(true);
    Series1->Pointer()->SetStyle(psCircle);
    Series1->Pointer()->SetHorizSize(5);
    Series1->Pointer()->SetVertSize(5);
    Series1->SetXValuesOrder(loAscending);
}
