// Opening the About page's links with the desktop's default handler.
#pragma once

// Opens the text of link control id; any failure is silent.
void OpenLink(int id);
