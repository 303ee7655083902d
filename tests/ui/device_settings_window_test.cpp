// The "Device settings" window: each setting shown with its default, fields
// that refuse what cannot be used, "Restore defaults", and OK handing over
// what the fields hold.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

#include "ui/device_settings_window.h"

namespace {

QLineEdit* Field(QDialog* dialog, const char* key)
{
    return dialog->findChild<QLineEdit*>(QLatin1String(key));
}

QCheckBox* Flag(QDialog* dialog, const char* key)
{
    return dialog->findChild<QCheckBox*>(QLatin1String(key));
}

void ClickButton(QDialog* dialog, const char* name)
{
    auto* button = dialog->findChild<QPushButton*>(QLatin1String(name));
    ASSERT_NE(button, nullptr) << name;
    button->click();
}

}  // namespace

TEST(DeviceSettingsWindow, ShowsEditsRestoresAndApplies)
{
    DeviceSettings start;
    start.timeoutMs = 2500;
    start.maxRegisters = 100;
    start.anyUnitId = true;
    DeviceSettings applied;
    int applies = 0;
    std::unique_ptr<QDialog> owned(CreateDeviceSettingsWindow(nullptr, start, [&](const DeviceSettings& chosen) {
        applied = chosen;
        applies++;
    }));
    QDialog* dialog = owned.get();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Device settings"));

    // Every key has its control, and a line that gives its default.
    for (const DeviceKeyRange& key : kDeviceKeys)
        EXPECT_TRUE(Field(dialog, key.name) || Flag(dialog, key.name)) << key.name;
    int defaults = 0;
    for (QLabel* label : dialog->findChildren<QLabel*>())
        defaults += label->text().contains(QStringLiteral("Default: ")) ? 1 : 0;
    EXPECT_EQ(defaults, kDeviceKeyCount);
    EXPECT_EQ(Field(dialog, "Timeout")->text(), QStringLiteral("2500"));
    EXPECT_EQ(Field(dialog, "MaxRegisters")->text(), QStringLiteral("100"));
    EXPECT_TRUE(Flag(dialog, "AnyUnitId")->isChecked());

    // Letters and numbers past the range are refused as they are typed.
    QLineEdit* registers = Field(dialog, "MaxRegisters");
    registers->clear();
    QTest::keyClicks(registers, QStringLiteral("1x29"));
    EXPECT_EQ(registers->text(), QStringLiteral("12"));
    QLineEdit* gap = Field(dialog, "RequestGap");
    gap->clear();
    QTest::keyClicks(gap, QStringLiteral("700000"));
    EXPECT_EQ(gap->text(), QStringLiteral("7000"));
    Flag(dialog, "CloseAfterCycle")->setChecked(true);
    // An empty field below its floor takes the floor.
    Field(dialog, "Timeout")->clear();
    ClickButton(dialog, "ok");
    ASSERT_EQ(applies, 1);
    EXPECT_EQ(applied.maxRegisters, 12);
    EXPECT_EQ(applied.requestGapMs, 7000u);
    EXPECT_EQ(applied.timeoutMs, 10u);
    EXPECT_TRUE(applied.closeAfterCycle);
    EXPECT_TRUE(applied.anyUnitId);

    // Restore defaults, then OK: the defaults are applied; Cancel applies nothing.
    ClickButton(dialog, "restore");
    EXPECT_EQ(Field(dialog, "Timeout")->text(), QStringLiteral("1000"));
    EXPECT_FALSE(Flag(dialog, "AnyUnitId")->isChecked());
    ClickButton(dialog, "ok");
    EXPECT_TRUE(IsDefaultDevice(applied));
    ClickButton(dialog, "cancel");
    EXPECT_EQ(applies, 2);
}
