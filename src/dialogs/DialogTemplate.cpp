#include "dialogs/DialogTemplate.h"

#include "dialogs/ClickableLabel.h"
#include "display/QtShapes.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>

#include <algorithm>

namespace kerrion {
namespace {

// MulDiv's rounding: the nearest integer, halves away from zero.
int MulDivRound(int value, int numerator, int denominator)
{
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(
        product >= 0 ? (product + half) / denominator : -((-product + half) / denominator));
}

QString Text(const ControlTemplate& control) { return QString::fromUtf8(control.text); }

QLabel* MakeLabel(const ControlTemplate& control, QWidget& parent, Qt::Alignment align)
{
    auto* label = new QLabel(Text(control), &parent);
    label->setAlignment(align | Qt::AlignTop);
    return label;
}

QFrame* MakeLine(QWidget& parent)
{
    auto* line = new QFrame(&parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

// A group box drawn as the dialog manager draws one: an etched frame whose top edge runs through
// the middle of the first text line, so that a check box laid over it reads as its heading.
QFrame* MakeGroupFrame(const ControlTemplate& control, QWidget& parent)
{
    auto* frame = new QFrame(&parent);
    frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
    const QString caption = Text(control).trimmed();
    if (!caption.isEmpty()) {
        auto* title = new QLabel(caption, frame);
        title->setAutoFillBackground(true);
        title->move(QFontMetrics(parent.font()).averageCharWidth(), 0);
    }
    return frame;
}

QComboBox* MakeCombo(const ControlTemplate& control, QWidget& parent)
{
    auto* combo = new QComboBox(&parent);
    const QString items = Text(control);
    if (!items.isEmpty())
        combo->addItems(items.split(u'\n'));
    combo->setCurrentIndex(-1);
    return combo;
}

QPushButton* MakeButton(const ControlTemplate& control, QWidget& parent)
{
    auto* button = new QPushButton(Text(control), &parent);
    // Enter is handled by the dialog: the focused button, else the OK step.
    button->setAutoDefault(false);
    button->setDefault(control.kind == ControlKind::DefaultButton);
    button->setCheckable(control.kind == ControlKind::PushLikeCheck);
    return button;
}

QTableWidget* MakeReportList(QWidget& parent)
{
    auto* list = new QTableWidget(&parent);
    list->horizontalHeader()->hide();
    list->verticalHeader()->hide();
    list->setShowGrid(true);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setWordWrap(false);
    const QFontMetrics metrics(parent.font());
    list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    list->verticalHeader()->setMinimumSectionSize(1);
    // One text line and a grid line per row, as a report list spaces its rows.
    list->verticalHeader()->setDefaultSectionSize(metrics.height() + 1);
    return list;
}

QWidget* MakeEdit(const ControlTemplate& control, QWidget& parent)
{
    if (control.kind == ControlKind::EditMultiReadOnly) {
        auto* edit = new QPlainTextEdit(&parent);
        edit->setReadOnly(true);
        edit->setPlainText(Text(control));
        return edit;
    }
    auto* edit = new QLineEdit(Text(control), &parent);
    if (control.kind == ControlKind::EditRight)
        edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return edit;
}

QWidget* MakeControl(const ControlTemplate& control, QWidget& parent)
{
    switch (control.kind) {
    case ControlKind::Label:
        return MakeLabel(control, parent, Qt::AlignLeft);
    case ControlKind::LabelCentered:
        return MakeLabel(control, parent, Qt::AlignHCenter);
    case ControlKind::HorizontalLine:
        return MakeLine(parent);
    case ControlKind::GroupBox:
        return MakeGroupFrame(control, parent);
    case ControlKind::Swatch: {
        auto* swatch = new ClickableLabel(&parent);
        swatch->setFrameStyle(QFrame::Box | QFrame::Plain);
        swatch->setAutoFillBackground(true);
        return swatch;
    }
    case ControlKind::PushButton:
    case ControlKind::DefaultButton:
    case ControlKind::PushLikeCheck:
        return MakeButton(control, parent);
    case ControlKind::CheckBox: {
        auto* check = new QCheckBox(Text(control), &parent);
        check->setAutoFillBackground(true); // a group heading hides the frame line behind it
        return check;
    }
    case ControlKind::RadioFirst:
    case ControlKind::Radio:
        return new QRadioButton(Text(control), &parent);
    case ControlKind::ComboList:
        return MakeCombo(control, parent);
    case ControlKind::Edit:
    case ControlKind::EditRight:
    case ControlKind::EditMultiReadOnly:
        return MakeEdit(control, parent);
    case ControlKind::ListReport:
        return MakeReportList(parent);
    }
    return nullptr;
}

// The pixel rectangle of a control. A closed drop-down list is as tall as its text needs (the
// template's height is that of the dropped list); a separator line is at least 2 pixels tall.
QRect ControlRect(const ControlTemplate& control, const DialogBaseUnits& units, QWidget& widget)
{
    QRect rect = units.ToPixels(control.x, control.y, control.width, control.height);
    if (control.kind == ControlKind::ComboList)
        rect.setHeight(widget.sizeHint().height());
    if (control.kind == ControlKind::HorizontalLine)
        rect.setHeight(std::max(2, rect.height()));
    if (control.kind == ControlKind::GroupBox)
        rect.setTop(rect.top() + QFontMetrics(widget.font()).height() / 2);
    return rect;
}

} // namespace

int DialogBaseUnits::ToPixelsX(int units) const { return MulDivRound(units, x, 4); }
int DialogBaseUnits::ToPixelsY(int units) const { return MulDivRound(units, y, 8); }

QRect DialogBaseUnits::ToPixels(int left, int top, int width, int height) const
{
    return { ToPixelsX(left), ToPixelsY(top), ToPixelsX(width), ToPixelsY(height) };
}

QFont DialogFont(int points, int dpi)
{
    // A template's point size is the character height (em) at the screen's resolution.
    return MeterFont(MulDivRound(points, dpi, 72));
}

DialogBaseUnits MeasureBaseUnits(const QFont& font)
{
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return { (letters / 26 + 1) / 2, metrics.height() };
}

std::map<int, QWidget*> BuildFromTemplate(
    QWidget& dialog, const DialogTemplate& dialogTemplate, DialogBaseUnits& baseUnits)
{
    dialog.setFont(DialogFont(dialogTemplate.fontPoints, dialog.logicalDpiY()));
    dialog.setWindowTitle(QString::fromUtf8(dialogTemplate.caption));
    baseUnits = MeasureBaseUnits(dialog.font());

    std::map<int, QWidget*> controls;
    QButtonGroup* group = nullptr;
    for (const ControlTemplate& control : dialogTemplate.controls) {
        QWidget* widget = MakeControl(control, dialog);
        widget->setFont(dialog.font());
        widget->setGeometry(ControlRect(control, baseUnits, *widget));
        if (control.kind == ControlKind::RadioFirst
            || (control.kind == ControlKind::Radio && !group))
            group = new QButtonGroup(&dialog);
        if (control.kind == ControlKind::RadioFirst || control.kind == ControlKind::Radio)
            group->addButton(static_cast<QRadioButton*>(widget), control.id);
        if (!control.shown)
            widget->hide();
        if (control.id != kStaticId) {
            widget->setObjectName(QStringLiteral("control%1").arg(control.id));
            widget->setProperty("controlId", control.id);
            controls[control.id] = widget;
        }
    }
    dialog.setFixedSize(
        baseUnits.ToPixelsX(dialogTemplate.width), baseUnits.ToPixelsY(dialogTemplate.height));
    return controls;
}

} // namespace kerrion
