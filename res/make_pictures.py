#!/usr/bin/env python3
"""Draws the launcher's pictures: the window-sized background bitmap and the 32x32 icon.

Usage: make_pictures.py OUT_DIR   (writes OUT_DIR/background.bmp and OUT_DIR/app.ico)

Standard library only and no randomness beyond a fixed hash, so every build produces the
same bytes. The painter draws the news panel, the side bar, the texts and the buttons on
top, so the picture keeps the areas under texts calm and dark and puts its detail where
the window shows it: the sky between the news panel and the side bar, and the play area.
"""
import math
import os
import re
import struct
import sys

FRAME_HEADER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "base",
                            "window_frame.h")


def frame_numbers(name):
    """The numbers of one constant of the frame header, where the painter's code reads them."""
    with open(FRAME_HEADER) as header:
        found = re.search(r"constexpr \w+ %s = \{?([0-9, ]+)\}?;" % name, header.read())
    return [int(n) for n in found.group(1).split(",")]


WIDTH, HEIGHT = frame_numbers("kWindowWidth")[0], frame_numbers("kWindowHeight")[0]
# The gold rule over the status line ends where the status line does.
RULE_END = frame_numbers("kCaptionButtonsLeft")[0]

NAVY_DEEP = (10, 13, 22)
NAVY_HIGH = (26, 32, 52)
GOLD = (246, 210, 120)
GOLD_DARK = (224, 170, 66)


def clamp01(v):
    return 0.0 if v < 0.0 else 1.0 if v > 1.0 else v


def mix(a, b, t):
    return (a[0] + (b[0] - a[0]) * t, a[1] + (b[1] - a[1]) * t, a[2] + (b[2] - a[2]) * t)


def smooth(t):
    t = clamp01(t)
    return t * t * (3.0 - 2.0 * t)


def hash01(x, y, seed):
    """A fixed integer hash mapped to [0, 1): the same on every machine and version."""
    h = (x * 374761393 + y * 668265263 + seed * 2246822519) & 0xFFFFFFFF
    h = ((h ^ (h >> 13)) * 1274126177) & 0xFFFFFFFF
    h ^= h >> 16
    return h / 4294967296.0


def value_noise(x, seed):
    """One-dimensional smooth noise in [0, 1)."""
    i = math.floor(x)
    f = x - i
    return hash01(i, 0, seed) + (hash01(i + 1, 0, seed) - hash01(i, 0, seed)) * smooth(f)


def ridge(x, base, amplitude, scale, seed, octaves=4):
    height, amp, freq, total = 0.0, 1.0, 1.0 / scale, 0.0
    for octave in range(octaves):
        height += value_noise(x * freq, seed + octave * 17) * amp
        total += amp
        amp *= 0.5
        freq *= 2.1
    return base - amplitude * height / total


# Sky lights: the moon above the gap between news panel and side bar, and a warm glow
# behind the play button.
MOON_X, MOON_Y, MOON_R = 640.0, 112.0, 24.0
MOON_MARIA = ((-7.0, -6.0, 9.0), (6.0, 4.0, 7.0), (-2.0, 11.0, 6.0), (9.0, -10.0, 4.0))
_play = frame_numbers("kPlayButton")
PLAY_X, PLAY_Y = (_play[0] + _play[2]) / 2.0, (_play[1] + _play[3]) / 2.0

# A keep with two towers standing on the far ridge, below the moon.
KEEP_LEFT, KEEP_RIGHT = 588, 704
KEEP_GROUND = 300.0


def merlons(x, top, width=3):
    """Battlements: every other run of `width` columns stands 4 pixels higher."""
    return top - 4 if math.floor(x / width) % 2 == 0 else top


def cone(x, left, right, base, height):
    """A pointed roof over [left, right) that overhangs its tower by 2 pixels each side."""
    centre = (left + right) / 2.0
    half = (right - left) / 2.0 + 2.0
    return base - height * (1.0 - abs(x - centre) / half)


def keep_top(x):
    """Top edge of the castle at the (fractional) column x, or None outside it."""
    if x < KEEP_LEFT or x >= KEEP_RIGHT:
        return None
    tops = [merlons(x, 282.0)]  # curtain wall
    if 624 <= x < 660:
        tops.append(merlons(x, 262.0))  # the hall
    if 598 <= x < 622:
        tops.append(cone(x, 600, 620, 252.0, 28.0) if not 602 <= x < 618 else
                    min(252.0, cone(x, 600, 620, 252.0, 28.0)))
    if 660 <= x < 686:
        tops.append(cone(x, 662, 684, 236.0, 38.0) if not 664 <= x < 682 else
                    min(236.0, cone(x, 662, 684, 236.0, 38.0)))
    return min(tops)


def keep_cover(x, y):
    """Share of pixel (x, y) covered by the castle, from four sub-columns."""
    total = 0.0
    for sub in (0.125, 0.375, 0.625, 0.875):
        top = keep_top(x + sub)
        if top is not None:
            total += clamp01(y + 1 - top)
    return total / 4.0


LIT_WINDOWS = ((609, 258, 2, 5), (609, 270, 2, 5), (672, 242, 2, 5), (672, 256, 2, 5),
               (634, 274, 2, 4), (641, 274, 2, 4), (648, 274, 2, 4), (596, 288, 2, 3))


def keep_window(x, y):
    for wx, wy, ww, wh in LIT_WINDOWS:
        if wx <= x < wx + ww and wy <= y < wy + wh:
            return True
    return False


def background():
    far = [ridge(x, 318, 70, 140, 11) for x in range(WIDTH)]
    mid = [ridge(x, 392, 80, 110, 23) for x in range(WIDTH)]
    near = [ridge(x, 452, 48, 90, 37) for x in range(WIDTH)]
    # The keep's ridge is flattened under it so it stands on solid ground.
    for x in range(KEEP_LEFT - 40, KEEP_RIGHT + 40):
        t = smooth(min(x - (KEEP_LEFT - 40), (KEEP_RIGHT + 40) - x) / 40.0)
        far[x] = far[x] * (1 - t) + KEEP_GROUND * t

    rows = []
    for y in range(HEIGHT):
        row = bytearray(WIDTH * 3)
        sky_t = y / (HEIGHT - 1)
        for x in range(WIDTH):
            # Sky: deep navy above, a touch lighter toward the horizon behind the ridges.
            horizon = math.exp(-((y - 300) / 120.0) ** 2)
            c = mix(NAVY_DEEP, NAVY_HIGH, 0.25 + 0.55 * horizon * (0.4 + 0.6 * sky_t))

            # Moonlight: a soft halo and the disc with a gentle limb.
            dx, dy = x - MOON_X, y - MOON_Y
            d = math.sqrt(dx * dx + dy * dy)
            halo = math.exp(-max(0.0, d - MOON_R) / 55.0) * 0.34
            c = mix(c, (86, 92, 120), halo)
            if d < MOON_R + 1:
                cover = clamp01(MOON_R + 0.5 - d)
                limb = 0.82 + 0.18 * (1 - (d / MOON_R) ** 2)
                crater = 1.0
                for mx, my, mr in MOON_MARIA:
                    crater -= 0.10 * smooth(1.0 - math.hypot(dx - mx, dy - my) / mr)
                moon = (236 * limb * crater, 218 * limb * crater, 170 * limb * crater)
                c = mix(c, moon, cover)

            # Stars, sparse and faint; none over the logo and the title lines.
            if y < 250 and not (x < 470 and y < 110) and d > MOON_R + 30:
                s = hash01(x, y, 3)
                if s > 0.9965:
                    bright = (s - 0.9965) / 0.0035
                    c = mix(c, (200, 210, 240), 0.25 + 0.6 * bright * (1 - y / 250))

            # Mist band between the far and the middle ridge.
            mist = math.exp(-((y - 345) / 28.0) ** 2) * (0.5 + 0.5 * value_noise(x / 60.0, 41))
            c = mix(c, (44, 52, 80), mist * 0.35)

            # Far ridge, its crest lit faintly by the moon.
            top = far[x]
            c = mix(c, (21, 26, 44), clamp01(y + 1 - top))
            rim = math.exp(-((y - top) / 1.6) ** 2) if y >= top - 2 else 0.0
            c = mix(c, (140, 128, 104), rim * 0.22 * clamp01(1 - abs(x - MOON_X) / 240.0))

            # The keep in dark silhouette on the ridge, a few windows lit.
            if KEEP_LEFT - 1 <= x <= KEEP_RIGHT and y < KEEP_GROUND + 14:
                # The walls sink into the ridge's haze instead of ending on a hard line.
                ground = 1.0 - smooth((y - (KEEP_GROUND - 12)) / 24.0)
                c = mix(c, (12, 15, 26), keep_cover(x, y) * ground)
                if keep_window(x, y):
                    c = mix(c, GOLD, 0.85)

            cover = clamp01(y + 1 - mid[x])
            if cover > 0:
                c = mix(c, (15, 19, 32), cover)
            cover = clamp01(y + 1 - near[x])
            if cover > 0:
                c = mix(c, (10, 13, 22), cover)

            # Warm glow behind the play button.
            gx, gy = (x - PLAY_X) / 190.0, (y - PLAY_Y) / 70.0
            glow = math.exp(-(gx * gx + gy * gy) * 1.6)
            c = mix(c, (96, 70, 30), glow * 0.45)

            # Gold rule above the status line, fading out at both ends.
            if y in (446, 447):
                fade = smooth(x / 120.0) * smooth((RULE_END - x) / 120.0) if x < RULE_END else 0.0
                c = mix(c, GOLD_DARK if y == 447 else GOLD, fade * (0.55 if y == 446 else 0.25))

            # Vignette toward the corners.
            vx, vy = (x - WIDTH / 2) / (WIDTH / 2), (y - HEIGHT / 2) / (HEIGHT / 2)
            c = mix(c, (4, 5, 10), clamp01((vx * vx + vy * vy - 0.55) * 0.45))

            # Thin gold frame around the borderless window.
            if x == 0 or y == 0 or x == WIDTH - 1 or y == HEIGHT - 1:
                c = mix(c, GOLD_DARK, 0.55)
            elif x == 1 or y == 1 or x == WIDTH - 2 or y == HEIGHT - 2:
                c = mix(c, (4, 5, 10), 0.6)

            # A little ordered noise against banding in the smooth gradients.
            n = (hash01(x, y, 97) - 0.5) * 1.2
            r, g, b = (int(max(0, min(255, v + n + 0.5))) for v in c)
            row[x * 3:x * 3 + 3] = bytes((b, g, r))
        rows.append(bytes(row))
    return rows


def write_bmp(path, rows):
    stride = WIDTH * 3
    assert stride % 4 == 0
    image = b"".join(reversed(rows))  # bottom-up
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 24, 0, len(image), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(image), 0, 0, 14 + len(info))
    write_atomically(path, header + info + image)


def icon_pixel(px, py):
    """RGBA of one icon pixel, from 4x4 samples: a gold diamond in a gold ring on navy."""
    samples = 4
    acc = [0.0, 0.0, 0.0, 0.0]
    for sy in range(samples):
        for sx in range(samples):
            x = px + (sx + 0.5) / samples - 16.0
            y = py + (sy + 0.5) / samples - 16.0
            r = math.hypot(x, y)
            colour, alpha = None, 0.0
            if r <= 15.6:
                colour, alpha = mix((30, 36, 58), NAVY_DEEP, r / 15.6), 1.0
            if 11.6 <= r <= 15.0:
                colour = mix((252, 220, 136), (214, 160, 60), (y + 16) / 32.0)
            if abs(x) / 6.5 + abs(y) / 9.5 <= 1.0:
                colour = mix((255, 232, 160), (226, 172, 70), (y + 9.5) / 19.0)
                if x < 0 and abs(x) / 6.5 + abs(y) / 9.5 <= 0.55:
                    colour = mix(colour, (255, 244, 200), 0.35)  # facet highlight
            if colour is not None:
                acc[0] += colour[0] * alpha
                acc[1] += colour[1] * alpha
                acc[2] += colour[2] * alpha
                acc[3] += alpha
    n = samples * samples
    a = acc[3] / n
    if a == 0:
        return (0, 0, 0, 0)
    # Colour averaged over the covered samples only; alpha carries the coverage.
    return tuple(int(round(acc[i] / acc[3])) for i in range(3)) + (int(round(a * 255)),)


def write_ico(path):
    size = 32
    pixels = [[icon_pixel(x, y) for x in range(size)] for y in range(size)]
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(size)):  # bottom-up like every DIB
        bits = 0
        for x in range(size):
            r, g, b, a = pixels[y][x]
            xor += bytes((b, g, r, a))
            bits = (bits << 1) | (1 if a == 0 else 0)
        mask += struct.pack(">I", bits)  # 32 pixels: exactly one padded row
    # The DIB of an icon has twice the height: colour image plus transparency mask.
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0,
                       0, 0, 0)
    image = info + bytes(xor) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), 6 + 16)
    write_atomically(path, directory + entry + image)


def write_atomically(path, data):
    """Both executables may ask for the pictures at once: never show a half-written file."""
    tmp = "%s.%d.tmp" % (path, os.getpid())
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, path)


def main():
    if len(sys.argv) != 2:
        sys.stderr.write(__doc__)
        return 2
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    write_bmp(os.path.join(out, "background.bmp"), background())
    write_ico(os.path.join(out, "app.ico"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
