// Labels, edits, combo boxes, check boxes, buttons, shapes, grid panels,
// timers and the screen.
#include "platform/ui/Controls.h"

#include <atomic>

#include <algorithm>
#include <cmath>
#include <numeric>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QWidget>

#include "platform/ui/Forms.h"
#include "platform/ui/QtBridge.h"

namespace {

Qt::Alignment Horizontal(TAlignment alignment) {
    switch (alignment) {
        case taRightJustify:
            return Qt::AlignRight;
        case taCenter:
            return Qt::AlignHCenter;
        case taLeftJustify:
            break;
    }
    return Qt::AlignLeft;
}

Qt::Alignment Vertical(TTextLayout layout) {
    switch (layout) {
        case tlCenter:
            return Qt::AlignVCenter;
        case tlBottom:
            return Qt::AlignBottom;
        case tlTop:
            break;
    }
    return Qt::AlignTop;
}

bool OwnerDestroying(const TComponent* component) {
    for (const TComponent* c = component; c; c = c->Owner()) {
        if (c->Destroying()) return true;
    }
    return false;
}

}  // namespace

// ----------------------------------------------------------------- TLabel

TLabel::TLabel(TComponent* owner) : TControl(owner, new QLabel) {
    auto* label = static_cast<QLabel*>(Widget());
    // A caption is text, never markup.
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(false);
    ApplyText();
    ApplyColor();
}

void TLabel::SetCaption(const QString& caption) {
    FCaption = caption;
    if (auto* label = static_cast<QLabel*>(Widget())) label->setText(caption);
    UpdateAccessibleName();
    if (AutoSize) SetBounds(Left(), Top(), Width(), Height());
}

void TLabel::SetBounds(int left, int top, int width, int height) {
    // An aligned label takes the size its alignment gives it.
    if (AutoSize && Align() == alNone) {
        const QFontMetrics metrics(ToQFont(*Font()));
        width = metrics.horizontalAdvance(FCaption);
        height = metrics.height();
    }
    TControl::SetBounds(left, top, width, height);
}

void TLabel::ApplyFont() {
    TControl::ApplyFont();
    if (AutoSize) SetBounds(Left(), Top(), Width(), Height());
}

void TLabel::SetAlignment(TAlignment a) {
    FAlignment = a;
    ApplyText();
}

void TLabel::SetLayout(TTextLayout l) {
    FLayout = l;
    ApplyText();
}

void TLabel::SetTransparent(bool t) {
    FTransparent = t;
    ApplyColor();
}

void TLabel::ApplyText() {
    if (auto* label = static_cast<QLabel*>(Widget()))
        label->setAlignment(Horizontal(FAlignment) | Vertical(FLayout));
}

void TLabel::ApplyColor() {
    TControl::ApplyColor();
    if (QWidget* widget = Widget()) widget->setAutoFillBackground(!FTransparent);
}

// ------------------------------------------------------------------ TEdit

TEdit::TEdit(TComponent* owner) : TWinControl(owner, new QLineEdit) {
    auto* edit = static_cast<QLineEdit*>(Widget());
    // textEdited comes only from the user; SetText fires OnChange itself.
    QObject::connect(edit, &QLineEdit::textEdited, EventContext(), [this](const QString&) {
        if (!FSetting) FireUserEvent(OnChange);
    });
}

QString TEdit::Text() const {
    auto* edit = static_cast<QLineEdit*>(Widget());
    return edit ? edit->text() : QString();
}

void TEdit::SetText(const QString& text) {
    auto* edit = static_cast<QLineEdit*>(Widget());
    if (!edit || edit->text() == text) return;
    FSetting = true;
    edit->setText(text);
    FSetting = false;
    FireEvent(OnChange);
}

void TEdit::SetAlignment(TAlignment a) {
    FAlignment = a;
    if (auto* edit = static_cast<QLineEdit*>(Widget()))
        edit->setAlignment(Horizontal(a) | Qt::AlignVCenter);
}

bool TEdit::HandleWidgetEvent(QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        // Leaving the window or opening a menu is no exit from the control.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            FireUserEvent(OnExit);
    }
    return TWinControl::HandleWidgetEvent(event);
}

// -------------------------------------------------------------- TComboBox

// The items live in the Qt combo box itself. Qt selects the first item of
// an empty list by itself and another item when the selected one goes; the
// class library does neither, so the selection is put back.
class TComboItems : public TStrings {
public:
    explicit TComboItems(TComboBox* combo) : FCombo(combo) {}

    int Count() const override { return Box() ? Box()->count() : 0; }

    QString Strings(int index) const override {
        CheckIndex(index, Count());
        return Box()->itemText(index);
    }

    void Put(int index, const QString& text) override {
        CheckIndex(index, Count());
        Box()->setItemText(index, text);
    }

    int Add(const QString& text) override {
        Insert(Count(), text);
        return Count() - 1;
    }

    void Insert(int index, const QString& text) override {
        CheckIndex(index, Count() + 1);
        QComboBox* box = Box();
        const int selected = box->currentIndex();
        box->insertItem(index, text);
        if (selected < 0) box->setCurrentIndex(-1);
    }

    void Delete(int index) override {
        CheckIndex(index, Count());
        QComboBox* box = Box();
        const int selected = box->currentIndex();
        box->removeItem(index);
        if (selected == index) box->setCurrentIndex(-1);
    }

    void Clear() override {
        if (QComboBox* box = Box()) box->clear();
    }

private:
    QComboBox* Box() const { return static_cast<QComboBox*>(FCombo->Widget()); }
    TComboBox* FCombo;
};

TComboBox::TComboBox(TComponent* owner)
    : TWinControl(owner, new QComboBox), FItems(std::make_unique<TComboItems>(this)) {
    auto* box = static_cast<QComboBox*>(Widget());
    // activated comes only from the user's choice.
    QObject::connect(box, &QComboBox::activated, EventContext(),
                     [this](int) { FireUserEvent(OnChange); });
    SetStyle(FStyle);
}

TComboBox::~TComboBox() = default;

TStrings* TComboBox::Items() {
    return FItems.get();
}

int TComboBox::ItemIndex() const {
    auto* box = static_cast<QComboBox*>(Widget());
    return box ? box->currentIndex() : -1;
}

void TComboBox::SetItemIndex(int index) {
    auto* box = static_cast<QComboBox*>(Widget());
    if (!box) return;
    box->setCurrentIndex(index >= 0 && index < box->count() ? index : -1);
}

QString TComboBox::Text() const {
    auto* box = static_cast<QComboBox*>(Widget());
    if (!box) return {};
    if (FStyle == csDropDownList) {
        const int index = box->currentIndex();
        return index >= 0 ? box->itemText(index) : QString();
    }
    return box->currentText();
}

void TComboBox::SetText(const QString& text) {
    auto* box = static_cast<QComboBox*>(Widget());
    if (!box || text == Text()) return;
    FSetting = true;
    if (FStyle == csDropDownList) {
        const int index = FItems->IndexOf(text);
        if (index >= 0) {
            box->setCurrentIndex(index);
        } else if (text.isEmpty()) {
            box->setCurrentIndex(-1);
        }
    } else {
        box->setEditText(text);
    }
    FSetting = false;
    FireEvent(OnChange);
}

void TComboBox::SetStyle(TComboBoxStyle style) {
    FStyle = style;
    auto* box = static_cast<QComboBox*>(Widget());
    if (!box) return;
    const bool editable = style == csDropDown;
    if (box->isEditable() != editable) box->setEditable(editable);
    if (editable) {
        box->setInsertPolicy(QComboBox::NoInsert);
        ConnectEditor();
    }
}

void TComboBox::ConnectEditor() {
    auto* box = static_cast<QComboBox*>(Widget());
    QLineEdit* editor = box ? box->lineEdit() : nullptr;
    if (!editor) return;
    QObject::disconnect(editor, nullptr, EventContext(), nullptr);
    QObject::connect(editor, &QLineEdit::textEdited, EventContext(), [this](const QString&) {
        if (!FSetting) FireUserEvent(OnChange);
    });
}

// -------------------------------------------------------------- TCheckBox

TCheckBox::TCheckBox(TComponent* owner) : TWinControl(owner, new QCheckBox) {
    // clicked comes from the user (mouse or space bar), never from
    // setChecked, so a program-made change cannot fire OnClick twice.
    QObject::connect(static_cast<QCheckBox*>(Widget()), &QCheckBox::clicked, EventContext(),
                     [this](bool) { FireUserEvent(OnClick); });
}

QString TCheckBox::Caption() const {
    auto* box = static_cast<QCheckBox*>(Widget());
    return box ? box->text() : QString();
}

void TCheckBox::SetCaption(const QString& caption) {
    if (auto* box = static_cast<QCheckBox*>(Widget())) box->setText(caption);
    UpdateAccessibleName();
}

bool TCheckBox::Checked() const {
    auto* box = static_cast<QCheckBox*>(Widget());
    return box && box->isChecked();
}

void TCheckBox::SetChecked(bool checked) {
    auto* box = static_cast<QCheckBox*>(Widget());
    if (!box || box->isChecked() == checked) return;
    box->setChecked(checked);
    FireEvent(OnClick);
}

// ---------------------------------------------------------------- TButton

TButton::TButton(TComponent* owner) : TWinControl(owner, new QPushButton) {
    auto* button = static_cast<QPushButton*>(Widget());
    button->setAutoDefault(false);
    QObject::connect(button, &QPushButton::clicked, EventContext(),
                     [this](bool) { FireUserEvent(OnClick); });
}

QString TButton::Caption() const {
    auto* button = static_cast<QPushButton*>(Widget());
    return button ? button->text() : QString();
}

void TButton::SetCaption(const QString& caption) {
    if (auto* button = static_cast<QPushButton*>(Widget())) button->setText(caption);
    UpdateAccessibleName();
}

void TButton::Click() {
    FireEvent(OnClick);
}

// ----------------------------------------------------------- TSpeedButton

TSpeedButton::TSpeedButton(TComponent* owner) : TControl(owner, new QToolButton) {
    auto* button = static_cast<QToolButton*>(Widget());
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    QObject::connect(button, &QToolButton::clicked, EventContext(),
                     [this](bool) { FireUserEvent(OnClick); });
}

QString TSpeedButton::Caption() const {
    auto* button = static_cast<QToolButton*>(Widget());
    return button ? button->text() : QString();
}

void TSpeedButton::SetCaption(const QString& caption) {
    if (auto* button = static_cast<QToolButton*>(Widget())) button->setText(caption);
    UpdateAccessibleName();
}

void TSpeedButton::Click() {
    FireEvent(OnClick);
}

// ----------------------------------------------------------------- TShape

namespace {
class ShapeWidget : public QWidget {
public:
    TColor Brush = clWhite;
    TColor Pen = clBlack;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), ColorToQColor(Brush));
        painter.setPen(QPen(ColorToQColor(Pen), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
};
}  // namespace

TShape::TShape(TComponent* owner) : TControl(owner, new ShapeWidget) {}

void TShape::SetBrushColor(TColor c) {
    FBrush.Color = c;
    if (auto* shape = static_cast<ShapeWidget*>(Widget())) {
        shape->Brush = c;
        shape->update();
    }
}

void TShape::SetPenColor(TColor c) {
    FPen.Color = c;
    if (auto* shape = static_cast<ShapeWidget*>(Widget())) {
        shape->Pen = c;
        shape->update();
    }
}

// ------------------------------------------------------------- TGridPanel

namespace {
class GridPanelWidget : public QWidget {
public:
    TGridPanel* Panel = nullptr;

protected:
    void paintEvent(QPaintEvent*) override {
        if (!Panel || !Panel->ShowCaption || Panel->Caption().isEmpty()) return;
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(rect(), Qt::AlignCenter, Panel->Caption());
    }
};

// Edges of n cells sharing `length` pixels by the given percentages.
std::vector<int> CellEdges(const std::vector<double>& percents, int length) {
    const double total = std::accumulate(percents.begin(), percents.end(), 0.0);
    std::vector<int> edges{0};
    double sum = 0.0;
    for (double p : percents) {
        sum += p;
        edges.push_back(total > 0.0 ? int(std::lround(length * sum / total)) : 0);
    }
    return edges;
}
}  // namespace

TGridPanel::TGridPanel(TComponent* owner) : TWinControl(owner, new GridPanelWidget) {
    static_cast<GridPanelWidget*>(Widget())->Panel = this;
}

TGridPanel::~TGridPanel() {
    if (auto* widget = static_cast<GridPanelWidget*>(Widget())) widget->Panel = nullptr;
}

void TGridPanel::SetCaption(const QString& caption) {
    FCaption = caption;
    if (QWidget* widget = Widget()) widget->update();
    UpdateAccessibleName();
}

void TGridPanel::SetGrid(std::vector<double> columnPercents, std::vector<double> rowPercents) {
    FColumns = std::move(columnPercents);
    FRows = std::move(rowPercents);
    Realign();
}

void TGridPanel::PlaceControl(TControl* control, int column, int row) {
    if (!control) return;
    if (control->Parent() != this) control->SetParent(this);
    auto it = std::find_if(FPlacements.begin(), FPlacements.end(),
                           [control](const Placement& p) { return p.Control == control; });
    if (it == FPlacements.end()) {
        FPlacements.push_back({control, column, row});
    } else {
        it->Column = column;
        it->Row = row;
    }
    Realign();
}

TRect TGridPanel::CellRect(int column, int row) const {
    if (column < 0 || row < 0 || column >= int(FColumns.size()) || row >= int(FRows.size()))
        return {};
    const std::vector<int> x = CellEdges(FColumns, ClientWidth());
    const std::vector<int> y = CellEdges(FRows, ClientHeight());
    return {x[size_t(column)], y[size_t(row)], x[size_t(column) + 1], y[size_t(row) + 1]};
}

void TGridPanel::AlignControls() {
    for (const Placement& p : std::vector<Placement>(FPlacements)) {
        const TRect cell = CellRect(p.Column, p.Row);
        TControl* c = p.Control;
        if (c->Align() == alClient) {
            const bool m = c->AlignWithMargins;
            const int ml = m ? c->MarginLeft : 0, mt = m ? c->MarginTop : 0;
            const int mr = m ? c->MarginRight : 0, mb = m ? c->MarginBottom : 0;
            c->SetBounds(cell.Left + ml, cell.Top + mt, cell.Width() - ml - mr,
                         cell.Height() - mt - mb);
        } else {
            c->SetBounds(cell.Left, cell.Top, c->Width(), c->Height());
        }
    }
}

void TGridPanel::ControlRemoved(TControl* control) {
    std::erase_if(FPlacements, [control](const Placement& p) { return p.Control == control; });
}

// ----------------------------------------------------------------- TTimer

TTimer::TTimer(TComponent* owner) : TComponent(owner), FTimer(new QTimer) {
    auto* timer = static_cast<QTimer*>(FTimer);
    QObject::connect(timer, &QTimer::timeout, timer, [this] {
        TNotifyEvent handler = OnTimer;
        if (handler && !OwnerDestroying(this)) RunGuarded([&] { handler(this); });
    });
    Restart();
}

TTimer::~TTimer() {
    delete FTimer;
}

void TTimer::SetEnabled(bool enabled) {
    FEnabled = enabled;
    Restart();
}

void TTimer::SetInterval(unsigned ms) {
    if (ms == FInterval) return;
    FInterval = ms;
    Restart();
}

namespace {
std::atomic<bool> TimersHeld{false};
}

void TTimer::SetHeldForTesting(bool held) {
    TimersHeld = held;
}

void TTimer::Restart() {
    auto* timer = static_cast<QTimer*>(FTimer);
    timer->stop();
    if (FEnabled && FInterval > 0 && !TimersHeld)
        timer->start(int(std::min<unsigned>(FInterval, INT32_MAX)));
}

// ---------------------------------------------------------------- TScreen

TRect TScreen::WorkAreaRect() const {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return {};
    const QRect area = screen->availableGeometry();
    return {area.left(), area.top(), area.left() + area.width(), area.top() + area.height()};
}

void TScreen::SetCursor(TCursor cursor) {
    if (cursor == FCursor) return;
    if (FCursor == crHourGlass) QApplication::restoreOverrideCursor();
    FCursor = cursor;
    if (FCursor == crHourGlass) QApplication::setOverrideCursor(Qt::WaitCursor);
}

TScreen* Screen() {
    static TScreen screen;
    return &screen;
}
