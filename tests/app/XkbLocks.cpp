#include "tests/app/XkbLocks.h"

#include <X11/XKBlib.h>

bool SetCapsLock(const QByteArray& display, bool on) {
    Display* x = XOpenDisplay(display.constData());
    if (!x)
        return false;
    const bool done = XkbLockModifiers(x, XkbUseCoreKbd, LockMask, on ? LockMask : 0);
    XSync(x, False);
    XCloseDisplay(x);
    return done;
}
