// The reference level dialog: typed levels, levels captured from the live table for the
// checked meters, applied only on OK.

#include "dialogs/DlgCal.h"

#include "DialogTestSupport.h"
#include "RecordingTarget.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>

using kerrion::test::ShowAndWait;

namespace {

class DlgCal : public ::testing::Test {
protected:
    QCheckBox* Check(CDlgCal& dialog, int i)
    {
        return dialog.ControlAs<QCheckBox>(CDlgCal::kFirstCheck + i);
    }
    QLineEdit* Edit(CDlgCal& dialog, int i)
    {
        return dialog.ControlAs<QLineEdit>(CDlgCal::kFirstEdit + i);
    }
    int Checked(CDlgCal& dialog)
    {
        int n = 0;
        for (int i = 0; i < kMeterCount; ++i)
            n += Check(dialog, i)->isChecked() ? 1 : 0;
        return n;
    }

    CSettingsRecord m_settings;
    kerrion::test::RecordingTarget m_target;
    std::array<double, kMeterCount> m_levels { -20, -18.5, -20, -3.456, -20, -20, -16, 0 };
    double m_captured[kMeterCount] = { -12.345, -11, -10.004, -9, -8, -7, -6, -5 };
};

} // namespace

TEST_F(DlgCal, OpeningShowsTheLevelsWithTwoDecimalsAndNothingChecked)
{
    CDlgCal dialog(m_settings, &m_target, m_levels, m_captured);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("基準レベル設定"));
    EXPECT_EQ(Edit(dialog, 0)->text(), QStringLiteral("-20.00"));
    EXPECT_EQ(Edit(dialog, 1)->text(), QStringLiteral("-18.50"));
    EXPECT_EQ(Edit(dialog, 3)->text(), QStringLiteral("-3.46"));
    EXPECT_EQ(Edit(dialog, 7)->text(), QStringLiteral("0.00"));
    EXPECT_EQ(Edit(dialog, 0)->alignment() & Qt::AlignRight, Qt::AlignRight);
    EXPECT_EQ(Checked(dialog), 0);
    EXPECT_EQ(Check(dialog, 4)->text(), QStringLiteral("Meter 5"));
}

TEST_F(DlgCal, AllOnOffChecksAllUnlessAllAreChecked)
{
    CDlgCal dialog(m_settings, &m_target, m_levels, m_captured);
    ASSERT_TRUE(ShowAndWait(dialog));
    for (int i : { 0, 4, 6 })
        QTest::mouseClick(Check(dialog, i), Qt::LeftButton);
    ASSERT_EQ(Checked(dialog), 3);
    QWidget* all = dialog.Control(CDlgCal::kIdAllOnOff);
    QTest::mouseClick(all, Qt::LeftButton);
    EXPECT_EQ(Checked(dialog), 8);
    QTest::mouseClick(all, Qt::LeftButton);
    EXPECT_EQ(Checked(dialog), 0);
    QTest::mouseClick(all, Qt::LeftButton);
    EXPECT_EQ(Checked(dialog), 8);
    // Enter on the focused button presses it rather than OK.
    kerrion::test::PressKeyIn(all, Qt::Key_Return);
    EXPECT_EQ(Checked(dialog), 0);
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(DlgCal, ExecuteFillsOnlyTheCheckedMetersFromTheLiveTableAndCancelDiscardsIt)
{
    CDlgCal dialog(m_settings, &m_target, m_levels, m_captured);
    ASSERT_TRUE(ShowAndWait(dialog));
    QTest::mouseClick(Check(dialog, 0), Qt::LeftButton);
    QTest::mouseClick(Check(dialog, 2), Qt::LeftButton);
    Edit(dialog, 5)->setText(QStringLiteral("-30"));
    QTest::mouseClick(dialog.Control(CDlgCal::kIdCapture), Qt::LeftButton);
    EXPECT_EQ(Edit(dialog, 0)->text(), QStringLiteral("-12.35")) << "%.2f of -12.345";
    EXPECT_EQ(Edit(dialog, 2)->text(), QStringLiteral("-10.00"));
    EXPECT_EQ(Edit(dialog, 1)->text(), QStringLiteral("-18.50"));
    EXPECT_EQ(Edit(dialog, 5)->text(), QStringLiteral("-30")) << "unchecked fields keep their text";
    // The table is read when the button is pressed: the main window keeps it current.
    m_captured[0] = -1.5;
    QTest::mouseClick(dialog.Control(CDlgCal::kIdCapture), Qt::LeftButton);
    EXPECT_EQ(Edit(dialog, 0)->text(), QStringLiteral("-1.50"));
    QTest::mouseClick(dialog.Control(CDlgCal::kIdCancel), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(dialog.Levels(), m_levels);
}

TEST_F(DlgCal, OkStoresTheFieldsAsDecimalsAndLettersAsZero)
{
    CDlgCal dialog(m_settings, &m_target, m_levels, nullptr);
    ASSERT_TRUE(ShowAndWait(dialog));
    QTest::mouseClick(Check(dialog, 0), Qt::LeftButton);
    QTest::mouseClick(dialog.Control(CDlgCal::kIdCapture), Qt::LeftButton);
    EXPECT_EQ(Edit(dialog, 0)->text(), QStringLiteral("-20.00")) << "no table, nothing captured";
    Edit(dialog, 1)->clear();
    QTest::keyClicks(Edit(dialog, 1), QStringLiteral("abc"));
    Edit(dialog, 2)->setText(QStringLiteral("-12.5dB"));
    Edit(dialog, 3)->setText(QString());
    Edit(dialog, 4)->setText(QStringLiteral("  -7.25"));
    kerrion::test::PressKeyIn(Edit(dialog, 4), Qt::Key_Return); // Enter is OK
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    const std::array<double, kMeterCount> expected { -20, 0.0, -12.5, 0.0, -7.25, -20, -16, 0 };
    EXPECT_EQ(dialog.Levels(), expected);
}
