#!/usr/bin/python3
"""A Qt 5 receiving program for delivery tests on Linux, the GTK receiver's twin: a window
titled "Trovane" with two text fields, "jine" and "Pocasi" (or the FIELDs given), each named
and filled with its name. KIND says what the window is: "main" (a main window), "dialog" or
"plain" (a bare widget, which Qt publishes in the role of a filler). Prints "shown" once the
window is mapped and Qt has published itself on the accessibility bus; on stdin, "dump" prints
each field as NAME<TAB>TEXT and then "end", "quit" closes it, and the end of the input does both.
It asks the registry on the bus at AT_SPI_BUS_ADDRESS whether it is listed.

Usage: receiver.py [SECONDS [KIND [TITLE [FIELD...]]]]   (ends after SECONDS, default 60, so a
failed test cannot leave it behind)
"""
import os
import subprocess
import sys

from PyQt5.QtCore import QSocketNotifier, QTimer
from PyQt5.QtDBus import QDBusConnection
from PyQt5.QtWidgets import QApplication, QDialog, QLineEdit, QMainWindow, QVBoxLayout, QWidget


def field(name):
    entry = QLineEdit(name)
    # Named by the initial text, so the name stays the same after a delivery replaces the text.
    entry.setAccessibleName(name)
    return entry


def registered(connection):
    if not connection.isConnected():
        return False
    listing = subprocess.run(
        ["dbus-send", "--bus=" + os.environ.get("AT_SPI_BUS_ADDRESS", ""), "--print-reply",
         "--dest=org.a11y.atspi.Registry", "/org/a11y/atspi/accessible/root",
         "org.a11y.atspi.Accessible.GetChildren"],
        capture_output=True, text=True, check=False)
    return f'"{connection.baseService()}"' in listing.stdout


def window_of_kind(kind, fields):
    box = QWidget() if kind == "main" else None
    window = {"main": QMainWindow, "dialog": QDialog, "plain": QWidget}[kind]()
    layout = QVBoxLayout(box if box is not None else window)
    for entry in fields:
        layout.addWidget(entry)
    if box is not None:
        window.setCentralWidget(box)
    return window


def main():
    seconds = int(sys.argv[1]) if len(sys.argv) > 1 and int(sys.argv[1]) > 0 else 60
    kind = sys.argv[2] if len(sys.argv) > 2 else "main"
    title = sys.argv[3] if len(sys.argv) > 3 else "Trovane"

    application = QApplication(sys.argv[:1])
    fields = [field(name) for name in (sys.argv[4:] or ["jine", "Pocasi"])]
    window = window_of_kind(kind, fields)
    window.setWindowTitle(title)

    def dump():
        for entry in fields:
            print(f"{entry.accessibleName()}\t{entry.text()}")
        print("end", flush=True)

    def command():
        line = sys.stdin.readline()
        # A test that cannot write to it closes its input to learn what the fields hold.
        if not line:
            dump()
        if not line or line.strip() == "quit":
            notifier.setEnabled(False)
            application.quit()
        elif line.strip() == "dump":
            dump()
    notifier = QSocketNotifier(sys.stdin.fileno(), QSocketNotifier.Read)
    notifier.activated.connect(command)

    # Qt registers with the bus's registry in a turn of its event loop after the start, on a
    # connection of its own named "a11y"; until the registry lists that connection a delivery
    # would not find the program.
    published = QTimer()
    def tell_when_published():
        if window.isVisible() and registered(QDBusConnection("a11y")):
            published.stop()
            print("shown", flush=True)
    published.timeout.connect(tell_when_published)
    published.start(10)

    QTimer.singleShot(seconds * 1000, application.quit)
    window.show()
    application.exec_()


if __name__ == "__main__":
    main()
