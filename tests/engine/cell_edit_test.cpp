#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QToolButton>

#include <algorithm>
#include <atomic>
#include <thread>

#include "data_view_fixture.h"

namespace {

using Frames = std::vector<std::vector<uint8_t>>;

class CellEditTest : public DataViewTest {
protected:
    QLineEdit* Editor()
    {
        QLineEdit* field = OpenEditorField();
        EXPECT_NE(field, nullptr) << "no editor open";
        return field;
    }

    // Replaces the editor's text by typing, key by key.
    void Type(const char* text)
    {
        QLineEdit* field = Editor();
        if (!field)
            return;
        field->selectAll();
        QTest::keyClicks(field, QString::fromLatin1(text));
    }

    void Key(Qt::Key key)
    {
        if (QLineEdit* field = Editor())
            QTest::keyClick(field, key);
    }

    // The refusal notice while it shows, else null.
    QLabel* Notice()
    {
        auto* notice = view->findChild<QLabel*>(QLatin1String(kCellNoticeName));
        return notice && notice->isVisible() ? notice : nullptr;
    }
    QString NoticeText() { return Notice() ? Notice()->text() : QString(); }

    std::vector<int> Events()
    {
        std::vector<int> events;
        for (const auto& e : gRecorded)
            events.push_back(e.event);
        return events;
    }
};

}  // namespace

TEST_F(CellEditTest, CoilChoiceUpThenEnterQueuesOnAndRestoresTheCell)
{
    Connect(1, 3, {0, 1, 0, 0});
    SetCellText(1, 3, "0");
    DoubleClickCell(1, 3);
    ASSERT_NE(OpenEditorField(), nullptr);
    EXPECT_NE(OpenEditorButton(0), nullptr);
    EXPECT_NE(OpenEditorButton(1), nullptr);
    EXPECT_EQ(Editor()->text(), "0");
    EXPECT_TRUE(Editor()->hasFocus());

    Key(Qt::Key_Down);  // no wrap-around past the last choice
    EXPECT_EQ(Editor()->text(), "0");
    Key(Qt::Key_Up);
    EXPECT_EQ(Editor()->text(), "1");
    Key(Qt::Key_Up);
    EXPECT_EQ(Editor()->text(), "1");
    Key(Qt::Key_Return);

    EXPECT_EQ(OpenEditorField(), nullptr);
    EXPECT_TRUE(view->hasFocus());
    EXPECT_EQ(Cell(1, 3), "0");
    EXPECT_EQ(Drain(), (Frames{WriteFrame(5, 2, 0xFF00)}));
}

TEST_F(CellEditTest, ChoiceButtonsAndTypedKeys)
{
    Connect(1, 3, {0, 1, 0, 0});
    SetCellText(0, 3, "1");
    DoubleClickCell(0, 3);
    gRecorded.clear();
    QTest::keyClicks(Editor(), "x7");
    EXPECT_EQ(Editor()->text(), "1") << "a choice cannot be typed over";
    EXPECT_EQ(Events(), (std::vector<int>{EditKey, EditKey}));

    QTest::mouseClick(OpenEditorButton(1), Qt::LeftButton);
    EXPECT_EQ(Editor()->text(), "0");
    QTest::mouseClick(OpenEditorButton(0), Qt::LeftButton);
    EXPECT_EQ(Editor()->text(), "1");
    EXPECT_EQ(Events().size(), 2u) << "button clicks report no keys";

    // Back to the cell's own text: nothing to write.
    Key(Qt::Key_Enter);
    EXPECT_EQ(Events().back(), EditCommit);
    EXPECT_TRUE(Drain().empty());
    EXPECT_EQ(Cell(0, 3), "1");
}

TEST_F(CellEditTest, EmptyCoilCellOffersOnAndQueuesIt)
{
    Connect(5, 3, {0, 1, 0, 0});
    DoubleClickCell(0, 3);
    EXPECT_EQ(Editor()->text(), "1");
    Key(Qt::Key_Return);
    EXPECT_EQ(Drain(), (Frames{WriteFrame(5, 5, 0xFF00)}));
    EXPECT_EQ(Cell(0, 3), "");
}

TEST_F(CellEditTest, EnterReportsOneKeyWithTheWholeTextThenCommit)
{
    Connect(1, 3, {0, 0, 0, 3});
    SetCellText(2, 7, "100");
    DoubleClickCell(2, 7);
    ASSERT_EQ(gRecorded.size(), 1u);
    EXPECT_EQ(gRecorded[0].event, EditBegin);
    EXPECT_EQ(gRecorded[0].list, IdDataList);
    EXPECT_EQ(gRecorded[0].column, 7);
    EXPECT_EQ(gRecorded[0].row, 2);
    EXPECT_EQ(Editor()->text(), "100");

    Type("42");
    Key(Qt::Key_Return);
    ASSERT_EQ(Events(), (std::vector<int>{EditBegin, EditKey, EditKey, EditKey, EditCommit}));
    EXPECT_EQ(gRecorded[1].text, "100") << "each key reports the text before it";
    EXPECT_EQ(gRecorded[3].text, "42");
    EXPECT_EQ(gRecorded[4].column, -1);
    EXPECT_EQ(Drain(), (Frames{WriteFrame(6, 3, 42)}));
    EXPECT_EQ(Cell(2, 7), "100");
}

TEST_F(CellEditTest, EnterWithoutChangeQueuesNothing)
{
    Connect(1, 3, {0, 1, 0, 3});
    SetCellText(0, 3, "1");
    SetCellText(0, 7, "5");
    DoubleClickCell(0, 3);
    Key(Qt::Key_Return);
    DoubleClickCell(0, 7);
    Key(Qt::Key_Return);
    EXPECT_TRUE(Drain().empty());
}

TEST_F(CellEditTest, EscapeCancelsAndLeavesTheCell)
{
    Connect(1, 3, {0, 0, 0, 3});
    SetCellText(0, 7, "5");
    DoubleClickCell(0, 7);
    Type("99");
    Key(Qt::Key_Escape);
    EXPECT_EQ(OpenEditorField(), nullptr);
    EXPECT_EQ(Events().back(), EditCancel);
    EXPECT_EQ(Cell(0, 7), "5");
    EXPECT_TRUE(Drain().empty());
}

TEST_F(CellEditTest, ClickElsewhereCommitsTheFinalText)
{
    Connect(1, 3, {0, 0, 0, 3});
    SetCellText(0, 7, "100");
    DoubleClickCell(0, 7);
    Type("2");
    ClickCell(2, 0);
    EXPECT_EQ(OpenEditorField(), nullptr);
    EXPECT_EQ(Events().back(), EditCommit);
    EXPECT_EQ(Drain(), (Frames{WriteFrame(6, 1, 2)}));
    EXPECT_EQ(Cell(0, 7), "100");

    // A double-click on another editable cell commits and opens that one.
    DoubleClickCell(0, 7);
    Type("3");
    DoubleClickCell(1, 7);
    EXPECT_EQ(Drain(), (Frames{WriteFrame(6, 1, 3)}));
    ASSERT_NE(OpenEditorField(), nullptr);
    EXPECT_EQ(gRecorded.back().event, EditBegin);
    EXPECT_EQ(gRecorded.back().row, 1);
}

TEST_F(CellEditTest, HeaderClickCancelsAndKeepsTheRowOrder)
{
    Connect(1, 3, {1, 0, 0, 3});
    SetCellText(0, 7, "30");
    SetCellText(1, 7, "10");
    SetCellText(2, 7, "20");
    DoubleClickCell(1, 7);
    Type("77");
    QHeaderView* header = view->horizontalHeader();
    const QPoint onColumn7(header->sectionViewportPosition(7) + 5, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, onColumn7);
    EXPECT_EQ(OpenEditorField(), nullptr);
    EXPECT_EQ(Events().back(), EditCancel);
    EXPECT_TRUE(Drain().empty());
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, onColumn7);
    EXPECT_EQ(Cell(0, 7), "30");
    EXPECT_EQ(Cell(1, 7), "10");
    EXPECT_EQ(Cell(0, 0), "10001");
    EXPECT_FALSE(header->isSortIndicatorShown());
}

TEST_F(CellEditTest, HeaderSortFollowsTheCompareCallbackStably)
{
    Connect(1, 4, {1, 0, 0, 3});
    const char* values[] = {"b", "a", "b", "a"};
    for (int r = 0; r < 4; r++)
        SetCellText(r, 7, values[r]);
    SetCompareCallback([](int, int, const std::string& a, const std::string& b) { return a.compare(b); });
    QHeaderView* header = view->horizontalHeader();
    auto clickHeader = [&](int column) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(column) + 5, header->height() / 2));
    };
    auto order = [&] {
        std::string labels;
        for (int r = 0; r < 4; r++)
            labels += Cell(r, 0).back();
        return labels;
    };
    clickHeader(7);
    EXPECT_EQ(order(), "2413");
    clickHeader(7);
    EXPECT_EQ(order(), "1324") << "a second click reverses, equal rows keep their order";
    SetColumnSortType(IdDataList, 6, SortNone);
    clickHeader(6);
    EXPECT_EQ(order(), "1324");
    SetCompareCallback(CompareCells);
}

TEST_F(CellEditTest, SwitchingEditingOffCommits)
{
    Connect(1, 3, {0, 0, 0, 3});
    DoubleClickCell(0, 7);
    Type("12");
    SetColumnEditable(IdDataList, 3, false);
    EXPECT_EQ(OpenEditorField(), nullptr);
    EXPECT_EQ(Events().back(), EditCommit);
    EXPECT_EQ(Drain(), (Frames{WriteFrame(6, 1, 12)}));

    // Not editable any more: a double-click opens nothing, asks nothing.
    SetColumnEditable(IdDataList, 7, false);
    gRecorded.clear();
    DoubleClickCell(0, 7);
    DoubleClickCell(0, 5);
    EXPECT_EQ(OpenEditorField(), nullptr);
    EXPECT_TRUE(gRecorded.empty());
}

TEST_F(CellEditTest, ColumnResizeCancels)
{
    Connect(1, 3, {0, 0, 0, 3});
    DoubleClickCell(0, 7);
    view->horizontalHeader()->resizeSection(2, 70);
    EXPECT_EQ(OpenEditorField(), nullptr);
    EXPECT_EQ(Events().back(), EditCancel);
}

TEST_F(CellEditTest, OnlyAWhole16BitValueInTheColumnsFormatIsSent)
{
    struct Case {
        int format;
        const char* typed;
        int value;  // -1: refused, nothing queued
    };
    const Case cases[] = {{2, "1F", 0x001F},     {1, "101", 0x0005}, {3, "-1", 0xFFFF}, {3, "$10", 0x0010},
                          {3, " 65535 ", 65535}, {2, "0x1F", -1},    {3, "65536", -1},  {3, "100000", -1},
                          {3, "abc", -1},        {3, "", -1},        {1, "102", -1},    {2, "12345", -1}};
    for (const Case& c : cases) {
        Connect(1, 3, {0, 0, 0, c.format});
        SetCellText(0, 7, "7");
        if (Notice())
            Notice()->hide();
        DoubleClickCell(0, 7);
        Type(c.typed);
        if (!*c.typed)
            Key(Qt::Key_Backspace);
        Key(Qt::Key_Return);
        EXPECT_EQ(Cell(0, 7), "7") << c.typed;
        if (c.value < 0) {
            EXPECT_TRUE(Drain().empty()) << c.typed;
            EXPECT_TRUE(NoticeText().contains(QStringLiteral("Not sent"))) << c.typed;
        } else {
            EXPECT_EQ(Drain(), (Frames{WriteFrame(6, 1, static_cast<uint16_t>(c.value))})) << c.typed;
        }
    }
}

TEST_F(CellEditTest, ARefusalNoticeCoversNoValueAndGoesWithTheNextKey)
{
    Connect(1, 3, {1, 1, 3, 3});
    for (int row = 0; row < 3; ++row)
        for (int column = 1; column < kDataListColumns; column += 2)
            SetCellText(row, column, "1");
    DoubleClickCell(1, 7);
    Type("abc");
    Key(Qt::Key_Return);
    QLabel* notice = Notice();
    ASSERT_NE(notice, nullptr);
    EXPECT_TRUE(notice->text().contains(QStringLiteral("Not sent")));
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < kDataListColumns; ++column) {
            const QRect cell = view->visualRect(view->model()->index(row, column));
            EXPECT_FALSE(notice->geometry().intersects(cell.translated(view->viewport()->mapToGlobal(QPoint()))))
                << row << ", " << column;
        }

    QApplication::processEvents();
    QTest::keyClick(view, Qt::Key_Up);
    EXPECT_EQ(Notice(), nullptr);
}

TEST_F(CellEditTest, AWriteWhoseAddressWouldWrapIsNotSent)
{
    // With the offset, address 0 would go out as FF FF.
    Connect(0, 3, {0, 1, 0, 3});
    offset->setChecked(true);
    DoubleClickCell(0, 7);
    Type("5");
    Key(Qt::Key_Return);
    DoubleClickCell(0, 3);
    Key(Qt::Key_Up);
    Key(Qt::Key_Return);
    EXPECT_TRUE(Drain().empty());
    EXPECT_TRUE(NoticeText().contains(QStringLiteral("outside 0..65535")));

    // The rows of the block are fine from address 1 on.
    DoubleClickCell(1, 7);
    Type("5");
    Key(Qt::Key_Return);
    EXPECT_EQ(Drain(), (Frames{WriteFrame(6, 0, 5)}));

    // Beyond the last address, with or without the offset.
    offset->setChecked(false);
    Connect(65535, 3, {0, 0, 0, 3});
    DoubleClickCell(1, 7);
    Type("5");
    Key(Qt::Key_Return);
    EXPECT_TRUE(Drain().empty());
}

TEST_F(CellEditTest, AddressUnitAndOffsetAreReadAtCommit)
{
    Connect(1, 3, {0, 1, 0, 3});
    DoubleClickCell(0, 7);
    Type("9");
    offset->setChecked(true);  // changed while the editor is open
    unit->setText("300");
    Key(Qt::Key_Return);
    EXPECT_EQ(Drain(), (Frames{WriteFrame(6, 0, 9, 0x2C)}));

    offset->setChecked(false);
    unit->setText("1");
    DoubleClickCell(0, 7);
    Type("9");
    Key(Qt::Key_Return);
    EXPECT_EQ(Drain(), (Frames{WriteFrame(6, 1, 9)}));

    Connect(100, 3, {0, 1, 0, 3});
    DoubleClickCell(2, 3);
    Key(Qt::Key_Up);
    Key(Qt::Key_Return);
    EXPECT_EQ(Drain(), (Frames{WriteFrame(5, 0x66, 0xFF00)}));
}

TEST_F(CellEditTest, AddressesFromTenThousandOn)
{
    Connect(12345, 3, {0, 1, 0, 3});
    EXPECT_EQ(Cell(0, 2), "012345");
    EXPECT_EQ(Cell(1, 6), "412346");
    DoubleClickCell(0, 3);
    Key(Qt::Key_Up);
    Key(Qt::Key_Return);
    DoubleClickCell(1, 7);
    Type("1");
    Key(Qt::Key_Return);
    EXPECT_EQ(Drain(), (Frames{WriteFrame(6, 12346, 1), WriteFrame(5, 12345, 0xFF00)}));
}

TEST_F(CellEditTest, NoDataCellsOpenNoEditor)
{
    Connect(1, 3, {1, 0, 1, 0});
    DoubleClickCell(0, 3);
    EXPECT_EQ(OpenEditorField(), nullptr);
    DoubleClickCell(1, 7);
    EXPECT_EQ(OpenEditorField(), nullptr);
    EXPECT_EQ(Events(), (std::vector<int>{EditBegin, EditBegin}));
    EXPECT_TRUE(Drain().empty());
}

TEST_F(CellEditTest, TwoEditsDrainNewestFirst)
{
    Connect(1, 3, {0, 0, 0, 3});
    DoubleClickCell(0, 7);
    Type("1");  // A
    Key(Qt::Key_Return);
    DoubleClickCell(1, 7);
    Type("2");  // B
    Key(Qt::Key_Return);
    EXPECT_EQ(Drain(), (Frames{WriteFrame(6, 2, 2), WriteFrame(6, 1, 1)}));
}

TEST_F(CellEditTest, EditorFollowsItsCellWhenScrolling)
{
    Connect(1, 300, {0, 0, 0, 3});
    view->scrollTo(view->model()->index(40, 7), QAbstractItemView::PositionAtTop);
    DoubleClickCell(45, 7);
    QLineEdit* field = Editor();
    ASSERT_NE(field, nullptr);
    auto cellTop = [&] { return view->visualRect(view->model()->index(45, 7)).top(); };
    EXPECT_EQ(field->y(), cellTop());

    view->verticalScrollBar()->setValue(view->verticalScrollBar()->value() + 3);
    EXPECT_TRUE(field->isVisible());
    EXPECT_EQ(field->y(), cellTop());

    view->scrollTo(view->model()->index(100, 7), QAbstractItemView::PositionAtTop);
    EXPECT_FALSE(field->isVisible()) << "row above the view";
    view->scrollTo(view->model()->index(44, 7), QAbstractItemView::PositionAtTop);
    EXPECT_TRUE(field->isVisible());
    EXPECT_EQ(field->y(), cellTop());
    EXPECT_EQ(OpenEditorField(), field);
}

TEST_F(CellEditTest, KeysStayInTheFreeTextEditorAndAnEditorOutOfViewTakesNone)
{
    Connect(1, 300, {0, 0, 0, 3});
    view->scrollTo(view->model()->index(60, 7), QAbstractItemView::PositionAtTop);
    DoubleClickCell(62, 7);
    QLineEdit* field = Editor();
    ASSERT_NE(field, nullptr);
    const QModelIndex current = view->currentIndex();
    const int scroll = view->verticalScrollBar()->value();
    for (Qt::Key key : {Qt::Key_Up, Qt::Key_Down, Qt::Key_PageDown, Qt::Key_PageDown, Qt::Key_PageDown})
        Key(key);
    EXPECT_EQ(view->currentIndex(), current);
    EXPECT_EQ(view->verticalScrollBar()->value(), scroll);
    EXPECT_TRUE(field->isVisible());
    EXPECT_TRUE(field->hasFocus());

    // Scrolled below the list's last visible row: typing reaches the list,
    // not the editor, until its row comes back.
    field->setText("7");
    view->scrollTo(view->model()->index(0, 7), QAbstractItemView::PositionAtTop);
    EXPECT_FALSE(field->isVisible());
    QTest::keyClicks(QApplication::focusWidget(), "9");
    EXPECT_EQ(field->text(), "7");
    view->scrollTo(view->model()->index(60, 7), QAbstractItemView::PositionAtTop);
    EXPECT_TRUE(field->hasFocus());
    // Tab leaves the list, editor and all; Shift+Tab comes back to the editor.
    QTest::keyClick(field, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), unit);
    QTest::keyClick(unit, Qt::Key_Backtab);
    EXPECT_EQ(QApplication::focusWidget(), field);
    Key(Qt::Key_Return);
    EXPECT_EQ(Drain(), (Frames{WriteFrame(6, 63, 7)}));
}

TEST_F(CellEditTest, SingleClickFramesOnlyEditableCells)
{
    Connect(1, 3, {1, 1, 1, 1});
    auto frameAt = [&](int row, int column) {
        QApplication::processEvents();
        const QImage image = view->viewport()->grab().toImage();
        const QRect cell = view->visualRect(view->model()->index(row, column));
        return image.pixelColor(cell.topLeft() * image.devicePixelRatio()) == QColor(Qt::black) &&
               image.pixelColor(cell.bottomRight() * image.devicePixelRatio()) == QColor(Qt::black);
    };
    view->setSelectionMode(QAbstractItemView::NoSelection);  // keep the highlight out of the picture
    ClickCell(1, 3);
    EXPECT_TRUE(frameAt(1, 3));
    ClickCell(1, 5);
    EXPECT_FALSE(frameAt(1, 3));
    EXPECT_FALSE(frameAt(1, 5));
}

TEST_F(CellEditTest, ColumnSettingsAnswerResultCodes)
{
    EXPECT_EQ(SetColumnEditable(IdDataList, 3, true), ListDone);
    EXPECT_EQ(SetColumnSortType(IdDataList, 255, SortNone), ListDone);
    EXPECT_EQ(SetColumnEditable(IdHelpPane, 3, true), ListNoControl);  // nothing registered there
    EXPECT_EQ(SetColumnEditable(IdDataList, 256, true), ListBadColumn);
    EXPECT_EQ(SetColumnSortType(IdDataList, -1, SortNone), ListBadColumn);
    EXPECT_EQ(SetColumnEditable(IdUnitField, 3, true), ListNotAttached);
    EXPECT_EQ(RegisterEditableList(IdUnitField, 0), ListNoControl);  // not a list

    // Attaching again starts from no editable columns.
    Connect(1, 3, {0, 0, 0, 3});
    ASSERT_EQ(RegisterEditableList(IdDataList, 0), ListDone);
    gRecorded.clear();
    DoubleClickCell(0, 7);
    EXPECT_EQ(OpenEditorField(), nullptr);
    EXPECT_TRUE(gRecorded.empty());
}

TEST_F(CellEditTest, EditOfADestroyedListIsDroppedQuietly)
{
    Connect(1, 3, {0, 0, 0, 3});
    DoubleClickCell(0, 7);
    ASSERT_NE(OpenEditorField(), nullptr);
    delete view;
    gRecorded.clear();
    CommitEdit();
    CancelEdit();
    EXPECT_EQ(OpenEditorField(), nullptr);
    EXPECT_TRUE(gRecorded.empty());
    EXPECT_TRUE(Drain().empty());
}

TEST_F(CellEditTest, EditsCommittedWhileTheWorkerDrainsAreSentOnce)
{
    constexpr int kEdits = 2000;
    Connect(1, kEdits, {0, 0, 0, 3});
    std::vector<int> seen(kEdits, 0);
    std::atomic<bool> editing{true};
    std::thread worker([&] {
        for (;;) {
            const bool last = !editing;
            while (auto w = program.link.pendingWrites.TakeNext()) {
                const int address = w->write.frame[8] << 8 | w->write.frame[9];
                const int value = w->write.frame[10] << 8 | w->write.frame[11];
                if (address >= 1 && address <= kEdits && value == address + 7)
                    seen[static_cast<size_t>(address - 1)]++;
            }
            if (last)
                return;
            std::this_thread::yield();
        }
    });
    // The edit path on the GUI thread, as the list drives it on Enter.
    for (int r = 0; r < kEdits; r++) {
        HandleCellEdit(EditBegin, IdDataList, 7, r, {});
        SetCellText(r, 7, std::to_string(r + 8));
        HandleCellEdit(EditCommit, -1, -1, -1, {});
    }
    editing = false;
    worker.join();
    for (int r = 0; r < kEdits; r++)
        ASSERT_EQ(seen[static_cast<size_t>(r)], 1) << "edit of row " << r;
}
