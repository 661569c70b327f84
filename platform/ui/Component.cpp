// Components, fonts, canvases, string lists and colours.
#include "platform/ui/Controls.h"

#include <algorithm>
#include <cmath>

#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPalette>

#include "platform/core/Exception.h"
#include "platform/core/ScopeGuard.h"
#include "platform/ui/QtBridge.h"
#include "platform/ui/UiDetail.h"

TComponent::TComponent(TComponent* owner) : FOwner(owner) {
    if (FOwner) FOwner->FComponents.push_back(this);
}

TComponent::~TComponent() {
    DestroyComponents();
    if (FOwner) FOwner->Remove(this);
}

void TComponent::DestroyComponents() {
    // Newest first; each child is unhooked before its destructor runs, so it
    // does not search this list again while it is being emptied.
    while (!FComponents.empty()) {
        TComponent* child = FComponents.back();
        FComponents.pop_back();
        child->FOwner = nullptr;
        delete child;
    }
}

void TComponent::Remove(TComponent* child) {
    auto it = std::find(FComponents.begin(), FComponents.end(), child);
    if (it != FComponents.end()) FComponents.erase(it);
}

// ---------------------------------------------------------------- TFont

TFont::TFont() = default;

void TFont::SetName(const QString& name) {
    if (name == FName) return;
    FName = name;
    Changed();
}

void TFont::SetHeight(int height) {
    if (height == FHeight) return;
    FHeight = height;
    Changed();
}

int TFont::Size() const {
    return int(std::lround(-FHeight * 72.0 / 96.0));
}

void TFont::SetSize(int points) {
    SetHeight(-int(std::lround(points * 96.0 / 72.0)));
}

void TFont::SetBold(bool bold) {
    if (bold == FBold) return;
    FBold = bold;
    Changed();
}

void TFont::SetColor(TColor color) {
    if (color == FColor) return;
    FColor = color;
    Changed();
}

void TFont::Assign(const TFont& other) {
    if (&other == this) return;
    if (FName == other.FName && FHeight == other.FHeight && FBold == other.FBold &&
        FColor == other.FColor)
        return;
    FName = other.FName;
    FHeight = other.FHeight;
    FBold = other.FBold;
    FColor = other.FColor;
    Changed();
}

void TFont::Changed() {
    // A copy, so that a handler may replace OnChange while it runs.
    auto handler = OnChange;
    if (handler) handler();
}

QFont ToQFont(const TFont& source) {
    QFont font;
    const QString key = source.Name().trimmed().toLower();
    bool semibold = false;
    if (key == QLatin1String("segoe ui")) {
        font.setFamily(QStringLiteral("Liberation Sans"));
    } else if (key == QLatin1String("segoe ui semibold")) {
        font.setFamily(QStringLiteral("Liberation Sans"));
        semibold = true;
    } else if (key == QLatin1String("tahoma")) {
        font.setFamily(QStringLiteral("DejaVu Sans"));
    } else if (!source.Name().isEmpty() && QFontDatabase::hasFamily(source.Name())) {
        font.setFamily(source.Name());
    } else {
        font.setFamily(QStringLiteral("Sans Serif"));
    }
    font.setStyleHint(QFont::SansSerif);
    // Negative heights are the character height, the common case; a positive
    // height (the cell height) is taken as the pixel size too, close enough
    // for the few places that might use one.
    const int pixels = std::abs(source.Height());
    if (pixels > 0) font.setPixelSize(pixels);
    font.setBold(source.Bold() || semibold);
    return font;
}

// -------------------------------------------------------------- TCanvas

int TCanvas::TextWidth(const QString& text) const {
    return QFontMetrics(ToQFont(*FFont)).horizontalAdvance(text);
}

int TCanvas::TextHeight(const QString& text) const {
    Q_UNUSED(text);
    return QFontMetrics(ToQFont(*FFont)).height();
}

// -------------------------------------------------------------- colours

QColor ColorToQColor(TColor color) {
    if (color == clNone) return QColor(Qt::transparent);
    if (color == clDefault) return QColor();
    if ((color & 0xFF000000u) == clSystemColor) {
        const QPalette palette = QGuiApplication::palette();
        switch (color) {
            case clBtnFace:
                return palette.color(QPalette::Window);
            case clWindowText:
                return palette.color(QPalette::WindowText);
            case clWindow:
                return palette.color(QPalette::Base);
            default:
                return palette.color(QPalette::WindowText);
        }
    }
    return QColor(GetRValue(color), GetGValue(color), GetBValue(color));
}

// ------------------------------------------------------------- TStrings

void TStrings::CheckIndex(int index, int limit) {
    if (index < 0 || index >= limit)
        throw Exception(QStringLiteral("List index out of bounds (%1)").arg(index));
}

int TStrings::IndexOf(const QString& text) const {
    const int n = Count();
    for (int i = 0; i < n; ++i) {
        if (Strings(i).compare(text, Qt::CaseInsensitive) == 0) return i;
    }
    return -1;
}

QString TStrings::Text() const {
    QString result;
    const int n = Count();
    for (int i = 0; i < n; ++i) {
        result += Strings(i);
        result += QLatin1String("\r\n");
    }
    return result;
}

void TStrings::SetText(const QString& text) {
    Assign(UiDetail::SplitLines(text));
}

QStringList TStrings::ToStringList() const {
    QStringList result;
    const int n = Count();
    result.reserve(n);
    for (int i = 0; i < n; ++i) result.append(Strings(i));
    return result;
}

void TStrings::Assign(const QStringList& lines) {
    BeginUpdate();
    const TScopeGuard updated([this] { EndUpdate(); });
    Clear();
    for (const QString& line : lines) Add(line);
}

namespace {
int IndexOfName(const TStrings& list, const QString& name) {
    const int n = list.Count();
    for (int i = 0; i < n; ++i) {
        const QString line = list.Strings(i);
        const int separator = line.indexOf(list.NameValueSeparator);
        if (separator < 0) continue;
        if (QStringView(line).left(separator).compare(name, Qt::CaseInsensitive) == 0) return i;
    }
    return -1;
}
}  // namespace

QString TStrings::Values(const QString& name) const {
    const int i = IndexOfName(*this, name);
    if (i < 0) return {};
    const QString line = Strings(i);
    return line.mid(line.indexOf(NameValueSeparator) + 1);
}

void TStrings::SetValues(const QString& name, const QString& value) {
    int i = IndexOfName(*this, name);
    if (value.isEmpty()) {
        if (i >= 0) Delete(i);
        return;
    }
    const QString line = name + NameValueSeparator + value;
    if (i < 0) {
        Add(line);
    } else {
        Put(i, line);
    }
}

QStringList UiDetail::SplitLines(const QString& text) {
    QStringList lines;
    const int n = int(text.size());
    int start = 0;
    int i = 0;
    while (i < n) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            lines.append(text.mid(start, i - start));
            if (c == QLatin1Char('\r') && i + 1 < n && text.at(i + 1) == QLatin1Char('\n')) ++i;
            ++i;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < n) lines.append(text.mid(start));
    return lines;
}
