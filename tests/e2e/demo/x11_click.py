#!/usr/bin/python3
# Moves the pointer to a point of the screen and clicks the left button there, through the XTEST extension.
# Exit status 1 when XTEST is missing.
import sys

from Xlib import X, display
from Xlib.ext import xtest


def main(display_name, x, y):
    d = display.Display(display_name)
    if not d.has_extension("XTEST"):
        return 1
    xtest.fake_input(d, X.MotionNotify, x=int(x), y=int(y))
    d.sync()
    for kind in (X.ButtonPress, X.ButtonRelease):
        xtest.fake_input(d, kind, 1)
        d.sync()
    return 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:4]))
