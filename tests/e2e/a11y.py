#!/usr/bin/python3
"""Reads a running program through the accessibility bus, as a screen reader does.

    a11y.py texts APP    prints the name and text of every object of the application APP,
                         one per line; exits 1 when APP is not on the bus.
"""
import sys

import pyatspi


def walk(node, depth=0):
    if node is None or depth > 30:
        return
    yield node
    for i in range(node.childCount):
        yield from walk(node.getChildAtIndex(i), depth + 1)


def texts(app_name):
    desktop = pyatspi.Registry.getDesktop(0)
    apps = [desktop.getChildAtIndex(i) for i in range(desktop.childCount)]
    apps = [a for a in apps if a is not None and a.name == app_name]
    if not apps:
        return 1
    for app in apps:
        for node in walk(app):
            if node.name:
                print(node.name)
            try:
                text = node.queryText()
                content = text.getText(0, text.characterCount)
                if content:
                    print(content)
            except NotImplementedError:
                pass
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 3 or sys.argv[1] != "texts":
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    sys.exit(texts(sys.argv[2]))
