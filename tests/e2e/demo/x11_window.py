#!/usr/bin/python3
# Finds a top-level X window by its title and prints its geometry ("geometry") or asks it to close the way a
# window manager's close button does ("close"). Exit status 1 when no such window exists.
import sys

from Xlib import X, display, protocol
from x11_helpers import find_window


def main(display_name, command, title):
    d = display.Display(display_name)
    w = find_window(d, title)
    if w is None:
        return 1
    if command == "geometry":
        geometry = w.get_geometry()
        origin = w.translate_coords(d.screen().root, 0, 0)
        print(-origin.x, -origin.y, geometry.width, geometry.height)
    else:
        protocols = d.intern_atom("WM_PROTOCOLS")
        delete = d.intern_atom("WM_DELETE_WINDOW")
        event = protocol.event.ClientMessage(
            window=w, client_type=protocols, data=(32, [delete, X.CurrentTime, 0, 0, 0]))
        w.send_event(event, event_mask=X.NoEventMask)
        d.flush()
    return 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:4]))
