#!/usr/bin/python3
"""Starts Velanto with Qt's accessibility bridge on and checks, through the AT-SPI bus as a screen reader
sees it, that every input control of the main window, of the Email Manager, of every window the menus
open and of the windows their buttons open (and the sending window's) has a name, that the Email Manager's authentication box reacts to a screen reader's Toggle action,
and what the CAPS and NUM panes show at start.

Run inside a private D-Bus session (dbus-run-session) on an X display: argv[1] is the Velanto program.
The walk is bounded by its progress, not its length: a window has STALL seconds to answer each step (to
appear, to fill its controls, to close) and a step it does not answer fails. A line is printed for each
step, so whoever runs the script sees it move. Exit codes: 0 every control is named, 1 some are not (listed on stdout), 77 the accessibility bus could
not be started at all (the reason on stdout).
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

SKIP = 77
LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
# How long a window may take to answer one step on a loaded machine.
STALL = 30


def start_accessibility_bus():
    """The AT-SPI bus of this session; None (after saying why) when it cannot be had."""
    if not os.access(LAUNCHER, os.X_OK):
        print(f"SKIP: {LAUNCHER} is missing (package at-spi2-core)")
        return None
    launcher = subprocess.Popen([LAUNCHER, "--launch-immediately"], stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
    try:
        from gi.repository import Gio, GLib
    except ImportError as error:
        launcher.terminate()
        print(f"SKIP: python3-gi is missing: {error}")
        return None
    deadline = time.monotonic() + STALL
    while time.monotonic() < deadline:
        try:
            bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
            reply = bus.call_sync("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress", None,
                                  GLib.VariantType.new("(s)"), Gio.DBusCallFlags.NONE, 1000, None)
            if reply.unpack()[0]:
                return launcher
        except GLib.Error:
            pass
        if launcher.poll() is not None:
            break
        time.sleep(0.1)
    launcher.terminate()
    print("SKIP: the AT-SPI accessibility bus did not start")
    return None


def children(node):
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield child


def find(node, predicate, depth=0):
    if predicate(node):
        return node
    # The items of a combo box's list are no window's buttons or labels: reading a country list item by
    # item would cost a round trip each.
    if depth > 20 or node.getRoleName() == "combo box":
        return None
    for child in children(node):
        hit = find(child, predicate, depth + 1)
        if hit is not None:
            return hit
    return None


def wait_for(root, predicate, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        try:
            hit = find(root, predicate)
        except Exception:
            # The tree changes under the walk while the program starts (the splash closes, windows
            # appear): an object that went away is no answer yet; walk again.
            hit = None
        if hit is not None:
            return hit
        time.sleep(0.05)
    return None


def tree_size(node, depth=0):
    """How many objects the window shows, a combo box counted as one (its items are no controls)."""
    if depth > 20 or node.getRoleName() == "combo box":
        return 1
    return 1 + sum(tree_size(child, depth + 1) for child in children(node))


def input_count(node, pyatspi, depth=0):
    """How many input controls (the roles unnamed_controls checks) the window shows."""
    if depth > 20:
        return 0
    role = node.getRole()
    own = 1 if role in input_roles(pyatspi) else 0
    if role == pyatspi.ROLE_COMBO_BOX:
        return own
    return own + sum(input_count(child, pyatspi, depth + 1) for child in children(node))


def settle(window, pyatspi, minimum):
    """Waits until the window's tree stops growing and shows at least the input controls it is known to
    have: a window fills its controls as it loads, later on a loaded machine, and a control not there yet
    would go unchecked. Gives up when the window has not changed for STALL seconds."""
    last, changed = -1, time.monotonic()
    while time.monotonic() - changed < STALL:
        try:
            size = tree_size(window)
            if size > 0 and size == last and input_count(window, pyatspi) >= minimum:
                return
        except Exception:
            size = -1  # an object went away under the walk: the window is still changing
        if size != last:
            last, changed = size, time.monotonic()
        time.sleep(0.05)


def input_roles(pyatspi):
    return {pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY, pyatspi.ROLE_PASSWORD_TEXT,
            pyatspi.ROLE_SPIN_BUTTON, pyatspi.ROLE_CHECK_BOX, pyatspi.ROLE_RADIO_BUTTON, pyatspi.ROLE_LIST,
            pyatspi.ROLE_LIST_BOX, pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_SLIDER}


# The input controls each window has when it is built, by caption: a window walked before it has them
# all fails instead of passing with the rest unchecked. Windows without input controls are not listed.
MIN_CONTROLS = {
    "main window": 9, "Email Manager": 23, "Open": 5, "Save": 5, "Print": 20, "Properties": 5, "Find": 2,
    "Insert Date and Time": 2, "Insert Email Template": 5, "File Attachment": 5, "Font": 3, "Body": 5,
    "Color": 8, "Line": 6, "Table": 9, "Picture": 2, "Hyperlink": 1, "Please select the destination folder.": 5,
    "Group Manager": 2, "New Group": 1, "Rename Group": 1, "Add Recipient": 18, "Modify Recipient": 18,
    "Search Recipient": 4, "History Manager": 1, "Signature Manager": 1, "Import Recipients": 24,
    "Export Recipients": 24, "Thread Options": 9, "Network Tools": 7, "Print Email Message": 12,
    "Import Email Message": 1, "Export Email Message": 1, "Extract Email Message": 10,
    "SMTP Server Information": 3, "Tip of the Day": 1, "Technical Support": 8, "Send Mail": 3,
    "Partial Sending": 2,
}


def built_window_controls(window, caption, pyatspi):
    """unnamed_controls of the window once it shows the input controls MIN_CONTROLS gives it."""
    minimum = MIN_CONTROLS.get(caption, 0)
    settle(window, pyatspi, minimum)
    found, offenders = unnamed_controls(window, pyatspi)
    if len(found) < minimum:
        offenders.append(f"{len(found)} input controls, fewer than its {minimum}: walked half-built")
    return found, offenders


def unnamed_controls(window, pyatspi):
    """unnamed_controls_once, walked again when an object goes away under the walk (a tool tip or a
    status text that the program replaces while the test reads the tree)."""
    for attempt in range(3):
        try:
            return unnamed_controls_once(window, pyatspi)
        except Exception:
            if attempt == 2:
                raise
            time.sleep(0.2)


def unnamed_controls_once(window, pyatspi):
    """Every input control below window that a screen reader could not name: no name at all, a list
    named by an item it offers instead of its label, or controls that all read the title of the frame
    around them."""
    inputs = input_roles(pyatspi)
    found, offenders = [], []

    def where(node):
        path = []
        while node is not None and node != window:
            path.append(f"{node.getRoleName()} {node.getIndexInParent()}")
            node = node.parent
        return " < ".join(path)

    framed = {}  # (frame, name) -> the controls that read the frame's title

    def visit(node, parent_role, frame):
        role = node.getRole()
        # The drop-down list inside a combo box belongs to it; its items are not controls.
        if role in inputs and parent_role != pyatspi.ROLE_COMBO_BOX:
            found.append(node)
            name = node.name or ""
            items = set()
            # A box that reads its label's text is named by it, whatever it offers; only the others
            # have their items read, one round trip each.
            if role == pyatspi.ROLE_COMBO_BOX and not reads_its_label(node, name, pyatspi):
                for lst in children(node):
                    items |= {item.name for item in children(lst)}
            if not name.strip():
                offenders.append(f"{where(node)}: no name")
            elif role == pyatspi.ROLE_COMBO_BOX and name in items:
                offenders.append(f"{where(node)}: named by its item {name!r}, not by its label")
            elif frame is not None and name == frame.name:
                framed.setdefault(frame.path, []).append(node)
        if role == pyatspi.ROLE_PANEL and node.name:
            frame = node
        for child in children(node):
            visit(child, role, frame)

    visit(window, None, None)
    # One box alone in a frame may well be named by it; several are told apart by nothing.
    for nodes in framed.values():
        if len(nodes) > 1:
            offenders += [f"{where(n)}: reads only its frame's title {n.name!r}" for n in nodes]
    return found, offenders


def reads_its_label(node, name, pyatspi):
    """Whether node's name is the text of a label that labels it ("Country :" names "Country")."""
    for relation in node.getRelationSet():
        if relation.getRelationType() != pyatspi.RELATION_LABELLED_BY:
            continue
        for i in range(relation.getNTargets()):
            if plain(relation.getTarget(i).name).rstrip(":").strip() == name:
                return True
    return False


def toggled_authentication(dialog, pyatspi):
    """Toggles "My server requires authentication" with its Toggle action, as a screen reader does, and
    checks that the user name box follows the box's state both ways. Returns the failures."""
    auth = wait_for(dialog, lambda n: n.getRole() == pyatspi.ROLE_CHECK_BOX and
                    n.name == "My server requires authentication", STALL)
    user = wait_for(dialog, lambda n: n.getRole() in (pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY) and
                    n.name == "Username", STALL)
    if auth is None or user is None:
        return ["Email Manager: the authentication box or the user name box is missing"]
    action = auth.queryAction()
    toggle = [i for i in range(action.nActions) if action.getName(i) == "Toggle"]
    if not toggle:
        return ["Email Manager: the authentication box offers no Toggle action"]
    failures = []
    for attempt in range(2):
        checked = auth.getState().contains(pyatspi.STATE_CHECKED)
        action.doAction(toggle[0])
        deadline = time.monotonic() + STALL
        while time.monotonic() < deadline:
            now = auth.getState().contains(pyatspi.STATE_CHECKED)
            enabled = user.getState().contains(pyatspi.STATE_ENABLED)
            if now != checked and enabled == now:
                break
            time.sleep(0.05)
        else:
            failures.append(f"Email Manager: after Toggle the box is {'' if now else 'not '}checked but the "
                            f"user name box is {'enabled' if enabled else 'disabled'}")
    print(f"Email Manager: authentication toggled twice, {len(failures)} failures")
    return failures


# Menu commands that open no window (editing, formatting, the Merge fields) or that reach outside the
# test (the network, a browser, a mail client, a send run, the end of the program). Every other command is
# run, and the window it opens is checked: a command added later is checked without a change here.
NO_WINDOW = {
    "New", "Exit", "Undo", "Redo", "Cut", "Copy", "Paste", "Delete", "Select All", "Remove Hyperlink",
    "Remove Formatting", "Bold", "Italic", "Underline", "Left", "Center", "Right", "Increase", "Decrease",
    "Bullets", "Numbers", "Preview", "Send", "Check for Updates", "Visit Torvale Home Page",
}
NO_WINDOW_MENUS = {"Merge"}
# Buttons that close a window without changing anything, in the order they are tried.
CLOSERS = ["Cancel", "Close", "OK", "No"]
# Questions a command asks before its window: answered with the button that goes on to that window.
GO_ON = {"Please consider your environmental responsibility before printing.": "Yes",
         "This message has no subject.": "Yes", "Are you sure you want to send an empty message?": "Yes"}
# Windows reached only from inside another window: the buttons that open them, by the caption of the
# window they are in, in the order they are pressed. Each is left through its closing button: none of
# them sends mail or reaches the network, and those that would change the user's data are cancelled.
INNER_WINDOWS = {
    "Group Manager": ["New Group", "Rename Group", "Add Recipient", "Modify Recipient", "Search Recipient"],
    "Email Manager": ["Browse for the queue directory"],
    "Send Mail": ["Partial Sending"],
    "About Torvale Velanto": ["System Info"],
    "Body": ["Background Color Picker"],
}
# The file dialogs that the picture, import, export and support windows open are the one File > Open
# shows, checked there; the colour dialog of the Font window is the Body window's.
# Buttons of the main window whose windows no menu opens.
MAIN_WINDOW_BUTTONS = ["Send"]


def choose_first_group(window, pyatspi):
    """The Group Manager opens with no group chosen: its first group is chosen with the keyboard, as a
    user would, so the recipient windows open instead of a message. Waits until the group's
    recipients are shown."""
    groups = find(window, lambda n: n.getRole() == pyatspi.ROLE_COMBO_BOX)
    grid = find(window, lambda n: n.getRole() in (pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE_TABLE))
    if groups is None or grid is None:
        return
    groups.queryComponent().grabFocus()
    pyatspi.Registry.generateKeyboardEvent(0xFF54, None, pyatspi.KEY_SYM)  # XK_Down
    deadline = time.monotonic() + STALL
    while time.monotonic() < deadline and not grid.getState().contains(pyatspi.STATE_ENABLED):
        time.sleep(0.05)


def choose_third_party(window, pyatspi):
    """The queue directory's button is on only for 3rd Party Sending: that method is chosen (and
    cancelled with the window)."""
    radio = find(window, lambda n: n.getRole() == pyatspi.ROLE_RADIO_BUTTON and n.name == "3rd Party Sending")
    if radio is None:
        return
    action = radio.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    action.doAction(names.index("Press") if "Press" in names else names.index("Toggle"))
    browse = find(window, lambda n: n.getRole() == pyatspi.ROLE_PUSH_BUTTON and
                  n.name == "Browse for the queue directory")
    deadline = time.monotonic() + STALL
    while browse is not None and time.monotonic() < deadline and \
            not browse.getState().contains(pyatspi.STATE_ENABLED):
        time.sleep(0.05)


# What a window needs before its buttons open their windows.
PREPARE = {"Group Manager": choose_first_group, "Email Manager": choose_third_party}


def plain(name):
    """A caption without its mnemonic mark and the shortcut a menu item shows after a tab."""
    return (name or "").split("\t")[0].replace("&", "").strip()


class Actions:
    """Runs an accessible object's action without waiting for its answer: an action that opens a modal
    window answers only when that window closes, and the check must go on inside the window meanwhile."""

    def __init__(self):
        from gi.repository import Gio, GLib
        self.GLib = GLib
        session = Gio.bus_get_sync(Gio.BusType.SESSION, None)
        address = session.call_sync("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress", None,
                                    GLib.VariantType.new("(s)"), Gio.DBusCallFlags.NONE, 1000,
                                    None).unpack()[0]
        flags = (Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT |
                 Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION)
        self.bus = Gio.DBusConnection.new_for_address_sync(address, flags, None, None)
        self.Gio = Gio

    def start(self, node, name):
        action = node.queryAction()
        index = next((i for i in range(action.nActions) if action.getName(i) == name), None)
        if index is None:
            return False
        self.bus.call(node.app.bus_name, node.path, "org.a11y.atspi.Action", "DoAction",
                      self.GLib.Variant("(i)", (index,)), None, self.Gio.DBusCallFlags.NONE, -1, None,
                      None, None)
        return True


def menu_commands(menu_bar, pyatspi):
    """(path, item) of every command of the menu bar, submenus included, in menu order."""
    found = []

    def walk(node, path, depth):
        for child in children(node):
            role = child.getRole()
            name = plain(child.name)
            if role == pyatspi.ROLE_POPUP_MENU:
                walk(child, path, depth + 1)
            elif role == pyatspi.ROLE_MENU:
                if name not in NO_WINDOW_MENUS and depth < 8:
                    walk(child, path + [name], depth + 1)
            elif role in (pyatspi.ROLE_MENU_ITEM, pyatspi.ROLE_CHECK_MENU_ITEM, pyatspi.ROLE_RADIO_MENU_ITEM):
                if child.childCount > 0:
                    if name not in NO_WINDOW_MENUS and depth < 8:
                        walk(child, path + [name], depth + 1)
                elif name and name not in NO_WINDOW:
                    found.append((" > ".join(path + [name]), child))
    walk(menu_bar, [], 0)
    return found


def windows(app, pyatspi):
    """The program's top-level windows on screen, whatever their role (a plain window reads as a filler)."""
    shown = []
    for window in children(app):
        try:
            if window.getState().contains(pyatspi.STATE_SHOWING):
                shown.append(window)
        except Exception:
            pass
    return shown


def new_window(app, before, pyatspi, seconds=STALL):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        fresh = [w for w in windows(app, pyatspi) if w.path not in before]
        if fresh:
            return fresh[0]
        time.sleep(0.05)
    return None


def message_text(window, pyatspi):
    label = find(window, lambda n: n.getRole() == pyatspi.ROLE_LABEL and len(plain(n.name)) > 0)
    return plain(label.name) if label is not None else ""


def check_menu_windows(app, main_window, actions, pyatspi):
    """Runs each command of the menus and checks the window it opens, and the windows reached from its
    buttons, then closes that window."""
    failures, checked = [], 0
    bar = find(main_window, lambda n: n.getRole() == pyatspi.ROLE_MENU_BAR)
    if bar is None:
        return ["main window: no menu bar"], 0
    for path, item in menu_commands(bar, pyatspi):
        before = {w.path for w in windows(app, pyatspi)}
        if not actions.start(item, "Press") and not actions.start(item, "Toggle"):
            continue
        window = new_window(app, before, pyatspi)
        if window is None:
            failures.append(f"{path}: opened no window (list it among the commands without one)")
            continue
        more, count = follow(app, window, path, actions, pyatspi)
        failures += more
        checked += count
    return failures, checked


def follow(app, window, path, actions, pyatspi, opened_from=()):
    """Checks window, answers the questions that lead on to the window behind them, opens and checks the
    windows its buttons open, and closes what it opened. Returns the failures and the windows checked."""
    failures, checked = [], 0
    while window is not None:
        print(f"  opened: {plain(window.name)}")
        found, offenders = built_window_controls(window, plain(window.name), pyatspi)
        checked += 1
        text = message_text(window, pyatspi) if len(found) == 0 else ""
        said = f" saying {text!r}" if text else ""
        print(f"{path} ({plain(window.name)}{said}): {len(found)} input controls")
        failures += [f"{path}: {o}" for o in offenders]
        go_on = next((button for question, button in GO_ON.items() if text.startswith(question)), None)
        if go_on is None:
            # A window that shares its opener's caption (a file dialog titled for its purpose) is not
            # taken for the opener again.
            if plain(window.name) not in opened_from:
                more, count = check_inner_windows(app, window, path, actions, pyatspi, opened_from)
                failures += more
                checked += count
            # A window without a closing button (a viewer beside the main window) stays open; the
            # next command's window is told from it all the same.
            close_window(app, window, actions, pyatspi)
            break
        before = {w.path for w in windows(app, pyatspi)}
        press(window, go_on, actions, pyatspi)
        window = new_window(app, before, pyatspi)
    return failures, checked


def check_inner_windows(app, window, path, actions, pyatspi, opened_from, buttons=None):
    """Opens each window that window's buttons (those listed in INNER_WINDOWS unless given) open,
    checks and closes it."""
    failures, checked = [], 0
    caption = plain(window.name)
    if caption in PREPARE:
        PREPARE[caption](window, pyatspi)
    for button in INNER_WINDOWS.get(caption, []) if buttons is None else buttons:
        before = {w.path for w in windows(app, pyatspi)}
        inner_path = f"{path} > {button}"
        if not press(window, button, actions, pyatspi):
            failures.append(f"{inner_path}: the button is missing or disabled")
            continue
        inner = new_window(app, before, pyatspi)
        if inner is None:
            failures.append(f"{inner_path}: opened no window")
            continue
        more, count = follow(app, inner, inner_path, actions, pyatspi, opened_from + (caption,))
        failures += more
        checked += count
    return failures, checked


def press(window, caption, actions, pyatspi):
    button = find(window, lambda n: n.getRole() == pyatspi.ROLE_PUSH_BUTTON and plain(n.name) == caption)
    if button is None or not button.getState().contains(pyatspi.STATE_ENABLED):
        return False
    return actions.start(button, "Press")


def close_window(app, window, actions, pyatspi):
    name = plain(window.name)
    for caption in CLOSERS:
        if not press(window, caption, actions, pyatspi):
            continue
        deadline = time.monotonic() + STALL
        while time.monotonic() < deadline:
            if not any(w.path == window.path for w in windows(app, pyatspi)):
                print(f"  closed: {name}")
                return
            time.sleep(0.05)


def main():
    program = sys.argv[1]
    launcher = start_accessibility_bus()
    if launcher is None:
        return SKIP
    import pyatspi

    runtime = tempfile.mkdtemp(prefix="velanto-a11y-")
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb",
               XDG_RUNTIME_DIR=runtime)
    velanto = subprocess.Popen([program], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    failures = []
    try:
        desktop = pyatspi.Registry.getDesktop(0)
        app = None
        deadline = time.monotonic() + STALL
        while app is None and time.monotonic() < deadline:
            for candidate in children(desktop):
                try:
                    if candidate.get_process_id() == velanto.pid:
                        app = candidate
                except Exception:
                    pass
            time.sleep(0.05)
        if app is None:
            print("FAIL: Velanto never appeared on the accessibility bus")
            return 1

        email_button = wait_for(app, lambda n: n.getRole() == pyatspi.ROLE_PUSH_BUTTON and
                                n.name == "Email Manager", STALL)
        if email_button is None:
            print("FAIL: the main window never showed its Email Manager button")
            return 1
        main_window = email_button
        while main_window.getRole() != pyatspi.ROLE_FRAME:
            main_window = main_window.parent
        found, offenders = built_window_controls(main_window, "main window", pyatspi)
        print(f"main window: {len(found)} input controls")
        panes = {}
        for caption in ("CAPS", "NUM"):
            pane = find(main_window, lambda n: n.getRole() == pyatspi.ROLE_LABEL and n.name == caption)
            panes[caption] = "missing" if pane is None else \
                "on" if pane.getState().contains(pyatspi.STATE_ENABLED) else "off"
        print(f"lock panes: CAPS {panes['CAPS']}, NUM {panes['NUM']}")
        failures += [f"main window: {o}" for o in offenders]

        action = email_button.queryAction()
        action.doAction(next(i for i in range(action.nActions) if action.getName(i) == "Press"))
        dialog = wait_for(app, lambda n: n.getRole() == pyatspi.ROLE_DIALOG and n.name == "Email Manager", STALL)
        if dialog is None:
            print("FAIL: the Email Manager did not open")
            return 1
        found, offenders = built_window_controls(dialog, "Email Manager", pyatspi)
        print(f"Email Manager: {len(found)} input controls")
        failures += [f"Email Manager: {o}" for o in offenders]
        failures += toggled_authentication(dialog, pyatspi)
        actions = Actions()
        close_window(app, dialog, actions, pyatspi)
        menu_failures, checked = check_menu_windows(app, main_window, actions, pyatspi)
        more, count = check_inner_windows(app, main_window, "main window", actions, pyatspi, (),
                                          MAIN_WINDOW_BUTTONS)
        menu_failures += more
        checked += count
        print(f"menus: {checked} windows checked")
        failures += menu_failures
    finally:
        velanto.terminate()
        try:
            velanto.wait(5)
        except subprocess.TimeoutExpired:
            velanto.kill()
        launcher.terminate()
        shutil.rmtree(runtime, ignore_errors=True)

    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
