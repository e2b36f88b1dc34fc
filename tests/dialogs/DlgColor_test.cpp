// The colour dialog: nine swatches, each changed through the chooser, applied and announced at
// once; a cancelled choice changes nothing.

#include "dialogs/DlgColor.h"

#include "DialogTestSupport.h"
#include "RecordingTarget.h"

#include <gtest/gtest.h>

#include <QColorDialog>
#include <QLabel>

using kerrion::test::PostedMessage;
using kerrion::test::ShowAndWait;

namespace {

class DlgColor : public ::testing::Test {
protected:
    QColor SwatchColor(CDlgColor& dialog, int slot)
    {
        return dialog.Control(CDlgColor::kFirstSwatch + slot)->palette().color(QPalette::Window);
    }
    // What the swatch shows on screen, in its middle.
    QColor SwatchPixel(CDlgColor& dialog, int slot)
    {
        QWidget* swatch = dialog.Control(CDlgColor::kFirstSwatch + slot);
        return swatch->grab().toImage().pixelColor(swatch->width() / 2, swatch->height() / 2);
    }

    CSettingsRecord m_settings;
    kerrion::test::RecordingTarget m_target;
    ColorSet m_colors = DefaultColorSet();
};

} // namespace

TEST_F(DlgColor, EachSwatchShowsItsColour)
{
    m_colors[kColorPeak] = MakeColor(1, 2, 3);
    CDlgColor dialog(m_settings, &m_target, m_colors);
    ASSERT_TRUE(ShowAndWait(dialog));
    for (int slot = 0; slot < kColorSlotCount; ++slot) {
        const ColorRef c = m_colors[static_cast<size_t>(slot)];
        EXPECT_EQ(SwatchPixel(dialog, slot), QColor(RedOf(c), GreenOf(c), BlueOf(c))) << slot;
    }
}

TEST_F(DlgColor, AConfirmedColourAppliesAtOnceAndIsAnnounced)
{
    CDlgColor dialog(m_settings, &m_target, m_colors);
    int asked = 0;
    dialog.SetColorChooser([&](QWidget*) {
        ++asked;
        return QColor(10, 200, 30);
    });
    ASSERT_TRUE(ShowAndWait(dialog));
    const ColorSet before = m_colors;
    QTest::mouseClick(dialog.Control(CDlgColor::kFirstSwatch + kColorScaleR), Qt::LeftButton);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(m_colors[kColorScaleR], MakeColor(10, 200, 30));
    EXPECT_EQ(SwatchPixel(dialog, kColorScaleR), QColor(10, 200, 30));
    ASSERT_EQ(m_target.messages.size(), 1u);
    EXPECT_EQ(m_target.messages[0], (PostedMessage { WM_USER + 3, 0, 0 }));
    for (int slot = 0; slot < kColorSlotCount; ++slot) {
        if (slot != kColorScaleR) {
            EXPECT_EQ(m_colors[static_cast<size_t>(slot)], before[static_cast<size_t>(slot)]);
        }
    }
    QTest::mouseClick(dialog.Control(CDlgColor::kIdClose), Qt::LeftButton);
    EXPECT_EQ(m_colors[kColorScaleR], MakeColor(10, 200, 30)) << "closing undoes nothing";
}

TEST_F(DlgColor, ACancelledChooserChangesNothing)
{
    CDlgColor dialog(m_settings, &m_target, m_colors);
    dialog.SetColorChooser([](QWidget*) { return QColor(); });
    const ColorSet before = m_colors;
    ASSERT_TRUE(ShowAndWait(dialog));
    QTest::mouseClick(dialog.Control(CDlgColor::kFirstSwatch + kColorNeedle), Qt::LeftButton);
    EXPECT_EQ(m_colors, before);
    EXPECT_TRUE(m_target.messages.empty());
    EXPECT_EQ(SwatchColor(dialog, kColorNeedle),
        QColor(RedOf(before[kColorNeedle]), GreenOf(before[kColorNeedle]),
            BlueOf(before[kColorNeedle])));
}

TEST_F(DlgColor, TheSystemChooserStartsFromBlack)
{
    CDlgColor dialog(m_settings, &m_target, m_colors);
    ASSERT_TRUE(ShowAndWait(dialog));
    kerrion::test::WhenModal<QColorDialog>([](QColorDialog* chooser) {
        EXPECT_EQ(chooser->currentColor(), QColor(Qt::black));
        chooser->reject();
    });
    const ColorSet before = m_colors;
    QTest::mouseClick(dialog.Control(CDlgColor::kFirstSwatch + kColorMeterBg), Qt::LeftButton);
    EXPECT_EQ(m_colors, before);
    EXPECT_TRUE(m_target.messages.empty());
}
