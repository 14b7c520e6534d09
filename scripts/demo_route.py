#!/usr/bin/python3
# Plays the demo's first level to its door in a window on an X display, through the XTEST extension: the
# player walks right, jumps over the walkers' patrol when none is close and over the pit, and walks on to the
# door. It watches the screen to know where the player is: the display follows the player, so the level's
# scroll is read from the platforms that only one of the level's platforms has the height of.
#
#   demo_route.py DISPLAY TITLE [SECONDS]
#   demo_route.py DISPLAY TITLE checkpoints OUTPUT COUNT
#
# Exit status 0 once the second level shows, 1 when a life was lost or the door was not reached in time.
# With "checkpoints", it watches a replay instead: each time the game stops in its paused dialog it writes
# the box of the player on the play area (left, top, right, bottom) as a line of OUTPUT and lets the game go
# on; exit status 0 once COUNT stops were seen and the second level shows.
import os
import sys
import time

from Xlib import X, XK, display, error, protocol
from Xlib.ext import xtest

PLAYER = bytes((0x20, 0x80, 0xF0))   # blue, green, red of the player's colour
WALKER = bytes((0xC0, 0x30, 0x90))
PLATFORM = bytes((0x40, 0xB0, 0x40))
LEVEL2_SKY = (0x40, 0x20, 0x60)
# Platforms whose top only one platform has: top -> left edge in the level.
UNIQUE_PLATFORMS = {250: 300, 200: 500, 230: 900, 260: 1290, 220: 1480, 280: 80}
PLATFORM_WIDTH = 120
START_X = 100
GEMS_TAKEN_AT = 168     # the player's left edge once it has taken the three gems on its platform
SPARKLE = bytes((0x90, 0xF8, 0xFF))
GEM_ROWS = (240, 290)
GROUND_TOP = 336          # the player's top standing on the ground
WALKERS = (460, 560)      # where the ground's walkers patrol
JUMP_WALKERS_FROM = 370   # the player's left edge where it jumps over them
JUMP_PIT_AT = 1215        # and over the pit at 1280
FIRST_ROW, ROWS = 150, 240
VERBOSE = os.environ.get("DEMO_ROUTE_VERBOSE")


def windows(window):
    yield window
    try:
        children = window.query_tree().children
    except error.XError:
        return  # gone meanwhile
    for child in children:
        yield from windows(child)


def titled(root, title):
    for w in windows(root):
        try:
            if w.get_wm_name() == title:
                return w
        except error.XError:
            pass
    return None


class Game:
    def __init__(self, name, title):
        self.d = display.Display(name)
        self.root = self.d.screen().root
        self.window = None
        for _ in range(300):
            self.window = titled(self.root, title)
            if self.window:
                break
            time.sleep(0.1)
        if not self.window:
            raise SystemExit("no window " + title)
        time.sleep(1.0)
        geometry = self.window.get_geometry()
        origin = self.window.translate_coords(self.root, 0, 0)
        self.x, self.top = -origin.x, -origin.y + geometry.height - 480
        self.d.sync()
        self.held = set()

    def key(self, name, down):
        code = self.d.keysym_to_keycode(XK.string_to_keysym(name))
        xtest.fake_input(self.d, X.KeyPress if down else X.KeyRelease, code)
        self.d.sync()
        (self.held.add if down else self.held.discard)(name)

    def release_all(self):
        for name in list(self.held):
            self.key(name, False)

    def grab(self):
        """The play area's rows from FIRST_ROW down, where the player, the platforms and the walkers are."""
        return self.root.get_image(self.x, self.top + FIRST_ROW, 640, ROWS, X.ZPixmap, 0xFFFFFFFF).data

    def level2(self):
        data = self.root.get_image(self.x + 10, self.top, 1, 1, X.ZPixmap, 0xFFFFFFFF).data
        return (data[2], data[1], data[0]) == LEVEL2_SKY

    @staticmethod
    def find_all(data, colour, rows):
        """Screen points of `colour` in the rows given."""
        found = []
        for y in rows:
            row = data[4 * 640 * (y - FIRST_ROW):4 * 640 * (y - FIRST_ROW + 1)]
            i = row.find(colour)
            while i >= 0:
                if i % 4 == 0:
                    found.append((i // 4, y))
                i = row.find(colour, i + 1)
        return found

    @staticmethod
    def player(data):
        i = data.find(PLAYER)
        while i >= 0 and i % 4:
            i = data.find(PLAYER, i + 1)
        if i < 0:
            return None
        # The first orange pixel is on the block's top row, a few pixels in from its rounded corner.
        return (i // 4) % 640 - 3, (i // 4) // 640 - 2 + FIRST_ROW

    def scroll(self, data):
        for top, left in UNIQUE_PLATFORMS.items():
            row = [x for x, _ in self.find_all(data, PLATFORM, [top + 8])]
            if not row:
                continue
            start, end = min(row), max(row)
            if start > 0 and end - start < PLATFORM_WIDTH:
                return left + 2 - start
            if end < 639 and end - start < PLATFORM_WIDTH:
                return left + PLATFORM_WIDTH - 3 - end
        return None



def main(name, title, seconds="60"):
    game = Game(name, title)
    deadline = time.time() + float(seconds)
    jumped_walkers = jumped_pit = False
    last_scroll = 0
    last_at = None
    gems_done = False
    while time.time() < deadline:
        data = game.grab()
        if game.level2():
            game.release_all()
            return 0
        at = game.player(data)
        if at is None:
            time.sleep(0.01)
            continue
        scroll = game.scroll(data)
        scroll = last_scroll if scroll is None else scroll
        last_scroll = scroll
        x, y = at[0] + scroll, at[1]
        if VERBOSE:
            print(round(time.time() - deadline, 2), x, y, scroll, [(t, min(r), max(r)) for t in (250, 280) for r in [[c for c, _ in game.find_all(data, PLATFORM, [t + 8])]] if r], file=sys.stderr)
        if not gems_done and x >= GEMS_TAKEN_AT:
            # The collected gems sparkle for a second: wait on the platform until they have gone.
            game.key("Right", False)
            while game.find_all(game.grab(), SPARKLE, range(GEM_ROWS[0], GEM_ROWS[1])):
                time.sleep(0.05)
            time.sleep(0.2)
            gems_done = True
            continue
        waiting = not jumped_walkers and x >= JUMP_WALKERS_FROM
        if not waiting and ("Right" not in game.held or (at == last_at and at[0] < START_X + 5)):
            # A press that came before the window had the keyboard, or while the level faded in, is lost:
            # press again while the player stands where it starts.
            if "Right" in game.held:
                game.key("Right", False)
            game.key("Right", True)
        last_at = at
        if not jumped_walkers and x >= JUMP_WALKERS_FROM and y >= GROUND_TOP - 1:
            # Only when no walker is about to meet the player as it rises.
            near = [wx + scroll for wx, _ in game.find_all(data, WALKER, [GROUND_TOP + 10])
                    if 0 <= wx + scroll - x < 110]
            if near:
                # Wait for the walkers to turn away.
                game.key("Right", False)
                time.sleep(0.03)
                continue
            game.key("Right", True)
            game.key("space", True)
            time.sleep(0.03)
            game.key("space", False)
            jumped_walkers = True
        if jumped_walkers and x < JUMP_WALKERS_FROM - 100:
            print("demo_route: sent back to", x, file=sys.stderr)
            game.release_all()
            return 1
        if jumped_walkers and not jumped_pit and x >= JUMP_PIT_AT:
            game.key("space", True)
            time.sleep(0.03)
            game.key("space", False)
            jumped_pit = True
        # Not faster: the screenshots would hold up the program's own drawing.
        time.sleep(0.03)
    game.release_all()
    print("demo_route: the door was not reached", file=sys.stderr)
    return 1


def player_box(game):
    data = game.root.get_image(game.x, game.top, 640, 480, X.ZPixmap, 0xFFFFFFFF).data
    points = []
    for y in range(480):
        row = data[4 * 640 * y:4 * 640 * (y + 1)]
        i = row.find(PLAYER)
        while i >= 0:
            if i % 4 == 0:
                points.append((i // 4, y))
            i = row.find(PLAYER, i + 1)
    if not points:
        return None
    xs, ys = [p[0] for p in points], [p[1] for p in points]
    return min(xs), min(ys), max(xs), max(ys)


def paused_dialog(game):
    return titled(game.root, "Application paused")


def checkpoints(name, title, output, count):
    game = Game(name, title)
    lines = []
    deadline = time.time() + 60
    while len(lines) < int(count) and time.time() < deadline:
        dialog = paused_dialog(game)
        if not dialog:
            time.sleep(0.05)
            continue
        time.sleep(0.5)  # the last picture drawn before the stop reaches the screen
        box = player_box(game)
        if box is None:
            print("demo_route: no player at stop", len(lines) + 1, file=sys.stderr)
            return 1
        lines.append(" ".join(str(v) for v in box))
        protocols = game.d.intern_atom("WM_PROTOCOLS")
        delete = game.d.intern_atom("WM_DELETE_WINDOW")
        dialog.send_event(protocol.event.ClientMessage(
            window=dialog, client_type=protocols, data=(32, [delete, X.CurrentTime, 0, 0, 0])),
            event_mask=X.NoEventMask)
        game.d.flush()
        while paused_dialog(game):
            time.sleep(0.05)
    while time.time() < deadline and not game.level2():
        time.sleep(0.1)
    if len(lines) < int(count) or not game.level2():
        print("demo_route: the replay stopped", len(lines), "times and did not reach the second level",
              file=sys.stderr)
        return 1
    with open(output, "w") as out:
        out.write("\n".join(lines) + "\n")
    return 0


if __name__ == "__main__":
    if len(sys.argv) == 6 and sys.argv[3] == "checkpoints":
        sys.exit(checkpoints(sys.argv[1], sys.argv[2], sys.argv[4], sys.argv[5]))
    sys.exit(main(*sys.argv[1:4]))
