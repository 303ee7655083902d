#include "dataview/cell_edit.h"

// Not built yet.
EditAnswer HandleCellEdit(int, int, int, int, const std::string&) { return {}; }
