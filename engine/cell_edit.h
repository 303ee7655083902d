// Turning a committed Coils or Holding Registers cell edit into a queued
// write request.
#pragma once

#include <string>

#include "ui/editable_list.h"

// The edit callback of the data list.
EditAnswer HandleCellEdit(int event, int list, int column, int row, const std::string& text);
