#include "dialogs/DlgConfig.h"

#include "app/ProfileText.h"
#include "dialogs/DlgColor.h"
#include "dialogs/NotifyRelay.h"
#include "meter/NeedleType.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

#include <algorithm>

namespace {

using kerrion::ControlTemplate;
using kerrion::kStaticId;
using K = kerrion::ControlKind;

constexpr ControlTemplate kControls[] = {
    { kStaticId, K::HorizontalLine, "", 9, 9, 96, 1 },
    { 1015, K::CheckBox, "チャンネル名", 18, 5, 51, 9 },
    { 1014, K::Edit, "", 21, 18, 72, 12 },
    { kStaticId, K::Label, "位置", 21, 36, 18, 9 },
    { 1013, K::ComboList, "左上\n中央上\n右上\n中央下", 45, 36, 48, 54 },
    { kStaticId, K::HorizontalLine, "", 9, 58, 96, 1 },
    { 1016, K::CheckBox, "ピークインジケータ", 18, 54, 69, 9 },
    { kStaticId, K::Label, "閾値", 21, 67, 18, 9 },
    { 1017, K::EditRight, "", 45, 67, 30, 12 },
    { kStaticId, K::Label, "dBFS", 78, 67, 18, 9 },
    { kStaticId, K::HorizontalLine, "", 9, 91, 96, 1 },
    { 1020, K::CheckBox, "個別の色を指定", 18, 87, 57, 9 },
    { 1051, K::PushButton, "色設定", 21, 101, 50, 9 },
    { kStaticId, K::HorizontalLine, "", 9, 117, 96, 1 },
    // In the order of kerrion::kNeedleTypes.
    { kStaticId, K::Label, "メーター種別", 18, 124, 45, 9 },
    { 1060, K::ComboList, "VU\nVU (IEC)\nPPM (DIN)\nPPM (Nordic)\nPPM (BBC)\nPPM (EBU)", 63, 122,
        54, 80 },
    { 1061, K::PushButton, "全メーターに適用", 21, 139, 66, 11 },
    { 1, K::DefaultButton, "OK", 114, 9, 50, 14, false },
    { 2, K::PushButton, "閉じる", 114, 99, 50, 14 },
};

constexpr kerrion::DialogTemplate kTemplate { 172, 156, "メーター設定", 12, kControls };

int MeterTypeIndex(const std::string& key)
{
    const kerrion::NeedleType type = kerrion::ParseNeedleType(key);
    const auto* at = std::find(kerrion::kNeedleTypes.begin(), kerrion::kNeedleTypes.end(), type);
    return static_cast<int>(at - kerrion::kNeedleTypes.begin());
}

} // namespace

CDlgConfig::CDlgConfig(
    CSettingsRecord& settings, CNotifyTarget* mainWindow, int meter, QWidget* parent)
    : TemplateDialog(kTemplate, parent)
    , m_settings(settings)
    , m_mainWindow(mainWindow)
    , m_meter(std::clamp(meter, 0, kMeterCount - 1))
{
    ConnectControls();
    LoadControls();
}

CDlgConfig::~CDlgConfig() = default;

CSettingsRecord::ChannelSection& CDlgConfig::Channel() const
{
    return m_settings.Channel[static_cast<size_t>(m_meter)];
}

void CDlgConfig::LoadControls()
{
    // Filling the two edit fields counts as an edit of each, also when the text is empty:
    // opening stores the name as it is and the threshold as shown, rounded to two decimals.
    const CSettingsRecord::ChannelSection& channel = Channel();
    const QString name = QString::fromStdString(channel.name);
    const QString threshold = QString::fromStdString(kerrion::FormatFixed(channel.over_th, 2));
    auto* nameEdit = ControlAs<QLineEdit>(kIdName);
    auto* thresholdEdit = ControlAs<QLineEdit>(kIdThreshold);
    ControlAs<QCheckBox>(kIdShowName)->setChecked(channel.name_visible != 0);
    nameEdit->setMaxLength(std::max(kNameLength, static_cast<int>(name.size())));
    ControlAs<QComboBox>(kIdNamePosition)->setCurrentIndex(channel.name_pos);
    {
        const QSignalBlocker quiet(nameEdit);
        nameEdit->setText(name);
    }
    OnNameEdited(name);
    ControlAs<QCheckBox>(kIdShowPeakIndicator)->setChecked(channel.over_enable != 0);
    {
        const QSignalBlocker quiet(thresholdEdit);
        thresholdEdit->setText(threshold);
    }
    OnThresholdEdited(threshold);
    ControlAs<QCheckBox>(kIdOwnColors)->setChecked(channel.color_enable != 0);
    // A key this version does not know shows as VU, which it meters as, and stays as written
    // until another type is chosen.
    ControlAs<QComboBox>(kIdMeterType)->setCurrentIndex(MeterTypeIndex(channel.meter_type));
}

void CDlgConfig::ConnectControls()
{
    connect(ControlAs<QCheckBox>(kIdShowName), &QCheckBox::clicked, this, [this](bool checked) {
        Channel().name_visible = checked ? 1 : 0;
        Notify();
    });
    connect(
        ControlAs<QLineEdit>(kIdName), &QLineEdit::textChanged, this, &CDlgConfig::OnNameEdited);
    connect(ControlAs<QComboBox>(kIdNamePosition), &QComboBox::activated, this, [this](int index) {
        Channel().name_pos = index;
        Notify();
    });
    connect(ControlAs<QCheckBox>(kIdShowPeakIndicator), &QCheckBox::clicked, this,
        [this](bool checked) {
            Channel().over_enable = checked ? 1 : 0;
            Notify();
        });
    connect(ControlAs<QLineEdit>(kIdThreshold), &QLineEdit::textChanged, this,
        &CDlgConfig::OnThresholdEdited);
    connect(ControlAs<QCheckBox>(kIdOwnColors), &QCheckBox::clicked, this, [this](bool checked) {
        Channel().color_enable = checked ? 1 : 0;
        Notify();
    });
    connect(ControlAs<QPushButton>(kIdColor), &QPushButton::clicked, this, &CDlgConfig::OpenColors);
    connect(ControlAs<QComboBox>(kIdMeterType), &QComboBox::activated, this,
        &CDlgConfig::OnMeterTypeChosen);
    connect(ControlAs<QPushButton>(kIdMeterTypeToAll), &QPushButton::clicked, this,
        &CDlgConfig::ApplyMeterTypeToAll);
    connect(ControlAs<QPushButton>(kIdOk), &QPushButton::clicked, this, &CDlgConfig::accept);
    connect(ControlAs<QPushButton>(kIdClose), &QPushButton::clicked, this, &CDlgConfig::reject);
}

void CDlgConfig::OnNameEdited(const QString& text)
{
    // Typing stops at the limit; a longer name from the settings file is shown and kept whole
    // and may be shortened but not lengthened, as an edit control's text limit works.
    ControlAs<QLineEdit>(kIdName)->setMaxLength(
        std::max(kNameLength, static_cast<int>(text.size())));
    Channel().name = text.toStdString();
    Notify();
}

void CDlgConfig::OnThresholdEdited(const QString& text)
{
    // At every keystroke; text that is no number (empty, a lone minus) reads as 0.
    Channel().over_th = kerrion::ParseProfileDouble(text.toStdString());
    Notify();
}

void CDlgConfig::OnMeterTypeChosen(int index)
{
    if (index < 0 || index >= static_cast<int>(kerrion::kNeedleTypes.size()))
        return;
    Channel().meter_type
        = kerrion::NeedleTypeName(kerrion::kNeedleTypes[static_cast<size_t>(index)]);
    Notify();
}

void CDlgConfig::ApplyMeterTypeToAll()
{
    const std::string key = Channel().meter_type;
    for (CSettingsRecord::ChannelSection& channel : m_settings.Channel)
        channel.meter_type = key;
    // A settings change redraws every face, so one announcement covers all the meters.
    Notify();
}

void CDlgConfig::Notify()
{
    if (m_mainWindow != nullptr)
        m_mainWindow->PostMessage(kerrion::kMsgSettingsChanged, 0, m_meter);
}

void CDlgConfig::OpenColors()
{
    // The meter's own colours, whether or not they are in use; each change reaches the main
    // window as a change of this meter.
    kerrion::NotifyRelay relay([this](uint32_t, intptr_t, intptr_t) { Notify(); });
    CDlgColor colors(m_settings, &relay, Channel().colors, this);
    colors.exec();
}
