#!/usr/bin/python3
"""A receiving program for delivery tests on Linux: a GTK 3 window titled "Trovane" with two
text fields, "jine" and "Pocasi" (or the FIELDs given), each named and filled with its name,
as the Windows receiver's control is found by its text. Prints "shown" once the window is
mapped; on stdin, "dump" prints each field as NAME<TAB>TEXT and then "end", "quit" closes it.
SIGUSR1 puts each field's name back as its text and prints "reset".

Usage: receiver.py [SECONDS [TITLE [FIELD...]]]   (ends after SECONDS, default 60, so a
failed test cannot leave it behind)
"""
import signal
import sys

import gi

gi.require_version("Gtk", "3.0")
from gi.repository import GLib, Gtk  # noqa: E402


def field(name):
    entry = Gtk.Entry()
    entry.set_text(name)
    # Named by the initial text, so the name stays the same after a delivery replaces the text.
    entry.get_accessible().set_name(name)
    return entry


def main():
    seconds = int(sys.argv[1]) if len(sys.argv) > 1 and int(sys.argv[1]) > 0 else 60
    title = sys.argv[2] if len(sys.argv) > 2 else "Trovane"

    window = Gtk.Window(title=title)
    box = Gtk.Box(orientation=Gtk.Orientation.VERTICAL, spacing=4)
    fields = [field(name) for name in (sys.argv[3:] or ["jine", "Pocasi"])]
    for entry in fields:
        box.pack_start(entry, False, False, 0)
    window.add(box)
    window.connect("destroy", Gtk.main_quit)

    def shown(*_):
        print("shown", flush=True)
    window.connect("map-event", shown)

    def dump():
        for entry in fields:
            print(f"{entry.get_accessible().get_name()}\t{entry.get_text()}")
        print("end", flush=True)

    def command(channel, _condition):
        line = channel.readline()
        # A test that cannot write to it closes its input to learn what the fields hold.
        if not line:
            dump()
        if not line or line.strip() == "quit":
            Gtk.main_quit()
            return False
        if line.strip() == "dump":
            dump()
        return True

    def reset():
        for entry in fields:
            entry.set_text(entry.get_accessible().get_name())
        print("reset", flush=True)
        return True
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGUSR1, reset)

    GLib.io_add_watch(GLib.IOChannel.unix_new(sys.stdin.fileno()),
                      GLib.IO_IN | GLib.IO_HUP, command)
    GLib.timeout_add_seconds(seconds, Gtk.main_quit)
    window.show_all()
    Gtk.main()


if __name__ == "__main__":
    main()
