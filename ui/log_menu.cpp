#include "ui/log_menu.h"

#include <QDateTime>
#include <QMenu>
#include <QPlainTextEdit>

#include <memory>

#include "ui/control_ids.h"
#include "ui/controls.h"
#include "ui/file_dialog.h"
#include "ui/message_box.h"
#include "ui/text_panes.h"

namespace {

std::string OneLine(std::string text)
{
    for (char& c : text)
        if (c == '\r' || c == '\n')
            c = ' ';
    return text;
}

}  // namespace

QMenu* BuildLogMenu(QPlainTextEdit* log)
{
    SettleEditor(log);
    auto* menu = new QMenu(log);
    QAction* copy = menu->addAction(QStringLiteral("Copy"), log, &QPlainTextEdit::copy);
    copy->setEnabled(log->textCursor().hasSelection());
    menu->addAction(QStringLiteral("Select All"), log, &QPlainTextEdit::selectAll)
        ->setEnabled(!log->document()->isEmpty());
    menu->addSeparator();
    menu->addAction(QStringLiteral("Save Log As\u2026"), [] { SaveLogAs(); });
    return menu;
}

void ShowLogMenu(QWidget* log, const QPoint&, const QPoint& global)
{
    auto* pane = qobject_cast<QPlainTextEdit*>(log);
    if (!pane)
        return;
    const std::unique_ptr<QMenu> menu(BuildLogMenu(pane));
    menu->exec(global);
}

void SaveLogAs()
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const std::string path = AskSaveFileName("Save Log As", "sorbel-log-" + stamp.toStdString() + ".txt",
                                             "Text files (*.txt);;All files (*)");
    if (path.empty())
        return;
    std::string error;
    if (!SaveLogFile(path, error))
        ShowMessageBox("The log could not be saved to " + path + ": " + error);
}

bool SaveLogFile(const std::string& path, std::string& error)
{
    const QString now = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss t"));
    std::string text = "Sorbel-Client message log, saved " + now.toStdString() + "; host " +
                       OneLine(GetControlText(IdHostField)) + ", port " + OneLine(GetControlText(IdPortField)) +
                       ", unit id " + OneLine(GetControlText(IdUnitField)) + "\n";
    const std::string log = GetControlText(IdMessageLog);
    if (!log.empty())
        text += log + "\n";

    return SaveTextFile(path, text, error);
}
