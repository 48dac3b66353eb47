#!/usr/bin/python3
# Reads, as a screen reader does over AT-SPI, the name of the accessible
# object with a given description in the application of a given process,
# and prints it. Exits with 1 when no such object is found in time.
import sys
import time

import pyatspi


def find(node, description, depth=0):
    if node is None or depth > 40:
        return None
    try:
        if node.description == description and node.getState().contains(pyatspi.STATE_SHOWING):
            return node
        for i in range(node.childCount):
            found = find(node.getChildAtIndex(i), description, depth + 1)
            if found is not None:
                return found
    except Exception:
        return None
    return None


def main():
    pid, description = int(sys.argv[1]), sys.argv[2]
    deadline = time.time() + 10
    while time.time() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            try:
                if app is None or app.get_process_id() != pid:
                    continue
            except Exception:
                continue
            found = find(app, description)
            if found is not None:
                print(found.name)
                return 0
        time.sleep(0.1)
    return 1


sys.exit(main())
