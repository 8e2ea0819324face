#!/usr/bin/python3
"""How fast the page ticks, fresh and after a long session, in headless Chromium.

Usage: page_bench.py PATH/TO/build/web/site

Serves the built site on the loopback and opens it in Debian's chromium
through selenium, at 1280x800.

- Fresh: at each speed, the ticks of the idle oven over SECONDS, RUNS times.
  The aim: 1x, 10x and 100x run 10, 100 and 1,000 ticks a second, within 10 %.
- After a long session: a link of SESSION_TICKS ticks played at 100x, then run
  on at 100x; the ticks a second over SECONDS, RUNS times, the longest task
  (a PerformanceObserver for longtask) and the longest a click on a panel key
  waited to be handled (the Event Timing API), both from the moment Run is
  clicked; the long tasks of the page's loading are listed apart. The aims:
  at least 900 ticks a second, no task over 100 ms, no click waiting over
  50 ms.
"""

import functools
import http.server
import shutil
import statistics
import sys
import threading
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

SECONDS = 5.0
RUNS = 3
SPEEDS = (1, 10, 100)
TICKS_PER_SECOND = 10
WITHIN = 0.10
SESSION_TICKS = 20000
SESSION_WAIT_S = 600
LONG_RATE = 900
LONG_TASK_MS = 100
INPUT_DELAY_MS = 50
CLICKS = 10

# Watches every long task and every click from the document's start.
OBSERVE = """
window.benchLongTasks = [];
window.benchEvents = [];
new PerformanceObserver((list) => {
  for (const entry of list.getEntries()) window.benchLongTasks.push([entry.startTime, entry.duration]);
}).observe({type: 'longtask', buffered: true});
new PerformanceObserver((list) => {
  for (const entry of list.getEntries()) {
    if (entry.name === 'click' || entry.name === 'pointerdown') {
      window.benchEvents.push([entry.startTime, entry.processingStart - entry.startTime, entry.name]);
    }
  }
}).observe({type: 'event', durationThreshold: 16, buffered: true});
"""


class Quiet(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def ticks(browser):
    return int(browser.find_element(By.ID, "tick").text)


def rate(browser):
    first, start = ticks(browser), time.perf_counter()
    time.sleep(SECONDS)
    last, end = ticks(browser), time.perf_counter()
    return (last - first) / (end - start)


def fresh(browser, base, short):
    print("| Speed | Aim | Ticks a second (median) | Min | Max |")
    print("|---|---|---|---|---|")
    for speed in SPEEDS:
        rates = []
        for _ in range(RUNS):
            browser.get(f"{base}/index.html?{time.monotonic_ns()}#speed={speed}")
            WebDriverWait(browser, 30).until(lambda b: ticks(b) > 0)
            rates.append(rate(browser))
        aim = speed * TICKS_PER_SECOND
        median = statistics.median(rates)
        print(f"| {speed}x | {aim} | {median:,.0f} | {min(rates):,.0f} | {max(rates):,.0f} |")
        if abs(median - aim) > WITHIN * aim:
            short.append(f"fresh, {speed}x: {median:,.0f} ticks a second, not {aim:,}")


def long_session(browser, base, short):
    start = time.perf_counter()
    browser.get(f"{base}/index.html?{time.monotonic_ns()}#keys=.{{{SESSION_TICKS}}}&speed=100")
    WebDriverWait(browser, SESSION_WAIT_S).until(lambda b: ticks(b) == SESSION_TICKS)
    played = time.perf_counter() - start
    print(f"\n{SESSION_TICKS:,} ticks played from a link at 100x in {played:.1f} s "
          f"({SESSION_TICKS / played:,.0f} ticks a second, page load included)")
    since = browser.execute_script("return performance.now()")
    browser.find_element(By.ID, "run").click()
    rates = [rate(browser) for _ in range(RUNS)]
    for _ in range(CLICKS):
        browser.find_element(By.ID, "key-c").click()
        time.sleep(0.2)
    everything = browser.execute_script("return window.benchLongTasks")
    loading = [length for at, length in everything if at < since]
    tasks = [length for at, length in everything if at >= since]
    events = [wait for at, wait, _ in browser.execute_script("return window.benchEvents")
              if at >= since]
    shown = browser.find_element(By.ID, "rate").text
    longest = max(tasks, default=0)
    delay = max(events, default=0)
    print("| After the session, at 100x | Ticks a second (median) | Min | Max |")
    print("|---|---|---|---|")
    print(f"| measured | {statistics.median(rates):,.0f} | {min(rates):,.0f} | {max(rates):,.0f} |")
    print(f"\nThe page said: {shown!r}")
    print(f"Long tasks (over 50 ms) while the page loaded and played the link: "
          f"{', '.join(f'{length:.0f} ms' for length in loading) or 'none'}")
    print(f"Long tasks (over 50 ms) after, running at 100x with {CLICKS} clicks: {len(tasks)}, "
          f"the longest {longest:.0f} ms")
    print(f"Clicks and presses slower than 16 ms to their frame: {len(events)}; the longest "
          f"input delay {delay:.0f} ms")
    if statistics.median(rates) < LONG_RATE:
        short.append(f"after {SESSION_TICKS:,} ticks: {statistics.median(rates):,.0f} ticks a "
                     f"second, not {LONG_RATE}")
    if longest > LONG_TASK_MS:
        short.append(f"a task of {longest:.0f} ms, over {LONG_TASK_MS} ms")
    if delay > INPUT_DELAY_MS:
        short.append(f"a click waited {delay:.0f} ms, over {INPUT_DELAY_MS} ms")


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    server = http.server.ThreadingHTTPServer(
        ("127.0.0.1", 0), functools.partial(Quiet, directory=sys.argv[1]))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    base = f"http://127.0.0.1:{server.server_port}"
    options = webdriver.ChromeOptions()
    options.binary_location = shutil.which("chromium")
    for argument in ("--headless=new", "--no-sandbox", "--disable-dev-shm-usage",
                     "--window-size=1280,800"):
        options.add_argument(argument)
    browser = webdriver.Chrome(service=Service(shutil.which("chromedriver")), options=options)
    browser.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": OBSERVE})
    short = []
    try:
        fresh(browser, base, short)
        long_session(browser, base, short)
    finally:
        browser.quit()
        server.shutdown()
    for line in short:
        print(line)
    sys.exit(1 if short else 0)


if __name__ == "__main__":
    main()
