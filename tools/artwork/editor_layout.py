"""Reads the editor's layout from editor/EditorLayout.h, the one place that holds it, so that
the background is drawn under the controls where the editor puts them; the version comes from
the project() line of CMakeLists.txt."""
import os
import re

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
HEADER = os.path.join(ROOT, "editor", "EditorLayout.h")

_NUMBER = r"(-?[0-9.]+)f?"
_PLACEMENT = re.compile(r'\{\s*"(\w+)",\s*(\d+),\s*(\d+),\s*(\d+),\s*(\d+)\s*\}')
_CAPTION = re.compile(r'\{\s*("[^"]*"|\w+),\s*(\w+),\s*%s,\s*(\d+),\s*(\d+),\s*(\d+),\s*(\d+)\s*\}' % _NUMBER)


def project_version():
    with open(os.path.join(ROOT, "CMakeLists.txt")) as fh:
        match = re.search(r"project\(\s*\w+\s+VERSION\s+([0-9.]+)", fh.read())
    if not match:
        raise SystemExit("CMakeLists.txt: no project VERSION")
    return match.group(1)


def _block(source, name):
    match = re.search(r"\b%s(\[\])?\s*=\s*(\{.*?\});" % name, source, re.S)
    if not match:
        raise SystemExit("%s: %s not found" % (HEADER, name))
    return match.group(2)


def _placements(source, name):
    found = [(m.group(1), tuple(int(m.group(k)) for k in range(2, 6)))
             for m in _PLACEMENT.finditer(_block(source, name))]
    if not found:
        raise SystemExit("%s: %s holds no placement" % (HEADER, name))
    return found


def read():
    """The layout as a dict: 'sliders', 'toggles', 'corner_caps' map names to (x, y, w, h);
    'cabinet', 'jack', 'site_link', 'donate_link' are (x, y, w, h); 'colours' maps the colour
    names to '#rrggbb'; 'captions' lists (text, '#rrggbb', font height, (x, y, w, h))."""
    with open(HEADER) as fh:
        source = fh.read()
    colours = {m.group(1): "#" + m.group(2)[-6:].lower()
               for m in re.finditer(r"constexpr uint32_t (k\w+) = 0x([0-9a-fA-F]{8});", source)}
    captions = []
    for m in _CAPTION.finditer(_block(source, "kCaptions")):
        text = m.group(1)
        text = text.strip('"') if text.startswith('"') else {"JucePlugin_VersionString": project_version()}[text]
        colour = m.group(2)
        colour = colours[colour] if colour in colours else "#" + colour[-6:].lower()
        captions.append((text, colour, float(m.group(3)), tuple(int(m.group(k)) for k in range(4, 8))))
    if not captions:
        raise SystemExit("%s: kCaptions holds no caption" % HEADER)
    return {
        "canvas": (int(re.search(r"kCanvasWidth = (\d+);", source).group(1)),
                   int(re.search(r"kCanvasHeight = (\d+);", source).group(1))),
        "sliders": dict(_placements(source, "kSliders")),
        "toggles": dict(_placements(source, "kToggles")),
        "corner_caps": dict(_placements(source, "kCornerCaps")),
        "cabinet": _placements(source, "kCabinet")[0][1],
        "jack": _placements(source, "kJack")[0][1],
        "site_link": _placements(source, "kSiteLink")[0][1],
        "donate_link": _placements(source, "kDonateLink")[0][1],
        "colours": colours,
        "captions": captions,
    }


if __name__ == "__main__":
    import pprint
    pprint.pprint(read())
