#!/usr/bin/env python3
"""The oven's page in a real browser, against the real mwc-replay.

Debian's chromium, headless, driven by selenium through Debian's
chromedriver; the site is served on the loopback by Python's own server.
CTest runs one test per process, named by the argument, with MWC_SITE (the
built site), MWC_REPLAY (a native mwc-replay) and MWC_SCREENSHOT (where the
mid-cooking screenshot goes) in the environment.
"""

import functools
import http.server
import json
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import unittest

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

SITE = os.environ["MWC_SITE"]
REPLAY = os.environ["MWC_REPLAY"]
SCREENSHOT = os.environ.get("MWC_SCREENSHOT")
COLOUR = re.compile(r"\x1b\[[0-9;]*m")
FRAME_END = "\n" * 21  # the frame's last line ends, then the 20 newlines
WAIT_S = 30


def replay(script, trace=False):
    """mwc-replay's frames (colour escapes taken out), or its trace lines."""
    argv = [REPLAY, "--trace"] if trace else [REPLAY]
    output = subprocess.run(argv, input=script.encode(), capture_output=True,
                            check=True).stdout.decode()
    if trace:
        return [json.loads(line) for line in output.splitlines()]
    return [COLOUR.sub("", frame) for frame in output.split(FRAME_END)[:-1]]


class Quiet(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


class Page(unittest.TestCase):
    def setUp(self):
        handler = functools.partial(Quiet, directory=SITE)
        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        threading.Thread(target=self.server.serve_forever, daemon=True).start()
        self.downloads = tempfile.mkdtemp(prefix="mwc-web-")
        options = webdriver.ChromeOptions()
        options.binary_location = shutil.which("chromium")
        for argument in ("--headless=new", "--no-sandbox", "--disable-dev-shm-usage",
                         "--window-size=1280,1400"):
            options.add_argument(argument)
        options.add_experimental_option("prefs", {"download.default_directory": self.downloads,
                                                  "download.prompt_for_download": False})
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        self.browser = webdriver.Chrome(service=Service(shutil.which("chromedriver")),
                                        options=options)
        self.browser.get(f"http://127.0.0.1:{self.server.server_port}/index.html")
        WebDriverWait(self.browser, WAIT_S).until(lambda b: self.text("state") != "")

    def tearDown(self):
        errors = [entry for entry in self.browser.get_log("browser")
                  if entry["level"] == "SEVERE"]
        self.browser.quit()
        self.server.shutdown()
        shutil.rmtree(self.downloads)
        self.assertEqual(errors, [], "the console shows errors")

    def text(self, element_id):
        return self.browser.find_element(By.ID, element_id).text

    def click(self, element_id):
        self.browser.find_element(By.ID, element_id).click()

    def pause(self):
        """Pauses, and says how many ticks ran before."""
        self.click("pause")
        return int(self.text("tick"))

    def step_through(self, script, keyboard=False):
        """Steps one tick per byte, pressing its key first; what each showed."""
        seen = []
        for key in script:
            if key != ".":
                if keyboard:
                    self.browser.find_element(By.TAG_NAME, "body").send_keys(key)
                else:
                    self.click(f"key-{key}")
            self.click("step")
            seen.append((self.text("panel"), self.text("state"),
                         "open" in self.browser.find_element(By.ID, "door").get_attribute("class")))
        return seen

    def check_against_replay(self, before, script, seen):
        # The page ran idle ticks before the pause: the same for mwc-replay.
        whole = "." * before + script
        frames = replay(whole)
        trace = replay(whole, trace=True)
        for tick, (panel, state, door) in enumerate(seen, start=before):
            self.assertEqual(panel, frames[tick], f"panel of tick {tick + 1}")
            self.assertEqual(state, trace[tick]["state_name"], f"state of tick {tick + 1}")
            self.assertEqual(door, trace[tick]["door"], f"door of tick {tick + 1}")

    def test_TimeCookingStepByStep(self):
        # 10 s, start, and on to the buzzer and the tick after it.
        script = "a.e" + "." * 104
        before = self.pause()
        seen = self.step_through(script)
        self.check_against_replay(before, script, seen)
        self.assertEqual(seen[103][1], "Finished", "the 104th tick sees the end")
        active = self.browser.find_elements(By.CSS_SELECTOR, "#diagram g.node.active title")
        self.assertEqual([title.get_attribute("textContent") for title in active], ["Wait_Input"])

    def test_HeatingWithTheDoorStepByStep(self):
        # By temperature, target 30; the door open refuses the start; shut,
        # start, and on to the buzzer. Typed on the keyboard this time.
        script = "c.a.fefe" + "." * 35
        before = self.pause()
        seen = self.step_through(script, keyboard=True)
        self.check_against_replay(before, script, seen)
        self.assertTrue(seen[4][2], "the door drawn open")
        self.assertIn("Temp_Cooking", [state for _, state, _ in seen])

    def test_DownloadedScriptReplays(self):
        # Live at 10x: a rice cake's 60 s, started; a screenshot mid-cooking.
        self.browser.find_element(By.CSS_SELECTOR, "#speed option[value='10']").click()
        for key in "de":
            self.click(f"key-{key}")
        WebDriverWait(self.browser, WAIT_S).until(
            lambda b: self.text("state") == "Time_Cooking" and "00 : 5" in self.text("panel"))
        if SCREENSHOT:
            self.browser.save_screenshot(SCREENSHOT)
        ticks = self.pause()
        self.click("download")
        keys = pathlib.Path(self.downloads, "oven.keys")
        WebDriverWait(self.browser, WAIT_S).until(lambda b: keys.exists())
        script = keys.read_text()
        self.assertEqual(len(script), ticks, "one byte per tick")
        self.assertEqual(script.replace(".", ""), "de")
        # mwc-replay runs the script on to rest: its first frames are the page's.
        self.assertEqual(replay(script)[ticks - 1], self.text("panel"))
        # So are its trace lines, but for the key itself: the script's "." is
        # a byte that is no key to the oven, where the page had none at all.
        def oven(line):
            return {name: value for name, value in line.items() if name not in ("key", "char")}
        shown = [oven(json.loads(line)) for line in self.text("trace").splitlines()]
        replayed = [oven(line) for line in replay(script, trace=True)[ticks - len(shown):ticks]]
        self.assertEqual(shown, replayed)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    unittest.main(argv=[sys.argv[0], f"Page.test_{sys.argv[1]}"], verbosity=2)
