# A long page in a GTK 4 text view, maximized on the main monitor, for the GNOME tests and
# benchmarks: no caret, a scrollbar that stays (an overlay one would appear over the page while
# it scrolls). With --moving the page scrolls itself by a pixel at every frame of the window, so
# that the screen changes at the rate the shell draws.
import sys

import gi

gi.require_version("Gtk", "4.0")
from gi.repository import GLib, Gtk  # noqa: E402

text = "\n".join(
    "Line %04d %s" % (i, "abcdefghijklmnopqrstuvwxyz"[i % 26] * (i % 41 + 3)) for i in range(800)
)
view = Gtk.TextView(editable=False, cursor_visible=False, monospace=True)
view.get_buffer().set_text(text)
scrolled = Gtk.ScrolledWindow(overlay_scrolling=False)
scrolled.set_child(view)
window = Gtk.Window(title="Orvel GNOME page")
window.set_child(scrolled)
window.maximize()
window.present()

if "--moving" in sys.argv:
    adjustment = scrolled.get_vadjustment()

    def tick(widget, clock):
        end = adjustment.get_upper() - adjustment.get_page_size()
        value = adjustment.get_value() + 1
        adjustment.set_value(value if value < end else 0)
        return GLib.SOURCE_CONTINUE

    view.add_tick_callback(tick)

GLib.MainLoop().run()
