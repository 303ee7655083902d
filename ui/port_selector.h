// A drop-down that also takes typed text: its list is refilled each time it
// opens, so that it offers what exists at that moment (devices come and go
// while the window is open), and any text can be typed instead.
#pragma once

#include <string>
#include <vector>

class QComboBox;
class QRect;
class QWidget;

using EntryLister = std::vector<std::string> (*)();

// Created with no text in its field: an entry is taken only when chosen or
// typed.
QComboBox* CreatePortSelector(QWidget* page, int id, const QRect& geometry, EntryLister entries);
