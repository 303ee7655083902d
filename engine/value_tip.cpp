#include "engine/value_tip.h"

#include <cstdio>
#include <optional>

#include "common/field_limits.h"
#include "common/table_numbers.h"
#include "dataview/value_age.h"
#include "dataview/value_formats.h"
#include "dataview/value_views.h"
#include "engine/data_tables.h"
#include "engine/program_state.h"
#include "modbus/frames.h"
#include "ui/control_ids.h"
#include "ui/controls.h"
#include "ui/data_list.h"

namespace {

// The address as it goes out with the offset switch as it is now.
std::string WireAddress(int row)
{
    const int64_t sent = SentAddress(program.tableStartAddress + row, GetCheckState(IdOffsetCheck) != 0);
    if (sent < 0 || sent > kHighestAddress)
        return std::to_string(sent) + ", outside 0..65535";
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%04X", static_cast<unsigned>(sent));
    return std::to_string(sent) + " (" + hex + ")";
}

// How old the table's values are, when it was read since the connect.
std::string AgeText(int table)
{
    const int64_t seconds = SecondsSinceTableRead(table);
    return seconds < 0 ? std::string() : LastReadText(seconds);
}

// Numbers are right-aligned, each with a gap before it as wide as the
// font is high, so that neighbouring numbers never run together ("-1" after
// "-2.5e+32") at any font size or scale.
constexpr const char* kNumberCell = "<td align=right style=\"padding-left:1em\">";
constexpr const char* kNumberHead = "<th align=right style=\"padding-left:1em\">";

std::string Row(const std::string& name, const std::string& value)
{
    return "<tr><td>" + name + "</td>" + kNumberCell + value + "</td></tr>";
}

}  // namespace

std::string ValueCellTip(int row, int column)
{
    if (column < 0 || column >= kDataListColumns || column % 2 == 0)
        return {};
    const int table = column / 2 + 1;
    const std::optional<uint16_t> value = ShownRowValue(table, row);
    if (!value)
        return {};

    const std::string label = GetCellText(row, AddressColumnOf(table));
    std::string tip =
        "<qt><b>" + std::string(TableEntryName(table)) + " " + label + "</b><br>Wire address: " + WireAddress(row);
    // Last, on a line of its own: after a table the text starts one anyway.
    const std::string age = AgeText(table);
    if (table == TableDiscreteInputs || table == TableCoils)
        return tip + "<br>Bit: " + (*value ? "1 (on)" : "0 (off)") + (age.empty() ? "" : "<br>" + age) + "</qt>";

    const uint8_t bytes[4] = {static_cast<uint8_t>(*value >> 8), static_cast<uint8_t>(*value)};
    const WordViews word = ViewWord(bytes);
    tip += "<table cellspacing=0 cellpadding=1>" + Row("Unsigned 16", word.unsigned16) +
           Row("Signed 16", word.signed16) + Row("Hex", word.hex) + Row("Binary", word.binary) + "</table>";

    const std::optional<uint16_t> next = ShownRowValue(table, row + 1);
    if (!next)
        return tip + age + "</qt>";
    const uint8_t pair[4] = {bytes[0], bytes[1], static_cast<uint8_t>(*next >> 8), static_cast<uint8_t>(*next)};
    const std::string nextLabel = GetCellText(row + 1, AddressColumnOf(table));
    tip += label + " and " + nextLabel + " as 32 bits (A B = " + label + ", C D = " + nextLabel +
           "):<table cellspacing=0 cellpadding=1><tr><th></th>" + kNumberHead + "Unsigned 32</th>" + kNumberHead +
           "Signed 32</th>" + kNumberHead + "Float 32</th></tr>";
    for (const PairViews& v : ViewPair(pair))
        tip += std::string("<tr><td>") + v.order + "</td>" + kNumberCell + v.unsigned32 + "</td>" + kNumberCell +
               v.signed32 + "</td>" + kNumberCell + v.float32 + "</td></tr>";
    return tip + "</table>" + age + "</qt>";
}
