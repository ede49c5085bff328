#pragma once
// The thread modes the mail component takes, read from the stored options.
#include <QString>

// The value SetThreadMode takes for a stored "Mode" text ("No" 2, "Single" 0, "Second" 1), or -1 when
// the text is none of them (the component's own mode then stays).
int ThreadModeValue(const QString& mode);

// The stored SMTP thread mode mapped as above ("Second" when nothing is stored).
int SmtpThreadModeValue();
