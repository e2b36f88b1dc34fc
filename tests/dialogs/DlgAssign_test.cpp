// The channel assignment grid: laid out from the first row label, one choice per row, applied
// only on OK.

#include "dialogs/DlgAssign.h"

#include "DialogTestSupport.h"
#include "RecordingTarget.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QRadioButton>

using kerrion::test::ShowAndWait;

namespace {

class DlgAssign : public ::testing::Test {
protected:
    QRadioButton* Radio(CDlgAssign& dialog, int row, int column)
    {
        return dialog.ControlAs<QRadioButton>(CDlgAssign::kFirstRadio + 30 * row + column);
    }

    CSettingsRecord m_settings;
    kerrion::test::RecordingTarget m_target;
    std::array<int, kMeterCount> m_map { 0, 1, 2, 3, 4, 5, 31, 29 };
};

} // namespace

TEST_F(DlgAssign, TheGridIsLaidOutFromTheRowLabels)
{
    CDlgAssign dialog(m_settings, &m_target, m_map);
    const QRect first = dialog.Control(1021)->geometry();
    const int a = first.height();
    const int right = first.x() + first.width();
    ASSERT_GT(a, 0);
    for (int c : { 0, 1, 29 }) {
        auto* heading = dialog.ControlAs<QLabel>(CDlgAssign::kFirstHeading + c);
        ASSERT_NE(heading, nullptr);
        EXPECT_EQ(heading->text(), QString::number(c + 1));
        EXPECT_EQ(heading->geometry(), QRect(right + a / 4 + c * a, first.y() - a, a, a)) << c;
    }
    for (int r = 0; r < kMeterCount; ++r) {
        const QRect label = dialog.Control(1021 + r)->geometry();
        EXPECT_EQ(
            dialog.ControlAs<QLabel>(1021 + r)->text(), QStringLiteral("METER %1").arg(r + 1));
        for (int c : { 0, 17, 29 })
            EXPECT_EQ(Radio(dialog, r, c)->geometry(),
                QRect(label.x() + label.width() + a / 2 + c * a, label.y(), a, a))
                << r << "," << c;
    }
    const QRect last = Radio(dialog, 7, 29)->geometry();
    EXPECT_EQ(
        dialog.width(), std::max(last.x() + last.width() + 20, dialog.BaseUnits().ToPixelsX(451)));
    EXPECT_EQ(dialog.findChildren<QRadioButton*>().size(), 240);
}

TEST_F(DlgAssign, EachRowStartsAtItsChannelAndAChannelBeyondTheGridKeepsNoChoice)
{
    CDlgAssign dialog(m_settings, &m_target, m_map);
    for (int r = 0; r < 6; ++r)
        EXPECT_TRUE(Radio(dialog, r, r)->isChecked()) << r;
    for (int c = 0; c < 30; ++c)
        EXPECT_FALSE(Radio(dialog, 6, c)->isChecked()) << c;
    EXPECT_TRUE(Radio(dialog, 7, 29)->isChecked());
    ASSERT_TRUE(ShowAndWait(dialog));
    QTest::mouseClick(dialog.Control(CDlgAssign::kIdOk), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.ChannelMap(), m_map) << "31 stays 31";
}

TEST_F(DlgAssign, ClicksChooseOneChannelPerRowAndOkAppliesThem)
{
    CDlgAssign dialog(m_settings, &m_target, m_map);
    ASSERT_TRUE(ShowAndWait(dialog));
    QTest::mouseClick(Radio(dialog, 2, 5), Qt::LeftButton, {}, QPoint(6, 8));
    EXPECT_TRUE(Radio(dialog, 2, 5)->isChecked());
    EXPECT_FALSE(Radio(dialog, 2, 2)->isChecked()) << "one choice per row";
    EXPECT_TRUE(Radio(dialog, 3, 3)->isChecked()) << "other rows keep theirs";
    QTest::mouseClick(Radio(dialog, 6, 12), Qt::LeftButton, {}, QPoint(6, 8));
    EXPECT_EQ(dialog.ChannelMap(), m_map) << "nothing applies before OK";
    kerrion::test::PressKeyIn(Radio(dialog, 6, 12), Qt::Key_Return); // Enter is OK
    std::array<int, kMeterCount> expected = m_map;
    expected[2] = 5;
    expected[6] = 12;
    EXPECT_EQ(dialog.ChannelMap(), expected);
}

TEST_F(DlgAssign, CancelKeepsTheMap)
{
    CDlgAssign dialog(m_settings, &m_target, m_map);
    ASSERT_TRUE(ShowAndWait(dialog));
    QTest::mouseClick(Radio(dialog, 0, 9), Qt::LeftButton, {}, QPoint(6, 8));
    QTest::mouseClick(dialog.Control(CDlgAssign::kIdCancel), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(dialog.ChannelMap(), m_map);
}
