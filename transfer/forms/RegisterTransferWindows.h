#pragma once

class QWidget;

// Shows the import or export window modally over the parent and returns when it has closed; the import
// says whether a run ended while it was open.
bool ShowRecipientImportForm(QWidget* parent);
void ShowRecipientExportForm(QWidget* parent);

// Lets the Group Manager's Import and Export buttons open these windows. Called once at start-up.
void RegisterTransferWindows();
