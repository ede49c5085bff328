#pragma once
#include <QString>

// No e-mail address is longer than this (the limit of the mail path, RFC 5321 with its angle brackets).
inline constexpr qsizetype MaxEmailLength = 254;

// The one rule by which the program accepts an e-mail address. The whole text must match: nothing is
// trimmed, and a blank or a line break anywhere makes the address invalid; a text longer than
// MaxEmailLength is refused before the pattern sees it (the pattern's cost grows with the square of the
// length, and an import line can be megabytes long).
bool ValidateEmailSilent(const QString& email);
