// Right-click menus the program gives controls, by control id.
#pragma once

class QPoint;
class QWidget;

// Shows the menu of a control. at is the click in the coordinates of the
// widget that took it (the viewport of a list or text pane), global on the
// screen.
using ContextMenuHandler = void (*)(QWidget* control, const QPoint& at, const QPoint& global);

// The menu id of status-bar field 0..3: beyond every control id.
constexpr int StatusFieldMenuId(int field)
{
    return 1000 + field;
}

// GUI thread. A control without a handler keeps the menu it has by itself.
void SetContextMenuHandler(int id, ContextMenuHandler handler);

// GUI thread: routes the control's context-menu requests to the handler
// registered for id at that moment.
void WatchContextMenu(QWidget* control, int id);
