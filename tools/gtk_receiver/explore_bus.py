#!/usr/bin/python3
"""Walks the accessibility bus as a delivery will, against the GTK receiver, and prints each
step with its time: the programs and their top-level windows, the widgets under "Trovane", the
texts of its fields; replaces the text of "Pocasi" and shows what the receiver then holds.
For exploring the bus, not a test; run it inside scripts/accessibility-session.sh.
"""
import os
import subprocess
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402


def timed(label, call):
    start = time.monotonic()
    result = call()
    print(f"{label}: {result!r} ({(time.monotonic() - start) * 1e3:.1f} ms)")
    return result


def walk(accessible, depth, found):
    for index in range(accessible.get_child_count()):
        child = accessible.get_child_at_index(index)
        print(f"{'  ' * depth}{child.get_role_name()} {child.get_name()!r}")
        if child.get_role() == Atspi.Role.TEXT:
            found[child.get_name()] = child
            timed(f"{'  ' * depth}  text", lambda: Atspi.Text.get_text(child, 0, -1))
        walk(child, depth + 1, found)


def main():
    receiver = subprocess.Popen(
        [os.path.join(os.path.dirname(os.path.abspath(__file__)), "receiver.py"), "30"],
        stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    print("receiver:", receiver.stdout.readline().strip())
    timed("atspi_init", Atspi.init)
    Atspi.set_timeout(500, 500)
    desktop = Atspi.get_desktop(0)
    applications = timed("desktop child count", desktop.get_child_count)
    target = None
    for index in range(applications):
        application = desktop.get_child_at_index(index)
        windows = timed(f"program {application.get_name()!r} pid {application.get_process_id()}"
                        " windows", application.get_child_count)
        for window_index in range(windows):
            window = application.get_child_at_index(window_index)
            print(f"  {window.get_role_name()} {window.get_name()!r}")
            if window.get_name() == "Trovane":
                target = window
    if target is None:
        sys.exit("no Trovane window on the bus")
    found = {}
    walk(target, 1, found)
    timed("set_text_contents Pocasi", lambda: Atspi.EditableText.set_text_contents(
        found["Pocasi"], "Slunecno 21 C"))
    receiver.stdin.write("dump\n")
    receiver.stdin.flush()
    for line in iter(receiver.stdout.readline, "end\n"):
        print("receiver holds:", line.rstrip("\n"))
    receiver.stdin.close()
    receiver.wait(5)


if __name__ == "__main__":
    main()
