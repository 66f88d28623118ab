#!/usr/bin/env python3
"""The headless watcher against the site simulator: how soon a new ad reaches the web hook,
what an idle watcher costs, and what it asks of each host.

    bench/watch_bench.py --cli build/release/trawlix-cli [--before-cli OLD] [--long]

latency: searches spread over five Craigslist hosts poll every 15 s at the default budget
    (6 requests a minute per host); ads appear at random moments; from each ad appearing to
    the first web-hook POST naming it: min, median, p95, max.
idle: many searches over the same hosts, nothing new: the watcher's CPU share, memory,
    wakeups a second, and the most requests any host got in a minute.
alone: with --before-cli, the same searches under that build (each search polling alone,
    at its own interval of at least a minute): requests a minute beside this build's.

The default run takes about six minutes; --long runs the full figures (20 searches for ten
minutes; 1,000 searches with 200 distinct requests idle for ten minutes), which takes about
an hour with the set-up of the searches.
"""
import argparse
import json
import os
import random
import re
import subprocess
import sys
import tempfile
import time
import urllib.parse
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "soak"))
from watch_soak import LogFollower, ad_key, unescape  # noqa: E402

SITESIM = os.path.join(HERE, "..", "tests", "sitesim", "sitesim.py")
# One location on each of five Craigslist hosts (sfbay, newyork, chicago, boston, seattle).
LOCATIONS = ["10011", "10031", "10111", "10041", "10021"]
HOOK = "/hook/bench"


class Peer:
    """A throw-away profile and the simulator, with the watcher's process to measure."""

    def __init__(self, cli, seed):
        self.cli_path = cli
        self.dir = tempfile.mkdtemp(prefix="trawlix-bench-")
        self.env = dict(os.environ, TRAWLIX_DATA_DIR=os.path.join(self.dir, "data"),
                        TRAWLIX_CONFIG_DIR=os.path.join(self.dir, "config"), XDG_RUNTIME_DIR=self.dir)
        self.log = os.path.join(self.dir, "sitesim.log")
        self.sim = subprocess.Popen([sys.executable, SITESIM, "--port", "0", "--seed", str(seed), "--log", self.log],
                                    stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        self.port = int(self.sim.stdout.readline().split()[1])
        self.follower = LogFollower(self.log)
        self.follower.start()
        self.watcher = None

    def get(self, path):
        with urllib.request.urlopen("http://127.0.0.1:%d%s" % (self.port, path), timeout=10) as answer:
            return answer.read().decode()

    def cli(self, *args):
        result = subprocess.run([self.cli_path] + list(args), env=self.env, capture_output=True, text=True,
                                timeout=300)
        if result.returncode != 0:
            raise RuntimeError("%s: %s" % (" ".join(args), result.stderr))
        return result.stdout

    def set_up(self, searches, interval):
        """searches: (name, keywords, location) each; interval as `alert --interval` takes it."""
        self.cli("proxy", "--enable", "--host", "127.0.0.1", "--port", str(self.port))
        self.cli("config", "NotificationTransport", "webhook")
        self.cli("config", "NotificationWebhookURL", "http://hooks.example.com" + HOOK)
        self.cli("config", "NotificationWebhookFormat", "json")
        for name, keywords, location in searches:
            self.cli("add-search", "--name", name, "--keywords", keywords, "--location", location, "--category", "24",
                     "--sites", "craigslist", "--pages", "1")
            self.cli("alert", name, "--enable", "--interval", interval, "--email", "me@example.com",
                     "--send-email", "yes")

    def start_watcher(self, cli=None):
        out = open(os.path.join(self.dir, "watch.log"), "a")
        self.watcher = subprocess.Popen([cli or self.cli_path, "watch", "--json"], env=self.env, stdout=out,
                                        stderr=out)

    def stop_watcher(self):
        self.watcher.terminate()
        try:
            self.watcher.wait(timeout=60)
        except subprocess.TimeoutExpired:
            self.watcher.kill()
            self.watcher.wait()

    def close(self):
        if self.watcher and self.watcher.poll() is None:
            self.watcher.kill()
        self.follower.stop = True
        self.sim.terminate()
        self.sim.wait()

    # --- what the site saw -----------------------------------------------------------------

    def page_requests(self, since=0.0):
        """(time, host) of every search page asked for since the given time."""
        seen = []
        for at, fields in list(self.follower.lines):
            if at >= since and len(fields) >= 6 and fields[2] == "GET" and "/search/" in fields[3]:
                seen.append((at, urllib.parse.urlsplit(fields[3]).netloc))
        return seen

    def hook_posts(self):
        return [(at, unescape(f[5])) for at, f in list(self.follower.lines)
                if len(f) >= 6 and f[2] == "POST" and HOOK in f[3]]

    # --- what the watcher cost ---------------------------------------------------------------

    def process_figures(self):
        pid = self.watcher.pid
        with open("/proc/%d/stat" % pid) as stat:
            fields = stat.read().rsplit(")", 1)[1].split()
        ticks = os.sysconf("SC_CLK_TCK")
        cpu = (int(fields[11]) + int(fields[12])) / ticks
        rss_kb = 0
        with open("/proc/%d/status" % pid) as status:
            for line in status:
                if line.startswith("VmRSS:"):
                    rss_kb = int(line.split()[1])
        main_wakeups = all_wakeups = 0
        for task in os.listdir("/proc/%d/task" % pid):
            try:
                with open("/proc/%d/task/%s/status" % (pid, task)) as status:
                    switches = sum(int(line.split()[1]) for line in status if "ctxt_switches" in line)
            except OSError:
                continue  # a thread that ended meanwhile
            all_wakeups += switches
            if task == str(pid):
                main_wakeups = switches
        return {"cpu": cpu, "rss_mb": rss_kb / 1024, "main_wakeups": main_wakeups, "all_wakeups": all_wakeups}


def most_in_a_minute(requests):
    """The most requests one host got in any 60 seconds."""
    most = {}
    by_host = {}
    for at, host in requests:
        by_host.setdefault(host, []).append(at)
    for host, times in by_host.items():
        times.sort()
        first = 0
        for last, at in enumerate(times):
            while at - times[first] >= 60:
                first += 1
            most[host] = max(most.get(host, 0), last - first + 1)
    return most


def per_minute(requests, seconds):
    by_host = {}
    for _, host in requests:
        by_host[host] = by_host.get(host, 0) + 1
    return {host: round(count * 60 / seconds, 1) for host, count in sorted(by_host.items())}


def percentile(values, share):
    return values[min(len(values) - 1, int(share * len(values)))] if values else None


def latency(args):
    """Searches sharing a query per host (as today's Craigslist serves an area and category to
    every search there with one request), each telling its own web hook digest."""
    rng = random.Random(args.seed)
    per_host = args.searches // len(LOCATIONS)
    searches = []
    for h, location in enumerate(LOCATIONS):
        for i in range(per_host):
            word = "benchw%dq%d" % (h, i % args.queries_per_host)
            searches.append(("Bench %d-%d" % (h, i), "lamp count3 " + word, location))
    peer = Peer(args.cli, args.seed)
    try:
        peer.set_up(searches, "15s")
        peer.start_watcher()
        time.sleep(45)  # every search has run once: what is there now is known
        appeared = {}
        words = sorted({keywords.split()[-1] for _, keywords, _ in searches})
        end = time.time() + args.latency_seconds
        while time.time() < end - 40:
            word = rng.choice(words)
            urls = [f[3] for _, f in list(peer.follower.lines) if len(f) >= 6 and "/search/" in f[3] and word in f[3]]
            if urls:
                before = {ad_key(a["link"]) for a in json.loads(peer.get(
                    "/__sim/expected?url=" + urllib.parse.quote(urls[0], safe="")))["ads"]}
                peer.get("/__sim/grow?word=%s&by=1" % word)
                now = time.time()
                after = json.loads(peer.get("/__sim/expected?url=" + urllib.parse.quote(urls[0], safe="")))["ads"]
                for ad in after:
                    if ad_key(ad["link"]) not in before:
                        appeared[ad_key(ad["link"])] = now
            time.sleep(rng.uniform(3, 12))
        time.sleep(max(0, end - time.time()))
        first_told = {}
        for at, body in peer.hook_posts():
            for result in json.loads(body).get("results", []):
                first_told.setdefault(ad_key(result["link"]), at)
        delays = sorted(first_told[link] - at for link, at in appeared.items() if link in first_told)
        requests = peer.page_requests()
        peer.stop_watcher()
        return {
            "searches": len(searches), "hosts": len(LOCATIONS), "distinct_requests": len(words),
            "interval_s": 15, "ads": len(appeared), "ads_told": len(delays),
            "latency_s": {"min": round(delays[0], 1) if delays else None,
                          "median": round(percentile(delays, 0.5), 1) if delays else None,
                          "p95": round(percentile(delays, 0.95), 1) if delays else None,
                          "max": round(delays[-1], 1) if delays else None},
            "most_requests_in_a_minute_per_host": most_in_a_minute(requests),
        }
    finally:
        peer.close()


def idle_searches(count, distinct):
    searches = []
    for i in range(count):
        q = i % distinct
        searches.append(("Idle %d" % i, "lamp count3 idleq%d" % q, LOCATIONS[q % len(LOCATIONS)]))
    return searches


def watch_idle(peer, cli, warm_up, seconds):
    """Runs a watcher over peer's searches; its figures over `seconds` after `warm_up`."""
    peer.start_watcher(cli)
    time.sleep(warm_up)
    start, began = peer.process_figures(), time.time()
    time.sleep(seconds)
    end, took = peer.process_figures(), time.time() - began
    requests = peer.page_requests(since=began)
    peer.stop_watcher()
    return {
        "cpu_percent_of_one_core": round(100 * (end["cpu"] - start["cpu"]) / took, 2),
        "rss_mb": round(end["rss_mb"], 1),
        "main_thread_wakeups_per_s": round((end["main_wakeups"] - start["main_wakeups"]) / took, 1),
        "all_threads_wakeups_per_s": round((end["all_wakeups"] - start["all_wakeups"]) / took, 1),
        "requests_per_minute_per_host": per_minute(requests, took),
        "most_requests_in_a_minute_per_host": most_in_a_minute(requests),
    }


def idle(args):
    peer = Peer(args.cli, args.seed)
    try:
        # Whole minutes, so that an older build takes the same searches.
        peer.set_up(idle_searches(args.idle_searches, args.idle_distinct), "1")
        figures = {"searches": args.idle_searches, "distinct_requests": args.idle_distinct, "interval_s": 60,
                   "seconds": args.idle_seconds}
        figures["this_build"] = watch_idle(peer, args.cli, args.warm_up, args.idle_seconds)
        if args.before_cli:
            figures["before"] = watch_idle(peer, args.before_cli, args.warm_up, args.idle_seconds)
        return figures
    finally:
        peer.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cli", required=True)
    parser.add_argument("--before-cli", help="an older build's trawlix-cli, measured on the same searches")
    parser.add_argument("--long", action="store_true", help="the full figures (about an hour)")
    parser.add_argument("--only", choices=["latency", "idle"])
    parser.add_argument("--seed", type=int, default=11)
    parser.add_argument("--queries-per-host", type=int, default=1,
                        help="distinct queries among each host's searches of the latency run")
    args = parser.parse_args()
    args.searches = 20
    args.latency_seconds = 600 if args.long else 150
    args.idle_searches, args.idle_distinct = (1000, 200) if args.long else (100, 20)
    args.idle_seconds = 600 if args.long else 120
    args.warm_up = 150 if args.long else 75
    figures = {}
    if args.only in (None, "latency"):
        figures["latency"] = latency(args)
    if args.only in (None, "idle"):
        figures["idle"] = idle(args)
    print(json.dumps(figures, indent=1))
    return 0


if __name__ == "__main__":
    sys.exit(main())
