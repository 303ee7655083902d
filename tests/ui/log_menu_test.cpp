// The message log's right-click menu, on the real window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTextDocumentFragment>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "engine/message_log.h"
#include "tests/support/menu_choice.h"
#include "tests/ui/test_window.h"
#include "ui/context_menus.h"
#include "ui/control_ids.h"
#include "ui/file_dialog.h"
#include "ui/log_menu.h"
#include "ui/message_box.h"
#include "ui/text_panes.h"

namespace {

std::string gChosenPath;
std::vector<std::string> gMessages;

class LogMenu : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestWindow();
        pane = Control<QPlainTextEdit>(IdMessageLog);
        ClearLogAndCounters();
        AppendLogLine("->: 12 bytes 00 01 00 00 00 06 01 02 00 01 00 64", kBlue);
        AppendLogLine("<-: 10 bytes 00 01 00 00 00 04 01 02 01 05", kBlack);
        AppendLogLine("<> ElapsedTime: 3 [mS]", kDarkGrey);
        gMessages.clear();
        SetMessageBoxHook([](const std::string&, const std::string& text) { gMessages.push_back(text); });
        SetSaveFileNameHook([](const std::string&, const std::string&) { return gChosenPath; });
        char dir[] = "/tmp/sorbel-log-menu-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        dir_ = dir;
    }

    void TearDown() override
    {
        SetMessageBoxHook(nullptr);
        SetSaveFileNameHook(nullptr);
        SetContextMenuHandler(IdMessageLog, nullptr);
        std::filesystem::remove_all(dir_);
    }

    void Choose(const QString& entry)
    {
        const std::unique_ptr<QMenu> menu(BuildLogMenu(pane));
        ChooseEntry(*menu, entry);
    }

    QPlainTextEdit* pane = nullptr;
    std::filesystem::path dir_;
};

}  // namespace

TEST_F(LogMenu, CopyTakesTheSelection)
{
    SelectEditorRange(IdMessageLog, 1, 1, 1, -1);
    Choose(QStringLiteral("Copy"));
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "<-: 10 bytes 00 01 00 00 00 04 01 02 01 05");
}

TEST_F(LogMenu, SelectAllSelectsEveryLine)
{
    Choose(QStringLiteral("Select All"));
    EXPECT_EQ(pane->textCursor().selection().toPlainText(), pane->toPlainText());
    EXPECT_EQ(pane->textCursor().selectionStart(), 0);
}

TEST_F(LogMenu, SaveLogAsWritesAHeaderAndTheLinesOrSaysWhyNot)
{
    gChosenPath = (dir_ / "session.txt").string();
    Choose(QStringLiteral("Save Log As\u2026"));
    std::ifstream file(gChosenPath);
    const std::string saved((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_EQ(saved.rfind("Sorbel-Client message log, saved 20", 0), 0u) << saved;
    const std::string where = "; host 127.0.0.1, port 502, unit id 1\n";
    const size_t end = saved.find(where);
    ASSERT_NE(end, std::string::npos) << saved;
    EXPECT_EQ(saved.substr(end + where.size()), pane->toPlainText().toStdString() + "\n");
    EXPECT_TRUE(gMessages.empty());

    // Cancelled: nothing written, nothing said.
    gChosenPath.clear();
    Choose(QStringLiteral("Save Log As\u2026"));
    EXPECT_TRUE(gMessages.empty());

    // A place that cannot take the file: a message, no file, no crash.
    gChosenPath = (dir_ / "no-such-dir" / "session.txt").string();
    Choose(QStringLiteral("Save Log As\u2026"));
    ASSERT_EQ(gMessages.size(), 1u);
    EXPECT_EQ(gMessages[0].rfind("The log could not be saved to " + gChosenPath + ": ", 0), 0u) << gMessages[0];
    EXPECT_FALSE(std::filesystem::exists(dir_ / "no-such-dir"));
}

TEST_F(LogMenu, ARightClickOnTheLogReachesItsHandler)
{
    static int calls = 0;
    calls = 0;
    SetContextMenuHandler(IdMessageLog, [](QWidget* control, const QPoint&, const QPoint&) {
        EXPECT_EQ(control, FindControl(IdMessageLog));
        calls++;
    });
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(10, 10), pane->viewport()->mapToGlobal(QPoint(10, 10)));
    QApplication::sendEvent(pane->viewport(), &click);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(click.isAccepted());
    // The menu key reaches the pane itself.
    QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(10, 10), pane->mapToGlobal(QPoint(10, 10)));
    QApplication::sendEvent(pane, &key);
    EXPECT_EQ(calls, 2);
}
