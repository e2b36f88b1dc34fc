#include "dialogs/DlgCal.h"

#include "app/ProfileText.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>

namespace {

using kerrion::ControlTemplate;
using kerrion::kStaticId;
using K = kerrion::ControlKind;

constexpr int kRowPitch = 15; // dialog units between meter rows

constexpr ControlTemplate Check(int i, const char* text)
{
    return { CDlgCal::kFirstCheck + i, K::CheckBox, text, 9, 6 + kRowPitch * i, 36, 12 };
}
constexpr ControlTemplate Edit(int i)
{
    return { CDlgCal::kFirstEdit + i, K::EditRight, "", 51, 6 + kRowPitch * i, 30, 12 };
}
constexpr ControlTemplate Unit(int i)
{
    return { kStaticId, K::Label, "dBFS", 84, 6 + kRowPitch * i, 18, 12 };
}

constexpr ControlTemplate kControls[] = {
    Check(0, "Meter 1"),
    Edit(0),
    Unit(0),
    Check(1, "Meter 2"),
    Edit(1),
    Unit(1),
    Check(2, "Meter 3"),
    Edit(2),
    Unit(2),
    Check(3, "Meter 4"),
    Edit(3),
    Unit(3),
    Check(4, "Meter 5"),
    Edit(4),
    Unit(4),
    Check(5, "Meter 6"),
    Edit(5),
    Unit(5),
    Check(6, "Meter 7"),
    Edit(6),
    Unit(6),
    Check(7, "Meter 8"),
    Edit(7),
    Unit(7),
    { CDlgCal::kIdAllOnOff, K::PushButton, "全てOn/Off", 6, 126, 39, 12 },
    { CDlgCal::kIdCapture, K::PushButton, "実行", 108, 6, 45, 12 },
    { CDlgCal::kIdOk, K::DefaultButton, "OK", 108, 111, 45, 12 },
    { CDlgCal::kIdCancel, K::PushButton, "キャンセル", 108, 126, 45, 14 },
};

constexpr kerrion::DialogTemplate kTemplate { 163, 147, "基準レベル設定", 12, kControls };

QString LevelText(double level) { return QString::fromStdString(kerrion::FormatFixed(level, 2)); }

} // namespace

CDlgCal::CDlgCal(CSettingsRecord&, CNotifyTarget*, const std::array<double, kMeterCount>& levels,
    const double* captured, QWidget* parent)
    : TemplateDialog(kTemplate, parent)
    , m_levels(levels)
    , m_captured(captured)
{
    for (int i = 0; i < kMeterCount; ++i)
        ControlAs<QLineEdit>(kFirstEdit + i)->setText(LevelText(m_levels[static_cast<size_t>(i)]));
    connect(ControlAs<QPushButton>(kIdAllOnOff), &QPushButton::clicked, this, &CDlgCal::ToggleAll);
    connect(ControlAs<QPushButton>(kIdCapture), &QPushButton::clicked, this, &CDlgCal::Capture);
    connect(ControlAs<QPushButton>(kIdOk), &QPushButton::clicked, this, &CDlgCal::accept);
    connect(ControlAs<QPushButton>(kIdCancel), &QPushButton::clicked, this, &CDlgCal::reject);
}

CDlgCal::~CDlgCal() = default;

void CDlgCal::ToggleAll()
{
    // Any meter unchecked: check all; all checked: uncheck all.
    bool allChecked = true;
    for (int i = 0; i < kMeterCount; ++i)
        allChecked = allChecked && ControlAs<QCheckBox>(kFirstCheck + i)->isChecked();
    for (int i = 0; i < kMeterCount; ++i)
        ControlAs<QCheckBox>(kFirstCheck + i)->setChecked(!allChecked);
}

void CDlgCal::Capture()
{
    if (m_captured == nullptr)
        return;
    for (int i = 0; i < kMeterCount; ++i)
        if (ControlAs<QCheckBox>(kFirstCheck + i)->isChecked())
            ControlAs<QLineEdit>(kFirstEdit + i)->setText(LevelText(m_captured[i]));
}

void CDlgCal::accept()
{
    // Text that is not a number reads as 0.0, as everywhere in the settings.
    for (int i = 0; i < kMeterCount; ++i)
        m_levels[static_cast<size_t>(i)] = kerrion::ParseProfileDouble(
            ControlAs<QLineEdit>(kFirstEdit + i)->text().toStdString());
    TemplateDialog::accept();
}
