#include "ui/context_menus.h"

#include <QAbstractScrollArea>
#include <QContextMenuEvent>
#include <QPointer>
#include <QWidget>

#include <map>

namespace {

// GUI thread only.
std::map<int, ContextMenuHandler> gHandlers;

class ContextMenuWatcher : public QObject {
public:
    ContextMenuWatcher(QWidget* control, int id) : QObject(control), control_(control), id_(id) {}

    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::ContextMenu || !control_)
            return false;
        const auto handler = gHandlers.find(id_);
        if (handler == gHandlers.end() || !handler->second)
            return false;
        const auto* menu = static_cast<QContextMenuEvent*>(event);
        handler->second(control_, menu->pos(), menu->globalPos());
        return true;
    }

private:
    QPointer<QWidget> control_;
    int id_;
};

} // namespace

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
    // A list or text pane gets its clicks on the viewport.
    auto* area = qobject_cast<QAbstractScrollArea*>(control);
    QWidget* target = area ? area->viewport() : control;
    target->installEventFilter(new ContextMenuWatcher(control, id));
}
