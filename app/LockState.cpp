#include "app/LockState.h"

#include <QGuiApplication>
// The X11 headers come last: they define macros (Bool, Status, None) that Qt's own headers use as names.
#include <X11/XKBlib.h>

namespace {

LockStateReader& TestReader() {
    static LockStateReader reader;
    return reader;
}

// One named indicator of the core keyboard; none when the keymap has no such indicator.
std::optional<bool> Indicator(Display* display, const char* name) {
    const Atom atom = XInternAtom(display, name, True);
    if (atom == 0)
        return std::nullopt;
    int on = 0;
    if (!XkbGetNamedIndicator(display, atom, nullptr, &on, nullptr, nullptr))
        return std::nullopt;
    return on != 0;
}

} // namespace

std::optional<LockState> ReadSystemLockState() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display)
        return std::nullopt;
    const std::optional<bool> caps = Indicator(display, "Caps Lock");
    const std::optional<bool> num = Indicator(display, "Num Lock");
    if (!caps && !num)
        return std::nullopt;
    return LockState{caps.value_or(false), num.value_or(false)};
}

LockStateReader CurrentLockStateReader() {
    return TestReader() ? TestReader() : LockStateReader(ReadSystemLockState);
}

void SetLockStateReaderForTesting(LockStateReader reader) {
    TestReader() = std::move(reader);
}
