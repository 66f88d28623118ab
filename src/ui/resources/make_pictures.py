#!/usr/bin/env python3
"""Draws the program's pictures as small SVG files and writes trawlix.qrc.

One palette and one stroke width for all of them, so the toolbar, tabs and tray match.
Run again after changing a picture; the SVG files are committed."""
import math
import os

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "pictures")
BLUE = "#2f6fb5"
SKY = "#a6caf0"
GREEN = "#2e8b3a"
RED = "#c0392b"
GREY = "#7a7a7a"
ORANGE = "#e67e22"


def svg(body, size=24):
    return (f'<svg xmlns="http://www.w3.org/2000/svg" width="{size}" height="{size}" '
            f'viewBox="0 0 24 24" fill="none" stroke-linecap="round" stroke-linejoin="round">{body}</svg>\n')


def binoculars(colour=BLUE, badge=None):
    body = (f'<circle cx="7" cy="15" r="5" stroke="{colour}" stroke-width="2.2"/>'
            f'<circle cx="17" cy="15" r="5" stroke="{colour}" stroke-width="2.2"/>'
            f'<path d="M4 12 L6 4 H10 L11 11 M20 12 L18 4 H14 L13 11 M11 13 H13" stroke="{colour}" stroke-width="2"/>')
    if badge:
        body += f'<circle cx="19" cy="5" r="4.5" fill="{badge}" stroke="white" stroke-width="1"/>'
    return svg(body)


PICTURES = {
    "trawlix": binoculars(),
    "tray_new_results": binoculars(BLUE, ORANGE),
    "tab_idle": svg(f'<circle cx="12" cy="12" r="6" fill="{SKY}" stroke="{BLUE}" stroke-width="2"/>'),
    "tab_new_results": svg(f'<circle cx="12" cy="12" r="7" fill="{ORANGE}" stroke="white" stroke-width="1.5"/>'
                           f'<path d="M12 8 V13 M12 16 V16.2" stroke="white" stroke-width="2.4"/>'),
    "new_search": svg(f'<path d="M6 3 H14 L19 8 V21 H6 Z" stroke="{BLUE}" stroke-width="2"/>'
                      f'<path d="M12 11 V18 M8.5 14.5 H15.5" stroke="{GREEN}" stroke-width="2.2"/>'),
    "close_search": svg(f'<path d="M6 3 H14 L19 8 V21 H6 Z" stroke="{BLUE}" stroke-width="2"/>'
                        f'<path d="M9.5 12 L15.5 18 M15.5 12 L9.5 18" stroke="{RED}" stroke-width="2.2"/>'),
    "clone_search": svg(f'<rect x="3" y="3" width="12" height="14" rx="1.5" stroke="{BLUE}" stroke-width="2"/>'
                        f'<rect x="9" y="7" width="12" height="14" rx="1.5" fill="white" stroke="{BLUE}" stroke-width="2"/>'),
    "wizard": svg(f'<path d="M4 20 L15 9" stroke="{BLUE}" stroke-width="2.4"/>'
                  f'<path d="M17 3 V7 M15 5 H19 M20 10 V12 M19 11 H21 M11 3 V5 M10 4 H12" stroke="{ORANGE}" stroke-width="1.8"/>'),
    "start_search": svg(f'<path d="M7 4 L19 12 L7 20 Z" fill="{GREEN}" stroke="{GREEN}" stroke-width="2"/>'),
    "stop_search": svg(f'<rect x="5" y="5" width="14" height="14" rx="2" fill="{RED}" stroke="{RED}" stroke-width="2"/>'),
    "save": svg(f'<path d="M4 4 H17 L20 7 V20 H4 Z" stroke="{BLUE}" stroke-width="2"/>'
                f'<rect x="8" y="4" width="8" height="5" stroke="{BLUE}" stroke-width="1.6"/>'
                f'<rect x="7" y="13" width="10" height="7" fill="{SKY}" stroke="{BLUE}" stroke-width="1.6"/>'),
    "map": svg(f'<path d="M3 6 L9 4 L15 6 L21 4 V18 L15 20 L9 18 L3 20 Z M9 4 V18 M15 6 V20" stroke="{BLUE}" stroke-width="1.8"/>'),
    "alerts": svg(f'<path d="M6 17 V11 A6 6 0 0 1 18 11 V17 L20 19 H4 Z" stroke="{BLUE}" stroke-width="2"/>'
                  f'<path d="M10 21 H14" stroke="{BLUE}" stroke-width="2"/>'),
    # A search's row in the alerts window: its alert switched on or off.
    "alert_on": svg(f'<path d="M6 17 V11 A6 6 0 0 1 18 11 V17 L20 19 H4 Z" fill="{GREEN}" stroke="{GREEN}" stroke-width="2"/>'
                    f'<path d="M10 21 H14" stroke="{GREEN}" stroke-width="2"/>'),
    "alert_off": svg(f'<path d="M6 17 V11 A6 6 0 0 1 18 11 V17 L20 19 H4 Z" stroke="{GREY}" stroke-width="2"/>'
                     f'<path d="M10 21 H14 M4 4 L20 20" stroke="{GREY}" stroke-width="2"/>'),
    "preferences": svg(f'<circle cx="12" cy="12" r="3.2" stroke="{BLUE}" stroke-width="2"/>'
                       + "".join(f'<path d="M{12 + 6 * math.cos(a):.2f} {12 + 6 * math.sin(a):.2f} '
                                 f'L{12 + 9 * math.cos(a):.2f} {12 + 9 * math.sin(a):.2f}" stroke="{BLUE}" stroke-width="2.4"/>'
                                 for a in [i * math.pi / 4 for i in range(8)])
                       + f'<circle cx="12" cy="12" r="6.5" stroke="{BLUE}" stroke-width="1.6"/>'),
    "help": svg(f'<circle cx="12" cy="12" r="9" stroke="{BLUE}" stroke-width="2"/>'
                f'<path d="M9.5 9.5 A2.5 2.5 0 1 1 12 12 V14 M12 17 V17.2" stroke="{BLUE}" stroke-width="2"/>'),
    "exit": svg(f'<path d="M14 4 H19 V20 H14" stroke="{BLUE}" stroke-width="2"/>'
                f'<path d="M3 12 H13 M9 8 L13 12 L9 16" stroke="{RED}" stroke-width="2"/>'),
    "collapse": svg(f'<path d="M15 5 L8 12 L15 19" stroke="{BLUE}" stroke-width="2.4"/>'),
    "expand": svg(f'<path d="M9 5 L16 12 L9 19" stroke="{BLUE}" stroke-width="2.4"/>'),
    "heading": svg(f'<path d="M5 7 H19 M5 12 H19 M5 17 H13" stroke="{BLUE}" stroke-width="2.2"/>'),
    "options": svg(f'<path d="M4 7 H20 M4 12 H20 M4 17 H20" stroke="{GREY}" stroke-width="1.6"/>'
                   f'<circle cx="9" cy="7" r="2" fill="white" stroke="{BLUE}" stroke-width="2"/>'
                   f'<circle cx="15" cy="12" r="2" fill="white" stroke="{BLUE}" stroke-width="2"/>'
                   f'<circle cx="7" cy="17" r="2" fill="white" stroke="{BLUE}" stroke-width="2"/>'),
    "ellipsis": svg(f'<circle cx="5" cy="12" r="1.8" fill="{BLUE}"/><circle cx="12" cy="12" r="1.8" fill="{BLUE}"/>'
                    f'<circle cx="19" cy="12" r="1.8" fill="{BLUE}"/>'),
    # The timeline's zoom-out button: a magnifier with a minus.
    "zoom_out": svg(f'<circle cx="10" cy="10" r="6.5" stroke="{BLUE}" stroke-width="2"/>'
                    f'<path d="M15 15 L21 21" stroke="{BLUE}" stroke-width="2.6"/>'
                    f'<path d="M7 10 H13" stroke="{RED}" stroke-width="2.2"/>'),
    "remove_query": svg(f'<path d="M7 7 L17 17 M17 7 L7 17" stroke="{RED}" stroke-width="2.4"/>'),
    # The orientation chooser: a window with the results and the preview below or beside them.
    "orientation_portrait": svg(f'<rect x="2" y="3" width="20" height="18" rx="1.5" stroke="{BLUE}" stroke-width="1.4"/>'
                                f'<rect x="3.5" y="5" width="5" height="14.5" fill="{SKY}"/>'
                                f'<path d="M10 6 H20.5 M10 8 H20.5 M10 10 H20.5" stroke="{GREY}" stroke-width="1"/>'
                                f'<rect x="10" y="12.5" width="10.5" height="7" fill="{ORANGE}" fill-opacity="0.5"/>'),
    "orientation_landscape": svg(f'<rect x="2" y="3" width="20" height="18" rx="1.5" stroke="{BLUE}" stroke-width="1.4"/>'
                                 f'<rect x="3.5" y="5" width="5" height="14.5" fill="{SKY}"/>'
                                 f'<path d="M10 6 H14.5 M10 8 H14.5 M10 10 H14.5 M10 12 H14.5" stroke="{GREY}" stroke-width="1"/>'
                                 f'<rect x="15.5" y="5" width="5" height="14.5" fill="{ORANGE}" fill-opacity="0.5"/>'),
    "DotInset": svg(f'<circle cx="12" cy="12" r="2" fill="{BLUE}"/>', 8),
}

# The spinner: 31 frames of an arc turning once.
for frame in range(31):
    start = frame * 2 * math.pi / 31
    end = start + 1.5 * math.pi
    x1, y1 = 12 + 7 * math.cos(start), 12 + 7 * math.sin(start)
    x2, y2 = 12 + 7 * math.cos(end), 12 + 7 * math.sin(end)
    PICTURES[f"tab_frame_{frame:02d}"] = svg(
        f'<circle cx="12" cy="12" r="7" stroke="{SKY}" stroke-width="2.5"/>'
        f'<path d="M{x1:.2f} {y1:.2f} A7 7 0 1 1 {x2:.2f} {y2:.2f}" stroke="{BLUE}" stroke-width="2.5"/>')


def main():
    os.makedirs(OUT, exist_ok=True)
    for name, text in PICTURES.items():
        with open(os.path.join(OUT, name + ".svg"), "w") as f:
            f.write(text)
    with open(os.path.join(HERE, "trawlix.qrc"), "w") as f:
        f.write('<!DOCTYPE RCC>\n<RCC version="1.0">\n<qresource prefix="/">\n')
        # Every picture of the folder, also those drawn by hand (the thumbnail marks).
        for name in sorted(n for n in os.listdir(OUT) if n.endswith(".svg")):
            f.write(f'  <file>pictures/{name}</file>\n')
        f.write('</qresource>\n</RCC>\n')


if __name__ == "__main__":
    main()
