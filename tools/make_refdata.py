#!/usr/bin/env python3
"""Builds the reference data files that ship with Trawlix from data/sources/.

Writes Places.cur, Categories.cur, cats-bckpg.cur, ZIPCodes.cur and GSMNetworks.cur.
The output depends only on the sources: rebuilding gives the same bytes, and node ids
are derived from the sources' own keys so that saved searches keep pointing at the
same places after a rebuild.

Usage: make_refdata.py [--sources DIR] [--out DIR]
"""

import argparse
import csv
import json
import math
import os
import re
import struct
import sys
from xml.sax.saxutils import quoteattr

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# --- ids ------------------------------------------------------------------------
# Countries and regions are numbered by their position in the tables below (append
# new entries at the end); areas by Craigslist's AreaID, sub-areas by AreaID and
# SubAreaID. The ranges never overlap.
REGION_ID_BASE = 100
AREA_ID_BASE = 1000
SUB_AREA_ID_BASE = 10000

# Category ids that other parts of the program know by number.
FIXED_CATEGORY_IDS = {
    "cta": 52,   # cars & trucks
    "cto": 320,  # cars & trucks - by owner
    "ctd": 321,  # cars & trucks - by dealer
    "mca": 322,  # motorcycles/scooters
}
FIRST_SUB_CATEGORY_ID = 10

# Craigslist place types (4 is reserved for neighbourhoods searched through their city).
TYPE_COUNTRY, TYPE_REGION, TYPE_CITY, TYPE_SUB_AREA = 0, 1, 2, 3
TYPE_MAIN_CATEGORY, TYPE_SUB_CATEGORY = 1, 0

CARS_COM_RADIUS = "50"
GSM_STAMP = b"TRAWLIX8.53"

COUNTRIES = [
    ("US", "united states"), ("CA", "canada"), ("GB", "UK"), ("AE", "united arab emirates"),
    ("AR", "argentina"), ("AT", "austria"), ("AU", "australia"), ("BD", "bangladesh"),
    ("BE", "belgium"), ("BG", "bulgaria"), ("BO", "bolivia"), ("BR", "brazil"),
    ("CH", "switzerland"), ("CL", "chile"), ("CN", "china"), ("CO", "colombia"),
    ("CR", "costa rica"), ("CZ", "czech republic"), ("DE", "germany"), ("DK", "denmark"),
    ("DO", "dominican republic"), ("EC", "ecuador"), ("EG", "egypt"), ("ES", "spain"),
    ("ET", "ethiopia"), ("FI", "finland"), ("FR", "france"), ("GH", "ghana"),
    ("GR", "greece"), ("GT", "guatemala"), ("GU", "guam"), ("HK", "hong kong"),
    ("HR", "croatia"), ("HU", "hungary"), ("ID", "indonesia"), ("IE", "ireland"),
    ("IL", "israel"), ("IN", "india"), ("IQ", "iraq"), ("IR", "iran"),
    ("IS", "iceland"), ("IT", "italy"), ("JP", "japan"), ("KE", "kenya"),
    ("KR", "korea"), ("KW", "kuwait"), ("LB", "lebanon"), ("LU", "luxembourg"),
    ("MA", "morocco"), ("MX", "mexico"), ("MY", "malaysia"), ("NI", "nicaragua"),
    ("NL", "netherlands"), ("NO", "norway"), ("NZ", "new zealand"), ("PA", "panama"),
    ("PE", "peru"), ("PH", "philippines"), ("PK", "pakistan"), ("PL", "poland"),
    ("PR", "puerto rico"), ("PS", "palestine"), ("PT", "portugal"), ("RO", "romania"),
    ("RU", "russia"), ("SE", "sweden"), ("SG", "singapore"), ("SV", "el salvador"),
    ("TH", "thailand"), ("TN", "tunisia"), ("TR", "turkey"), ("TW", "taiwan"),
    ("UA", "ukraine"), ("UY", "uruguay"), ("VE", "venezuela"), ("VI", "virgin islands"),
    ("VN", "vietnam"), ("ZA", "south africa"), ("", "caribbean"),
]

REGIONS = [
    ("US", "AL", "alabama"), ("US", "AK", "alaska"), ("US", "AZ", "arizona"),
    ("US", "AR", "arkansas"), ("US", "CA", "california"), ("US", "CO", "colorado"),
    ("US", "CT", "connecticut"), ("US", "DE", "delaware"), ("US", "DC", "district of columbia"),
    ("US", "FL", "florida"), ("US", "GA", "georgia"), ("US", "HI", "hawaii"),
    ("US", "ID", "idaho"), ("US", "IL", "illinois"), ("US", "IN", "indiana"),
    ("US", "IA", "iowa"), ("US", "KS", "kansas"), ("US", "KY", "kentucky"),
    ("US", "LA", "louisiana"), ("US", "ME", "maine"), ("US", "MD", "maryland"),
    ("US", "MA", "massachusetts"), ("US", "MI", "michigan"), ("US", "MN", "minnesota"),
    ("US", "MS", "mississippi"), ("US", "MO", "missouri"), ("US", "MT", "montana"),
    ("US", "NE", "nebraska"), ("US", "NV", "nevada"), ("US", "NH", "new hampshire"),
    ("US", "NJ", "new jersey"), ("US", "NM", "new mexico"), ("US", "NY", "new york"),
    ("US", "NC", "north carolina"), ("US", "ND", "north dakota"), ("US", "OH", "ohio"),
    ("US", "OK", "oklahoma"), ("US", "OR", "oregon"), ("US", "PA", "pennsylvania"),
    ("US", "RI", "rhode island"), ("US", "SC", "south carolina"), ("US", "SD", "south dakota"),
    ("US", "TN", "tennessee"), ("US", "TX", "texas"), ("US", "UT", "utah"),
    ("US", "VT", "vermont"), ("US", "VA", "virginia"), ("US", "WA", "washington"),
    ("US", "WV", "west virginia"), ("US", "WI", "wisconsin"), ("US", "WY", "wyoming"),
    ("CA", "AB", "alberta"), ("CA", "BC", "british columbia"), ("CA", "MB", "manitoba"),
    ("CA", "NB", "new brunswick"), ("CA", "NL", "newfoundland and labrador"),
    ("CA", "NS", "nova scotia"), ("CA", "NT", "northwest territories"), ("CA", "ON", "ontario"),
    ("CA", "PE", "prince edward island"), ("CA", "QC", "quebec"), ("CA", "SK", "saskatchewan"),
    ("CA", "YK", "yukon"),
    ("AU", "NSW", "new south wales"), ("AU", "NT", "northern territory"), ("AU", "QLD", "queensland"),
    ("AU", "SA", "south australia"), ("AU", "TAS", "tasmania"), ("AU", "VIC", "victoria"),
    ("AU", "WA", "western australia"),
]

# Sites that address these countries' cities in the generated mappings.
OODLE_COUNTRIES = {"US", "CA"}
EBAY_COUNTRIES = {"US"}

# Main category code -> (Backpage category ids, Oodle (sub-domain, before, after) items,
# eBay Classifieds query text). Sub-categories take their main category's mapping
# unless SUB_CATEGORY_MAPPINGS names them.
MAIN_CATEGORY_MAPPINGS = {
    "ccc": (["4382"], [("community", "", "")], "category=community"),
    "eee": (["4451"], [("events", "", "")], "category=events"),
    "sss": (["4378"], [("merchandise", "", "")], "category=for-sale"),
    "ggg": (["4373"], [("jobs", "", "gigs")], "category=gigs"),
    "hhh": (["4376", "4375"], [("housing", "", "")], "category=housing"),
    "jjj": (["4373"], [("jobs", "", "")], "category=jobs"),
    "rrr": (["4392"], [("jobs", "", "resumes")], "category=resumes"),
    "bbb": (["4374"], [("services", "", "")], "category=services"),
    "ppp": (["4383"], [("personals", "", "")], "category=personals"),
}
SUB_CATEGORY_MAPPINGS = {
    "cta": (["4423"], [("cars", "", "")], "category=cars-trucks"),
    "cto": (["4423"], [("cars", "", "")], "category=cars-trucks"),
    "ctd": (["4423"], [("cars", "", "")], "category=cars-trucks"),
    "mca": (["5433"], [("motorcycles", "", "")], "category=motorcycles"),
    "pta": (["78693"], [("cars", "", "parts")], "category=auto-parts"),
    "aos": (["20661"], [("services", "", "")], "category=services"),
    "apa": (["4416"], [("housing", "", "for-rent")], "category=housing"),
    "roo": (["4421"], [("housing", "", "roommates")], "category=housing"),
    "vac": (["5418"], [("housing", "", "vacation-rentals")], "category=housing"),
    "off": (["4417"], [("housing", "", "commercial")], "category=housing"),
    "rea": (["4412"], [("housing", "", "for-sale")], "category=housing"),
    "w4w": (["4452"], [("personals", "", "")], "category=personals"),
    "w4m": (["4453"], [("personals", "", "")], "category=personals"),
    "m4w": (["4454"], [("personals", "", "")], "category=personals"),
    "m4m": (["4456"], [("personals", "", "")], "category=personals"),
    "kid": (["78688"], [("community", "", "")], "category=community"),
    "laf": (["4446"], [("community", "", "")], "category=community"),
    "vol": (["8776"], [("community", "", "")], "category=community"),
    "grp": (["20659"], [("community", "", "")], "category=community"),
}


# --- helpers --------------------------------------------------------------------
def haversine_miles(lat1, lon1, lat2, lon2):
    """The same distance the program uses: a sphere of 7912 miles diameter."""
    lat1, lon1, lat2, lon2 = map(math.radians, (lat1, lon1, lat2, lon2))
    a = math.sin(abs(lat1 - lat2) / 2) ** 2 + \
        math.cos(lat1) * math.cos(lat2) * math.sin(abs(lon1 - lon2) / 2) ** 2
    a = min(max(a, 0.0), 1.0)
    return 7912 * math.atan2(math.sqrt(a), math.sqrt(1 - a))


class NearestZip:
    """Nearest ZIP code by haversine, searched in 1-degree cells around the point."""

    def __init__(self, zips):
        self.zips = zips
        self.cells = {}
        for code, lat, lon in zips:
            self.cells.setdefault((math.floor(lat), math.floor(lon)), []).append((code, lat, lon))

    def find(self, lat, lon):
        best = None
        for reach in (2, 6):
            for dlat in range(-reach, reach + 1):
                for dlon in range(-reach, reach + 1):
                    for code, zlat, zlon in self.cells.get((math.floor(lat) + dlat, math.floor(lon) + dlon), ()):
                        candidate = (haversine_miles(lat, lon, zlat, zlon), code)
                        if best is None or candidate < best:
                            best = candidate
            # Everything within (reach - 1) degrees of latitude was searched; a longitude
            # degree is shorter than a latitude degree, so take the narrower of the two.
            covered = (reach - 1) * 69.0 * min(1.0, math.cos(math.radians(min(89.0, abs(lat) + reach))))
            if best is not None and best[0] <= covered:
                return best[1]
        candidates = [(haversine_miles(lat, lon, zlat, zlon), code) for code, zlat, zlon in self.zips]
        return min(candidates)[1] if candidates else ""


def number(value):
    text = "%.6f" % value
    text = text.rstrip("0").rstrip(".")
    return text if text not in ("-0", "") else "0"


def slug(text):
    return re.sub(r"[^a-z0-9]+", "-", text.lower()).strip("-")


def attrs(pairs):
    return "".join(" %s=%s" % (name, quoteattr(value)) for name, value in pairs)


class Node:
    def __init__(self, node_id, parent_id, name, craig_link="", craig_type=0):
        self.id = node_id
        self.parent_id = parent_id
        self.name = name
        self.zip_code = ""
        self.lat = None
        self.lon = None
        self.craig_link = craig_link
        self.craig_type = craig_type
        self.backpage = []   # links
        self.oodle = []      # (link1, link2, link3)
        self.ebay = []       # (link, catId, params)
        self.cars_com = []   # (zc, rd)
        self.children = []

    def write(self, out, depth):
        indent = "  " * depth
        pairs = [("id", str(self.id)), ("parent_id", str(self.parent_id)), ("name", self.name)]
        if self.zip_code:
            pairs.append(("zip_code", self.zip_code))
        if self.lat is not None:
            pairs += [("lat", number(self.lat)), ("long", number(self.lon))]
        out.append("%s<place%s>\n" % (indent, attrs(pairs)))
        inner = indent + "  "
        out.append("%s<craigslist%s/>\n" % (inner, attrs([("link", self.craig_link), ("type", str(self.craig_type))])))
        self.write_items(out, inner, "backpage", [[("link", link)] for link in self.backpage])
        self.write_items(out, inner, "oodle", [
            [(n, v) for n, v in (("link1", l1), ("link2", l2), ("link3", l3)) if n == "link1" or v]
            for l1, l2, l3 in self.oodle])
        self.write_items(out, inner, "ebay", [
            [(n, v) for n, v in (("link", link), ("catId", cat), ("params", params)) if v]
            for link, cat, params in self.ebay])
        self.write_items(out, inner, "cars.com", [[("zc", zc), ("rd", rd)] for zc, rd in self.cars_com])
        for child in self.children:
            child.write(out, depth + 1)
        out.append("%s</place>\n" % indent)

    @staticmethod
    def write_items(out, indent, element, items):
        if not items:
            out.append("%s<%s/>\n" % (indent, element))
            return
        out.append("%s<%s>\n" % (indent, element))
        for pairs in items:
            out.append("%s  <item%s/>\n" % (indent, attrs(pairs)))
        out.append("%s</%s>\n" % (indent, element))


def xml_document(root_name, nodes):
    out = ['<?xml version="1.0" encoding="UTF-8"?>\n', "<%s>\n" % root_name]
    for node in nodes:
        node.write(out, 1)
    out.append("</%s>\n" % root_name)
    return "".join(out).encode("utf-8")


def read_tsv(path):
    with open(path, encoding="utf-8", newline="") as stream:
        return list(csv.DictReader(stream, delimiter="\t"))


# --- builders -------------------------------------------------------------------
def read_zips(sources):
    rows = read_tsv(os.path.join(sources, "us_zip_coordinates.tsv"))
    return [(row["zip"], row["latitude"], row["longitude"]) for row in rows]


def build_zip_codes(zip_rows):
    return "".join("%s=%s;%s\n" % row for row in zip_rows).encode("ascii")


def build_places(sources, zip_rows):
    with open(os.path.join(sources, "craigslist_areas.json"), encoding="utf-8") as stream:
        areas = json.load(stream)
    nearest = NearestZip([(code, float(lat), float(lon)) for code, lat, lon in zip_rows])

    countries = {}
    for index, (code, name) in enumerate(COUNTRIES):
        countries[code] = Node(index + 1, 0, name, "", TYPE_COUNTRY)
    regions = {}
    for index, (country, code, name) in enumerate(REGIONS):
        regions[(country, code)] = Node(REGION_ID_BASE + index, countries[country].id, name, "", TYPE_REGION)

    for area in sorted(areas, key=lambda a: a["AreaID"]):
        country_code = area["Country"]
        if country_code not in countries:
            sys.exit("unknown country %r of area %s: add it to COUNTRIES" % (country_code, area["Hostname"]))
        country = countries[country_code]
        region = regions.get((country_code, area["Region"]))
        if region is None and country_code in ("US", "CA", "AU"):
            sys.exit("unknown region %r of area %s: add it to REGIONS" % (area["Region"], area["Hostname"]))
        parent = region or country
        city = Node(AREA_ID_BASE + area["AreaID"], parent.id, area["Description"],
                    "http://%s.craigslist.org/" % area["Hostname"], TYPE_CITY)
        city.lat, city.lon = area["Latitude"], area["Longitude"]
        if country_code == "US":
            city.zip_code = nearest.find(city.lat, city.lon)
            city.cars_com.append((city.zip_code, CARS_COM_RADIUS))
        city.backpage.append("http://%s.backpage.com" % area["Hostname"])
        if country_code in OODLE_COUNTRIES:
            town = area["Description"].split(",")[0]
            city.oodle.append(("-".join(filter(None, (slug(town), slug(area["Region"])))), "", ""))
        if country_code in EBAY_COUNTRIES:
            city.ebay.append((area["Hostname"], "", ""))
        parent.children.append(city)
        for sub_area in sorted(area.get("SubAreas", []), key=lambda s: s["SubAreaID"]):
            sub = Node(SUB_AREA_ID_BASE + area["AreaID"] * 10 + sub_area["SubAreaID"], city.id,
                       sub_area["Description"],
                       "http://%s.craigslist.org/%s/" % (area["Hostname"], sub_area["Abbreviation"]), TYPE_SUB_AREA)
            # Sub-areas have no coordinates of their own: they lie within their area, so
            # they take its position and ZIP code and are reached through its city sites.
            sub.lat, sub.lon, sub.zip_code = city.lat, city.lon, city.zip_code
            sub.backpage, sub.oodle, sub.ebay = list(city.backpage), list(city.oodle), list(city.ebay)
            city.children.append(sub)

    for country_code, _ in COUNTRIES:
        country = countries[country_code]
        country.children = [regions[key] for key in regions if key[0] == country_code and regions[key].children] + \
                           [child for child in country.children if child.craig_type == TYPE_CITY]
    return xml_document("places", [countries[code] for code, _ in COUNTRIES if countries[code].children])


def apply_category_mapping(node, mapping):
    backpage, oodle, ebay_params = mapping
    node.backpage = list(backpage)
    node.oodle = list(oodle)
    node.ebay = [("", "", ebay_params)]


def build_categories(sources):
    rows = read_tsv(os.path.join(sources, "craigslist_categories.tsv"))
    mains = {}
    order = []
    next_id = FIRST_SUB_CATEGORY_ID
    reserved = set(FIXED_CATEGORY_IDS.values())
    for row in rows:
        if row["kind"] == "main":
            node = Node(len(mains) + 1, 0, row["name"], row["code"], TYPE_MAIN_CATEGORY)
            apply_category_mapping(node, MAIN_CATEGORY_MAPPINGS[row["code"]])
            mains[row["code"]] = node
            order.append(node)
            continue
        main = mains[row["parent_code"]]
        node_id = FIXED_CATEGORY_IDS.get(row["code"]) if main.craig_link == "sss" else None
        if node_id is None:
            while next_id in reserved:
                next_id += 1
            node_id = next_id
            next_id += 1
        node = Node(node_id, main.id, row["name"], row["code"], TYPE_SUB_CATEGORY)
        apply_category_mapping(node, SUB_CATEGORY_MAPPINGS.get(row["code"], MAIN_CATEGORY_MAPPINGS[main.craig_link]))
        main.children.append(node)
    if len(mains) >= FIRST_SUB_CATEGORY_ID:
        sys.exit("main category ids would collide with sub-category ids")
    return xml_document("categories", order)


def build_backpage_categories(sources):
    rows = read_tsv(os.path.join(sources, "backpage_categories.tsv"))
    sections = {}
    for row in rows:
        sections.setdefault((row["section_id"], row["section_name"]), []).append(row)
    out = ['<?xml version="1.0" encoding="UTF-8"?>\n', "<categories>\n"]
    for (section_id, section_name), categories in sections.items():
        out.append("  <category%s>\n" % attrs([("id", section_id), ("name", section_name),
                                                 ("params", "section=%s" % section_id)]))
        for row in categories:
            out.append("    <category%s/>\n" % attrs([
                ("id", row["category_id"]), ("name", row["category_name"]),
                ("params", "section=%s&category=%s" % (section_id, row["category_id"]))]))
        out.append("  </category>\n")
    out.append("</categories>\n")
    return "".join(out).encode("utf-8")


def short_string(text, capacity, what):
    data = text.encode("utf-8")
    if len(data) > capacity:
        sys.exit("%s %r is longer than %d bytes" % (what, text, capacity))
    return bytes([len(data)]) + data + b"\0" * (capacity - len(data))


def build_gsm_networks(sources):
    rows = read_tsv(os.path.join(sources, "sms_gateways.tsv"))
    out = [GSM_STAMP, struct.pack("<i", len(rows))]
    for row in rows:
        out.append(struct.pack("<i", int(row["id"])))
        out.append(short_string(row["name"], 50, "carrier name"))
        out.append(short_string(row["gateway_domain"], 100, "gateway domain"))
    return b"".join(out)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--sources", default=os.path.join(ROOT, "data", "sources"))
    parser.add_argument("--out", default=os.path.join(ROOT, "data"))
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    zip_rows = read_zips(args.sources)
    files = {
        "Places.cur": build_places(args.sources, zip_rows),
        "Categories.cur": build_categories(args.sources),
        "cats-bckpg.cur": build_backpage_categories(args.sources),
        "ZIPCodes.cur": build_zip_codes(zip_rows),
        "GSMNetworks.cur": build_gsm_networks(args.sources),
    }
    for name, content in files.items():
        with open(os.path.join(args.out, name), "wb") as stream:
            stream.write(content)
        print("%s: %d bytes" % (name, len(content)))


if __name__ == "__main__":
    main()
