#include "ui/editable_list.h"

#include <QAbstractItemModel>
#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolButton>

#include <algorithm>
#include <array>
#include <memory>
#include <numeric>
#include <optional>
#include <vector>

#include "ui/controls.h"

namespace {

constexpr int kColumnLimit = 256;
constexpr int kChoiceButtonWidth = 15;

// Paints the cells as usual, plus a one-pixel black frame around the cell
// last clicked in an editable column. The frame lives here so it scrolls and
// moves with its cell without further bookkeeping.
class FrameDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    int framedRow = -1;
    int framedColumn = -1;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        if (index.row() != framedRow || index.column() != framedColumn)
            return;
        painter->save();
        painter->setPen(QPen(Qt::black, 1));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
        painter->restore();
    }
};

// The editor's text field. Keys it has no use for (arrows, PageUp,
// PageDown, function keys) end here instead of moving and scrolling the list
// under it. Tab and Shift+Tab move on from the list as a whole, and the field
// is no Tab stop of its own.
class EditorField : public QLineEdit {
public:
    EditorField(const QString& text, QTableView* list) : QLineEdit(text, list->viewport()), list_(list)
    {
        setFocusPolicy(Qt::ClickFocus);
    }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        QLineEdit::keyPressEvent(event);
        event->accept();
    }

    bool focusNextPrevChild(bool next) override
    {
        if (list_)
            list_->setFocus(Qt::OtherFocusReason);
        return QLineEdit::focusNextPrevChild(next);
    }

private:
    QPointer<QTableView> list_;
};

class ListEventFilter;

struct AttachedList {
    int id = -1;
    QPointer<QTableView> view;
    QPointer<FrameDelegate> delegate;
    QPointer<ListEventFilter> filter;
    std::array<uint8_t, kColumnLimit> sortType{};
    std::array<bool, kColumnLimit> editable{};
    int lastSortColumn = -1;
    int sortDirection = 1;
};

struct OpenEdit {
    int listId = -1;
    QPointer<QTableView> view;
    int row = -1;
    int column = -1;
    QPointer<QLineEdit> field;
    QPointer<QToolButton> up;
    QPointer<QToolButton> down;
    std::vector<QString> choices;  // empty for a free-text editor
    size_t choice = 0;
};

// The editing attached to lists. GUI thread only; file-local: reached
// through the operations of editable_list.h by list id.
struct ListEditing {
    std::optional<Rgb> editBackground;  // the in-place editor's colours
    std::optional<Rgb> editText;
    EditCallback editCallback = nullptr;
    CompareCallback compareCallback = nullptr;
    std::vector<std::unique_ptr<AttachedList>> lists;
    std::optional<OpenEdit> openEdit;  // the editor open now, if any
};
ListEditing gEditing;

// The list attached under id, provided the control registered under that id
// is still the one that was attached.
AttachedList* FindAttached(int id)
{
    QWidget* control = FindControl(id);
    for (auto& list : gEditing.lists)
        if (list->id == id && list->view && list->view == control)
            return list.get();
    return nullptr;
}

AttachedList* FindAttachedByView(const QTableView* view)
{
    for (auto& list : gEditing.lists)
        if (list->view && list->view == view)
            return list.get();
    return nullptr;
}

EditAnswer CallEdit(int event, int list, int column, int row, const std::string& text)
{
    return gEditing.editCallback ? gEditing.editCallback(event, list, column, row, text) : EditAnswer{};
}

QString ColourCss(Rgb c)
{
    return QStringLiteral("rgb(%1,%2,%3)").arg(c.r).arg(c.g).arg(c.b);
}

QString EditorStyle(const QWidget* field)
{
    // Unset colours fall back to the inverted window colours.
    const QPalette& p = field->palette();
    const QColor bg = p.color(QPalette::WindowText);
    const QColor fg = p.color(QPalette::Base);
    const QString background = gEditing.editBackground ? ColourCss(*gEditing.editBackground) : bg.name();
    const QString text = gEditing.editText ? ColourCss(*gEditing.editText) : fg.name();
    return QStringLiteral("QLineEdit { border: none; padding: 0px; margin: 0px; }"
                          "QLineEdit:focus { background-color: %1; color: %2; }")
        .arg(background, text);
}

// An edit whose list is gone has nothing left to write into or report on.
void DropOrphanEdit()
{
    if (gEditing.openEdit && (!gEditing.openEdit->view || !gEditing.openEdit->field))
        gEditing.openEdit.reset();
}

void PlaceEditor()
{
    if (!gEditing.openEdit || !gEditing.openEdit->view || !gEditing.openEdit->field)
        return;
    QTableView* view = gEditing.openEdit->view;
    const QModelIndex index = view->model()->index(gEditing.openEdit->row, gEditing.openEdit->column);
    const QRect cell = view->visualRect(index);
    const bool choice = !gEditing.openEdit->choices.empty();

    // Hidden while its row lies above the first visible row, and also while
    // it is below the last one or scrolled off sideways, so that it never
    // takes keys the user cannot see. The list keeps the focus meanwhile.
    const bool visible = index.isValid() && cell.top() >= 0 && view->viewport()->rect().intersects(cell);
    QRect field(cell.left() + 1, cell.top(), cell.width() - 1, cell.height() - 1);
    if (choice)
        field.setWidth(field.width() - 2 * kChoiceButtonWidth);
    gEditing.openEdit->field->setGeometry(field);
    if (!visible && view->window()->focusWidget() == gEditing.openEdit->field)
        view->setFocus(Qt::OtherFocusReason);
    gEditing.openEdit->field->setVisible(visible);
    if (choice && gEditing.openEdit->up && gEditing.openEdit->down) {
        gEditing.openEdit->up->setGeometry(field.right() + 1, field.top(), kChoiceButtonWidth, field.height());
        gEditing.openEdit->down->setGeometry(cell.right() + 1 - kChoiceButtonWidth, field.top(), kChoiceButtonWidth,
                                             field.height());
        gEditing.openEdit->up->setVisible(visible);
        gEditing.openEdit->down->setVisible(visible);
    }
    if (visible)
        gEditing.openEdit->field->setFocus(Qt::OtherFocusReason);
}

void StepChoice(int delta)
{
    if (!gEditing.openEdit || gEditing.openEdit->choices.empty() || !gEditing.openEdit->field)
        return;
    const auto last = static_cast<long>(gEditing.openEdit->choices.size()) - 1;
    const long next = std::clamp(static_cast<long>(gEditing.openEdit->choice) + delta, 0L, last);
    gEditing.openEdit->choice = static_cast<size_t>(next);
    gEditing.openEdit->field->setText(gEditing.openEdit->choices[gEditing.openEdit->choice]);
    gEditing.openEdit->field->setFocus(Qt::OtherFocusReason);
}

// Closes the editor's widgets. Called from inside the field's own event
// handling, so they are only hidden now and deleted by the event loop.
void DestroyEditor(OpenEdit& edit)
{
    // The focus goes back to the list rather than wherever Qt would move it.
    if (edit.field && edit.field->hasFocus() && edit.view)
        edit.view->setFocus(Qt::OtherFocusReason);
    for (QWidget* w : std::initializer_list<QWidget*>{edit.field, edit.up, edit.down}) {
        if (!w)
            continue;
        w->hide();
        w->deleteLater();
    }
}

class ListEventFilter : public QObject {
public:
    explicit ListEventFilter(QTableView* view) : QObject(view), view_(view), viewport_(view->viewport()) {}

    // The event type is looked at first: while the view is being destroyed
    // its children still send events here, and the typed pointers must not
    // be touched then.
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::KeyPress:
            if (gEditing.openEdit && watched == gEditing.openEdit->field)
                return EditorKey(static_cast<QKeyEvent*>(event));
            break;
        case QEvent::MouseButtonPress:
            if (watched == viewport_)
                SingleClick(static_cast<QMouseEvent*>(event));
            break;
        case QEvent::MouseButtonDblClick:
            if (watched == viewport_)
                DoubleClick(static_cast<QMouseEvent*>(event));
            break;
        case QEvent::FocusIn:
            // Tabbing onto the list while an edit is open lands in the editor.
            if (watched == view_ && gEditing.openEdit && gEditing.openEdit->view == view_ && gEditing.openEdit->field &&
                gEditing.openEdit->field->isVisible()) {
                const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
                if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason)
                    gEditing.openEdit->field->setFocus(reason);
            }
            break;
        default:
            break;
        }
        return false;
    }

private:
    QPointer<QTableView> view_;
    const QObject* viewport_;  // compared, never dereferenced

    // Every key reaching the editor is reported before the editor sees it.
    bool EditorKey(QKeyEvent* key)
    {
        OpenEdit& edit = *gEditing.openEdit;
        const bool choice = !edit.choices.empty();
        const EditAnswer answer =
            CallEdit(EditKey, edit.listId, edit.column, edit.row, edit.field->text().toStdString());
        if (!gEditing.openEdit || !gEditing.openEdit->field)
            return true;
        if (answer.hasText) {
            gEditing.openEdit->field->setText(QString::fromStdString(answer.text));
            gEditing.openEdit->field->end(false);
        }
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            CommitEdit();
            return true;
        case Qt::Key_Escape:
            CancelEdit();
            return true;
        case Qt::Key_Up:
            if (choice)
                StepChoice(-1);
            break;
        case Qt::Key_Down:
            if (choice)
                StepChoice(+1);
            break;
        default:
            break;
        }
        // A choice cannot be typed over.
        return choice;
    }

    void SingleClick(QMouseEvent* mouse)
    {
        if (mouse->button() != Qt::LeftButton)
            return;
        CommitEdit();
        AttachedList* list = FindAttachedByView(view_);
        if (!list || !list->delegate || !view_)
            return;
        FrameDelegate* frame = list->delegate;
        const QModelIndex old = view_->model()->index(frame->framedRow, frame->framedColumn);
        frame->framedRow = frame->framedColumn = -1;
        if (old.isValid())
            view_->viewport()->update(view_->visualRect(old));

        const QModelIndex cell = view_->indexAt(mouse->position().toPoint());
        if (cell.isValid() && cell.column() < kColumnLimit && list->editable[static_cast<size_t>(cell.column())]) {
            frame->framedRow = cell.row();
            frame->framedColumn = cell.column();
            view_->viewport()->update(view_->visualRect(cell));
        }
    }

    void DoubleClick(QMouseEvent* mouse)
    {
        if (mouse->button() != Qt::LeftButton)
            return;
        CommitEdit();
        AttachedList* list = FindAttachedByView(view_);
        if (!list || !view_)
            return;
        const QModelIndex cell = view_->indexAt(mouse->position().toPoint());
        if (!cell.isValid() || cell.column() >= kColumnLimit || !list->editable[static_cast<size_t>(cell.column())] ||
            gEditing.openEdit)
            return;

        const EditAnswer answer = CallEdit(EditBegin, list->id, cell.column(), cell.row(), {});
        if (answer.refuse || gEditing.openEdit || !view_)
            return;
        Open(*list, cell, answer);
    }

    void Open(const AttachedList& list, const QModelIndex& cell, const EditAnswer& answer)
    {
        OpenEdit edit;
        edit.listId = list.id;
        edit.view = view_;
        edit.row = cell.row();
        edit.column = cell.column();

        const QString current = cell.data(Qt::DisplayRole).toString();
        QString shown = current;
        if (answer.hasText) {
            for (const QString& c : QString::fromStdString(answer.text).split(QLatin1Char('|')))
                edit.choices.push_back(c);
            auto match = std::find(edit.choices.begin(), edit.choices.end(), current);
            edit.choice = match == edit.choices.end() ? 0 : static_cast<size_t>(match - edit.choices.begin());
            shown = edit.choices[edit.choice];
        }

        QWidget* viewport = view_->viewport();
        auto* field = new EditorField(shown, view_);
        field->setFrame(false);
        field->setStyleSheet(EditorStyle(field));
        field->setContextMenuPolicy(Qt::NoContextMenu);
        field->setAcceptDrops(false);
        field->installEventFilter(this);
        edit.field = field;

        if (!edit.choices.empty()) {
            // Typing is swallowed; read-only also keeps paste by mouse out.
            field->setReadOnly(true);
            auto makeButton = [&](const QString& glyph, int delta) {
                auto* button = new QToolButton(viewport);
                button->setText(glyph);
                button->setFocusPolicy(Qt::NoFocus);
                QFont small = button->font();
                small.setPointSize(8);
                button->setFont(small);
                QObject::connect(button, &QToolButton::clicked, button, [delta] { StepChoice(delta); });
                return button;
            };
            edit.up = makeButton(QStringLiteral("\u2191"), -1);
            edit.down = makeButton(QStringLiteral("\u2193"), +1);
        }

        gEditing.openEdit = std::move(edit);
        PlaceEditor();  // places, shows and focuses the new widgets
    }
};

void HeaderClicked(AttachedList* list, int column)
{
    CancelEdit();
    if (!list || !list->view || column < 0 || column >= kColumnLimit)
        return;
    if (list->sortType[static_cast<size_t>(column)] != SortByCallback || !gEditing.compareCallback)
        return;

    if (list->lastSortColumn == column) {
        list->sortDirection = -list->sortDirection;
    } else {
        list->lastSortColumn = column;
        list->sortDirection = 1;
    }

    QAbstractItemModel* model = list->view->model();
    const int rows = model->rowCount();
    const int columns = model->columnCount();
    if (column >= columns)
        return;
    std::vector<std::string> keys(static_cast<size_t>(rows));
    for (int r = 0; r < rows; r++)
        keys[static_cast<size_t>(r)] = model->index(r, column).data(Qt::DisplayRole).toString().toStdString();

    std::vector<int> order(static_cast<size_t>(rows));
    std::iota(order.begin(), order.end(), 0);
    const int direction = list->sortDirection;
    const int id = list->id;
    // Stable: rows that compare equal keep their relative order.
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return gEditing.compareCallback(id, column, keys[static_cast<size_t>(a)], keys[static_cast<size_t>(b)]) *
                   direction <
               0;
    });
    if (std::is_sorted(order.begin(), order.end()))
        return;

    std::vector<std::vector<QString>> texts(static_cast<size_t>(rows));
    for (int r = 0; r < rows; r++)
        for (int c = 0; c < columns; c++)
            texts[static_cast<size_t>(r)].push_back(model->index(r, c).data(Qt::DisplayRole).toString());
    for (int r = 0; r < rows; r++)
        for (int c = 0; c < columns; c++)
            model->setData(model->index(r, c),
                           texts[static_cast<size_t>(order[static_cast<size_t>(r)])][static_cast<size_t>(c)],
                           Qt::EditRole);
}

}  // namespace

int RegisterEditableList(int listId, int /*headerMode*/)
{
    auto* view = qobject_cast<QTableView*>(FindControl(listId));
    if (!view)
        return ListNoControl;

    if (gEditing.openEdit && gEditing.openEdit->listId == listId)
        CancelEdit();
    gEditing.lists.erase(std::remove_if(gEditing.lists.begin(), gEditing.lists.end(),
                                        [&](const auto& l) { return l->id == listId || !l->view || l->view == view; }),
                         gEditing.lists.end());

    auto list = std::make_unique<AttachedList>();
    list->id = listId;
    list->view = view;

    // One delegate and one filter per view, however often it is attached.
    list->delegate = dynamic_cast<FrameDelegate*>(view->itemDelegate());
    if (!list->delegate) {
        list->delegate = new FrameDelegate(view);
        view->setItemDelegate(list->delegate);
    }
    list->delegate->framedRow = list->delegate->framedColumn = -1;
    for (QObject* child : view->children())
        if (auto* filter = dynamic_cast<ListEventFilter*>(child))
            list->filter = filter;
    if (!list->filter) {
        auto* filter = new ListEventFilter(view);
        list->filter = filter;
        view->installEventFilter(filter);
        view->viewport()->installEventFilter(filter);

        QHeaderView* header = view->horizontalHeader();
        QObject::connect(header, &QHeaderView::sectionClicked, filter,
                         [view](int logical) { HeaderClicked(FindAttachedByView(view), logical); });
        QObject::connect(header, &QHeaderView::sectionResized, filter, [] { CancelEdit(); });
        QObject::connect(header, &QHeaderView::sectionMoved, filter, [] { PlaceEditor(); });
        QObject::connect(view->verticalScrollBar(), &QScrollBar::valueChanged, filter, [] { PlaceEditor(); });
        QObject::connect(view->horizontalScrollBar(), &QScrollBar::valueChanged, filter, [] { PlaceEditor(); });
    }

    // Header mode 0 draws no sort marks; the rows never show a sorted state.
    view->horizontalHeader()->setSortIndicatorShown(false);
    view->setSortingEnabled(false);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);

    gEditing.lists.push_back(std::move(list));
    return ListDone;
}

void SetEditColours(Rgb background, Rgb text)
{
    gEditing.editBackground = background;
    gEditing.editText = text;
}

void SetEditCallback(EditCallback callback)
{
    if (callback)
        gEditing.editCallback = callback;
}

void SetCompareCallback(CompareCallback callback)
{
    if (callback)
        gEditing.compareCallback = callback;
}

namespace {

// Common checks of the per-column settings; the list on success.
int CheckColumn(int listId, int column, AttachedList** list)
{
    if (!FindControl(listId))
        return ListNoControl;
    if (column < 0 || column >= kColumnLimit)
        return ListBadColumn;
    *list = FindAttached(listId);
    return *list ? ListDone : ListNotAttached;
}

}  // namespace

int SetColumnSortType(int listId, int column, int type)
{
    AttachedList* list = nullptr;
    const int result = CheckColumn(listId, column, &list);
    if (result == ListDone)
        list->sortType[static_cast<size_t>(column)] = static_cast<uint8_t>(type);
    return result;
}

int SetColumnEditable(int listId, int column, bool editable)
{
    AttachedList* list = nullptr;
    const int result = CheckColumn(listId, column, &list);
    if (result != ListDone)
        return result;
    list->editable[static_cast<size_t>(column)] = editable;
    if (!editable)
        CommitEdit();
    return result;
}

void CommitEdit()
{
    DropOrphanEdit();
    if (!gEditing.openEdit)
        return;
    OpenEdit edit = std::move(*gEditing.openEdit);
    gEditing.openEdit.reset();
    if (edit.view && edit.field) {
        QAbstractItemModel* model = edit.view->model();
        const QModelIndex cell = model->index(edit.row, edit.column);
        if (cell.isValid())
            model->setData(cell, edit.field->text(), Qt::EditRole);
    }
    DestroyEditor(edit);
    CallEdit(EditCommit, -1, -1, -1, {});
}

void CancelEdit()
{
    DropOrphanEdit();
    if (!gEditing.openEdit)
        return;
    OpenEdit edit = std::move(*gEditing.openEdit);
    gEditing.openEdit.reset();
    DestroyEditor(edit);
    CallEdit(EditCancel, -1, -1, -1, {});
}

QLineEdit* OpenEditorField()
{
    DropOrphanEdit();
    return gEditing.openEdit ? gEditing.openEdit->field.data() : nullptr;
}

QToolButton* OpenEditorButton(int which)
{
    if (!gEditing.openEdit)
        return nullptr;
    return which == 0 ? gEditing.openEdit->up.data() : which == 1 ? gEditing.openEdit->down.data() : nullptr;
}

int CompareCells(int, int, const std::string&, const std::string&)
{
    return 0;
}
