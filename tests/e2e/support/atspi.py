#!/usr/bin/python3
# SPDX-License-Identifier: MIT
# Looks at the running program (the application "ostrand") over AT-SPI, as a screen reader does; Debian's python3
# with python3-pyatspi, on the session bus of DBUS_SESSION_BUS_ADDRESS. Usage:
#   atspi.py windows                 the role and name of each of the program's windows, one a line
#   atspi.py count ROLE              how many nodes of the program's tree have that role
#   atspi.py extents ROLE NAME       the first control of that role and name (a window's title for a window): its
#                                    place and size on the screen, "X Y WIDTH HEIGHT", in the program's own pixels
#                                    (at a scale factor, the screen's are that many times as many)
#   atspi.py press ROLE NAME         presses that control (its first action), as a screen reader's user does
# Exit status 1 when the program or the control is not found within 10 s.
import sys
import time

import pyatspi


def program():
    for _ in range(100):
        for application in pyatspi.Registry.getDesktop(0):
            if application is not None and application.name == "ostrand":
                return application
        time.sleep(0.1)
    sys.exit("atspi.py: the program is not on the AT-SPI bus")


def find(node, role, name, depth=0):
    if node is None or depth > 30:
        return None
    try:
        if node.getRoleName() == role and node.name == name:
            return node
        for i in range(node.childCount):
            found = find(node.getChildAtIndex(i), role, name, depth + 1)
            if found is not None:
                return found
    except Exception:
        return None
    return None


def count(node, role, depth=0):
    if node is None or depth > 30:
        return 0
    try:
        found = 1 if node.getRoleName() == role else 0
        return found + sum(count(node.getChildAtIndex(i), role, depth + 1) for i in range(node.childCount))
    except Exception:
        return 0


def main():
    command = sys.argv[1] if len(sys.argv) > 1 else ""
    if command == "windows":
        for window in program():
            print(f"{window.getRoleName()}\t{window.name}")
        return
    if command == "count" and len(sys.argv) == 3:
        print(count(program(), sys.argv[2]))
        return
    if command in ("extents", "press") and len(sys.argv) == 4:
        for _ in range(100):
            control = find(program(), sys.argv[2], sys.argv[3])
            if control is not None:
                if command == "press":
                    control.queryAction().doAction(0)
                    return
                box = control.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
                print(box.x, box.y, box.width, box.height)
                return
            time.sleep(0.1)
        sys.exit(f"atspi.py: no {sys.argv[2]} named {sys.argv[3]!r}")
    sys.exit(__doc__ if __doc__ else "usage: atspi.py windows | extents ROLE NAME")


main()
