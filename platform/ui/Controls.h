#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <QPointer>
#include <QString>
#include <QStringList>

#include "platform/ui/Messages.h"
#include "platform/ui/Types.h"

class QWidget;
class QEvent;
class TWinControl;
class TBalloonHint;

// Components own the components created with them as owner and free them
// in reverse order of creation when they are freed.
class TComponent : public TObject {
public:
    explicit TComponent(TComponent* owner);
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return FOwner; }
    int ComponentCount() const { return int(FComponents.size()); }
    TComponent* Components(int index) const { return FComponents.at(size_t(index)); }
    QString Name;
    // True from the start of the destructor of a form, window control or
    // control: events of it and of what it owns or holds are not raised.
    bool Destroying() const { return FDestroying; }

protected:
    // Frees the owned components now, newest first. Derived destructors
    // call it while their own parts still exist.
    void DestroyComponents();

    bool FDestroying = false;

private:
    void Remove(TComponent* child);
    TComponent* FOwner;
    std::vector<TComponent*> FComponents;
};

// A font as the class library has it. Height is in pixels (negative: the
// character height without internal leading); Size in points at 96 dpi:
// Size = round(-Height * 72 / 96), SetSize sets Height = -round(Size * 96 / 72).
// Names of Windows fonts map to installed fonts of the same kind: "Segoe UI"
// to Liberation Sans ("Segoe UI Semibold" drawn bold), "Tahoma" to DejaVu
// Sans; a name that is not installed gives the default sans-serif font.
// Setters and Assign call OnChange only when something changed.
class TFont {
public:
    TFont();
    QString Name() const { return FName; }
    void SetName(const QString& name);
    int Height() const { return FHeight; }
    void SetHeight(int height);
    int Size() const;
    void SetSize(int points);
    bool Bold() const { return FBold; }
    void SetBold(bool bold);
    TColor Color() const { return FColor; }
    void SetColor(TColor color);
    // Takes name, height, style and colour of the other font.
    void Assign(const TFont& other);
    // Called after every change.
    std::function<void()> OnChange;

private:
    void Changed();
    QString FName = QStringLiteral("Segoe UI");
    int FHeight = -12;
    bool FBold = false;
    TColor FColor = clWindowText;
};

// Measures text in a font, as a control's canvas does.
class TCanvas {
public:
    explicit TCanvas(TFont* font) : FFont(font) {}
    TFont* Font() const { return FFont; }
    int TextWidth(const QString& text) const;
    int TextHeight(const QString& text) const;

private:
    TFont* FFont;
};

// Base of every visual control: a thin object over one Qt widget, which it
// owns and places with SetBounds (no Qt layouts). A change made through a
// setter fires the control's change or click event, as one made by the
// user does, and an exception from that handler reaches the setter's
// caller; events raised from a user action that throw are shown by the
// application's default handler. Main thread only.
// The widget's accessible name is the caption, or Name where the control
// has no caption; it is refreshed when the caption changes, on SetParent,
// SetBounds and when the form is shown.
class TControl : public TComponent {
public:
    TControl(TComponent* owner, QWidget* widget);
    ~TControl() override;

    TWinControl* Parent() const { return FParent; }
    virtual void SetParent(TWinControl* parent);

    int Left() const;
    int Top() const;
    int Width() const;
    int Height() const;
    void SetLeft(int v) { SetBounds(v, Top(), Width(), Height()); }
    void SetTop(int v) { SetBounds(Left(), v, Width(), Height()); }
    void SetWidth(int v) { SetBounds(Left(), Top(), v, Height()); }
    void SetHeight(int v) { SetBounds(Left(), Top(), Width(), v); }
    virtual void SetBounds(int left, int top, int width, int height);
    TRect BoundsRect() const { return {Left(), Top(), Left() + Width(), Top() + Height()}; }
    virtual int ClientWidth() const;
    virtual int ClientHeight() const;

    bool Enabled() const;
    void SetEnabled(bool enabled);
    bool Visible() const;
    void SetVisible(bool visible);

    // Changing the font through this pointer ends ParentFont, as in the
    // class library.
    TFont* Font() { return &FFont; }
    // With ParentFont the control takes its parent's font now, on SetParent
    // and whenever the parent's font changes.
    bool ParentFont() const { return FParentFont; }
    void SetParentFont(bool value);
    TColor Color() const { return FColor; }
    void SetColor(TColor color);

    QString Hint() const { return FHint; }
    void SetHint(const QString& hint);
    bool ShowHint() const { return FShowHint; }
    void SetShowHint(bool show);
    TBalloonHint* CustomHint() const { return FCustomHint; }
    void SetCustomHint(TBalloonHint* hint) { FCustomHint = hint; }

    TAlign Align() const { return FAlign; }
    void SetAlign(TAlign align);
    bool AlignWithMargins = false;
    int MarginLeft = 3, MarginTop = 3, MarginRight = 3, MarginBottom = 3;

    virtual void Invalidate();
    // Paints pending changes at once.
    virtual void Update();
    virtual void Repaint();

    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;

    // The Qt widget behind the control: for the platform layer and its tests.
    // Null once the widget has been destroyed with a parent widget.
    QWidget* Widget() const;
    // Sets the widget's accessible name (caption, else Name) and object name.
    void UpdateAccessibleName();

protected:
    // Runs an event handler raised by the user's action: exceptions go to
    // the application's default handler instead of into Qt.
    void FireUserEvent(const TNotifyEvent& event);
    // Runs an event handler for a change the program made: exceptions go on
    // to the caller. The handler may replace itself or free the control.
    void FireEvent(const TNotifyEvent& event);
    virtual void ApplyFont();
    virtual void ApplyColor();
    // The text that names the control to assistive technology; empty when
    // the control has no caption.
    virtual QString AccessibleCaption() const { return {}; }
    // Events of the widget (enter, leave, focus, resize); true eats the event.
    virtual bool HandleWidgetEvent(QEvent* event);
    // Context object for connections to the widget's signals: it goes before
    // the widget does, so no signal reaches a control being freed.
    QObject* EventContext() const { return FEventBridge; }
    friend class TWinControl;
    friend class ControlEventBridge;

private:
    void FontChanged();
    void AdoptParentFont();
    QPointer<QWidget> FWidget;
    TWinControl* FParent = nullptr;
    TFont FFont;
    bool FParentFont = false;
    bool FAdoptingParentFont = false;
    bool FVisible = true;
    TColor FColor = clDefault;
    QString FHint;
    bool FShowHint = false;
    TBalloonHint* FCustomHint = nullptr;
    TAlign FAlign = alNone;
    QObject* FEventBridge = nullptr;
};

// A control that can hold other controls and take the focus.
// Every window control can receive posted messages and window timers
// (Messages.h) until it is freed; pending ones are dropped then.
class TWinControl : public TControl {
public:
    TWinControl(TComponent* owner, QWidget* widget);
    ~TWinControl() override;
    void SetBounds(int left, int top, int width, int height) override;

    int ControlCount() const { return int(FControls.size()); }
    TControl* Controls(int index) const { return FControls.at(size_t(index)); }

    bool DoubleBuffered = false;
    bool ParentBackground = true;
    int TabOrder = -1;

    void SetFocus();
    bool Focused() const;
    // Alignment of the children is suspended until the matching EnableAlign,
    // which then lays them out once.
    void DisableAlign();
    void EnableAlign();
    // The class library's message path: the control's own handling, then
    // the default one. Handles WM_SETREDRAW for every window control.
    virtual void WndProc(TMessage& message);
    LRESULT Perform(UINT msg, WPARAM wParam, LPARAM lParam);

protected:
    // Lays out the children aligned to an edge or the client area.
    virtual void AlignControls();
    // Runs AlignControls unless alignment is suspended or already running.
    void Realign();
    void InsertControl(TControl* control);
    void RemoveControl(TControl* control);
    // Called after a child left this control (reparented or freed).
    virtual void ControlRemoved(TControl* /*control*/) {}
    bool HandleWidgetEvent(QEvent* event) override;
    friend class TControl;

private:
    std::vector<TControl*> FControls;
    int FAlignLevel = 0;
    bool FAligning = false;
};

// A list of strings with the class library's calls. IndexOf compares the
// whole text without letter case. SetText splits at CR LF, LF or CR; a line
// break at the very end adds no empty line. Values finds "name=value" by the
// name without letter case; SetValues with an empty value deletes the entry.
class TStrings {
public:
    virtual ~TStrings() = default;
    virtual int Count() const = 0;
    virtual QString Strings(int index) const = 0;
    QString operator[](int index) const { return Strings(index); }
    virtual void Put(int index, const QString& text) = 0;
    virtual int Add(const QString& text) = 0;
    virtual void Insert(int index, const QString& text) = 0;
    virtual void Delete(int index) = 0;
    virtual void Clear() = 0;
    virtual void BeginUpdate() {}
    virtual void EndUpdate() {}
    int IndexOf(const QString& text) const;
    // The lines joined with CR LF, each line ended by it.
    virtual QString Text() const;
    virtual void SetText(const QString& text);
    // All lines at once (one change event).
    virtual QStringList ToStringList() const;
    virtual void Assign(const QStringList& lines);
    QChar NameValueSeparator = QLatin1Char('=');
    QString Values(const QString& name) const;
    void SetValues(const QString& name, const QString& value);

protected:
    // An index outside 0 .. limit-1 raises Exception "List index out of
    // bounds (index)", as the class library's lists do.
    static void CheckIndex(int index, int limit);
};

class TStringList : public TStrings {
public:
    int Count() const override { return int(FItems.size()); }
    QString Strings(int index) const override {
        CheckIndex(index, Count());
        return FItems.at(index);
    }
    void Put(int index, const QString& text) override {
        CheckIndex(index, Count());
        FItems[index] = text;
    }
    int Add(const QString& text) override {
        FItems.append(text);
        return int(FItems.size()) - 1;
    }
    void Insert(int index, const QString& text) override {
        CheckIndex(index, Count() + 1);
        FItems.insert(index, text);
    }
    void Delete(int index) override {
        CheckIndex(index, Count());
        FItems.removeAt(index);
    }
    void Clear() override { FItems.clear(); }
    QStringList ToStringList() const override { return FItems; }
    void Assign(const QStringList& lines) override { FItems = lines; }

private:
    QStringList FItems;
};

// Plain text (no markup); Transparent off fills the background with Color.
class TLabel : public TControl {
public:
    explicit TLabel(TComponent* owner);
    QString Caption() const { return FCaption; }
    void SetCaption(const QString& caption);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment a);
    TTextLayout Layout() const { return FLayout; }
    void SetLayout(TTextLayout l);
    // Sizes the label to its caption whenever caption, font or bounds
    // change (the class library's default); set false for a fixed size.
    bool AutoSize = true;
    void SetBounds(int left, int top, int width, int height) override;
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool t);
    TCanvas* Canvas() { return &FCanvas; }

protected:
    QString AccessibleCaption() const override { return FCaption; }

protected:
    void ApplyFont() override;

private:
    void ApplyText();
    void ApplyColor() override;
    QString FCaption;
    TAlignment FAlignment = taLeftJustify;
    TTextLayout FLayout = tlTop;
    bool FTransparent = true;
    TCanvas FCanvas{Font()};
};

class TMemoLines;

// A multi-line text box. Lines changed by the program fire OnChange once
// per call (once per BeginUpdate/EndUpdate bracket); an edit by the user
// fires it too. Lines are kept in a list beside the widget, so Count and
// Strings cost nothing at 10,000 lines; Add, Delete(0) and a Text that
// only appends change the widget incrementally. Text is the lines joined
// with CR LF (no line break after the last); SelStart and SelLength count
// every line break as the two characters CR LF. A line break typed at the
// very end adds no line, as in the class library. Adding a line at the end
// puts the caret after it and scrolls it into view. Lines are the text's
// own lines (a wrapped line stays one line for the EM_ messages).
class TMemo : public TWinControl {
public:
    explicit TMemo(TComponent* owner);
    ~TMemo() override;
    TStrings* Lines();
    QString Text() const;
    void SetText(const QString& text);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment a);
    void SetWordWrap(bool wrap);
    bool WordWrap() const { return FWordWrap; }
    void SetScrollBars(TScrollStyle s);
    bool HideSelection = true;
    bool ReadOnly() const;
    void SetReadOnly(bool readOnly);
    int SelStart() const;
    void SetSelStart(int pos);
    int SelLength() const;
    void SetSelLength(int length);
    QString SelText() const;
    void SetSelText(const QString& text);
    TNotifyEvent OnChange;
    // EM_LINESCROLL (wParam characters across, lParam lines down),
    // EM_GETFIRSTVISIBLELINE, EM_LINEINDEX (wParam line or -1 for the
    // caret's; -1 past the end), EM_SCROLLCARET; others as TWinControl.
    void WndProc(TMessage& message) override;

private:
    friend class TMemoLines;
    void Changed(bool byUser);
    void UserEdited();
    int ToWidgetPosition(int position) const;
    int FromWidgetPosition(int position) const;
    std::unique_ptr<TMemoLines> FLines;
    TAlignment FAlignment = taLeftJustify;
    bool FWordWrap = true;
    bool FSetting = false;
};

// OnChange runs for typing and for SetText with another text; OnExit when
// the focus moves to another control (not when the window loses it).
class TEdit : public TWinControl {
public:
    explicit TEdit(TComponent* owner);
    QString Text() const;
    // Fires OnChange when the text changes.
    void SetText(const QString& text);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment a);
    bool AutoSelect = true;
    TNotifyEvent OnChange;
    TNotifyEvent OnExit;

protected:
    bool HandleWidgetEvent(QEvent* event) override;

private:
    TAlignment FAlignment = taLeftJustify;
    bool FSetting = false;
};

class TComboItems;

// OnChange runs when the user picks an item or types (csDropDown) and when
// SetText changes the text; SetItemIndex and changes of Items run nothing,
// as in the class library. Adding items never selects one by itself.
// With csDropDownList, SetText selects the item of that text (IndexOf) or,
// for "", none.
class TComboBox : public TWinControl {
public:
    explicit TComboBox(TComponent* owner);
    ~TComboBox() override;
    TStrings* Items();
    int ItemIndex() const;
    void SetItemIndex(int index);
    // The selected item's text; "" when none (drop-down list).
    QString Text() const;
    void SetText(const QString& text);
    TComboBoxStyle Style() const { return FStyle; }
    void SetStyle(TComboBoxStyle style);
    TNotifyEvent OnChange;

private:
    friend class TComboItems;
    void ConnectEditor();
    std::unique_ptr<TComboItems> FItems;
    TComboBoxStyle FStyle = csDropDown;
    bool FSetting = false;
};

class TCheckBox : public TWinControl {
public:
    explicit TCheckBox(TComponent* owner);
    QString Caption() const;
    void SetCaption(const QString& caption);
    bool Checked() const;
    // Fires OnClick when the state changes.
    void SetChecked(bool checked);
    TNotifyEvent OnClick;

protected:
    QString AccessibleCaption() const override { return Caption(); }
};

class TButton : public TWinControl {
public:
    explicit TButton(TComponent* owner);
    QString Caption() const;
    void SetCaption(const QString& caption);
    // Runs OnClick as a press of the button does.
    void Click();
    TNotifyEvent OnClick;

protected:
    QString AccessibleCaption() const override { return Caption(); }
};

// A flat button that never takes the focus.
class TSpeedButton : public TControl {
public:
    explicit TSpeedButton(TComponent* owner);
    QString Caption() const;
    void SetCaption(const QString& caption);
    void Click();
    TNotifyEvent OnClick;

protected:
    QString AccessibleCaption() const override { return Caption(); }
};

// A rectangle filled with the brush colour and outlined with the pen.
class TShape : public TControl {
public:
    explicit TShape(TComponent* owner);
    struct TBrush {
        TColor Color = clWhite;
    };
    struct TPen {
        TColor Color = clBlack;
    };
    TColor BrushColor() const { return FBrush.Color; }
    void SetBrushColor(TColor c);
    TColor PenColor() const { return FPen.Color; }
    void SetPenColor(TColor c);

private:
    TBrush FBrush;
    TPen FPen;
};

// Cells of fixed percentages; each child sits in the cell it was placed in
// and fills it when aligned to the client area (less its margins with
// AlignWithMargins); otherwise it keeps its size at the cell's top left.
// The caption is drawn centred while ShowCaption is set. PlaceControl makes
// the control a child of the panel when it is not one yet.
class TGridPanel : public TWinControl {
public:
    explicit TGridPanel(TComponent* owner);
    ~TGridPanel() override;
    void SetGrid(std::vector<double> columnPercents, std::vector<double> rowPercents);
    void PlaceControl(TControl* control, int column, int row);
    bool ShowCaption = true;
    QString Caption() const { return FCaption; }
    void SetCaption(const QString& caption);
    TRect CellRect(int column, int row) const;

protected:
    void AlignControls() override;
    void ControlRemoved(TControl* control) override;
    QString AccessibleCaption() const override { return ShowCaption ? FCaption : QString(); }

private:
    struct Placement {
        TControl* Control;
        int Column;
        int Row;
    };
    std::vector<double> FColumns{100.0};
    std::vector<double> FRows{100.0};
    std::vector<Placement> FPlacements;
    QString FCaption;
};

// The hint window of controls that name it as their CustomHint.
class TBalloonHint : public TComponent {
public:
    explicit TBalloonHint(TComponent* owner) : TComponent(owner) {}
};

// Runs OnTimer every Interval ms while enabled (and OnTimer is set); an
// exception from it is shown by the application's default handler.
class TTimer : public TComponent {
public:
    explicit TTimer(TComponent* owner);
    ~TTimer() override;
    bool Enabled() const { return FEnabled; }
    // Enabling (again) restarts the interval.
    void SetEnabled(bool enabled);
    unsigned Interval() const { return FInterval; }
    void SetInterval(unsigned ms);
    TNotifyEvent OnTimer;
    // Tests: while held, no timer ticks by itself (enabled and interval are
    // kept as usual); the test calls OnTimer when it means time has passed.
    // Affects timers enabled or restarted afterwards.
    static void SetHeldForTesting(bool held);

private:
    void Restart();
    bool FEnabled = true;
    unsigned FInterval = 1000;
    QObject* FTimer;
};

// The screen: work area (the primary screen without panels) and the
// application-wide cursor (crHourGlass shows the wait cursor until crDefault).
class TScreen {
public:
    TRect WorkAreaRect() const;
    TCursor Cursor() const { return FCursor; }
    void SetCursor(TCursor cursor);

private:
    TCursor FCursor = crDefault;
};
TScreen* Screen();
