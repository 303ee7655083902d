#include "ui/context_menus.h"

#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QContextMenuEvent>
#include <QPointer>
#include <QWidget>

#include <map>

namespace {

// GUI thread only; file-local: the kit's own registry, filled through
// SetContextMenuHandler and read by the menu event.
std::map<int, ContextMenuHandler> gHandlers;

class ContextMenuWatcher : public QObject {
public:
    ContextMenuWatcher(QWidget* control, int id) : QObject(control), control_(control), id_(id) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::ContextMenu || !control_)
            return false;
        const auto handler = gHandlers.find(id_);
        if (handler == gHandlers.end() || !handler->second)
            return false;
        const auto* menu = static_cast<QContextMenuEvent*>(event);
        auto* area = qobject_cast<QAbstractScrollArea*>(control_);
        QWidget* viewport = area ? area->viewport() : control_.data();
        // The menu key goes to the list or pane itself, a click to its
        // viewport; the handler always gets viewport coordinates. From the
        // keyboard a list's menu is about its current cell.
        QPoint at = watched == viewport ? menu->pos() : viewport->mapFrom(control_, menu->pos());
        auto* items = qobject_cast<QAbstractItemView*>(control_);
        if (menu->reason() == QContextMenuEvent::Keyboard && items && items->currentIndex().isValid())
            at = items->visualRect(items->currentIndex()).center();
        handler->second(control_, at, viewport->mapToGlobal(at));
        return true;
    }

private:
    QPointer<QWidget> control_;
    int id_;
};

}  // namespace

void SetContextMenuHandler(int id, ContextMenuHandler handler)
{
    gHandlers[id] = handler;
}

void WatchContextMenu(QWidget* control, int id)
{
    if (!control)
        return;
    for (QObject* child : control->children())
        if (dynamic_cast<ContextMenuWatcher*>(child))
            return;
    auto* watcher = new ContextMenuWatcher(control, id);
    control->installEventFilter(watcher);
    // A list or text pane gets its clicks on the viewport.
    if (auto* area = qobject_cast<QAbstractScrollArea*>(control))
        area->viewport()->installEventFilter(watcher);
}
