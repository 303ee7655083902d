#include "ui/controls.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextEdit>
#include <QWidget>

#include <array>

#include "ui/context_menus.h"
#include "ui/control_ids.h"
#include "ui/gui_call.h"
#include "ui/notice_label.h"
#include "ui/status_tips.h"
#include "ui/text_panes.h"

namespace {

// GUI thread only; file-local: the registry is reached by id through the
// operations below. QPointer so a destroyed window reads as "no control".
struct ControlRegistry {
    std::array<QPointer<QWidget>, kControlIdEnd> controls;  // by control id
    std::array<QPointer<QLabel>, 4> statusFields;           // by status field
};
ControlRegistry gRegistry;

QString ToQString(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToStdString(const QString& text)
{
    return text.toUtf8().toStdString();
}

std::string ReadText(QWidget* w)
{
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        return ToStdString(edit->text());
    if (auto* label = qobject_cast<QLabel*>(w))
        return ToStdString(label->text());
    if (auto* button = qobject_cast<QAbstractButton*>(w))
        return ToStdString(button->text());
    if (auto* combo = qobject_cast<QComboBox*>(w))
        return ToStdString(combo->currentText());
    if (auto* pane = qobject_cast<QTextEdit*>(w))
        return ToStdString(pane->toPlainText());
    if (auto* pane = qobject_cast<QPlainTextEdit*>(w)) {
        SettleEditor(pane);
        return ToStdString(pane->toPlainText());
    }
    return {};
}

void WriteText(QWidget* w, const QString& text)
{
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        edit->setText(text);
    else if (auto* label = qobject_cast<QLabel*>(w))
        label->setText(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(w))
        button->setText(text);
    else if (auto* pane = qobject_cast<QTextEdit*>(w))
        pane->setPlainText(text);
    else if (auto* combo = qobject_cast<QComboBox*>(w); combo && combo->isEditable())
        combo->setEditText(text);
    else if (auto* plain = qobject_cast<QPlainTextEdit*>(w)) {
        SettleEditor(plain);
        plain->setPlainText(text);
    }
}

}  // namespace

void RegisterControl(int id, QWidget* widget)
{
    if (id >= 0 && id < kControlIdEnd) {
        gRegistry.controls[static_cast<size_t>(id)] = widget;
        WatchContextMenu(widget, id);
    }
}

void RegisterStatusField(int field, QLabel* label)
{
    if (field >= 0 && field < 4) {
        gRegistry.statusFields[static_cast<size_t>(field)] = label;
        WatchStatusTip(label, field);
        WatchContextMenu(label, StatusFieldMenuId(field));
    }
}

void ClearControlRegistry()
{
    for (auto& c : gRegistry.controls)
        c = nullptr;
    for (auto& f : gRegistry.statusFields)
        f = nullptr;
}

QWidget* FindControl(int id)
{
    if (id < 0 || id >= kControlIdEnd)
        return nullptr;
    return gRegistry.controls[static_cast<size_t>(id)];
}

std::string GetControlText(int id)
{
    return CallOnGui<std::string>([id] { return ReadText(FindControl(id)); }, {});
}

void SetControlText(int id, std::string_view text)
{
    QString q = ToQString(text);
    RunOnGui([id, q] { WriteText(FindControl(id), q); });
}

int GetSelectorIndex(int id)
{
    return CallOnGui<int>(
        [id] {
            auto* combo = qobject_cast<QComboBox*>(FindControl(id));
            return combo ? combo->currentIndex() : -1;
        },
        -1);
}

void SetSelectorIndex(int id, int index)
{
    RunOnGui([id, index] {
        auto* combo = qobject_cast<QComboBox*>(FindControl(id));
        if (!combo)
            return;
        combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
    });
}

int GetCheckState(int id)
{
    return CallOnGui<int>(
        [id] {
            auto* box = qobject_cast<QCheckBox*>(FindControl(id));
            return box && box->isChecked() ? 1 : 0;
        },
        0);
}

void SetCheckState(int id, int state)
{
    RunOnGui([id, state] {
        if (auto* box = qobject_cast<QCheckBox*>(FindControl(id)))
            box->setChecked(state != 0);
    });
}

void EnableControl(int id, bool enabled)
{
    RunOnGui([id, enabled] {
        if (QWidget* w = FindControl(id))
            w->setEnabled(enabled);
    });
}

bool IsControlEnabled(int id)
{
    return CallOnGui<bool>(
        [id] {
            QWidget* w = FindControl(id);
            return w && w->isEnabled();
        },
        false);
}

void FocusControl(int id)
{
    RunOnGui([id] {
        if (QWidget* w = FindControl(id))
            w->setFocus(Qt::OtherFocusReason);
    });
}

void SetStatusField(int field, std::string_view text)
{
    QString q = ToQString(text);
    RunOnGui([field, q] {
        if (field < 0 || field >= 4 || !gRegistry.statusFields[static_cast<size_t>(field)])
            return;
        QLabel* label = gRegistry.statusFields[static_cast<size_t>(field)];
        // The counters are rewritten after every table, mostly unchanged.
        if (label->text() == q)
            return;
        label->setText(q);
    });
}

std::string GetStatusField(int field)
{
    return CallOnGui<std::string>(
        [field] {
            if (field < 0 || field >= 4 || !gRegistry.statusFields[static_cast<size_t>(field)])
                return std::string();
            return ToStdString(gRegistry.statusFields[static_cast<size_t>(field)]->text());
        },
        {});
}

void ShowStatusNotice(int field, std::string_view text)
{
    const QString notice = ToQString(text);
    RunOnGui([field, notice] {
        if (field < 0 || field >= 4 || !gRegistry.statusFields[static_cast<size_t>(field)])
            return;
        QLabel* owner = gRegistry.statusFields[static_cast<size_t>(field)];
        auto* label = owner->findChild<NoticeLabel*>(QLatin1String(kStatusNoticeName), Qt::FindDirectChildrenOnly);
        if (!label)
            label = new NoticeLabel(owner, kStatusNoticeName);
        const QSize size = label->SizeFor(notice);
        // Just above the field, over the page's bottom edge.
        const QPoint at = owner->mapToGlobal(QPoint(0, -size.height() - 2));
        label->Show(notice, KeepNoticeOnScreen(*owner, at, size), true);
        QApplication::beep();
    });
}
