#include "ui/file_dialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QSaveFile>

#include "ui/screen_fit.h"

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
    QFileDialog dialog(QApplication::activeWindow(), QString::fromStdString(title), QString::fromStdString(suggested),
                       QString::fromStdString(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.selectFile(QString::fromStdString(suggested));
    // Inside the screen at any scale (the desktop's own dialog places itself).
    KeepOnScreen(&dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().front().toStdString();
}

bool SaveTextFile(const std::string& path, const std::string& text, std::string& error)
{
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size()) ||
        !file.commit()) {
        error = file.errorString().toStdString();
        return false;
    }
    return true;
}
