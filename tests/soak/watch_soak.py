#!/usr/bin/env python3
"""Soak of the headless watcher: three searches re-run every minute against the site
simulator while new ads appear at random, the web hook fails for a while, one search's
pages are refused for a while, and the watcher is killed with SIGKILL at random moments
(and stopped with SIGTERM once) and started again.

At the end it checks what a user relies on: every ad the simulator offered is stored,
every stored ad was told through the web hook at least once and none twice, and the
database is intact. It prints one JSON line of figures and exits 1 when a check fails.

    tests/soak/watch_soak.py --cli build/test/trawlix-cli [--seconds 240] [--seed 7]
"""
import argparse
import json
import os
import random
import re
import signal
import sqlite3
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
SITESIM = os.path.join(HERE, "..", "sitesim", "sitesim.py")
SEARCHES = [("Soak A", "soaka"), ("Soak B", "soakb"), ("Soak C", "soakc")]


def ad_key(link):
    """An ad by its number: the simulator gives links relative to the host, the program
    keeps them whole."""
    numbers = re.findall(r"(\d+)\.html", link)
    return numbers[-1] if numbers else link


class LogFollower(threading.Thread):
    """Reads the simulator's request log as it grows and stamps each line with the time it
    appeared: the web hook's posts are the user's notifications."""

    def __init__(self, path):
        super().__init__(daemon=True)
        self.path = path
        self.lines = []  # (time, fields)
        self.stop = False

    def run(self):
        while not os.path.exists(self.path):
            time.sleep(0.05)
        with open(self.path, encoding="latin-1") as log:
            pending = ""
            while not self.stop:
                chunk = log.readline()
                if not chunk:
                    time.sleep(0.05)
                    continue
                pending += chunk
                if pending.endswith("\n"):
                    self.lines.append((time.time(), pending.rstrip("\n").split("\t")))
                    pending = ""


def unescape(field):
    return re.sub(r"\\(.)", lambda m: {"t": "\t", "n": "\n", "r": "\r"}.get(m.group(1), m.group(1)), field)


class Soak:
    def __init__(self, args):
        self.args = args
        self.rng = random.Random(args.seed)
        self.dir = tempfile.mkdtemp(prefix="trawlix-soak-")
        self.env = dict(os.environ, TRAWLIX_DATA_DIR=os.path.join(self.dir, "data"),
                        TRAWLIX_CONFIG_DIR=os.path.join(self.dir, "config"), XDG_RUNTIME_DIR=self.dir)
        self.watch_log = open(os.path.join(self.dir, "watch.log"), "a")
        self.added = {}  # link -> time it appeared
        self.watcher = None
        self.kills = 0
        self.term_exit_seconds = None
        self.start = time.time()
        self.blocked = None  # the word of the search whose pages are refused

    # --- peers -------------------------------------------------------------------------

    def start_peers(self):
        self.sim_log = os.path.join(self.dir, "sitesim.log")
        self.sim = subprocess.Popen([sys.executable, SITESIM, "--port", "0", "--seed", str(self.args.seed),
                                     "--log", self.sim_log], stdout=subprocess.PIPE,
                                    stderr=open(os.path.join(self.dir, "sitesim.err"), "w"), text=True)
        self.sim_port = int(self.sim.stdout.readline().split()[1])
        self.follower = LogFollower(self.sim_log)
        self.follower.start()

    def sim_get(self, path):
        with urllib.request.urlopen("http://127.0.0.1:%d%s" % (self.sim_port, path), timeout=10) as answer:
            return answer.read().decode()

    # --- the program ---------------------------------------------------------------------

    def cli(self, *args, check=True):
        result = subprocess.run([self.args.cli] + list(args), env=self.env, capture_output=True, text=True,
                                timeout=300)
        if check and result.returncode != 0:
            raise RuntimeError("%s: %s" % (" ".join(args), result.stderr))
        return result

    def set_up(self):
        self.cli("proxy", "--enable", "--host", "127.0.0.1", "--port", str(self.sim_port))
        self.cli("config", "NotificationTransport", "webhook")
        self.cli("config", "NotificationWebhookURL", "http://hooks.example.com/hook/soak")
        self.cli("config", "NotificationWebhookFormat", "json")
        for name, word in SEARCHES:
            self.cli("add-search", "--name", name, "--keywords", "lamp count3 " + word, "--location", "10011",
                     "--category", "24", "--sites", "craigslist", "--pages", "1")
            self.cli("alert", name, "--enable", "--interval", "1", "--email", "me@example.com", "--send-email", "yes")

    def start_watcher(self):
        self.watcher = subprocess.Popen([self.args.cli, "watch", "--json"], env=self.env, stdout=self.watch_log,
                                        stderr=self.watch_log)

    def kill_watcher(self):
        self.watcher.send_signal(signal.SIGKILL)
        self.watcher.wait()
        self.kills += 1

    def term_watcher(self):
        began = time.time()
        self.watcher.send_signal(signal.SIGTERM)
        try:
            self.watcher.wait(timeout=120)
        except subprocess.TimeoutExpired:
            self.watcher.kill()
            self.watcher.wait()
        return time.time() - began

    # --- new ads ----------------------------------------------------------------------------

    def search_url(self, word):
        with open(self.sim_log, encoding="latin-1") as log:
            for line in log:
                url = line.split("\t")[3] if line.count("\t") >= 5 else ""
                if "craigslist" in url and "/search/" in url and word in url:
                    return url
        return None

    def grow(self, word, by):
        url = self.search_url(word)
        if not url:
            return  # not searched yet: the ads come with its first run anyway
        # The ads there before count from the start; the new ones from now.
        self.note_ads(url, self.start)
        self.sim_get("/__sim/grow?word=%s&by=%d" % (word, by))
        self.note_ads(url, time.time())

    def note_ads(self, url, at):
        expected = json.loads(self.sim_get("/__sim/expected?url=" + urllib.parse.quote(url, safe="")))
        for ad in expected["ads"]:
            self.added.setdefault(ad_key(ad["link"]), at)

    # --- the run --------------------------------------------------------------------------

    def run(self):
        seconds = self.args.seconds
        settle = min(90, seconds // 3)
        events = []
        t = 10.0
        while t < seconds - settle:
            events.append((t, "grow"))
            t += self.rng.uniform(6, 15)
        t = self.rng.uniform(15, 30)
        while t < seconds - settle:
            events.append((t, "kill"))
            t += self.rng.uniform(20, 40)
        window = min(60, seconds // 8)
        events += [(0.30 * seconds, "term"), (0.15 * seconds, "hook_fails"), (0.15 * seconds + window, "hook_works"),
                   (0.45 * seconds, "block"), (0.45 * seconds + window, "unblock")]
        events.sort()
        self.start_watcher()
        for at, what in events:
            time.sleep(max(0, self.start + at - time.time()))
            if what == "grow":
                # The simulator refuses every address naming a blocked search, its own too.
                words = [word for _, word in SEARCHES if word != self.blocked]
                self.grow(self.rng.choice(words), self.rng.randint(1, 2))
            elif what == "kill":
                self.kill_watcher()
                time.sleep(self.rng.uniform(0.5, 3))
                self.start_watcher()
            elif what == "term":
                self.term_exit_seconds = self.term_watcher()
                self.start_watcher()
            elif what == "hook_fails":
                self.sim_get("/__sim/echo?soak=hook-fails")
                self.sim_get("/__sim/block?match=/hook/soak&as=503")
            elif what == "hook_works":
                self.sim_get("/__sim/clear")
                self.sim_get("/__sim/echo?soak=hook-works")
            elif what == "block":
                self.blocked = "soakb"
                self.sim_get("/__sim/block?match=soakb&as=403")
            elif what == "unblock":
                self.sim_get("/__sim/clear")
                self.blocked = None
        time.sleep(max(0, self.start + seconds - time.time()))
        self.term_watcher()

    # --- what came of it ----------------------------------------------------------------------

    def stored_links(self):
        links = set()
        for name, _ in SEARCHES:
            links |= {ad_key(link) for link in re.findall(r"https?://[^\s\"]+?\.html", self.cli("results", name).stdout)}
        return links

    def hook_posts(self):
        """The web hook's posts the simulator accepted, with their times, and how many it refused."""
        accepted, refused, failing = [], 0, False
        for at, fields in self.follower.lines:
            if len(fields) < 6:
                continue
            url = fields[3]
            if "soak=hook-fails" in url:
                failing = True
            elif "soak=hook-works" in url:
                failing = False
            elif fields[2] == "POST" and "/hook/soak" in url:
                if failing:
                    refused += 1
                else:
                    accepted.append((at, unescape(fields[5])))
        return accepted, refused

    def told(self, accepted):
        raw, by_id, first = {}, {}, {}
        for at, body in accepted:
            digest = json.loads(body)
            digest_id = digest.get("digest_id", "")
            for result in digest.get("results", []) + digest.get("price_drops", []):
                link = ad_key(result["link"])
                raw[link] = raw.get(link, 0) + 1
                by_id.setdefault(link, set()).add(digest_id)
                first.setdefault(link, at)
        return raw, by_id, first

    def report(self):
        stored = self.stored_links()
        accepted, refused = self.hook_posts()
        raw, by_id, first = self.told(accepted)
        offered = set(self.added) | stored
        latencies = sorted(first[link] - self.added[link] for link in self.added if link in first)
        db = sqlite3.connect(os.path.join(self.env["TRAWLIX_DATA_DIR"], "object_storage.cur"))
        integrity = db.execute("pragma integrity_check").fetchone()[0]
        figures = {
            "seconds": self.args.seconds,
            "kills": self.kills,
            "sigterm_exit_seconds": round(self.term_exit_seconds or 0, 2),
            "ads_offered": len(offered),
            "ads_stored": len(stored),
            "not_stored": sorted(offered - stored),
            "not_told": sorted(stored - set(raw)),
            "told_twice": sorted(link for link, n in raw.items() if n > 1),
            "told_twice_after_digest_id": sorted(link for link, ids in by_id.items() if len(ids) > 1),
            "hook_posts_accepted": len(accepted),
            "hook_posts_refused": refused,
            "latency_median_s": round(latencies[len(latencies) // 2], 1) if latencies else None,
            "latency_max_s": round(latencies[-1], 1) if latencies else None,
            "integrity": integrity,
            "folder": self.dir,
        }
        print(json.dumps(figures))
        ok = (not figures["not_stored"] and not figures["not_told"] and not figures["told_twice_after_digest_id"]
              and integrity == "ok")
        return 0 if ok else 1

    def close(self):
        if self.watcher and self.watcher.poll() is None:
            self.watcher.kill()
        self.follower.stop = True
        self.sim.terminate()
        self.sim.wait()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cli", required=True)
    parser.add_argument("--seconds", type=int, default=240)
    parser.add_argument("--seed", type=int, default=7)
    soak = Soak(parser.parse_args())
    soak.start_peers()
    try:
        soak.set_up()
        soak.run()
        return soak.report()
    finally:
        soak.close()


if __name__ == "__main__":
    sys.exit(main())
