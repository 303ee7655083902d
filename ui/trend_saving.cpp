#include "ui/trend_saving.h"

#include <QPixmap>
#include <QString>
#include <QWidget>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "dataview/series_csv.h"
#include "dataview/wall_clock.h"
#include "ui/file_dialog.h"
#include "ui/message_box.h"

namespace {

// Writes text to path; empty on success, otherwise the message for the user.
std::string SaveText(const std::string& path, const std::string& text)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return "Cannot save the data to " + path + ": " + std::strerror(errno) + ".";
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const int error = errno;
    const bool closed = std::fclose(file) == 0;
    if (written && closed)
        return {};
    return "Cannot save the data to " + path + ": " + std::strerror(written ? errno : error) + ".";
}

}  // namespace

void SaveWidgetPicture(QWidget* widget)
{
    const std::string path = AskSaveFileName("Save as PNG", "trend.png", "PNG images (*.png);;All files (*)");
    if (path.empty())
        return;
    if (!widget->grab().save(QString::fromStdString(path), "PNG"))
        ShowMessageBox("Cannot save the picture to " + path + ".");
}

void StartDataSave(DataSave& save, const SeriesStore& store)
{
    if (save.failure.valid()) {
        ShowMessageBox("The data are still being saved; try again in a moment.");
        return;
    }
    const std::string path = AskSaveFileName("Save data as CSV", "trend.csv", "CSV files (*.csv);;All files (*)");
    if (path.empty())
        return;
    // A full store makes some 10 MiB of text: built and written off the GUI
    // thread, from a copy, while the points keep coming.
    save.failure = std::async(std::launch::async,
                              [copy = store, path] { return SaveText(path, SeriesCsvText(copy, UtcOffsetMinutesAt)); });
}

void CheckDataSave(DataSave& save)
{
    if (!save.failure.valid() || save.failure.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        return;
    const std::string failure = save.failure.get();
    if (!failure.empty())
        ShowMessageBox(failure);
}

void FinishDataSave(DataSave& save)
{
    if (save.failure.valid())
        save.failure.wait();
}
