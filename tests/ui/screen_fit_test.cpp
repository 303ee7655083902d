// Every window the program opens fits a 1280 x 1024 screen at scale 2 (640
// x 512 to the program): the main window, the trend window, the Scan window,
// the "Write value…" dialog, the "Device settings" window, a message box and a
// file dialog, each inside the
// screen's available area. Its own program: the scale is set before Qt starts.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

#include <cstdlib>
#include <string>
#include <vector>

#include "dataview/value_encode.h"
#include "tests/ui/test_window.h"
#include "ui/device_settings_window.h"
#include "ui/file_dialog.h"
#include "ui/gui_call.h"
#include "ui/message_box.h"
#include "ui/scan_window.h"
#include "ui/trend_window.h"
#include "ui/write_value_dialog.h"

namespace {

QRect Available()
{
    return QGuiApplication::primaryScreen()->availableGeometry();
}

// The window as the screen shows it, frame included, inside the area.
void ExpectOnScreen(const QWidget* window, const char* what)
{
    ASSERT_NE(window, nullptr) << what;
    EXPECT_TRUE(Available().contains(window->frameGeometry()))
        << what << ": " << window->frameGeometry().x() << "," << window->frameGeometry().y() << " "
        << window->frameGeometry().width() << "x" << window->frameGeometry().height();
}

// The modal window that opens within call, measured once it is shown, then
// closed.
void ExpectModalOnScreen(const std::function<void()>& call, const char* what)
{
    bool seen = false;
    QTimer::singleShot(0, [&] {
        // The window is placed once its own show has sized it.
        QTimer::singleShot(50, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            ExpectOnScreen(modal, what);
            seen = modal != nullptr;
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->reject();
        });
    });
    call();
    EXPECT_TRUE(seen) << what;
}

}  // namespace

TEST(ScreenFit, EveryWindowFitsASmallScreenAtScaleTwo)
{
    ASSERT_EQ(Available().size(), QSize(640, 512));
    QWidget* window = TestWindow();
    ASSERT_TRUE(PumpUntil([window] { return window->isVisible(); }));
    ExpectOnScreen(window, "main window");

    SetTrendWindowHandlers({});
    AddTrendSeries({SeriesU16, 4, 1, 0});
    ExpectOnScreen(TrendWindow(), "trend window");
    TrendWindow()->close();

    OpenScanWindow({});
    ExpectOnScreen(ScanWindow(), "scan window");
    ScanWindow()->close();

    WriteValueSetup setup;
    setup.address = "40001";
    setup.encode = [](const WriteValueChoice& c) {
        return EncodeValue({c.type, c.order, c.function, c.text, 1, 1, false, 1, 20});
    };
    QDialog* dialog = CreateWriteValueDialog(window, setup);
    ExpectModalOnScreen([dialog] { dialog->exec(); }, "write value dialog");
    delete dialog;

    QDialog* settings = CreateDeviceSettingsWindow(window, DeviceSettings{}, nullptr);
    ExpectModalOnScreen([settings] { settings->exec(); }, "device settings window");
    delete settings;

    ExpectModalOnScreen(
        [] { ShowMessageBox("Cannot save the data to /a/very/long/path/" + std::string(200, 'x') + ".csv."); },
        "message box");
    ExpectModalOnScreen([] { AskSaveFileName("Save data as CSV", "trend.csv", "CSV files (*.csv)"); }, "file dialog");
}

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen:configfile=" SORBEL_SMALL_SCREEN, 1);
    setenv("QT_SCALE_FACTOR", "2", 1);
    testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    InitGuiCalls();
    return RUN_ALL_TESTS();
}
