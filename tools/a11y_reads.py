#!/usr/bin/python3
"""Times questions a screen reader asks the program over the accessibility
bus (AT-SPI on D-Bus), as python3-dbus sees them.

    a11y_reads.py [--app NAME] [--reads N] [--walk]

Finds the application NAME (default: the first whose name contains
"quillon") on the accessibility bus of the session, then asks its main
window for its name N times in a row (default 25) and prints the total time.
With --walk it also reads every object of the window's tree (name and role)
and prints how many there were and how long that took."""

import argparse
import sys
import time

import dbus

ACCESSIBLE = "org.a11y.atspi.Accessible"
PROPERTIES = "org.freedesktop.DBus.Properties"
ROOT = "/org/a11y/atspi/accessible/root"
TIMEOUT = 30


def a11y_bus():
    session = dbus.SessionBus()
    launcher = session.get_object("org.a11y.Bus", "/org/a11y/bus")
    return dbus.bus.BusConnection(launcher.GetAddress(dbus_interface="org.a11y.Bus"))


def name_of(bus, ref):
    obj = bus.get_object(ref[0], ref[1], introspect=False)
    return str(obj.Get(ACCESSIBLE, "Name", dbus_interface=PROPERTIES, timeout=TIMEOUT))


def children_of(bus, ref):
    obj = bus.get_object(ref[0], ref[1], introspect=False)
    return [(str(c[0]), str(c[1])) for c in obj.GetChildren(dbus_interface=ACCESSIBLE, timeout=TIMEOUT)]


def find_app(bus, wanted, deadline):
    while time.monotonic() < deadline:
        for ref in children_of(bus, ("org.a11y.atspi.Registry", ROOT)):
            try:
                if wanted in name_of(bus, ref).lower():
                    return ref
            except dbus.DBusException:
                pass
        time.sleep(0.2)
    return None


def walk(bus, ref):
    count = 0
    stack = [ref]
    while stack:
        here = stack.pop()
        obj = bus.get_object(here[0], here[1], introspect=False)
        obj.Get(ACCESSIBLE, "Name", dbus_interface=PROPERTIES, timeout=TIMEOUT)
        obj.GetRole(dbus_interface=ACCESSIBLE, timeout=TIMEOUT)
        count += 1
        stack.extend(children_of(bus, here))
    return count


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--app", default="quillon")
    parser.add_argument("--reads", type=int, default=25)
    parser.add_argument("--walk", action="store_true")
    args = parser.parse_args()

    bus = a11y_bus()
    app = find_app(bus, args.app.lower(), time.monotonic() + 30)
    if app is None:
        print("no application named like %r on the accessibility bus" % args.app)
        return 1
    windows = children_of(bus, app)
    if not windows:
        print("the application shows no window")
        return 1
    window = windows[0]
    start = time.monotonic()
    for _ in range(args.reads):
        name_of(bus, window)
    took = time.monotonic() - start
    print("%d reads of %r in a row: %.3f s" % (args.reads, name_of(bus, window), took))
    if args.walk:
        start = time.monotonic()
        count = walk(bus, window)
        print("tree walk: %d objects in %.3f s" % (count, time.monotonic() - start))
    return 0


if __name__ == "__main__":
    sys.exit(main())
