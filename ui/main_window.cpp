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

#include "app/shutdown.h"
#include "ui/control_ids.h"
#include "ui/controls.h"
#include "ui/fonts.h"
#include "ui/logo.h"
#include "ui/pages.h"
#include "ui/repaint_pacing.h"
#include "ui/widgets.h"

namespace {

constexpr int kClientWidth = 510;
constexpr int kClientHeight = 561;
constexpr int kPanelHeight = 540;
// Right edges 160, 280, 400, 520: the last field runs 10 pixels past the
// window's edge and is cut off there.
constexpr int kStatusFieldWidths[4] = {160, 120, 120, 120};
constexpr const char* kStatusFieldTexts[4] = {"Read Status: Not Connected", "Polls: 0", "Valid: 0", "Bad: 0"};

class MainWindow : public QWidget {
protected:
    void closeEvent(QCloseEvent* event) override
    {
        Shutdown();
        event->accept();
    }
};

void CentreOnScreen(QWidget* window)
{
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    window->move(area.x() + (area.width() - kClientWidth) / 2, area.y() + (area.height() - kClientHeight) / 2);
}

// The system's font, made smaller where needed so that the usual status
// texts fit the 160-pixel field (Linux fonts run wider than the ones the
// field widths were chosen for). Longer texts show whole as a tool tip.
QFont StatusBarFont(const QLabel& probe)
{
    QFont font = QApplication::font();
    const int room = kStatusFieldWidths[0] - 2 * probe.frameWidth() - probe.indent() - 2;
    const QString widest = QStringLiteral("Read Status: Not Connected");
    while (font.pointSizeF() > 7.0 && QFontMetrics(font).horizontalAdvance(widest) > room)
        font.setPointSizeF(font.pointSizeF() - 0.5);
    return font;
}

void BuildStatusBar(QWidget* window)
{
    int x = 0;
    QFont font;
    for (int field = 0; field < 4; ++field) {
        auto* label = new QLabel(QString::fromUtf8(kStatusFieldTexts[field]), window);
        label->setTextFormat(Qt::PlainText);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setIndent(3);
        if (field == 0)
            font = StatusBarFont(*label);
        label->setFont(font);
        label->setToolTip(label->text());
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

} // namespace

QWidget* BuildMainWindow()
{
    auto* window = new MainWindow;
    window->setWindowTitle(QStringLiteral("Sorbel-Client"));
    window->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    window->setFixedSize(kClientWidth, kClientHeight);
    CentreOnScreen(window);
    if (!IconImage().isNull())
        window->setWindowIcon(QIcon(QPixmap::fromImage(IconImage())));

    window->setFont(NormalFont());
    SetBackgroundColour(window, kWindowGrey);

    BuildStatusBar(window);

    auto* panel = new QTabWidget(window);
    panel->setGeometry(0, 0, kClientWidth, kPanelHeight);
    RegisterControl(IdTabPanel, panel);

    BuildCommunicationsPage(AddPage(panel, "Communications"));
    BuildViewDataPage(AddPage(panel, "View Data"));
    BuildViewMessagesPage(AddPage(panel, "View Messages"));
    BuildAboutPage(AddPage(panel, "About"));
    BuildHelpPage(AddPage(panel, "Help"));
    panel->setCurrentIndex(0);

    FocusControl(IdHostField);
    PaceRepaints(window);
    window->show();
    return window;
}
