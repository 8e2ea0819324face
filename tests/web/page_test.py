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
import random
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import urllib.parse

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.select import Select
from selenium.webdriver.support.ui import WebDriverWait

SITE = os.environ["MWC_SITE"]
REPLAY = os.environ["MWC_REPLAY"]
CHECK = os.environ.get("MWC_CHECK")
SCREENSHOT = os.environ.get("MWC_SCREENSHOT")
COLOUR = re.compile(r"\x1b\[[0-9;]*m")
FRAME_END = "\n" * 21  # the frame's last line ends, then the 20 newlines
WAIT_S = 30
LONG_WAIT_S = 240  # 20,000 ticks at 100x, on a busy machine


def replay(script, trace=False):
    """mwc-replay's frames (colour escapes taken out), or its trace lines."""
    argv = [REPLAY, "--trace"] if trace else [REPLAY]
    output = subprocess.run(argv, input=script.encode(), capture_output=True,
                            check=True).stdout.decode()
    if trace:
        return [json.loads(line) for line in output.splitlines()]
    return [COLOUR.sub("", frame) for frame in output.split(FRAME_END)[:-1]]


def plain_script(text, rounds=3, most=1000000):
    """A script as mwc-check prints it, read the plain way: its keys up to
    and with the first q, or the 1-based place of its first bad character."""
    keys = ""
    loop = None       # where the loop began in keys
    closed = False
    single_dot = False
    at = 0
    while at < len(text):
        c = text[at]
        at += 1
        if c in " \t\n\r\f\v":
            continue
        run = re.match(r"\{([0-9]{1,7})\}", text[at - 1:at + 15])
        if closed:
            return at
        if c == "{" and single_dot and run:
            keys = keys[:-1] + "." * int(run.group(1))
            at += len(run.group(0)) - 1
        elif c == "(" and loop is None:
            loop = len(keys)
        elif c == ")" and loop is not None and len(keys) > loop:
            keys += keys[loop:] * (rounds - 1)
            closed = True
        elif c in "abcdefq.":
            keys += c
        else:
            return at
        single_dot = c == "."
        if len(keys) > most:
            return at
    if loop is not None and not closed:
        return text.rindex("(") + 1
    return keys[:keys.index("q") + 1] if "q" in keys else keys


# The transition taken, label and all, is in the diagram's box when it fits.
IN_THE_BOX = """
    const box = document.getElementById('diagram');
    const view = box.getBoundingClientRect();
    const edge = box.querySelector('g.edge.taken').getBoundingClientRect();
    const [right, bottom] = [view.left + box.clientWidth, view.top + box.clientHeight];
    const fits = edge.width <= box.clientWidth && edge.height <= box.clientHeight;
    return !fits || (edge.left >= view.left && edge.right <= right &&
                     edge.top >= view.top && edge.bottom <= bottom);"""


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
        self.console_errors_expected = False
        self.open()

    def open(self, link=""):
        """Loads the page anew (a query makes the browser load it again), with
        `link` as its fragment; waits for the first tick."""
        base = f"http://127.0.0.1:{self.server.server_port}"
        self.browser.get(f"{base}/index.html?{time.monotonic_ns()}#{link}")
        if not self.console_errors_expected:
            WebDriverWait(self.browser, WAIT_S).until(lambda b: self.text("state") != "")

    def tearDown(self):
        errors = [entry for entry in self.browser.get_log("browser")
                  if entry["level"] == "SEVERE" and not self.console_errors_expected]
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
                    # A key event may reach the page after a click sent later:
                    # the step waits until the page holds the key.
                    self.browser.find_element(By.TAG_NAME, "body").send_keys(key)
                    WebDriverWait(self.browser, WAIT_S).until(
                        lambda b: self.text("waiting") == key)
                else:
                    self.click(f"key-{key}")
            self.click("step")
            self.assertEqual(len(self.lit("g.edge.taken")), 1, "the one transition taken")
            self.assertTrue(self.browser.execute_script(IN_THE_BOX), "the transition in view")
            seen.append((self.text("panel"), self.text("state"),
                         "open" in self.browser.find_element(By.ID, "door").get_attribute("class")))
        return seen

    def lit(self, selector):
        """The titles of the diagram's elements that `selector` picks."""
        return self.browser.execute_script(
            "return [...document.querySelectorAll('#diagram ' + arguments[0] + ' title')]"
            ".map((title) => title.textContent)", selector)

    def check_against_replay(self, before, script, seen):
        # The page ran idle ticks before the pause: the same for mwc-replay.
        whole = "." * before + script
        frames = replay(whole)
        trace = replay(whole, trace=True)
        for tick, (panel, state, door) in enumerate(seen, start=before):
            self.assertEqual(panel, frames[tick], f"panel of tick {tick + 1}")
            # While the buzzer holds the tick, the state that sounds it is
            # shown, as on the diagram.
            shown = trace[tick - 1 if trace[tick]["buzzer"] else tick]["state_name"]
            self.assertEqual(state, shown, f"state of tick {tick + 1}")
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
        self.assertEqual(len(script), ticks + 1, "one byte per tick, and the q that ends it")
        self.assertEqual(script.replace(".", ""), "deq")
        # mwc-replay runs the script on to rest: its first frames are the page's.
        self.assertEqual(replay(script)[ticks - 1], self.text("panel"))
        # So are its trace lines, but for the key itself: the script's "." is
        # a byte that is no key to the oven, where the page had none at all.
        def oven(line):
            return {name: value for name, value in line.items() if name not in ("key", "char")}
        shown = [oven(json.loads(line)) for line in self.text("trace").splitlines()]
        replayed = [oven(line) for line in replay(script, trace=True)[ticks - len(shown):ticks]]
        self.assertEqual(shown, replayed)

    def timeline(self):
        """Every tick the timeline keeps, from the first by the arrow key: the
        trace line the page shows for it, read, and what it says of it."""
        return [(json.loads(line), said) for line, said in self.browser.execute_script("""
            const timeline = document.getElementById('timeline');
            const key = (name) => timeline.dispatchEvent(
                new KeyboardEvent('keydown', {key: name, bubbles: true}));
            const text = (id) => document.getElementById(id).textContent;
            key('Home');
            const seen = [];
            while (text('tick-line') !== '') {
              seen.push([text('tick-line'), text('tick-said')]);
              const before = timeline.getAttribute('aria-valuenow');
              key('ArrowRight');
              if (timeline.getAttribute('aria-valuenow') === before) break;
            }
            return seen;""")]

    def go_to(self, tick):
        """Chooses `tick` by its number; what the page says of it."""
        field = self.browser.find_element(By.ID, "goto-tick")
        field.clear()
        field.send_keys(str(tick), Keys.ENTER)
        return self.text("tick-said")

    def wait_paused(self):
        WebDriverWait(self.browser, WAIT_S).until(
            lambda b: b.find_element(By.ID, "run").is_enabled())

    def test_TimelineShowsEveryOneTickStateAndDroppedKey(self):
        # a, b dropped in the tick after it, b, d, c, a, e, and the heating
        # to its buzzer: every one-tick state, from a link, at 100x; then
        # idle, past a hundred ticks: the timeline keeps them all.
        script = "ab.b.d.c.a.e" + "." * 135
        self.open(f"keys={script}&speed=100")
        self.wait_paused()
        self.assertEqual(self.text("tick"), str(len(script)), "exactly the script's ticks")
        shown = [line for line, _ in self.timeline()]
        trace = replay(script, trace=True)[:len(script)]
        # The page's "." is no key at all, where mwc-replay reads the byte.
        for line in trace:
            if line["char"] == ".":
                line.update(key=None, char=None)
        self.assertEqual(shown, trace)
        states = {line["state_name"] for line in shown}
        for state in ("Add_Short", "Add_Long", "Select_Mode", "Switch_Unit", "Starting",
                      "Finished"):
            self.assertIn(state, states)
        self.assertFalse(shown[1]["taken"], "the b right after a is dropped")
        # The newest tick in view; a tick chosen says what happened, and why.
        self.assertTrue(self.browser.execute_script(
            "const t = document.getElementById('timeline');"
            "return t.scrollLeft + t.clientWidth >= t.scrollWidth - 1 && t.scrollWidth > t.clientWidth"))
        self.assertEqual(self.go_to(2),
                         "Tick 2: b dropped: Add_Short is the tick after key a: its key is "
                         "dropped; Add_Short \u2192 Wait_Input, by any.")
        self.assertEqual(json.loads(self.text("tick-line")), trace[1])
        # The next dropped key, change of state and buzzer, from tick 2.
        before = [1] + [line["state"] for line in trace]
        wanted = {"key": lambda t: script[t - 1] != ".",
                  "dropped": lambda t: script[t - 1] != "." and not trace[t - 1]["taken"],
                  "change": lambda t: before[t - 1] != trace[t - 1]["state"],
                  "buzzer": lambda t: trace[t - 1]["buzzer"]}
        for kind, picks in wanted.items():
            found = [t for t in range(3, len(script) + 1) if picks(t)]
            self.go_to(2)
            Select(self.browser.find_element(By.ID, "seek-kind")).select_by_value(kind)
            self.click("seek-next")
            self.assertEqual(self.browser.find_element(By.ID, "timeline")
                             .get_attribute("aria-valuenow"), str(found[0] if found else 2), kind)
        # A pointer resting on the timeline leaves the keys the choice.
        timeline = self.browser.find_element(By.ID, "timeline")
        ActionChains(self.browser).move_to_element_with_offset(timeline, 0, 0).perform()
        timeline.send_keys(Keys.HOME + Keys.ARROW_RIGHT * 60)
        self.assertEqual(timeline.get_attribute("aria-valuenow"), "61")
        labels = self.browser.execute_script(
            "return [...document.querySelectorAll('#diagram g.node[tabindex]')]"
            ".map((node) => node.getAttribute('aria-label'))")
        self.assertEqual(len(labels), 9, "each state takes the focus and says what it means")
        self.assertIn("Wait_Input: idle", labels[0])
        taken = self.browser.execute_script(
            "return [...document.querySelectorAll('#diagram g.edge.taken')]"
            ".map((edge) => edge.getAttribute('class'))")
        self.assertEqual(len(taken), 1)
        self.assertIn(f"from-{trace[-2]['state_name']} to-{trace[-1]['state_name']}", taken[0])

    def test_LinkEndsOnQAndTheBuzzerShows(self):
        # Heating to 30: the buzzer holds the tick for 2.5 s, and shows; on
        # a laptop's screen.
        self.browser.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
            "width": 1280, "height": 800, "deviceScaleFactor": 1, "mobile": False})
        self.open("keys=c.a.e" + "." * 32 + "q&speed=100")
        WebDriverWait(self.browser, WAIT_S).until(
            lambda b: b.find_element(By.ID, "buzzer").is_displayed())
        # The tick stands still, and Finished with it, its way out lit; the
        # panel, the lit state and the newest tick on the first screen.
        self.assertEqual(self.lit("g.node.active"), ["Finished"])
        self.assertEqual(self.lit("g.edge.taken"), ["Finished to Wait_Input, on any"])
        self.assertEqual(self.text("state"), "Finished", "the state line agrees with the diagram")
        bottoms = self.browser.execute_script(
            "return ['#panel', '#diagram g.node.active', '#diagram g.edge.taken', '#timeline']"
            ".map((s) => document.querySelector(s).getBoundingClientRect().bottom)")
        for bottom in bottoms:
            self.assertLessEqual(bottom, 800, "on the first screen while the buzzer sounds")
        self.wait_paused()
        self.assertEqual(self.text("tick"), str(len("c.a.e") + 32 + 1), "paused by the q")
        WebDriverWait(self.browser, WAIT_S).until(
            lambda b: not b.find_element(By.ID, "buzzer").is_displayed())
        # Start-up again: the panel as the first tick draws it, nothing on
        # the timeline.
        self.click("reset")
        WebDriverWait(self.browser, WAIT_S).until(lambda b: self.text("tick") == "0")
        self.assertEqual((self.text("panel"), self.text("state")), (replay(".")[0], "Wait_Input"))
        self.assertEqual(self.timeline(), [])

    def test_ScriptsAsMwcCheckPrintsThem(self):
        # The shortest way to Finished, as mwc-check prints it: 36 ticks.
        self.open("keys=" + urllib.parse.quote("c . a . e .{31}") + "&speed=100")
        self.wait_paused()
        self.assertEqual((self.text("tick"), self.text("state")), ("36", "Finished"))
        # A bad character is named where it is, and nothing runs.
        alert = self.browser.find_element(By.ID, "script-alert")
        self.browser.execute_script("window.location.hash = 'keys=' + encodeURIComponent('c . x')")
        WebDriverWait(self.browser, WAIT_S).until(lambda b: alert.is_displayed())
        self.assertIn('"x" at character 5', alert.text)
        self.assertEqual(self.text("tick"), "36")
        # A changed link plays its script: a lasso's loop goes round three times.
        self.browser.execute_script(
            "window.location.hash = 'keys=' + encodeURIComponent('a . e (. e a . e)') + "
            "'&speed=100'")
        WebDriverWait(self.browser, WAIT_S).until(lambda b: self.text("tick") == "18")
        self.wait_paused()
        self.assertFalse(alert.is_displayed())
        self.assertEqual("".join(line["char"] or "." for line, _ in self.timeline()),
                         "a.e" + ".ea.e" * 3)
        # A session is shared as mwc-check prints it.
        self.click("share")
        self.assertTrue(self.browser.find_element(By.ID, "share-link").text
                        .endswith("#keys=a.e.ea.e.ea.e.ea.e&speed=100"))
        # No ticks at all plays none; a q ends the script, as it ends mwc-replay.
        for keys, ticks in ((".{0}", "0"), ("a.q.b", "3")):
            self.browser.execute_script(f"window.location.hash = 'keys={keys}&speed=100'")
            WebDriverWait(self.browser, WAIT_S).until(lambda b: self.text("tick") == ticks)
            self.wait_paused()
        self.click("run")
        WebDriverWait(self.browser, WAIT_S).until(lambda b: int(self.text("tick")) > 40)
        self.pause()
        self.click("share")
        self.assertRegex(self.browser.find_element(By.ID, "share-link").text,
                         r"#keys=a\.q\.\{[0-9]+\}&speed=100$")

    def test_PhoneAndLaptopLayouts(self):
        def measure(width, height):
            self.browser.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
                "width": width, "height": height, "deviceScaleFactor": 1, "mobile": False})
            self.browser.execute_script("window.scrollTo(0, 0)")
            return self.browser.execute_script("""
                const box = (e) => { const r = e.getBoundingClientRect();
                                     return [r.left, r.top, r.right, r.bottom]; };
                return {wide: document.documentElement.scrollWidth,
                        panel: box(document.getElementById('panel')),
                        door: box(document.getElementById('door')),
                        chamber: box(document.getElementById('chamber')),
                        keys: [...document.querySelectorAll('button[data-key]')].map(box),
                        diagram: box(document.getElementById('diagram')),
                        labels: [...document.querySelectorAll('#diagram g.edge')].map((edge) =>
                            [...edge.querySelectorAll('text')].map(box))};""")
        def readable(screen, name):
            # Every label at least 11 px tall, and no two edges' labels overlap.
            for edge in screen["labels"]:
                for left, top, right, bottom in edge:
                    self.assertGreaterEqual(bottom - top, 11, f"a label's height on a {name}")
            for i, first in enumerate(screen["labels"]):
                for second in screen["labels"][i + 1:]:
                    for a in first:
                        for b in second:
                            apart = (a[2] <= b[0] + 1 or b[2] <= a[0] + 1 or
                                     a[3] <= b[1] + 1 or b[3] <= a[1] + 1)
                            self.assertTrue(apart, f"labels overlap on a {name}: {a} {b}")
        phone = measure(390, 844)
        readable(phone, "phone")
        if SCREENSHOT:
            self.browser.save_screenshot(SCREENSHOT.replace(".png", "-phone.png"))
        self.assertLessEqual(phone["wide"], 390, "no sideways scroll")
        for left, top, right, bottom in [phone["panel"]] + phone["keys"]:
            self.assertGreaterEqual(left, 0)
            self.assertLessEqual(right, 390)
        self.assertLess(phone["panel"][3], 844, "the panel on the first screen")
        for part in ("door", "chamber"):
            top, bottom = phone[part][1], phone[part][3]
            self.assertGreaterEqual(bottom - top, 120, f"the {part} shows on a phone")
        # The food modes' names render without a Korean font: the site's own.
        faces = self.browser.execute_async_script(
            "document.fonts.load('16px \"Panel Hangul\"', '\ub5a1')"
            ".then((found) => arguments[0](found.length), () => arguments[0](0))")
        self.assertGreater(faces, 0, "the panel's Korean glyphs come with the site")
        laptop = measure(1280, 800)
        readable(laptop, "laptop")
        for left, top, right, bottom in [laptop["panel"], laptop["diagram"]] + laptop["keys"]:
            self.assertGreaterEqual(top, 0)
            self.assertLessEqual(bottom, 800, "panel, keys and diagram on one screen")
            self.assertLessEqual(right, 1280)

    def test_ControlsKeepTheFocusAndTheFirstClickMovesNothing(self):
        sound = self.browser.find_element(By.ID, "sound")
        before = sound.rect
        self.click("pause")  # the first click: sound may start, and its note change
        self.assertEqual(sound.rect["height"], before["height"], "the note keeps its place")
        focused = "return document.activeElement.id"
        self.assertEqual(self.browser.execute_script(focused), "run")
        self.click("run")
        self.assertEqual(self.browser.execute_script(focused), "pause")

    def ask(self, form, question):
        """Asks mwc-check in the page; its answer, once it is there."""
        self.browser.find_element(By.CSS_SELECTOR, f"#question-form option[value='{form}']").click()
        field = self.browser.find_element(By.ID, "question")
        field.clear()
        if question.isprintable():
            field.send_keys(question)
        else:  # a control character is a key of its own to WebDriver
            self.browser.execute_script("arguments[0].value = arguments[1]", field, question)
        self.click("ask")
        WebDriverWait(self.browser, WAIT_S).until(lambda b: self.text("answer") != "")
        return self.browser.find_element(By.ID, "answer").get_attribute("textContent")

    def test_QuestionsAnsweredInThePageAsMwcCheckAnswers(self):
        for form, question, stream in (("reach", "state = Finished", "stdout"),
                                       ("leads-to", "start --> buzzer", "stdout"),
                                       ("always", "dor and start", "stderr"),
                                       ("reach", "before.state = state and state = Time_Cooking",
                                        "stdout"),
                                       ("always", "door \x1b]0;title\x07", "stderr")):
            native = subprocess.run([CHECK, f"--{form}", question], capture_output=True,
                                    text=True)
            self.assertEqual(self.ask(form, question), getattr(native, stream), question)
        self.assertNotIn("\x1b", self.ask("always", "door \x1b]0;title\x07"))
        # A NUL would cut the question short, and the rest go unasked.
        self.assertIn("NUL", self.ask("always", "door\x00 and not door"))
        # The ticks went on meanwhile; the reach's evidence plays from
        # start-up, and pauses where it ends.
        self.ask("reach", "state = Finished")
        self.click("play-evidence")
        WebDriverWait(self.browser, WAIT_S).until(lambda b: self.text("tick") == "36")
        self.wait_paused()
        self.assertEqual(self.text("state"), "Finished")
        self.assertTrue(self.go_to(36).endswith("Evidence: the line met."))
        self.assertNotIn("Evidence", self.go_to(35))
        # A leads-to's evidence marks its P line and the line where Q holds.
        self.ask("leads-to", "start --> not start")
        self.click("play-evidence")
        WebDriverWait(self.browser, WAIT_S).until(lambda b: self.text("tick") == "5")
        self.wait_paused()
        self.assertTrue(self.go_to(4).endswith("Evidence: the P line."))
        self.assertTrue(self.go_to(5).endswith("Evidence: Q holds."))
        # A state chosen on the diagram says what it means, and shows how
        # to get there: a c, its dropped-key tick. Chosen with Enter, then
        # Tab past the states after it to the button.
        self.browser.execute_script(
            "[...document.querySelectorAll('#diagram g.node')].find((node) =>"
            " node.querySelector('title').textContent === 'Switch_Unit').focus()")
        active = self.browser.switch_to.active_element
        active.send_keys(Keys.ENTER)
        self.assertIn("the tick after key c", self.text("state-meaning"))
        for _ in range(12):
            if self.browser.switch_to.active_element.get_attribute("id") == "show-how":
                break
            self.browser.switch_to.active_element.send_keys(Keys.TAB)
        self.assertIn("the tick after key c", self.text("state-meaning"))
        self.browser.switch_to.active_element.send_keys(Keys.ENTER)
        WebDriverWait(self.browser, WAIT_S).until(lambda b: self.text("tick") == "1")
        self.wait_paused()
        self.assertEqual(self.text("state"), "Switch_Unit")

    def test_AtItsLimitTheCheckerSaysSo(self):
        # The worker's checker, asked with a small limit, says what
        # mwc-check says with the same limit.
        said = self.browser.execute_async_script("""
            const done = arguments[0];
            const worker = new Worker('checker.js', {type: 'module'});
            worker.onmessage = ({data}) => {
              if (data.facts === undefined) { done(data); return; }
              const form = data.facts.forms.findIndex(({name}) => name === 'always');
              worker.postMessage({form, question: 'not buzzer', max: 10});
            };
            worker.postMessage({facts: true});""")
        native = subprocess.run([CHECK, "--always", "not buzzer", "--max-configurations", "10"],
                                capture_output=True, text=True)
        self.assertEqual((said["status"], said["answer"], said["errors"]),
                         (native.returncode, native.stdout, native.stderr))
        self.assertIn("stopped at the limit of 10 configurations", said["errors"])

    def test_LongSessionCostsNoMore(self):
        # The page's nodes after a few ticks, and after more ticks than the
        # timeline keeps: the same. The oldest ticks make way for the newest.
        self.open("keys=.{20}&speed=100")
        self.wait_paused()
        count = "return document.getElementsByTagName('*').length"
        nodes = self.browser.execute_script(count)
        self.open("keys=.{20005}&speed=100")
        WebDriverWait(self.browser, LONG_WAIT_S).until(lambda b: self.text("tick") == "20005")
        self.wait_paused()
        self.assertEqual(self.browser.execute_script(count), nodes)
        timeline = self.browser.find_element(By.ID, "timeline")
        timeline.send_keys(Keys.HOME)
        self.assertEqual((timeline.get_attribute("aria-valuemin"),
                          timeline.get_attribute("aria-valuemax"),
                          timeline.get_attribute("aria-valuenow")), ("6", "20005", "6"))
        self.assertEqual(json.loads(self.text("tick-line"))["tick"], 6)
        # A long session's link is short.
        self.click("share")
        self.assertTrue(self.browser.find_element(By.ID, "share-link").text
                        .endswith("#keys=.{20005}&speed=100"))

    def test_LaneNamesOnTheirLanes(self):
        # The door opened in tick 1: at the height of each lane's name,
        # tick 1's column has that lane's colour.
        self.open("keys=f.&speed=100")
        self.wait_paused()
        colours = self.browser.execute_script("""
            const canvas = document.querySelector('#timeline canvas');
            const box = canvas.getBoundingClientRect();
            const scale = canvas.width / box.width;
            const pixels = canvas.getContext('2d');
            return [...document.querySelectorAll('#lane-names span')].map((name) => {
              const at = name.getBoundingClientRect();
              const y = Math.floor(((at.top + at.bottom) / 2 - box.top) * scale);
              return [name.textContent, [...pixels.getImageData(2 * scale, y, 1, 1).data]];
            });""")
        lanes = dict((name, tuple(rgba[:3])) for name, rgba in colours)
        glow, lane, taken = (244, 163, 0), (236, 234, 228), (46, 125, 50)
        self.assertEqual((lanes["door"], lanes["buzzer"], lanes["key"]), (glow, lane, taken))

    def test_BigFileRefusedAndAlertsSeen(self):
        # On a laptop's screen, scrolled to the script field: a file past
        # the page's limit is refused at once, where it was given.
        self.browser.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
            "width": 1280, "height": 800, "deviceScaleFactor": 1, "mobile": False})
        self.pause()
        # The page whole: the checker's forms, and the examples made of them.
        WebDriverWait(self.browser, WAIT_S).until(
            lambda b: b.find_elements(By.CSS_SELECTOR, "#question-form option"))
        ticks = self.text("tick")
        big = pathlib.Path(self.downloads, "big.keys")
        big.write_bytes(b"." * (3 << 19))
        self.browser.find_element(By.ID, "load-file").send_keys(str(big))
        self.click("load")
        alert = self.browser.find_element(By.ID, "script-alert")
        WebDriverWait(self.browser, WAIT_S).until(lambda b: alert.is_displayed())
        self.assertIn("big.keys is 1.5 MiB", alert.text)
        self.assertEqual(self.text("tick"), ticks, "nothing ran")
        within = "const r = arguments[0].getBoundingClientRect();" \
                 "return r.top >= 0 && r.bottom <= window.innerHeight"
        self.assertTrue(self.browser.execute_script(within, alert), "the alert is on screen")

    def test_ScriptParserAgainstAPlainOracle(self):
        # Random texts of the script's tokens and of bad ones, and long and
        # deep ones, read by the page and by plain_script: the same keys, or
        # the same first bad character.
        rng = random.Random(35)
        tokens = list("abcdefq.") * 4 + [" ", "\n", "{", "}", "(", ")", "x", ".{", "0", "7",
                                           "}", ".{0}", ".{12}", ".{3}{2}", "\u00e9", "\x1b"]
        texts = ["".join(rng.choice(tokens) for _ in range(rng.randrange(1, 30)))
                 for _ in range(3000)]
        texts += ["(" * 200000, "(" + "a" * 400000 + ")", ".{1000000}", ".{1000000}a",
                  "." * 999999 + "(a)", ".{99999999}", "a" * 1000001]
        said = self.browser.execute_async_script("""
            const [texts, done] = arguments;
            import('./scripts.js').then(({parseScript}) => done(texts.map((text) => {
              try {
                const keys = parseScript(text);
                return [keys.length, keys.slice(0, 40), keys.slice(-40)];
              } catch (error) {
                return Number(/at character ([0-9]+)/.exec(error.message)[1]);
              }
            })));""", texts)
        for text, page in zip(texts, said):
            keys = plain_script(text)
            expected = keys if isinstance(keys, int) else [len(keys), keys[:40], keys[-40:]]
            self.assertEqual(page, expected, repr(text[:60]))

    def test_AlertWithoutTheWebAssembly(self):
        site = tempfile.mkdtemp(prefix="mwc-site-")
        shutil.copytree(SITE, site, dirs_exist_ok=True)
        os.remove(os.path.join(site, "oven.wasm"))
        # A server of its own: the browser has the first one's oven.wasm cached.
        server = http.server.ThreadingHTTPServer(("127.0.0.1", 0),
                                                 functools.partial(Quiet, directory=site))
        threading.Thread(target=server.serve_forever, daemon=True).start()
        self.console_errors_expected = True  # the browser logs the missing file
        try:
            self.browser.get(f"http://127.0.0.1:{server.server_port}/index.html")
            alert = WebDriverWait(self.browser, WAIT_S).until(
                lambda b: b.find_element(By.CSS_SELECTOR, "[role=alert]"))
            WebDriverWait(self.browser, WAIT_S).until(lambda b: alert.is_displayed())
            self.assertIn("serve the site", alert.text)
        finally:
            server.shutdown()
            shutil.rmtree(site)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    unittest.main(argv=[sys.argv[0], f"Page.test_{sys.argv[1]}"], verbosity=2)
