#pragma once
#include <functional>

class QWidget;

// How the running copy shows itself when a second copy is started: its main window comes to the front
// and takes the focus, and the urgency hint is set for a moment, so the taskbar flashes even where the
// window manager keeps the focus where it was.
struct WindowAttention {
    std::function<void(QWidget*)> bringToFront;
    std::function<void(QWidget*, bool)> setUrgent;
    int urgentMs = 1000;

    // Restores, raises and activates the window; the urgency hint of X11 (WM_HINTS), elsewhere the
    // platform's own alert of about a second.
    static WindowAttention System();
};

// Brings the window to the front and sets its urgency hint, cleared after attention.urgentMs (or when the
// window goes).
void DrawAttention(QWidget* window, const WindowAttention& attention);
