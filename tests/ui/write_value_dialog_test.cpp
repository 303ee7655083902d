// The "Write value…" dialog: what it offers for a register and for a coil,
// and the preview of what goes out, or why nothing can.
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

#include "dataview/value_encode.h"
#include "ui/write_value_dialog.h"

namespace {

std::vector<WriteValueChoice> gWritten;
std::string gRefusal;  // what the program answers to Write

// Holding register 40010 or coil 0010 of the block 1..12, unit 1, no offset.
WriteValueSetup SetupFor(bool coil, ValueType type)
{
    WriteValueSetup setup;
    setup.address = coil ? "0010" : "40010";
    setup.coil = coil;
    setup.type = type;
    setup.function = coil ? 5 : 6;
    setup.encode = [](const WriteValueChoice& choice) {
        ValueWrite write;
        write.type = choice.type;
        write.order = choice.order;
        write.function = choice.function;
        write.text = choice.text;
        write.address = 10;
        write.blockFirst = 1;
        write.blockLast = 12;
        return EncodeValue(write);
    };
    setup.write = [](const WriteValueChoice& choice) {
        gWritten.push_back(choice);
        return gRefusal;
    };
    return setup;
}

class WriteValueDialog : public testing::Test {
protected:
    void SetUp() override
    {
        gWritten.clear();
        gRefusal.clear();
    }

    void Open(bool coil, ValueType type)
    {
        dialog.reset(CreateWriteValueDialog(nullptr, SetupFor(coil, type)));
        ASSERT_NE(dialog, nullptr);
    }

    template <class T>
    T* Part(const char* name)
    {
        T* part = dialog->findChild<T*>(QLatin1String(name));
        EXPECT_NE(part, nullptr) << name;
        return part;
    }

    std::vector<std::string> Entries(const char* selector)
    {
        std::vector<std::string> entries;
        QComboBox* box = Part<QComboBox>(selector);
        for (int i = 0; i < box->count(); i++)
            entries.push_back(box->itemText(i).toStdString());
        return entries;
    }

    void Choose(const char* selector, const char* entry)
    {
        QComboBox* box = Part<QComboBox>(selector);
        const int index = box->findText(QString::fromUtf8(entry));
        ASSERT_GE(index, 0) << entry;
        box->setCurrentIndex(index);
    }

    // A preview label's text, or "(hidden)".
    std::string Shown(const char* label)
    {
        QLabel* part = Part<QLabel>(label);
        return part->isVisibleTo(dialog.get()) ? part->text().toStdString() : "(hidden)";
    }

    std::unique_ptr<QDialog> dialog;
};

}  // namespace

TEST_F(WriteValueDialog, ARegisterOffersTheTenTypesEachWithItsFunctionsAndOrder)
{
    Open(false, TypeHex16);
    EXPECT_EQ(dialog->windowTitle().toStdString(), "Write value \u2014 40010");
    EXPECT_EQ(Entries("type"), (std::vector<std::string>{"u16", "s16", "hex16", "bin16", "u32", "s32", "float32", "u64",
                                                         "s64", "float64"}));
    EXPECT_EQ(Part<QComboBox>("type")->currentText(), "hex16");
    EXPECT_EQ(Entries("order"), (std::vector<std::string>{"ABCD (big-endian)", "CDAB (word swap)", "BADC (byte swap)",
                                                          "DCBA (little-endian)"}));
    EXPECT_EQ(Entries("function"),
              (std::vector<std::string>{"6 Write Single Register", "16 Write Multiple Registers"}));
    EXPECT_FALSE(Part<QComboBox>("order")->isEnabled());

    for (const char* wide : {"u32", "float32", "s64", "float64"}) {
        Choose("type", wide);
        EXPECT_EQ(Entries("function"), (std::vector<std::string>{"16 Write Multiple Registers"})) << wide;
        EXPECT_TRUE(Part<QComboBox>("order")->isEnabled()) << wide;
    }
    // Back to 16 bits: 6 again, as the dialog started.
    Choose("type", "s16");
    EXPECT_EQ(Part<QComboBox>("function")->currentText(), "6 Write Single Register");
    EXPECT_FALSE(Part<QComboBox>("order")->isEnabled());

    // Opened, the value field has the focus, and Tab goes through the
    // fields and then Write and Cancel.
    Choose("type", "float32");
    Part<QLineEdit>("value")->setText(QStringLiteral("1.5"));
    dialog->show();
    QApplication::setActiveWindow(dialog.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    std::vector<std::string> order;
    for (int i = 0; i < 6; i++) {
        order.push_back(QApplication::focusWidget()->objectName().toStdString());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"value", "type", "order", "function", "write", "cancel"}));
}

TEST_F(WriteValueDialog, ItShowsTheRegistersAndRequestAsTypedOrWhyNothingCanGo)
{
    Open(false, TypeU16);
    dialog->show();  // Enter reaches only a shown default button
    EXPECT_EQ(Shown("reason"), "No value typed.");
    EXPECT_FALSE(Part<QPushButton>("write")->isEnabled());

    Choose("type", "float32");
    Choose("order", "CDAB (word swap)");
    QTest::keyClicks(Part<QLineEdit>("value"), "123.456");
    EXPECT_EQ(Shown("registers"), "Register 40010: 0xE979\nRegister 40011: 0x42F6\nReads back as 123.456");
    EXPECT_EQ(Shown("frame"), "POKE ->: 17 bytes 00 64 00 00 00 0B 01 10 00 0A 00 02 04 E9 79 42 F6");
    EXPECT_EQ(Shown("reason"), "(hidden)");
    EXPECT_TRUE(Part<QPushButton>("write")->isEnabled());

    // Not a float: the reason alone, and Enter sends nothing.
    QTest::keyClicks(Part<QLineEdit>("value"), "x");
    EXPECT_EQ(Shown("reason"), "Not a number: digits with an optional point and exponent, or nan, inf, -inf.");
    EXPECT_EQ(Shown("registers"), "(hidden)");
    EXPECT_EQ(Shown("frame"), "(hidden)");
    EXPECT_FALSE(Part<QPushButton>("write")->isEnabled());
    QTest::keyClick(Part<QLineEdit>("value"), Qt::Key_Return);
    EXPECT_TRUE(gWritten.empty());

    // Past the block shown: nothing either.
    Part<QLineEdit>("value")->setText("1");
    Choose("type", "float64");
    EXPECT_EQ(Shown("reason"), "Registers 40010 to 40013 run past the block shown, 40001 to 40012.");
    Choose("type", "float32");

    // Enter is Write.
    Part<QLineEdit>("value")->setText("123.456");
    QTest::keyClick(Part<QLineEdit>("value"), Qt::Key_Return);
    ASSERT_EQ(gWritten.size(), 1u);
    EXPECT_EQ(gWritten[0].text, "123.456");
    EXPECT_EQ(gWritten[0].type, TypeFloat32);
    EXPECT_EQ(gWritten[0].order, OrderCDAB);
    EXPECT_EQ(gWritten[0].function, 16);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
}

TEST_F(WriteValueDialog, ACoilIsWrittenByFunction5Or15AndARefusedWriteKeepsTheDialog)
{
    Open(true, TypeCoil);
    EXPECT_EQ(dialog->windowTitle().toStdString(), "Write value \u2014 0010");
    EXPECT_EQ(Entries("type"), (std::vector<std::string>{"coil"}));
    EXPECT_EQ(Entries("function"), (std::vector<std::string>{"5 Write Single Coil", "15 Write Multiple Coils"}));
    EXPECT_FALSE(Part<QComboBox>("order")->isEnabled());

    QTest::keyClicks(Part<QLineEdit>("value"), "on");
    EXPECT_EQ(Shown("registers"), "Coil 0010: 1 (on)");
    EXPECT_EQ(Shown("frame"), "POKE ->: 12 bytes 00 64 00 00 00 06 01 05 00 0A FF 00");
    Choose("function", "15 Write Multiple Coils");
    EXPECT_EQ(Shown("frame"), "POKE ->: 14 bytes 00 64 00 00 00 08 01 0F 00 0A 00 01 01 01");

    gRefusal = "Not connected: nothing can be sent.";
    Part<QPushButton>("write")->click();
    EXPECT_EQ(gWritten.size(), 1u);
    EXPECT_EQ(Shown("reason"), gRefusal);
    EXPECT_FALSE(Part<QPushButton>("write")->isEnabled());
    EXPECT_NE(dialog->result(), QDialog::Accepted);
}
