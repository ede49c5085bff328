#pragma once
#include <QtGlobal>

// The states behind the status bar's "INS", "CAPS" and "NUM" panes.
//
// The system keeps no Insert toggle for a program to read, so the program keeps its own: every press
// of the Insert key (not its auto-repeat) flips it, wherever in the program it was pressed.
// Caps Lock and Num Lock come from the modifier state the window system sends with every key event;
// only X11 reports them there (its Lock and Mod2 bits). Elsewhere the two panes stay off.
class KeyboardIndicators {
public:
    // One key press or release. Returns true when a state changed.
    bool keyEvent(bool press, int key, bool autoRepeat, quint32 nativeModifiers, bool fromX11);

    // The lock states read from the system (when the window opens or gets the focus back). Returns true
    // when a state changed.
    bool setLocks(bool caps, bool num);

    bool insertOn() const { return m_insert; }
    bool capsOn() const { return m_caps; }
    bool numOn() const { return m_num; }

    static constexpr quint32 X11LockMask = 1u << 1;
    static constexpr quint32 X11NumLockMask = 1u << 4;

private:
    bool m_insert = false;
    bool m_caps = false;
    bool m_num = false;
};
