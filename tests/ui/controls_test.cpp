// The control registry and its calls from a second thread.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QThread>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "tests/ui/test_window.h"
#include "ui/control_ids.h"
#include "ui/controls.h"
#include "ui/gui_call.h"

namespace {

class Controls : public ::testing::Test {
protected:
    void SetUp() override { TestWindow(); }
};

}  // namespace

TEST_F(Controls, TextSelectorCheckboxAndEnabledByIdKeepTheirRules)
{
    SetControlText(IdHostField, "plc.example");
    EXPECT_EQ(GetControlText(IdHostField), "plc.example");
    SetControlText(IdCommandLabel, "<b>not bold</b>");
    EXPECT_EQ(GetControlText(IdCommandLabel), "<b>not bold</b>");

    SetSelectorIndex(IdSelectorIR, 3);
    EXPECT_EQ(GetSelectorIndex(IdSelectorIR), 3);
    EXPECT_EQ(GetControlText(IdSelectorIR), "Decimal");
    SetSelectorIndex(IdSelectorIR, 4);  // one past the entries
    EXPECT_EQ(GetSelectorIndex(IdSelectorIR), -1);
    SetSelectorIndex(IdSelectorDI, -7);
    EXPECT_EQ(GetSelectorIndex(IdSelectorDI), -1);
    SetSelectorIndex(IdSelectorDI, 1);
    EXPECT_EQ(GetSelectorIndex(IdSelectorDI), 1);

    SetCheckState(IdOffsetCheck, 5);
    EXPECT_EQ(GetCheckState(IdOffsetCheck), 1);
    SetCheckState(IdOffsetCheck, 0);
    EXPECT_EQ(GetCheckState(IdOffsetCheck), 0);

    EnableControl(IdConnectData, false);
    EXPECT_FALSE(IsControlEnabled(IdConnectData));
    EnableControl(IdConnectData, true);
    EXPECT_TRUE(IsControlEnabled(IdConnectData));

    SetStatusField(StatusText, "Read Status: OK");
    EXPECT_EQ(GetStatusField(StatusText), "Read Status: OK");
}

TEST_F(Controls, OperationsThatDoNotFitTheControlDoNothing)
{
    EXPECT_EQ(GetControlText(kControlCount), "");
    EXPECT_EQ(GetControlText(-1), "");
    SetControlText(kControlCount, "x");
    EXPECT_EQ(GetSelectorIndex(IdHostField), -1);
    SetSelectorIndex(IdHostField, 1);
    EXPECT_EQ(GetControlText(IdHostField), "127.0.0.1");
    EXPECT_EQ(GetCheckState(IdHostField), 0);
    EXPECT_FALSE(IsControlEnabled(99));
    EXPECT_EQ(GetStatusField(4), "");
    SetStatusField(-1, "x");
}

TEST_F(Controls, WorkerUpdatesLandInTheOrderIssued)
{
    std::vector<std::string> seen;
    auto* field = Control<QLineEdit>(IdCommandField);
    QObject::connect(field, &QLineEdit::textChanged, field,
                     [&seen](const QString& text) { seen.push_back(text.toStdString()); });

    std::atomic<bool> done{false};
    std::string readBack;
    std::thread worker([&] {
        for (int i = 0; i < 200; ++i)
            SetControlText(IdCommandField, std::to_string(i));
        readBack = GetControlText(IdCommandField);
        done = true;
    });
    EXPECT_TRUE(PumpUntil([&] { return done.load(); }));
    worker.join();
    QObject::disconnect(field, &QLineEdit::textChanged, field, nullptr);

    ASSERT_EQ(seen.size(), 200u);
    for (int i = 0; i < 200; ++i)
        EXPECT_EQ(seen[static_cast<size_t>(i)], std::to_string(i));
    // Each write had been applied before the worker went on.
    EXPECT_EQ(readBack, "199");
}

TEST_F(Controls, WorkerWaitsWhileTheGuiThreadIsBusy)
{
    std::atomic<bool> done{false};
    std::thread worker([&] {
        SetStatusField(StatusText, "Status: Timeout Error");
        done = true;
    });
    // The GUI thread does not deliver events for a while: the worker's
    // update waits for it rather than touching the widget itself.
    QThread::msleep(200);
    EXPECT_FALSE(done.load());
    EXPECT_EQ(GetStatusField(StatusText), "Read Status: Not Connected");

    EXPECT_TRUE(PumpUntil([&] { return done.load(); }));
    worker.join();
    EXPECT_EQ(GetStatusField(StatusText), "Status: Timeout Error");
}

TEST_F(Controls, ReleasingCallersLetsAWaitingWorkerGo)
{
    std::atomic<bool> done{false};
    std::atomic<bool> applied{true};
    std::thread worker([&] {
        applied = RunOnGui([] { SetControlText(IdCommandField, "late"); });
        done = true;
    });
    QThread::msleep(50);
    ReleaseGuiCallers();
    for (int i = 0; i < 1000 && !done; ++i)
        QThread::msleep(10);
    EXPECT_TRUE(done.load());
    worker.join();
    EXPECT_FALSE(applied.load());

    // The posted update never lands, and later calls do nothing.
    QCoreApplication::processEvents();
    EXPECT_FALSE(RunOnGui([] {}));
    ResetGuiCalls();
    EXPECT_EQ(GetControlText(IdCommandField), "quit");
}
