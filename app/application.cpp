#include "app/application.h"

#include <QApplication>
#include <QWidget>

// A minimal window until the real one is built.
int RunApplication(int argc, char** argv, const StartupHooks&)
{
    QApplication application(argc, argv);
    QWidget window;
    window.setWindowTitle("Sorbel-Client");
    window.resize(510, 561);
    window.show();
    return application.exec();
}
