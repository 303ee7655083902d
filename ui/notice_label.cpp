#include "ui/notice_label.h"

#include <QApplication>
#include <QScreen>
#include <QStyleOptionFrame>
#include <QStylePainter>
#include <QToolTip>

#include <algorithm>

namespace {

// Long enough to read a refusal, short enough not to linger.
constexpr int kNoticeMilliseconds = 6000;

}  // namespace

NoticeLabel::NoticeLabel(QWidget* owner, const char* name) : QLabel(owner, Qt::ToolTip | Qt::BypassGraphicsProxyWidget)
{
    setObjectName(QLatin1String(name));
    setTextFormat(Qt::PlainText);
    setForegroundRole(QPalette::ToolTipText);
    setBackgroundRole(QPalette::ToolTipBase);
    setPalette(QToolTip::palette());
    setFont(QToolTip::font());
    setMargin(1 + style()->pixelMetric(QStyle::PM_ToolTipLabelFrameWidth, nullptr, this));
    setIndent(1);
    expiry_.setSingleShot(true);
    connect(&expiry_, &QTimer::timeout, this, &NoticeLabel::hide);
}

QSize NoticeLabel::SizeFor(const QString& text)
{
    setText(text);
    adjustSize();
    return size();
}

void NoticeLabel::Show(const QString& text, const QPoint& at, bool stay)
{
    setText(text);
    adjustSize();
    move(at);
    show();
    raise();
    if (stay)
        expiry_.stop();
    else
        expiry_.start(kNoticeMilliseconds);
    // From the next event on: the key that committed an edit is still on its
    // way through the window.
    QTimer::singleShot(0, this, [this] {
        if (isVisible())
            qApp->installEventFilter(this);
    });
}

bool NoticeLabel::eventFilter(QObject* watched, QEvent* event)
{
    // Keys and clicks reach widgets; the events the poll worker posts to
    // the GUI thread's queue runner are left unread here, before the runner
    // has taken them over.
    if (!watched->isWidgetType())
        return false;
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::NonClientAreaMouseButtonPress:
        hide();
        break;
    default:
        break;
    }
    return false;
}

void NoticeLabel::hideEvent(QHideEvent* event)
{
    qApp->removeEventFilter(this);
    expiry_.stop();
    QLabel::hideEvent(event);
}

void NoticeLabel::paintEvent(QPaintEvent* event)
{
    QStylePainter painter(this);
    QStyleOptionFrame frame;
    frame.initFrom(this);
    painter.drawPrimitive(QStyle::PE_PanelTipLabel, frame);
    painter.end();
    QLabel::paintEvent(event);
}

QPoint KeepNoticeOnScreen(const QWidget& widget, QPoint at, const QSize& size)
{
    const QScreen* screen = widget.screen();
    const QRect room = screen ? screen->availableGeometry() : QRect();
    if (!room.isValid())
        return at;
    at.setX(std::max(room.left(), std::min(at.x(), room.right() + 1 - size.width())));
    at.setY(std::max(room.top(), std::min(at.y(), room.bottom() + 1 - size.height())));
    return at;
}
