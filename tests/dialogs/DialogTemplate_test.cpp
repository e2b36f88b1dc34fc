// The template builder: dialog units from the font, and every dialog's size and control places
// as its template gives them, at the default font.

#include "dialogs/DialogTemplate.h"
#include "dialogs/DlgAssign.h"
#include "dialogs/DlgCal.h"
#include "dialogs/DlgColor.h"
#include "dialogs/DlgConfig.h"
#include "dialogs/DlgControl.h"
#include "dialogs/DlgDevice.h"
#include "support/QtTestApp.h"

#include "DialogTestSupport.h"
#include "RecordingTarget.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>

namespace {

using kerrion::DialogBaseUnits;

// Expects control `id` at x, y, width, height dialog units (a drop-down list: its height is
// that of its text, not of the dropped list).
void ExpectPlaced(const kerrion::TemplateDialog& dialog, int id, int x, int y, int w, int h)
{
    const QWidget* control = dialog.Control(id);
    ASSERT_NE(control, nullptr) << id;
    const DialogBaseUnits& u = dialog.BaseUnits();
    QRect expected = u.ToPixels(x, y, w, h);
    if (qobject_cast<const QComboBox*>(control) != nullptr)
        expected.setHeight(control->height());
    EXPECT_EQ(control->geometry(), expected) << "control " << id;
}

void ExpectSize(const kerrion::TemplateDialog& dialog, int w, int h)
{
    const DialogBaseUnits& u = dialog.BaseUnits();
    EXPECT_EQ(dialog.size(), QSize(u.ToPixelsX(w), u.ToPixelsY(h)));
}

class DialogTemplate : public ::testing::Test {
protected:
    CSettingsRecord m_settings;
    kerrion::test::RecordingTarget m_target;
};

} // namespace

TEST_F(DialogTemplate, DialogUnitsFollowTheFontsAverageWidthAndHeight)
{
    const DialogBaseUnits units { 7, 15 };
    EXPECT_EQ(units.ToPixelsX(4), 7);
    EXPECT_EQ(units.ToPixelsX(2), 4);   // 3.5 rounds up
    EXPECT_EQ(units.ToPixelsX(-2), -4); // and away from zero
    EXPECT_EQ(units.ToPixelsY(8), 15);
    EXPECT_EQ(units.ToPixelsY(3), 6); // 5.625
    EXPECT_EQ(units.ToPixels(4, 8, 40, 16), QRect(7, 15, 70, 30));

    // 12 points at 96 dpi is a 16-pixel Japanese font; its base units are its letters' average
    // width (rounded up) and its height.
    const QFont font = kerrion::DialogFont(12, 96);
    EXPECT_EQ(font.pixelSize(), 16);
    const QString family = QFontInfo(font).family();
    EXPECT_TRUE(family.startsWith(QStringLiteral("IPA")) || family.contains(QStringLiteral("CJK"))
        || family.contains(QStringLiteral("Meiryo")))
        << family.toStdString();
    const DialogBaseUnits measured = kerrion::MeasureBaseUnits(font);
    const QFontMetrics metrics(font);
    const double average = metrics.horizontalAdvance(QStringLiteral(
                               "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"))
        / 52.0;
    EXPECT_GE(measured.x, average - 0.5);
    EXPECT_LE(measured.x, average + 1.0);
    EXPECT_EQ(measured.y, metrics.height());
}

TEST_F(DialogTemplate, ConfigurationDialogFollowsTemplate144)
{
    CDlgControl dialog(m_settings, &m_target);
    ExpectSize(dialog, 344, 120);
    ExpectPlaced(dialog, 1035, 51, 6, 31, 107);
    ExpectPlaced(dialog, 1037, 9, 24, 12, 18);
    ExpectPlaced(dialog, 1007, 9, 42, 132, 69);
    ExpectPlaced(dialog, 1034, 159, 9, 84, 9);
    ExpectPlaced(dialog, 1031, 165, 36, 35, 9);
    ExpectPlaced(dialog, 1050, 225, 54, 30, 87);
    ExpectPlaced(dialog, 1046, 225, 93, 30, 87);
    ExpectPlaced(dialog, 1051, 279, 63, 54, 15);
    ExpectPlaced(dialog, 2, 279, 96, 54, 15);
    ExpectPlaced(dialog, 1012, 261, 111, 54, 9);
    // The group's frame runs through the middle of its heading check box.
    const QWidget* heading = dialog.Control(1039);
    const QRect frame = dialog.Control(1036)->geometry();
    EXPECT_GT(frame.top(), heading->geometry().top());
    EXPECT_LT(frame.top(), heading->geometry().bottom());
}

TEST_F(DialogTemplate, DeviceAndMeterSettingsDialogsFollowTheirTemplates)
{
    CDlgDevice device(m_settings, &m_target, 0, 0, "", nullptr);
    ExpectSize(device, 245, 120);
    ExpectPlaced(device, 1004, 45, 9, 134, 80);
    ExpectPlaced(device, 1005, 186, 9, 51, 11);
    ExpectPlaced(device, 1305, 9, 33, 228, 60);
    ExpectPlaced(device, 1, 132, 99, 50, 14);
    ExpectPlaced(device, 2, 186, 99, 50, 14);

    CDlgConfig config(m_settings, &m_target, 0);
    ExpectSize(config, 172, 156);
    ExpectPlaced(config, 1015, 18, 5, 51, 9);
    ExpectPlaced(config, 1014, 21, 18, 72, 12);
    ExpectPlaced(config, 1013, 45, 36, 48, 54);
    ExpectPlaced(config, 1017, 45, 67, 30, 12);
    ExpectPlaced(config, 1051, 21, 101, 50, 9);
    ExpectPlaced(config, 1060, 63, 122, 54, 80);
    ExpectPlaced(config, 1061, 21, 139, 66, 11);
    ExpectPlaced(config, 2, 114, 99, 50, 14);
}

TEST_F(DialogTemplate, SmallDialogsFollowTheirTemplates)
{
    CDlgCal cal(m_settings, &m_target, {}, nullptr);
    ExpectSize(cal, 163, 147);
    for (int i = 0; i < kMeterCount; ++i) {
        ExpectPlaced(cal, 1021 + i, 9, 6 + 15 * i, 36, 12);
        ExpectPlaced(cal, 1031 + i, 51, 6 + 15 * i, 30, 12);
    }
    ExpectPlaced(cal, 1029, 6, 126, 39, 12);
    ExpectPlaced(cal, 1030, 108, 6, 45, 12);
    ExpectPlaced(cal, 1, 108, 111, 45, 12);
    ExpectPlaced(cal, 2, 108, 126, 45, 14);

    CDlgColor color(m_settings, &m_target, m_settings.Color);
    ExpectSize(color, 104, 171);
    for (int i = 0; i < kColorSlotCount; ++i)
        ExpectPlaced(color, 1041 + i, 9, 9 + 15 * i, 15, 12);
    ExpectPlaced(color, 2, 27, 150, 50, 14);

    CDlgAssign assign(m_settings, &m_target, {});
    for (int r = 0; r < kMeterCount; ++r)
        ExpectPlaced(assign, 1021 + r, 12, 27 + 12 * r, 30, 11);
    ExpectPlaced(assign, 1, 336, 129, 50, 14);
    ExpectPlaced(assign, 2, 390, 129, 50, 14);
    EXPECT_EQ(assign.height(), assign.BaseUnits().ToPixelsY(153));
}

TEST_F(DialogTemplate, TextsAreTheDialogsOwn)
{
    CDlgControl control(m_settings, &m_target);
    EXPECT_EQ(control.ControlAs<QLabel>(1042)->text(), QStringLiteral("ピークインジケータ"));
    EXPECT_EQ(control.ControlAs<QComboBox>(1032)->itemText(4), QStringLiteral(" 極太"));
    EXPECT_EQ(control.ControlAs<QComboBox>(1046)->itemText(1), QStringLiteral(" ２秒"));
    CDlgColor color(m_settings, &m_target, m_settings.Color);
    EXPECT_EQ(color.windowTitle(), QStringLiteral("色設定"));
    const QList<QLabel*> labels = color.findChildren<QLabel*>();
    EXPECT_TRUE(std::any_of(labels.begin(), labels.end(),
        [](const QLabel* l) { return l->text() == QStringLiteral("　（閾値）"); }));
    CDlgConfig config(m_settings, &m_target, 0);
    EXPECT_EQ(config.windowTitle(), QStringLiteral("メーター設定"));
}
