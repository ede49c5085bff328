#pragma once
// The merge macros: tokens in a message that the send run replaces with each recipient's own values.
#include <QString>
#include <array>
#include <functional>

struct MergeMacro {
    int commandId;           // the Merge menu command
    const char* caption;     // menu caption
    const char* description; // status text
    const char* macro;       // the token placed in the message
    const char* column;      // the [Emails] column whose value replaces it
};

// The 18 macros in the order the Merge menu lists them and the send run replaces them.
extern const std::array<MergeMacro, 18> MergeMacros;

// A recipient's value for an [Emails] column.
using RecipientValue = std::function<QString(const QString& column)>;

// The subject personalised for one recipient: every macro, in table order, replaced by the recipient's
// value (exact, case-sensitive). Line breaks in a value become one blank each, so a value can never
// start a new header line.
QString MergeSubject(const QString& subject, const RecipientValue& valueOf);

// A value folded into one line: every CR LF, CR or LF becomes a blank.
QString OneLine(const QString& value);
