// A stand-in for the window around the data list: the data list itself and
// the fields, checkbox and selectors the data view reads, under their ids.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <QWidget>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "engine/cell_edit.h"
#include "engine/data_tables.h"
#include "engine/program_state.h"
#include "ui/control_ids.h"
#include "ui/controls.h"
#include "ui/data_list.h"
#include "ui/editable_list.h"
#include "ui/fonts.h"

struct RecordedEvent {
    int event;
    int list, column, row;
    std::string text;
};

// Every edit event the list reports, in order; forwarded to HandleCellEdit.
inline std::vector<RecordedEvent> gRecorded;

inline EditAnswer RecordingHandler(int event, int list, int column, int row, const std::string& text)
{
    gRecorded.push_back({event, list, column, row, text});
    return HandleCellEdit(event, list, column, row, text);
}

class DataViewTest : public testing::Test {
protected:
    void SetUp() override
    {
        window_ = std::make_unique<QWidget>();
        window_->resize(510, 520);
        view = CreateDataList(window_.get(), TableFont());
        view->setGeometry(3, 88, 497, 420);
        RegisterControl(IdDataList, view);

        unit = Field(IdUnitField, "1");
        start = Field(IdStartField, "1");
        length = Field(IdLengthField, "3");
        offset = new QCheckBox(window_.get());
        RegisterControl(IdOffsetCheck, offset);
        for (int t = 1; t <= 4; t++) {
            auto* combo = new QComboBox(window_.get());
            if (t <= 2)
                combo->addItems({"No data", "Bit"});
            else
                combo->addItems({"No data", "Binary", "Hex", "Decimal"});
            RegisterControl(SelectorOfTable(t), combo);
            selectors[static_cast<size_t>(t - 1)] = combo;
        }

        ASSERT_EQ(RegisterEditableList(IdDataList, 0), ListDone);
        SetEditColours({255, 102, 0}, {255, 255, 255});
        SetEditCallback(RecordingHandler);
        SetCompareCallback(CompareCells);
        for (int c = 0; c < 8; c++)
            SetColumnSortType(IdDataList, c, SortByCallback);

        program.link.pendingWrites.Clear();
        gRecorded.clear();
        window_->show();
        QApplication::setActiveWindow(window_.get());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    }

    void TearDown() override
    {
        CancelEdit();
        window_.reset();
        ClearControlRegistry();
        SetValuePause(nullptr);
    }

    QLineEdit* Field(int id, const char* text)
    {
        auto* edit = new QLineEdit(QString::fromLatin1(text), window_.get());
        RegisterControl(id, edit);
        return edit;
    }

    // Start address, length and the four selector indices; then the rebuild
    // a connect makes, and columns 3 and 7 editable as while connected.
    void Connect(int s, int n, std::array<int, 4> formats)
    {
        start->setText(QString::number(s));
        length->setText(QString::number(n));
        for (size_t t = 0; t < 4; t++)
            selectors[t]->setCurrentIndex(formats[t]);
        RebuildDataTables();
        SetColumnEditable(IdDataList, 3, true);
        SetColumnEditable(IdDataList, 7, true);
        QApplication::processEvents();
    }

    QPoint CellCentre(int row, int column) { return view->visualRect(view->model()->index(row, column)).center(); }

    void ClickCell(int row, int column)
    {
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, CellCentre(row, column));
    }

    // What the platform delivers for a double-click: a click, then the
    // double-click itself.
    void DoubleClickCell(int row, int column)
    {
        ClickCell(row, column);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, CellCentre(row, column));
    }

    std::string Cell(int row, int column) { return GetCellText(row, column); }

    // The queue's frames, in the order the worker drains them.
    std::vector<std::vector<uint8_t>> Drain()
    {
        std::vector<std::vector<uint8_t>> frames;
        while (auto queued = program.link.pendingWrites.TakeNext()) {
            const PendingWrite& w = queued->write;
            EXPECT_EQ(w.length, 12);
            for (size_t i = 12; i < 16; i++)
                EXPECT_EQ(w.frame[i], 0) << "byte " << i;
            frames.emplace_back(w.frame.begin(), w.frame.begin() + 12);
        }
        return frames;
    }

    std::unique_ptr<QWidget> window_;
    QTableView* view = nullptr;
    QLineEdit* unit = nullptr;
    QLineEdit* start = nullptr;
    QLineEdit* length = nullptr;
    QCheckBox* offset = nullptr;
    std::array<QComboBox*, 4> selectors{};
};

// Write request as it is queued: header (its transaction id given only as
// it goes out), unit 1, function, address, value.
inline std::vector<uint8_t> WriteFrame(uint8_t function, uint16_t address, uint16_t value, uint8_t unitId = 1)
{
    return {0x00,
            0x00,
            0x00,
            0x00,
            0x00,
            0x06,
            unitId,
            function,
            static_cast<uint8_t>(address >> 8),
            static_cast<uint8_t>(address & 0xFF),
            static_cast<uint8_t>(value >> 8),
            static_cast<uint8_t>(value & 0xFF)};
}
