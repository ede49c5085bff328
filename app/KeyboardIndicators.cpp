#include "app/KeyboardIndicators.h"

#include <Qt>

bool KeyboardIndicators::keyEvent(bool press, int key, bool autoRepeat, quint32 nativeModifiers,
                                  bool fromX11) {
    const bool before[] = {m_insert, m_caps, m_num};
    if (press && !autoRepeat && key == Qt::Key_Insert)
        m_insert = !m_insert;
    if (fromX11) {
        // A lock key's own press still carries the old state; its release carries the new one.
        m_caps = (nativeModifiers & X11LockMask) != 0;
        m_num = (nativeModifiers & X11NumLockMask) != 0;
    }
    return before[0] != m_insert || before[1] != m_caps || before[2] != m_num;
}

bool KeyboardIndicators::setLocks(bool caps, bool num) {
    const bool changed = caps != m_caps || num != m_num;
    m_caps = caps;
    m_num = num;
    return changed;
}
