#!/usr/bin/python3
"""A stand-in for the desktop's portal on a private session bus: the host-program registry and
the GlobalShortcuts interface, as far as the recorder uses them.

    portal-standin.py LOG [--refuse | --no-shortcuts]

Every call is written to LOG as one JSON object a line. --refuse answers CreateSession with
response 2 (the user or the desktop said no); --no-shortcuts offers only the registry, as
desktops without the interface do. A test presses a shortcut with
    dbus-send --session --type=method_call --dest=org.freedesktop.portal.Desktop /org/freedesktop/portal/desktop \
        io.github.wanshengxia.Test.Activate string:record
"""
import json
import sys
import time

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

PATH = "/org/freedesktop/portal/desktop"
SHORTCUTS = "org.freedesktop.portal.GlobalShortcuts"


def log(entry):
    with open(sys.argv[1], "a", encoding="utf-8") as out:
        out.write(json.dumps(entry, ensure_ascii=False) + "\n")


def plain(value):
    """dbus-python values as JSON ones."""
    if isinstance(value, (dbus.Dictionary, dict)):
        return {str(k): plain(v) for k, v in value.items()}
    if isinstance(value, (dbus.Array, dbus.Struct, list, tuple)):
        return [plain(v) for v in value]
    if isinstance(value, (dbus.String, dbus.ObjectPath)):
        return str(value)
    if isinstance(value, dbus.Boolean):
        return bool(value)
    if isinstance(value, (dbus.UInt32, dbus.Int32, dbus.UInt64, dbus.Int64, dbus.Byte)):
        return int(value)
    return value


class Request(dbus.service.Object):
    @dbus.service.signal("org.freedesktop.portal.Request", signature="ua{sv}")
    def Response(self, response, results):
        pass


class Portal(dbus.service.Object):
    def __init__(self, bus, mode):
        super().__init__(bus, PATH)
        self.bus = bus
        self.mode = mode
        self.sessions = []

    def _request(self, sender, options, response, results):
        token = str(options.get("handle_token", "t%d" % time.monotonic_ns()))
        path = "%s/request/%s/%s" % (PATH, sender[1:].replace(".", "_"), token)
        request = Request(self.bus, path)

        def answer():
            request.Response(dbus.UInt32(response), dbus.Dictionary(results, signature="sv"))
            request.remove_from_connection()
            return False

        # After the reply, as a portal answers once the user or the desktop has decided.
        GLib.timeout_add(50, answer)
        return dbus.ObjectPath(path)

    @dbus.service.method("org.freedesktop.host.portal.Registry", in_signature="sa{sv}",
                         out_signature="", sender_keyword="sender")
    def Register(self, app_id, options, sender=None):
        log({"call": "Register", "app_id": str(app_id)})

    @dbus.service.method(SHORTCUTS, in_signature="a{sv}", out_signature="o",
                         sender_keyword="sender")
    def CreateSession(self, options, sender=None):
        log({"call": "CreateSession", "options": plain(options)})
        if self.mode == "--no-shortcuts":
            raise dbus.exceptions.DBusException(
                "No such interface", name="org.freedesktop.DBus.Error.UnknownMethod")
        session = "%s/session/%s/%s" % (PATH, sender[1:].replace(".", "_"),
                                        options.get("session_handle_token", "s"))
        self.sessions.append(session)
        if self.mode == "--refuse":
            return self._request(sender, options, 2, {})
        return self._request(sender, options, 0, {"session_handle": dbus.ObjectPath(session)})

    @dbus.service.method(SHORTCUTS, in_signature="oa(sa{sv})sa{sv}", out_signature="o",
                         sender_keyword="sender")
    def BindShortcuts(self, session, shortcuts, parent_window, options, sender=None):
        log({"call": "BindShortcuts", "session": str(session), "shortcuts": plain(shortcuts),
             "parent_window": str(parent_window)})
        return self._request(sender, options, 0, {"shortcuts": shortcuts})

    @dbus.service.signal(SHORTCUTS, signature="osta{sv}")
    def Activated(self, session_handle, shortcut_id, timestamp, options):
        pass

    @dbus.service.method("io.github.wanshengxia.Test", in_signature="s", out_signature="")
    def Activate(self, shortcut_id):
        log({"call": "Activate", "id": str(shortcut_id)})
        for session in self.sessions:
            self.Activated(dbus.ObjectPath(session), shortcut_id,
                           dbus.UInt64(int(time.time() * 1000)), dbus.Dictionary({}, signature="sv"))


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    mode = sys.argv[2] if len(sys.argv) > 2 else ""
    portal = Portal(bus, mode)
    name = dbus.service.BusName("org.freedesktop.portal.Desktop", bus)
    log({"call": "ready", "mode": mode})
    GLib.MainLoop().run()
    del portal, name


if __name__ == "__main__":
    main()
