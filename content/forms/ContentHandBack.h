#pragma once
#include <QString>

// Values the content dialogs hand back to the main window, which applies them after the dialog closed.
// They live for the whole program run, so an opening that stores nothing keeps what an earlier one
// stored.

// The page colours as "#RRGGBB" texts, written by the page colours dialog's OK.
inline QString BodyBgColor;
inline QString BodyTextColor;
inline QString BodyLinkColor;
inline QString BodyVLinkColor;
inline QString BodyALinkColor;

// The table and line markup; the flag says whether the last showing ended with OK.
inline bool TableInserted = false;
inline QString TableHtml;
inline bool LineInserted = false;
inline QString LineHtml;
