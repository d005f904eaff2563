#!/usr/bin/python3
"""A stand-in for the desktop's portal on a private session bus: the host-program registry and
the GlobalShortcuts interface, as far as the recorder uses them. It answers as KDE Plasma
5.27's portal does (measured with xdg-desktop-portal 1.16 and xdg-desktop-portal-kde 5.27.5):
CreateSession binds the shortcuts of its option "shortcuts" (and only those) and lists them in
its answer with their trigger_description; BindShortcuts binds nothing, starts the desktop's
shortcut settings (logged here as "opens-settings") and answers what the session holds.

    portal-standin.py LOG [--refuse | --no-shortcuts | --binds-nothing | --binds-later]

Every call is written to LOG as one JSON object a line. What the real portal cannot be made
to do: --refuse answers CreateSession with response 2 (the user or the desktop said no);
--no-shortcuts offers only the registry, as desktops without the interface do;
--binds-nothing lists no shortcuts anywhere (Plasma 5.27 to a client that offers them only
to BindShortcuts); --binds-later binds in BindShortcuts only (Plasma 6.1 and later).
A test presses a shortcut, or changes its trigger as a user would in the desktop's settings:
    dbus-send --session --type=method_call --dest=org.freedesktop.portal.Desktop /org/freedesktop/portal/desktop \
        io.github.wanshengxia.Test.Activate string:record
    ... io.github.wanshengxia.Test.ChangeTrigger string:record string:Meta+F9
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


class Session(dbus.service.Object):
    def __init__(self, portal, path):
        super().__init__(portal.bus, path)
        self.portal = portal
        self.path = path

    @dbus.service.method("org.freedesktop.portal.Session", in_signature="", out_signature="")
    def Close(self):
        log({"call": "Close", "session": self.path})
        self.portal.sessions.pop(self.path, None)
        self.remove_from_connection()


def as_5_27_lists(bound):
    """The session's shortcuts as Plasma 5.27 lists them: description and trigger_description."""
    return dbus.Array([dbus.Struct((dbus.String(name), dbus.Dictionary(
        {"description": dbus.String(props["description"]),
         "trigger_description": dbus.String(props["trigger"])}, signature="sv")))
        for name, props in bound.items()], signature="(sa{sv})")


def portal_trigger(preferred):
    """"CTRL+ALT+Down" as kglobalaccel writes it back: "Ctrl+Alt+Down"."""
    words = {"CTRL": "Ctrl", "ALT": "Alt", "SHIFT": "Shift", "LOGO": "Meta"}
    return "+".join(words.get(part, part) for part in str(preferred).split("+"))


class Portal(dbus.service.Object):
    def __init__(self, bus, mode):
        super().__init__(bus, PATH)
        self.bus = bus
        self.mode = mode
        self.sessions = {}  # path -> {name: {"description", "trigger"}}

    def _bind(self, session, shortcuts):
        self.sessions[session] = {
            str(name): {"description": str(props.get("description", "")),
                        "trigger": portal_trigger(props.get("preferred_trigger", ""))}
            for name, props in shortcuts}

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
        shortcuts = options.get("shortcuts")
        log({"call": "CreateSession", "options": plain(options),
             "shortcuts_signature": str(getattr(shortcuts, "signature", ""))})
        if self.mode == "--no-shortcuts":
            raise dbus.exceptions.DBusException(
                "No such interface", name="org.freedesktop.DBus.Error.UnknownMethod")
        session = "%s/session/%s/%s" % (PATH, sender[1:].replace(".", "_"),
                                        options.get("session_handle_token", "s"))
        if session in self.sessions:
            # A session handle still in use: the portal cannot export it twice.
            return self._request(sender, options, 2, {})
        if self.mode == "--refuse":
            return self._request(sender, options, 2, {})
        # Plasma 5.27 takes only a(sa{sv}) ("Wrong global shortcuts type" otherwise).
        taken = shortcuts if isinstance(shortcuts, dbus.Array) and \
            str(shortcuts.signature) == "(sa{sv})" and self.mode == "" else []
        self._bind(session, taken)
        Session(self, session)
        # The handle comes as a string, as 5.27 sends it.
        return self._request(sender, options, 0, {"session_handle": dbus.String(session),
                                                  "shortcuts": as_5_27_lists(self.sessions[session])})

    @dbus.service.method(SHORTCUTS, in_signature="oa(sa{sv})sa{sv}", out_signature="o",
                         sender_keyword="sender")
    def BindShortcuts(self, session, shortcuts, parent_window, options, sender=None):
        log({"call": "BindShortcuts", "session": str(session), "shortcuts": plain(shortcuts),
             "parent_window": str(parent_window)})
        if self.mode == "--binds-later" and str(session) in self.sessions:
            self._bind(str(session), shortcuts)
        elif str(session) in self.sessions:
            log({"call": "opens-settings", "url": "systemsettings://kcm_keys/"})
        return self._request(sender, options, 0,
                             {"shortcuts": as_5_27_lists(self.sessions.get(str(session), {}))})

    @dbus.service.method(SHORTCUTS, in_signature="oa{sv}", out_signature="o",
                         sender_keyword="sender")
    def ListShortcuts(self, session, options, sender=None):
        log({"call": "ListShortcuts", "session": str(session)})
        return self._request(sender, options, 0,
                             {"shortcuts": as_5_27_lists(self.sessions.get(str(session), {}))})

    @dbus.service.signal(SHORTCUTS, signature="oa(sa{sv})")
    def ShortcutsChanged(self, session_handle, shortcuts):
        pass

    @dbus.service.signal(SHORTCUTS, signature="osta{sv}")
    def Activated(self, session_handle, shortcut_id, timestamp, options):
        pass

    @dbus.service.method("io.github.wanshengxia.Test", in_signature="s", out_signature="")
    def Activate(self, shortcut_id):
        log({"call": "Activate", "id": str(shortcut_id)})
        for session, bound in self.sessions.items():
            if str(shortcut_id) in bound:
                self.Activated(dbus.ObjectPath(session), shortcut_id,
                               dbus.UInt64(int(time.time() * 1000)),
                               dbus.Dictionary({}, signature="sv"))

    @dbus.service.method("io.github.wanshengxia.Test", in_signature="ss", out_signature="")
    def ChangeTrigger(self, shortcut_id, trigger):
        log({"call": "ChangeTrigger", "id": str(shortcut_id), "trigger": str(trigger)})
        for session, bound in self.sessions.items():
            if str(shortcut_id) in bound:
                bound[str(shortcut_id)]["trigger"] = str(trigger)
                self.ShortcutsChanged(dbus.ObjectPath(session), as_5_27_lists(bound))


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
