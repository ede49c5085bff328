#pragma once
#include <QString>
#include <QStringList>

// The tip of the day: the fixed tips, the first-run tip that points new users to the thread options,
// and the state that lives for the whole run of the program.
namespace TipOfTheDay {

const QStringList& Tips();
QString FirstRunTip();

// Whether the tip window shows at start-up ("Options" / "Tips", default 1). A value that is not a
// number keeps it from showing, like 0.
bool ShowAtStartup();

// The next tip to show. While "Options" / "FirstTip" is "0", "1" or "2" the first-run tip comes, once
// per run, and the setting moves on by one; otherwise a tip picked at random (each equally likely).
QString Next();

// The position (from 1) of the last random tip; 0 before any.
int CurrentTip();

// Forgets that the first-run tip was shown in this run (a new run, for tests).
void ResetRunForTesting();

} // namespace TipOfTheDay
