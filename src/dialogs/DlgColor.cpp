#include "dialogs/DlgColor.h"

#include "dialogs/ClickableLabel.h"
#include "display/QtShapes.h"

#include <QColorDialog>
#include <QPushButton>

namespace {

using kerrion::ControlTemplate;
using kerrion::kStaticId;
using K = kerrion::ControlKind;

constexpr int kRowPitch = 15; // dialog units between slot rows

constexpr ControlTemplate Swatch(int slot)
{
    return { CDlgColor::kFirstSwatch + slot, K::Swatch, "", 9, 9 + kRowPitch * slot, 15, 12 };
}
constexpr ControlTemplate SlotLabel(int slot, const char* text)
{
    return { kStaticId, K::Label, text, 30, 9 + kRowPitch * slot, 66, 12 };
}

constexpr ControlTemplate kControls[] = {
    Swatch(0),
    SlotLabel(0, "メーターの背景"),
    Swatch(1),
    SlotLabel(1, "メーターの枠"),
    Swatch(2),
    SlotLabel(2, "ＣＨ名"),
    Swatch(3),
    SlotLabel(3, "針"),
    Swatch(4),
    SlotLabel(4, "ピーク"),
    Swatch(5),
    SlotLabel(5, "スケール(左)"),
    Swatch(6),
    SlotLabel(6, "スケール(右)"),
    Swatch(7),
    SlotLabel(7, "ピークインジケータ"),
    Swatch(8),
    SlotLabel(8, "　（閾値）"),
    { CDlgColor::kIdClose, K::PushButton, "閉じる", 27, 150, 50, 14 },
};

constexpr kerrion::DialogTemplate kTemplate { 104, 171, "色設定", 12, kControls };

} // namespace

CDlgColor::CDlgColor(CSettingsRecord&, CNotifyTarget* notify, ColorSet& colors, QWidget* parent)
    : TemplateDialog(kTemplate, parent)
    , m_notify(notify)
    , m_colors(colors)
    , m_chooser(&CDlgColor::AskSystemChooser)
{
    for (int slot = 0; slot < kColorSlotCount; ++slot) {
        PaintSwatch(slot);
        connect(ControlAs<kerrion::ClickableLabel>(kFirstSwatch + slot),
            &kerrion::ClickableLabel::clicked, this, [this, slot] { ChooseColor(slot); });
    }
    connect(ControlAs<QPushButton>(kIdClose), &QPushButton::clicked, this, &CDlgColor::reject);
}

CDlgColor::~CDlgColor() = default;

QColor CDlgColor::AskSystemChooser(QWidget* parent)
{
    return QColorDialog::getColor(Qt::black, parent, QStringLiteral("色の設定"));
}

void CDlgColor::ChooseColor(int slot)
{
    if (slot < 0 || slot >= kColorSlotCount)
        return;
    const QColor chosen = m_chooser(this);
    if (!chosen.isValid())
        return; // cancelled: the old colour stays
    m_colors[static_cast<size_t>(slot)] = MakeColor(chosen.red(), chosen.green(), chosen.blue());
    PaintSwatch(slot);
    Control(kFirstSwatch + slot)->repaint();
    if (m_notify != nullptr)
        m_notify->PostMessage(kerrion::kMsgSettingsChanged, 0, 0);
}

void CDlgColor::PaintSwatch(int slot)
{
    QWidget* swatch = Control(kFirstSwatch + slot);
    QPalette palette = swatch->palette();
    palette.setColor(QPalette::Window, kerrion::ToQColor(m_colors[static_cast<size_t>(slot)]));
    swatch->setPalette(palette);
}
