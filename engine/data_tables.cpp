#include "engine/data_tables.h"

#include <QApplication>
#include <QCursor>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "common/number_rule.h"
#include "common/table_numbers.h"
#include "dataview/value_formats.h"
#include "dataview/value_views.h"
#include "engine/program_state.h"
#include "ui/control_ids.h"
#include "ui/controls.h"
#include "ui/data_list.h"
#include "ui/gui_call.h"

namespace {

void SleepOneMillisecond()
{
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// Set by the main thread, read by the worker; file-local: a hook for
// measurements, set only through SetValuePause.
std::atomic<void (*)()> gValuePause{SleepOneMillisecond};

// Main thread: whether our wait cursor is on the override stack; file-local:
// only SetBusyCursor pushes and pops it.
bool gBusy = false;

bool IsTable(int table)
{
    return table >= TableDiscreteInputs && table <= TableHoldingRegisters;
}

int64_t SteadyNanoseconds()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// GUI thread: the value columns take the flags as they are now, not as they
// were when the change was asked for, so that changes asked for from two
// threads and applied in either order leave the colours as the flags end.
void GreyStaleTables()
{
    std::array<bool, kDataListColumns> greyed{};
    for (int t = TableDiscreteInputs; t <= TableHoldingRegisters; t++)
        greyed[static_cast<size_t>(ValueColumnOf(t))] = program.tableStale[t - 1].load();
    SetGreyedColumns(greyed);
}

}  // namespace

void MarkTableStale(int table)
{
    if (IsTable(table) && !program.tableStale[table - 1].exchange(true))
        RunOnGuiThread([](void*) { GreyStaleTables(); }, nullptr);
}

void MarkTableFresh(int table)
{
    if (!IsTable(table))
        return;
    program.tableReadAt[table - 1].store(SteadyNanoseconds());
    if (program.tableStale[table - 1].load() && program.tableStale[table - 1].exchange(false))
        RunOnGuiThread([](void*) { GreyStaleTables(); }, nullptr);
}

void MarkAllTablesStale()
{
    bool changed = false;
    for (std::atomic<bool>& stale : program.tableStale)
        changed = !stale.exchange(true) || changed;
    if (changed)
        RunOnGuiThread([](void*) { GreyStaleTables(); }, nullptr);
}

int64_t SecondsSinceTableRead(int table)
{
    if (!IsTable(table))
        return -1;
    const int64_t at = program.tableReadAt[table - 1].load();
    if (at == kNeverRead)
        return -1;
    return std::max<int64_t>(0, (SteadyNanoseconds() - at) / 1'000'000'000);
}

void SetBusyCursor(bool on)
{
    if (on == gBusy)
        return;
    gBusy = on;
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void SetValuePause(void (*pause)())
{
    gValuePause = pause ? pause : SleepOneMillisecond;
}

int ShownValueFormat(int table)
{
    if (!IsTable(table))
        return -1;
    return program.tableShownFormat[table - 1].load();
}

std::optional<uint16_t> ShownRowValue(int table, int row)
{
    if (!IsTable(table) || row < 0 || row >= DataListRowCount() || GetCellText(row, AddressColumnOf(table)).empty())
        return std::nullopt;
    const std::string text = GetCellText(row, ValueColumnOf(table));
    if (table == TableDiscreteInputs || table == TableCoils) {
        if (text == "0" || text == "1")
            return static_cast<uint16_t>(text == "1");
        return std::nullopt;
    }
    return ShownRegisterValue(text, ShownValueFormat(table));
}

void RebuildDataTables()
{
    SetBusyCursor(true);

    const int64_t start = TextToInt32(GetControlText(IdStartField));
    const int64_t length = TextToInt32(GetControlText(IdLengthField));
    const int64_t rows = ListRowsForLength(length);

    int selectors[4];
    int64_t rowTotal = 0;
    for (int t = TableDiscreteInputs; t <= TableHoldingRegisters; t++) {
        selectors[t - 1] = GetSelectorIndex(SelectorOfTable(t));
        if (selectors[t - 1] != FormatNoData)
            rowTotal += rows;
    }

    // Nothing shown yet comes from this connection's reads.
    for (int t = 0; t < 4; t++) {
        program.tableStale[t].store(false);
        program.tableReadAt[t].store(kNeverRead);
    }
    SetGreyedColumns({});

    ChangeDataListRows([&](std::vector<DataRow>& list) {
        const auto n = static_cast<size_t>(rows);
        if (list.size() < n)
            list.resize(n);
        else
            list.erase(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(list.size() - n));

        for (int t = TableDiscreteInputs; t <= TableHoldingRegisters; t++) {
            const auto address = static_cast<size_t>(AddressColumnOf(t));
            const auto value = static_cast<size_t>(ValueColumnOf(t));
            // Value texts stay until the first response replaces them.
            if (selectors[t - 1] != FormatNoData) {
                for (size_t r = 0; r < n; r++)
                    list[r][address] = QString::fromStdString(TableLabel(t, start, static_cast<int64_t>(r)));
            } else {
                for (size_t r = 0; r < n; r++) {
                    list[r][address].clear();
                    list[r][value].clear();
                }
            }
        }
    });

    program.tableRowTotal = rowTotal;
    program.tableStartAddress = start;

    SetBusyCursor(false);
}

void ShowReadValues(int table, const uint8_t* data, int dataCount, int32_t quantity, int selectorDI, int selectorCoils,
                    int selectorIR, int selectorHR)
{
    if (!IsTable(table) || !data)
        return;
    const int selectors[4] = {selectorDI, selectorCoils, selectorIR, selectorHR};
    const int column = ValueColumnOf(table);
    program.tableShownFormat[table - 1].store(selectors[table - 1]);
    const DecodedValues values =
        DecodeReadValues(table, data, dataCount, quantity, selectors[table - 1], DataListRowCount());

    // Each value is handed over after its pause, and the GUI thread writes
    // it during the next one; the worker collects it before handing over the
    // next, so the values land one by one and in order, with one wake-up
    // fewer each than a call waited for at once.
    CellTextHandOff cell;
    bool inFlight = false;
    size_t r = 0;
    // Once a disconnect is asked for, nothing waits for the display: the
    // values not yet shown go with the rest below.
    for (; r < values.texts.size() && !program.cycleStop.load(); r++) {
        gValuePause.load()();
        // False only when the rows went or the program is shutting down:
        // stop filling.
        if (inFlight && !FinishCellText(cell))
            return;
        StartCellText(cell, static_cast<int>(r), column, values.texts[r]);
        inFlight = true;
    }
    if (inFlight && !FinishCellText(cell))
        return;
    // The pause belongs to values shown one by one: the rows without a
    // value are blanked together, at once, however many the Length asked for.
    if (static_cast<int64_t>(r) < values.rows)
        SetCellTexts(
            column, static_cast<int>(r),
            std::vector<std::string>(values.texts.begin() + static_cast<std::ptrdiff_t>(r), values.texts.end()),
            static_cast<int>(values.rows));
}
