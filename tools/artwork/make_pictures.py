#!/usr/bin/python3
"""Makes the editor's pictures: writes the vector sources to data/artwork/src/ and renders
them to the committed PNGs in data/artwork/ (8-bit RGBA, not interlaced).

Small pictures are pure SVG. The background is a material layer made here (leather grain
and brushed metal, numpy) under an SVG layer with the trim, the knob wells and the printed
captions, placed from the editor's control layout. Light comes from the top left throughout.

Needs Debian's librsvg2-bin (rsvg-convert), python3-numpy, python3-scipy, python3-pil and
fonts-dejavu-core. Output is deterministic (fixed random seeds).

Usage: /usr/bin/python3 tools/artwork/make_pictures.py [--only NAME]
"""
import argparse
import io
import math
import os
import subprocess

import numpy as np
from PIL import Image
from scipy import ndimage
from scipy.spatial import cKDTree

import editor_layout

HERE = os.path.dirname(os.path.abspath(__file__))
ART = os.path.normpath(os.path.join(HERE, "..", "..", "data", "artwork"))
SRC = os.path.join(ART, "src")

LAYOUT = editor_layout.read()
W, H = LAYOUT["canvas"]

# Editor layout in canvas units (x, y, width, height), from editor/EditorLayout.h.
KNOBS = {name: (x, y) for name, (x, y, _, _) in LAYOUT["sliders"].items()}
KNOB_SIZE = 80
TOGGLES = LAYOUT["toggles"]
COMBO = LAYOUT["cabinet"]
JACK = LAYOUT["jack"]
_site, _donate = LAYOUT["site_link"], LAYOUT["donate_link"]
LINKS = (_site[0], _site[1], _site[2], _donate[1] + _donate[3] - _site[1])
EDITOR_CAPTIONS = {text: rect for text, _, _, rect in LAYOUT["captions"]}  # painted by the editor

# Cabinet frame and control panel.
FRAME = 34          # leather border width
PANEL = (FRAME, FRAME, W - 2 * FRAME, H - 2 * FRAME)
PANEL_RADIUS = 7

INK = LAYOUT["colours"]["kInk"]          # printed captions
INK_DIM = LAYOUT["colours"]["kDimInk"]

CHROME_STOPS = [
    (0.00, "#fbfcfd"), (0.22, "#dfe4e8"), (0.44, "#8d949b"), (0.50, "#3e4349"),
    (0.56, "#6d747b"), (0.78, "#d4d9dd"), (1.00, "#8f969c"),
]


def knob_centre(name):
    x, y = KNOBS[name]
    return x + 40.0, y + 41.84


# ---------------------------------------------------------------------------------------
# SVG helpers


def stops(pairs):
    """Gradient stops from (offset, colour) or (offset, colour, opacity)."""
    out = []
    for stop in pairs:
        extra = "" if len(stop) == 2 else ' stop-opacity="%g"' % stop[2]
        out.append('<stop offset="%g" stop-color="%s"%s/>' % (stop[0], stop[1], extra))
    return "".join(out)


def linear(id_, x1, y1, x2, y2, pairs, user=True):
    units = ' gradientUnits="userSpaceOnUse"' if user else ""
    return '<linearGradient id="%s" x1="%g" y1="%g" x2="%g" y2="%g"%s>%s</linearGradient>' % (
        id_, x1, y1, x2, y2, units, stops(pairs))


def radial(id_, cx, cy, r, pairs, fx=None, fy=None):
    focus = "" if fx is None else ' fx="%g" fy="%g"' % (fx, fy)
    return ('<radialGradient id="%s" cx="%g" cy="%g" r="%g"%s gradientUnits="userSpaceOnUse">'
            '%s</radialGradient>' % (id_, cx, cy, r, focus, stops(pairs)))


def blur(id_, sd):
    return ('<filter id="%s" x="-50%%" y="-50%%" width="200%%" height="200%%">'
            '<feGaussianBlur stdDeviation="%g"/></filter>' % (id_, sd))


def svg(width, height, defs, body):
    return ('<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" viewBox="0 0 %d %d">\n'
            '<defs>\n%s\n</defs>\n%s\n</svg>\n' % (width, height, width, height, "\n".join(defs),
                                                  "\n".join(body)))


def polygon(points):
    return " ".join("%.3f,%.3f" % p for p in points)


def hexagon(cx, cy, r, rotation=0.0):
    return [(cx + r * math.cos(rotation + k * math.pi / 3), cy + r * math.sin(rotation + k * math.pi / 3))
            for k in range(6)]


def facet_shade(normal_angle):
    """Brightness 0..1 of a flat facet whose outward normal points at normal_angle (screen
    radians, y down) under light from the top left."""
    light = math.radians(225.0)
    return 0.5 + 0.5 * math.cos(normal_angle - light)


def grey(v, lo=40, hi=245):
    g = int(round(lo + (hi - lo) * max(0.0, min(1.0, v))))
    return "#%02x%02x%02x" % (g, g, g)


def hex_nut(cx, cy, r, rotation, prefix):
    """A chrome hex nut: six shaded facets round a flat top face."""
    outer = hexagon(cx, cy, r, rotation)
    inner = hexagon(cx, cy, r * 0.80, rotation)
    parts = []
    for k in range(6):
        a, b = outer[k], outer[(k + 1) % 6]
        c, d = inner[(k + 1) % 6], inner[k]
        normal = rotation + (k + 0.5) * math.pi / 3
        parts.append('<polygon points="%s" fill="%s"/>' % (polygon([a, b, c, d]),
                                                          grey(facet_shade(normal), 45, 240)))
    parts.append('<polygon points="%s" fill="url(#%sface)"/>' % (polygon(inner), prefix))
    parts.append('<polygon points="%s" fill="none" stroke="#1c1f22" stroke-width="0.7" '
                 'stroke-linejoin="round"/>' % polygon(outer))
    defs = [linear(prefix + "face", cx - r, cy - r, cx + 0.6 * r, cy + r, CHROME_STOPS)]
    return defs, parts


# ---------------------------------------------------------------------------------------
# Bat-handle toggle switch, 52 x 52, lever thrown down or up.
#
# The lever fills the picture from the pivot to the ball tip near the edge, so its direction
# reads at a glance even on the 42-unit reverb-type switch. The editor's captions lie outside
# the switch's box.


def bat_switch(lever_down):
    cx, cy = 26.0, 26.0
    sign = 1.0 if lever_down else -1.0
    length = 17.0                      # pivot to the centre of the ball tip
    tip = cy + sign * length
    tip_rx, tip_ry = 6.2, 5.2

    def lever_path():
        # Tapered bat: narrow at the pivot, flaring to the ball tip.
        y0, y1 = cy, tip - sign * 2.0
        ym = cy + sign * length * 0.55
        return ("M %.2f %.2f L %.2f %.2f Q %.2f %.2f %.2f %.2f L %.2f %.2f Q %.2f %.2f %.2f %.2f L %.2f %.2f Z" %
                (cx - 2.9, y0, cx - 3.4, ym, cx - 5.3, y1 - sign * 3.0, cx - 5.3, y1,
                 cx + 5.3, y1, cx + 5.3, y1 - sign * 3.0, cx + 3.4, ym, cx + 2.9, y0))

    defs = [
        blur("soft", 1.0), blur("softer", 1.3),
        radial("washer", cx - 5, cy - 6, 19, [(0, "#ffffff"), (0.45, "#c3c8cd"), (0.8, "#6f767d"),
                                               (1, "#3a3f44")]),
        radial("bushing", cx - 3, cy - 4, 13, [(0, "#d8dde1"), (0.5, "#7d848b"), (1, "#2c3034")]),
        radial("ball", cx - 2, cy - 2, 6.2, [(0, "#ffffff"), (0.35, "#dfe3e7"), (0.8, "#70777e"),
                                             (1, "#32363a")]),
        linear("shaft", cx - 5.3, 0, cx + 5.3, 0, [(0, "#50565c"), (0.22, "#f6f8f9"), (0.42, "#ffffff"),
                                               (0.6, "#a5acb2"), (0.85, "#4b5056"), (1, "#2a2e32")]),
        radial("tipball", cx - 2, tip - 2, 6.8, [(0, "#ffffff"), (0.3, "#eef1f3"), (0.75, "#7c838a"),
                                                 (1, "#33373b")]),
    ]
    nut_defs, nut = hex_nut(cx, cy, 17.0, math.radians(30), "nut")
    defs += nut_defs

    body = [
        # Shadow of nut and lever on the panel, down and to the right.
        '<g filter="url(#softer)" opacity="0.55" transform="translate(1.4,1.6)">'
        '<circle cx="%g" cy="%g" r="16.4"/><path d="%s"/><ellipse cx="%g" cy="%g" rx="%g" ry="%g"/></g>'
        % (cx, cy, lever_path(), cx, tip, tip_rx - 0.5, tip_ry - 0.4),
    ]
    body += nut
    body += [
        '<circle cx="%g" cy="%g" r="11.4" fill="url(#washer)" stroke="#24282b" stroke-width="0.6"/>' % (cx, cy),
        '<circle cx="%g" cy="%g" r="8.6" fill="url(#bushing)"/>' % (cx, cy),
        '<circle cx="%g" cy="%g" r="7.2" fill="none" stroke="#1f2225" stroke-width="0.5" opacity="0.8"/>'
        % (cx, cy),
        '<circle cx="%g" cy="%g" r="5.8" fill="none" stroke="#e6eaed" stroke-width="0.4" opacity="0.6"/>'
        % (cx, cy),
        # Lever shadow on the nut itself.
        '<g filter="url(#soft)" opacity="0.6" transform="translate(1.2,1.4)"><path d="%s"/>'
        '<ellipse cx="%g" cy="%g" rx="%g" ry="%g"/></g>' % (lever_path(), cx, tip, tip_rx - 0.8, tip_ry - 0.6),
        '<path d="%s" fill="url(#shaft)" stroke="#25292c" stroke-width="0.6"/>' % lever_path(),
        '<circle cx="%g" cy="%g" r="4.6" fill="url(#ball)" stroke="#2a2e31" stroke-width="0.4"/>' % (cx, cy),
        '<ellipse cx="%g" cy="%g" rx="%g" ry="%g" fill="url(#tipball)" stroke="#24282b" '
        'stroke-width="0.6"/>' % (cx, tip, tip_rx, tip_ry),
        '<ellipse cx="%g" cy="%g" rx="1.9" ry="1.1" fill="#ffffff" opacity="0.9"/>' % (cx - 1.9, tip - 1.9),
    ]
    return svg(52, 52, defs, body)


# ---------------------------------------------------------------------------------------
# LED push button, 50 x 70, shown at 25 x 32 units on the panel. It is drawn in a 50 x 64
# design space (the on-screen aspect) and stretched to 50 x 70, so that the editor's stretch
# to 25 x 32 brings the LED back round.

LED_DESIGN_HEIGHT = 64.0


def led_button(lit):
    led_x, led_y = 25.0, 17.5
    defs = [
        blur("shadow", 1.6), blur("glow", 3.0),
        linear("housing", 0, 0, 36, 64, [(0, "#4a4e54"), (0.35, "#2a2d31"), (1, "#111214")]),
        linear("rim", 0, 0, 44, 64, [(0, "#8a9096"), (0.4, "#3b3f44"), (1, "#060707")]),
        linear("bezel", led_x - 12, led_y - 12, led_x + 10, led_y + 12, CHROME_STOPS),
        linear("pad", 0, 34, 30, 62, [(0, "#5a5e64"), (0.45, "#34373b"), (1, "#17181a")]),
        linear("padrim", 10, 34, 38, 62, [(0, "#9aa0a6"), (0.5, "#2b2e31"), (1, "#050505")]),
    ]
    if lit:
        defs.append(radial("led", led_x - 2, led_y - 2.4, 10.5,
                           [(0, "#fff4ee"), (0.25, "#ff6a55"), (0.6, "#f01a10"), (1, "#8c0500")]))
    else:
        defs.append(radial("led", led_x - 2, led_y - 2.4, 10.5,
                           [(0, "#8a3a36"), (0.3, "#5e1210"), (0.75, "#360605"), (1, "#1c0202")]))
    body = [
        '<g transform="scale(1 %g)">' % (70.0 / LED_DESIGN_HEIGHT),
        '<rect x="2.5" y="2.5" width="46" height="60.5" rx="5" filter="url(#shadow)" opacity="0.6"/>',
        '<rect x="1" y="1" width="46" height="60" rx="5" fill="url(#housing)" stroke="url(#rim)" '
        'stroke-width="1.2"/>',
        '<rect x="2.8" y="2.8" width="42.4" height="56.4" rx="3.8" fill="none" stroke="#ffffff" '
        'stroke-opacity="0.08" stroke-width="0.8"/>',
    ]
    if lit:
        body.append('<circle cx="%g" cy="%g" r="14" fill="#ff2a10" filter="url(#glow)" opacity="0.75"/>'
                    % (led_x, led_y))
    body += [
        '<circle cx="%g" cy="%g" r="12.2" fill="url(#bezel)" stroke="#1b1d20" stroke-width="0.7"/>'
        % (led_x, led_y),
        '<circle cx="%g" cy="%g" r="9.6" fill="#0b0b0b"/>' % (led_x, led_y),
        '<circle cx="%g" cy="%g" r="9.0" fill="url(#led)"/>' % (led_x, led_y),
        '<ellipse cx="%g" cy="%g" rx="3.4" ry="2.1" fill="#ffffff" opacity="%g" '
        'transform="rotate(-30 %g %g)"/>' % (led_x - 2.8, led_y - 3.4, 0.85 if lit else 0.45,
                                               led_x - 2.8, led_y - 3.4),
        # The square pad: a raised cap in a dark recess.
        '<rect x="9" y="33" width="30" height="26" rx="3.5" fill="#08090a"/>',
        '<rect x="11" y="35" width="26" height="22" rx="2.5" fill="url(#pad)" stroke="url(#padrim)" '
        'stroke-width="0.9"/>',
        '<rect x="14" y="38" width="20" height="16" rx="1.8" fill="#ffffff" fill-opacity="0.03" '
        'stroke="#000000" stroke-opacity="0.35" stroke-width="0.6"/>',
        '<path d="M 12.2 55 L 12.2 37.5 Q 12.2 36.2 13.5 36.2 L 35 36.2" fill="none" stroke="#ffffff" '
        'stroke-opacity="0.28" stroke-width="0.8"/>',
    ]
    if lit:
        # Red light falling on the housing below the LED.
        body.append('<ellipse cx="%g" cy="%g" rx="16" ry="6" fill="#ff3010" opacity="0.12" '
                    'filter="url(#glow)"/>' % (led_x, led_y + 12))
    body.append('</g>')
    return svg(50, 70, defs, body)


# ---------------------------------------------------------------------------------------
# Input jack, 58 x 60: a chrome socket seen from the front.


def jack():
    cx, cy = 28.0, 28.0
    defs = [
        blur("shadow", 2.0),
        radial("washer", cx - 8, cy - 9, 30, [(0, "#ffffff"), (0.35, "#cfd4d8"), (0.7, "#7b828a"),
                                               (1, "#3d4247")]),
        radial("sleeve", cx - 4, cy - 5, 14, [(0, "#e4e8eb"), (0.55, "#858c93"), (1, "#2a2e32")]),
        radial("hole", cx + 1.5, cy + 2, 8, [(0, "#1a1a1a"), (0.6, "#050505"), (1, "#000000")]),
        linear("lip", cx - 7, cy - 7, cx + 7, cy + 7, [(0, "#101214"), (0.55, "#3a3f44"), (1, "#c9ced3")]),
    ]
    nut_defs, nut = hex_nut(cx, cy, 19.0, 0.0, "nut")
    defs += nut_defs
    body = [
        '<circle cx="%g" cy="%g" r="24.5" filter="url(#shadow)" opacity="0.6" transform="translate(2,3)"/>'
        % (cx, cy),
        '<circle cx="%g" cy="%g" r="25" fill="url(#washer)" stroke="#202326" stroke-width="0.7"/>' % (cx, cy),
        '<circle cx="%g" cy="%g" r="23.2" fill="none" stroke="#ffffff" stroke-opacity="0.35" '
        'stroke-width="0.6"/>' % (cx, cy),
    ]
    body += nut
    body += [
        '<circle cx="%g" cy="%g" r="11.8" fill="url(#sleeve)" stroke="#1a1d20" stroke-width="0.6"/>' % (cx, cy),
        '<circle cx="%g" cy="%g" r="10.3" fill="none" stroke="#22262a" stroke-width="0.6" opacity="0.7"/>'
        % (cx, cy),
        '<circle cx="%g" cy="%g" r="9.0" fill="none" stroke="#f0f3f5" stroke-width="0.5" opacity="0.5"/>'
        % (cx, cy),
        '<circle cx="%g" cy="%g" r="7.6" fill="url(#lip)"/>' % (cx, cy),
        '<circle cx="%g" cy="%g" r="6.5" fill="url(#hole)"/>' % (cx, cy),
        # A glint of the tip contact deep in the hole.
        '<path d="M %g %g a 3.2 3.2 0 0 0 4.4 -1.2" fill="none" stroke="#9aa0a6" stroke-width="0.7" '
        'opacity="0.55"/>' % (cx + 0.2, cy + 3.0),
        '<ellipse cx="%g" cy="%g" rx="5" ry="2" fill="#ffffff" opacity="0.55" '
        'transform="rotate(-40 %g %g)"/>' % (cx - 9, cy - 9, cx - 9, cy - 9),
    ]
    return svg(58, 60, defs, body)


# ---------------------------------------------------------------------------------------
# Background: materials


def smooth_noise(rng, shape, sigma):
    return ndimage.gaussian_filter(rng.standard_normal(shape), sigma, mode="wrap")


def normalise(a):
    a = a - a.mean()
    return a / (np.abs(a).max() + 1e-9)


def leather(rng):
    """Black pebble-grain leather: Worley cells as rounded pebbles between fine creases,
    shaded from the top left."""
    ys, xs = np.mgrid[0:H, 0:W].astype(np.float64)
    n = 26000
    pts = np.column_stack([rng.uniform(-8, W + 8, n), rng.uniform(-8, H + 8, n)])
    d, _ = cKDTree(pts).query(np.column_stack([xs.ravel(), ys.ravel()]), k=2)
    f1 = d[:, 0].reshape(H, W)
    f2 = d[:, 1].reshape(H, W)
    edge = np.clip((f2 - f1) / 2.2, 0.0, 1.0)            # 0 in the creases, 1 inside a pebble
    pebble = 1.0 - (1.0 - edge) ** 2.5
    height = ndimage.gaussian_filter(pebble, 0.55) + 0.6 * smooth_noise(rng, (H, W), 0.9)
    height += 0.8 * smooth_noise(rng, (H, W), 6.0)       # slow undulation of the hide
    gy, gx = np.gradient(height)
    shade = -(gx + gy) * 0.7071                          # facing the light at the top left
    lum = 15.0 + 7.0 * pebble + 38.0 * shade + 2.5 * normalise(smooth_noise(rng, (H, W), 25))
    lum = np.clip(lum, 3, 70)
    return np.stack([lum * 1.0, lum * 0.975, lum * 0.95], axis=-1)


def brushed_metal(rng):
    """Dark brushed aluminium, brushed horizontally, with a broad sheen from the top left."""
    fine = rng.standard_normal((H, W))
    streaks = ndimage.uniform_filter1d(fine, 90, axis=1, mode="wrap")
    streaks = ndimage.gaussian_filter1d(streaks, 0.6, axis=0)
    fine_streaks = ndimage.uniform_filter1d(rng.standard_normal((H, W)), 14, axis=1, mode="wrap")
    rows = ndimage.gaussian_filter1d(rng.standard_normal(H), 2.0)
    t = normalise(streaks) * 0.55 + normalise(fine_streaks) * 0.3 + normalise(rows)[:, None] * 0.25
    ys, xs = np.mgrid[0:H, 0:W].astype(np.float64)
    sheen = np.exp(-(((xs - 260) / 520.0) ** 2 + ((ys - 60) / 260.0) ** 2))
    lum = 47.0 + 11.0 * t + 16.0 * sheen - 8.0 * (ys / H)
    rgb = np.stack([lum * 0.985, lum * 1.0, lum * 1.03], axis=-1)
    return rgb


def rounded_rect_sdf(x, y, w, h, r):
    ys, xs = np.mgrid[0:H, 0:W].astype(np.float64) + 0.5
    cx, cy = x + w / 2.0, y + h / 2.0
    qx = np.abs(xs - cx) - (w / 2.0 - r)
    qy = np.abs(ys - cy) - (h / 2.0 - r)
    outside = np.hypot(np.maximum(qx, 0), np.maximum(qy, 0))
    inside = np.minimum(np.maximum(qx, qy), 0)
    return outside + inside - r  # negative inside


def materials(rng):
    skin = leather(rng)
    metal = brushed_metal(rng)
    sdf = rounded_rect_sdf(*PANEL, PANEL_RADIUS)
    inside = np.clip(0.5 - sdf, 0.0, 1.0)[..., None]

    ys, xs = np.mgrid[0:H, 0:W].astype(np.float64) + 0.5
    # The panel sits recessed below the leather: the lip shades its top and left edges and
    # leaves a thin lit edge at the bottom and right.
    px, py, pw, ph = PANEL
    d_top, d_left = ys - py, xs - px
    d_bottom, d_right = py + ph - ys, px + pw - xs
    shadow = 0.55 * np.exp(-np.clip(d_top, 0, None) / 5.0) + 0.45 * np.exp(-np.clip(d_left, 0, None) / 5.0)
    lit = 0.35 * np.exp(-np.clip(d_bottom, 0, None) / 1.2) + 0.3 * np.exp(-np.clip(d_right, 0, None) / 1.2)
    metal = metal * (1.0 - np.clip(shadow, 0, 0.75))[..., None] + 70.0 * lit[..., None]

    # The leather rolls over the cabinet's outer edges: darker towards the rim, a soft
    # highlight on the top-left roll.
    e = np.minimum.reduce([xs, ys, W - xs, H - ys])
    roll = np.clip(1.0 - e / 9.0, 0, 1) ** 2
    top_left = (xs < 9) | (ys < 9)
    skin = skin * (1.0 - 0.55 * roll)[..., None]
    skin = skin + (18.0 * roll * top_left * (1.0 - np.clip((xs + ys) / (W + H), 0, 1)))[..., None]
    # The leather's own inner edge, where it folds down into the panel recess.
    fold = np.exp(-np.clip(sdf, 0, None) / 2.5) * (sdf > 0)
    skin = skin * (1.0 - 0.35 * fold)[..., None]

    rgb = skin * (1.0 - inside) + metal * inside
    return np.clip(rgb, 0, 255)


# ---------------------------------------------------------------------------------------
# Background: trim and captions


def text(x, y, s, size, colour=INK, anchor="middle", spacing=1.0, weight="bold", opacity=1.0):
    return ('<text x="%g" y="%g" font-family="DejaVu Sans" font-weight="%s" font-size="%g" '
            'letter-spacing="%g" text-anchor="%s" fill="%s" fill-opacity="%g">%s</text>'
            % (x, y, weight, size, spacing, anchor, colour, opacity, s))


def corner_guard(corner):
    """Chrome corner protector over a cabinet corner: a domed cap with a screw. Its outline
    is mirrored per corner in canvas coordinates; the reflections are not, so the light stays
    at the top left."""
    sx = -1.0 if corner in ("tr", "br") else 1.0
    sy = -1.0 if corner in ("bl", "br") else 1.0
    ox = W if sx < 0 else 0.0
    oy = H if sy < 0 else 0.0

    def pt(x, y):
        return "%.2f %.2f" % (ox + sx * x, oy + sy * y)

    s = 50.0
    # Straight along the cabinet edges, a rounded convex sweep across the corner.
    shape = "M %s L %s Q %s %s C %s %s %s L %s Q %s %s Z" % (
        pt(-2, -2), pt(s - 5, -2), pt(s + 1, 0), pt(s, 7), pt(s - 2, 30), pt(30, s - 2), pt(7, s),
        pt(0, s + 1), pt(-2, s - 5), pt(-2, -2))
    rim = "M %s Q %s %s C %s %s %s Q %s %s" % (
        pt(s - 3.2, 1.0), pt(s - 1.8, 2.0), pt(s - 2.0, 7.5), pt(s - 4, 28), pt(28, s - 4), pt(7.5, s - 2.0),
        pt(2.0, s - 1.8), pt(1.0, s - 3.2))
    scx, scy = ox + sx * 17.0, oy + sy * 17.0
    dcx, dcy = ox + sx * 16.0, oy + sy * 16.0   # top of the dome
    id_ = "guard_" + corner
    defs = [
        radial(id_, dcx, dcy, 46, [(0, "#e4e8eb"), (0.3, "#b3bac0"), (0.52, "#646c73"), (0.66, "#3f454b"),
                                   (0.8, "#aab1b7"), (0.92, "#eef1f3"), (1, "#7a8188")],
               fx=dcx - 9, fy=dcy - 9),
        radial(id_ + "screw", scx - 1.8, scy - 1.8, 6.5,
               [(0, "#ffffff"), (0.4, "#c6cbd0"), (0.85, "#5d646b"), (1, "#2e3236")]),
    ]
    body = [
        '<path d="%s" fill="#000" opacity="0.7" filter="url(#guardshadow)" transform="translate(2.5,3)"/>'
        % shape,
        '<path d="%s" fill="url(#%s)" stroke="#1b1e21" stroke-width="0.9"/>' % (shape, id_),
        '<path d="%s" fill="none" stroke="%s" stroke-opacity="0.5" stroke-width="1.0"/>'
        % (rim, "#ffffff" if sx + sy > 0 else "#20242a"),
        '<circle cx="%g" cy="%g" r="6.2" fill="#000" opacity="0.45" filter="url(#soft)"/>' % (scx + 0.8, scy + 1),
        '<circle cx="%g" cy="%g" r="5.2" fill="url(#%sscrew)" stroke="#24282b" stroke-width="0.6"/>'
        % (scx, scy, id_),
        '<path d="M %g %g L %g %g" stroke="#2a2e32" stroke-width="1.2" stroke-linecap="round"/>'
        % (scx - 3.2, scy + 1.6, scx + 3.2, scy - 1.6),
        '<path d="M %g %g L %g %g" stroke="#ffffff" stroke-opacity="0.5" stroke-width="0.5"/>'
        % (scx - 3.0, scy + 2.4, scx + 3.4, scy - 0.8),
    ]
    return defs, body


def knob_well(name):
    cx, cy = knob_centre(name)
    return [
        # A shallow dished seat: dark inside, engraved rim lit on the bottom right.
        '<g transform="translate(%g,%g)"><circle r="36" fill="url(#well)"/>'
        '<circle r="36" fill="none" stroke="url(#wellrim)" stroke-width="1.1"/></g>' % (cx, cy),
    ]


def overlay():
    defs = [
        blur("guardshadow", 2.2), blur("soft", 1.2),
        radial("well", 0, 0, 36, [(0, "#000000", 0.16), (0.82, "#000000", 0.16), (1, "#000000", 0.32)]),
        linear("wellrim", -27, -27, 27, 27, [(0, "#000000", 0.55), (0.5, "#000000", 0.1),
                                            (1, "#ffffff", 0.28)]),
        linear("inset", COMBO[0], COMBO[1] - 10, COMBO[0] + 60, COMBO[1] + COMBO[3] + 40,
               [(0, "#000000", 0.7), (0.6, "#000000", 0.3), (1, "#ffffff", 0.25)]),
        linear("piping", PANEL[0], PANEL[1], PANEL[0] + 300, PANEL[1] + PANEL[3],
               [(0, "#ece8df"), (0.5, "#b9b4a9"), (1, "#8e8a81")]),
    ]

    body = []
    px, py, pw, ph = PANEL
    # Piping round the panel.
    body.append('<rect x="%g" y="%g" width="%g" height="%g" rx="%g" fill="none" stroke="#000" '
                'stroke-opacity="0.5" stroke-width="3.2" filter="url(#soft)" transform="translate(0.8,1.2)"/>'
                % (px, py, pw, ph, PANEL_RADIUS))
    body.append('<rect x="%g" y="%g" width="%g" height="%g" rx="%g" fill="none" stroke="url(#piping)" '
                'stroke-width="2.4"/>' % (px, py, pw, ph, PANEL_RADIUS))
    body.append('<rect x="%g" y="%g" width="%g" height="%g" rx="%g" fill="none" stroke="#ffffff" '
                'stroke-opacity="0.45" stroke-width="0.6"/>' % (px - 0.5, py - 0.5, pw + 1, ph + 1,
                                                                 PANEL_RADIUS + 0.5))

    for name in KNOBS:
        body += knob_well(name)

    # Printed section frames: the two channels, and presence with the reverb.
    body.append('<rect x="50" y="45" width="614" height="196" rx="6" fill="none" stroke="%s" '
                'stroke-opacity="0.35" stroke-width="1"/>' % INK)
    body.append('<rect x="668" y="86" width="242" height="155" rx="6" fill="none" stroke="%s" '
                'stroke-opacity="0.35" stroke-width="1"/>' % INK)
    # Lower section: the input with the bright switch, and a dark inset window for the
    # cabinet selector.
    body.append('<rect x="50" y="263" width="134" height="95" rx="6" fill="none" stroke="%s" '
                'stroke-opacity="0.35" stroke-width="1"/>' % INK)
    cx, cy, cw, ch = COMBO
    body.append('<rect x="%g" y="%g" width="%g" height="%g" rx="6" fill="#000" fill-opacity="0.28" '
                'stroke="url(#inset)" stroke-width="1.2"/>' % (cx - 10, cy - 10, cw + 20, ch + 20))
    # Divider above the input and cabinet section.
    body.append('<line x1="50" y1="257" x2="910" y2="257" stroke="#000" stroke-opacity="0.5" '
                'stroke-width="1"/>')
    body.append('<line x1="50" y1="258" x2="910" y2="258" stroke="#fff" stroke-opacity="0.12" '
                'stroke-width="1"/>')

    # Channel rows, at the left of each row of knobs.
    clean_y = knob_centre("preGainClean")[1]
    drive_y = knob_centre("preGainDrive")[1]
    body.append(text(89, clean_y + 4.5, "CLEAN", 12, spacing=1.2))
    body.append(text(89, drive_y + 4.5, "DRIVE", 12, spacing=1.2))
    # Column captions in the band between the rows.
    # Clear of the clean row's seats above and the drive row's index marks below.
    band_y = 139.0
    for caption, name in [("GAIN", "preGainClean"), ("LOW", "bassClean"), ("MID", "mediumClean"),
                          ("HIGH", "highClean"), ("VOLUME", "volumeClean")]:
        body.append(text(knob_centre(name)[0], band_y, caption, 10, spacing=1.4))
    # The drive channel's tone knob has no clean partner: its caption sits under it.
    fx, fy = knob_centre("flavorDrive")
    body.append(text(fx, fy + 46.5, "FLAVOR", 10.5, spacing=1.4))
    # Under presence and reverb.
    for caption, name in [("PRESENCE", "presence"), ("REVERB", "reverb")]:
        x, y = knob_centre(name)
        body.append(text(x, y + 46.5, caption, 10.5, spacing=1.4))
    # Reverb switches: type (lever up 1, down 2) and the high-quality push button.
    sx, sy, sw, sh = TOGGLES["reverbType2"]
    body.append(text(sx + sw / 2.0, sy - 4.5, "TYPE", 8.5, spacing=1.1))
    body.append(text(sx + sw + 9.0, sy + 12.0, "I", 9, spacing=0))
    body.append(text(sx + sw + 9.0, sy + sh - 4.0, "II", 9, spacing=0))
    hx, hy, hw, hh = TOGGLES["hqReverb"]
    body.append(text(hx + hw / 2.0, hy + hh + 10.5, "HQ", 8.5, spacing=1.1))

    corners = {"topLeft": "tl", "topRight": "tr", "bottomLeft": "bl", "bottomRight": "br"}
    for name in LAYOUT["corner_caps"]:
        d, b = corner_guard(corners[name])
        defs += d
        body += b
    return svg(W, H, defs, body)


# ---------------------------------------------------------------------------------------
# Rendering


def render(svg_text, width, height):
    out = subprocess.run(["rsvg-convert", "--format=png", "--width=%d" % width, "--height=%d" % height],
                         input=svg_text.encode(), stdout=subprocess.PIPE, check=True).stdout
    img = Image.open(io.BytesIO(out)).convert("RGBA")
    assert img.size == (width, height), img.size
    return img


def save_png(img, name):
    assert img.mode == "RGBA"
    path = os.path.join(ART, name + ".png")
    img.save(path, format="PNG", optimize=True)
    print("%s: %d x %d, %d bytes" % (path, img.size[0], img.size[1], os.path.getsize(path)))
    return path


def write_source(name, text_):
    os.makedirs(SRC, exist_ok=True)
    with open(os.path.join(SRC, name + ".svg"), "w") as fh:
        fh.write(text_)


def background():
    rng = np.random.default_rng(20260101)
    base = materials(rng)
    base_img = Image.fromarray(np.round(base).astype(np.uint8), "RGB").convert("RGBA")
    top = overlay()
    write_source("background-overlay", top)
    img = Image.alpha_composite(base_img, render(top, W, H))
    return img


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--only", help="make only this picture")
    args = parser.parse_args()
    pictures = {
        "bat_switch_down": (lambda: bat_switch(True), 52, 52),
        "bat_switch_up": (lambda: bat_switch(False), 52, 52),
        "led_button_lit": (lambda: led_button(True), 50, 70),
        "led_button_dark": (lambda: led_button(False), 50, 70),
        "jack": (jack, 58, 60),
    }
    for name, (make, w, h) in pictures.items():
        if args.only and args.only != name:
            continue
        source = make()
        write_source(name, source)
        save_png(render(source, w, h), name)
    if not args.only or args.only == "background":
        save_png(background(), "background")


if __name__ == "__main__":
    main()
