#include "dialogs/DlgLoudness.h"

#include "app/ProfileText.h"
#include "display/geometry/LoudnessGraph.h"
#include "meter/LoudnessLayout.h"
#include "meter/LoudnessStandard.h"
#include "platform/messages/NotifyTarget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

using kerrion::ControlTemplate;
using kerrion::kStaticId;
using K = kerrion::ControlKind;

constexpr ControlTemplate kControls[] = {
    { kStaticId, K::Label, "番組の構成", 9, 10, 60, 9 },
    { 1101, K::ComboList, " ステレオ (1-2)\n モノラル (1)\n 5.1 (1-6)\n 7.1 (1-8)", 75, 8, 80, 60 },
    { kStaticId, K::Label, "規格", 9, 28, 60, 9 },
    { 1102, K::ComboList, " ARIB TR-B32\n EBU R128\n ATSC A/85\n カスタム", 75, 26, 80, 60 },
    { kStaticId, K::Label, "目標値", 9, 46, 60, 9 },
    { 1103, K::EditRight, "", 75, 44, 36, 12 },
    { kStaticId, K::Label, "LKFS", 115, 46, 30, 9 },
    { kStaticId, K::Label, "トゥルーピーク上限", 9, 64, 66, 9 },
    { 1104, K::EditRight, "", 75, 62, 36, 12 },
    { kStaticId, K::Label, "dBTP", 115, 64, 30, 9 },
    { 1105, K::CheckBox, "ラウドネスを表示する", 9, 82, 100, 9 },
    { 1106, K::CheckBox, "ラウドネスのログを残す (1 秒ごと)", 9, 96, 146, 9 },
    { kStaticId, K::Label, "履歴の長さ", 9, 112, 60, 9 },
    { 1107, K::ComboList, " 1 分\n 3 分\n 10 分\n 30 分\n 60 分", 75, 110, 80, 60 },
    { 1108, K::CheckBox, "メーターを詰めて履歴を表示する (H)", 9, 128, 146, 9 },
    { 2, K::PushButton, "閉じる", 105, 144, 50, 14 },
};

constexpr kerrion::DialogTemplate kTemplate { 164, 166, "ラウドネス設定", 12, kControls };

// The combo rows, in the order the templates list them.
constexpr std::array<kerrion::LoudnessLayout, 4> kLayouts
    = { kerrion::LoudnessLayout::Stereo, kerrion::LoudnessLayout::Mono,
          kerrion::LoudnessLayout::Surround51, kerrion::LoudnessLayout::Surround71 };
constexpr std::array<kerrion::LoudnessStandardId, 4> kStandards
    = { kerrion::LoudnessStandardId::Arib, kerrion::LoudnessStandardId::Ebu,
          kerrion::LoudnessStandardId::Atsc, kerrion::LoudnessStandardId::Custom };

constexpr double kTargetLow = -60.0, kTargetHigh = 0.0; // LKFS
constexpr double kLimitLow = -20.0, kLimitHigh = 3.0;   // dBTP

QString Figure(double value) { return QString::number(value, 'f', 1); }

} // namespace

CDlgLoudness::CDlgLoudness(CSettingsRecord& settings, CNotifyTarget* mainWindow, QWidget* parent)
    : TemplateDialog(kTemplate, parent)
    , m_settings(settings)
    , m_mainWindow(mainWindow)
{
    LoadControls();
    ConnectControls();
}

CDlgLoudness::~CDlgLoudness() = default;

void CDlgLoudness::LoadControls()
{
    kerrion::LoudnessLayout layout = kerrion::LoudnessLayout::Stereo;
    kerrion::ParseLayout(m_settings.Loudness.Layout, layout);
    kerrion::LoudnessStandardId standard = kerrion::LoudnessStandardId::Arib;
    kerrion::LoudnessStandard::Parse(m_settings.Loudness.Standard, standard);
    for (std::size_t i = 0; i < kLayouts.size(); ++i) {
        if (kLayouts[i] == layout)
            ControlAs<QComboBox>(kIdLayout)->setCurrentIndex(static_cast<int>(i));
        if (kStandards[i] == standard)
            ControlAs<QComboBox>(kIdStandard)->setCurrentIndex(static_cast<int>(i));
    }
    ControlAs<QCheckBox>(kIdShow)->setChecked(m_settings.Loudness.Show == 1);
    ControlAs<QCheckBox>(kIdLog)->setChecked(m_settings.Loudness.Log == 1);
    const auto* span = std::find(kerrion::kGraphSpans.begin(), kerrion::kGraphSpans.end(),
        m_settings.Loudness.HistoryMinutes);
    ControlAs<QComboBox>(kIdHistorySpan)
        ->setCurrentIndex(static_cast<int>(span - kerrion::kGraphSpans.begin()));
    ControlAs<QCheckBox>(kIdHistoryRoom)->setChecked(m_settings.Loudness.History == 1);
    ShowStandard();
}

void CDlgLoudness::ConnectControls()
{
    connect(ControlAs<QComboBox>(kIdLayout), &QComboBox::activated, this, [this](int index) {
        m_settings.Loudness.Layout = kerrion::LayoutName(kLayouts[static_cast<std::size_t>(index)]);
        Notify();
    });
    connect(ControlAs<QComboBox>(kIdStandard), &QComboBox::activated, this, [this](int index) {
        m_settings.Loudness.Standard
            = kerrion::LoudnessStandard::Of(kStandards[static_cast<std::size_t>(index)]).key;
        ShowStandard();
        Notify();
    });
    auto* target = ControlAs<QLineEdit>(kIdTarget);
    auto* limit = ControlAs<QLineEdit>(kIdLimit);
    connect(target, &QLineEdit::editingFinished, this, [this, target] {
        TakeFigure(target, m_settings.Loudness.Target, kTargetLow, kTargetHigh);
    });
    connect(limit, &QLineEdit::editingFinished, this, [this, limit] {
        TakeFigure(limit, m_settings.Loudness.TruePeakLimit, kLimitLow, kLimitHigh);
    });
    connect(ControlAs<QCheckBox>(kIdShow), &QCheckBox::clicked, this, [this](bool checked) {
        m_settings.Loudness.Show = checked ? 1 : 0;
        Notify();
    });
    connect(ControlAs<QCheckBox>(kIdLog), &QCheckBox::clicked, this, [this](bool checked) {
        m_settings.Loudness.Log = checked ? 1 : 0;
        Notify();
    });
    connect(ControlAs<QComboBox>(kIdHistorySpan), &QComboBox::activated, this, [this](int index) {
        m_settings.Loudness.HistoryMinutes = kerrion::kGraphSpans[static_cast<std::size_t>(index)];
        Notify();
    });
    connect(ControlAs<QCheckBox>(kIdHistoryRoom), &QCheckBox::clicked, this, [this](bool checked) {
        m_settings.Loudness.History = checked ? 1 : 0;
        Notify();
    });
    connect(ControlAs<QPushButton>(kIdClose), &QPushButton::clicked, this, &CDlgLoudness::reject);
}

void CDlgLoudness::ShowStandard()
{
    kerrion::LoudnessStandardId id = kerrion::LoudnessStandardId::Arib;
    kerrion::LoudnessStandard::Parse(m_settings.Loudness.Standard, id);
    const kerrion::LoudnessStandard standard = kerrion::LoudnessStandard::Of(
        id, m_settings.Loudness.Target, m_settings.Loudness.TruePeakLimit);
    const bool custom = id == kerrion::LoudnessStandardId::Custom;
    for (const auto& [edit, value] : { std::pair { kIdTarget, standard.target },
             std::pair { kIdLimit, standard.truePeakLimit } }) {
        ControlAs<QLineEdit>(edit)->setText(Figure(value));
        ControlAs<QLineEdit>(edit)->setEnabled(custom);
    }
}

void CDlgLoudness::TakeFigure(QLineEdit* edit, double& value, double low, double high)
{
    bool ok = false;
    const double typed = edit->text().trimmed().toDouble(&ok);
    if (ok && std::isfinite(typed) && typed >= low && typed <= high && typed != value) {
        value = typed;
        Notify();
    }
    edit->setText(Figure(value));
}

void CDlgLoudness::Notify()
{
    if (m_mainWindow != nullptr)
        m_mainWindow->PostMessage(kerrion::kMsgSettingsChanged, 0, -1);
}
