// A one-line label that shows its whole text in the room it has: in its own
// font when the text fits, else in the largest smaller one down to a floor
// that fits, and only below that elided in the middle, so that both ends of
// the text (what happened, and the number or reason after it) stay in view.
#pragma once

#include <QLabel>

class FittingLabel : public QLabel {
public:
    // floorPoints: the smallest point size the text may take.
    FittingLabel(const QString& text, QWidget* parent, qreal floorPoints);

    // What is drawn for the current text: the font, and the text itself
    // (elided only when it does not fit at the floor).
    QFont ShownFont() const;
    QString ShownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int Room() const;

    qreal floorPoints_;
};
