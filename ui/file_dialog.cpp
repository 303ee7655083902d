#include "ui/file_dialog.h"

#include <QApplication>
#include <QFileDialog>

namespace {
// GUI thread only; file-local: a test's stand-in, set through SetSaveFileNameHook.
SaveFileNameHook gHook = nullptr;
}  // namespace

void SetSaveFileNameHook(SaveFileNameHook hook)
{
    gHook = hook;
}

std::string AskSaveFileName(const std::string& title, const std::string& suggested, const std::string& filter)
{
    if (gHook)
        return gHook(title, suggested);
    const QString path =
        QFileDialog::getSaveFileName(QApplication::activeWindow(), QString::fromStdString(title),
                                     QString::fromStdString(suggested), QString::fromStdString(filter));
    return path.toStdString();
}
