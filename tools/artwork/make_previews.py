#!/usr/bin/python3
"""Review images for the editor's artwork, written to docs/artwork/:

- layout-overlay.png: the background with every control's bounds, the knob bodies, the
  captions the editor paints, the jack, the link buttons and the cabinet selector outlined;
- editor-preview.png: an approximation of the finished editor at 1:1 (knobs drawn the way
  the editor's knob look draws them, pictures stretched to their controls' bounds, the
  editor's own captions), for judging the artwork in place.

Usage: /usr/bin/python3 tools/artwork/make_previews.py
"""
import base64
import math
import os

import make_pictures as mp

DOCS = os.path.normpath(os.path.join(mp.HERE, "..", "..", "docs", "artwork"))


def data_uri(name):
    with open(os.path.join(mp.ART, name + ".png"), "rb") as fh:
        return "data:image/png;base64," + base64.b64encode(fh.read()).decode()


def image(name, x, y, w, h):
    return ('<image x="%g" y="%g" width="%g" height="%g" preserveAspectRatio="none" href="%s"/>'
            % (x, y, w, h, data_uri(name)))


def rect(b, colour, dash=False, width=1.0):
    x, y, w, h = b
    extra = ' stroke-dasharray="3,2"' if dash else ""
    return ('<rect x="%g" y="%g" width="%g" height="%g" fill="%s" fill-opacity="0.12" stroke="%s" '
            'stroke-width="%g"%s/>' % (x + 0.5, y + 0.5, w - 1, h - 1, colour, colour, width, extra))


def label(x, y, s, colour):
    return ('<text x="%g" y="%g" font-family="DejaVu Sans" font-size="7" fill="%s" stroke="#000" '
            'stroke-width="1.6" paint-order="stroke">%s</text>' % (x, y, colour, s))


def overlay_svg():
    body = [image("background", 0, 0, mp.W, mp.H)]
    for name, (x, y) in mp.KNOBS.items():
        cx, cy = mp.knob_centre(name)
        r = 0.95 * 0.47 * (80 - 8)
        body.append(rect((x, y, 80, 80), "#00e0ff"))
        body.append('<circle cx="%g" cy="%g" r="%g" fill="none" stroke="#ffe000" stroke-width="0.8"/>'
                    % (cx, cy, r))
        body.append('<rect x="%g" y="%g" width="1.6" height="8" fill="#ffe000"/>' % (cx - 0.8, y))
        body.append(label(x + 2, y + 78, name, "#00e0ff"))
    for name, b in mp.TOGGLES.items():
        body.append(rect(b, "#40ff40"))
        body.append(label(b[0], b[1] + b[3] + 7, name, "#40ff40"))
    body.append(rect(mp.COMBO, "#ff60ff"))
    body.append(label(mp.COMBO[0] + 2, mp.COMBO[1] - 2, "cab", "#ff60ff"))
    body.append(rect(mp.JACK, "#ff8000"))
    body.append(label(mp.JACK[0], mp.JACK[1] - 2, "jack 46x48", "#ff8000"))
    body.append(rect(mp.LINKS, "#ff4040", dash=True))
    body.append(label(mp.LINKS[0] + 2, mp.LINKS[1] + 9, "link buttons", "#ff4040"))
    for caption, b in mp.EDITOR_CAPTIONS.items():
        body.append(rect(b, "#ff4040", dash=True))
        body.append(label(b[0] + 1, b[1] + 7, '"%s"' % caption, "#ff4040"))
    return mp.svg(mp.W, mp.H, [], body)


def knob_svg(name, pos, uid):
    """The knob as the editor's look draws it for an 80 x 80 slider at sliderPos = pos."""
    x, y = mp.KNOBS[name]
    w = h = 80.0
    m = 0.1 * h
    R = 0.47 * (h - m)
    cx, cy = x + 0.5 * w, y + m + R
    start, end = 1.2 * math.pi, 2.8 * math.pi
    sweep_deg = math.degrees(end - start)

    def grad(id_, px, py, qx, qy, a, b):
        return mp.radial(id_, px, py, math.hypot(qx - px, qy - py), [(0, a), (1, b)])

    r0, r1b = 0.95 * R, 0.9 * R
    cap = 0.6 * r1b
    inner = 0.8 * cap
    defs = [
        mp.blur("ks", 2.0),
        grad(uid + "b", cx - 0.7 * r0, cy - 0.7 * r0, cx, cy, "#8c8c8c", "#0f0f0f"),
        grad(uid + "b2", cx - 0.7 * r1b, cy - 0.7 * r1b, cx, cy, "#c8c8c8", "#0f0f0f"),
        grad(uid + "c", cx - 0.7 * cap, cy - 0.7 * cap, cx, cy, "#c8c8c8", "#1e1e1e"),
        grad(uid + "i", cx - 0.5 * inner, cy - 0.5 * inner, cx + 10, cy + 10, "#ffffff", "#969696"),
        mp.radial(uid + "k", cx, cy, inner, [(0, "#969696"), (1, "#ffffff")]),
    ]
    k = int(0.12 * r0)
    k1 = int(0.27 * cap)
    body = [
        '<rect x="%g" y="%g" width="%g" height="%g" fill="#faebd7"/>' % (cx - 0.01 * w, y, 0.02 * w, m),
        '<circle cx="%g" cy="%g" r="%g" filter="url(#ks)" transform="translate(%d,%d)"/>' % (cx, cy, r0, k, k),
        '<circle cx="%g" cy="%g" r="%g" fill="url(#%sb)"/>' % (cx, cy, r0, uid),
        '<circle cx="%g" cy="%g" r="%g" fill="url(#%sb2)"/>' % (cx, cy, r1b, uid),
    ]
    box_h = 0.2 * R
    top = cy - 0.9 * R + 2
    for j in range(11):
        bw = 0.7 * box_h if j < 10 else box_h
        angle = (pos - j / 10.0) * sweep_deg
        colour = "#ff0000" if j == 5 else "#f5f5f5"
        # DejaVu Sans Bold numerals are about 0.73 em high and 0.6 em wide.
        size = box_h / 0.73
        sx = bw / (size * (0.6 if j < 10 else 1.2))
        body.append('<g transform="rotate(%g %g %g)"><text transform="translate(%g %g) scale(%g 1)" '
                    'font-family="DejaVu Sans" font-weight="bold" font-size="%g" text-anchor="middle" '
                    'fill="%s">%d</text></g>' % (angle, cx, cy, cx, top + box_h, sx, size, colour, j))
    body += [
        '<circle cx="%g" cy="%g" r="%g" filter="url(#ks)" transform="translate(%d,%d)"/>'
        % (cx, cy, cap, k1, k1),
        '<circle cx="%g" cy="%g" r="%g" fill="url(#%sc)"/>' % (cx, cy, cap, uid),
        '<circle cx="%g" cy="%g" r="%g" fill="url(#%si)"/>' % (cx, cy, inner, uid),
    ]
    turn = pos * sweep_deg
    bars = "".join('<rect x="%g" y="%g" width="2" height="%g" transform="rotate(%g %g %g)"/>'
                   % (cx - 1, cy - inner, 2 * inner, 18 * n + turn, cx, cy) for n in range(10))
    body.append('<g fill="url(#%sk)">%s</g>' % (uid, bars))
    return defs, body


def caption(s, b, colour, family, size):
    x, y, w, h = b
    return ('<text x="%g" y="%g" font-family="%s" font-weight="bold" font-size="%g" text-anchor="middle" '
            'fill="%s">%s</text>' % (x + w / 2.0, y + h - 0.22 * size, family, size, colour, s))


def preview_svg():
    positions = {"preGainClean": 0.1, "preGainDrive": 0.48, "flavorDrive": 0.5, "volumeClean": 0.5,
                 "volumeDrive": 0.5}
    defs, body = [], [image("background", 0, 0, mp.W, mp.H), image("jack", *mp.JACK)]
    for n, name in enumerate(mp.KNOBS):
        d, b = knob_svg(name, positions.get(name, 0.5), "k%d" % n)
        defs += d
        body += b
    states = {"boost": False, "hqReverb": True, "chanelDrive": False, "bright": True, "reverbType2": False}
    for name, on in states.items():
        x, y, w, h = mp.TOGGLES[name]
        if name in ("boost", "hqReverb"):
            pic = "led_button_lit" if on else "led_button_dark"
        else:
            pic = "bat_switch_down" if on else "bat_switch_up"
        body.append(image(pic, x, y, w, h))
    # The editor's own captions, in the caption face (a font height is 1.164 em in DejaVu Sans).
    body += [caption(text, rect, colour, "DejaVu Sans", height / 1.164)
             for text, colour, height, rect in mp.LAYOUT["captions"]]
    x, y, w, h = mp.COMBO
    body += [
        '<rect x="%g" y="%g" width="%g" height="%g" rx="3" fill="%s" stroke="%s"/>'
        % (x + 0.5, y + 0.5, w - 1, h - 1, mp.LAYOUT["colours"]["kInset"], mp.LAYOUT["colours"]["kInsetText"]),
        '<text x="%g" y="%g" font-family="DejaVu Sans" font-weight="bold" font-size="13.7" fill="%s">none</text>'
        % (x + 8, y + 25, mp.LAYOUT["colours"]["kInsetText"]),
        '<path d="M %g %g l 10 0 l -5 7 z" fill="%s"/>' % (x + w - 24, y + 17, mp.LAYOUT["colours"]["kInsetText"]),
    ]
    lx, ly, lw, _ = mp.LINKS
    for n, s in enumerate(["site link", "Pay me a beer"]):
        body.append('<text x="%g" y="%g" font-family="DejaVu Sans" font-size="13" text-anchor="end" '
                    'fill="#b4b4b4">%s</text>' % (lx + lw, ly + 14 + 18 * n, s))
    return mp.svg(mp.W, mp.H, defs, body)


def main():
    os.makedirs(DOCS, exist_ok=True)
    for name, make in [("layout-overlay", overlay_svg), ("editor-preview", preview_svg)]:
        img = mp.render(make(), mp.W, mp.H)
        path = os.path.join(DOCS, name + ".png")
        img.save(path, format="PNG", optimize=True)
        print("%s: %d bytes" % (path, os.path.getsize(path)))


if __name__ == "__main__":
    main()
