#include "ui/widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QTextEdit>
#include <QValidator>

#include "ui/cached_scroll_bar.h"
#include "ui/controls.h"
#include "ui/window_handlers.h"

namespace {

constexpr int kSelectorHeight = 25;
// Entries shown at once by an opened selector: about 350 pixels of list.
constexpr int kSelectorVisibleEntries = 16;

// Refuses typed characters other than 0-9 in a digits-only field. Keys
// without text (arrows, Backspace, shortcuts) pass, and so does text the
// program sets, as the field's own rule is about typing only.
class DigitsOnlyFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const QString text = static_cast<QKeyEvent*>(event)->text();
            for (QChar c : text) {
                if (c.isPrint() && (c < QLatin1Char('0') || c > QLatin1Char('9')))
                    return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

// Digits only, and no more than a maximum: the text a typed or pasted
// change would leave is refused as a whole when it breaks either rule. A
// value below the floor may stand while it is typed ("5" on the way to
// "50"); leaving the field or pressing Enter raises it to the floor.
class DigitsInRange : public QValidator {
public:
    DigitsInRange(long long floor, long long maximum, QObject* parent)
        : QValidator(parent), floor_(floor), maximum_(maximum)
    {
    }

    State validate(QString& input, int&) const override
    {
        long long value = 0;
        for (QChar c : input) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return Invalid;
            value = value * 10 + (c.unicode() - '0');
            if (value > maximum_)
                return Invalid;
        }
        return value < floor_ ? Intermediate : Acceptable;
    }

    // Called for a text that is not acceptable: only one below the floor
    // can be mended.
    void fixup(QString& input) const override
    {
        int cursor = 0;
        if (validate(input, cursor) == Intermediate)
            input = QString::number(floor_);
    }

private:
    long long floor_;
    long long maximum_;
};

}  // namespace

QColor ToQColor(Rgb colour)
{
    return QColor(colour.r, colour.g, colour.b);
}

Rgb ToRgb(const QColor& colour)
{
    return {static_cast<uint8_t>(colour.red()), static_cast<uint8_t>(colour.green()),
            static_cast<uint8_t>(colour.blue())};
}

void SetTextColour(QWidget* widget, Rgb colour)
{
    QPalette palette = widget->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::WindowText, ToQColor(colour));
        palette.setColor(group, QPalette::Text, ToQColor(colour));
    }
    widget->setPalette(palette);
}

void SetDisabledTextColour(QWidget* widget, Rgb colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Disabled, QPalette::WindowText, ToQColor(colour));
    palette.setColor(QPalette::Disabled, QPalette::Text, ToQColor(colour));
    widget->setPalette(palette);
}

void SetBackgroundColour(QWidget* widget, Rgb colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, ToQColor(colour));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

QLabel* CreateLabel(QWidget* page, int id, const QRect& geometry, const char* text, Qt::Alignment alignment)
{
    auto* label = new QLabel(QString::fromUtf8(text), page);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(alignment & Qt::AlignVertical_Mask ? alignment : alignment | Qt::AlignVCenter);
    label->setGeometry(geometry);
    RegisterControl(id, label);
    return label;
}

QLineEdit* CreateTextField(QWidget* page, int id, const QRect& geometry, const char* text, bool digitsOnly)
{
    auto* field = new QLineEdit(QString::fromUtf8(text), page);
    field->setGeometry(geometry);
    if (digitsOnly)
        field->installEventFilter(new DigitsOnlyFilter(field));
    QObject::connect(field, &QLineEdit::textEdited, [id] { ReportControlEvent(id); });
    RegisterControl(id, field);
    return field;
}

void LimitFieldValue(QLineEdit* field, long long floor, long long maximum)
{
    field->setValidator(new DigitsInRange(floor, maximum, field));
}

QPushButton* CreateButton(QWidget* page, int id, const QRect& geometry, const char* caption)
{
    auto* button = new QPushButton(QString::fromUtf8(caption), page);
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    QObject::connect(button, &QPushButton::clicked, [id] { ReportControlEvent(id); });
    RegisterControl(id, button);
    return button;
}

QCheckBox* CreateCheckBox(QWidget* page, int id, const QRect& geometry, const char* caption)
{
    auto* box = new QCheckBox(QString::fromUtf8(caption), page);
    box->setGeometry(geometry);
    QObject::connect(box, &QCheckBox::clicked, [id] { ReportControlEvent(id); });
    RegisterControl(id, box);
    return box;
}

QComboBox* CreateSelector(QWidget* page, int id, int x, int y, int width, std::initializer_list<const char*> entries)
{
    auto* selector = new QComboBox(page);
    selector->setEditable(false);
    for (const char* entry : entries)
        selector->addItem(QString::fromUtf8(entry));
    selector->setCurrentIndex(0);
    selector->setMaxVisibleItems(kSelectorVisibleEntries);
    selector->setGeometry(x, y, width, kSelectorHeight);
    QObject::connect(selector, &QComboBox::activated, [id] { ReportControlEvent(id); });
    RegisterControl(id, selector);
    return selector;
}

namespace {

// What both kinds of text pane share.
template <class Pane>
Pane* SetUpPane(Pane* pane, int id, const QRect& geometry)
{
    pane->setGeometry(geometry);
    pane->setReadOnly(true);
    pane->setUndoRedoEnabled(false);
    pane->setLineWrapMode(Pane::NoWrap);
    pane->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    pane->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    pane->setTabChangesFocus(true);
    pane->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // The keys still move and select, but a blinking caret would suggest
    // that the text can be typed into.
    pane->setCursorWidth(0);
    // The lines are written in fixed colours (blue, black, red, grey,
    // orange), so the pane's background is fixed as well: white, as under a
    // light desktop scheme, whatever the desktop's scheme.
    QPalette palette = pane->palette();
    palette.setColor(QPalette::Base, ToQColor(kWhite));
    // Keep the selection as visible as with focus.
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    pane->setPalette(palette);
    RegisterControl(id, pane);
    return pane;
}

// A rich pane lays its text out anew with every change, and the Help page
// is written and formatted step by step at start-up, though most sessions
// never show it. Its document is left unlaid out (a null page size) until
// the pane is first shown.
class LayOutWhenShown : public QObject {
public:
    explicit LayOutWhenShown(QTextEdit* pane) : QObject(pane)
    {
        pane->document()->setPageSize(QSizeF(0, 0));
        pane->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Show)
            return false;
        auto* pane = static_cast<QTextEdit*>(watched);
        pane->removeEventFilter(this);
        // A change of wrapping lays the text out for the pane as it is.
        const QTextEdit::LineWrapMode wrap = pane->lineWrapMode();
        pane->setLineWrapMode(wrap == QTextEdit::NoWrap ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
        pane->setLineWrapMode(wrap);
        deleteLater();
        return false;
    }
};

}  // namespace

QTextEdit* CreateTextPane(QWidget* page, int id, const QRect& geometry)
{
    auto* pane = new QTextEdit(page);
    pane->setAcceptRichText(false);
    SetUpPane(pane, id, geometry);
    new LayOutWhenShown(pane);
    return pane;
}

QPlainTextEdit* CreateLogPane(QWidget* page, int id, const QRect& geometry)
{
    auto* pane = new QPlainTextEdit(page);
    // Repainted with every line, mostly to the same picture.
    pane->setVerticalScrollBar(new CachedScrollBar(Qt::Vertical));
    pane->setHorizontalScrollBar(new CachedScrollBar(Qt::Horizontal));
    return SetUpPane(pane, id, geometry);
}
