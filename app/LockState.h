#pragma once
#include <functional>
#include <optional>

// The keyboard's Caps Lock and Num Lock as the window system holds them, read without a key event: so
// the status bar's panes are right when the main window opens and when it gets the focus back after
// the lock keys were pressed in another program.
struct LockState {
    bool caps = false;
    bool num = false;
};

// The state now; none where the platform gives none (offscreen, Wayland): the panes then follow only the
// key events the program receives.
using LockStateReader = std::function<std::optional<LockState>()>;

// X11: the keyboard's "Caps Lock" and "Num Lock" indicators (XKB).
std::optional<LockState> ReadSystemLockState();

// The reader the main window uses; tests give their own, null puts the system's back.
LockStateReader CurrentLockStateReader();
void SetLockStateReaderForTesting(LockStateReader reader);
