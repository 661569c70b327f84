// TControl and TWinControl: the widget, its bounds, font, colours and
// events, and the alignment of children.
#include "platform/ui/Controls.h"

#include <algorithm>

#include <QEvent>
#include <QPalette>
#include <QWidget>

#include "platform/core/ScopeGuard.h"
#include "platform/ui/Forms.h"
#include "platform/ui/QtBridge.h"
#include "platform/ui/UiDetail.h"

// Hands the widget's events to its control. It is the context of every
// signal connection of the control, so freeing it first cuts them all.
class ControlEventBridge : public QObject {
public:
    explicit ControlEventBridge(TControl* control) : FControl(control) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == FControl->FWidget.data()) return FControl->HandleWidgetEvent(event);
        return false;
    }

private:
    TControl* FControl;
};

namespace {
// Palette roles that carry the text colour and the background colour of the
// different widget kinds.
constexpr QPalette::ColorRole TextRoles[] = {QPalette::WindowText, QPalette::Text,
                                             QPalette::ButtonText};
constexpr QPalette::ColorRole BackgroundRoles[] = {QPalette::Window, QPalette::Base,
                                                   QPalette::Button};

// System colours and clDefault stay unset in the widget's palette, so they
// follow the visual style; only fixed colours are written.
bool FixedColor(TColor color, QColor& result) {
    if (color == clDefault || color == clNone) return false;
    if ((color & 0xFF000000u) == clSystemColor) return false;
    result = ColorToQColor(color);
    return true;
}
}  // namespace

TControl::TControl(TComponent* owner, QWidget* widget) : TComponent(owner), FWidget(widget) {
    UiDetail::EnsureInputHook();
    FEventBridge = new ControlEventBridge(this);
    if (widget) {
        UiDetail::RegisterControl(widget, this);
        widget->installEventFilter(FEventBridge);
    }
    FFont.OnChange = [this] { FontChanged(); };
    TControl::ApplyFont();
}

TControl::~TControl() {
    FDestroying = true;
    delete FEventBridge;
    FEventBridge = nullptr;
    if (FParent) FParent->RemoveControl(this);
    FParent = nullptr;
    if (QWidget* widget = FWidget.data()) {
        UiDetail::UnregisterControl(widget);
        widget->blockSignals(true);
        delete widget;
    }
}

QWidget* TControl::Widget() const {
    return FWidget.data();
}

void TControl::SetParent(TWinControl* parent) {
    if (parent == FParent) return;
    if (FParent) FParent->RemoveControl(this);
    FParent = parent;
    if (FParent) FParent->InsertControl(this);
    if (QWidget* widget = FWidget.data()) {
        widget->setParent(FParent ? FParent->Widget() : nullptr);
        if (FParent) widget->setVisible(FVisible);
    }
    if (FParentFont) AdoptParentFont();
    UpdateAccessibleName();
    if (FParent && FAlign != alNone) FParent->Realign();
}

int TControl::Left() const {
    return FWidget ? FWidget->x() : 0;
}
int TControl::Top() const {
    return FWidget ? FWidget->y() : 0;
}

int TControl::Width() const {
    if (!FWidget) return 0;
    return FWidget->isWindow() ? FWidget->frameGeometry().width() : FWidget->width();
}

int TControl::Height() const {
    if (!FWidget) return 0;
    return FWidget->isWindow() ? FWidget->frameGeometry().height() : FWidget->height();
}

void TControl::SetBounds(int left, int top, int width, int height) {
    QWidget* widget = FWidget.data();
    if (!widget) return;
    width = std::max(0, width);
    height = std::max(0, height);
    if (widget->isWindow()) {
        // Outer size in, client size to Qt: take off what the frame adds.
        const QSize frame = widget->frameGeometry().size() - widget->size();
        widget->move(left, top);
        widget->resize(std::max(0, width - frame.width()), std::max(0, height - frame.height()));
    } else {
        widget->setGeometry(left, top, width, height);
    }
    UpdateAccessibleName();
    if (FParent && FAlign != alNone) FParent->Realign();
}

int TControl::ClientWidth() const {
    return FWidget ? FWidget->width() : 0;
}
int TControl::ClientHeight() const {
    return FWidget ? FWidget->height() : 0;
}

bool TControl::Enabled() const {
    return FWidget && !FWidget->testAttribute(Qt::WA_ForceDisabled);
}

void TControl::SetEnabled(bool enabled) {
    if (FWidget) FWidget->setEnabled(enabled);
}

bool TControl::Visible() const {
    if (FWidget && FWidget->isWindow()) return FWidget->isVisible();
    return FVisible;
}

void TControl::SetVisible(bool visible) {
    FVisible = visible;
    if (QWidget* widget = FWidget.data()) {
        if (widget->isWindow() || FParent) widget->setVisible(visible);
    }
    if (FParent && FAlign != alNone) FParent->Realign();
}

void TControl::SetParentFont(bool value) {
    FParentFont = value;
    if (value) AdoptParentFont();
}

void TControl::AdoptParentFont() {
    if (!FParent) return;
    FAdoptingParentFont = true;
    FFont.Assign(*FParent->Font());
    FAdoptingParentFont = false;
}

void TControl::FontChanged() {
    if (!FAdoptingParentFont) FParentFont = false;
    ApplyFont();
    if (auto* self = dynamic_cast<TWinControl*>(this)) {
        const std::vector<TControl*> children = self->FControls;
        for (TControl* child : children) {
            if (child->FParentFont) child->AdoptParentFont();
        }
    }
}

void TControl::SetColor(TColor color) {
    FColor = color;
    ApplyColor();
}

TShiftState ShiftStateOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons) {
    TShiftState shift;
    shift.Shift = modifiers.testFlag(Qt::ShiftModifier);
    shift.Ctrl = modifiers.testFlag(Qt::ControlModifier);
    shift.Alt = modifiers.testFlag(Qt::AltModifier);
    shift.Left = buttons.testFlag(Qt::LeftButton);
    shift.Right = buttons.testFlag(Qt::RightButton);
    shift.Middle = buttons.testFlag(Qt::MiddleButton);
    return shift;
}

void TControl::ApplyFont() {
    if (FWidget) FWidget->setFont(ToQFont(FFont));
    ApplyColor();
}

void TControl::ApplyColor() {
    QWidget* widget = FWidget.data();
    if (!widget) return;
    QPalette palette;
    QColor color;
    if (FixedColor(FFont.Color(), color)) {
        // Active and inactive only: disabled text keeps the style's grey.
        for (QPalette::ColorRole role : TextRoles) {
            palette.setColor(QPalette::Active, role, color);
            palette.setColor(QPalette::Inactive, role, color);
        }
    }
    const bool fill = FixedColor(FColor, color);
    if (fill) {
        for (QPalette::ColorRole role : BackgroundRoles) palette.setColor(role, color);
    }
    widget->setPalette(palette);
    if (!widget->isWindow()) widget->setAutoFillBackground(fill);
}

void TControl::SetHint(const QString& hint) {
    FHint = hint;
    if (FWidget) FWidget->setToolTip(FShowHint ? FHint : QString());
}

void TControl::SetShowHint(bool show) {
    FShowHint = show;
    if (FWidget) FWidget->setToolTip(FShowHint ? FHint : QString());
}

void TControl::SetAlign(TAlign align) {
    FAlign = align;
    if (FParent) FParent->Realign();
}

void TControl::Invalidate() {
    if (FWidget) FWidget->update();
}

void TControl::Update() {
    if (FWidget) FWidget->repaint();
}

void TControl::Repaint() {
    if (FWidget) FWidget->repaint();
}

void TControl::UpdateAccessibleName() {
    QWidget* widget = FWidget.data();
    if (!widget) return;
    const QString caption = AccessibleCaption();
    const QString name = caption.isEmpty() ? Name : caption;
    if (widget->accessibleName() != name) widget->setAccessibleName(name);
    if (!Name.isEmpty() && widget->objectName() != Name) widget->setObjectName(Name);
}

namespace {
// Freeing a form deletes widgets, and Qt then sends enter and leave events
// to what lies under the mouse; none of them may reach a handler of a form
// that is going away.
bool InDestroyedTree(const TControl* control) {
    for (const TComponent* c = control; c; c = c->Owner()) {
        if (c->Destroying()) return true;
    }
    for (const TControl* c = control; c; c = c->Parent()) {
        if (c->Destroying()) return true;
    }
    return false;
}
}  // namespace

void TControl::FireUserEvent(const TNotifyEvent& event) {
    // A copy: the handler may replace the event or free this control.
    TNotifyEvent handler = event;
    if (!handler || InDestroyedTree(this)) return;
    RunGuarded([&] { handler(this); });
}

void TControl::FireEvent(const TNotifyEvent& event) {
    TNotifyEvent handler = event;
    if (handler) handler(this);
}

bool TControl::HandleWidgetEvent(QEvent* event) {
    switch (event->type()) {
        case QEvent::Enter:
            FireUserEvent(OnMouseEnter);
            break;
        case QEvent::Leave:
            FireUserEvent(OnMouseLeave);
            break;
        default:
            break;
    }
    return false;
}

// ---------------------------------------------------------- TWinControl

TWinControl::TWinControl(TComponent* owner, QWidget* widget) : TControl(owner, widget) {
    UiDetail::RegisterWindow(this);
}

TWinControl::~TWinControl() {
    FDestroying = true;
    UiDetail::UnregisterWindow(this);
    // Owned controls go while this control is still whole, so they can
    // leave its child list; children owned elsewhere are only let go.
    DestroyComponents();
    for (TControl* child : FControls) child->FParent = nullptr;
    FControls.clear();
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
    TControl::SetBounds(left, top, width, height);
    Realign();
}

void TWinControl::SetFocus() {
    if (QWidget* widget = Widget()) widget->setFocus(Qt::OtherFocusReason);
}

bool TWinControl::Focused() const {
    QWidget* widget = Widget();
    return widget && widget->hasFocus();
}

void TWinControl::DisableAlign() {
    ++FAlignLevel;
}

void TWinControl::EnableAlign() {
    if (FAlignLevel > 0 && --FAlignLevel == 0) Realign();
}

void TWinControl::WndProc(TMessage& message) {
    if (message.Msg == WM_SETREDRAW) UiDetail::SetRedrawOff(this, message.WParam == 0);
}

LRESULT TWinControl::Perform(UINT msg, WPARAM wParam, LPARAM lParam) {
    TMessage message{msg, wParam, lParam, 0};
    WndProc(message);
    return message.Result;
}

void TWinControl::Realign() {
    if (FAlignLevel > 0 || FAligning) return;
    FAligning = true;
    const TScopeGuard aligned([this] { FAligning = false; });
    AlignControls();
}

void TWinControl::AlignControls() {
    TRect room{0, 0, ClientWidth(), ClientHeight()};
    const std::vector<TControl*> children = FControls;
    for (TAlign pass : {alTop, alBottom, alLeft, alRight, alClient}) {
        for (TControl* c : children) {
            if (c->Align() != pass || !c->FVisible) continue;
            const bool m = c->AlignWithMargins;
            const int ml = m ? c->MarginLeft : 0, mt = m ? c->MarginTop : 0;
            const int mr = m ? c->MarginRight : 0, mb = m ? c->MarginBottom : 0;
            const int across = std::max(0, room.Width() - ml - mr);
            const int down = std::max(0, room.Height() - mt - mb);
            switch (pass) {
                case alTop: {
                    const int h = c->Height();
                    c->SetBounds(room.Left + ml, room.Top + mt, across, h);
                    room.Top += h + mt + mb;
                    break;
                }
                case alBottom: {
                    const int h = c->Height();
                    c->SetBounds(room.Left + ml, room.Bottom - mb - h, across, h);
                    room.Bottom -= h + mt + mb;
                    break;
                }
                case alLeft: {
                    const int w = c->Width();
                    c->SetBounds(room.Left + ml, room.Top + mt, w, down);
                    room.Left += w + ml + mr;
                    break;
                }
                case alRight: {
                    const int w = c->Width();
                    c->SetBounds(room.Right - mr - w, room.Top + mt, w, down);
                    room.Right -= w + ml + mr;
                    break;
                }
                case alClient:
                    c->SetBounds(room.Left + ml, room.Top + mt, across, down);
                    break;
                case alNone:
                    break;
            }
        }
    }
}

void TWinControl::InsertControl(TControl* control) {
    if (std::find(FControls.begin(), FControls.end(), control) == FControls.end())
        FControls.push_back(control);
}

void TWinControl::RemoveControl(TControl* control) {
    auto it = std::find(FControls.begin(), FControls.end(), control);
    if (it == FControls.end()) return;
    FControls.erase(it);
    ControlRemoved(control);
}

bool TWinControl::HandleWidgetEvent(QEvent* event) {
    if (event->type() == QEvent::Resize) Realign();
    return TControl::HandleWidgetEvent(event);
}
