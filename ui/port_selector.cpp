#include "ui/port_selector.h"

#include <QComboBox>
#include <QLineEdit>
#include <QRect>

#include "ui/controls.h"

namespace {

class PortSelector : public QComboBox {
public:
    PortSelector(QWidget* parent, EntryLister entries) : QComboBox(parent), entries_(entries) {}

    void showPopup() override
    {
        Refill();
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
