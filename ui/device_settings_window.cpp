#include "ui/device_settings_window.h"

#include <QCheckBox>
#include <QDialog>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

#include "common/colours.h"
#include "ui/fonts.h"
#include "ui/screen_fit.h"
#include "ui/widgets.h"

namespace {

// What the window says about each key, in the order of DeviceKey.
struct KeyText {
    const char* caption;  // a field's label, or a check box's text
    const char* explanation;
};

constexpr KeyText kKeyTexts[kDeviceKeyCount] = {
    {"Reply time-out (ms):",
     "How long the device has to answer a request. On RTU the reply's time on the line comes on top."},
    {"Connect delay (ms):", "Wait after each connect before the first request, for a device slow to get ready."},
    {"Request gap (ms):",
     "Least pause from the end of one transaction to the next request. RTU keeps its silence on top."},
    {"Registers per read:", "A longer Input or Holding Registers table is read in several requests, in address order."},
    {"Coils or inputs per read:",
     "A longer Coils or Discrete Inputs table is read in several requests, in address order."},
    {"Write one value by function 15 or 16",
     "For a device that refuses functions 5 and 6: cell edits and Write value."},
    {"Accept replies from any unit id",
     "For a gateway that answers as another unit (often 0); every other check stays."},
    {"Close the connection after each cycle", "For a gateway that serves one client at a time: not a lost link."},
};

bool IsFlag(int key)
{
    return kDeviceKeys[key].lowest == 0 && kDeviceKeys[key].highest == 1;
}

struct WindowParts {
    QLineEdit* numbers[kDeviceKeyCount] = {};
    QCheckBox* flags[kDeviceKeyCount] = {};
    DeviceSettingsApply apply;
};

void Show(WindowParts& parts, const DeviceSettings& settings)
{
    for (int key = 0; key < kDeviceKeyCount; key++) {
        const int32_t value = DeviceValue(settings, static_cast<DeviceKey>(key));
        if (parts.flags[key])
            parts.flags[key]->setChecked(value != 0);
        else
            parts.numbers[key]->setText(QString::number(value));
    }
}

// An empty field, or one below its floor that was never left, takes the floor.
DeviceSettings Chosen(const WindowParts& parts)
{
    DeviceSettings settings;
    for (int key = 0; key < kDeviceKeyCount; key++) {
        const DeviceKeyRange& range = kDeviceKeys[key];
        int64_t value = 0;
        if (parts.flags[key])
            value = parts.flags[key]->isChecked() ? 1 : 0;
        else
            value = std::clamp<int64_t>(parts.numbers[key]->text().toLongLong(), range.lowest, range.highest);
        SetDeviceValue(settings, static_cast<DeviceKey>(key), value);
    }
    return settings;
}

QString DefaultText(int key)
{
    if (IsFlag(key))
        return kDeviceKeys[key].fallback ? QStringLiteral("on") : QStringLiteral("off");
    return QString::number(kDeviceKeys[key].fallback);
}

QLabel* Explanation(QWidget* parent, int key)
{
    const DeviceKeyRange& range = kDeviceKeys[key];
    QString text = QString::fromUtf8(kKeyTexts[key].explanation);
    if (!IsFlag(key))
        text += QStringLiteral(" %1 to %2.").arg(range.lowest).arg(range.highest);
    text += QStringLiteral(" Default: ") + DefaultText(key) + QLatin1Char('.');
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    SetTextColour(label, kDarkGrey);
    return label;
}

// Every setting: its field (or check box), then its line of explanation.
QWidget* BuildFields(QWidget* parent, WindowParts& parts)
{
    auto* fields = new QWidget(parent);
    auto* grid = new QGridLayout(fields);
    int row = 0;
    for (int key = 0; key < kDeviceKeyCount; key++) {
        const QString caption = QString::fromUtf8(kKeyTexts[key].caption);
        if (IsFlag(key)) {
            parts.flags[key] = new QCheckBox(caption, fields);
            parts.flags[key]->setObjectName(QString::fromLatin1(kDeviceKeys[key].name));
            grid->addWidget(parts.flags[key], row, 0, 1, 2);
        } else {
            auto* field = new QLineEdit(fields);
            field->setObjectName(QString::fromLatin1(kDeviceKeys[key].name));
            // Refuses what cannot be used, as the page's fields do.
            LimitFieldValue(field, kDeviceKeys[key].lowest, kDeviceKeys[key].highest);
            field->setMaximumWidth(field->fontMetrics().horizontalAdvance(QStringLiteral("0000000000")));
            parts.numbers[key] = field;
            auto* label = new QLabel(caption, fields);
            label->setBuddy(field);
            grid->addWidget(label, row, 0);
            grid->addWidget(field, row, 1, Qt::AlignLeft);
        }
        grid->addWidget(Explanation(fields, key), row + 1, 0, 1, 2);
        // A little room before the next setting.
        grid->setRowMinimumHeight(row + 2, grid->spacing());
        row += 3;
    }
    grid->setColumnStretch(1, 1);
    return fields;
}

}  // namespace

QDialog* CreateDeviceSettingsWindow(QWidget* parent, const DeviceSettings& settings, DeviceSettingsApply apply)
{
    auto* dialog = new QDialog(parent);
    auto parts = std::make_shared<WindowParts>();
    parts->apply = std::move(apply);
    dialog->setWindowTitle(QStringLiteral("Device settings"));
    dialog->setModal(true);
    dialog->setFont(NormalFont());
    SetBackgroundColour(dialog, kPageGrey);

    auto* intro = new QLabel(
        QStringLiteral("What the device needs. In force from the next cycle; the connect delay from the next connect."),
        dialog);
    intro->setWordWrap(true);

    // A screen too small for every setting at this scale scrolls them; the
    // buttons stay in view.
    auto* scroll = new QScrollArea(dialog);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    QWidget* fields = BuildFields(scroll, *parts);
    scroll->setWidget(fields);
    scroll->setMinimumWidth(fields->sizeHint().width() + scroll->verticalScrollBar()->sizeHint().width());
    scroll->setMinimumHeight(std::min(fields->sizeHint().height(), 200));
    const int wanted = fields->sizeHint().height();

    auto* restore = new QPushButton(QStringLiteral("Restore defaults"), dialog);
    restore->setObjectName(QStringLiteral("restore"));
    restore->setAutoDefault(false);
    auto* ok = new QPushButton(QStringLiteral("OK"), dialog);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), dialog);
    cancel->setObjectName(QStringLiteral("cancel"));
    cancel->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(restore);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(intro);
    layout->addWidget(scroll, 1);
    layout->addLayout(buttons);

    Show(*parts, settings);
    QObject::connect(restore, &QPushButton::clicked, dialog, [parts] { Show(*parts, DeviceSettings{}); });
    QObject::connect(ok, &QPushButton::clicked, dialog, [parts, dialog] {
        if (parts->apply)
            parts->apply(Chosen(*parts));
        dialog->accept();
    });
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);

    // As large as every setting needs; KeepOnScreen makes it smaller where
    // the screen is.
    dialog->resize(dialog->sizeHint().width(),
                   dialog->sizeHint().height() - scroll->sizeHint().height() + wanted + 2 * scroll->frameWidth());
    KeepOnScreen(dialog);
    return dialog;
}
