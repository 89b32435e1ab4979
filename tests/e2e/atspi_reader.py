#!/usr/bin/python3
"""Reads and drives the Brushwick window the way a screen reader does: over
AT-SPI, by role and name. Every wait is on the accessibility tree itself,
bounded only as a guard against a hang.

    atspi_reader.py   (DISPLAY and DBUS_SESSION_BUS_ADDRESS point at the session)
"""
import sys
import time
import warnings

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

HANG_GUARD = 60.0  # seconds; a healthy run needs a fraction of it


def fail(message):
    print("atspi_reader: " + message)
    sys.exit(1)


def wait_for(what, find):
    """Calls find until it returns something, or fails after the hang guard."""
    end = time.monotonic() + HANG_GUARD
    while time.monotonic() < end:
        found = find()
        if found:
            return found
        time.sleep(0.1)
    fail("never found " + what)


def app():
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        child = desktop.get_child_at_index(i)
        if child is not None and child.get_name() == "brushwick":
            return child
    return None


def walk(node, depth=0):
    if node is None or depth > 8:
        return
    yield node
    for i in range(node.get_child_count()):
        yield from walk(node.get_child_at_index(i), depth + 1)


def control(role, name):
    def find():
        root = app()
        for node in walk(root):
            if node.get_role() == role and node.get_name() == name:
                return node
        return None
    return find


def states(node):
    return node.get_state_set()


def click(node):
    if node.get_n_actions() < 1:
        fail("%s has no action" % node.get_name())
    # The action's own name; this binding only offers it under the old,
    # deprecated method name.
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", DeprecationWarning)
        name = node.get_action_name(0)
    if name != "click":
        fail("the action of %s is %r, not click" % (node.get_name(), name))
    node.do_action(0)


def main():
    Atspi.init()
    wait_for("the application", app)
    rescan = wait_for("the Rescan button", control(Atspi.Role.PUSH_BUTTON, "Rescan"))
    extents = rescan.get_extents(Atspi.CoordType.SCREEN)
    if extents.width <= 0 or extents.height <= 0:
        fail("Rescan has no extents")
    print("atspi_reader: Rescan at %d,%d %dx%d" % (extents.x, extents.y, extents.width,
                                                  extents.height))
    click(rescan)

    category = wait_for("the node_modules category",
                        control(Atspi.Role.LIST_ITEM, "node_modules"))
    click(category)
    wait_for("node_modules shown as selected",
             lambda: states(category).contains(Atspi.StateType.SELECTED))

    entry = wait_for("the entry web/node_modules",
                     control(Atspi.Role.CHECK_BOX, "web/node_modules"))
    description = entry.get_description()
    print("atspi_reader: web/node_modules: " + description)
    for part in ("1.44 MB", "Safe"):
        if part not in description:
            fail("the description lacks %r: %s" % (part, description))
    if states(entry).contains(Atspi.StateType.CHECKED):
        fail("the entry is ticked before anything was done")
    click(entry)
    wait_for("the entry ticked",
             lambda: states(control(Atspi.Role.CHECK_BOX, "web/node_modules")()).contains(
                 Atspi.StateType.CHECKED))
    print("atspi_reader: ticked through its action; the state says checked")


if __name__ == "__main__":
    main()
