#include "ui/recording_mark.h"

#include <QLabel>
#include <QPointer>
#include <QTabBar>
#include <QTabWidget>

#include <algorithm>

#include "common/colours.h"
#include "ui/widgets.h"

namespace {

// GUI thread only; file-local: the one mark, reached through the calls above.
struct Mark {
    QPointer<QLabel> label;
    RecordingMarkState state = MarkHidden;
};
Mark gMark;

constexpr Rgb kMarkGrey{128, 128, 128};

}  // namespace

void AddRecordingMark(QTabWidget* panel)
{
    // A child of the window over the tab row's free end, so that neither the
    // tabs nor the status fields move or shrink for it.
    QWidget* window = panel->parentWidget();
    const int tabsEnd = panel->tabBar()->sizeHint().width();
    const int height = panel->tabBar()->sizeHint().height();
    gMark.state = MarkHidden;
    auto* mark = new QLabel(window);
    mark->setTextFormat(Qt::RichText);
    mark->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // The tab row leaves about 40 px: the window's own font, not bold, keeps
    // the whole mark inside it.
    mark->setGeometry(panel->x() + tabsEnd + 2, panel->y(), std::max(0, panel->width() - tabsEnd - 6), height);
    mark->hide();
    gMark.label = mark;
}

void ShowRecordingMark(RecordingMarkState state, const std::string& tip)
{
    if (!gMark.label)
        return;
    gMark.state = state;
    if (state == MarkHidden) {
        gMark.label->hide();
        gMark.label->clear();
        return;
    }
    const QColor dot = ToQColor(state == MarkRecording ? kRed : kMarkGrey);
    const QColor text = gMark.label->palette().color(QPalette::WindowText);
    gMark.label->setText(
        QStringLiteral("<span style=\"color:%1\">&#9679;</span><span style=\"color:%2\">&nbsp;REC</span>")
            .arg(dot.name(), text.name()));
    gMark.label->setToolTip(QString::fromStdString(tip));
    gMark.label->show();
    gMark.label->raise();
}

RecordingMarkState ShownRecordingMark(std::string* tip)
{
    if (tip)
        *tip = gMark.label ? gMark.label->toolTip().toStdString() : std::string();
    return gMark.state;
}
