#!/usr/bin/python3
"""A stand-in for a panel's tray on a private session bus: a StatusNotifierWatcher and a host
that shows what the items registered with it send.

    sni-standin.py LOG

Every event is written to LOG as one JSON object a line: "register" (an item and its
properties as first read), "frame" (a NewIcon and the picture read after it), "tooltip",
"layout-updated", "layout" (the menu as read on request). A test drives the item through
the stand-in:
    dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher /Test \
        io.github.wanshengxia.Test.Activate | .ContextMenu | .Layout | .Click string:LABEL
"""
import hashlib
import json
import sys
import time

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

WATCHER = "org.kde.StatusNotifierWatcher"
ITEM = "org.kde.StatusNotifierItem"
MENU = "com.canonical.dbusmenu"
PROPS = "org.freedesktop.DBus.Properties"
TEST = "io.github.wanshengxia.Test"


def log(entry):
    entry["t"] = round(time.monotonic(), 3)
    with open(sys.argv[1], "a", encoding="utf-8") as out:
        out.write(json.dumps(entry, ensure_ascii=False) + "\n")


def pictures(pixmaps):
    """Each (w, h, ARGB bytes) as its size and a digest of its pixels."""
    return [{"w": int(w), "h": int(h), "bytes": len(data),
             "sha": hashlib.sha1(bytes(data)).hexdigest()[:12]} for w, h, data in pixmaps]


def entries(layout):
    """The menu's entries under the root as (id, properties)."""
    _, _, children = layout
    return [(int(c[0]), {str(k): (bool(v) if isinstance(v, dbus.Boolean) else str(v))
                         for k, v in c[1].items()}) for c in children]


class Watcher(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, "/StatusNotifierWatcher")
        self.bus = bus
        self.items = []  # (service, proxy)

    @dbus.service.method(WATCHER, in_signature="s", out_signature="", sender_keyword="sender")
    def RegisterStatusNotifierItem(self, service, sender=None):
        service = str(service)
        path = "/StatusNotifierItem"
        if service.startswith("/"):
            service, path = sender, service
        proxy = self.bus.get_object(service, path, introspect=False)
        props = proxy.GetAll(ITEM, dbus_interface=PROPS)
        log({"call": "register", "service": service, "sender": str(sender),
             "Id": str(props.get("Id", "")), "Title": str(props.get("Title", "")),
             "Category": str(props.get("Category", "")), "Status": str(props.get("Status", "")),
             "Menu": str(props.get("Menu", "")), "ItemIsMenu": bool(props.get("ItemIsMenu", False)),
             "ToolTip": str(props["ToolTip"][2]) if "ToolTip" in props else None,
             "IconPixmap": pictures(props.get("IconPixmap", []))})
        self.items.append((service, proxy, str(props.get("Menu", ""))))
        proxy.connect_to_signal("NewIcon", lambda: self.on_new_icon(proxy), dbus_interface=ITEM)
        proxy.connect_to_signal("NewToolTip", lambda: self.on_new_tooltip(proxy),
                                dbus_interface=ITEM)
        if props.get("Menu"):
            menu = self.bus.get_object(service, str(props["Menu"]), introspect=False)
            menu.connect_to_signal("LayoutUpdated",
                                   lambda revision, parent: log({"call": "layout-updated",
                                                                 "revision": int(revision)}),
                                   dbus_interface=MENU)
        self.StatusNotifierItemRegistered(service)

    def on_new_icon(self, proxy):
        # As a panel does: read the picture the signal announces.
        log({"call": "frame", "IconPixmap": pictures(proxy.Get(ITEM, "IconPixmap",
                                                                dbus_interface=PROPS))})

    def on_new_tooltip(self, proxy):
        log({"call": "tooltip", "ToolTip": str(proxy.Get(ITEM, "ToolTip", dbus_interface=PROPS)[2])})

    @dbus.service.method(WATCHER, in_signature="s", out_signature="")
    def RegisterStatusNotifierHost(self, service):
        pass

    @dbus.service.signal(WATCHER, signature="s")
    def StatusNotifierItemRegistered(self, service):
        pass

    @dbus.service.method(PROPS, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        return self.GetAll(interface)[str(name)]

    @dbus.service.method(PROPS, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return {"RegisteredStatusNotifierItems": dbus.Array([s for s, _, _ in self.items],
                                                            signature="s"),
                "IsStatusNotifierHostRegistered": dbus.Boolean(True),
                "ProtocolVersion": dbus.Int32(0)}


class Test(dbus.service.Object):
    def __init__(self, bus, watcher):
        super().__init__(bus, "/Test")
        self.bus = bus
        self.watcher = watcher

    def item(self):
        return self.watcher.items[-1]

    @dbus.service.method(TEST, in_signature="", out_signature="")
    def Activate(self):
        self.item()[1].Activate(0, 0, dbus_interface=ITEM)

    @dbus.service.method(TEST, in_signature="", out_signature="")
    def ContextMenu(self):
        self.item()[1].ContextMenu(0, 0, dbus_interface=ITEM)

    def menu(self):
        service, _, path = self.item()
        return self.bus.get_object(service, path, introspect=False)

    @dbus.service.method(TEST, in_signature="", out_signature="")
    def Layout(self):
        menu = self.menu()
        menu.AboutToShow(0, dbus_interface=MENU)
        revision, layout = menu.GetLayout(0, -1, dbus.Array([], signature="s"),
                                          dbus_interface=MENU)
        log({"call": "layout", "revision": int(revision), "entries": entries(layout),
             "Version": int(menu.Get(MENU, "Version", dbus_interface=PROPS))})

    @dbus.service.method(TEST, in_signature="s", out_signature="")
    def Click(self, label):
        menu = self.menu()
        _, layout = menu.GetLayout(0, -1, dbus.Array([], signature="s"), dbus_interface=MENU)
        for id_, props in entries(layout):
            if props.get("label") == str(label):
                menu.Event(id_, "clicked", dbus.Int32(0, variant_level=1), dbus.UInt32(0),
                           dbus_interface=MENU)
                log({"call": "click", "label": str(label), "id": id_})
                return
        raise dbus.exceptions.DBusException("no entry " + str(label))


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    watcher = Watcher(bus)
    test = Test(bus, watcher)
    name = dbus.service.BusName(WATCHER, bus)
    log({"call": "ready"})
    GLib.MainLoop().run()
    del test, name


if __name__ == "__main__":
    main()
