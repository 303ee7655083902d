// The five pages of the tab panel. Each creates its controls on the given
// page in creation order (which is also the Tab order) and registers them.
#pragma once

class QWidget;

void BuildCommunicationsPage(QWidget* page);
void BuildViewDataPage(QWidget* page);
void BuildViewMessagesPage(QWidget* page);
void BuildAboutPage(QWidget* page);
void BuildHelpPage(QWidget* page);
