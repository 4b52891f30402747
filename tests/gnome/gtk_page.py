#!/usr/bin/python3
# A GTK 4 window for the GNOME tests: a text view of numbered lines in a scrolled window.
#   gtk_page.py TITLE [LINES]
# Prints "ready" once the window is mapped, then "maximized 1" or "maximized 0" when that changes,
# and "scrolled N" when its view moved to N pixels from the top. Reads commands on
# standard input: "maximize", "quit". Ends when its standard input ends.
import sys

import gi

gi.require_version("Gtk", "4.0")
from gi.repository import GLib, Gtk  # noqa: E402

title = sys.argv[1]
lines = int(sys.argv[2]) if len(sys.argv) > 2 else 400


def say(text):
    print(text, flush=True)


def on_activate(app):
    window = Gtk.ApplicationWindow(application=app, title=title)
    window.set_default_size(640, 480)
    view = Gtk.TextView(editable=False, cursor_visible=False, monospace=True)
    # The line's number all along it, so that any part of the page tells where on it it is.
    view.get_buffer().set_text("\n".join(f"Line {i:04d} " * 12 for i in range(lines)))
    scrolled = Gtk.ScrolledWindow()
    scrolled.set_child(view)
    window.set_child(scrolled)
    scrolled.get_vadjustment().connect(
        "value-changed", lambda a: say(f"scrolled {round(a.get_value())}"))
    window.connect("notify::maximized", lambda w, _: say(f"maximized {int(w.is_maximized())}"))
    window.connect("map", lambda w: GLib.idle_add(lambda: say("ready")))

    def command(channel, condition):
        line = sys.stdin.readline()
        if not line or line.strip() == "quit":
            app.quit()
            return False
        if line.strip() == "maximize":
            window.maximize()
        return True

    GLib.io_add_watch(GLib.IOChannel.unix_new(0), GLib.PRIORITY_DEFAULT,
                      GLib.IOCondition.IN | GLib.IOCondition.HUP, command)
    window.present()


app = Gtk.Application(application_id=None)
app.connect("activate", on_activate)
app.run([])
