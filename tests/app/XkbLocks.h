#pragma once
#include <QByteArray>

// Locks or unlocks Caps Lock on the given X display, as its key does; false when the display cannot be
// reached.
bool SetCapsLock(const QByteArray& display, bool on);
