#pragma once
#include <QString>

// Values the recipient dialogs hand back to the window that opened them. The opener clears them right
// before it shows the dialog and reads them after the dialog has closed.

// Set by the import window at the end of every import run; the Group Manager then reloads its group.
inline bool RecipientsImported = false;

// Set by the add and modify dialogs after the row is stored, with the texts as stored.
inline bool RecipientAdded = false;
inline bool RecipientModified = false;
inline QString ModifiedFirstName;
inline QString ModifiedLastName;
inline QString ModifiedEmail;

// Empties the texts right before a dialog that may hand them back is shown.
inline void ClearHandBackTexts() {
    ModifiedFirstName.clear();
    ModifiedLastName.clear();
    ModifiedEmail.clear();
}
