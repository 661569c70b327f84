// TMemo: the lines kept beside a QPlainTextEdit, changed in place.
#include <algorithm>

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextOption>

#include "platform/ui/Controls.h"
#include "platform/ui/UiDetail.h"

namespace {

class MemoWidget : public QPlainTextEdit {
public:
    int FirstVisibleBlockNumber() const { return firstVisibleBlock().blockNumber(); }
};

MemoWidget* EditOf(const TMemo* memo) {
    return static_cast<MemoWidget*>(memo->Widget());
}

}  // namespace

// The list is the truth; the widget shows it with one text block per line.
// Every change to the list edits only the blocks it touches, so appending
// to or cutting the front of a 10,000-line list stays cheap.
class TMemoLines : public TStrings {
public:
    explicit TMemoLines(TMemo* memo) : FMemo(memo) {}

    int Count() const override { return int(FLines.size()); }

    QString Strings(int index) const override {
        CheckIndex(index, Count());
        return FLines.at(index);
    }

    void Put(int index, const QString& text) override {
        CheckIndex(index, Count());
        Replace(index, 1, {text});
        Changed();
    }

    int Add(const QString& text) override {
        const int index = Count();
        Replace(index, 0, {text});
        // As in the class library, the caret follows the new last line.
        if (MemoWidget* edit = EditOf(FMemo)) {
            edit->moveCursor(QTextCursor::End);
            edit->ensureCursorVisible();
        }
        Changed();
        return index;
    }

    void Insert(int index, const QString& text) override {
        CheckIndex(index, Count() + 1);
        Replace(index, 0, {text});
        Changed();
    }

    void Delete(int index) override {
        CheckIndex(index, Count());
        Replace(index, 1, {});
        Changed();
    }

    void Clear() override {
        SetAll({}, true);
        Changed();
    }

    void BeginUpdate() override { ++FUpdateCount; }

    void EndUpdate() override {
        if (FUpdateCount == 0 || --FUpdateCount > 0 || !FChangePending) return;
        FChangePending = false;
        FMemo->Changed(false);
    }

    QStringList ToStringList() const override { return FLines; }

    void Assign(const QStringList& lines) override {
        SetAll(lines, true);
        Changed();
    }

    // Replaces the whole list, touching only the lines that differ at its
    // start and end. Fires nothing.
    void SetAll(const QStringList& lines, bool caretToStart) {
        const int oldCount = Count();
        const int newCount = int(lines.size());
        int prefix = 0;
        while (prefix < oldCount && prefix < newCount && FLines.at(prefix) == lines.at(prefix))
            ++prefix;
        int suffix = 0;
        while (suffix < oldCount - prefix && suffix < newCount - prefix &&
               FLines.at(oldCount - 1 - suffix) == lines.at(newCount - 1 - suffix))
            ++suffix;
        Replace(prefix, oldCount - prefix - suffix, lines.mid(prefix, newCount - prefix - suffix));
        // Setting the whole text puts the caret at its start.
        if (caretToStart) {
            if (MemoWidget* edit = EditOf(FMemo)) edit->moveCursor(QTextCursor::Start);
        }
    }

    // A user edit: the widget's blocks become the list. A line break at the
    // very end opens no line of its own.
    void ReadWidget() {
        MemoWidget* edit = EditOf(FMemo);
        if (!edit) return;
        QStringList lines;
        const QTextDocument* doc = edit->document();
        lines.reserve(doc->blockCount());
        for (QTextBlock block = doc->begin(); block.isValid(); block = block.next())
            lines.append(block.text());
        if (!lines.isEmpty() && lines.constLast().isEmpty()) lines.removeLast();
        FLines = lines;
    }

    void Changed() {
        if (FUpdateCount > 0) {
            FChangePending = true;
        } else {
            FMemo->Changed(false);
        }
    }

private:
    // Lines [first, first + removeCount) give way to `insert`, in the list
    // and in the widget.
    void Replace(int first, int removeCount, const QStringList& insert) {
        if (removeCount == 0 && insert.isEmpty()) return;
        const int oldCount = Count();
        FLines.remove(first, removeCount);
        if (first == int(FLines.size())) {
            FLines.append(insert);
        } else {
            for (int i = 0; i < int(insert.size()); ++i) FLines.insert(first + i, insert.at(i));
        }
        ApplyToWidget(oldCount, first, removeCount, insert);
    }

    // The widget holds oldCount blocks (plus, after a user edit, maybe an
    // empty one at the end, which an edit reaching the end takes along).
    void ApplyToWidget(int oldCount, int first, int removeCount, const QStringList& insert) {
        MemoWidget* edit = EditOf(FMemo);
        if (!edit) return;
        QTextDocument* doc = edit->document();
        const QString joined = insert.join(QLatin1Char('\n'));
        QTextCursor cursor(doc);
        QString text;
        if (oldCount == 0 || (first == 0 && first + removeCount >= oldCount)) {
            cursor.select(QTextCursor::Document);
            text = joined;
        } else if (first + removeCount < oldCount) {
            cursor.setPosition(doc->findBlockByNumber(first).position());
            cursor.setPosition(doc->findBlockByNumber(first + removeCount).position(),
                               QTextCursor::KeepAnchor);
            text = insert.isEmpty() ? QString() : joined + QLatin1Char('\n');
        } else {
            const QTextBlock previous = doc->findBlockByNumber(first - 1);
            cursor.setPosition(previous.position() + previous.length() - 1);
            cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
            text = insert.isEmpty() ? QString() : QLatin1Char('\n') + joined;
        }
        FMemo->FSetting = true;
        // Program edits are no steps for the user's undo.
        doc->setUndoRedoEnabled(false);
        if (cursor.hasSelection()) cursor.removeSelectedText();
        if (!text.isEmpty()) cursor.insertText(text);
        doc->setUndoRedoEnabled(true);
        FMemo->FSetting = false;
    }

    TMemo* FMemo;
    QStringList FLines;
    int FUpdateCount = 0;
    bool FChangePending = false;
};

TMemo::TMemo(TComponent* owner)
    : TWinControl(owner, new MemoWidget), FLines(std::make_unique<TMemoLines>(this)) {
    MemoWidget* edit = EditOf(this);
    edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QObject::connect(edit, &QPlainTextEdit::textChanged, EventContext(), [this] {
        if (!FSetting) UserEdited();
    });
}

TMemo::~TMemo() = default;

TStrings* TMemo::Lines() {
    return FLines.get();
}

QString TMemo::Text() const {
    return FLines->ToStringList().join(QLatin1String("\r\n"));
}

void TMemo::SetText(const QString& text) {
    if (text == Text()) return;
    FLines->SetAll(UiDetail::SplitLines(text), true);
    FLines->Changed();
}

void TMemo::SetAlignment(TAlignment a) {
    FAlignment = a;
    MemoWidget* edit = EditOf(this);
    if (!edit) return;
    QTextOption option = edit->document()->defaultTextOption();
    option.setAlignment(a == taCenter         ? Qt::AlignHCenter
                        : a == taRightJustify ? Qt::AlignRight
                                              : Qt::AlignLeft);
    FSetting = true;
    edit->document()->setDefaultTextOption(option);
    FSetting = false;
}

void TMemo::SetWordWrap(bool wrap) {
    FWordWrap = wrap;
    MemoWidget* edit = EditOf(this);
    if (!edit) return;
    FSetting = true;
    edit->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    FSetting = false;
}

void TMemo::SetScrollBars(TScrollStyle s) {
    MemoWidget* edit = EditOf(this);
    if (!edit) return;
    const bool vertical = s == ssVertical || s == ssBoth;
    const bool horizontal = s == ssHorizontal || s == ssBoth;
    edit->setVerticalScrollBarPolicy(vertical ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    edit->setHorizontalScrollBarPolicy(horizontal ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
}

bool TMemo::ReadOnly() const {
    MemoWidget* edit = EditOf(this);
    return edit && edit->isReadOnly();
}

void TMemo::SetReadOnly(bool readOnly) {
    if (MemoWidget* edit = EditOf(this)) edit->setReadOnly(readOnly);
}

// Positions: the class library counts CR LF between lines, the widget one
// separator. Block i starts at widget position p(i) and at text position
// p(i) + i.
int TMemo::FromWidgetPosition(int position) const {
    MemoWidget* edit = EditOf(this);
    if (!edit) return 0;
    return position + edit->document()->findBlock(position).blockNumber();
}

int TMemo::ToWidgetPosition(int position) const {
    MemoWidget* edit = EditOf(this);
    if (!edit || position <= 0) return 0;
    const QTextDocument* doc = edit->document();
    int low = 0;
    int high = doc->blockCount() - 1;
    while (low < high) {
        const int middle = (low + high + 1) / 2;
        if (doc->findBlockByNumber(middle).position() + middle <= position) {
            low = middle;
        } else {
            high = middle - 1;
        }
    }
    const QTextBlock block = doc->findBlockByNumber(low);
    // Inside the CR LF pair counts as the end of the line.
    const int offset = std::min(position - (block.position() + low), block.length() - 1);
    return block.position() + offset;
}

int TMemo::SelStart() const {
    MemoWidget* edit = EditOf(this);
    return edit ? FromWidgetPosition(edit->textCursor().selectionStart()) : 0;
}

void TMemo::SetSelStart(int pos) {
    MemoWidget* edit = EditOf(this);
    if (!edit) return;
    QTextCursor cursor = edit->textCursor();
    cursor.setPosition(ToWidgetPosition(pos));
    edit->setTextCursor(cursor);
}

int TMemo::SelLength() const {
    MemoWidget* edit = EditOf(this);
    if (!edit) return 0;
    const QTextCursor cursor = edit->textCursor();
    return FromWidgetPosition(cursor.selectionEnd()) - FromWidgetPosition(cursor.selectionStart());
}

void TMemo::SetSelLength(int length) {
    MemoWidget* edit = EditOf(this);
    if (!edit) return;
    QTextCursor cursor = edit->textCursor();
    const int start = cursor.selectionStart();
    cursor.setPosition(start);
    cursor.setPosition(ToWidgetPosition(FromWidgetPosition(start) + std::max(0, length)),
                       QTextCursor::KeepAnchor);
    edit->setTextCursor(cursor);
}

QString TMemo::SelText() const {
    MemoWidget* edit = EditOf(this);
    if (!edit) return {};
    QString text = edit->textCursor().selectedText();
    text.replace(QChar(QChar::ParagraphSeparator), QLatin1String("\r\n"));
    return text;
}

void TMemo::SetSelText(const QString& text) {
    const QString whole = Text();
    const int start = std::clamp(SelStart(), 0, int(whole.size()));
    const int length = std::clamp(SelLength(), 0, int(whole.size()) - start);
    const QString result = whole.left(start) + text + whole.mid(start + length);
    FLines->SetAll(UiDetail::SplitLines(result), false);
    SetSelStart(start + int(text.size()));
    FLines->Changed();
}

void TMemo::Changed(bool byUser) {
    if (byUser) {
        FireUserEvent(OnChange);
    } else {
        FireEvent(OnChange);
    }
}

void TMemo::UserEdited() {
    FLines->ReadWidget();
    Changed(true);
}

void TMemo::WndProc(TMessage& message) {
    MemoWidget* edit = EditOf(this);
    if (!edit) {
        TWinControl::WndProc(message);
        return;
    }
    QTextDocument* doc = edit->document();
    switch (message.Msg) {
        case EM_GETFIRSTVISIBLELINE:
            message.Result = edit->FirstVisibleBlockNumber();
            return;
        case EM_LINEINDEX: {
            const int line = message.WParam == WPARAM(-1) ? edit->textCursor().blockNumber()
                                                          : int(LPARAM(message.WParam));
            if (line < 0 || line >= doc->blockCount()) {
                message.Result = -1;
            } else {
                message.Result = doc->findBlockByNumber(line).position() + line;
            }
            return;
        }
        case EM_LINESCROLL: {
            const int across = int(LPARAM(message.WParam));
            const int down = int(message.LParam);
            if (across != 0) {
                QScrollBar* bar = edit->horizontalScrollBar();
                const long long step = edit->fontMetrics().averageCharWidth();
                const long long target = std::clamp<long long>(bar->value() + across * step,
                                                               bar->minimum(), bar->maximum());
                bar->setValue(int(target));
            }
            if (down != 0) {
                const int top =
                    std::clamp(edit->FirstVisibleBlockNumber() + down, 0, doc->blockCount() - 1);
                // The scroll bar counts layout lines; a block starts at its first.
                edit->verticalScrollBar()->setValue(doc->findBlockByNumber(top).firstLineNumber());
            }
            message.Result = 1;
            return;
        }
        case EM_SCROLLCARET:
            edit->ensureCursorVisible();
            message.Result = 1;
            return;
        default:
            TWinControl::WndProc(message);
            return;
    }
}
