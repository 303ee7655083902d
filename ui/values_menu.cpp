#include "ui/values_menu.h"

#include <QMenu>

#include <map>
#include <memory>
#include <string>

namespace {

// GUI thread only; file-local: set through SetValuesMenuHandlers.
ValuesMenuHandlers gHandlers;

}  // namespace

void SetValuesMenuHandlers(const ValuesMenuHandlers& handlers)
{
    gHandlers = handlers;
}

void AddValuesEntries(QMenu* menu, int table, int row, bool shown)
{
    if (gHandlers.recordEntryText && gHandlers.toggleRecording)
        menu->addAction(QString::fromStdString(gHandlers.recordEntryText()), [] {
            if (gHandlers.toggleRecording)
                gHandlers.toggleRecording();
        });
    if (!gHandlers.plotChoices || !gHandlers.plot)
        return;
    QMenu* plot = menu->addMenu(QStringLiteral("Plot"));
    const std::vector<std::string> choices =
        shown && row >= 0 ? gHandlers.plotChoices(table, row) : std::vector<std::string>{};
    // A type with byte orders ("float32 CDAB (word swap)") has a submenu of
    // its orders: the list stays short enough for any screen.
    std::map<std::string, QMenu*> orders;
    for (size_t i = 0; i < choices.size(); i++) {
        const size_t space = choices[i].find(' ');
        QMenu* in = plot;
        QString entry = QString::fromStdString(choices[i]);
        if (space != std::string::npos) {
            QMenu*& sub = orders[choices[i].substr(0, space)];
            if (!sub)
                sub = plot->addMenu(QString::fromStdString(choices[i].substr(0, space)));
            in = sub;
            entry = QString::fromStdString(choices[i].substr(space + 1));
        }
        in->addAction(entry, [table, row, i] {
            if (gHandlers.plot)
                gHandlers.plot(table, row, static_cast<int>(i));
        });
    }
    plot->setEnabled(!choices.empty());
}

void ShowCounterFieldMenu(QWidget* field, const QPoint&, const QPoint& global)
{
    if (!gHandlers.plotResponseTime)
        return;
    const std::unique_ptr<QMenu> menu(new QMenu(field));
    menu->addAction(QStringLiteral("Plot response time"), [] {
        if (gHandlers.plotResponseTime)
            gHandlers.plotResponseTime();
    });
    menu->exec(global);
}
