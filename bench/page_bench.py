#!/usr/bin/python3
"""How fast the page ticks at each speed, in headless Chromium.

Usage: page_bench.py PATH/TO/build/web/site

Serves the built site on the loopback, opens it in Debian's chromium through
selenium, and at each speed counts the ticks of the idle oven over SECONDS,
RUNS times. The aim: 1x, 10x and 100x run 10, 100 and 1,000 ticks a second,
within 10 %.
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


class Quiet(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def ticks(browser):
    return int(browser.find_element(By.ID, "tick").text)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    server = http.server.ThreadingHTTPServer(
        ("127.0.0.1", 0), functools.partial(Quiet, directory=sys.argv[1]))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    options = webdriver.ChromeOptions()
    options.binary_location = shutil.which("chromium")
    for argument in ("--headless=new", "--no-sandbox", "--disable-dev-shm-usage",
                     "--window-size=1280,800"):
        options.add_argument(argument)
    browser = webdriver.Chrome(service=Service(shutil.which("chromedriver")), options=options)
    short = []
    try:
        print("| Speed | Aim | Ticks a second (median) | Min | Max |")
        print("|---|---|---|---|---|")
        for speed in SPEEDS:
            rates = []
            for _ in range(RUNS):
                browser.get(f"http://127.0.0.1:{server.server_port}/index.html"
                            f"?{time.monotonic_ns()}#speed={speed}")
                WebDriverWait(browser, 30).until(lambda b: ticks(b) > 0)
                first, start = ticks(browser), time.perf_counter()
                time.sleep(SECONDS)
                last, end = ticks(browser), time.perf_counter()
                rates.append((last - first) / (end - start))
            aim = speed * TICKS_PER_SECOND
            median = statistics.median(rates)
            print(f"| {speed}x | {aim} | {median:,.0f} | {min(rates):,.0f} | {max(rates):,.0f} |")
            if abs(median - aim) > WITHIN * aim:
                short.append(f"{speed}x: {median:,.0f} ticks a second, not {aim:,}")
    finally:
        browser.quit()
        server.shutdown()
    for line in short:
        print(line)


if __name__ == "__main__":
    main()
