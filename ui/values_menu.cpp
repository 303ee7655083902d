#include "ui/values_menu.h"

#include <QMenu>

#include <memory>

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
    for (size_t i = 0; i < choices.size(); i++)
        plot->addAction(QString::fromStdString(choices[i]), [table, row, i] {
            if (gHandlers.plot)
                gHandlers.plot(table, row, static_cast<int>(i));
        });
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
