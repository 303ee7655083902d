// Start-up, the event dispatch of a running window, and shutdown.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDesktopServices>
#include <QTabWidget>
#include <QTest>
#include <QUrl>

#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/dispatch.h"
#include "app/shutdown.h"
#include "engine/program_state.h"
#include "tests/ui/test_window.h"
#include "ui/control_ids.h"
#include "ui/gui_call.h"
#include "ui/message_box.h"
#include "ui/window_timer.h"

// Records the addresses handed to the desktop instead of opening them.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    std::vector<QString> opened;
public slots:
    void open(const QUrl& url) { opened.push_back(url.toString()); }
};

namespace {

std::vector<std::string> gMessages;
void RecordMessage(const std::string& title, const std::string& text)
{
    gMessages.push_back(title + "|" + text);
}

// Runs each test in an empty working directory, so that a settings file
// written by mistake would be seen.
class Application : public ::testing::Test {
protected:
    void SetUp() override
    {
        gMessages.clear();
        SetMessageBoxHook(RecordMessage);
        previous = std::filesystem::current_path();
        dir = std::filesystem::temp_directory_path() / ("sorbel-app-test-" + std::to_string(getpid()));
        std::filesystem::create_directories(dir);
        std::filesystem::current_path(dir);
    }
    void TearDown() override
    {
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(dir);
        SetMessageBoxHook(nullptr);
        ResetGuiCalls();
    }
    int Run(const StartupHooks& hooks)
    {
        char name[] = "sorbel-client";
        char* argv[] = {name, nullptr};
        return RunApplication(1, argv, hooks);
    }
    std::filesystem::path previous, dir;
};

// What the running program looked like, taken from inside its loop.
struct Seen {
    bool visible = false;
    int page = -1;
    bool focusInHost = false;
    std::string host;
};
Seen gSeen;

void LookAndClose()
{
    QWidget* window = FindControl(IdTabPanel)->window();
    gSeen.visible = window->isVisible();
    gSeen.page = static_cast<QTabWidget*>(FindControl(IdTabPanel))->currentIndex();
    gSeen.focusInHost = window->focusWidget() == FindControl(IdHostField);
    gSeen.host = GetControlText(IdHostField);
    window->close();
}

bool NoNetwork()
{
    return false;
}

}  // namespace

TEST_F(Application, WithoutNetworkOnlyTheMessageIsShownAndTheExitCodeIsZero)
{
    StartupHooks hooks;
    hooks.startNetwork = NoNetwork;
    hooks.afterStartup = [] { FAIL() << "the loop must not run"; };
    EXPECT_EQ(Run(hooks), 0);
    ASSERT_EQ(gMessages.size(), 1u);
    EXPECT_EQ(gMessages[0], "Zedudu ZUD Uredav|There is no TCP/IP stack available on the system. ");
    EXPECT_EQ(FindControl(IdTabPanel), nullptr);
    EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty());
}

TEST_F(Application, StartsOnTheFirstPageWithFocusInTheHostFieldAndClosesWithZero)
{
    // A settings file in the working directory reaches the controls.
    {
        std::FILE* f = std::fopen("vidideze.conf", "wb");
        std::fputs("[Global]\r\nIP_URL = 10.0.0.9\r\n", f);
        std::fclose(f);
    }
    const auto before = std::filesystem::last_write_time("vidideze.conf");

    gSeen = {};
    StartupHooks hooks;
    hooks.afterStartup = LookAndClose;
    EXPECT_EQ(Run(hooks), 0);
    EXPECT_TRUE(gSeen.visible);
    EXPECT_EQ(gSeen.page, 0);
    EXPECT_TRUE(gSeen.focusInHost);
    EXPECT_EQ(gSeen.host, "10.0.0.9");
    EXPECT_TRUE(gMessages.empty());
    // Closing saved nothing, and the window is gone.
    EXPECT_EQ(std::filesystem::last_write_time("vidideze.conf"), before);
    EXPECT_EQ(FindControl(IdTabPanel), nullptr);
}

TEST_F(Application, ClosingWithoutASettingsFileWritesNone)
{
    StartupHooks hooks;
    hooks.afterStartup = [] { FindControl(IdTabPanel)->window()->close(); };
    EXPECT_EQ(Run(hooks), 0);
    EXPECT_FALSE(std::filesystem::exists("vidideze.conf"));
}

TEST_F(Application, ShutdownEndsTheConnectionUnderARunningWorker)
{
    TestWindow();
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    auto* connection = new Connection{pair[0]};
    program.link.connection = connection;
    program.workerRunning = true;
    StartWindowTimer(kScanTimerId, 1000);

    Shutdown();

    // The peer sees the end of the stream at once; the record stays for the
    // worker that may still hold it.
    char byte;
    EXPECT_EQ(read(pair[1], &byte, 1), 0);
    EXPECT_EQ(program.link.connection.load(), connection);
    EXPECT_FALSE(IsWindowTimerActive(kScanTimerId));
    // A worker's later control updates return without waiting.
    EXPECT_FALSE(RunOnGui([] {}));

    program.workerRunning = false;
    program.link.connection = nullptr;
    close(pair[0]);
    close(pair[1]);
    delete connection;
}

TEST_F(Application, ShutdownWithoutWorkerClosesAndForgetsTheConnection)
{
    TestWindow();
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    program.link.connection = new Connection{pair[0]};
    program.workerRunning = false;
    Shutdown();
    EXPECT_EQ(program.link.connection.load(), nullptr);
    close(pair[1]);
}

TEST_F(Application, LinksOpenTheirAddressWithTheDesktopHandler)
{
    InstallHandlers();
    TestWindow();
    UrlRecorder recorder;
    QDesktopServices::setUrlHandler("https", &recorder, "open");
    QDesktopServices::setUrlHandler("mailto", &recorder, "open");

    static_cast<QTabWidget*>(FindControl(IdTabPanel))->setCurrentIndex(3);
    QTest::mouseClick(FindControl(IdAboutWebLink), Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseClick(FindControl(IdAboutMailLink), Qt::LeftButton, {}, QPoint(5, 5));
    // A right click is not a click on a link.
    QTest::mouseClick(FindControl(IdAboutWebLink), Qt::RightButton, {}, QPoint(5, 5));
    ASSERT_EQ(recorder.opened.size(), 2u);
    EXPECT_EQ(recorder.opened[0].toStdString(), GetControlText(IdAboutWebLink));
    EXPECT_EQ(recorder.opened[1].toStdString(), GetControlText(IdAboutMailLink));

    // Text that is no address opens nothing and shows nothing.
    SetControlText(IdAboutWebLink, "");
    DispatchControlEvent(IdAboutWebLink);
    SetControlText(IdAboutWebLink, "no address at all");
    DispatchControlEvent(IdAboutWebLink);
    EXPECT_EQ(recorder.opened.size(), 2u);
    EXPECT_TRUE(gMessages.empty());

    QDesktopServices::unsetUrlHandler("https");
    QDesktopServices::unsetUrlHandler("mailto");
}

#include "application_test.moc"
