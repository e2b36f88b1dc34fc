#include "display/SonaltDlg.h"

#include "MainWindowTestSupport.h"
#include "dialogs/ImageButton.h"
#include "display/DlgMeter.h"
#include "display/LoudnessHistoryView.h"
#include "support/QtTestApp.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QTableWidget>

using kerrion::test::MeterSettings;

namespace {

// Where a meter is on the screen, whether it is a child of the window or a window of its own.
QPoint MeterAt(const CSonaltDlg& window, int i) { return window.Meter(i).mapToGlobal(QPoint()); }
bool Shown(const CSonaltDlg& window, int i) { return !window.Meter(i).isHidden(); }

} // namespace

TEST(SonaltDlgLayout, FourMetersOnTheLandscapeMonitorUnderTheCursor)
{
    QCursor::setPos(300, 200);
    CSettingsRecord settings = MeterSettings(4);
    CSonaltDlg window(settings);
    EXPECT_EQ(window.MonitorRect(), QRect(0, 0, 1920, 1080));
    EXPECT_EQ(window.geometry(), QRect(0, 0, 1920, 1080));
    EXPECT_EQ(window.Layout().w, 816);
    EXPECT_EQ(window.Layout().h, 460);
    EXPECT_DOUBLE_EQ(window.Layout().s, 0.6);
    EXPECT_EQ(MeterAt(window, 0), QPoint(115, 81));
    EXPECT_EQ(MeterAt(window, 1), QPoint(1007, 81));
    EXPECT_EQ(MeterAt(window, 2), QPoint(115, 595));
    EXPECT_EQ(MeterAt(window, 3), QPoint(1007, 595));
    EXPECT_EQ(window.Meter(0).size(), QSize(816, 460));
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(Shown(window, i)) << i;
    for (int i = 4; i < 8; ++i)
        EXPECT_FALSE(Shown(window, i)) << i;
    EXPECT_EQ(window.ToolbarButton(CSonaltDlg::IDC_CLOSE).pos(), QPoint(1920 - 75, 15));
    EXPECT_FALSE(window.ToolbarButton(CSonaltDlg::IDC_START).isHidden());
    EXPECT_TRUE(window.ToolbarButton(CSonaltDlg::IDC_STOP).isHidden());
}

TEST(SonaltDlgLayout, EightMetersInFourColumns)
{
    QCursor::setPos(10, 10);
    CSettingsRecord settings = MeterSettings(8);
    CSonaltDlg window(settings);
    EXPECT_EQ(window.Layout().columns, 4);
    EXPECT_EQ(window.Layout().w, 408);
    EXPECT_EQ(window.Layout().h, 230);
    EXPECT_EQ(MeterAt(window, 0), QPoint(67, 108));
    EXPECT_EQ(MeterAt(window, 4).y(), 108 + 230 + 108);
    for (int i = 0; i < 8; ++i)
        EXPECT_TRUE(Shown(window, i)) << i;
}

TEST(SonaltDlgLayout, PortraitMonitorGivesOneColumn)
{
    QCursor::setPos(2500, 900);
    CSettingsRecord settings = MeterSettings(4);
    CSonaltDlg window(settings);
    EXPECT_EQ(window.MonitorRect(), QRect(1920, 0, 1080, 1920));
    EXPECT_EQ(window.Layout().w, 612);
    EXPECT_EQ(window.Layout().h, 345);
    const int ys[] = { 96, 479, 862, 1245 };
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(MeterAt(window, i), QPoint(1920 + 216, ys[i])) << i;
}

TEST(SonaltDlgLayout, OneMeterStandsAloneAtFullSize)
{
    QCursor::setPos(2500, 900); // no monitor search for a single meter
    CSettingsRecord settings = MeterSettings(1);
    CSonaltDlg window(settings);
    EXPECT_EQ(window.MonitorRect(), QRect(0, 0, 1360, 768));
    EXPECT_EQ(MeterAt(window, 0), QPoint(0, 0));
    EXPECT_EQ(window.Meter(0).size(), QSize(1360, 768));
    EXPECT_DOUBLE_EQ(window.Layout().s, 1.0);
    EXPECT_EQ(window.pos(), QPoint(window.width(), 768));
    EXPECT_EQ(window.ToolbarButton(CSonaltDlg::IDC_CLOSE).x(), 1285);
}

TEST(SonaltDlgLayout, MeterCountChangeLaysOutAgainAndKeepsTheFocusWindow)
{
    QCursor::setPos(300, 200);
    CSettingsRecord settings = MeterSettings(4);
    CSonaltDlg window(settings);
    settings.Meter.Num = 8;
    QWidget focus;
    window.PostMessage(CSonaltDlg::WM_SETTINGS_CHANGED, reinterpret_cast<intptr_t>(&focus), -1);
    EXPECT_EQ(window.Layout().columns, 4);
    EXPECT_TRUE(Shown(window, 7));
    settings.Meter.Num = 4;
    window.PostMessage(CSonaltDlg::WM_SETTINGS_CHANGED, reinterpret_cast<intptr_t>(&window), -1);
    EXPECT_FALSE(Shown(window, 7));
    EXPECT_EQ(window.Layout().w, 816);
}

TEST(SonaltDlgLayout, HiddenListSummarisesEveryMeter)
{
    CSettingsRecord settings = MeterSettings(4,
        "[Channel2]\nname_visible=0\nname_pos=1\n"
        "[Channel3]\nover_th=-3\nover_enable=0\n");
    CSonaltDlg window(settings);
    const QTableWidget& list = window.MeterList();
    ASSERT_EQ(list.rowCount(), 8);
    EXPECT_EQ(list.item(0, 0)->text(), " 1");
    EXPECT_EQ(list.item(0, 2)->text(), "中央下");
    EXPECT_EQ(list.item(1, 2)->text(), "なし");
    EXPECT_EQ(list.item(2, 4)->text(), "-3.00");
    EXPECT_EQ(list.item(0, 3)->text(), "●");
    EXPECT_EQ(list.item(2, 3)->text(), "");
    EXPECT_FALSE(list.isVisible());
}

// The loudness history takes the room eight meters leave below them. Four leave none: the graph
// stays away until H asks the meters to make room for it, and H gives the room back. It never
// covers a meter, and it goes with the loudness readout.
TEST(SonaltDlgLayout, TheHistoryGraphTakesFreeRoomOrTheMetersMakeRoomForIt)
{
    QCursor::setPos(10, 10);
    CSettingsRecord settings = MeterSettings(8);
    CSonaltDlg window(settings);
    const QWidget& graph = window.LoudnessHistory();
    const auto coversNoMeter = [&](int count) {
        for (int i = 0; i < count; ++i)
            if (window.Meter(i).geometry().intersects(graph.geometry()))
                return false;
        return true;
    };
    EXPECT_FALSE(graph.isHidden());
    EXPECT_EQ(graph.geometry(), QRect(15, 691, 1890, 374));
    EXPECT_TRUE(coversNoMeter(8));
    EXPECT_EQ(window.Layout().h, 230) << "the meters as they always were";

    settings.Meter.Num = 4;
    window.PostMessage(CSonaltDlg::WM_SETTINGS_CHANGED, reinterpret_cast<intptr_t>(&window), -1);
    EXPECT_TRUE(graph.isHidden());
    EXPECT_EQ(window.Layout().h, 460);
    QKeyEvent h(QEvent::KeyPress, Qt::Key_H, Qt::NoModifier, QStringLiteral("h"));
    QCoreApplication::sendEvent(&window, &h);
    EXPECT_EQ(settings.Loudness.History, 1);
    EXPECT_FALSE(graph.isHidden());
    EXPECT_GE(graph.height(), 1080 * 3 / 10 - 15);
    EXPECT_LT(window.Layout().h, 460);
    EXPECT_TRUE(coversNoMeter(4));
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(window.rect().contains(window.Meter(i).geometry())) << "whole " << i;

    settings.Loudness.Show = 0; // the readout hidden: the graph goes with it
    window.PostMessage(CSonaltDlg::WM_SETTINGS_CHANGED, 0, -1);
    EXPECT_TRUE(graph.isHidden());
    EXPECT_EQ(window.Layout().h, 460);
    settings.Loudness.Show = 1;
    window.PostMessage(CSonaltDlg::WM_SETTINGS_CHANGED, 0, -1);
    QCoreApplication::sendEvent(&window, &h);
    EXPECT_EQ(settings.Loudness.History, 0);
    EXPECT_TRUE(graph.isHidden());
    EXPECT_EQ(window.Layout().h, 460);
}
