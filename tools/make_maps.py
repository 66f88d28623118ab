#!/usr/bin/env python3
"""Builds the map files of the map view from public US shapes.

Writes usa.cur (the states and DC, one sub-map each) and one map per state whose regions
are the state's Craigslist areas, each made of the counties nearest to it. A map file is
the visible picture (8-bit BMP), the region picture (8-bit BMP, one colour per region) and
the property text (CRLF lines naming each region colour's place, rectangles, name and
sub-map). The output depends only on the inputs: rebuilding gives the same bytes.

Land of the countries around (Mexico) is drawn as land around the regions, not as sea: the
US shapes end at the border, so Mexico's coarse outline is drawn under them.

Usage: make_maps.py [--shapes FILE] [--places FILE] [--foreign FILE] --out DIR
"""

import argparse
import io
import json
import math
import os
import sys
import xml.etree.ElementTree as ET

from PIL import Image, ImageChops, ImageDraw

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

WIDTH, HEIGHT = 600, 357
USA_MARGIN = 4
STATE_MARGIN = 12
USA_FILE = "usa.cur"

# Palette of the visible pictures.
WATER, LAND, NEIGHBOUR, COUNTY_LINE, BORDER = range(5)
VISIBLE_PALETTE = [
    (178, 214, 230),  # water
    (240, 236, 222),  # land of the map's regions
    (214, 212, 204),  # land around them (other states on a state's map)
    (205, 198, 182),  # county lines inside an area
    (96, 92, 84),     # borders between regions and the coast
]


# --- shapes ------------------------------------------------------------------------

def decode_arcs(topology):
    (sx, sy), (tx, ty) = topology["transform"]["scale"], topology["transform"]["translate"]
    arcs = []
    for arc in topology["arcs"]:
        x = y = 0
        points = []
        for dx, dy in arc:
            x += dx
            y += dy
            points.append((x * sx + tx, y * sy + ty))
        arcs.append(points)
    return arcs


def ring_points(arcs, indexes):
    points = []
    for index in indexes:
        arc = arcs[index] if index >= 0 else arcs[~index][::-1]
        points.extend(arc[1:] if points else arc)
    return points


def outer_rings(geometry, arcs):
    """The outer ring of every polygon of a feature. Holes are left out: whatever fills
    them (an independent city inside its county) is drawn after, being smaller."""
    if geometry["type"] == "Polygon":
        return [ring_points(arcs, geometry["arcs"][0])]
    if geometry["type"] == "MultiPolygon":
        return [ring_points(arcs, polygon[0]) for polygon in geometry["arcs"]]
    return []


def ring_area(points):
    total = 0.0
    for (x1, y1), (x2, y2) in zip(points, points[1:] + points[:1]):
        total += x1 * y2 - x2 * y1
    return abs(total) / 2


def centroid(rings):
    """Area-weighted centre of a shape's rings (its largest part dominates)."""
    sx = sy = weight = 0.0
    for points in rings:
        area = 0.0
        cx = cy = 0.0
        for (x1, y1), (x2, y2) in zip(points, points[1:] + points[:1]):
            cross = x1 * y2 - x2 * y1
            area += cross
            cx += (x1 + x2) * cross
            cy += (y1 + y2) * cross
        if abs(area) < 1e-12:
            continue
        sx += cx / 3
        sy += cy / 3
        weight += area
    if weight == 0:
        first = rings[0][0]
        return first
    return sx / weight, sy / weight


def bounds(rings):
    xs = [x for ring in rings for x, _ in ring]
    ys = [y for ring in rings for _, y in ring]
    return min(xs), min(ys), max(xs), max(ys)


# --- the projection of the shapes (Albers USA at scale 1300 in a 975 x 610 view) ----

class ConicEqualArea:
    def __init__(self, parallels, rotate, center, scale, translate):
        phi0, phi1 = (math.radians(p) for p in parallels)
        sy0 = math.sin(phi0)
        self.n = (sy0 + math.sin(phi1)) / 2
        self.c = 1 + sy0 * (2 * self.n - sy0)
        self.r0 = math.sqrt(self.c) / self.n
        self.rotate = math.radians(rotate)
        cx, cy = self.raw(math.radians(center[0]), math.radians(center[1]))
        self.k = scale
        self.dx = translate[0] - cx * scale
        self.dy = translate[1] + cy * scale

    def raw(self, lam, phi):
        r = math.sqrt(self.c - 2 * self.n * math.sin(phi)) / self.n
        return r * math.sin(lam * self.n), self.r0 - r * math.cos(lam * self.n)

    def __call__(self, lon, lat):
        lam = math.radians(lon) + self.rotate
        lam = (lam + math.pi) % (2 * math.pi) - math.pi
        x, y = self.raw(lam, math.radians(lat))
        return self.dx + x * self.k, self.dy - y * self.k


# The boxes of the Alaska and Hawaii insets in the shapes' view (left, top, right, bottom).
INSET_BOXES = [
    (487.5 - 0.425 * 1300, 305 + 0.120 * 1300, 487.5 - 0.214 * 1300, 305 + 0.234 * 1300),
    (487.5 - 0.214 * 1300, 305 + 0.166 * 1300, 487.5 - 0.115 * 1300, 305 + 0.234 * 1300),
]


def albers_usa(state_name):
    k, tx, ty = 1300, 487.5, 305
    if state_name == "alaska":
        return ConicEqualArea((55, 65), 154, (-2, 58.5), k * 0.35, (tx - 0.307 * k, ty + 0.201 * k))
    if state_name == "hawaii":
        return ConicEqualArea((8, 18), 157, (-3, 19.9), k, (tx - 0.205 * k, ty + 0.212 * k))
    return ConicEqualArea((29.5, 45.5), 96, (-0.6, 38.7), k, (tx, ty))


# --- places ------------------------------------------------------------------------

class Place:
    def __init__(self, place_id, name, lat=None, lon=None):
        self.id, self.name, self.lat, self.lon = place_id, name, lat, lon


def read_states(places_file):
    """The states of "united states" (id 1) with their areas that carry coordinates."""
    root = ET.parse(places_file).getroot()
    usa = next(p for p in root.iter("place") if p.get("id") == "1")
    states = {}
    for node in usa.findall("place"):
        state = Place(int(node.get("id")), node.get("name"))
        state.areas = []
        for child in node.findall("place"):
            if child.get("lat") and child.get("long"):
                state.areas.append(Place(int(child.get("id")), child.get("name"),
                                         float(child.get("lat")), float(child.get("long"))))
        state.areas.sort(key=lambda a: a.id)
        states[state.name] = state
    return states


def file_name_of(state_name):
    return state_name.replace(" ", "_") + ".cur"


# --- drawing -----------------------------------------------------------------------

class Fit:
    """Scales shape coordinates into the picture, centred, keeping the aspect."""

    def __init__(self, box, margin):
        left, top, right, bottom = box
        self.scale = min((WIDTH - 2 * margin) / (right - left), (HEIGHT - 2 * margin) / (bottom - top))
        self.x0 = (WIDTH - (right - left) * self.scale) / 2 - left * self.scale
        self.y0 = (HEIGHT - (bottom - top) * self.scale) / 2 - top * self.scale

    def points(self, ring):
        return [(self.x0 + x * self.scale, self.y0 + y * self.scale) for x, y in ring]


def region_colour(index):
    """Region colours are distinct and never black, which is the picture's background."""
    return (index, 255 - index, 128)


class Region:
    def __init__(self, place, hint, sub_map=""):
        self.place, self.hint, self.sub_map = place, hint, sub_map
        self.parts = []  # shapes (lists of outer rings), each drawn in the region's colour


def draw_regions(regions, fit):
    """The region picture as palette indexes (0 background, i + 1 region i)."""
    picture = Image.new("L", (WIDTH, HEIGHT), 0)
    draw = ImageDraw.Draw(picture)
    shapes = []
    for index, region in enumerate(regions):
        for rings in region.parts:
            for ring in rings:
                shapes.append((ring_area(ring), index + 1, ring))
    # Bigger shapes first, so that a shape inside another one stays visible.
    for _, value, ring in sorted(shapes, key=lambda s: (-s[0], s[1])):
        points = fit.points(ring)
        if len(points) >= 3:
            draw.polygon(points, fill=value, outline=value)
    return picture


def region_ranges(picture, value, regions_parts, fit):
    """Rectangles (inclusive) holding every pixel of one region: one per drawn part,
    the biggest first (the counts are drawn at the centre of the first), then whatever
    pixels the parts' boxes missed."""
    mask = picture.point(lambda v: 255 if v == value else 0)
    boxes = []
    for ring in sorted(regions_parts, key=ring_area, reverse=True):
        part = Image.new("L", (WIDTH, HEIGHT), 0)
        ImageDraw.Draw(part).polygon(fit.points(ring), fill=255, outline=255)
        box = ImageChops.multiply(part, mask).getbbox()
        if box and not any(inside(box, other) for other in boxes):
            boxes.append(box)
    left_over = mask.copy()
    while True:
        for box in boxes:
            left_over.paste(0, box)
        box = left_over.getbbox()
        if not box:
            break
        boxes.append(box)
    return [(l, t, r - 1, b - 1) for l, t, r, b in boxes]


def inside(box, outer):
    return outer[0] <= box[0] and outer[1] <= box[1] and box[2] <= outer[2] and box[3] <= outer[3]


def borders_of(picture):
    """Pixels whose right or lower neighbour lies in another region (or the sea)."""
    right = ImageChops.offset(picture, -1, 0)
    below = ImageChops.offset(picture, 0, -1)
    differs = ImageChops.lighter(ImageChops.difference(picture, right), ImageChops.difference(picture, below))
    return differs.point(lambda v: 255 if v else 0)


def draw_visible(regions_picture, neighbours, county_lines, fit, foreign, insets):
    visible = Image.new("P", (WIDTH, HEIGHT), WATER)
    visible.putpalette([c for colour in VISIBLE_PALETTE for c in colour])
    draw = ImageDraw.Draw(visible)
    # Under everything: the outline's edge inside the United States is drawn over by them.
    for ring in foreign:
        draw.polygon(fit.points(ring), fill=NEIGHBOUR, outline=BORDER)
    # Alaska and Hawaii are drawn where Mexico would lie: their boxes stay sea.
    for left, top, right, bottom in insets:
        draw.rectangle(fit.points([(left, top), (right, bottom)]), fill=WATER)
    for ring in neighbours:
        draw.polygon(fit.points(ring), fill=NEIGHBOUR, outline=BORDER)
    visible.paste(LAND, mask=regions_picture.point(lambda v: 255 if v else 0))
    for ring in county_lines:
        draw.line(fit.points(ring + ring[:1]), fill=COUNTY_LINE)
    visible.paste(BORDER, mask=borders_of(regions_picture))
    return visible


def bmp_bytes(picture):
    out = io.BytesIO()
    picture.save(out, "BMP")
    return out.getvalue()


def region_bmp(picture, count):
    indexed = picture.convert("P")
    palette = [(0, 0, 0)] + [region_colour(i) for i in range(1, count + 1)]
    palette += [(0, 0, 0)] * (256 - len(palette))
    indexed.putpalette([c for colour in palette for c in colour])
    return bmp_bytes(indexed)


def property_text(regions, ranges, parent_map):
    lines = []
    if parent_map:
        lines.append("parent_map=" + parent_map)
    for index, region in enumerate(regions):
        r, g, b = region_colour(index + 1)
        key = f"({r},{g},{b})"
        lines.append(f"id{key}={region.place.id}")
        for left, top, right, bottom in ranges[index]:
            lines.append(f"range{key}=({left},{top},{right},{bottom})")
        lines.append(f"hint{key}={region.hint}")
        if region.sub_map:
            lines.append(f"map{key}={region.sub_map}")
    return "".join(line + "\r\n" for line in lines).encode("utf-8")


def write_map(path, regions, fit, neighbours, county_lines, parent_map, foreign, insets=()):
    if len(regions) > 254:
        raise ValueError(f"{path}: {len(regions)} regions do not fit an 8-bit picture")
    picture = draw_regions(regions, fit)
    ranges = []
    for index, region in enumerate(regions):
        rings = [ring for rings in region.parts for ring in rings]
        ranges.append(region_ranges(picture, index + 1, rings, fit))
    visible = draw_visible(picture, neighbours, county_lines, fit, foreign, insets)
    with open(path, "wb") as out:
        out.write(bmp_bytes(visible))
        out.write(region_bmp(picture, len(regions)))
        out.write(property_text(regions, ranges, parent_map))
    return [region for region, boxes in zip(regions, ranges) if not boxes]


# --- the maps ----------------------------------------------------------------------

def nearest_area(point, areas):
    x, y = point
    return min(areas, key=lambda a: ((a.x - x) ** 2 + (a.y - y) ** 2, a.place.id))


def give_every_area_a_county(regions):
    """An area whose counties all lie nearer to other areas (inland empire, santa maria) would
    have no region, and its results no place on the map: it takes the county nearest to its
    own point from an area that keeps at least one."""
    for region in regions:
        if region.parts:
            continue
        candidates = [(owner, shape) for owner in regions if len(owner.parts) > 1 for shape in owner.parts]
        if not candidates:
            continue
        def distance(candidate):
            x, y = centroid(candidate[1])
            return (x - region.x) ** 2 + (y - region.y) ** 2
        owner, shape = min(candidates, key=distance)
        owner.parts.remove(shape)
        region.parts.append(shape)


def read_foreign_land(outline_file):
    """The outline's ring, projected as the lower 48 states' shapes are."""
    project = albers_usa("")
    ring = []
    with open(outline_file, encoding="utf-8") as f:
        for line in f:
            if line.startswith("#") or line.startswith("lon\t") or not line.strip():
                continue
            lon, lat = (float(v) for v in line.split("\t")[:2])
            ring.append(project(lon, lat))
    if len(ring) < 3:
        raise ValueError(f"{outline_file}: an outline needs three points at least")
    return [ring]


def build(shapes_file, places_file, out_dir, foreign_file):
    foreign = read_foreign_land(foreign_file)
    with open(shapes_file, encoding="utf-8") as f:
        topology = json.load(f)
    arcs = decode_arcs(topology)
    states = read_states(places_file)
    fips_to_state = {}
    state_shapes = {}
    for geometry in topology["objects"]["states"]["geometries"]:
        name = geometry["properties"]["name"].lower()
        if name not in states:
            continue  # territories without a place of their own
        fips_to_state[geometry["id"]] = name
        state_shapes[name] = outer_rings(geometry, arcs)
    counties = {}
    for geometry in topology["objects"]["counties"]["geometries"]:
        state = fips_to_state.get(geometry["id"][:2])
        if state:
            counties.setdefault(state, []).append(outer_rings(geometry, arcs))

    os.makedirs(out_dir, exist_ok=True)
    usa_regions = []
    report = []
    for name in sorted(state_shapes):
        state = states[name]
        sub_map = file_name_of(name) if state.areas and name in counties else ""
        region = Region(state, name.title().replace(" Of ", " of "), sub_map)
        region.parts.append(state_shapes[name])
        usa_regions.append(region)
        if sub_map:
            empty = write_state_map(os.path.join(out_dir, sub_map), state, counties[name],
                                    state_shapes, name, foreign)
            report.extend(f"{name}: {r.hint} has no county" for r in empty)
    all_rings = [ring for rings in state_shapes.values() for ring in rings]
    fit = Fit(bounds(all_rings), USA_MARGIN)
    write_map(os.path.join(out_dir, USA_FILE), usa_regions, fit, [], [], "", foreign, INSET_BOXES)
    return report


def write_state_map(path, state, county_shapes, state_shapes, name, foreign):
    project = albers_usa(name)
    regions = []
    for area in state.areas:
        region = Region(area, area.name)
        region.x, region.y = project(area.lon, area.lat)
        regions.append(region)
    for shape in county_shapes:
        nearest_area(centroid(shape), regions).parts.append(shape)
    give_every_area_a_county(regions)
    drawn = [r for r in regions if r.parts]
    fit = Fit(bounds([ring for shape in county_shapes for ring in shape]), STATE_MARGIN)
    neighbours = [ring for other, rings in sorted(state_shapes.items()) if other != name for ring in rings]
    county_lines = [ring for shape in county_shapes for ring in shape]
    # Alaska's and Hawaii's pictures are insets: the land around them is not Mexico.
    around = foreign if name not in ("alaska", "hawaii") else []
    write_map(path, drawn, fit, neighbours, county_lines, USA_FILE, around)
    return [Region(r.place, r.hint) for r in regions if not r.parts]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--shapes", default=os.path.join(ROOT, "data", "sources", "counties-albers-10m.json"))
    parser.add_argument("--places", default=os.path.join(ROOT, "data", "Places.cur"))
    parser.add_argument("--foreign", default=os.path.join(ROOT, "data", "sources", "mexico_outline.tsv"))
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    try:
        report = build(args.shapes, args.places, args.out, args.foreign)
    except (OSError, ValueError, KeyError, ET.ParseError) as error:
        print(f"make_maps: {error}", file=sys.stderr)
        return 1
    # An area without a region would count its results nowhere on its state's map.
    for line in report:
        print(f"make_maps: {line}", file=sys.stderr)
    return 1 if report else 0


if __name__ == "__main__":
    sys.exit(main())
