// A note drawn like a tool tip that the program puts where it chooses:
// refusals and failures the user should not miss. It goes away with the
// next key or click anywhere in the program, and, unless it is to stay, after
// a while.
#pragma once

#include <QLabel>
#include <QTimer>

class NoticeLabel : public QLabel {
public:
    // A top-level label of owner's, gone with it; name is its object name.
    NoticeLabel(QWidget* owner, const char* name);

    // The size the notice takes for text.
    QSize SizeFor(const QString& text);

    // Shows text with its top-left corner at the global position at; with
    // stay, only a key or a click takes it away.
    void Show(const QString& text, const QPoint& at, bool stay);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer expiry_;
};

// The global position where a notice of size fits the screen of widget,
// nearest to at.
QPoint KeepNoticeOnScreen(const QWidget& widget, QPoint at, const QSize& size);
