#!/usr/bin/env python3
"""Trawlix site simulator: a loopback HTTP server that answers the URLs of the six
ad sites with pages in their formats. It also acts as a forward proxy, so the program
reaches it through its ordinary proxy setting. See README.md beside this file."""

import argparse
import datetime
import gzip
import io
import hashlib
import html
import json
import os
import random
import re
import socket
import ssl
import struct
import sys
import threading
import time
import zlib
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, unquote_plus, urlsplit

HERE = os.path.dirname(os.path.abspath(__file__))
FIXTURES = os.path.join(HERE, "fixtures")

MONTHS = ["Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"]
DAYS = ["Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"]
THINGS = ["bike", "couch", "table", "lamp", "guitar", "camera", "desk", "stroller", "kayak", "café chair"]
ADJECTIVES = ["red", "old", "vintage", "large", "small", "blue", "solid oak", "folding", "antique", "new"]
PLACES = ["oakland", "berkeley", "san jose", "palo alto", "richmond", "fremont"]
CARS = ["Honda Civic", "Toyota Camry", "Ford Focus", "Mazda 3", "Subaru Outback", "VW Golf"]

CL_PAGE = 100      # Craigslist query results per page (offset s)
OODLE_PAGE = 25    # Oodle feed items per page (offset o)
EBAY_PAGE = 20     # eBay Classifieds items per page (page=)
CARS_PAGE = 250    # Cars.com results per page (offset rn)
AT_PAGE = 100      # Autotrader results per page (pager.offset)

# Paths that steer the simulator; they stay out of the request log.
CONTROL_ONLY = ("/__sim/expected", "/__sim/fault", "/__sim/answer", "/__sim/clear", "/__sim/prop", "/__sim/block", "/__sim/pricecut",
                "/__sim/grow", "/__sim/craigslist")

# What a site that turns a visitor away answers instead of its page (/__sim/block).
BLOCK_PAGES = {
    "captcha": (200, b"<html><head><title>Security check</title></head><body><h1>Please complete the CAPTCHA"
                     b"</h1><p>We need to make sure you are not a robot.</p></body></html>\n"),
    "blocked": (200, b"<html><body><h1>This IP has been automatically blocked.</h1></body></html>\n"),
    "changed": (200, b"<html><body><div class=\"new-layout\">Nothing this parser knows</div></body></html>\n"),
    "403": (403, b"<html><body><h1>403 Forbidden</h1></body></html>\n"),
    "429": (429, b"<html><body><h1>429 Too Many Requests</h1></body></html>\n"),
    "503": (503, b"<html><body><h1>503 Service Unavailable</h1></body></html>\n"),
}


# ---- deterministic ads ------------------------------------------------------------

class Generator:
    """Ads that depend only on the seed, the site and the query, never on the page
    asked for, so a test can ask the simulator what a page must contain."""

    def __init__(self, seed, today):
        self.seed = seed
        self.today = today
        # Percent taken off every priced ad from now on (/__sim/pricecut): the second run of
        # a test sees the same ads cheaper.
        self.price_cut = 0
        # Ads added since the start to every query holding a word (/__sim/grow): new ads
        # appearing while a watcher runs. They come after the ads already there.
        self.grown = {}

    def rng(self, *parts):
        key = "|".join([str(self.seed)] + [str(p) for p in parts])
        return random.Random(int(hashlib.sha256(key.encode()).hexdigest()[:16], 16))

    def total(self, site, query_key, words):
        for word in words:
            m = re.fullmatch(r"count(\d+)", word)
            if m:
                return int(m.group(1)) + sum(self.grown.get(w, 0) for w in words)
        return 20 + self.rng(site, query_key, "total").randrange(231)

    def ad(self, site, query_key, index):
        r = self.rng(site, query_key, index)
        day = self.today - datetime.timedelta(days=index // 40)
        ad = {
            "id": 2700000000 + r.randrange(99999999),
            "title": "%s %s" % (r.choice(ADJECTIVES), r.choice(THINGS)),
            "price": r.choice([None, r.randrange(5, 999)]),
            "place": r.choice(PLACES),
            "pic": r.random() < 0.6,
            "day": day,
            "car": "%d %s" % (r.randrange(1995, 2012), r.choice(CARS)),
            "car_price": r.randrange(1500, 45000),
            "phone": "(555) %03d-%04d" % (r.randrange(1000), r.randrange(10000)),
            "photos": r.randrange(0, 15),
            "image": "%dZ%dQ%d.jpg" % (r.randrange(10**6), r.randrange(10**6), index),
        }
        if ad["price"] is not None and self.price_cut:
            ad["price"] = max(1, ad["price"] * (100 - self.price_cut) // 100)
        return ad

    def ads(self, site, query_key, words, first, count):
        total = self.total(site, query_key, words)
        last = min(total, first + count)
        return total, [self.ad(site, query_key, i) for i in range(first, last)]


def month_day(day):
    return "%s %d" % (MONTHS[day.month - 1], day.day)


def rss_date(day):
    return "%s, %02d %s %d 10:15:00 -0800" % (DAYS[day.weekday()], day.day, MONTHS[day.month - 1], day.year)


# ---- pages ------------------------------------------------------------------------

def query_words(params, *names):
    text = " ".join(params.get(n, [""])[0] for n in names)
    return [w.lower() for w in re.split(r"[\s+]+", text) if w]


def cl_title(ad):
    text = ad["title"]
    if ad["price"] is not None:
        text += " - $%d" % ad["price"]
    return text + " (%s)" % ad["place"]


def cl_row(ad, cat, with_date):
    image = '<span class="ih" id="images:%s">&nbsp;</span> ' % ad["image"] if ad["pic"] else ""
    date = " %s - " % month_day(ad["day"]) if with_date else " "
    pic = '<span class="p"> pic</span>' if ad["pic"] else ""
    return '<p class="row">%s%s<a href="/%s/%d.html">%s</a>%s</p>\n' % (
        image, date, cat, ad["id"], html.escape(cl_title(ad), quote=False), pic)


def cl_expected(ad, cat, date):
    title = cl_title(ad) + (" pic" if ad["pic"] else "")
    return {"date": date, "title": title, "link": "/%s/%d.html" % (cat, ad["id"]),
            "price": float(ad["price"]) if ad["price"] is not None else -1.0,
            "has_image": ad["pic"], "image": ad["image"] if ad["pic"] else ""}


def craigslist_query(gen, host, path, params):
    parts = path.split("/")
    cat = parts[2] if len(parts) > 2 and parts[2] else "sss"
    # Postings of a sub-area live under it: /eby/bik/123.html
    prefix = "%s/%s" % (parts[3], cat) if len(parts) > 3 and parts[3] else cat
    words = query_words(params, "query")
    # "crosspost": every city answers the same ads (each under its own posting number), as
    # when one poster puts an ad up in neighbouring cities.
    crosspost = "crosspost" in words
    key = ("*" if crosspost else host, path, " ".join(words))
    offset = int(params.get("s", ["0"])[0] or 0)
    head = "<html><head><title>craigslist | %s search</title></head><body>\n" % cat
    if "nothingfound" in words or "count0" in words:
        body = head + "<p>Nothing found for that search ( All words must match ).</p>\n</body></html>\n"
        return body, {"ads": [], "overflow": False, "nothing_found": True}
    total, ads = gen.ads("craigslist", key, words, offset, CL_PAGE)
    if crosspost:
        for ad in ads:
            ad["id"] = 2700000000 + (ad["id"] + int(hashlib.sha256(host.encode()).hexdigest()[:6], 16)) % 99999999
    if offset >= total:
        body = head + "<h4>Displaying: %d - %d of %d</h4>\n</body></html>\n" % (offset + 1, total, total)
        return body, {"ads": [], "overflow": True, "nothing_found": False}
    shown = "Displaying: %d - %d of %d" % (offset + 1, offset + len(ads), total)
    rows = "".join(cl_row(ad, prefix, True) for ad in ads)
    tail = ""
    if "fewlocal" in words:
        nearby = gen.ads("craigslist-nearby", key, [], 0, 3)[1]
        tail = "<h4>Few LOCAL results found. Here are some from NEARBY areas.</h4>\n" + \
            "".join(cl_row(ad, prefix, True) for ad in nearby)
    else:
        tail = "<h4>%s</h4>\n" % shown
    body = head + "<div>Sort by:<strong>newest</strong></div>\n<h4 class=\"ban\">%s</h4>\n%s%s</body></html>\n" % (
        shown, rows, tail)
    expected = [cl_expected(ad, prefix, month_day(ad["day"])) for ad in ads]
    return body, {"ads": expected, "overflow": False, "nothing_found": False}


def craigslist_category(gen, host, path):
    cat = path.strip("/")
    r = gen.rng("craigslist-days", host, path)
    body = "<html><head><title>craigslist | %s</title></head><body>\n" % cat
    expected = []
    index = 0
    for back in range(3):
        day = gen.today - datetime.timedelta(days=back)
        body += '<h4 class="ban">%s %s %d</h4>\n' % (DAYS[day.weekday()], MONTHS[day.month - 1], day.day)
        for _ in range(2 + r.randrange(6)):
            ad = gen.ad("craigslist-cat", (host, path), index)
            index += 1
            body += cl_row(ad, cat, False)
            expected.append(cl_expected(ad, cat, month_day(day)))
    body += '<p align="center"><a href="index100.html">next 100 postings</a></p>\n</body></html>\n'
    return body, {"ads": expected, "overflow": False, "nothing_found": False}


def craigslist_posting(gen, host, path):
    posting = re.search(r"(\d+)\.html$", path).group(1)
    r = gen.rng("posting", host, posting)
    email = "sale-%s-%s@craigslist.org" % ("".join(r.choice("abcdefghjk") for _ in range(5)), posting)
    images = ["http://images.craigslist.org/%dP%d.jpg" % (r.randrange(10**6), i) for i in range(r.randrange(1, 4))]
    text = "Great condition &amp; barely used. Pick up in %s only." % r.choice(PLACES)
    body = ("<html><head><title>posting %s</title></head><body>\n<h2>%s</h2>\n"
            'Reply to: <a href="mailto:%s?subject=posting">%s</a>\n'
            '<div id="userbody">%s\n%s\n<!-- START CLTAGS -->\n</div>\n</body></html>\n') % (
        posting, "posting " + posting, email, email, text,
        "\n".join('<img src="%s" alt="">' % i for i in images))
    return body, {"email": email, "images": images, "description": html.unescape(text) + "\n" +
                  "\n".join('<img src="%s" alt="">' % i for i in images) + "\n"}


def rss_page(items, title):
    out = '<?xml version="1.0" encoding="UTF-8"?>\n<rss version="2.0"><channel><title>%s</title>\n' % title
    for item in items:
        out += item
    return out + "</channel></rss>\n"


def rss_item(ad, link, index):
    title = ad["title"] + (" - $%d" % ad["price"] if ad["price"] is not None else "")
    desc = "%s in %s" % (ad["title"], ad["place"])
    if index % 2 == 0:   # every other item in CDATA, as the sites mix both
        item = ("<item>\n <title><![CDATA[%s]]></title>\n <link><![CDATA[%s]]></link>\n"
                " <description><![CDATA[%s]]></description>\n <pubDate>%s</pubDate>\n</item>\n") % (
            title, link, desc, rss_date(ad["day"]))
    else:
        item = ("<item>\n <title>%s</title>\n <link>%s</link>\n <description>%s</description>\n"
                " <pubDate>%s</pubDate>\n</item>\n") % (
            html.escape(title), html.escape(link), html.escape(desc), rss_date(ad["day"]))
        title, link, desc = html.escape(title), html.escape(link), html.escape(desc)
    expected = {"date": month_day(ad["day"]), "title": title, "link": link,
                "price": float(ad["price"]) if ad["price"] is not None else -1.0,
                "has_image": True, "description": desc}
    return item, expected


def undated_item(host):
    return ("<item>\n <title>no date here</title>\n <link>http://%s/undated</link>\n"
            " <description>dropped</description>\n <pubDate>soon</pubDate>\n</item>\n") % host


def feed(gen, site, host, path, params, words, first, count, link_of):
    key = (host, path, tuple(sorted((k, v) for k, v in params.items() if k not in ("o", "page"))))
    total, ads = gen.ads(site, key, words, first, count)
    items, expected = [], []
    for i, ad in enumerate(ads):
        item, exp = rss_item(ad, link_of(ad), first + i)
        items.append(item)
        expected.append(exp)
    if first == 0 and ads:
        items.insert(1, undated_item(host))   # a feed item without a day is skipped
    return rss_page(items, site), {"ads": expected, "overflow": False, "nothing_found": not ads}


def backpage(gen, host, path, params):
    words = query_words(params, "keyword")
    return feed(gen, "backpage", host, path, params, words, 0, 30,
                lambda ad: "http://%s/online/classifieds/%d" % (host, ad["id"]))


def oodle(gen, host, path, params):
    words = query_words(params, "q")
    first = int(params.get("o", ["0"])[0] or 0)
    return feed(gen, "oodle", host, path, params, words, first, OODLE_PAGE,
                lambda ad: "http://%s/view/%d/?r=rss" % (host, ad["id"]))


def ebay(gen, host, path, params):
    words = query_words(params, "q")
    first = int(params.get("page", ["0"])[0] or 0) * EBAY_PAGE
    return feed(gen, "ebay", host, path, params, words, first, EBAY_PAGE,
                lambda ad: "http://%s/classified-ad/%d" % (host, ad["id"]))


def cars_com(gen, host, path, params):
    words = query_words(params, "kw")
    first = int(params.get("rn", ["0"])[0] or 0)
    key = (host, params.get("zc", [""])[0], " ".join(words))
    total, ads = gen.ads("cars.com", key, words, first, CARS_PAGE)
    body = "<html><body><table>\n"
    expected = []
    for ad in ads:
        href = "/go/search/detail.jsp?listingId=%d&amp;tracktype=usedcc" % ad["id"]
        body += ('<tr><td class="vehicleInfoColumn">\n<div class="YmmHeader"><a href="%s">%s</a></div>\n'
                 '<span class="priceSort">$%s</span>\n<div class="vehicleDescription"><b>%s</b> one owner</div>\n'
                 '<div class="sellerPhone"> %s </div>\n</td></tr>\n') % (
            href, ad["car"], "{:,}".format(ad["car_price"]), ad["title"], ad["phone"])
        expected.append({"date": "", "title": "%s - $%s" % (ad["car"], "{:,}".format(ad["car_price"])),
                         "link": "http://%s%s" % (host, html.unescape(href)), "price": float(ad["car_price"]),
                         "has_image": True, "description": "%s one owner" % ad["title"],
                         "contact": ad["phone"]})
    body += "</table></body></html>\n"
    return body, {"ads": expected, "overflow": False, "nothing_found": not ads}


def autotrader(gen, host, path, params):
    words = query_words(params, "keywords_display")
    first = int(params.get("pager.offset", ["0"])[0] or 0)
    key = (host, params.get("address", [""])[0], " ".join(words))
    total, ads = gen.ads("autotrader", key, words, first, AT_PAGE)
    body = "<html><body>\n"
    expected = []
    for ad in ads:
        href = "/cars-for-sale/vehicledetails.xhtml?car_id=%d&amp;listingId=%d" % (ad["id"], ad["id"])
        photos = "<span>%d photos</span>" % ad["photos"] if ad["photos"] else "<span>no photo</span>"
        body += ('<div class="search-result listing">\n<p class="listing-title"><a class="t" href="%s">%s</a></p>\n'
                 '<h3 class="listing-price">$%s </h3>\n<p class="ad-description">%s\n</p>\n'
                 '<h5 class="listing-phone">%s</h5>\n%s\n</div>\n') % (
            href, ad["car"], "{:,}".format(ad["car_price"]), ad["title"], ad["phone"], photos)
        expected.append({"date": "", "title": "%s - $%s" % (ad["car"], "{:,}".format(ad["car_price"])),
                         "link": "http://%s/cars-for-sale/vehicledetails.xhtml?car_id=%d" % (host, ad["id"]),
                         "price": float(ad["car_price"]), "has_image": ad["photos"] > 0,
                         "description": ad["title"], "contact": ad["phone"]})
    # The real pages usually carry a further block after the results (an advert);
    # "nosponsor" leaves it out, so that the last result runs to the end of the page.
    if "nosponsor" not in words:
        body += '<div class="search-result sponsored"><p>Sponsored</p></div>\n'
    body += "</body></html>\n"
    return body, {"ads": expected, "overflow": False, "nothing_found": not ads}


def fixture_name(params):
    for values in params.values():
        for value in values:
            m = re.fullmatch(r"fixture-([a-z0-9_-]+)", value.strip().lower())
            if m:
                return m.group(1)
    return None


def picture(path):
    """A 200x150 PNG for any picture address: two colours picked from the address, a diagonal
    gradient between them, so every ad has its own thumbnail and none is a single colour."""
    digest = hashlib.sha1(path.encode()).digest()
    a, b = digest[0:3], digest[3:6]
    width, height = 200, 150
    rows = []
    for y in range(height):
        row = bytearray([0])
        for x in range(width):
            t = (x + y) / (width + height)
            row += bytes(int(a[i] + (b[i] - a[i]) * t) for i in range(3))
        rows.append(bytes(row))
    chunk = lambda kind, data: (struct.pack(">I", len(data)) + kind + data +
                                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(b"".join(rows))) + chunk(b"IEND", b""))


# ---- Craigslist as it is today ---------------------------------------------------------
# The JSON search of sapi.craigslist.org, the reference areas, the search page with its
# static list and JSON-LD, and the ad pages. An area and category hold a fixed pool of ads;
# a query gives those of the pool that match it, in the pool's order, so the JSON search and
# the search page give the same ads for the same query.

CL_TODAY_POOL = 500
CL_TODAY_EPOCH = 1765000000  # the oldest posting of the pool, Unix seconds
AREAS = None


def cl_areas():
    global AREAS
    if AREAS is None:
        with open(os.path.join(FIXTURES, "craigslist_areas.json"), encoding="utf-8") as f:
            AREAS = json.load(f)
    return AREAS


def cl_area_by_id(area_id):
    return next((a for a in cl_areas() if a["AreaID"] == area_id), None)


def cl_area_by_host(host):
    return next((a for a in cl_areas() if a["Hostname"] == host), None)


def cl_today_ad(gen, host, cat, index):
    ad = gen.ad("craigslist-today", (host, cat), index)
    r = gen.rng("craigslist-today-extra", host, cat, index)
    area = cl_area_by_host(host) or {"Latitude": 40.0, "Longitude": -100.0, "SubAreas": []}
    subs = [s["Abbreviation"] for s in area.get("SubAreas") or []]
    ad["id"] = 7800000000 + sum(map(ord, host)) * 10000 + index * 7
    ad["posted"] = CL_TODAY_EPOCH + index * 600
    ad["sub"] = r.choice(subs) if subs else ""
    ad["lat"] = round(area["Latitude"] + (r.random() - 0.5) / 5, 4)
    ad["lon"] = round(area["Longitude"] + (r.random() - 0.5) / 5, 4)
    ad["miles"] = r.randrange(0, 60)  # from any postal code asked for
    ad["pictures"] = ["3:%05x_%s_0CI0qt" % (r.randrange(16 ** 5), "".join(r.choice("abcdefXYZ") for _ in range(6)))
                      for _ in range(r.randrange(1, 4))] if ad["pic"] else []
    ad["slug"] = re.sub(r"[^a-z0-9]+", "-", ("%s %s" % (ad["place"], ad["title"])).lower()).strip("-")
    ad["cat"] = cat
    ad["host"] = host
    return ad


def cl_today_filter(params):
    arg = lambda name: params.get(name, [""])[0]
    # The words that steer the simulator match no title; countN caps the answer at N ads.
    words = [w for w in query_words(params, "query") if not re.fullmatch(r"count\d+|nothingfound|fewlocal|crosspost", w)]
    def passes(ad):
        title = ad["title"].lower()
        if any(w not in title for w in words):
            return False
        low, high = arg("min_price"), arg("max_price")
        if (low or high) and ad["price"] is None:
            return False
        if low and ad["price"] < float(low):
            return False
        if high and ad["price"] > float(high):
            return False
        if arg("hasPic") == "1" and not ad["pic"]:
            return False
        if arg("postal") and arg("search_distance") and ad["miles"] > float(arg("search_distance")):
            return False
        return True
    return passes


def cl_today_ads(gen, host, cat, params, sub=""):
    passes = cl_today_filter(params)
    ads = [cl_today_ad(gen, host, cat, i) for i in range(CL_TODAY_POOL)]
    found = [ad for ad in ads if passes(ad)]
    for word in query_words(params, "query"):
        m = re.fullmatch(r"count(\d+)", word)
        if m:
            found = found[:int(m.group(1))]
    return [ad for ad in found if not sub or ad["sub"] == sub]


def cl_today_link(ad):
    sub = ad["sub"] + "/" if ad["sub"] else ""
    return "https://%s.craigslist.org/%s%s/d/%s/%d.html" % (ad["host"], sub, ad["cat"], ad["slug"], ad["id"])


def cl_today_expected(ad):
    return {"title": ad["title"], "link": cl_today_link(ad), "posted": ad["posted"],
            "price": float(ad["price"]) if ad["price"] is not None else -1.0, "place": ad["place"],
            "latitude": ad["lat"], "longitude": ad["lon"],
            "pictures": ["https://images.craigslist.org/%s_600x450.jpg" % p.split(":", 1)[1] for p in ad["pictures"]]}


def craigslist_json_search(gen, params):
    arg = lambda name: params.get(name, [""])[0]
    try:
        area_id, offset, count = [int(x) for x in arg("batch").split("-")[:3]]
    except ValueError:
        return json.dumps({"errors": ["bad batch"]}), {"ads": []}
    area = cl_area_by_id(area_id)
    cat = arg("searchPath").split("/")[0] or "sss"
    if area is None:
        return json.dumps({"data": {"decode": 0, "items": [], "totalResultCount": 0}}), {"ads": []}
    host = area["Hostname"]
    ads = cl_today_ads(gen, host, cat, params)
    shown = ads[offset:offset + min(count, 360)]
    if not shown:
        return json.dumps({"data": {"decode": 0, "totalResultCount": len(ads)}}), {"ads": [], "total": len(ads)}
    subs = sorted({ad["sub"] for ad in shown})
    locations = [[area_id, host, sub] for sub in subs]
    places = sorted({ad["place"] for ad in shown})
    min_id = min(ad["id"] for ad in shown)
    min_date = min(ad["posted"] for ad in shown)
    items = []
    for ad in shown:
        item = [ad["id"] - min_id, ad["posted"] - min_date, 68, ad["price"] if ad["price"] is not None else -1,
                "%d:%d~%s~%s" % (subs.index(ad["sub"]), places.index(ad["place"]), ad["lat"], ad["lon"]),
                "thumb%d" % ad["id"], [13, "uuid-%d" % ad["id"]]]
        if ad["pictures"]:
            item.append([4] + ad["pictures"])
        item.append([6, ad["slug"]])
        if ad["price"] is not None:
            item.append([10, "$%d" % ad["price"]])
        item.append(ad["title"])
        items.append(item)
    body = {"data": {"decode": {"minPostingId": min_id, "minPostedDate": min_date, "locations": locations,
                                "locationDescriptions": places, "neighborhoods": []},
                     "items": items, "totalResultCount": len(ads)}}
    return json.dumps(body), {"ads": [cl_today_expected(ad) for ad in shown], "total": len(ads)}


def craigslist_search_page(gen, host, path, params):
    parts = [p for p in path.split("/") if p]  # search, [sub], cat
    sub, cat = (parts[1], parts[2]) if len(parts) >= 3 else ("", parts[1] if len(parts) > 1 else "sss")
    offset = int(params.get("s", ["0"])[0] or 0)
    ads = cl_today_ads(gen, host, cat, params, sub)[offset:offset + 360]
    rows, ld = [], []
    for ad in ads:
        price = '<div class="price">$%d</div>' % ad["price"] if ad["price"] is not None else ""
        rows.append('<li class="cl-static-search-result" title="%s">\n<a href="%s">\n<div class="title">%s</div>\n'
                    '<div class="details">%s<div class="location">\n%s\n</div></div></a></li>' % (
                        html.escape(ad["title"]), cl_today_link(ad), html.escape(ad["title"]), price,
                        html.escape(ad["place"])))
        offer = {"@type": "Offer", "priceCurrency": "USD",
                 "availableAtOrFrom": {"@type": "Place", "address": {"@type": "PostalAddress",
                                                                    "addressLocality": ad["place"],
                                                                    "addressRegion": "CA", "postalCode": ""},
                                       "geo": {"@type": "GeoCoordinates", "latitude": ad["lat"],
                                               "longitude": ad["lon"]}}}
        if ad["price"] is not None:
            offer["price"] = "%d.00" % ad["price"]
        ld.append({"@type": "ListItem", "position": str(len(ld)), "item": {
            "@type": "Product", "name": ad["title"], "offers": offer,
            "image": ["https://images.craigslist.org/%s_600x450.jpg" % p.split(":", 1)[1] for p in ad["pictures"]]}})
    ld_text = json.dumps({"@context": "https://schema.org", "@type": "ItemList", "itemListElement": ld})
    body = ('<!DOCTYPE html><html><head><title>%s for sale - craigslist</title>\n'
            '<script type="application/ld+json" id="ld_searchpage_results" >\n%s\n</script>\n'
            '<script src="/static/search.js"></script></head><body>\n<div class="cl-content">\n'
            '<ol class="cl-static-search-results">\n<li class="cl-static-hub-links">see also</li>\n%s\n</ol>\n'
            '</div></body></html>\n') % (cat, ld_text.replace("</", "<\\/"), "\n".join(rows))
    return body, {"ads": [cl_today_expected(ad) for ad in ads]}


def craigslist_today_posting(gen, host, path):
    posting = int(re.search(r"(\d+)\.html$", path).group(1))
    r = gen.rng("posting-today", host, posting)
    title = "%s %s" % (r.choice(ADJECTIVES), r.choice(THINGS))
    price = r.randrange(5, 999)
    images = ["https://images.craigslist.org/%05x_abc_0CI0qt_600x450.jpg" % r.randrange(16 ** 5) for _ in range(2)]
    text = "Great condition &amp; barely used. Pick up in %s only." % r.choice(PLACES)
    ld = {"@context": "https://schema.org", "@type": "Product", "name": title, "description": html.unescape(text),
          "image": images, "offers": {"@type": "Offer", "price": "%d.00" % price, "priceCurrency": "USD",
                                      "availableAtOrFrom": {"address": {"addressLocality": "oakland"},
                                                            "geo": {"latitude": 37.8, "longitude": -122.27}}}}
    body = ('<html><head><title>%s - craigslist</title>\n'
            '<script type="application/ld+json" id="ld_posting_data" >\n%s\n</script></head><body>\n'
            '<h1 class="postingtitle"><span id="titletextonly">%s</span> <span class="price">$%d</span></h1>\n'
            '<button class="reply-button" data-href="/reply/sfo/bik/%d">reply</button>\n'
            '<div id="map" data-latitude="37.8" data-longitude="-122.27"></div>\n'
            '<p class="attrgroup"><span>condition: <b>good</b></span></p>\n'
            '<section id="postingbody"><div class="print-information print-qrcode-container">'
            '<p class="print-qrcode-label">QR Code Link to This Post</p></div>\n%s\n</section>\n'
            '<p class="postinginfo reveal">posted: <time class="date timeago" datetime="2025-12-10T10:15:00-0800">'
            '2025-12-10 10:15</time></p>\n</body></html>\n') % (
        html.escape(title), json.dumps(ld), html.escape(title), price, posting, text)
    return body, {"title": title, "price": float(price), "images": images, "description": html.unescape(text),
                  "email": ""}


RSS_BLOCKED = (b"<html><head><title>blocked</title></head><body><h1>Your request has been blocked.</h1>"
               b"<p>If you believe this is in error please contact us.</p></body></html>\n")


def craigslist_today(gen, host, path, params):
    """(body, content type, expected) of today's site, or None."""
    html_type = "text/html; charset=utf-8"
    if host.startswith("reference."):
        if path == "/Areas":
            with open(os.path.join(FIXTURES, "craigslist_areas.json"), encoding="utf-8") as f:
                return f.read(), "application/json", {}
        return None
    if host.startswith("sapi.") and path == "/web/v8/postings/search/full":
        body, expected = craigslist_json_search(gen, params)
        return body, "application/json", expected
    city = host.split(".")[0]
    if path.startswith("/search/"):
        body, expected = craigslist_search_page(gen, city, path, params)
        return body, html_type, expected
    if re.search(r"/\d+\.html$", path):
        body, expected = craigslist_today_posting(gen, city, path)
        return body, html_type, expected
    return None


def site_page(gen, host, path, params, era="classic"):
    """(body, content type, expected) for a site URL, or None when no site has it."""
    host = host.lower().split(":")[0]
    name = fixture_name(params)
    if name:
        for ext, ctype in ((".html", "text/html; charset=utf-8"), (".xml", "application/rss+xml; charset=utf-8")):
            file = os.path.join(FIXTURES, name + ext)
            if os.path.exists(file):
                with open(file, encoding="utf-8") as f:
                    body = f.read()
                expected = {}
                if os.path.exists(os.path.join(FIXTURES, name + ".json")):
                    with open(os.path.join(FIXTURES, name + ".json"), encoding="utf-8") as f:
                        expected = json.load(f)
                return body, ctype, expected
        return None
    html_type, rss_type = "text/html; charset=utf-8", "application/rss+xml; charset=utf-8"
    typed = lambda page, ctype: (page[0], ctype, page[1])
    if "craigslist" in host and era == "today":
        return craigslist_today(gen, host, path, params)
    if "craigslist" in host:
        if path.startswith("/search/"):
            return typed(craigslist_query(gen, host, path, params), html_type)
        if path.startswith("/flag/"):
            return "<html><body>Thanks for flagging.</body></html>\n", html_type, {"flagged": params}
        if re.search(r"/\d+\.html$", path):
            return typed(craigslist_posting(gen, host, path), html_type)
        if re.fullmatch(r"/[a-z0-9]+/?", path):
            return typed(craigslist_category(gen, host, path), html_type)
        return None
    if "backpage" in host and "/online/exports/rss.xml" in path.lower():
        return typed(backpage(gen, host, path, params), rss_type)
    if "oodle" in host and params.get("v") == ["rss"]:
        return typed(oodle(gen, host, path, params), rss_type)
    if "ebayclassifieds" in host and path.startswith("/classified-ads"):
        return typed(ebay(gen, host, path, params), rss_type)
    if "cars.com" in host and path.startswith("/for-sale/searchresults.action"):
        return typed(cars_com(gen, host, path, params), html_type)
    if "autotrader" in host and path.startswith("/fyc/searchresults.jsp"):
        return typed(autotrader(gen, host, path, params), html_type)
    return None


# ---- server -----------------------------------------------------------------------

class Faults:
    """Faults injected into the answers of URLs that contain a given text."""

    def __init__(self):
        self.lock = threading.Lock()
        self.rules = []

    def add(self, rule):
        with self.lock:
            self.rules.append(rule)

    def clear(self):
        with self.lock:
            self.rules.clear()

    def take(self, url):
        with self.lock:
            for rule in self.rules:
                if rule["match"] in url and rule["times"] != 0:
                    rule["times"] -= 1
                    return dict(rule)
        return None


def escape_field(text):
    return text.replace("\\", "\\\\").replace("\t", "\\t").replace("\n", "\\n").replace("\r", "\\r")


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "sitesim/1.0"
    # Headers and body go out in separate writes; without this Nagle holds the body
    # back until the client acknowledges the headers.
    disable_nagle_algorithm = True

    def log_message(self, fmt, *args):
        pass

    def setup(self):
        super().setup()
        with self.server.lock:
            self.server.connections += 1
            self.conn_id = self.server.connections

    def target(self):
        tunnel = getattr(self, "tunnel_host", None)
        if tunnel:
            parts = urlsplit(self.path)
            return "https", self.headers.get("Host", tunnel), parts.path or "/", parts.query, True
        if self.path.startswith("http://") or self.path.startswith("https://"):
            parts = urlsplit(self.path)
            return parts.scheme, parts.netloc, parts.path or "/", parts.query, True
        parts = urlsplit(self.path)
        scheme = "https" if self.server.tls else "http"
        return scheme, self.headers.get("Host", ""), parts.path or "/", parts.query, False

    def record(self, url, body):
        if not self.server.log:
            return
        headers = "\n".join("%s: %s" % (k, v) for k, v in self.headers.items())
        fields = [str(self.conn_id), self.client_address[0], self.command, url, headers, body.decode("latin-1")]
        line = "\t".join(escape_field(f) for f in fields) + "\n"
        with self.server.lock:
            self.server.log.write(line)
            self.server.log.flush()

    def do_GET(self):
        self.handle_request(b"")

    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0") or 0)
        self.handle_request(self.rfile.read(length))

    def do_CONNECT(self):
        host = self.path.split(":")[0].lower()
        # Today's Craigslist is reached over https: its hosts are tunnelled to a TLS endpoint
        # with a certificate for *.craigslist.org (fixtures/tls/sites-ca.pem signs it).
        if self.server.era != "today" or not host.endswith("craigslist.org"):
            self.send_plain(501, "text/plain", b"CONNECT is not simulated\n")
            return
        self.send_response(200, "Connection established")
        self.end_headers()
        self.wfile.flush()
        try:
            tls = self.server.sites_tls.wrap_socket(self.connection, server_side=True)
        except (ssl.SSLError, OSError):
            self.close_connection = True
            return
        self.connection = tls
        self.rfile = tls.makefile("rb", -1)
        self.wfile = tls.makefile("wb", 0)
        self.tunnel_host = host
        self.close_connection = False
        while not self.close_connection:
            try:
                self.handle_one_request()
            except (ssl.SSLError, OSError):
                break
        self.close_connection = True

    def handle_request(self, request_body):
        scheme, host, path, query, proxied = self.target()
        url = "%s://%s%s%s" % (scheme, host, path, "?" + query if query else "")
        if path not in CONTROL_ONLY:
            self.record(url, request_body)
        params = parse_qs(query, keep_blank_values=True)
        fault = self.server.faults.take(url)
        if fault and fault.get("delay_ms"):
            time.sleep(fault["delay_ms"] / 1000.0)
        if fault and fault.get("reset"):
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            self.close_connection = True
            self.connection.close()
            return
        if fault and fault.get("block"):
            status, page = BLOCK_PAGES[fault["block"]]
            self.send_page(status, "text/html", page)
            return
        if fault and fault.get("location"):
            self.send_response(fault.get("status") or 302)
            self.send_header("Location", fault["location"])
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        if fault and fault.get("answer") is not None:
            self.send_answer(fault)
            return
        if fault and fault.get("status"):
            self.send_plain(fault["status"], "text/html", b"<html><body>simulated error</body></html>\n")
            return
        if path.startswith("/__sim/"):
            self.control(path, params, request_body)
            return
        if "craigslist" in host.lower() and self.server.era == "today" and self.craigslist_turns_away(scheme, host, path,
                                                                                                     query, params):
            return
        if self.command == "POST" and (path == "/send_mail.php" or path.startswith("/hook")):
            # The vendor's mail service and the web hooks: the request log keeps each body.
            self.send_plain(200, "text/plain", b"OK\n")
            return
        if re.search(r"\.(jpe?g|png|gif)$", path.lower()):
            self.send_page(200, "image/png", picture(path))
            return
        if path in VENDOR_SERVICES:
            self.send_page(200, "text/plain", VENDOR_SERVICES[path](params).encode("utf-8"))
            return
        result = site_page(self.server.gen, host, path, params, era=self.server.era)
        if result is None:
            self.send_plain(404, "text/html", b"<html><body>Not Found</body></html>\n")
            return
        body, ctype, _ = result
        self.send_page(200, ctype, body.encode("utf-8"), truncate=bool(fault and fault.get("truncate")))

    def craigslist_turns_away(self, scheme, host, path, query, params):
        """Today's site: http goes to https, RSS is blocked, bare clients are refused."""
        if scheme == "http" and not re.search(r"\.(jpe?g|png|gif)$", path.lower()):
            self.send_response(301)
            self.send_header("Location", "https://%s%s%s" % (host, path, "?" + query if query else ""))
            self.send_header("Content-Length", "0")
            self.end_headers()
            return True
        agent = self.headers.get("User-Agent", "")
        browser = agent.startswith("Mozilla/5.0") and "Firefox/3" not in agent and self.headers.get("Accept-Language")
        if params.get("format") == ["rss"] or not browser:
            self.send_page(403, "text/html", RSS_BLOCKED)
            return True
        return False

    def control(self, path, params, request_body):
        arg = lambda name, default="": params.get(name, [default])[0]
        if path == "/__sim/echo":
            data = {"method": self.command, "path": self.path, "headers": dict(self.headers.items()),
                    "peer": self.client_address[0], "conn": self.conn_id, "body": request_body.decode("latin-1")}
            self.send_page(200, "application/json", json.dumps(data).encode())
        elif path == "/__sim/bytes":
            self.send_page(200, "text/plain", b"x" * int(arg("n", "0")))
        elif path == "/__sim/status":
            self.send_plain(int(arg("code", "500")), "text/html", b"<html><body>status page</body></html>\n")
        elif path == "/__sim/redirect":
            self.send_response(302)
            self.send_header("Location", arg("to", "/__sim/echo"))
            self.send_header("Content-Length", "0")
            self.end_headers()
        elif path == "/__sim/trickle":
            # A server that sends its page a few bytes a second and never gives up.
            self.send_trickle(int(arg("n", "1000")), float(arg("bps", "2")))
        elif path == "/__sim/bomb":
            # A small gzip answer that decodes to mb megabytes of zeros.
            self.send_bomb(int(arg("mb", "64")))
        elif path == "/__sim/raw":
            # Exact bytes (hex) with an exact Content-Type, for charset handling.
            self.send_page(200, arg("type", "text/html"), bytes.fromhex(arg("hex")))
        elif path == "/__sim/expected":
            result = site_page(self.server.gen, *split_url(arg("url")), era=self.server.era)
            expected = result[2] if result else None
            self.send_page(200 if result else 404, "application/json", json.dumps(expected).encode())
        elif path == "/__sim/fault":
            self.server.faults.add({"match": arg("match"), "status": int(arg("status", "0")),
                                    "delay_ms": int(arg("delay_ms", "0")), "reset": arg("reset") == "1",
                                    "truncate": arg("truncate") == "1", "times": int(arg("times", "1")),
                                    "location": arg("location")})
            self.send_page(200, "text/plain", b"ok\n")
        elif path == "/__sim/answer":
            # A service's own answer for the next TIMES URLs holding MATCH: a status, a JSON
            # body and, when given, a Retry-After header.
            self.server.faults.add({"match": arg("match"), "status": int(arg("status", "200")),
                                    "answer": arg("body"), "retry_after": arg("retry_after"),
                                    "times": int(arg("times", "1"))})
            self.send_page(200, "text/plain", b"ok\n")
        elif path == "/__sim/block":
            # Until /__sim/clear, every URL containing TEXT gets a refusal, a challenge or a
            # page the site's parser no longer reads.
            kind = arg("as", "403")
            if kind not in BLOCK_PAGES:
                self.send_plain(400, "text/plain", b"as takes 403, 429, 503, captcha, blocked or changed\n")
                return
            self.server.faults.add({"match": arg("match"), "block": kind, "times": -1})
            self.send_page(200, "text/plain", b"ok\n")
        elif path == "/__sim/prop":
            # What the vendor's services/prop.php answers for a name (on every port).
            VENDOR_PROPS[arg("name")] = arg("value")
            self.send_page(200, "text/plain", b"ok\n")
        elif path == "/__sim/pricecut":
            self.server.gen.price_cut = int(arg("percent", "0"))
            self.send_page(200, "text/plain", b"ok\n")
        elif path == "/__sim/grow":
            word = arg("word")
            self.server.gen.grown[word] = self.server.gen.grown.get(word, 0) + int(arg("by", "1"))
            self.send_page(200, "text/plain", ("%d\n" % self.server.gen.grown[word]).encode())
        elif path == "/__sim/setcookie":
            # A cookie the client is to keep: /__sim/setcookie?cookie=NAME%3DVALUE
            body = b"ok\n"
            self.send_response(200)
            self.send_header("Set-Cookie", arg("cookie", "sim=1") + "; path=/")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)
        elif path == "/__sim/craigslist":
            # Which Craigslist the simulator speaks: "today" or "classic" (the old pages).
            self.server.era = arg("era", "classic")
            self.send_page(200, "text/plain", b"ok\n")
        elif path == "/__sim/clear":
            self.server.faults.clear()
            self.server.gen.price_cut = 0
            self.send_page(200, "text/plain", b"ok\n")
        else:
            self.send_plain(404, "text/plain", b"unknown control path\n")

    def send_trickle(self, length, bytes_per_second):
        self.send_response(200)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(length))
        self.end_headers()
        self.close_connection = True
        try:
            for _ in range(length):
                self.wfile.write(b"x")
                self.wfile.flush()
                time.sleep(1.0 / bytes_per_second)
        except OSError:
            pass  # the client gave up, as it should

    def send_bomb(self, megabytes):
        body = bomb_body(megabytes)
        self.send_response(200)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Encoding", "gzip")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.close_connection = True
        try:
            self.wfile.write(body)
        except OSError:
            pass  # the client stopped reading once it had enough

    def send_answer(self, fault):
        body = fault["answer"].encode("utf-8")
        self.send_response(fault["status"])
        self.send_header("Content-Type", "application/json")
        if fault.get("retry_after"):
            self.send_header("Retry-After", fault["retry_after"])
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def send_plain(self, status, ctype, body):
        self.send_response(status)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def send_page(self, status, ctype, body, truncate=False):
        # Answers are validated as sites do: an unchanged page is "304 Not Modified".
        etag = '"%s"' % hashlib.sha1(body).hexdigest()[:16]
        if status == 200 and not truncate and self.headers.get("If-None-Match") == etag:
            self.send_response(304)
            self.send_header("ETag", etag)
            self.end_headers()
            return
        accepted = self.headers.get("Accept-Encoding", "").lower()
        encoding = None
        if "gzip" in accepted:
            body, encoding = gzip.compress(body, mtime=0), "gzip"
        elif "deflate" in accepted:
            body, encoding = zlib.compress(body), "deflate"
        self.send_response(status)
        self.send_header("Content-Type", ctype)
        if getattr(self, "tunnel_host", None) and not self.headers.get("Cookie"):
            self.send_header("Set-Cookie", "cl_b=4|sim%d; path=/; domain=.craigslist.org" % self.conn_id)
        if encoding:
            self.send_header("Content-Encoding", encoding)
        if status == 200:
            self.send_header("ETag", etag)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if truncate:
            self.wfile.write(body[: len(body) // 2])
            self.wfile.flush()
            self.close_connection = True
            return
        self.wfile.write(body)


BOMBS = {}
BOMBS_LOCK = threading.Lock()


def bomb_body(megabytes):
    with BOMBS_LOCK:
        if megabytes not in BOMBS:
            out = io.BytesIO()
            zeros = bytes(1024 * 1024)
            with gzip.GzipFile(fileobj=out, mode="wb", compresslevel=9, mtime=0) as packed:
                for _ in range(megabytes):
                    packed.write(zeros)
            BOMBS[megabytes] = out.getvalue()
        return BOMBS[megabytes]


def split_url(url):
    parts = urlsplit(url)
    return parts.netloc, parts.path or "/", parse_qs(parts.query, keep_blank_values=True)


# The vendor's web services: named values (set through /__sim/prop) and the profile update.
VENDOR_PROPS = {}
VENDOR_SERVICES = {
    "/services/prop.php": lambda params: VENDOR_PROPS.get(params.get("name", [""])[0], ""),
    "/services/user.php": lambda params: "ok",
}


class Server(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, address, gen, log, faults, tls_context=None):
        super().__init__(address, Handler)
        self.gen = gen
        self.log = log
        self.lock = threading.Lock()
        self.connections = 0
        self.faults = faults
        self.tls = tls_context is not None
        self.era = "classic"
        self.sites_tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        self.sites_tls.minimum_version = ssl.TLSVersion.TLSv1_2
        self.sites_tls.load_cert_chain(os.path.join(FIXTURES, "tls", "sites.pem"), os.path.join(FIXTURES, "tls", "sites.key"))
        if tls_context:
            self.socket = tls_context.wrap_socket(self.socket, server_side=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--bind", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=0, help="0 picks a free port")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--today", help="YYYY-MM-DD, the date of the newest ads (default: today)")
    parser.add_argument("--log", help="append one line per request to this file")
    parser.add_argument("--tls-port", type=int, help="also serve HTTPS on this port (0 picks one)")
    parser.add_argument("--cert", default=os.path.join(FIXTURES, "tls", "server.pem"))
    parser.add_argument("--key", default=os.path.join(FIXTURES, "tls", "server.key"))
    parser.add_argument("--craigslist", choices=["classic", "today"], default="classic",
                        help="speak Craigslist's old pages or today's site")
    args = parser.parse_args()

    today = datetime.date.fromisoformat(args.today) if args.today else datetime.date.today()
    gen = Generator(args.seed, today)
    # Latin-1 keeps every byte of a request body as it came.
    log = open(args.log, "a", encoding="latin-1", errors="replace") if args.log else None
    # Faults set on either port apply to both, like the vendor's values.
    faults = Faults()
    servers = [Server((args.bind, args.port), gen, log, faults)]
    servers[0].era = args.craigslist
    print("listening %d" % servers[0].server_address[1], flush=True)
    if args.tls_port is not None:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.minimum_version = ssl.TLSVersion.TLSv1_2
        context.load_cert_chain(args.cert, args.key)
        servers.append(Server((args.bind, args.tls_port), gen, log, faults, context))
        print("tls %d" % servers[1].server_address[1], flush=True)
    for extra in servers[1:]:
        threading.Thread(target=extra.serve_forever, daemon=True).start()
    try:
        servers[0].serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
