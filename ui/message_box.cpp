#include "ui/message_box.h"

#include <QApplication>
#include <QMessageBox>

#include "ui/screen_fit.h"

namespace {
// GUI thread only; file-local: a test's stand-in, set through SetMessageBoxHook.
MessageBoxHook gHook = nullptr;
}  // namespace

void SetMessageBoxHook(MessageBoxHook hook)
{
    gHook = hook;
}

void ShowMessageBox(const std::string& text)
{
    if (gHook) {
        gHook(kMessageTitle, text);
        return;
    }
    // Application-modal: the program's other windows are disabled meanwhile.
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(kMessageTitle), QString::fromUtf8(text.c_str()),
                    QMessageBox::Ok, QApplication::activeWindow());
    box.setWindowModality(Qt::ApplicationModal);
    KeepOnScreen(&box);
    box.exec();
}
