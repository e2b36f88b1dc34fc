#include "dialogs/DlgControl.h"

#include "app/ProfileText.h"
#include "dialogs/DlgColor.h"
#include "dialogs/DlgLoudness.h"
#include "dialogs/NotifyRelay.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>

#include <array>

#ifndef KERRION_PRODUCT_VERSION
#define KERRION_PRODUCT_VERSION ""
#endif

namespace {

using kerrion::ControlKind;
using kerrion::ControlTemplate;
using kerrion::kStaticId;
using K = ControlKind;

constexpr ControlTemplate kControls[] = {
    { kStaticId, K::Label, "メーター数", 9, 6, 39, 9 },
    { 1035, K::ComboList, " 4\n 8", 51, 6, 31, 107 },
    { 1037, K::LabelCentered, "No.", 9, 24, 12, 18 },
    { 1038, K::LabelCentered, "チャンネル名", 21, 24, 60, 9 },
    { 1042, K::LabelCentered, "ピークインジケータ", 81, 24, 60, 9 },
    { 1040, K::LabelCentered, "名称", 21, 33, 30, 9 },
    { 1041, K::LabelCentered, "位置", 51, 33, 30, 9 },
    { 1043, K::LabelCentered, "表示", 81, 33, 24, 9 },
    { 1044, K::LabelCentered, "閾値", 105, 33, 36, 9 },
    { 1007, K::ListReport, "", 9, 42, 132, 69 },
    { kStaticId, K::GroupBox, "  ", 153, 9, 114, 63 },
    { 1034, K::CheckBox, "ＶＵメーターを表示する", 159, 9, 84, 9 },
    { 1030, K::RadioFirst, "剣タイプ", 165, 21, 35, 9 },
    { 1031, K::Radio, "棒タイプ", 165, 36, 35, 9 },
    { kStaticId, K::Label, "太さ", 207, 36, 15, 9 },
    { 1032, K::ComboList, " 極細\n 細\n 中\n 太\n 極太", 225, 36, 30, 107 },
    { kStaticId, K::Label, "スケールの太さ", 165, 54, 57, 9 },
    { 1050, K::ComboList, " 1\n 2\n 3\n 4\n 5", 225, 54, 30, 87 },
    { 1036, K::GroupBox, "  ", 153, 81, 114, 30 },
    { 1039, K::CheckBox, "ピークメーターを表示する", 159, 81, 90, 9 },
    { kStaticId, K::Label, "ピークホールド", 165, 93, 57, 9 },
    { 1046, K::ComboList, " なし\n ２秒\n ４秒", 225, 93, 30, 87 },
    { 1005, K::PushButton, "デバイス選択", 279, 9, 54, 15 },
    { 1011, K::PushButton, "チャンネル指定", 279, 27, 54, 15 },
    { 1006, K::PushButton, "基準レベル設定", 279, 45, 54, 15 },
    { 1051, K::PushButton, "色設定", 279, 63, 54, 15 },
    { 1052, K::PushButton, "ラウドネス設定", 279, 79, 54, 15 },
    { 2, K::PushButton, "閉じる", 279, 96, 54, 15 },
    // Controls of the main window's own that the template carries but never shows.
    { 1012, K::PushButton, "輝度調整...", 261, 111, 54, 9, false },
    { 1013, K::PushButton, "表示設定...", 204, 111, 54, 9, false },
    { 1008, K::RadioFirst, "なし", 9, 111, 30, 9, false },
    { 1009, K::Radio, "2秒", 40, 111, 28, 9, false },
    { 1010, K::Radio, "4秒", 69, 111, 28, 9, false },
    { 1002, K::PushLikeCheck, "開始", 105, 111, 48, 9, false },
    { 1003, K::PushLikeCheck, "停止", 156, 111, 48, 9, false },
};

constexpr kerrion::DialogTemplate kTemplate { 344, 120, "Kerrion", 12, kControls };

constexpr int kColumns = 5;
constexpr std::array<const char*, 4> kPositionTexts = { "左上", "中央上", "右上", "中央下" };

QTableWidgetItem* CenteredItem(const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignCenter);
    return item;
}

} // namespace

CDlgControl::CDlgControl(CSettingsRecord& settings, CNotifyTarget* mainWindow, QWidget* parent)
    : TemplateDialog(kTemplate, parent)
    , m_settings(settings)
    , m_mainWindow(mainWindow)
{
    LoadControls();
    ConnectControls();
}

CDlgControl::~CDlgControl() = default;

QString CDlgControl::Caption()
{
    return QString::fromUtf8(kTemplate.caption) + u' ' + QStringLiteral(KERRION_PRODUCT_VERSION);
}

QString CDlgControl::PositionText(const CSettingsRecord::ChannelSection& channel)
{
    if (channel.name_visible == 0)
        return QStringLiteral("なし");
    // A position the meter cannot draw (only by editing the file) shows as nothing, as on the
    // meter itself.
    if (channel.name_pos < 0 || channel.name_pos >= static_cast<int>(kPositionTexts.size()))
        return {};
    return QString::fromUtf8(kPositionTexts[static_cast<size_t>(channel.name_pos)]);
}

void CDlgControl::LoadControls()
{
    setWindowTitle(Caption());
    ControlAs<QComboBox>(kIdPeakHold)->setCurrentIndex(m_settings.PeakHold.type);

    auto* list = ControlAs<QTableWidget>(kIdList);
    list->setColumnCount(kColumns);
    SetColumnWidths();
    FillList();

    ControlAs<QComboBox>(kIdMeterCount)->setCurrentIndex(m_settings.Meter.Num > 4 ? 1 : 0);
    ControlAs<QCheckBox>(kIdShowVu)->setChecked(m_settings.Visible.vu != 0);
    ControlAs<QCheckBox>(kIdShowPeak)->setChecked(m_settings.Visible.peak != 0);
    ControlAs<QRadioButton>(kIdSword)->setChecked(m_settings.Needle.type == 0);
    ControlAs<QRadioButton>(kIdBar)->setChecked(m_settings.Needle.type != 0);
    ControlAs<QComboBox>(kIdThickness)->setCurrentIndex(m_settings.Needle.thick);
    ControlAs<QComboBox>(kIdScaleWidth)->setCurrentIndex(m_settings.Meter.VuPenWidth - 1);
}

void CDlgControl::SetColumnWidths()
{
    // The labels above the list are its headings: each column is as wide as its label.
    auto* list = ControlAs<QTableWidget>(kIdList);
    const int widths[kColumns] = {
        Control(kIdLabelNo)->width() - 1,
        Control(kIdLabelName)->width(),
        Control(kIdLabelPosition)->width(),
        Control(kIdLabelShow)->width(),
        Control(kIdLabelThreshold)->width() - 5,
    };
    for (int c = 0; c < kColumns; ++c)
        list->setColumnWidth(c, widths[c]);
}

void CDlgControl::FillList()
{
    auto* list = ControlAs<QTableWidget>(kIdList);
    list->clearContents();
    list->setRowCount(kMeterCount);
    for (int i = 0; i < kMeterCount; ++i) {
        const CSettingsRecord::ChannelSection& channel = m_settings.Channel[static_cast<size_t>(i)];
        list->setItem(i, 0, CenteredItem(QString::asprintf("%2d", i + 1)));
        list->setItem(i, 1, CenteredItem(QString::fromUtf8(channel.name)));
        list->setItem(i, 2, CenteredItem(PositionText(channel)));
        list->setItem(
            i, 3, CenteredItem(channel.over_enable == 1 ? QStringLiteral("●") : QString()));
        list->setItem(
            i, 4, CenteredItem(QString::fromStdString(kerrion::FormatFixed(channel.over_th, 2))));
    }
}

void CDlgControl::ConnectControls()
{
    connect(ControlAs<QComboBox>(kIdMeterCount), &QComboBox::activated, this, [this](int index) {
        m_settings.Meter.Num = index == 0 ? 4 : 8;
        Notify(reinterpret_cast<intptr_t>(static_cast<QWidget*>(this)));
    });
    connect(ControlAs<QCheckBox>(kIdShowVu), &QCheckBox::clicked, this, [this](bool checked) {
        m_settings.Visible.vu = checked ? 1 : 0;
        Notify(0);
    });
    connect(ControlAs<QCheckBox>(kIdShowPeak), &QCheckBox::clicked, this, [this](bool checked) {
        m_settings.Visible.peak = checked ? 1 : 0;
        Notify(0);
    });
    for (int id : { kIdSword, kIdBar })
        connect(ControlAs<QRadioButton>(id), &QRadioButton::clicked, this, [this] {
            m_settings.Needle.type = ControlAs<QRadioButton>(kIdSword)->isChecked() ? 0 : 1;
            Notify(0);
        });
    connect(ControlAs<QComboBox>(kIdThickness), &QComboBox::activated, this, [this](int index) {
        m_settings.Needle.thick = index;
        Notify(0);
    });
    connect(ControlAs<QComboBox>(kIdScaleWidth), &QComboBox::activated, this, [this](int index) {
        m_settings.Meter.VuPenWidth = index + 1;
        Notify(0);
    });
    connect(ControlAs<QComboBox>(kIdPeakHold), &QComboBox::activated, this, [this](int index) {
        m_settings.PeakHold.type = index;
        Forward(1008 + index);
    });
    for (int id : { kIdDevice, kIdAssign, kIdCalibrate })
        connect(
            ControlAs<QPushButton>(id), &QPushButton::clicked, this, [this, id] { Forward(id); });
    connect(
        ControlAs<QPushButton>(kIdColor), &QPushButton::clicked, this, &CDlgControl::OpenColors);
    connect(ControlAs<QPushButton>(kIdLoudness), &QPushButton::clicked, this, [this] {
        CDlgLoudness loudness(m_settings, m_mainWindow, this);
        loudness.exec();
    });
    connect(ControlAs<QPushButton>(kIdClose), &QPushButton::clicked, this, &CDlgControl::reject);
    connect(ControlAs<QTableWidget>(kIdList), &QTableWidget::cellDoubleClicked, this,
        [this](int row, int) { OnListDoubleClicked(row); });
}

void CDlgControl::Notify(intptr_t meterCountChanged)
{
    if (m_mainWindow != nullptr)
        m_mainWindow->PostMessage(kerrion::kMsgSettingsChanged, meterCountChanged, -1);
}

void CDlgControl::Forward(int controlId, intptr_t wParam)
{
    if (m_mainWindow != nullptr)
        m_mainWindow->PostMessage(WM_USER + static_cast<uint32_t>(controlId), wParam, 0);
}

void CDlgControl::OnListDoubleClicked(int row)
{
    // Only a row of the list counts; a double click beside the rows does nothing.
    if (row < 0 || row >= ControlAs<QTableWidget>(kIdList)->rowCount())
        return;
    Forward(kIdList, row);
    FillList();
}

void CDlgControl::OpenColors()
{
    // The colour dialog's notices go on to the main window unchanged.
    kerrion::NotifyRelay relay([this](uint32_t message, intptr_t wParam, intptr_t lParam) {
        if (m_mainWindow != nullptr)
            m_mainWindow->PostMessage(message, wParam, lParam);
    });
    CDlgColor colors(m_settings, &relay, m_settings.Color, this);
    colors.exec();
}
