// The data list's tool tips and right-click menu.
#include <QAbstractTextDocumentLayout>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextTable>
#include <QToolTip>

#include <cstring>
#include <memory>
#include <regex>

#include "data_view_fixture.h"
#include "engine/tips_and_menus.h"
#include "engine/write_value.h"
#include "tests/support/menu_choice.h"
#include "tests/ui/test_window.h"
#include "ui/data_list_menu.h"
#include "ui/write_value_dialog.h"

namespace {

void NoPause() {}

class TipsAndMenusTest : public DataViewTest {
protected:
    void SetUp() override
    {
        DataViewTest::SetUp();
        RegisterTipAndMenuHandlers();
        SetValuePause(NoPause);
    }

    // The values of a reply for table, shown as the worker shows them.
    void Show(int table, const std::vector<uint8_t>& data, int quantity, std::array<int, 4> formats)
    {
        ShowReadValues(table, data.data(), static_cast<int>(data.size()), quantity, formats[0], formats[1], formats[2],
                       formats[3]);
    }

    std::string Tip(int row, int column)
    {
        return view->model()->index(row, column).data(Qt::ToolTipRole).toString().toStdString();
    }

    // Chooses the entry of the menu for a right-click on (row, column).
    void Choose(int row, int column, const QString& entry)
    {
        const std::unique_ptr<QMenu> menu(BuildDataListMenu(view, view->model()->index(row, column)));
        ChooseEntry(*menu, entry);
    }

    std::string Clipboard() { return QGuiApplication::clipboard()->text().toStdString(); }

    bool WriteOffered(int row, int column)
    {
        const std::unique_ptr<QMenu> menu(BuildDataListMenu(view, view->model()->index(row, column)));
        for (QAction* action : menu->actions())
            if (action->text() == QStringLiteral("Write value\u2026"))
                return action->isEnabled();
        ADD_FAILURE() << "no Write value entry";
        return false;
    }
};

// The link as the connection control sets it; back to off after the test.
struct LinkFor {
    explicit LinkFor(LinkState state) { program.link.state = state; }
    ~LinkFor() { program.link.state = LinkOff; }
};

std::vector<std::pair<int, int>> gOpened;
void RecordOpen(int row, int column)
{
    gOpened.emplace_back(row, column);
}

}  // namespace

TEST_F(TipsAndMenusTest, ARegisterTipShowsItsAddressesAndEveryView)
{
    Connect(1, 3, {0, 1, 0, 2});
    // 1.0f in rows 0 and 1 (3F80 0000); row 2 answered short, so empty.
    Show(4, {0x3F, 0x80, 0x00, 0x00}, 3, {0, 1, 0, 2});
    ASSERT_EQ(Cell(0, 7), "3F80");
    ASSERT_EQ(Cell(2, 7), "");

    // Cells compared without their layout attributes.
    std::string tip = std::regex_replace(Tip(0, 7), std::regex("<td[^>]*>"), "<td>");
    for (const char* part :
         {"Holding Register 40001", "Wire address: 1 (0x0001)", ">16256<", ">0x3F80<", ">0011 1111 1000 0000<",
          "40001 and 40002 as 32 bits", "<td>ABCD</td><td>1065353216</td><td>1065353216</td><td>1</td>"})
        EXPECT_NE(tip.find(part), std::string::npos) << part << " in " << tip;

    // The offset switch as it is now; the row without a next value has no
    // 32-bit views; no value, no tip; labels have none.
    offset->setChecked(true);
    EXPECT_NE(Tip(1, 7).find("Wire address: 1 (0x0001)"), std::string::npos) << Tip(1, 7);
    EXPECT_EQ(Tip(1, 7).find("32 bits"), std::string::npos);
    EXPECT_EQ(Tip(2, 7), "");
    EXPECT_EQ(Tip(0, 6), "");

    // The texts are read in the format they were shown in, whatever the
    // selector says now.
    selectors[3]->setCurrentIndex(3);
    EXPECT_NE(Tip(0, 7).find(">16256<"), std::string::npos);
}

namespace {

// The text box of a table cell's first line, in the document; empty for an
// empty cell.
QRectF CellTextBox(const QTextDocument& doc, const QTextTableCell& cell)
{
    const QTextBlock block = cell.firstCursorPosition().block();
    if (block.text().isEmpty() || !block.layout() || block.layout()->lineCount() == 0)
        return {};
    return block.layout()->lineAt(0).naturalTextRect().translated(
        doc.documentLayout()->blockBoundingRect(block).topLeft());
}

}  // namespace

TEST_F(TipsAndMenusTest, TheTipsNumbersStandInColumnsWithAGapBetween)
{
    // Bytes 42 F6 E9 79: 1123477881 twice in one row, and in another
    // -163415575 before -9.8611155e+32, whose minus signs read as separators
    // when the columns touch.
    Connect(1, 2, {0, 1, 0, 2});
    Show(4, {0x42, 0xF6, 0xE9, 0x79}, 2, {0, 1, 0, 2});
    const QString tip = QString::fromStdString(Tip(0, 7));
    ASSERT_TRUE(tip.contains(QStringLiteral("-9.8611155e+32"))) << tip.toStdString();

    // At the tip's own font and at twice its size (a desktop at scale 2).
    for (const qreal scale : {1.0, 2.0}) {
        QFont font = QToolTip::font();
        font.setPointSizeF(font.pointSizeF() * scale);
        QTextDocument doc;
        doc.setDefaultFont(font);
        doc.setHtml(tip);
        (void)doc.size();  // lays it out
        const qreal space = QFontMetricsF(font).horizontalAdvance(QLatin1Char(' '));
        int tables = 0;
        for (QTextFrame* frame : doc.rootFrame()->childFrames()) {
            auto* table = qobject_cast<QTextTable*>(frame);
            if (!table)
                continue;
            ++tables;
            for (int r = 0; r < table->rows(); ++r)
                for (int c = 0; c + 1 < table->columns(); ++c) {
                    const QRectF left = CellTextBox(doc, table->cellAt(r, c));
                    const QRectF right = CellTextBox(doc, table->cellAt(r, c + 1));
                    if (!left.isNull() && !right.isNull()) {
                        EXPECT_GE(right.left() - left.right(), space)
                            << "scale " << scale << ", table " << tables << ", row " << r << ", columns " << c;
                    }
                }
        }
        EXPECT_EQ(tables, 2);
    }
}

TEST_F(TipsAndMenusTest, ABitTipShowsTheBitAndItsAddress)
{
    Connect(100, 2, {0, 1, 0, 0});
    Show(2, {0x01}, 2, {0, 1, 0, 0});
    EXPECT_NE(Tip(0, 3).find("Coil 0100</b><br>Wire address: 100 (0x0064)<br>Bit: 1 (on)"), std::string::npos)
        << Tip(0, 3);
    EXPECT_NE(Tip(1, 3).find("Bit: 0 (off)"), std::string::npos);
}

TEST_F(TipsAndMenusTest, ATipSaysHowOldTheValueIs)
{
    Connect(1, 2, {0, 1, 0, 2});
    Show(2, {0x01}, 2, {0, 1, 0, 2});
    Show(4, {0x00, 0x01, 0x00, 0x02}, 2, {0, 1, 0, 2});
    MarkTableFresh(4);
    EXPECT_NE(Tip(0, 7).find("</table>last read 0 s ago</qt>"), std::string::npos) << Tip(0, 7);
    EXPECT_EQ(Tip(0, 3).find("last read"), std::string::npos) << "not read since the connect";
    MarkTableFresh(2);
    MarkTableStale(2);  // a failed read keeps the time of the last valid one
    EXPECT_NE(Tip(0, 3).find("Bit: 1 (on)<br>last read 0 s ago</qt>"), std::string::npos) << Tip(0, 3);

    // Shown, the tip ticks on with the age while the mouse rests on the cell.
    QWidget* viewport = view->viewport();
    const QPoint at = view->visualRect(view->model()->index(0, 3)).center();
    QTest::mouseMove(viewport, at);
    QHelpEvent ask(QEvent::ToolTip, at, viewport->mapToGlobal(at));
    QApplication::sendEvent(viewport, &ask);
    ASSERT_TRUE(PumpUntil([] { return QToolTip::isVisible(); }));
    EXPECT_TRUE(QToolTip::text().contains(QStringLiteral("last read 0 s ago")));
    program.tableReadAt[1].fetch_sub(int64_t{7'000'000'000});
    EXPECT_TRUE(PumpUntil([] { return QToolTip::text().contains(QStringLiteral("last read 7 s ago")); }))
        << QToolTip::text().toStdString();
    QToolTip::hideText();

    Connect(1, 2, {0, 1, 0, 2});
    Show(2, {0x01}, 2, {0, 1, 0, 2});
    EXPECT_EQ(Tip(0, 3).find("last read"), std::string::npos) << "forgotten at the connect";
}

TEST_F(TipsAndMenusTest, CopyValueTakesTheValueOfTheCellsTable)
{
    Connect(1, 2, {0, 1, 3, 0});
    Show(3, {0x00, 0x0A, 0x00, 0x14}, 2, {0, 1, 3, 0});
    Choose(1, 5, QStringLiteral("Copy value"));
    EXPECT_EQ(Clipboard(), "20");
    Choose(0, 4, QStringLiteral("Copy value"));  // on the label: the value beside it
    EXPECT_EQ(Clipboard(), "10");
}

TEST_F(TipsAndMenusTest, CopyRowTakesTheShownTablesOfTheRow)
{
    Connect(1, 2, {0, 1, 3, 0});
    Show(2, {0x02}, 2, {0, 1, 3, 0});
    Show(3, {0x00, 0x0A, 0x00, 0x14}, 2, {0, 1, 3, 0});
    Choose(1, 3, QStringLiteral("Copy row"));
    EXPECT_EQ(Clipboard(), "0002,1,30002,20\n");
}

TEST_F(TipsAndMenusTest, CopyTableAsCsvHasAHeaderAndEveryRow)
{
    Connect(9999, 2, {1, 0, 0, 2});
    Show(1, {0x01}, 2, {1, 0, 0, 2});
    Show(4, {0xFF, 0xFE}, 2, {1, 0, 0, 2});  // the second register missing
    Choose(0, 0, QStringLiteral("Copy table as CSV"));
    EXPECT_EQ(Clipboard(), "Disc. Input,Disc. Input value,Holding Reg.,Holding Reg. value\n"
                           "19999,1,49999,FFFE\n"
                           "110000,0,410000,\n");
}

TEST_F(TipsAndMenusTest, WriteValueIsOfferedOnCoilAndHoldingValuesWhileConnected)
{
    Connect(1, 3, {1, 1, 1, 0});
    LinkFor up(LinkUp);
    EXPECT_TRUE(WriteOffered(0, 3));
    for (auto [row, column] : {std::pair{0, 1}, {0, 5}, {0, 2}, {0, 7}, {-1, -1}})  // 7: at No data
        EXPECT_FALSE(WriteOffered(row, column)) << row << "," << column;
    program.link.state = LinkDown;  // the write waits in the queue for the link
    EXPECT_TRUE(WriteOffered(2, 3));
    program.link.state = LinkOff;
    EXPECT_FALSE(WriteOffered(2, 3));

    program.link.state = LinkUp;
    gOpened.clear();
    SetWriteValueHandlers(IsCellWritable, RecordOpen);
    Choose(1, 3, QStringLiteral("Write value\u2026"));
    EXPECT_EQ(gOpened, (std::vector<std::pair<int, int>>{{1, 3}}));
    RegisterTipAndMenuHandlers();
}

TEST_F(TipsAndMenusTest, TheDialogQueuesWithTheUnitAndOffsetOfTheMomentWriteIsClicked)
{
    Connect(1, 3, {0, 1, 0, 2});
    LinkFor up(LinkUp);
    Show(4, {0x12, 0x34, 0xAB, 0xCD}, 3, {0, 1, 0, 2});
    std::unique_ptr<QDialog> dialog(CreateWriteValueDialogFor(1, 7));
    ASSERT_NE(dialog, nullptr);
    auto* type = dialog->findChild<QComboBox*>(QStringLiteral("type"));
    type->setCurrentIndex(type->findText(QStringLiteral("s16")));
    // It shows the value the list shows, in the type chosen.
    EXPECT_EQ(dialog->findChild<QLineEdit*>(QStringLiteral("value"))->text(), "-21555");
    auto* function = dialog->findChild<QComboBox*>(QStringLiteral("function"));
    function->setCurrentIndex(function->findText(QStringLiteral("6 Write Single Register")));
    dialog->findChild<QLineEdit*>(QStringLiteral("value"))->setText(QStringLiteral("-2"));
    unit->setText(QStringLiteral("7"));
    offset->setChecked(true);
    dialog->findChild<QPushButton*>(QStringLiteral("write"))->click();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(Drain(), (std::vector<std::vector<uint8_t>>{WriteFrame(6, 1, 0xFFFE, 7)}));

    // The next dialog starts on the type last chosen, not the column's hex16,
    // also when that dialog was cancelled; disconnected while it is open,
    // Write sends nothing and says why.
    dialog.reset(CreateWriteValueDialogFor(0, 7));
    EXPECT_EQ(dialog->findChild<QComboBox*>(QStringLiteral("type"))->currentText(), "s16");
    type = dialog->findChild<QComboBox*>(QStringLiteral("type"));
    type->setCurrentIndex(type->findText(QStringLiteral("float32")));
    dialog->reject();
    dialog.reset(CreateWriteValueDialogFor(0, 7));
    EXPECT_EQ(dialog->findChild<QComboBox*>(QStringLiteral("type"))->currentText(), "float32");
    dialog->findChild<QLineEdit*>(QStringLiteral("value"))->setText(QStringLiteral("1"));
    program.link.state = LinkOff;
    dialog->findChild<QPushButton*>(QStringLiteral("write"))->click();
    EXPECT_EQ(program.link.pendingWrites.Size(), 0u);
    EXPECT_NE(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(dialog->findChild<QLabel*>(QStringLiteral("reason"))->text(), "Not connected: nothing can be sent.");
}
