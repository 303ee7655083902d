#include "ui/data_list.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QBrush>
#include <QColor>
#include <QFont>
#include <QHeaderView>
#include <QPalette>
#include <QPointer>
#include <QScreen>
#include <QTableView>

#include <algorithm>
#include <memory>

#include "common/colours.h"
#include "ui/control_ids.h"
#include "ui/controls.h"
#include "ui/gui_call.h"
#include "ui/live_tip.h"
#include "ui/notice_label.h"
#include "ui/widgets.h"

namespace {

constexpr std::array<const char*, kDataListColumns> kHeaders = {"Disc. Input", "Values", "Coils Out.",   "Values",
                                                                "Input Reg.",  "Values", "Holding Reg.", "Values"};
// Between the notice and the values it keeps clear of.
constexpr int kNoticeGap = 4;
constexpr std::array<int, kDataListColumns> kWidths = {65, 45, 65, 45, 65, 60, 75, 60};

// GUI thread only; file-local: set through SetCellTipProvider, read by the
// list's tool tip.
CellTipProvider gCellTipProvider = nullptr;

// Italics on top of the list's font: a value not confirmed by the latest
// read stays apart from a live one by more than its grey.
QFont StaleFont()
{
    QFont italic;
    italic.setItalic(true);
    return italic;
}

// Plain rows of texts; the view asks for them, nothing is cached elsewhere.
class DataListModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(rows_.size());
    }

    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : kDataListColumns; }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid())
            return {};
        if (role == Qt::DisplayRole || role == Qt::EditRole)
            return rows_[static_cast<size_t>(index.row())][static_cast<size_t>(index.column())];
        if (role == Qt::BackgroundRole)
            return QBrush(ToQColor(index.row() % 2 == 0 ? kRowLight : kWindowGrey));
        if (role == Qt::ForegroundRole && greyed_[static_cast<size_t>(index.column())])
            return QBrush(ToQColor(kStaleGrey));
        if (role == Qt::FontRole && greyed_[static_cast<size_t>(index.column())])
            return StaleFont();
        if (role == Qt::ToolTipRole && gCellTipProvider) {
            const std::string tip = gCellTipProvider(index.row(), index.column());
            if (!tip.empty())
                return QString::fromStdString(tip);
        }
        return {};
    }

    bool setData(const QModelIndex& index, const QVariant& value, int role) override
    {
        if (!index.isValid() || role != Qt::EditRole)
            return false;
        SetText(index.row(), index.column(), value.toString());
        return true;
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < kDataListColumns)
            return QString::fromLatin1(kHeaders[static_cast<size_t>(section)]);
        return {};
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        // Never Qt's own editing: cell editing belongs to the editable list.
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }

    bool Contains(int row, int column) const
    {
        return row >= 0 && row < rowCount() && column >= 0 && column < kDataListColumns;
    }

    QString Text(int row, int column) const { return rows_[static_cast<size_t>(row)][static_cast<size_t>(column)]; }

    // A value read again unchanged, the usual case, is compared in place
    // and copies nothing.
    void SetText(int row, int column, QAnyStringView text)
    {
        QString& cell = rows_[static_cast<size_t>(row)][static_cast<size_t>(column)];
        if (QAnyStringView::equal(cell, text))
            return;
        cell = text.toString();
        const QModelIndex at = index(row, column);
        emit dataChanged(at, at, {Qt::DisplayRole});
    }

    // One update for a run of cells of one column, however long: the texts
    // from row first on, then empty cells up to row end.
    void SetTexts(int column, int first, const std::vector<std::string>& texts, int end)
    {
        end = std::min(rowCount(), end);
        int changedFirst = -1, changedLast = -1;
        for (int r = first; r < end; r++) {
            const auto i = static_cast<size_t>(r - first);
            QString text;
            if (i < texts.size())
                text = QString::fromUtf8(texts[i].data(), static_cast<qsizetype>(texts[i].size()));
            QString& cell = rows_[static_cast<size_t>(r)][static_cast<size_t>(column)];
            if (cell == text)
                continue;
            cell = text;
            if (changedFirst < 0)
                changedFirst = r;
            changedLast = r;
        }
        if (changedFirst >= 0)
            emit dataChanged(index(changedFirst, column), index(changedLast, column), {Qt::DisplayRole});
    }

    void ChangeRows(const std::function<void(std::vector<DataRow>&)>& edit)
    {
        beginResetModel();
        edit(rows_);
        endResetModel();
    }

    // One update from the first to the last column that changed.
    void SetGreyed(const std::array<bool, kDataListColumns>& greyed)
    {
        int first = -1, last = -1;
        for (int c = 0; c < kDataListColumns; c++) {
            if (greyed_[static_cast<size_t>(c)] == greyed[static_cast<size_t>(c)])
                continue;
            if (first < 0)
                first = c;
            last = c;
        }
        greyed_ = greyed;
        if (first >= 0 && rowCount() > 0)
            emit dataChanged(index(0, first), index(rowCount() - 1, last), {Qt::ForegroundRole, Qt::FontRole});
    }

private:
    std::vector<DataRow> rows_;
    std::array<bool, kDataListColumns> greyed_{};
};

// GUI thread only. Asked once per value shown, so the casts are made again
// only when another list took the id; the model lives and dies with its view.
DataListModel* Model()
{
    static QPointer<QWidget> seen;
    static DataListModel* model = nullptr;
    QWidget* control = FindControl(IdDataList);
    if (!control || control != seen) {
        auto* view = qobject_cast<QTableView*>(control);
        model = view ? dynamic_cast<DataListModel*>(view->model()) : nullptr;
        seen = control;
    }
    return model;
}

// Whether a column shows text in rows first to last.
bool ColumnHasText(const QAbstractItemModel& model, int column, int first, int last)
{
    for (int r = std::max(0, first); r <= last && r < model.rowCount(); ++r)
        if (!model.index(r, column).data().toString().isEmpty())
            return true;
    return false;
}

// Where a notice of size covers no value (global position): level with the
// cell's row and right of it, past every column that shows text in the rows
// the notice spans; when the screen has no room there, just above the list's
// rows (over its headers), or else just below its last row.
QPoint NoticePlace(const QTableView& view, const QModelIndex& cell, const QSize& size)
{
    const QRect rect = view.visualRect(cell);
    const QWidget* viewport = view.viewport();
    const int top = rect.center().y() - size.height() / 2;
    const int first = view.rowAt(std::max(0, top));
    int last = view.rowAt(top + size.height() - 1);
    if (last < 0)
        last = view.model()->rowCount() - 1;
    int left = rect.right() + 1 + kNoticeGap;
    for (bool moved = true; moved;) {
        moved = false;
        for (int c = 0; c < kDataListColumns; ++c) {
            const int x = view.columnViewportPosition(c);
            const int right = x + view.columnWidth(c);
            if (view.isColumnHidden(c) || right <= left || x >= left + size.width() ||
                !ColumnHasText(*view.model(), c, first, last))
                continue;
            left = right + kNoticeGap;
            moved = true;
        }
    }
    const QScreen* screen = view.screen();
    const QRect room = screen ? screen->availableGeometry() : QRect();
    QPoint at = viewport->mapToGlobal(QPoint(left, top));
    if (room.isValid() && at.x() + size.width() > room.right() + 1) {
        at = viewport->mapToGlobal(QPoint(rect.left(), -size.height() - kNoticeGap));
        // No room above the rows either (the window at the screen's top):
        // just below the last row, or below the list when its rows fill it,
        // where no value stands.
        if (at.y() < room.top()) {
            const int lastRow = view.model()->rowCount() - 1;
            const int below = lastRow < 0 ? 0 : view.rowViewportPosition(lastRow) + view.rowHeight(lastRow);
            at = viewport->mapToGlobal(QPoint(rect.left(), std::min(below, viewport->height()) + kNoticeGap));
        }
    }
    return KeepNoticeOnScreen(view, at, size);
}

}  // namespace

QTableView* CreateDataList(QWidget* parent, const QFont& font)
{
    auto* view = new QTableView(parent);
    view->setModel(new DataListModel(view));

    // Set before the rows are sized, which follow the font's height.
    view->setFont(font);

    // The list's own background below the last row; the rows paint their
    // alternating colours through the model.
    QPalette palette = view->palette();
    palette.setColor(QPalette::Base, ToQColor(kRowLight));
    // The selected row stays visible when the list has no focus.
    for (auto role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    view->setPalette(palette);

    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSortingEnabled(false);
    view->setShowGrid(false);
    view->setWordWrap(false);
    view->setCornerButtonEnabled(false);
    // Tab and Shift+Tab leave the list as one control instead of walking
    // its cells.
    view->setTabKeyNavigation(false);

    QHeaderView* rowsHeader = view->verticalHeader();
    rowsHeader->hide();
    // Fixed, uniform rows keep a list of 65535 rows cheap to lay out.
    rowsHeader->setSectionResizeMode(QHeaderView::Fixed);
    rowsHeader->setMinimumSectionSize(1);
    rowsHeader->setDefaultSectionSize(view->fontMetrics().height() + 4);

    QHeaderView* header = view->horizontalHeader();
    // The headers are part of the list and take its font too, whatever the
    // style gives headers of its own.
    header->setFont(font);
    header->setSectionsMovable(true);
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    header->setHighlightSections(false);
    header->setStretchLastSection(false);
    for (int c = 0; c < kDataListColumns; c++)
        view->setColumnWidth(c, kWidths[static_cast<size_t>(c)]);

    // A value's tip follows it while it shows ("last read 12 s ago"), for
    // the cell under the mouse.
    WatchLiveTip(view->viewport(), [view](const QPoint& at, QRect* area) {
        const QModelIndex cell = view->indexAt(at);
        if (!cell.isValid())
            return QString();
        *area = view->visualRect(cell);
        return cell.data(Qt::ToolTipRole).toString();
    });
    return view;
}

int DataListRowCount()
{
    return CallOnGui<int>(
        [] {
            DataListModel* model = Model();
            return model ? model->rowCount() : 0;
        },
        0);
}

std::string GetCellText(int row, int column)
{
    return CallOnGui<std::string>(
        [row, column] {
            DataListModel* model = Model();
            if (!model || !model->Contains(row, column))
                return std::string();
            return model->Text(row, column).toStdString();
        },
        {});
}

bool SetCellText(int row, int column, std::string_view text)
{
    CellTextHandOff cell;
    StartCellText(cell, row, column, text);
    return FinishCellText(cell);
}

void StartCellText(CellTextHandOff& cell, int row, int column, std::string_view text)
{
    cell.row = row;
    cell.column = column;
    cell.text = text;
    cell.written = false;
    StartOnGuiThread(
        cell.handOff,
        [](void* context) {
            auto* c = static_cast<CellTextHandOff*>(context);
            DataListModel* model = Model();
            if (!model || !model->Contains(c->row, c->column))
                return;
            model->SetText(c->row, c->column, QUtf8StringView(c->text.data(), static_cast<qsizetype>(c->text.size())));
            c->written = true;
        },
        &cell);
}

bool FinishCellText(CellTextHandOff& cell)
{
    return FinishOnGuiThread(cell.handOff) && cell.written;
}

bool SetCellTexts(int column, int firstRow, std::vector<std::string> texts, int endRow)
{
    auto shared = std::make_shared<const std::vector<std::string>>(std::move(texts));
    return CallOnGui<bool>(
        [column, firstRow, shared, endRow] {
            DataListModel* model = Model();
            if (!model || column < 0 || column >= kDataListColumns || firstRow < 0)
                return false;
            model->SetTexts(column, firstRow, *shared, endRow);
            return true;
        },
        false);
}

void ShowCellNotice(int row, int column, std::string_view text)
{
    const QString notice = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    RunOnGui([row, column, notice] {
        auto* view = qobject_cast<QTableView*>(FindControl(IdDataList));
        if (!view)
            return;
        auto* label = view->findChild<NoticeLabel*>(QLatin1String(kCellNoticeName), Qt::FindDirectChildrenOnly);
        if (!label)
            label = new NoticeLabel(view, kCellNoticeName);
        label->Show(notice, NoticePlace(*view, view->model()->index(row, column), label->SizeFor(notice)), false);
        QApplication::beep();
    });
}

void SetCellTipProvider(CellTipProvider provider)
{
    gCellTipProvider = provider;
}

void SetGreyedColumns(const std::array<bool, kDataListColumns>& greyed)
{
    if (DataListModel* model = Model())
        model->SetGreyed(greyed);
}

void ChangeDataListRows(const std::function<void(std::vector<DataRow>&)>& edit)
{
    if (DataListModel* model = Model())
        model->ChangeRows(edit);
}
