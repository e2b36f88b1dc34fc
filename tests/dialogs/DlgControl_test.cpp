// The configuration dialog, driven as a user drives it: every change lands in the settings at
// once and is announced to the main window while the dialog stays open.

#include "dialogs/DlgColor.h"
#include "dialogs/DlgControl.h"

#include "DialogTestSupport.h"
#include "RecordingTarget.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>

using kerrion::test::ChooseItem;
using kerrion::test::PostedMessage;
using kerrion::test::ShowAndWait;

namespace {

constexpr uint32_t kChanged = WM_USER + 3;

class DlgControl : public ::testing::Test {
protected:
    void SetUp() override { m_settings.Meter.Num = 4; }

    QString Cell(CDlgControl& dialog, int row, int column)
    {
        return dialog.ControlAs<QTableWidget>(CDlgControl::kIdList)->item(row, column)->text();
    }

    PostedMessage Last() const { return m_target.messages.back(); }

    CSettingsRecord m_settings;
    kerrion::test::RecordingTarget m_target;
};

} // namespace

TEST_F(DlgControl, OpeningShowsTheSettings)
{
    m_settings.PeakHold.type = 2;
    m_settings.Visible.vu = 0;
    m_settings.Needle.type = 0;
    m_settings.Needle.thick = 4;
    m_settings.Meter.VuPenWidth = 3;
    CDlgControl dialog(m_settings, &m_target);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Kerrion 1.0.0.0"));
    EXPECT_EQ(dialog.ControlAs<QComboBox>(1046)->currentIndex(), 2);
    EXPECT_EQ(dialog.ControlAs<QComboBox>(1035)->currentText(), QStringLiteral(" 4"));
    EXPECT_FALSE(dialog.ControlAs<QCheckBox>(1034)->isChecked());
    EXPECT_TRUE(dialog.ControlAs<QCheckBox>(1039)->isChecked());
    EXPECT_TRUE(dialog.ControlAs<QRadioButton>(1030)->isChecked());
    EXPECT_FALSE(dialog.ControlAs<QRadioButton>(1031)->isChecked());
    EXPECT_EQ(dialog.ControlAs<QComboBox>(1032)->currentText(), QStringLiteral(" 極太"));
    EXPECT_EQ(dialog.ControlAs<QComboBox>(1050)->currentText(), QStringLiteral(" 3"));
    EXPECT_TRUE(m_target.messages.empty()) << "opening changes nothing";
}

TEST_F(DlgControl, MeterCountsOtherThanFourAndEightShowTheNearestChoice)
{
    for (const auto& [num, shown] :
        { std::pair { 1, " 4" }, { 4, " 4" }, { 5, " 8" }, { 8, " 8" } }) {
        m_settings.Meter.Num = num;
        CDlgControl dialog(m_settings, &m_target);
        EXPECT_EQ(dialog.ControlAs<QComboBox>(1035)->currentText(), QString::fromUtf8(shown))
            << num;
        EXPECT_EQ(m_settings.Meter.Num, num) << "unchanged until the user picks";
    }
}

TEST_F(DlgControl, TheListHasEightRowsWhateverTheMeterCount)
{
    m_settings.Channel[1].name = "ギター";
    m_settings.Channel[1].name_visible = 0;
    m_settings.Channel[1].name_pos = 1;
    m_settings.Channel[2].over_th = -3;
    m_settings.Channel[2].over_enable = 0;
    m_settings.Channel[3].name_pos = 0;
    m_settings.Channel[4].name_pos = 7; // only by editing the file
    CDlgControl dialog(m_settings, &m_target);
    auto* list = dialog.ControlAs<QTableWidget>(CDlgControl::kIdList);
    ASSERT_EQ(list->rowCount(), 8);
    ASSERT_EQ(list->columnCount(), 5);
    EXPECT_EQ(Cell(dialog, 0, 0), QStringLiteral(" 1"));
    EXPECT_EQ(Cell(dialog, 7, 0), QStringLiteral(" 8"));
    EXPECT_EQ(Cell(dialog, 1, 1), QStringLiteral("ギター"));
    EXPECT_EQ(Cell(dialog, 1, 2), QStringLiteral("なし")) << "a hidden name whatever its position";
    EXPECT_EQ(Cell(dialog, 0, 2), QStringLiteral("中央下"));
    EXPECT_EQ(Cell(dialog, 3, 2), QStringLiteral("左上"));
    EXPECT_EQ(Cell(dialog, 4, 2), QString());
    EXPECT_EQ(Cell(dialog, 0, 3), QStringLiteral("●"));
    EXPECT_EQ(Cell(dialog, 2, 3), QString());
    EXPECT_EQ(Cell(dialog, 2, 4), QStringLiteral("-3.00"));
    EXPECT_EQ(Cell(dialog, 0, 4), QStringLiteral("0.00"));
    EXPECT_EQ(list->item(0, 1)->textAlignment(), Qt::AlignCenter);
    // The labels above serve as headings: the columns are as wide as they are.
    EXPECT_EQ(list->columnWidth(0), dialog.Control(1037)->width() - 1);
    EXPECT_EQ(list->columnWidth(1), dialog.Control(1040)->width());
    EXPECT_EQ(list->columnWidth(4), dialog.Control(1044)->width() - 5);
    EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_TRUE(list->showGrid());
}

TEST_F(DlgControl, ChoosingEightMetersAppliesWhileTheDialogStaysOpen)
{
    CDlgControl dialog(m_settings, &m_target);
    int shownMeters = 4; // what the main window lays out when told
    m_target.handler = [&](const PostedMessage& m) {
        if (m.message == kChanged && m.wParam != 0)
            shownMeters = m_settings.Meter.Num;
    };
    ASSERT_TRUE(ShowAndWait(dialog));
    auto* count = dialog.ControlAs<QComboBox>(1035);
    ChooseItem(*count, 1);
    EXPECT_EQ(m_settings.Meter.Num, 8);
    EXPECT_EQ(shownMeters, 8);
    EXPECT_EQ(Last(),
        (PostedMessage {
            kChanged, reinterpret_cast<intptr_t>(static_cast<QWidget*>(&dialog)), -1 }));
    EXPECT_TRUE(dialog.isVisible());
    ChooseItem(*count, 0);
    EXPECT_EQ(m_settings.Meter.Num, 4);
    EXPECT_EQ(shownMeters, 4);
}

TEST_F(DlgControl, DisplayOptionsApplyAtOnceAndTellAllMeters)
{
    CDlgControl dialog(m_settings, &m_target);
    ASSERT_TRUE(ShowAndWait(dialog));
    const PostedMessage allMeters { kChanged, 0, -1 };

    QTest::mouseClick(dialog.Control(1034), Qt::LeftButton);
    EXPECT_EQ(m_settings.Visible.vu, 0);
    EXPECT_EQ(Last(), allMeters);
    QTest::mouseClick(dialog.Control(1039), Qt::LeftButton);
    EXPECT_EQ(m_settings.Visible.peak, 0);
    QTest::mouseClick(dialog.Control(1030), Qt::LeftButton);
    EXPECT_EQ(m_settings.Needle.type, 0);
    QTest::mouseClick(dialog.Control(1031), Qt::LeftButton);
    EXPECT_EQ(m_settings.Needle.type, 1);
    ChooseItem(*dialog.ControlAs<QComboBox>(1032), 3);
    EXPECT_EQ(m_settings.Needle.thick, 3);
    ChooseItem(*dialog.ControlAs<QComboBox>(1050), 4);
    EXPECT_EQ(m_settings.Meter.VuPenWidth, 5);
    EXPECT_EQ(Last(), allMeters);
    EXPECT_GE(m_target.messages.size(), 6u);
    for (const PostedMessage& m : m_target.messages)
        EXPECT_EQ(m, allMeters);
}

TEST_F(DlgControl, CommandsOfTheMainWindowAreForwarded)
{
    CDlgControl dialog(m_settings, &m_target);
    ASSERT_TRUE(ShowAndWait(dialog));
    for (int id : { 1005, 1011, 1006 }) {
        QTest::mouseClick(dialog.Control(id), Qt::LeftButton);
        EXPECT_EQ(Last(), (PostedMessage { WM_USER + static_cast<uint32_t>(id), 0, 0 })) << id;
    }
    auto* hold = dialog.ControlAs<QComboBox>(1046);
    ChooseItem(*hold, 1);
    EXPECT_EQ(m_settings.PeakHold.type, 1);
    EXPECT_EQ(Last(), (PostedMessage { WM_USER + 1009, 0, 0 }));
    ChooseItem(*hold, 2);
    EXPECT_EQ(Last(), (PostedMessage { WM_USER + 1010, 0, 0 }));
    ChooseItem(*hold, 0);
    EXPECT_EQ(Last(), (PostedMessage { WM_USER + 1008, 0, 0 }));
    EXPECT_EQ(m_settings.PeakHold.type, 0);
    // The main window's own controls are in the template but never shown.
    for (int id : { 1012, 1013, 1008, 1009, 1010, 1002, 1003 }) {
        ASSERT_NE(dialog.Control(id), nullptr) << id;
        EXPECT_FALSE(dialog.Control(id)->isVisible()) << id;
    }
}

TEST_F(DlgControl, DoubleClickOnARowOpensThatMetersSettingsAndRefillsTheList)
{
    CDlgControl dialog(m_settings, &m_target);
    ASSERT_TRUE(ShowAndWait(dialog));
    // The main window runs the meter settings dialog inside the message; it renames the meter.
    m_target.handler = [&](const PostedMessage& m) {
        if (m.message == WM_USER + 1007)
            m_settings.Channel[static_cast<size_t>(m.wParam)].name = "ピアノ";
    };
    auto* list = dialog.ControlAs<QTableWidget>(CDlgControl::kIdList);
    const QRect cell = list->visualRect(list->model()->index(2, 1));
    kerrion::test::DoubleClick(list->viewport(), cell.center());
    ASSERT_FALSE(m_target.messages.empty());
    EXPECT_EQ(Last(), (PostedMessage { WM_USER + 1007, 2, 0 }));
    EXPECT_EQ(Cell(dialog, 2, 1), QStringLiteral("ピアノ"));

    // Beside the rows (below the last one, where there is room) nothing happens.
    const size_t before = m_target.messages.size();
    const QRect last = list->visualRect(list->model()->index(7, 1));
    if (last.bottom() + 2 < list->viewport()->height())
        kerrion::test::DoubleClick(list->viewport(), QPoint(last.center().x(), last.bottom() + 2));
    EXPECT_EQ(m_target.messages.size(), before);
}

TEST_F(DlgControl, CloseEscapeAndEnterCloseWithoutUndoing)
{
    for (int way = 0; way < 3; ++way) {
        CDlgControl dialog(m_settings, &m_target);
        ASSERT_TRUE(ShowAndWait(dialog));
        QTest::mouseClick(dialog.Control(1034), Qt::LeftButton);
        if (way == 0)
            QTest::mouseClick(dialog.Control(2), Qt::LeftButton);
        else if (way == 1)
            kerrion::test::PressKeyIn(dialog.Control(1035), Qt::Key_Escape);
        else
            kerrion::test::PressKeyIn(dialog.Control(1035), Qt::Key_Return);
        EXPECT_FALSE(dialog.isVisible()) << way;
    }
    EXPECT_EQ(m_settings.Visible.vu, 0) << "switched three times, once per opening";
}

TEST_F(DlgControl, ADisplayChangeClosesTheDialogAsIfCancelled)
{
    CDlgControl dialog(m_settings, &m_target);
    ASSERT_TRUE(ShowAndWait(dialog));
    QScreen* screen = QGuiApplication::primaryScreen();
    emit screen->geometryChanged(screen->geometry()); // what the platform reports on a change
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST_F(DlgControl, TheColourDialogRecoloursTheCommonSetWhileOpen)
{
    CDlgControl dialog(m_settings, &m_target);
    const ColorRef red = MakeColor(220, 20, 30);
    bool needleRecoloured = false; // what the main window sees while the dialogs are open
    m_target.handler = [&](const PostedMessage& m) {
        if (m == PostedMessage { kChanged, 0, 0 })
            needleRecoloured = m_settings.Color[kColorNeedle] == red;
    };
    // In the colour dialog: click the needle swatch, pick red in the system chooser, close.
    kerrion::test::WhenModal<CDlgColor>([&](CDlgColor* colors) {
        kerrion::test::WhenModal<QColorDialog>([](QColorDialog* chooser) {
            EXPECT_EQ(chooser->currentColor(), QColor(Qt::black));
            chooser->setCurrentColor(QColor(220, 20, 30));
            chooser->accept();
        });
        QTest::mouseClick(colors->Control(CDlgColor::kFirstSwatch + kColorNeedle), Qt::LeftButton);
        EXPECT_TRUE(needleRecoloured);
        QTest::mouseClick(colors->Control(CDlgColor::kIdClose), Qt::LeftButton);
    });
    ASSERT_TRUE(ShowAndWait(dialog));
    QTest::mouseClick(dialog.Control(1051), Qt::LeftButton);
    EXPECT_EQ(m_settings.Color[kColorNeedle], red);
    EXPECT_TRUE(needleRecoloured);
    EXPECT_TRUE(dialog.isVisible());
}
