// The meter settings dialog: every edit of one meter lands in its section at once and is
// announced for that meter.

#include "dialogs/DlgColor.h"
#include "dialogs/DlgConfig.h"
#include "dialogs/DlgControl.h"

#include "DialogTestSupport.h"
#include "RecordingTarget.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTableWidget>

using kerrion::test::ChooseItem;
using kerrion::test::PostedMessage;
using kerrion::test::ShowAndWait;

namespace {

constexpr int kMeter = 5;
const PostedMessage kThisMeter { WM_USER + 3, 0, kMeter };

class DlgConfig : public ::testing::Test {
protected:
    void SetUp() override
    {
        Channel().name = "ベース";
        Channel().over_th = -3.456;
        Channel().name_pos = 2;
        Channel().color_enable = 1;
    }
    CSettingsRecord::ChannelSection& Channel() { return m_settings.Channel[kMeter]; }

    CSettingsRecord m_settings;
    kerrion::test::RecordingTarget m_target;
};

} // namespace

TEST_F(DlgConfig, OpeningStoresTheNameAndTheRoundedThresholdAndAnnouncesBoth)
{
    CDlgConfig dialog(m_settings, &m_target, kMeter);
    EXPECT_EQ(Channel().over_th, -3.46);
    EXPECT_EQ(Channel().name, "ベース");
    EXPECT_EQ(m_target.messages, (std::vector<PostedMessage> { kThisMeter, kThisMeter }));
    EXPECT_TRUE(dialog.ControlAs<QCheckBox>(CDlgConfig::kIdShowName)->isChecked());
    EXPECT_EQ(dialog.ControlAs<QComboBox>(CDlgConfig::kIdNamePosition)->currentText(),
        QStringLiteral("右上"));
    EXPECT_EQ(
        dialog.ControlAs<QLineEdit>(CDlgConfig::kIdThreshold)->text(), QStringLiteral("-3.46"));
    EXPECT_TRUE(dialog.ControlAs<QCheckBox>(CDlgConfig::kIdShowPeakIndicator)->isChecked());
    EXPECT_TRUE(dialog.ControlAs<QCheckBox>(CDlgConfig::kIdOwnColors)->isChecked());
    EXPECT_FALSE(dialog.Control(CDlgConfig::kIdOk)->isVisibleTo(&dialog));
}

TEST_F(DlgConfig, TypingANameAppliesLetterByLetterUpToTwentyCharacters)
{
    CDlgConfig dialog(m_settings, &m_target, kMeter);
    ASSERT_TRUE(ShowAndWait(dialog));
    auto* name = dialog.ControlAs<QLineEdit>(CDlgConfig::kIdName);
    name->selectAll();
    QTest::keyClick(name, Qt::Key_Delete);
    EXPECT_EQ(Channel().name, "");
    m_target.messages.clear();
    std::vector<std::string> seen;
    m_target.handler = [&](const PostedMessage&) { seen.push_back(Channel().name); };
    QTest::keyClicks(name, QStringLiteral("Bass"));
    EXPECT_EQ(seen, (std::vector<std::string> { "B", "Ba", "Bas", "Bass" }));
    EXPECT_EQ(m_target.messages.back(), kThisMeter);
    kerrion::test::TypeText(name, QStringLiteral("ギター１２３４５６７８９０１２３４５６"));
    EXPECT_EQ(QString::fromStdString(Channel().name),
        QStringLiteral("Bassギター１２３４５６７８９０１２３"));
    EXPECT_EQ(name->text().size(), 20) << "a 21st character cannot be typed";
}

TEST_F(DlgConfig, AnEmptyNameIsStoredAndLimitedLikeAnyOther)
{
    Channel().name.clear();
    CDlgConfig dialog(m_settings, &m_target, kMeter);
    EXPECT_EQ(m_target.messages, (std::vector<PostedMessage> { kThisMeter, kThisMeter }));
    ASSERT_TRUE(ShowAndWait(dialog));
    auto* name = dialog.ControlAs<QLineEdit>(CDlgConfig::kIdName);
    kerrion::test::TypeText(name, QStringLiteral("abcdefghijklmnopqrstuvwxyz"));
    EXPECT_EQ(Channel().name, "abcdefghijklmnopqrst");
}

TEST_F(DlgConfig, ALongerNameFromTheFileIsKeptWholeAndCanBeShortened)
{
    const QString longName
        = QStringLiteral("ＡＢＣＤＥＦＧＨＩＪＫＬＭＮＯＰＱＲＳＴＵＶＷＸＹ"); // 25
    Channel().name = longName.toStdString();
    CDlgConfig dialog(m_settings, &m_target, kMeter);
    EXPECT_EQ(QString::fromStdString(Channel().name), longName);
    ASSERT_TRUE(ShowAndWait(dialog));
    auto* name = dialog.ControlAs<QLineEdit>(CDlgConfig::kIdName);
    name->end(false);
    QTest::keyClick(name, Qt::Key_Z);
    EXPECT_EQ(QString::fromStdString(Channel().name), longName) << "no room for more";
    QTest::keyClick(name, Qt::Key_Backspace);
    EXPECT_EQ(QString::fromStdString(Channel().name), longName.left(24));
}

TEST_F(DlgConfig, ChecksAndPositionApplyAtOnce)
{
    CDlgConfig dialog(m_settings, &m_target, kMeter);
    ASSERT_TRUE(ShowAndWait(dialog));
    m_target.messages.clear();
    QTest::mouseClick(dialog.Control(CDlgConfig::kIdShowName), Qt::LeftButton);
    EXPECT_EQ(Channel().name_visible, 0);
    QTest::mouseClick(dialog.Control(CDlgConfig::kIdShowPeakIndicator), Qt::LeftButton);
    EXPECT_EQ(Channel().over_enable, 0);
    QTest::mouseClick(dialog.Control(CDlgConfig::kIdOwnColors), Qt::LeftButton);
    EXPECT_EQ(Channel().color_enable, 0);
    ChooseItem(*dialog.ControlAs<QComboBox>(CDlgConfig::kIdNamePosition), 0);
    EXPECT_EQ(Channel().name_pos, 0);
    EXPECT_EQ(m_target.messages, std::vector<PostedMessage>(4, kThisMeter));

    // The configuration dialog's list, filled again after this dialog, shows the hidden name.
    CDlgControl control(m_settings, nullptr);
    EXPECT_EQ(control.ControlAs<QTableWidget>(CDlgControl::kIdList)->item(kMeter, 2)->text(),
        QStringLiteral("なし"));
    EXPECT_EQ(
        control.ControlAs<QTableWidget>(CDlgControl::kIdList)->item(kMeter, 3)->text(), QString());
}

TEST_F(DlgConfig, TheThresholdFollowsEveryKeystroke)
{
    CDlgConfig dialog(m_settings, &m_target, kMeter);
    ASSERT_TRUE(ShowAndWait(dialog));
    auto* threshold = dialog.ControlAs<QLineEdit>(CDlgConfig::kIdThreshold);
    threshold->selectAll();
    QTest::keyClick(threshold, Qt::Key_Delete);
    EXPECT_EQ(Channel().over_th, 0.0) << "an empty field";
    std::vector<double> seen;
    m_target.handler = [&](const PostedMessage&) { seen.push_back(Channel().over_th); };
    QTest::keyClicks(threshold, QStringLiteral("-6.5x"));
    EXPECT_EQ(seen, (std::vector<double> { 0.0, -6.0, -6.0, -6.5, -6.5 })) << "a lone minus is 0";
    threshold->setText(QStringLiteral("dB"));
    EXPECT_EQ(Channel().over_th, 0.0);
}

TEST_F(DlgConfig, CloseEscapeAndEnterCloseWithoutUndoing)
{
    for (int way = 0; way < 3; ++way) {
        CDlgConfig dialog(m_settings, &m_target, kMeter);
        ASSERT_TRUE(ShowAndWait(dialog));
        QTest::mouseClick(dialog.Control(CDlgConfig::kIdShowName), Qt::LeftButton);
        auto* name = dialog.Control(CDlgConfig::kIdName);
        if (way == 0)
            QTest::mouseClick(dialog.Control(CDlgConfig::kIdClose), Qt::LeftButton);
        else if (way == 1)
            kerrion::test::PressKeyIn(name, Qt::Key_Escape);
        else
            kerrion::test::PressKeyIn(name, Qt::Key_Return);
        EXPECT_FALSE(dialog.isVisible()) << way;
    }
    EXPECT_EQ(Channel().name_visible, 0) << "toggled three times";
}

TEST_F(DlgConfig, TheColourButtonEditsThisMetersOwnColours)
{
    Channel().color_enable = 0; // whether or not they are in use
    CDlgConfig dialog(m_settings, &m_target, kMeter);
    ASSERT_TRUE(ShowAndWait(dialog));
    m_target.messages.clear();
    const ColorSet common = m_settings.Color;
    kerrion::test::WhenModal<CDlgColor>([](CDlgColor* colors) {
        colors->SetColorChooser([](QWidget*) { return QColor(0, 0, 255); });
        colors->ChooseColor(kColorPeak);
        colors->reject();
    });
    QTest::mouseClick(dialog.Control(CDlgConfig::kIdColor), Qt::LeftButton);
    EXPECT_EQ(Channel().colors[kColorPeak], MakeColor(0, 0, 255));
    EXPECT_EQ(m_settings.Color, common);
    EXPECT_EQ(m_target.messages, std::vector<PostedMessage>(1, kThisMeter));
}

TEST_F(DlgConfig, AMeterOutsideTheEightIsHeldToThem)
{
    CDlgConfig dialog(m_settings, &m_target, 12);
    EXPECT_EQ(dialog.Meter(), 7);
}

// The type list opens on the meter's own type (an unknown key shows as VU and is kept); a
// choice applies to this meter alone, the button gives it to all eight.
TEST_F(DlgConfig, TheMeterTypeAppliesToThisMeterOrToAll)
{
    const struct {
        const char* stored;
        const char* shown;
    } opened[] = { { "ppm-ebu", "PPM (EBU)" }, { "VU-IEC", "VU (IEC)" }, { "ppm-xyz", "VU" } };
    for (const auto& row : opened) {
        Channel().meter_type = row.stored;
        CDlgConfig dialog(m_settings, &m_target, kMeter);
        EXPECT_EQ(dialog.ControlAs<QComboBox>(CDlgConfig::kIdMeterType)->currentText(),
            QString::fromUtf8(row.shown));
        EXPECT_EQ(Channel().meter_type, row.stored);
    }

    CDlgConfig dialog(m_settings, &m_target, kMeter);
    ASSERT_TRUE(ShowAndWait(dialog));
    m_target.messages.clear();
    ChooseItem(*dialog.ControlAs<QComboBox>(CDlgConfig::kIdMeterType), 4);
    EXPECT_EQ(Channel().meter_type, "ppm-bbc");
    EXPECT_EQ(m_settings.Channel[0].meter_type, "vu");
    EXPECT_EQ(m_target.messages, std::vector<PostedMessage>(4, kThisMeter)); // one a step
    m_target.messages.clear();
    QTest::mouseClick(dialog.Control(CDlgConfig::kIdMeterTypeToAll), Qt::LeftButton);
    for (const CSettingsRecord::ChannelSection& channel : m_settings.Channel)
        EXPECT_EQ(channel.meter_type, "ppm-bbc");
    EXPECT_EQ(m_target.messages, std::vector<PostedMessage>(1, kThisMeter));
}
