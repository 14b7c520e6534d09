#!/usr/bin/python3
# Finds a top-level X window by its title, gives it the keyboard focus and presses a key with Control held,
# through the XTEST extension. Exit status 1 when no such window exists or XTEST is missing.
import sys

from Xlib import X, XK, display
from Xlib.ext import xtest
from x11_helpers import focused_window


def main(display_name, title, key):
    d = display.Display(display_name)
    if focused_window(d, title) is None:
        return 1
    control = d.keysym_to_keycode(XK.string_to_keysym("Control_L"))
    code = d.keysym_to_keycode(XK.string_to_keysym(key))
    for kind, keycode in ((X.KeyPress, control), (X.KeyPress, code), (X.KeyRelease, code),
                          (X.KeyRelease, control)):
        xtest.fake_input(d, kind, keycode)
        d.sync()
    return 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:4]))
