#!/usr/bin/python3
# Finds a top-level X window by its title, gives it the keyboard focus and types a text followed by Return,
# through the XTEST extension (Shift held for the characters that need it). Exit status 1 when no such
# window exists, XTEST is missing or a character has no key.
import sys

from Xlib import X, XK, display
from Xlib.ext import xtest
from x11_helpers import focused_window

NAMES = {"/": "slash", "-": "minus", ".": "period", "_": "underscore", " ": "space"}


def main(display_name, title, text):
    d = display.Display(display_name)
    if not d.has_extension("XTEST"):
        return 1
    shift = d.keysym_to_keycode(XK.string_to_keysym("Shift_L"))
    strokes = []
    for c in text:
        keysym = XK.string_to_keysym(NAMES.get(c, c))
        code = d.keysym_to_keycode(keysym)
        if not code:
            return 1
        strokes.append((code, d.keycode_to_keysym(code, 0) != keysym))
    strokes.append((d.keysym_to_keycode(XK.string_to_keysym("Return")), False))
    if focused_window(d, title) is None:
        return 1
    for code, shifted in strokes:
        if shifted:
            xtest.fake_input(d, X.KeyPress, shift)
        xtest.fake_input(d, X.KeyPress, code)
        xtest.fake_input(d, X.KeyRelease, code)
        if shifted:
            xtest.fake_input(d, X.KeyRelease, shift)
        d.sync()
    return 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:4]))
