// The "Write value…" dialog: what it offers for a register and a coil, and
// the preview of what goes out, or why nothing can.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

#include "ui/write_value_dialog.h"

namespace {

std::vector<WriteValueChoice> gWritten;

// What the registers from 40010 on hold: 123.456 as a float32 ABCD, then 1.
constexpr uint16_t kHeld[4] = {0x42F6, 0xE979, 0x0000, 0x0001};

// Holding register 40010 or coil 0010 of the block 1..20, unit 1, no offset.
std::unique_ptr<QDialog> OpenFor(bool coil, ValueType type, bool known = false)
{
    WriteValueSetup setup;
    setup.address = coil ? "0010" : "40010";
    setup.coil = coil;
    setup.type = type;
    setup.encode = [](const WriteValueChoice& c) {
        return EncodeValue({c.type, c.order, c.function, c.text, 1, 10, false, 1, 20});
    };
    setup.write = [](const WriteValueChoice& c) {
        gWritten.push_back(c);
        return std::string();
    };
    if (known)
        setup.currentText = [](ValueType t, ByteOrder o) { return ValueEditText(t, o, kHeld); };
    return std::unique_ptr<QDialog>(CreateWriteValueDialog(nullptr, setup));
}

template <class T>
T* Part(QDialog& dialog, const char* name)
{
    return dialog.findChild<T*>(QLatin1String(name));
}

QStringList Entries(QDialog& dialog, const char* name)
{
    QStringList entries;
    for (int i = 0; i < Part<QComboBox>(dialog, name)->count(); i++)
        entries << Part<QComboBox>(dialog, name)->itemText(i);
    return entries;
}

void Choose(QDialog& dialog, const char* name, const char* entry)
{
    auto* box = Part<QComboBox>(dialog, name);
    box->setCurrentIndex(box->findText(QString::fromUtf8(entry)));
}

// A preview label's text, or "-" while it is hidden.
QString Shown(QDialog& dialog, const char* name)
{
    auto* label = Part<QLabel>(dialog, name);
    return label->isVisibleTo(&dialog) ? label->text() : QStringLiteral("-");
}

}  // namespace

TEST(WriteValueDialog, OffersTheCellsTypesAndFunctionsAndPreviewsTheRequestOrWhyNot)
{
    std::unique_ptr<QDialog> coil = OpenFor(true, TypeCoil);
    EXPECT_EQ(Entries(*coil, "type"), QStringList{"coil"});
    EXPECT_EQ(Entries(*coil, "function"), (QStringList{"5 Write Single Coil", "15 Write Multiple Coils"}));
    EXPECT_FALSE(Part<QComboBox>(*coil, "order")->isEnabled());
    Part<QLineEdit>(*coil, "value")->setText(QStringLiteral("on"));
    Choose(*coil, "function", "15 Write Multiple Coils");
    EXPECT_EQ(Shown(*coil, "registers"), "Coil 0010: 1 (on)");
    EXPECT_EQ(Shown(*coil, "frame"), "POKE ->: 14 bytes 00 00 00 00 00 08 01 0F 00 0A 00 01 01 01");

    gWritten.clear();
    std::unique_ptr<QDialog> dialog = OpenFor(false, TypeHex16);
    QDialog& d = *dialog;
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Write value \u2014 40010"));
    EXPECT_EQ(Entries(d, "type"),
              (QStringList{"u16", "s16", "hex16", "bin16", "u32", "s32", "float32", "u64", "s64", "float64"}));
    EXPECT_EQ(Part<QComboBox>(d, "type")->currentText(), "hex16");
    EXPECT_EQ(Entries(d, "function"), (QStringList{"6 Write Single Register", "16 Write Multiple Registers"}));
    EXPECT_FALSE(Part<QComboBox>(d, "order")->isEnabled());
    EXPECT_EQ(Shown(d, "reason"), "No value typed.");
    EXPECT_FALSE(Part<QPushButton>(d, "write")->isEnabled());

    Choose(d, "type", "float32");
    EXPECT_EQ(Entries(d, "function"), QStringList{"16 Write Multiple Registers"});
    EXPECT_TRUE(Part<QComboBox>(d, "order")->isEnabled());
    Choose(d, "order", "CDAB (word swap)");
    d.show();  // keys reach a shown dialog only
    QApplication::setActiveWindow(&d);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
    QTest::keyClicks(QApplication::focusWidget(), "123.456x");
    EXPECT_EQ(Shown(d, "reason"), "Not a number: digits with an optional point and exponent, or nan, inf, -inf.");
    EXPECT_EQ(Shown(d, "frame"), "-");
    EXPECT_FALSE(Part<QPushButton>(d, "write")->isEnabled());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
    EXPECT_EQ(Shown(d, "registers"), "Register 40010: 0xE979\nRegister 40011: 0x42F6\nReads back as 123.456");
    EXPECT_EQ(Shown(d, "frame"), "POKE ->: 17 bytes 00 00 00 00 00 0B 01 10 00 0A 00 02 04 E9 79 42 F6");
    EXPECT_EQ(Shown(d, "reason"), "-");

    // The value field has the focus; Tab goes through the fields, then Write
    // and Cancel, and Enter is Write.
    QStringList order;
    for (int i = 0; i < 6; i++) {
        order << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(order, (QStringList{"value", "type", "order", "function", "write", "cancel"}));
    QTest::keyClick(Part<QLineEdit>(d, "value"), Qt::Key_Return);
    ASSERT_EQ(gWritten.size(), 1u);
    EXPECT_EQ(gWritten[0].text, "123.456");
    EXPECT_EQ(gWritten[0].order, OrderCDAB);
    EXPECT_EQ(gWritten[0].function, 16);
    EXPECT_EQ(d.result(), QDialog::Accepted);
}

TEST(WriteValueDialog, StartsOnTheValueHeldAndNamesTheOrdersForTheWidth)
{
    std::unique_ptr<QDialog> dialog = OpenFor(false, TypeU16, true);
    QDialog& d = *dialog;
    auto* value = Part<QLineEdit>(d, "value");
    auto* order = Part<QComboBox>(d, "order");
    // Selected, so that typing replaces it; a 16-bit value has no order.
    EXPECT_EQ(value->text(), "17142");
    EXPECT_EQ(value->selectedText(), value->text());
    EXPECT_FALSE(order->isEnabled());
    EXPECT_EQ(order->currentIndex(), -1);
    EXPECT_EQ(order->placeholderText(), "\u2014");

    // Until the user types, the value follows the type and order.
    const std::pair<const char*, QString> follows[] = {
        {"hex16", "0x42F6"}, {"bin16", "0100001011110110"}, {"float32", "123.456"}, {"u64", "4825300756674379777"}};
    for (const auto& [type, text] : follows) {
        Choose(d, "type", type);
        EXPECT_EQ(value->text(), text) << type;
        EXPECT_EQ(Shown(d, "reason"), "-") << type;
    }
    EXPECT_EQ(Entries(d, "order"), (QStringList{"ABCDEFGH (big-endian)", "GHEFCDAB (word swap)", "BADCFEHG (byte swap)",
                                                "HGFEDCBA (little-endian)"}));
    Choose(d, "order", "HGFEDCBA (little-endian)");
    EXPECT_EQ(value->text(), "72057596083304002");
    Choose(d, "type", "float32");
    EXPECT_EQ(Entries(d, "order")[3], "DCBA (little-endian)");
    EXPECT_EQ(order->currentText(), "DCBA (little-endian)");

    d.show();
    QApplication::setActiveWindow(&d);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
    value->setFocus();
    QTest::keyClicks(value, "0x1F");
    Choose(d, "type", "u16");
    EXPECT_EQ(value->text(), "0x1F");
    EXPECT_EQ(Shown(d, "frame"), "POKE ->: 12 bytes 00 00 00 00 00 06 01 06 00 0A 00 1F");

    // A coil starts on its state.
    std::unique_ptr<QDialog> coil = OpenFor(true, TypeCoil, true);
    EXPECT_EQ(Part<QLineEdit>(*coil, "value")->text(), "1");
}
