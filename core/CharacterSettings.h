#pragma once
#include <QString>
#include <array>

struct CharsetName {
    const char* displayName;
    const char* mimeName;
};

// The character sets the account dialog offers, in its order, with the MIME name each stands for.
extern const std::array<CharsetName, 37> CharsetTable;

// The MIME charset for a display name (exact, case-sensitive), or an empty text.
QString MimeCharsetFor(const QString& displayName);

// The MIME charset of the account's choice ("Windows-1252" when none was made).
QString GetCharset();
