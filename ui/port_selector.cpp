#include "ui/port_selector.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QRect>
#include <QScreen>

#include <algorithm>

#include "ui/controls.h"

namespace {

class PortSelector : public QComboBox {
public:
    PortSelector(QWidget* parent, EntryLister entries) : QComboBox(parent), entries_(entries) {}

    void showPopup() override
    {
        Refill();
        // An adapter's name under /dev/serial/by-id runs far past the field:
        // the list opens as wide as its longest entry, within the screen.
        int widest = width();
        for (int i = 0; i < count(); i++)
            widest = std::max(widest, view()->fontMetrics().horizontalAdvance(itemText(i)) + 32);
        if (const QScreen* shown = screen())
            widest = std::min(widest, shown->availableGeometry().width());
        view()->setMinimumWidth(widest);
        QComboBox::showPopup();
    }

    void Refill()
    {
        // Refilling would otherwise replace what the user typed.
        const QString typed = currentText();
        clear();
        for (const std::string& entry : entries_())
            addItem(QString::fromStdString(entry));
        setCurrentIndex(findText(typed));
        setEditText(typed);
    }

private:
    EntryLister entries_;
};

}  // namespace

QComboBox* CreatePortSelector(QWidget* page, int id, const QRect& geometry, EntryLister entries)
{
    auto* selector = new PortSelector(page, entries);
    selector->setEditable(true);
    // A typed path is used as it is, never added to the list.
    selector->setInsertPolicy(QComboBox::NoInsert);
    selector->setGeometry(geometry);
    selector->Refill();
    selector->setEditText(QString());
    RegisterControl(id, selector);
    return selector;
}
