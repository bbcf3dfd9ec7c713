#!/usr/bin/env python3
"""Writes data/Skins/UserDengColor_3.userd: the ten user colour modes a fresh profile
starts with. Slots are 21 x row + column of the keyboard's 6 x 21 light grid; slot 110
is Fn and 125 the G keys. A key whose colour is the mode's base colour follows it."""
import colorsys, os

ROWS, COLS = 6, 21
WASD = {2 * 21 + 2, 3 * 21 + 1, 3 * 21 + 2, 3 * 21 + 3}
ARROWS = {4 * 21 + 15, 5 * 21 + 14, 5 * 21 + 15, 5 * 21 + 16}
FKEYS = {c for c in range(1, 13)}
NUMPAD = {r * 21 + c for r in range(1, 6) for c in range(17, 21)}

def lerp(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))

def hsv(h, s, v):
    return tuple(round(x * 255) for x in colorsys.hsv_to_rgb(h % 1.0, s, v))

def ocean(r, c):
    return lerp((0, 40, 120), (0, 200, 255), c / (COLS - 1))

def ember(r, c):
    return lerp((255, 200, 0), (200, 0, 0), r / (ROWS - 1))

def aurora(r, c):
    return hsv(0.33 + 0.45 * (c + r) / (COLS + ROWS - 2), 0.9, 1.0)

def forest(r, c):
    s = 21 * r + c
    if s in WASD or s in ARROWS:
        return (160, 255, 40)
    return lerp((0, 90, 20), (0, 160, 60), r / (ROWS - 1))

def sunset(r, c):
    return lerp((120, 0, 160), (255, 120, 0), r / (ROWS - 1))

def glacier(r, c):
    d = abs(c - 10) / 10
    return lerp((230, 250, 255), (40, 140, 255), d)

def neon(r, c):
    return (255, 0, 200) if c % 2 == 0 else (0, 255, 230)

def sakura(r, c):
    if 1 <= r <= 4 and 1 <= c <= 11:
        return (255, 230, 240)
    return (255, 100, 160)

def desert(r, c):
    return lerp((255, 210, 130), (170, 90, 30), (r + c / COLS) / ROWS)

def midnight(r, c):
    s = 21 * r + c
    if s in FKEYS or s in WASD or s in ARROWS:
        return (255, 190, 40)
    return (10, 10, 60)

MODES = [
    ("Ocean", ocean, (0, 40, 120), (255, 255, 255)),
    ("Ember", ember, (200, 0, 0), (255, 255, 0)),
    ("Aurora", aurora, (0, 255, 120), (255, 0, 255)),
    ("Forest", forest, (0, 90, 20), (160, 255, 40)),
    ("Sunset", sunset, (120, 0, 160), (255, 120, 0)),
    ("Glacier", glacier, (40, 140, 255), (230, 250, 255)),
    ("Neon", neon, (255, 0, 200), (0, 255, 230)),
    ("Sakura", sakura, (255, 100, 160), (255, 230, 240)),
    ("Desert", desert, (170, 90, 30), (255, 210, 130)),
    ("Midnight", midnight, (10, 10, 60), (255, 190, 40)),
]

def main():
    out = ["[PRESENTMODE]", "mode=0", "", "[MODENAME]"]
    out += [f"{i}={m[0]}" for i, m in enumerate(MODES)]
    for i, (name, fn, base, brush) in enumerate(MODES):
        out += ["", f"[Mode{i}]", "tool=0", "jcolor=%d,%d,%d" % base, "color=%d,%d,%d" % brush]
        for slot in range(ROWS * COLS):
            r, c = divmod(slot, COLS)
            if slot == 125:
                colour = brush  # the G keys stand out in the brush colour
            else:
                colour = fn(r, c)
            flag = 1 if tuple(colour) == tuple(base) else 0
            out.append("%d=%d,%d,%d,%d" % (slot, *colour, flag))
    path = os.path.join(os.path.dirname(__file__), "..", "data", "Skins", "UserDengColor_3.userd")
    with open(path, "w", newline="\r\n") as f:
        f.write("\n".join(out) + "\n")

if __name__ == "__main__":
    main()
