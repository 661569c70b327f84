// Proportional layout of the main form: every control keeps its design
// proportions at any window size, and the two big value labels take a font
// that grows with the window and shrinks until their text fits.
#include "form/Form1.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include "platform/chart/Chart.h"
#include "platform/core/ScopeGuard.h"

namespace {

// Rounds to the nearest integer, halves away from zero.
int RoundHalfAway(double value) {
    return int(std::lround(value));
}

// The font the class library would publish for the control: every control
// has one except the shape, which draws no text, and the chart, whose
// labels and titles keep the chart's own fixed pixel fonts.
TFont* GetFontProp(TControl* control) {
    if (!control) return nullptr;
    if (dynamic_cast<TShape*>(control) || dynamic_cast<TChart*>(control)) return nullptr;
    return control->Font();
}

// The records of a container's children come before the container's own
// record, so that a container is placed after what it holds.
void AppendControlBounds(std::vector<TLayoutRecord>& layout, TWinControl* parent) {
    for (int i = 0; i < parent->ControlCount(); ++i) {
        TControl* child = parent->Controls(i);
        if (auto* container = dynamic_cast<TWinControl*>(child))
            AppendControlBounds(layout, container);
        if (child->Align() != alNone) continue;
        const TFont* font = GetFontProp(child);
        layout.push_back({child, child->Left(), child->Top(), child->Width(), child->Height(),
                          font ? font->Size() : 0});
    }
}

void ScaleLayout(const std::vector<TLayoutRecord>& layout, double fontFactor, double yFactor,
                 double xFactor) {
    for (const TLayoutRecord& record : layout) {
        TControl* control = record.Control;
        if (!control || control->Align() != alNone) continue;
        control->SetBounds(
            RoundHalfAway(record.Left * xFactor), RoundHalfAway(record.Top * yFactor),
            RoundHalfAway(record.Width * xFactor), RoundHalfAway(record.Height * yFactor));
        TFont* font = GetFontProp(control);
        if (font && record.FontSize > 0) {
            const int size = RoundHalfAway(record.FontSize * fontFactor);
            font->SetSize(size <= 5 ? 6 : size);
        }
    }
}

}  // namespace

void TForm1::RecordControlBounds() {
    AppendControlBounds(FLayout, this);
}

void TForm1::FormResize(TObject* /*Sender*/) {
    // FormClose frees the base fonts; a resize that comes after it (the
    // window system may still deliver one) must not reach them.
    if (FResizing || FDesignClientWidth <= 0 || FDesignClientHeight <= 0 || !FLabel2BaseFont ||
        !FLabel15BaseFont)
        return;

    FResizing = true;
    SendMessage(this, WM_SETREDRAW, 0, 0);
    LockWindowUpdate(this);
    // Drawing must come back on whatever fails below.
    const TScopeGuard redrawn([this] {
        LockWindowUpdate(nullptr);
        SendMessage(this, WM_SETREDRAW, 1, 0);
        RedrawWindow(this, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        FResizing = false;
    });
    {
        const double x = double(ClientWidth()) / FDesignClientWidth;
        const double y = double(ClientHeight()) / FDesignClientHeight;
        const double f = std::min(x, y);
        {
            DisableAlign();
            const TScopeGuard aligned([this] { EnableAlign(); });
            ScaleLayout(FLayout, f, y, x);
        }
        FitLabelFont(Label2, Label2->Caption());
        FitLabelFont(Label15, Label15->Caption());
        ResetBarWidth(false);
    }
}

void TForm1::FitLabelFont(TLabel* label, const QString& text) {
    if (!label || !label->Canvas()) return;

    double scale = 1.0;
    if (FDesignClientWidth > 0 && FDesignClientHeight > 0) {
        scale = std::max(double(ClientWidth()) / FDesignClientWidth,
                         double(ClientHeight()) / FDesignClientHeight);
        scale = std::min(scale, 2.0);
        if (!(scale > 0)) scale = 1.0;
    }

    int size = label->Font()->Size();
    if (label == Label2 && FLabel2BaseFont)
        size = RoundHalfAway(scale * FLabel2BaseFont->Size());
    else if (label == Label15 && FLabel15BaseFont)
        size = RoundHalfAway(scale * FLabel15BaseFont->Size());
    size = std::max(size, 10);

    const int widthRoom = label->Width() < 9 ? 1 : label->Width() - 8;
    const int heightRoom = label->Height() < 5 ? 1 : label->Height() - 4;

    // The text is measured in a copy of the label's font, so that the label
    // and its widget change once, at the size that fits, and not at every
    // step down.
    TFont probe;
    probe.Assign(*label->Font());
    probe.SetSize(size);
    const TCanvas canvas(&probe);
    while ((canvas.TextWidth(text) > widthRoom || canvas.TextHeight(text) > heightRoom) &&
           size >= 11) {
        --size;
        probe.SetSize(size);
    }
    label->Font()->SetSize(size);
}

void TForm1::HandleSysCommand(TMessage& message) {
    if (message.WParam != SC_MAXIMIZE && message.WParam != SC_RESTORE) {
        TForm::DefaultHandler(message);
        return;
    }
    SendMessage(this, WM_SETREDRAW, 0, 0);
    const TScopeGuard redrawn([this] {
        SendMessage(this, WM_SETREDRAW, 1, 0);
        RedrawWindow(this, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        FResizing = false;
        FormResize(this);
    });
    TForm::DefaultHandler(message);
}
