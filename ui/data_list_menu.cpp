#include "ui/data_list_menu.h"

#include <QAbstractItemModel>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QPointer>
#include <QTableView>

#include <algorithm>
#include <memory>
#include <vector>

#include "dataview/value_formats.h"
#include "ui/values_menu.h"
#include "ui/write_value_dialog.h"

namespace {

// RFC 4180: a field holding a comma, quote or line break is quoted, its
// quotes doubled. Cell texts are digits, but a copy must never misalign.
QString CsvField(const QString& text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n')) &&
        !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// The tables shown: those whose address column is labelled. The rebuild on
// connect labels every enabled table and empties the others.
std::vector<int> ShownTables(const QAbstractItemModel& model)
{
    std::vector<int> tables;
    if (model.rowCount() == 0)
        return tables;
    for (int t = 1; t <= 4; t++)
        if (!model.index(0, AddressColumnOf(t)).data().toString().isEmpty())
            tables.push_back(t);
    return tables;
}

// Label and value of each shown table, as one CSV line; the header row
// when row is -1. The value columns all read "Values" in the list; in the
// header each is named after its table's column ("Holding Reg. value"), so
// that a spreadsheet or a script can tell them apart.
QString CsvLine(const QAbstractItemModel& model, const std::vector<int>& tables, int row)
{
    QStringList fields;
    for (int t : tables) {
        if (row < 0) {
            const QString name = model.headerData(AddressColumnOf(t), Qt::Horizontal).toString();
            fields << CsvField(name) << CsvField(name + QStringLiteral(" value"));
            continue;
        }
        for (int column : {AddressColumnOf(t), ValueColumnOf(t)})
            fields << CsvField(model.index(row, column).data().toString());
    }
    return fields.join(QLatin1Char(',')) + QLatin1Char('\n');
}

void ToClipboard(const QString& text)
{
    QGuiApplication::clipboard()->setText(text);
}

}  // namespace

QMenu* BuildDataListMenu(QTableView* list, const QModelIndex& cell)
{
    auto* menu = new QMenu(list);
    const QAbstractItemModel* model = list->model();
    const std::vector<int> tables = ShownTables(*model);
    const int row = cell.isValid() ? cell.row() : -1;
    // A right-click on a label copies the value beside it.
    const int valueColumn = cell.isValid() ? ValueColumnOf(cell.column() / 2 + 1) : -1;
    const QString value = row >= 0 ? model->index(row, valueColumn).data().toString() : QString();

    // Each action copies the texts as they are when it is chosen.
    QPointer<QTableView> view(list);
    menu->addAction(QStringLiteral("Copy value"),
                    [view, row, valueColumn] {
                        if (view)
                            ToClipboard(view->model()->index(row, valueColumn).data().toString());
                    })
        ->setEnabled(!value.isEmpty());
    menu->addAction(QStringLiteral("Copy row"),
                    [view, tables, row] {
                        if (view)
                            ToClipboard(CsvLine(*view->model(), tables, row));
                    })
        ->setEnabled(row >= 0 && !tables.empty());
    menu->addAction(QStringLiteral("Copy table as CSV"),
                    [view, tables] {
                        if (!view)
                            return;
                        const QAbstractItemModel& m = *view->model();
                        QString csv = CsvLine(m, tables, -1);
                        for (int r = 0; r < m.rowCount(); r++)
                            csv += CsvLine(m, tables, r);
                        ToClipboard(csv);
                    })
        ->setEnabled(!tables.empty());

    menu->addSeparator();
    const int column = cell.isValid() ? cell.column() : -1;
    menu->addAction(QStringLiteral("Write value\u2026"), [row, column] { OpenWriteValue(row, column); })
        ->setEnabled(row >= 0 && IsWritableCell(row, column));
    // Values over time: recording the list, plotting a value.
    const int table = cell.isValid() ? cell.column() / 2 + 1 : 0;
    AddValuesEntries(menu, table, row, std::find(tables.begin(), tables.end(), table) != tables.end());
    return menu;
}

void ShowDataListMenu(QWidget* list, const QPoint& at, const QPoint& global)
{
    auto* view = qobject_cast<QTableView*>(list);
    if (!view)
        return;
    const std::unique_ptr<QMenu> menu(BuildDataListMenu(view, view->indexAt(at)));
    menu->exec(global);
}
