// Choosing a right-click menu's entry in a test, as a click on it would.
#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>

inline void ChooseEntry(const QMenu& menu, const QString& entry)
{
    for (QAction* action : menu.actions()) {
        if (action->text() == entry) {
            ASSERT_TRUE(action->isEnabled()) << entry.toStdString();
            action->trigger();
            return;
        }
    }
    FAIL() << "no entry " << entry.toStdString();
}
