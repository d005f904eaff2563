#!/usr/bin/python3
"""The recorder as a screen reader sees it: its AT-SPI tree, read with pyatspi.

Run with Debian's /usr/bin/python3 (pyatspi is a Debian package, python3-pyatspi) on the
session bus whose accessibility bus the recorder registered on.

  atspi.py names PID TITLE...  every control of each window TITLE of process PID has a
                               name; prints each window's tree
  atspi.py focused PID         the name of the control that has the keyboard focus
  atspi.py describe PID NAME   the description of the showing control named NAME

Exits 1 with the reason on standard error when a window is missing or a control unnamed.
"""
import sys
import time

import pyatspi

# Controls a user reaches or reads: each must say what it is. Lines, panels and fillers
# that only group or decorate need no name.
NAMED_ROLES = {
    pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_RADIO_BUTTON, pyatspi.ROLE_CHECK_BOX,
    pyatspi.ROLE_SLIDER, pyatspi.ROLE_IMAGE, pyatspi.ROLE_ICON, pyatspi.ROLE_LABEL,
    pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY, pyatspi.ROLE_MENU_ITEM, pyatspi.ROLE_MENU,
    pyatspi.ROLE_PROGRESS_BAR, pyatspi.ROLE_LEVEL_BAR, pyatspi.ROLE_LINK,
}


def application(pid, tries=50):
    """The recorder's accessible application; it registers a moment after its window shows."""
    for _ in range(tries):
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            try:
                if app is not None and app.get_process_id() == pid:
                    return app
            except Exception:  # an application that went away meanwhile
                continue
        time.sleep(0.2)
    sys.exit(f"atspi: process {pid} is not on the accessibility bus")


def walk(node, depth=0):
    """Every node below `node` (itself first) with its depth."""
    yield node, depth
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield from walk(child, depth + 1)


def showing(node):
    return node.getState().contains(pyatspi.STATE_SHOWING)


def window(app, title, tries=50):
    for _ in range(tries):
        for i in range(app.childCount):
            w = app.getChildAtIndex(i)
            if w is not None and w.name == title and showing(w):
                return w
        time.sleep(0.2)
    names = [app.getChildAtIndex(i).name for i in range(app.childCount)]
    sys.exit(f"atspi: no showing window '{title}' (windows: {names})")


def needs_name(node):
    state = node.getState()
    return showing(node) and (node.getRole() in NAMED_ROLES
                              or state.contains(pyatspi.STATE_FOCUSABLE))


def names(pid, titles):
    app = application(pid)
    unnamed = []
    for title in titles:
        top = window(app, title)
        print(f"== {title}")
        for node, depth in walk(top):
            if not showing(node):
                continue
            description = node.description
            print(f"{'  ' * depth}{node.getRoleName()}: '{node.name}'"
                  + (f" ({description})" if description else ""))
            if needs_name(node) and not node.name.strip():
                unnamed.append(f"{title}: a {node.getRoleName()} at depth {depth}")
    if unnamed:
        sys.exit("atspi: controls without a name:\n  " + "\n  ".join(unnamed))


def focused(pid):
    app = application(pid)
    for node, _ in walk(app):
        if node.getState().contains(pyatspi.STATE_FOCUSED) and node.getRole() != pyatspi.ROLE_FRAME:
            print(node.name)
            return
    print("")


def describe(pid, name):
    app = application(pid)
    for node, _ in walk(app):
        if node.name == name and showing(node):
            print(node.description)
            return
    sys.exit(f"atspi: no showing control named '{name}'")


def main(argv):
    if len(argv) >= 3 and argv[1] == "names":
        names(int(argv[2]), argv[3:])
    elif len(argv) == 3 and argv[1] == "focused":
        focused(int(argv[2]))
    elif len(argv) == 4 and argv[1] == "describe":
        describe(int(argv[2]), argv[3])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
