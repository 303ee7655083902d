#include "ui/write_value_dialog.h"

#include <QComboBox>
#include <QDialog>
#include <QFontMetrics>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <cstdio>
#include <memory>

#include "common/colours.h"
#include "modbus/log_format.h"
#include "ui/fonts.h"
#include "ui/screen_fit.h"
#include "ui/widgets.h"

namespace {

// GUI thread only; file-local: the program's handlers for the data list's
// entry, set through SetWriteValueHandlers.
struct WriteValueHandlers {
    WritableCellTest writable = nullptr;
    WriteValueOpener open = nullptr;
};
WriteValueHandlers gHandlers;

constexpr ValueType kRegisterTypes[] = {TypeU16, TypeS16,     TypeHex16, TypeBin16, TypeU32,
                                        TypeS32, TypeFloat32, TypeU64,   TypeS64,   TypeFloat64};

// Lines the preview may need: four registers, the read-back value and a
// request of 21 bytes over two lines. Kept free, with room for the gaps
// between the labels, so that the dialog never jumps.
constexpr int kPreviewLines = 7;

struct DialogParts {
    WriteValueSetup setup;
    QDialog* dialog = nullptr;
    QLineEdit* value = nullptr;
    QComboBox* type = nullptr;
    QComboBox* order = nullptr;
    QComboBox* function = nullptr;
    QLabel* registers = nullptr;
    QLabel* frame = nullptr;
    QLabel* reason = nullptr;
    QPushButton* write = nullptr;
    // The function the user picked last (or the one to start on): kept
    // through a type that offers only 16, so 6 comes back with a 16-bit type.
    int preferredFunction = 6;
    // The byte order likewise, kept while a 16-bit type shows none.
    ByteOrder preferredOrder = OrderABCD;
    // The user typed in the value field: it no longer follows the type.
    bool typed = false;
};

QString Text(const std::string& text)
{
    return QString::fromUtf8(text.c_str());
}

QLabel* PreviewLabel(QWidget* parent, const char* name)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // The bytes can be selected and copied; the label stays out of the Tab order.
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

ValueType CurrentType(const DialogParts& parts)
{
    return static_cast<ValueType>(parts.type->currentData().toInt());
}

WriteValueChoice CurrentChoice(const DialogParts& parts)
{
    WriteValueChoice choice;
    choice.text = parts.value->text().toStdString();
    choice.type = CurrentType(parts);
    choice.order = parts.preferredOrder;
    choice.function = parts.function->currentData().toInt();
    return choice;
}

// The functions that can write the type, on the preferred one when it is
// among them; the byte order only for a value of more than one register,
// named for its width.
void FitToType(DialogParts& parts)
{
    const ValueType type = CurrentType(parts);
    // Refilled quietly: the caller refreshes the preview once it is done.
    const QSignalBlocker quietFunction(parts.function);
    parts.function->clear();
    for (int f : FunctionsFor(type))
        parts.function->addItem(QString::fromLatin1(WriteFunctionName(f)), f);
    const int preferred = parts.function->findData(parts.preferredFunction);
    parts.function->setCurrentIndex(preferred >= 0 ? preferred : 0);

    const QSignalBlocker quietOrder(parts.order);
    const int width = 2 * RegisterCountOf(type);
    for (int o = 0; o < parts.order->count(); o++)
        parts.order->setItemText(o, QString::fromLatin1(ByteOrderName(static_cast<ByteOrder>(o), width == 8 ? 8 : 4)));
    parts.order->setEnabled(width > 2);
    parts.order->setCurrentIndex(width > 2 ? parts.order->findData(parts.preferredOrder) : -1);
}

// The value the device holds, in the type and order chosen, selected so
// that typing replaces it; until the user types.
void FollowCurrentValue(DialogParts& parts)
{
    if (parts.typed || !parts.setup.currentText)
        return;
    parts.value->setText(Text(parts.setup.currentText(CurrentType(parts), parts.preferredOrder)));
    parts.value->selectAll();
}

void ShowReason(DialogParts& parts, const std::string& reason)
{
    parts.registers->hide();
    parts.frame->hide();
    parts.reason->setText(Text(reason));
    parts.reason->show();
}

void Refresh(DialogParts& parts)
{
    const WriteValueChoice choice = CurrentChoice(parts);
    EncodedValue encoded;
    if (parts.setup.encode)
        encoded = parts.setup.encode(choice);
    else
        encoded.reason = "Nothing can be written here.";
    if (!encoded.reason.empty() || encoded.frame.empty()) {
        ShowReason(parts, encoded.reason.empty() ? "Nothing can be written here." : encoded.reason);
        parts.write->setEnabled(false);
        return;
    }

    QStringList lines;
    for (size_t i = 0; i < encoded.registers.size() && i < encoded.labels.size(); i++) {
        if (choice.type == TypeCoil) {
            lines << QStringLiteral("Coil %1: %2").arg(Text(encoded.labels[i]), Text(encoded.readBack));
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "0x%04X", static_cast<unsigned>(encoded.registers[i]));
            lines << QStringLiteral("Register %1: %2").arg(Text(encoded.labels[i]), QLatin1String(hex));
        }
    }
    // What the device holds after a float is rounded to the type.
    if (choice.type == TypeFloat32 || choice.type == TypeFloat64)
        lines << QStringLiteral("Reads back as ") + Text(encoded.readBack);
    parts.registers->setText(lines.join(QLatin1Char('\n')));
    parts.frame->setText(Text(FormatWriteRequestLine(encoded.frame.data(), static_cast<int>(encoded.frame.size()))));
    parts.reason->hide();
    parts.registers->show();
    parts.frame->show();
    parts.write->setEnabled(true);
}

void Send(DialogParts& parts)
{
    if (!parts.write->isEnabled())
        return;
    const std::string refusal =
        parts.setup.write ? parts.setup.write(CurrentChoice(parts)) : "Nothing can be written here.";
    if (refusal.empty()) {
        parts.dialog->accept();
        return;
    }
    ShowReason(parts, refusal);
    parts.write->setEnabled(false);
}

QComboBox* Selector(QWidget* parent, const char* name)
{
    auto* selector = new QComboBox(parent);
    selector->setObjectName(QLatin1String(name));
    selector->setEditable(false);
    return selector;
}

}  // namespace

QDialog* CreateWriteValueDialog(QWidget* parent, const WriteValueSetup& setup)
{
    auto* dialog = new QDialog(parent);
    auto parts = std::make_shared<DialogParts>();
    parts->setup = setup;
    parts->dialog = dialog;
    parts->preferredFunction = setup.function;

    dialog->setWindowTitle(QStringLiteral("Write value \u2014 ") + Text(setup.address));
    dialog->setModal(true);
    dialog->setFont(NormalFont());
    // The window's light grey.
    SetBackgroundColour(dialog, kPageGrey);

    parts->value = new QLineEdit(dialog);
    parts->value->setObjectName(QStringLiteral("value"));
    parts->type = Selector(dialog, "type");
    if (setup.coil) {
        parts->type->addItem(QString::fromLatin1(ValueTypeName(TypeCoil)), TypeCoil);
    } else {
        for (ValueType t : kRegisterTypes)
            parts->type->addItem(QString::fromLatin1(ValueTypeName(t)), t);
    }
    const int startType = parts->type->findData(static_cast<int>(setup.type));
    parts->type->setCurrentIndex(startType >= 0 ? startType : 0);
    parts->order = Selector(dialog, "order");
    for (int o = 0; o < kByteOrderCount; o++)
        parts->order->addItem(QString::fromLatin1(ByteOrderName(static_cast<ByteOrder>(o))), o);
    // A 16-bit value or a coil has no byte order.
    parts->order->setPlaceholderText(QStringLiteral("\u2014"));
    parts->preferredOrder = setup.order >= OrderABCD && setup.order <= OrderDCBA ? setup.order : OrderABCD;
    parts->function = Selector(dialog, "function");
    FitToType(*parts);
    FollowCurrentValue(*parts);

    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("Value:"), parts->value);
    fields->addRow(QStringLiteral("Type:"), parts->type);
    fields->addRow(QStringLiteral("Byte order:"), parts->order);
    fields->addRow(QStringLiteral("Function:"), parts->function);

    auto* preview = new QWidget(dialog);
    auto* previewLayout = new QVBoxLayout(preview);
    previewLayout->setContentsMargins(0, 0, 0, 0);
    parts->registers = PreviewLabel(preview, "registers");
    // In the blue of the log's request lines, as the log will show it.
    parts->frame = PreviewLabel(preview, "frame");
    SetTextColour(parts->frame, kBlue);
    parts->reason = PreviewLabel(preview, "reason");
    previewLayout->addWidget(parts->registers);
    previewLayout->addWidget(parts->frame);
    previewLayout->addWidget(parts->reason);
    previewLayout->addStretch();
    const QFontMetrics metrics(dialog->font());
    preview->setMinimumHeight(kPreviewLines * metrics.lineSpacing() + 3 * previewLayout->spacing());
    // A float32 written by 16 (17 bytes) fits one line.
    preview->setMinimumWidth(metrics.horizontalAdvance(
        QStringLiteral("POKE ->: 17 bytes 00 64 00 00 00 0B 01 10 00 00 00 02 04 00 00 00 00")));

    parts->write = new QPushButton(QStringLiteral("Write"), dialog);
    parts->write->setObjectName(QStringLiteral("write"));
    parts->write->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), dialog);
    cancel->setObjectName(QStringLiteral("cancel"));
    cancel->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(parts->write);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(dialog);
    layout->addLayout(fields);
    layout->addWidget(preview);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    QWidget::setTabOrder(parts->value, parts->type);
    QWidget::setTabOrder(parts->type, parts->order);
    QWidget::setTabOrder(parts->order, parts->function);
    QWidget::setTabOrder(parts->function, parts->write);
    QWidget::setTabOrder(parts->write, cancel);

    QObject::connect(parts->value, &QLineEdit::textChanged, dialog, [parts] { Refresh(*parts); });
    QObject::connect(parts->value, &QLineEdit::textEdited, dialog, [parts] { parts->typed = true; });
    QObject::connect(parts->type, &QComboBox::currentIndexChanged, dialog, [parts] {
        FitToType(*parts);
        FollowCurrentValue(*parts);
        Refresh(*parts);
    });
    QObject::connect(parts->order, &QComboBox::currentIndexChanged, dialog, [parts] {
        if (parts->order->currentIndex() >= 0)
            parts->preferredOrder = static_cast<ByteOrder>(parts->order->currentData().toInt());
        FollowCurrentValue(*parts);
        Refresh(*parts);
    });
    QObject::connect(parts->function, &QComboBox::activated, dialog,
                     [parts] { parts->preferredFunction = parts->function->currentData().toInt(); });
    QObject::connect(parts->function, &QComboBox::currentIndexChanged, dialog, [parts] { Refresh(*parts); });
    QObject::connect(parts->write, &QPushButton::clicked, dialog, [parts] { Send(*parts); });
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);

    Refresh(*parts);
    parts->value->setFocus();
    KeepOnScreen(dialog);
    return dialog;
}

void SetWriteValueHandlers(WritableCellTest writable, WriteValueOpener open)
{
    gHandlers.writable = writable;
    gHandlers.open = open;
}

bool IsWritableCell(int row, int column)
{
    return gHandlers.writable && gHandlers.writable(row, column);
}

void OpenWriteValue(int row, int column)
{
    if (IsWritableCell(row, column) && gHandlers.open)
        gHandlers.open(row, column);
}
