// A link on the About page: blue underlined text, the hand cursor while the
// mouse is over it, and a click (left button released over it) reported as
// a control event with the link's id.
#pragma once

#include <QLabel>

class LinkLabel : public QLabel {
public:
    LinkLabel(int id, const QString& text, QWidget* parent);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int id_;
};
