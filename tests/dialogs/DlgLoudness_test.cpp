// The loudness settings dialog: every choice lands in the Loudness section at once and is
// announced; the custom standard alone takes figures, and only figures within their range.

#include "dialogs/DlgLoudness.h"

#include "DialogTestSupport.h"
#include "RecordingTarget.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

using kerrion::test::ChooseItem;
using kerrion::test::PostedMessage;

TEST(DlgLoudness, ChoicesApplyAtOnceAndOnlyTheCustomStandardTakesFigures)
{
    CSettingsRecord settings;
    kerrion::test::RecordingTarget target;
    CDlgLoudness dialog(settings, &target);
    auto* targetEdit = dialog.ControlAs<QLineEdit>(CDlgLoudness::kIdTarget);
    auto* limitEdit = dialog.ControlAs<QLineEdit>(CDlgLoudness::kIdLimit);
    EXPECT_EQ(targetEdit->text(), QStringLiteral("-24.0"));
    EXPECT_FALSE(targetEdit->isEnabled()) << "ARIB's own target";

    ChooseItem(*dialog.ControlAs<QComboBox>(CDlgLoudness::kIdLayout), 2);
    EXPECT_EQ(settings.Loudness.Layout, "5.1");
    ChooseItem(*dialog.ControlAs<QComboBox>(CDlgLoudness::kIdStandard), 1);
    EXPECT_EQ(settings.Loudness.Standard, "EBU");
    EXPECT_EQ(targetEdit->text(), QStringLiteral("-23.0"));
    ChooseItem(*dialog.ControlAs<QComboBox>(CDlgLoudness::kIdStandard), 3);
    EXPECT_EQ(settings.Loudness.Standard, "Custom");
    ASSERT_TRUE(targetEdit->isEnabled());

    struct Typed {
        QLineEdit* edit;
        const char* text;
        double expected; // what the settings then hold
        bool taken;      // and announced
    };
    const Typed typed[] = { { targetEdit, "-30", -30.0, true }, { targetEdit, "abc", -30.0, false },
        { targetEdit, "-61", -30.0, false }, { limitEdit, "-2.5", -2.5, true },
        { limitEdit, "4", -2.5, false } };
    for (const Typed& t : typed) {
        const std::size_t before = target.messages.size();
        t.edit->setText(QString::fromUtf8(t.text));
        emit t.edit->editingFinished();
        const double held
            = t.edit == targetEdit ? settings.Loudness.Target : settings.Loudness.TruePeakLimit;
        EXPECT_EQ(held, t.expected) << t.text;
        EXPECT_EQ(t.edit->text(), QString::number(t.expected, 'f', 1)) << t.text;
        EXPECT_EQ(target.messages.size(), before + (t.taken ? 1 : 0)) << t.text;
    }
    dialog.ControlAs<QCheckBox>(CDlgLoudness::kIdShow)->click();
    EXPECT_EQ(settings.Loudness.Show, 0);
    const PostedMessage changed { WM_USER + 3, 0, -1 };
    for (const PostedMessage& message : target.messages)
        EXPECT_EQ(message, changed);
}
