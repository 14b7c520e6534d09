#!/usr/bin/python3
# Finds a top-level X window by its title, gives it the keyboard focus and holds one key down for a number
# of seconds, through the XTEST extension. Exit status 1 when no such window exists or XTEST is missing.
import sys
import time

from Xlib import X, XK, display
from Xlib.ext import xtest
from x11_helpers import focused_window


def main(display_name, title, key, seconds):
    d = display.Display(display_name)
    if focused_window(d, title) is None:
        return 1
    code = d.keysym_to_keycode(XK.string_to_keysym(key))
    xtest.fake_input(d, X.KeyPress, code)
    d.sync()
    time.sleep(float(seconds))
    xtest.fake_input(d, X.KeyRelease, code)
    d.sync()
    return 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:5]))
