#include <QBrush>
#include <QColor>
#include <QFont>
#include <QSignalSpy>

#include <atomic>
#include <cstring>
#include <memory>
#include <thread>

#include "common/colours.h"
#include "data_view_fixture.h"

namespace {

using Column = std::vector<std::string>;

class DataTablesTest : public DataViewTest {
protected:
    Column ColumnTexts(int column)
    {
        Column texts;
        for (int r = 0; r < DataListRowCount(); r++)
            texts.push_back(Cell(r, column));
        return texts;
    }

    // Runs ShowReadValues on a worker thread, as the poll worker does, while
    // this (GUI) thread keeps delivering its cell updates.
    void ShowFromWorker(int table, const uint8_t* data, int count, int32_t quantity, std::array<int, 4> formats)
    {
        std::atomic<bool> done{false};
        std::thread worker([&] {
            ShowReadValues(table, data, count, quantity, formats[0], formats[1], formats[2], formats[3]);
            done = true;
        });
        QElapsedTimer hang;
        hang.start();
        while (!done && hang.elapsed() < 10000)
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        worker.join();
        ASSERT_TRUE(done) << "ShowReadValues did not finish within 10 s";
    }
};

// The values of a read reply, exactly their size on the heap.
std::unique_ptr<uint8_t[]> Response(const std::vector<uint8_t>& data)
{
    auto bytes = std::make_unique<uint8_t[]>(data.size());
    std::memcpy(bytes.get(), data.data(), data.size());
    return bytes;
}

}  // namespace

TEST_F(DataTablesTest, RebuildLabelsEveryShownTable)
{
    Connect(1, 3, {1, 1, 3, 2});
    EXPECT_EQ(DataListRowCount(), 3);
    EXPECT_EQ(ColumnTexts(0), (Column{"10001", "10002", "10003"}));
    EXPECT_EQ(ColumnTexts(2), (Column{"0001", "0002", "0003"}));
    EXPECT_EQ(ColumnTexts(4), (Column{"30001", "30002", "30003"}));
    EXPECT_EQ(ColumnTexts(6), (Column{"40001", "40002", "40003"}));
    EXPECT_EQ(ColumnTexts(1), (Column{"", "", ""}));
    EXPECT_EQ(program.tableRowTotal, 12);
    EXPECT_EQ(program.tableStartAddress, 1);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "busy cursor left on";

    Connect(100, 2, {1, 1, 0, 1});
    EXPECT_EQ(ColumnTexts(0), (Column{"10100", "10101"}));
    EXPECT_EQ(ColumnTexts(2), (Column{"0100", "0101"}));
    EXPECT_EQ(ColumnTexts(6), (Column{"40100", "40101"}));
    EXPECT_EQ(program.tableRowTotal, 6);
}

TEST_F(DataTablesTest, ShrinkingRemovesRowsFromTheTopAndEmptiesNoDataTables)
{
    Connect(1, 10, {1, 1, 1, 1});
    for (int r = 0; r < 10; r++) {
        SetCellText(r, 1, std::to_string(r));
        SetCellText(r, 5, "v" + std::to_string(r));
    }
    Connect(1, 4, {1, 1, 0, 1});
    EXPECT_EQ(DataListRowCount(), 4);
    EXPECT_EQ(ColumnTexts(0), (Column{"10001", "10002", "10003", "10004"}));
    // Old values stay with their rows until a response replaces them.
    EXPECT_EQ(ColumnTexts(1), (Column{"6", "7", "8", "9"}));
    EXPECT_EQ(ColumnTexts(4), (Column{"", "", "", ""}));
    EXPECT_EQ(ColumnTexts(5), (Column{"", "", "", ""}));
    EXPECT_EQ(program.tableRowTotal, 12);

    Connect(1, 5, {0, 0, 0, 0});
    EXPECT_EQ(DataListRowCount(), 5);
    for (int c = 0; c < 8; c++)
        EXPECT_EQ(ColumnTexts(c), (Column(5, ""))) << "column " << c;
    EXPECT_EQ(program.tableRowTotal, 0);
}

TEST_F(DataTablesTest, OddLengthsGiveBoundedRows)
{
    Connect(1, 4, {1, 1, 1, 1});
    length->setText("-5");
    RebuildDataTables();
    EXPECT_EQ(DataListRowCount(), 0);
    EXPECT_EQ(program.tableRowTotal, 0);

    length->setText("abc");
    RebuildDataTables();
    EXPECT_EQ(DataListRowCount(), 0);

    length->setText("4000000000");  // wraps to a negative 32-bit number
    RebuildDataTables();
    EXPECT_EQ(DataListRowCount(), 0);

    length->setText("99999");
    RebuildDataTables();
    EXPECT_EQ(DataListRowCount(), 65535);
    EXPECT_EQ(Cell(65534, 6), "465535");
}

TEST_F(DataTablesTest, WorkerShowsValuesInTheTablesFormat)
{
    Connect(1, 10, {1, 1, 2, 3});
    auto coils = Response({0x05, 0x02});
    ShowFromWorker(2, coils.get(), 2, 10, {1, 1, 2, 3});
    EXPECT_EQ(ColumnTexts(3), (Column{"1", "0", "1", "0", "0", "0", "0", "0", "0", "1"}));

    auto regs = Response({0xFF, 0xFE, 0x00, 0x00});
    ShowFromWorker(4, regs.get(), 4, 2, {1, 1, 2, 3});
    EXPECT_EQ(Cell(0, 7), "65534");
    EXPECT_EQ(Cell(1, 7), "0");
    ShowFromWorker(3, regs.get(), 4, 2, {1, 1, 2, 3});
    EXPECT_EQ(Cell(0, 5), "FFFE");
    EXPECT_EQ(Cell(1, 5), "0000");
    ShowFromWorker(3, regs.get(), 4, 2, {1, 1, 1, 3});
    EXPECT_EQ(Cell(0, 5), "1111111111111110");
    // The address columns are never touched.
    EXPECT_EQ(Cell(0, 4), "30001");
}

TEST_F(DataTablesTest, ShortResponseAfterALongOneShowsNoStaleValues)
{
    Connect(1, 10, {0, 0, 0, 3});
    // The cycle buffer is reused: after a long response, a short one leaves
    // the long one's bytes behind its end.
    uint8_t buffer[512] = {};
    for (int r = 0; r < 10; r++)
        buffer[2 * r + 1] = static_cast<uint8_t>(100 + r);
    ShowFromWorker(4, buffer, 20, 10, {0, 0, 0, 3});
    EXPECT_EQ(Cell(9, 7), "109");

    buffer[1] = 7;
    ShowFromWorker(4, buffer, 4, 10, {0, 0, 0, 3});
    EXPECT_EQ(ColumnTexts(7), (Column{"7", "101", "", "", "", "", "", "", "", ""}));
}

TEST_F(DataTablesTest, QuantityBeyondTheRowsAndTheBufferIsHarmless)
{
    Connect(1, 5, {0, 0, 1, 0});
    SetValuePause([] {});
    auto regs = Response({0x00, 0x2A});
    ShowFromWorker(3, regs.get(), 2, 300, {0, 0, 1, 0});
    EXPECT_EQ(ColumnTexts(5), (Column{"0000000000101010", "", "", "", ""}));
    EXPECT_EQ(DataListRowCount(), 5);

    // 503 bytes hold 251 registers of 300 asked for.
    Connect(1, 300, {0, 0, 2, 0});
    auto full = std::make_unique<uint8_t[]>(503);
    std::memset(full.get(), 0x11, 503);
    ShowFromWorker(3, full.get(), 503, 300, {0, 0, 2, 0});
    EXPECT_EQ(Cell(250, 5), "1111");
    EXPECT_EQ(Cell(251, 5), "");
    EXPECT_EQ(Cell(299, 5), "");

    ShowFromWorker(3, full.get(), 503, -3, {0, 0, 2, 0});
    EXPECT_EQ(Cell(0, 5), "1111");
}

TEST_F(DataTablesTest, AStaleTableIsGreyedUntilItsNextValidRead)
{
    Connect(1, 3, {1, 1, 3, 2});
    SetCellText(2, 5, "42");
    // The columns drawn in grey italics in the last row; the others have no
    // colour or font of their own (the list's).
    auto greyed = [&] {
        std::vector<int> columns;
        for (int c = 0; c < kDataListColumns; c++) {
            const QVariant colour = view->model()->index(2, c).data(Qt::ForegroundRole);
            const QVariant font = view->model()->index(2, c).data(Qt::FontRole);
            if (colour.isValid() &&
                colour.value<QBrush>().color() == QColor(kStaleGrey.r, kStaleGrey.g, kStaleGrey.b)) {
                columns.push_back(c);
                EXPECT_TRUE(font.value<QFont>().italic()) << c;
            } else {
                EXPECT_FALSE(colour.isValid()) << c;
                EXPECT_FALSE(font.isValid()) << c;
            }
        }
        return columns;
    };
    QSignalSpy updates(view->model(), &QAbstractItemModel::dataChanged);

    // From the poll worker, every cycle while the reads fail: one update.
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (int i = 0; i < 3; i++)
            MarkTableStale(3);
        done = true;
    });
    // Bounded by time, not by turns: a turn with nothing to do returns at
    // once, and the worker may not have started yet.
    QElapsedTimer waited;
    waited.start();
    while (!done && waited.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    worker.join();
    EXPECT_EQ(greyed(), std::vector<int>{5});
    EXPECT_EQ(Cell(2, 5), "42") << "the last known value stays";
    MarkTableFresh(3);
    MarkTableFresh(3);  // already fresh: nothing to update
    EXPECT_EQ(greyed(), std::vector<int>{});
    MarkAllTablesStale();
    EXPECT_EQ(updates.count(), 3);
    MarkTableFresh(4);
    EXPECT_EQ(greyed(), (std::vector<int>{1, 3, 5}));

    Connect(1, 3, {1, 1, 3, 2});  // every table afresh
    EXPECT_EQ(greyed(), std::vector<int>{});
}
