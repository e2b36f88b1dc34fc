// Every settings dialog on a real X server with the Japanese font: the pictures in docs/ come from
// here (KERRION_SCREENSHOT_DIR names where they go), and no text may be cut off by its control.

#include "dialogs/DlgAssign.h"
#include "dialogs/DlgCal.h"
#include "dialogs/DlgColor.h"
#include "dialogs/DlgConfig.h"
#include "dialogs/DlgControl.h"
#include "dialogs/DlgDevice.h"
#include "support/QtTestApp.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include "DialogTestSupport.h"
#include "RecordingTarget.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFontInfo>
#include <QGuiApplication>
#include <QLabel>

#include <memory>

namespace {

// A record as a Japanese user might have set it up.
CSettingsRecord SampleSettings()
{
    CSettingsRecord settings;
    settings.Meter.Num = 8;
    const char* names[kMeterCount]
        = { "ボーカル", "ギター", "ベース", "キック", "スネア", "ピアノ", "L", "R" };
    for (int i = 0; i < kMeterCount; ++i) {
        auto& channel = settings.Channel[static_cast<size_t>(i)];
        channel.name = names[i];
        channel.device_ch = i;
        channel.over_th = i == 2 ? -3.0 : -0.5;
    }
    settings.Channel[3].name_visible = 0;
    settings.Channel[5].over_enable = 0;
    return settings;
}

std::filesystem::path ShotDir(const kerrion::test::TempDir& fallback)
{
    const QByteArray chosen = qgetenv("KERRION_SCREENSHOT_DIR");
    return chosen.isEmpty() ? fallback.Path() : std::filesystem::path(chosen.toStdString());
}

// Every label and button shows its whole text in the room its template gives it.
void ExpectNothingClipped(const QWidget& dialog)
{
    for (const QLabel* label : dialog.findChildren<QLabel*>()) {
        if (!label->isVisible() || label->text().isEmpty())
            continue;
        const int needed = label->fontMetrics().horizontalAdvance(label->text());
        EXPECT_LE(needed, label->width()) << label->text().toStdString();
        EXPECT_LE(label->fontMetrics().height(), label->height() + 2)
            << label->text().toStdString();
    }
    for (const QAbstractButton* button : dialog.findChildren<QAbstractButton*>()) {
        if (!button->isVisible() || button->text().isEmpty())
            continue;
        EXPECT_LE(button->sizeHint().width(), button->width() + 8) << button->text().toStdString();
    }
}

void Shoot(QWidget& dialog, const std::filesystem::path& dir, const char* name)
{
    ASSERT_TRUE(kerrion::test::ShowAndWait(dialog));
    QTest::qWait(50);
    const QImage image = dialog.grab().toImage();
    ASSERT_FALSE(image.isNull());
    EXPECT_TRUE(image.save(QString::fromStdString((dir / name).string())));
    ExpectNothingClipped(dialog);
    dialog.hide();
}

class DialogsScreen : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QGuiApplication::platformName() != QStringLiteral("xcb"))
            GTEST_SKIP() << "needs an X server";
    }
    kerrion::test::TempDir m_temp;
    kerrion::test::RecordingTarget m_target;
    CSettingsRecord m_settings = SampleSettings();
};

} // namespace

TEST_F(DialogsScreen, TheDialogFontIsJapanese)
{
    CDlgControl dialog(m_settings, &m_target);
    const QString family = QFontInfo(dialog.font()).family();
    EXPECT_TRUE(family.contains(QStringLiteral("Gothic"))
        || family.contains(QStringLiteral("Meiryo")) || family.contains(QStringLiteral("CJK")))
        << family.toStdString();
}

TEST_F(DialogsScreen, EveryDialogIsPhotographed)
{
    const auto dir = ShotDir(m_temp);
    {
        CDlgControl dialog(m_settings, &m_target);
        Shoot(dialog, dir, "dialog-control.png");
    }
    {
        // The signal generator as the one installed driver.
        const std::string id = "{8D3C5A6E-2B71-4F0A-9E43-6C1D2F7B5A90}";
        kerrion::test::WriteFileBytes(m_temp / "asio.reg",
            "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\ASIO\\Kerrion "
            "Signal Generator]\n"
            "\"CLSID\"=\""
                + id + "\"\n[HKEY_CLASSES_ROOT\\CLSID\\" + id + "\\InprocServer32]\n@=\""
                + KERRION_SIGNAL_DRIVER + "\"\n");
        kerrion::test::WriteFileBytes(
            m_temp / "signal.ini", "[Signal]\nInputs=8\nOutputs=2\nBufferFrames=512\n");
        kerrion::test::ScopedEnv registry("KERRION_ASIO_REGISTRY", (m_temp / "asio.reg").c_str());
        kerrion::test::ScopedEnv signal("KERRION_SIGNAL_CONFIG", (m_temp / "signal.ini").c_str());
        CDlgDevice dialog(m_settings, &m_target, 2, 0, "Kerrion Signal", nullptr);
        EXPECT_EQ(dialog.SelectedPosition(), 0);
        Shoot(dialog, dir, "dialog-device.png");
    }
    {
        std::array<int, kMeterCount> map { 0, 1, 2, 3, 4, 5, 31, 29 };
        CDlgAssign dialog(m_settings, &m_target, map);
        Shoot(dialog, dir, "dialog-assign.png");
    }
    {
        std::array<double, kMeterCount> levels { -20, -18, -20, -22.5, -20, -20, -16, -16 };
        CDlgCal dialog(m_settings, &m_target, levels, nullptr);
        Shoot(dialog, dir, "dialog-cal.png");
    }
    {
        CDlgColor dialog(m_settings, &m_target, m_settings.Color);
        Shoot(dialog, dir, "dialog-color.png");
    }
    {
        CDlgConfig dialog(m_settings, &m_target, 0);
        Shoot(dialog, dir, "dialog-config.png");
    }
}
