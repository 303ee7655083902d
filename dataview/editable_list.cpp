#include "dataview/editable_list.h"

// Not built yet: nothing can be attached.
int RegisterEditableList(int, int) { return ListNoControl; }
void SetEditColours(Rgb, Rgb) {}
void SetEditCallback(EditCallback) {}
void SetCompareCallback(CompareCallback) {}
int SetColumnSortType(int, int, int) { return ListNotAttached; }
int SetColumnEditable(int, int, bool) { return ListNotAttached; }
void CommitEdit() {}
void CancelEdit() {}
int CompareCells(int, int, const std::string&, const std::string&) { return 0; }
