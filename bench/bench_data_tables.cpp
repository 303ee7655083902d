// Figures for the data view: rebuilding the list for 65535 rows in four
// tables, and what ShowReadValues costs per value besides its 1 ms pause.
// Prints medians; the machine is shared and noisy, so no figure is a verdict.
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTableView>
#include <QWidget>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "engine/data_tables.h"
#include "ui/control_ids.h"
#include "ui/controls.h"
#include "ui/data_list.h"
#include "ui/fonts.h"
#include "ui/gui_call.h"

namespace {

constexpr int kRuns = 7;

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void Rebuild(QLineEdit* length, int rows)
{
    length->setText(QString::number(rows));
    RebuildDataTables();
    QApplication::processEvents();  // the view's layout and paint belong to the cost
}

// The value bytes of a reply that fills a 512-byte cycle buffer.
constexpr int kValueBytes = 512 - 9;

// Milliseconds for one ShowReadValues of `rows` registers, called from a
// worker thread (as the poll worker does) or on the GUI thread itself.
double TimeShow(const uint8_t* buffer, int rows, bool fromWorker)
{
    QElapsedTimer timer;
    timer.start();
    if (fromWorker) {
        std::atomic<bool> done{false};
        std::thread worker([&] {
            ShowReadValues(4, buffer, kValueBytes, rows, 0, 0, 0, 2);
            done = true;
        });
        while (!done)
            QApplication::processEvents(QEventLoop::AllEvents, 1);
        worker.join();
    } else {
        ShowReadValues(4, buffer, kValueBytes, rows, 0, 0, 0, 2);
    }
    QApplication::processEvents();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

}  // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    InitGuiCalls();

    QWidget window;
    window.resize(510, 520);
    QTableView* view = CreateDataList(&window, TableFont());
    view->setGeometry(3, 88, 497, 420);
    RegisterControl(IdDataList, view);
    auto* start = new QLineEdit("1", &window);
    auto* length = new QLineEdit("0", &window);
    RegisterControl(IdStartField, start);
    RegisterControl(IdLengthField, length);
    for (int t = 1; t <= 4; t++) {
        auto* combo = new QComboBox(&window);
        combo->addItems({"No data", "Bit", "Hex", "Decimal"});
        combo->setCurrentIndex(t <= 2 ? 1 : 2);
        RegisterControl(SelectorOfTable(t), combo);
    }
    window.show();
    QApplication::processEvents();

    std::vector<double> grow, relabel, shrink;
    for (int run = 0; run < kRuns; run++) {
        Rebuild(length, 0);
        QElapsedTimer timer;
        timer.start();
        Rebuild(length, 65535);
        grow.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        timer.restart();
        Rebuild(length, 65535);
        relabel.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        timer.restart();
        Rebuild(length, 10);
        shrink.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::printf("RebuildDataTables, four tables:\n");
    std::printf("  0 -> 65535 rows      median %8.2f ms\n", Median(grow));
    std::printf("  65535 -> 65535 rows  median %8.2f ms\n", Median(relabel));
    std::printf("  65535 -> 10 rows     median %8.2f ms\n", Median(shrink));

    // The values a full cycle buffer holds: 251 registers, Hex.
    uint8_t buffer[kValueBytes];
    for (int i = 0; i < kValueBytes; i++)
        buffer[i] = static_cast<uint8_t>((i + 9) * 7);
    constexpr int kValues = 251;
    Rebuild(length, kValues);
    SetValuePause([] {});
    std::vector<double> worker, direct;
    for (int run = 0; run < kRuns; run++) {
        worker.push_back(TimeShow(buffer, kValues, true) * 1000.0 / kValues);
        direct.push_back(TimeShow(buffer, kValues, false) * 1000.0 / kValues);
    }
    SetValuePause(nullptr);
    std::printf("ShowReadValues per value, pause excluded (%d registers):\n", kValues);
    std::printf("  from a worker thread median %8.2f us\n", Median(worker));
    std::printf("  on the GUI thread    median %8.2f us\n", Median(direct));
    std::printf("  (with the 1 ms pause a table of N values takes about N x (1 ms + the above))\n");
    return 0;
}
