# What the X11 helper scripts share: finding a top-level window by its title, and giving it the keyboard
# focus before keys are faked through the XTEST extension.
from Xlib import X


def windows(window):
    yield window
    for child in window.query_tree().children:
        yield from windows(child)


def name_of(d, w):
    """A window's title: its UTF-8 name when it has one (WM_NAME alone reads it byte by byte), else its
    WM_NAME."""
    utf8 = w.get_full_property(d.intern_atom("_NET_WM_NAME"), d.intern_atom("UTF8_STRING"))
    if utf8 is not None:
        return bytes(utf8.value).decode("utf-8", "replace")
    return w.get_wm_name()


def find_window(d, title):
    """The first window below the root whose name is `title`, or None."""
    for w in windows(d.screen().root):
        if name_of(d, w) == title:
            return w
    return None


def focused_window(d, title):
    """The window named `title` with the keyboard focus given to it, or None when XTEST is missing or no
    such window exists."""
    if not d.has_extension("XTEST"):
        return None
    w = find_window(d, title)
    if w is None:
        return None
    w.set_input_focus(X.RevertToParent, X.CurrentTime)
    d.sync()
    return w
