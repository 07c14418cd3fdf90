#!/usr/bin/python3
"""A notification server for tests: owns org.freedesktop.Notifications on the bus at argv[1] and
answers every Notify call with a new id, so a notifier's call succeeds; a notice whose summary
holds "refuse" is refused with an error, for a test to know when the calls before it are done.
Writes "ready" to argv[2] once it owns the name. Uses the system's python3-dbus and python3-gi."""
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib


class Server(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, "/org/freedesktop/Notifications")
        self.last = 0

    @dbus.service.method("org.freedesktop.Notifications", in_signature="susssasa{sv}i", out_signature="u")
    def Notify(self, app, replaces, icon, summary, body, actions, hints, timeout):
        if "refuse" in summary:
            raise dbus.exceptions.DBusException("refused for the test", name="org.example.Test.Refused")
        self.last += 1
        return dbus.UInt32(self.last)


DBusGMainLoop(set_as_default=True)
bus = dbus.bus.BusConnection(sys.argv[1])
name = dbus.service.BusName("org.freedesktop.Notifications", bus)
server = Server(bus)
with open(sys.argv[2], "w") as ready:
    ready.write("ready\n")
GLib.MainLoop().run()
