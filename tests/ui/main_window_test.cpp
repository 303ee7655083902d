// The window as built: every control with its kind, page, place, text and
// colours; Tab order; digits-only fields; the status bar.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTextCursor>
#include <QTextEdit>
#include <QToolTip>

#include <string>
#include <vector>

#include "engine/message_log.h"
#include "engine/transaction.h"
#include "modbus/frames.h"
#include "modbus/reply_judge.h"
#include "tests/ui/dark_palette.h"
#include "tests/ui/test_window.h"
#include "ui/control_ids.h"
#include "ui/data_list.h"
#include "ui/fitting_label.h"
#include "ui/link_label.h"
#include "ui/main_window.h"
#include "ui/window_handlers.h"

namespace {

enum Kind { Label, Field, Button, CheckBox, Selector, List, Pane, Link, Image };

struct Expected {
    int id;
    Kind kind;
    int page;
    QRect geometry;
    const char* text;  // nullptr: not checked here
};

// Selectors are 25 pixels high when closed.
const std::vector<Expected> kControls = {
    {1, Label, 0, {50, 100, 165, 20}, "Modbus Server URL / IP:"},
    {2, Field, 0, {220, 100, 210, 20}, "127.0.0.1"},
    {3, Label, 0, {140, 130, 75, 20}, "Port:"},
    {4, Field, 0, {220, 130, 210, 20}, "502"},
    {5, Label, 0, {110, 160, 105, 20}, "Modbus Unit Id:"},
    {6, Field, 0, {220, 160, 210, 20}, "1"},
    {7, Button, 0, {140, 190, 290, 30}, "Connect / Disconnect"},
    {8, Label, 0, {140, 270, 70, 20}, "Command:"},
    {9, Field, 0, {220, 270, 210, 20}, "quit"},
    {10, Button, 0, {140, 300, 290, 30}, "Send Command"},
    {11, CheckBox, 0, {140, 390, 290, 20}, "Apply standard modbus address offset"},
    {12, List, 1, {3, 88, 497, 420}, nullptr},
    {13, Label, 1, {8, 8, 100, 20}, "Start address:"},
    {15, Label, 1, {178, 8, 60, 20}, "Length:"},
    {17, Label, 1, {318, 8, 130, 20}, "Scan rate (mS):"},
    {19, Label, 1, {8, 33, 300, 20}, "Data Format Selectors"},
    {14, Field, 1, {108, 8, 50, 20}, "1"},
    {16, Field, 1, {248, 8, 50, 20}, "100"},
    {18, Field, 1, {448, 8, 50, 20}, "1000"},
    {20, Selector, 1, {8, 58, 110, 25}, "No data"},
    {21, Selector, 1, {122, 58, 110, 25}, "No data"},
    {22, Selector, 1, {235, 58, 125, 25}, "No data"},
    {23, Selector, 1, {364, 58, 135, 25}, "No data"},
    {24, Button, 1, {318, 32, 180, 20}, "Connect / Disconnect"},
    {25, Pane, 2, {8, 48, 490, 430}, ""},
    {26, Button, 2, {8, 8, 240, 30}, "Connect / Disconnect"},
    {28, Label, 2, {8, 488, 150, 20}, "[Polls]"},
    {29, Label, 2, {189, 488, 150, 20}, "[Valid Responses]"},
    {30, Label, 2, {348, 488, 150, 20}, "[Bad Responses]"},
    {27, Button, 2, {258, 8, 240, 30}, "Clear Log and Counters"},
    {31, Label, 3, {78, 50, 100, 20}, "Application:"},
    {32, Label, 3, {188, 50, 250, 20}, "Zedudu ZUD Uredav"},
    {33, Label, 3, {78, 80, 100, 20}, "Version:"},
    {34, Label, 3, {188, 80, 250, 20}, "1.0.0.1"},
    {35, Label, 3, {78, 110, 100, 20}, "Author:"},
    {36, Label, 3, {188, 110, 250, 20}, nullptr},
    {37, Label, 3, {78, 140, 100, 20}, "Company:"},
    {38, Link, 3, {188, 140, 250, 20}, nullptr},
    {39, Label, 3, {78, 170, 100, 20}, "Contact:"},
    {40, Link, 3, {188, 170, 250, 20}, nullptr},
    {42, Label, 3, {80, 200, 100, 20}, "License:"},
    {43, Label, 3, {190, 200, 250, 20}, nullptr},
    {41, Image, 3, {128, 240, 250, 250}, nullptr},
    {44, Pane, 4, {8, 8, 490, 500}, nullptr},
};

// The transport and the serial line: above the server's address, in the
// Communications page's free space, the serial fields disabled while the
// transport is Modbus/TCP.
const std::vector<Expected> kTransportControls = {
    {50, Label, 0, {50, 8, 165, 20}, "Transport:"},    {51, Selector, 0, {220, 6, 210, 25}, "Modbus/TCP"},
    {52, Label, 0, {50, 38, 165, 20}, "Serial port:"}, {53, Selector, 0, {220, 36, 210, 25}, ""},
    {54, Label, 0, {50, 68, 40, 20}, "Baud:"},         {55, Selector, 0, {94, 66, 80, 25}, "19200"},
    {56, Label, 0, {186, 68, 48, 20}, "Parity:"},      {57, Selector, 0, {238, 66, 64, 25}, "Even"},
    {58, Label, 0, {314, 68, 70, 20}, "Stop bits:"},   {59, Selector, 0, {388, 66, 42, 25}, "1"},
};

bool IsKind(QWidget* w, Kind kind)
{
    switch (kind) {
    case Label:
        return qobject_cast<QLabel*>(w) && !dynamic_cast<LinkLabel*>(w) && static_cast<QLabel*>(w)->pixmap().isNull();
    case Field:
        return qobject_cast<QLineEdit*>(w) != nullptr;
    case Button:
        return qobject_cast<QPushButton*>(w) != nullptr;
    case CheckBox:
        return qobject_cast<QCheckBox*>(w) != nullptr;
    case Selector:
        return qobject_cast<QComboBox*>(w) && !static_cast<QComboBox*>(w)->isEditable();
    case List:
        return qobject_cast<QTableView*>(w) != nullptr;
    case Pane:
        if (auto* plain = qobject_cast<QPlainTextEdit*>(w))
            return plain->isReadOnly();
        return qobject_cast<QTextEdit*>(w) && static_cast<QTextEdit*>(w)->isReadOnly();
    case Link:
        return dynamic_cast<LinkLabel*>(w) != nullptr;
    case Image:
        return qobject_cast<QLabel*>(w) && !static_cast<QLabel*>(w)->pixmap().isNull();
    }
    return false;
}

QColor TextColour(int id)
{
    return FindControl(id)->palette().color(QPalette::WindowText);
}

// A status-bar field's label, by its place.
QLabel* StatusLabel(int field)
{
    const int lefts[] = {0, 246, 336, 426};
    for (QLabel* candidate : FindControl(IdTabPanel)->window()->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
        if (candidate->x() == lefts[field] && candidate->y() == 540)
            return candidate;
    return nullptr;
}

class Window : public ::testing::Test {
protected:
    void SetUp() override { window = TestWindow(); }
    QWidget* window = nullptr;
};

}  // namespace

TEST_F(Window, EveryControlHasItsKindPagePlaceAndText)
{
    auto* panel = Control<QTabWidget>(IdTabPanel);
    ASSERT_NE(panel, nullptr);
    for (const Expected& e : kControls) {
        SCOPED_TRACE("control " + std::to_string(e.id));
        QWidget* w = FindControl(e.id);
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(IsKind(w, e.kind));
        EXPECT_EQ(w->parentWidget(), panel->widget(e.page));
        EXPECT_EQ(w->geometry(), e.geometry);
        if (e.text) {
            EXPECT_EQ(GetControlText(e.id), e.text);
        }
        EXPECT_TRUE(w->isEnabled());
        if (auto* label = qobject_cast<QLabel*>(w)) {
            EXPECT_EQ(label->textFormat(), Qt::PlainText);
        }
    }
    // Every id from 0 to 44 is in use.
    for (int id = 0; id < kControlCount; ++id)
        EXPECT_NE(FindControl(id), nullptr) << id;
}

TEST_F(Window, TransportAndSerialLineControls)
{
    auto* panel = Control<QTabWidget>(IdTabPanel);
    for (const Expected& e : kTransportControls) {
        SCOPED_TRACE("control " + std::to_string(e.id));
        QWidget* w = FindControl(e.id);
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(e.id == IdSerialPortField ? qobject_cast<QComboBox*>(w) && Control<QComboBox>(e.id)->isEditable()
                                              : IsKind(w, e.kind));
        EXPECT_EQ(w->parentWidget(), panel->widget(e.page));
        EXPECT_EQ(w->geometry(), e.geometry);
        EXPECT_EQ(GetControlText(e.id), e.text);
        EXPECT_EQ(w->isEnabled(), e.id <= IdTransportSelector);
    }
    const std::vector<std::string> entries[] = {
        {"Modbus/TCP", "RTU over TCP", "RTU (serial)"},
        {"1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"},
        {"None", "Even", "Odd"},
        {"1", "2"},
    };
    const int selectors[] = {IdTransportSelector, IdBaudSelector, IdParitySelector, IdStopBitsSelector};
    for (int i = 0; i < 4; ++i) {
        auto* selector = Control<QComboBox>(selectors[i]);
        std::vector<std::string> shown;
        for (int e = 0; e < selector->count(); ++e)
            shown.push_back(selector->itemText(e).toStdString());
        EXPECT_EQ(shown, entries[i]);
    }
    // The serial port takes any path, and what is typed is read back.
    SetControlText(IdSerialPortField, "/dev/serial/by-id/usb-1a86");
    EXPECT_EQ(GetControlText(IdSerialPortField), "/dev/serial/by-id/usb-1a86");
}

TEST_F(Window, PagesAndTheirOrder)
{
    auto* panel = Control<QTabWidget>(IdTabPanel);
    EXPECT_EQ(panel->geometry(), QRect(0, 0, 510, 540));
    const std::vector<QString> titles = {"Communications", "View Data", "View Messages", "About", "Help"};
    ASSERT_EQ(panel->count(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(panel->tabText(i), titles[static_cast<size_t>(i)]);
        EXPECT_EQ(panel->widget(i)->palette().color(QPalette::Window), QColor(230, 230, 230));
        EXPECT_TRUE(panel->widget(i)->autoFillBackground());
    }
    EXPECT_EQ(panel->currentIndex(), 0);
}

TEST_F(Window, TitleSizeFrameAndPlace)
{
    EXPECT_EQ(window->windowTitle(), "Sorbel-Client");
    EXPECT_EQ(window->size(), QSize(510, 561));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(window->palette().color(QPalette::Window), QColor(200, 200, 200));
    EXPECT_FALSE(window->windowIcon().isNull());
    EXPECT_TRUE(window->isVisible());
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    // Centred, give or take the frame around the client area.
    EXPECT_LE(std::abs(window->geometry().center().x() - screen.center().x()), 4);
    EXPECT_LE(std::abs(window->geometry().center().y() - screen.center().y()), 4);
}

TEST(WindowPlacement, OuterRectIsCentredAndClippedToTheScreen)
{
    const QMargins frame(4, 24, 4, 4);
    EXPECT_EQ(OuterWindowRect(QRect(0, 0, 1280, 1024), QSize(510, 561), frame), QRect(381, 217, 518, 589));
    // A 1280 x 1024 screen scaled by 2, below a 20-pixel panel: the window
    // is cut to the free height and its title bar stays on the screen.
    EXPECT_EQ(OuterWindowRect(QRect(0, 20, 640, 492), QSize(510, 561), frame), QRect(61, 20, 518, 492));
}

TEST_F(Window, LabelColours)
{
    for (int id : {31, 33, 35, 37, 39, 42})
        EXPECT_EQ(TextColour(id), QColor(255, 102, 0)) << id;
    for (int id : {32, 34, 36, 38, 40, 43})
        EXPECT_EQ(TextColour(id), QColor(0, 0, 255)) << id;
    EXPECT_EQ(TextColour(IdLegendPolls), QColor(0, 0, 255));
    EXPECT_EQ(TextColour(IdLegendValid), QColor(0, 0, 0));
    EXPECT_EQ(TextColour(IdLegendBad), QColor(255, 0, 0));

    QWidget* selectors = FindControl(IdFormatLabel);
    EXPECT_EQ(TextColour(IdFormatLabel), QColor(255, 255, 255));
    EXPECT_EQ(selectors->palette().color(QPalette::Window), QColor(255, 102, 0));
    EXPECT_TRUE(selectors->autoFillBackground());
    EXPECT_TRUE(Control<QLabel>(IdFormatLabel)->alignment() & Qt::AlignHCenter);
    EXPECT_TRUE(Control<QLabel>(IdHostLabel)->alignment() & Qt::AlignRight);
    EXPECT_TRUE(Control<QLabel>(IdAboutAppValue)->alignment() & Qt::AlignLeft);
}

TEST_F(Window, AboutLinksLookLikeLinksAndNameThisProduct)
{
    for (int id : {IdAboutWebLink, IdAboutMailLink}) {
        QWidget* link = FindControl(id);
        EXPECT_TRUE(link->font().underline());
        EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
        EXPECT_EQ(link->focusPolicy(), Qt::NoFocus);
    }
    EXPECT_EQ(GetControlText(IdAboutWebLink).rfind("https://", 0), 0u);
    EXPECT_EQ(GetControlText(IdAboutMailLink).rfind("mailto:", 0), 0u);
    const std::string author = GetControlText(IdAboutAuthorValue);
    EXPECT_NE(author.find(" ("), std::string::npos);
    EXPECT_EQ(author.back(), ')');
    // The decoded logo fills the image control.
    EXPECT_EQ(Control<QLabel>(IdAboutLogo)->pixmap().size(), QSize(250, 250));
}

TEST_F(Window, DisabledLinkIsDrawnGreyed)
{
    Control<QTabWidget>(IdTabPanel)->setCurrentIndex(3);
    QWidget* link = FindControl(IdAboutWebLink);
    auto pixelsOf = [link](const QColor& colour) {
        const QImage image = link->grab().toImage();
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                count += image.pixelColor(x, y) == colour;
        return count;
    };
    const QColor blue(0, 0, 255);
    EXPECT_GT(pixelsOf(blue), 0);
    link->setEnabled(false);
    EXPECT_EQ(pixelsOf(blue), 0);
    EXPECT_GT(pixelsOf(link->palette().color(QPalette::Disabled, QPalette::WindowText)), 0);
    Control<QTabWidget>(IdTabPanel)->setCurrentIndex(0);
}

TEST_F(Window, TabsAreFilledByTheProgram)
{
    QTabBar* bar = Control<QTabWidget>(IdTabPanel)->tabBar();
    const QImage image = bar->grab().toImage();
    const qreal ratio = image.devicePixelRatio();
    auto at = [&](int x, int y) { return image.pixelColor(QPointF(x, y).toPoint() * ratio); };
    const QColor fill(230, 230, 230);
    for (int i = 0; i < bar->count(); ++i) {
        const QRect tab = bar->tabRect(i);
        EXPECT_EQ(at(tab.left() + 2, tab.center().y()), fill) << i;
        // The selected tab's fill starts 2 pixels down, the others' at the top.
        if (i == bar->currentIndex())
            EXPECT_NE(at(tab.left() + 2, tab.top() + 1), fill);
        else
            EXPECT_EQ(at(tab.left() + 2, tab.top()), fill) << i;
    }
}

TEST(DarkDesktop, LogPaneKeepsItsOwnBackgroundBehindItsColouredLines)
{
    const QPalette light = QApplication::palette();
    QApplication::setPalette(DarkPalette());
    TestWindow();
    Control<QTabWidget>(IdTabPanel)->setCurrentIndex(2);
    AppendLogLine("->: 12 bytes 00 01 00 00 00 06 01 02 00 01 00 64", kBlue);
    auto* pane = Control<QPlainTextEdit>(IdMessageLog);
    pane->setTextCursor(QTextCursor(pane->document()));  // the line unselected
    const QImage image = pane->viewport()->grab().toImage();
    QApplication::setPalette(light);
    TestWindow();

    int blue = 0;
    for (int y = 0; y < image.height() / 20; ++y)
        for (int x = 0; x < image.width(); ++x)
            blue += image.pixelColor(x, y) == QColor(0, 0, 255);
    EXPECT_GT(blue, 0) << "the line is drawn in its colour";
    EXPECT_EQ(image.pixelColor(image.width() - 2, image.height() - 2), QColor(255, 255, 255));
    EXPECT_EQ(image.pixelColor(image.width() - 2, 2), QColor(255, 255, 255));
}

TEST_F(Window, TheLookStaysLightWhenTheDesktopsSchemeTurnsDark)
{
    QApplication::setPalette(DarkPalette());
    QEvent changed(QEvent::ThemeChange);
    QApplication::sendEvent(window, &changed);
    EXPECT_TRUE(PumpUntil([] { return QApplication::palette().color(QPalette::Base) == QColor(Qt::white); }));
    EXPECT_EQ(QApplication::palette().color(QPalette::Disabled, QPalette::Text), QColor(96, 96, 96));
}

TEST_F(Window, SelectorsOfferOnlyTheirEntries)
{
    const std::vector<QString> bits = {"No data", "Bit"};
    const std::vector<QString> words = {"No data", "Binary", "Hex", "Decimal"};
    for (int id = IdSelectorDI; id <= IdSelectorHR; ++id) {
        auto* selector = Control<QComboBox>(id);
        const auto& entries = id <= IdSelectorCO ? bits : words;
        ASSERT_EQ(selector->count(), static_cast<int>(entries.size()));
        for (int i = 0; i < selector->count(); ++i)
            EXPECT_EQ(selector->itemText(i), entries[static_cast<size_t>(i)]);
        EXPECT_EQ(selector->currentIndex(), 0);
    }
}

TEST_F(Window, StatusBarFieldsRunPastTheRightEdge)
{
    const std::vector<std::string> texts = {"Read Status: Not Connected", "Polls: 0", "Valid: 0", "Bad: 0"};
    const int lefts[] = {0, 246, 336, 426};
    const int widths[] = {246, 90, 90, 94};
    for (int field = 0; field < 4; ++field) {
        EXPECT_EQ(GetStatusField(field), texts[static_cast<size_t>(field)]);
        QLabel* label = StatusLabel(field);
        ASSERT_NE(label, nullptr) << field;
        EXPECT_EQ(label->geometry(), QRect(lefts[field], 540, widths[field], 21));
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
    }
    // The last field ends at 520, ten pixels past the 510-pixel window.
    EXPECT_EQ(lefts[3] + widths[3] - window->width(), 10);
    // A counter shows eight digits whole, in the visible part of the last field.
    for (int field : {StatusPolls, StatusValid, StatusBad}) {
        QLabel* label = StatusLabel(field);
        SetStatusField(field, std::string(field == StatusBad ? "Bad: " : "Valid: ") + "12345678");
        const int visible = std::min(label->geometry().right(), window->width() - 1) - label->x() + 1;
        EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(label->text()) + label->indent(),
                  visible - 2 * label->frameWidth());
        EXPECT_GE(label->font().pointSizeF(), 7.0);
    }
}

TEST_F(Window, EveryStatusTextTheProgramShowsIsReadWhole)
{
    std::vector<std::string> texts = {"Read Status: Not Connected",
                                      "Read Status: Connecting...",
                                      "Read Status: Connected",
                                      kStatusOk,
                                      kStatusTimeout,
                                      kStatusWrongLength,
                                      kStatusLinkLost,
                                      kStatusReadsRefused};
    for (int attempt : {1, 17, 999, 99999})
        texts.push_back("Status: Link Down, reconnecting (attempt " + std::to_string(attempt) + ")");
    for (int fault = FaultNone + 1; *ReplyFaultText(static_cast<ReplyFault>(fault)); ++fault)
        texts.push_back(std::string(kStatusInvalid) + " (" + ReplyFaultText(static_cast<ReplyFault>(fault)) + ")");
    // A table read in parts, its widest name and range.
    texts.push_back("Status: Not Read: Holding Registers 105411-105535");
    for (int code = 0; code < 256; ++code)
        if (const char* text = ExceptionStatusText(static_cast<uint8_t>(code)))
            texts.push_back(text);
    auto* field = dynamic_cast<FittingLabel*>(StatusLabel(StatusText));
    ASSERT_NE(field, nullptr);
    for (const std::string& text : texts) {
        SetStatusField(StatusText, text);
        EXPECT_EQ(field->ShownText().toStdString(), text);
        EXPECT_GE(field->ShownFont().pointSizeF(), 7.0) << text;
    }
    // One longer than any the program writes is cut in the middle, both
    // ends in view.
    SetStatusField(StatusText, "Status: " + std::string(80, 'x') + " (the end)");
    EXPECT_TRUE(field->ShownText().startsWith(QStringLiteral("Status: ")));
    EXPECT_TRUE(field->ShownText().endsWith(QStringLiteral("(the end)")));
    // Parts that failed apart: the first range and how many more, both ends
    // in view.
    SetStatusField(StatusText, "Status: Not Read: Holding Registers 40101-40200 (+9)");
    EXPECT_TRUE(field->ShownText().startsWith(QStringLiteral("Status: Not Read: ")));
    EXPECT_TRUE(field->ShownText().endsWith(QStringLiteral("40101-40200 (+9)")));
}

TEST_F(Window, StatusTipsFollowTheFieldWhileTheyShow)
{
    QApplication::setActiveWindow(window);
    ASSERT_TRUE(PumpUntil([this] { return window->isActiveWindow(); }));
    QLabel* field = StatusLabel(StatusText);
    SetStatusField(StatusText, "Status: Link Down, reconnecting (attempt 17)");
    QHelpEvent ask(QEvent::ToolTip, QPoint(10, 10), field->mapToGlobal(QPoint(10, 10)));
    QApplication::sendEvent(field, &ask);
    ASSERT_TRUE(PumpUntil([] { return QToolTip::isVisible(); }));
    EXPECT_EQ(QToolTip::text(), "Status: Link Down, reconnecting (attempt 17)");
    // The mouse stays on the field meanwhile.
    QTest::mouseMove(field, QPoint(10, 10));
    SetStatusField(StatusText, "Status: Link Down, reconnecting (attempt 20)");
    EXPECT_TRUE(PumpUntil([] { return QToolTip::text() == "Status: Link Down, reconnecting (attempt 20)"; }))
        << QToolTip::text().toStdString();
    QToolTip::hideText();
}

TEST_F(Window, TabOrderIsCreationOrder)
{
    auto* panel = Control<QTabWidget>(IdTabPanel);
    auto idOf = [panel](QWidget* w) {
        if (w == panel->tabBar())
            return static_cast<int>(IdTabPanel);
        for (int id = 1; id < kControlIdEnd; ++id)
            if (FindControl(id) == w)
                return id;
        return -1;
    };
    std::vector<int> order;
    QWidget* w = panel->tabBar();
    do {
        const int id = idOf(w);
        if (id >= 0 && (w->focusPolicy() & Qt::TabFocus))
            order.push_back(id);
        w = w->nextInFocusChain();
    } while (w != panel->tabBar());
    // The transport's fields before Connect; the disabled serial fields are
    // skipped by Tab, yet in the chain.
    const std::vector<int> expected = {0,  51, 53, 55, 57, 59, 2,  4,  6,  7,  61, 60, 9,  10,
                                       11, 12, 14, 16, 18, 20, 21, 22, 23, 24, 25, 26, 27, 44};
    EXPECT_EQ(order, expected);
}

TEST_F(Window, TabKeyMovesThroughThePageAndFocusStartsInTheHostField)
{
    QApplication::setActiveWindow(window);
    ASSERT_TRUE(PumpUntil([this] { return window->isActiveWindow(); }));
    EXPECT_EQ(window->focusWidget(), FindControl(IdHostField));
    FindControl(IdHostField)->setFocus();
    QTest::keyClick(FindControl(IdHostField), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), FindControl(IdPortField));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), FindControl(IdUnitField));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    EXPECT_EQ(QApplication::focusWidget(), FindControl(IdPortField));
    // Tab also leaves the read-only text panes.
    Control<QTabWidget>(IdTabPanel)->setCurrentIndex(4);
    FindControl(IdHelpPane)->setFocus();
    QTest::keyClick(FindControl(IdHelpPane), Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), FindControl(IdHelpPane));
    Control<QTabWidget>(IdTabPanel)->setCurrentIndex(0);
}

TEST_F(Window, TabLeavesTheDataListAsOneControlAndWraps)
{
    auto* panel = Control<QTabWidget>(IdTabPanel);
    panel->setCurrentIndex(1);
    QApplication::setActiveWindow(window);
    ASSERT_TRUE(PumpUntil([this] { return window->isActiveWindow(); }));
    ChangeDataListRows([](std::vector<DataRow>& rows) { rows.resize(5); });
    auto* list = Control<QTableView>(IdDataList);
    list->setCurrentIndex(list->model()->index(0, 0));

    list->setFocus();
    QTest::keyClick(list, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), FindControl(IdStartField));
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Backtab);
    EXPECT_EQ(QApplication::focusWidget(), panel->tabBar());
    // From the first control back to the page's last, and on round again.
    QTest::keyClick(panel->tabBar(), Qt::Key_Backtab);
    EXPECT_EQ(QApplication::focusWidget(), FindControl(IdConnectData));
    QTest::keyClick(FindControl(IdConnectData), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), panel->tabBar());
    EXPECT_EQ(list->currentIndex().row(), 0);
    panel->setCurrentIndex(0);
}

TEST_F(Window, DigitsOnlyFieldsRefuseTypedLetters)
{
    for (int id : {IdPortField, IdUnitField, IdStartField, IdLengthField, IdScanField}) {
        auto* field = Control<QLineEdit>(id);
        field->setText("1");
        field->setCursorPosition(1);
        QTest::keyClicks(field, "2a-+x5");
        EXPECT_EQ(field->text(), "125") << id;
        QTest::keyClick(field, Qt::Key_Backspace);
        EXPECT_EQ(field->text(), "12") << id;
        // Text set by the program is taken as it is.
        SetControlText(id, "-7");
        EXPECT_EQ(GetControlText(id), "-7");
    }
    // The start address goes no higher than a request can carry, typed or pasted.
    auto* start = Control<QLineEdit>(IdStartField);
    start->clear();
    QTest::keyClicks(start, "70000");
    EXPECT_EQ(start->text(), "7000");
    start->setText("6553");
    start->setCursorPosition(4);
    QTest::keyClicks(start, "56");
    EXPECT_EQ(start->text(), "65535");
    start->clear();
    start->insert("99999");
    EXPECT_EQ(start->text(), "");
    for (int id : {IdHostField, IdCommandField}) {
        auto* field = Control<QLineEdit>(id);
        field->clear();
        QTest::keyClicks(field, "plc-1.local a");
        EXPECT_EQ(field->text(), "plc-1.local a") << id;
    }
}

TEST_F(Window, NumericFieldsHoldOnlyWhatGoesOutAsShown)
{
    // Typed digit by digit, a field takes its maximum and refuses any digit
    // more, or a last digit one higher.
    const std::pair<int, std::string> kHighest[] = {
        {IdPortField, "65535"}, {IdUnitField, "255"}, {IdLengthField, "65535"}, {IdScanField, "3600000"}};
    for (const auto& [id, highest] : kHighest) {
        auto* field = Control<QLineEdit>(id);
        field->clear();
        QTest::keyClicks(field, QString::fromStdString(highest) + "0");
        EXPECT_EQ(field->text().toStdString(), highest) << id;
        field->backspace();
        QTest::keyClicks(field, QString::number(highest.back() - '0' + 1));
        EXPECT_EQ(GetControlText(id).size(), highest.size() - 1) << id;
    }

    // A scan rate below the timer's floor can be typed on the way to a
    // larger one, and shows the floor once the field is left: by Tab, or by
    // a click on a "Connect / Disconnect" button before the click is handled.
    Control<QTabWidget>(IdTabPanel)->setCurrentIndex(1);
    QApplication::setActiveWindow(window);
    ASSERT_TRUE(PumpUntil([this] { return window->isActiveWindow(); }));
    auto* scan = Control<QLineEdit>(IdScanField);
    static std::string seenAtClick;
    SetControlEventHandler([](int id) {
        if (id == IdConnectData || id == IdConnectComms)
            seenAtClick = GetControlText(IdScanField);
    });
    for (int button : {-1, int{IdConnectData}, int{IdConnectComms}}) {
        scan->setFocus();
        scan->clear();
        QTest::keyClicks(scan, "0");
        EXPECT_EQ(GetControlText(IdScanField), "0");
        seenAtClick.clear();
        if (button < 0) {
            QTest::keyClick(scan, Qt::Key_Tab);
            EXPECT_EQ(GetControlText(IdScanField), "10");
            continue;
        }
        // The Communications page's button: the page change takes the focus.
        if (button == IdConnectComms)
            Control<QTabWidget>(IdTabPanel)->setCurrentIndex(0);
        QTest::mouseClick(FindControl(button), Qt::LeftButton);
        EXPECT_EQ(seenAtClick, "10") << button;
    }
    SetControlEventHandler(nullptr);
}
