#include "ui/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>

#include "ui/control_ids.h"
#include "ui/controls.h"
#include "ui/fitting_label.h"
#include "ui/fonts.h"
#include "ui/light_look.h"
#include "ui/logo.h"
#include "ui/pages.h"
#include "ui/recording_mark.h"
#include "ui/repaint_pacing.h"
#include "ui/tab_panel.h"
#include "ui/widgets.h"
#include "ui/window_handlers.h"

namespace {

constexpr int kClientWidth = 510;
constexpr int kClientHeight = 561;
constexpr int kPanelHeight = 540;
// Right edges 246, 336, 426, 520: the last field runs 10 pixels past the
// window's edge and is cut off there. The status text takes what the three
// counters leave, so that its longest texts ("Status: Link Down,
// reconnecting (attempt 12)", "Status: Invalid Response (wrong function
// code)") show whole.
constexpr int kStatusFieldWidths[4] = {246, 90, 90, 94};
constexpr const char* kStatusFieldTexts[4] = {"Read Status: Not Connected", "Polls: 0", "Valid: 0", "Bad: 0"};
// The counters' widest usual text: eight digits.
constexpr const char* kWidestCounter = "Valid: 12345678";
// The smallest the fields' text gets, to fit the status text or a counter.
constexpr qreal kSmallestStatusPoints = 7.0;

// Centres the window's outer rectangle, frame included, on the screen's
// available area. A window larger than the area is clipped to it, so that its
// top-left corner (title bar and tab bar) is always on the screen.
void PlaceOnScreen(QWidget* window, const QMargins& frame)
{
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect outer = OuterWindowRect(screen->availableGeometry(), QSize(kClientWidth, kClientHeight), frame);
    window->setFixedSize(outer.size().shrunkBy(frame));
    // The position of a window is that of its frame.
    window->move(outer.topLeft());
}

class MainWindow : public QWidget {
protected:
    void closeEvent(QCloseEvent* event) override
    {
        ReportCloseRequest();
        event->accept();
    }

    // The frame's size is known only once the window manager has framed the
    // shown window; then the window is placed again, once, by its real outer
    // size.
    bool event(QEvent* event) override
    {
        // The desktop's scheme changed: the program keeps its own look.
        if (event->type() == QEvent::ThemeChange)
            QTimer::singleShot(0, this, UseLightLook);
        const bool result = QWidget::event(event);
        if (!placedByFrame_ && event->type() == QEvent::Move && isVisible()) {
            const QRect outer = frameGeometry();
            const QRect inner = geometry();
            const QMargins frame(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                                 outer.bottom() - inner.bottom());
            if (!frame.isNull()) {
                placedByFrame_ = true;
                PlaceOnScreen(this, frame);
            }
        }
        return result;
    }

private:
    bool placedByFrame_ = false;
};

// The system's font, made smaller where needed so that the counters'
// usual texts fit their fields (Linux fonts run wider than the ones the
// field widths were chosen for). The status text goes smaller still for
// its longest texts (FittingLabel).
QFont StatusBarFont(const QLabel& probe)
{
    QFont font = QApplication::font();
    const int room = kStatusFieldWidths[StatusPolls] - 2 * probe.frameWidth() - probe.indent() - 2;
    const QString widest = QString::fromLatin1(kWidestCounter);
    while (font.pointSizeF() - 0.5 >= kSmallestStatusPoints && QFontMetrics(font).horizontalAdvance(widest) > room)
        font.setPointSizeF(font.pointSizeF() - 0.5);
    return font;
}

void BuildStatusBar(QWidget* window)
{
    int x = 0;
    QFont font;
    for (int field = 0; field < 4; ++field) {
        const QString text = QString::fromUtf8(kStatusFieldTexts[field]);
        QLabel* label =
            field == StatusText ? new FittingLabel(text, window, kSmallestStatusPoints) : new QLabel(text, window);
        label->setTextFormat(Qt::PlainText);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setIndent(3);
        if (field == 0)
            font = StatusBarFont(*label);
        label->setFont(font);
        label->setGeometry(x, kPanelHeight, kStatusFieldWidths[field], kClientHeight - kPanelHeight);
        RegisterStatusField(field, label);
        x += kStatusFieldWidths[field];
    }
}

QWidget* AddPage(QTabWidget* panel, const char* title)
{
    auto* page = new QWidget;
    // Added before its controls exist, so that they join the Tab order in
    // the order they are created.
    panel->addTab(page, QString::fromUtf8(title));
    SetBackgroundColour(page, kPageGrey);
    return page;
}

}  // namespace

QRect OuterWindowRect(const QRect& area, const QSize& client, const QMargins& frame)
{
    const QSize outer = client.grownBy(frame).boundedTo(area.size());
    return QRect(area.x() + (area.width() - outer.width()) / 2, area.y() + (area.height() - outer.height()) / 2,
                 outer.width(), outer.height());
}

QWidget* BuildMainWindow()
{
    UseLightLook();
    auto* window = new MainWindow;
    window->setWindowTitle(QStringLiteral("Sorbel-Client"));
    window->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    // Placed as if without a frame until the frame is known.
    PlaceOnScreen(window, QMargins());
    if (!IconImage().isNull())
        window->setWindowIcon(QIcon(QPixmap::fromImage(IconImage())));

    window->setFont(NormalFont());
    SetBackgroundColour(window, kWindowGrey);

    BuildStatusBar(window);

    QTabWidget* panel = CreateTabPanel(window, kPageGrey);
    panel->setGeometry(0, 0, kClientWidth, kPanelHeight);
    RegisterControl(IdTabPanel, panel);

    BuildCommunicationsPage(AddPage(panel, "Communications"));
    BuildViewDataPage(AddPage(panel, "View Data"));
    BuildViewMessagesPage(AddPage(panel, "View Messages"));
    BuildAboutPage(AddPage(panel, "About"));
    BuildHelpPage(AddPage(panel, "Help"));
    panel->setCurrentIndex(0);
    AddRecordingMark(panel);

    FocusControl(IdHostField);
    PaceRepaints(window);
    window->show();
    return window;
}
