#include "app/WindowAttention.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>
// The X11 headers come last: they define macros (Bool, Status, None) that Qt's own headers use as names.
#include <X11/Xutil.h>

namespace {

void BringToFront(QWidget* window) {
    if (window->isMinimized())
        window->showNormal();
    window->raise();
    window->activateWindow();
}

void SetUrgent(QWidget* window, bool urgent) {
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display) {
        // No hint to set and clear here: the platform's alert ends by itself.
        if (urgent)
            QApplication::alert(window, 1000);
        return;
    }
    const auto id = static_cast<Window>(window->winId());
    XWMHints* hints = XGetWMHints(display, id);
    XWMHints fresh{};
    XWMHints* h = hints ? hints : &fresh;
    if (urgent)
        h->flags |= XUrgencyHint;
    else
        h->flags &= ~XUrgencyHint;
    XSetWMHints(display, id, h);
    XFlush(display);
    if (hints)
        XFree(hints);
}

} // namespace

WindowAttention WindowAttention::System() {
    return {BringToFront, SetUrgent, 1000};
}

void DrawAttention(QWidget* window, const WindowAttention& attention) {
    if (!window)
        return;
    attention.bringToFront(window);
    attention.setUrgent(window, true);
    QPointer<QWidget> guard(window);
    QTimer::singleShot(attention.urgentMs, window, [guard, set = attention.setUrgent] {
        if (guard)
            set(guard, false);
    });
}
