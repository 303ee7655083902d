#include "app/open_link.h"

// Not built yet.
void OpenLink(int) {}
