// The oven's page: the oven's own tick (tick.js) run by the page's clock
// (clock.js), with the keys queued one a tick, the buzzer, the timeline, the
// diagram, scripts in and out, and questions to mwc-check. Ticks are run and
// recorded one by one; what they show is drawn once for a slice of them.
import * as clock from "./clock.js";
import * as diagram from "./diagram.js";
import * as questions from "./questions.js";
import * as scripts from "./scripts.js";
import {buzzerMs, buzzerWords, prepareAudio, sound, wakeAudio} from "./sound.js";
import {loadOven, oven, runTick, startUp, stateName} from "./tick.js";
import * as timeline from "./timeline.js";
import {forgetChoice, wireTimeline} from "./timeline_keys.js";

const TRACE_LINES = 12;        // the trace's last lines, shown
const DROPPED_MS = 600;        // how long a dropped key's button shows it
const MS_PER_S = 1000;
const page = {};               // the elements, by id in camel case

const queue = [];              // keys pressed, one a tick
const pending = {keys: "", at: 0}; // a script's keys, one a tick, from start-up
const traceLines = [];
let now = null;                // what the oven shows: {panel, lit, tick, trace, from, key}
let holding = null;            // the state that sounds the buzzer, while it holds the tick
let marksToCome = null;        // an evidence's marks, for when its script has run

// --- One tick, and what it shows -----------------------------------------------

function step() {
  const scripted = pending.at < pending.keys.length;
  let key = scripted ? pending.keys[pending.at++] : queue.shift() ?? null;
  key = key === oven.script.idle_tick ? null : key;
  scripts.record(key);
  const from = now.state;
  const ticked = runTick(key);
  const {trace, line} = ticked;
  now = {...ticked, from, key, state: trace.state};
  timeline.addTick(trace, line, key, from);
  traceLines.push(line);
  if (traceLines.length > TRACE_LINES) {
    traceLines.shift();
  }
  if (key !== null && !trace.taken) {
    flashDropped(key);
  }
  if (key === oven.quit) {
    pending.keys = ""; // as mwc ends on q: the rest of a script is not played
  }
  if (key === oven.quit || (scripted && pending.at === pending.keys.length)) {
    stopped(); // a script's last tick pauses the page
  }
  if (trace.buzzer) {
    buzz(from);
    return {hold: buzzerMs()};
  }
  return {hold: 0};
}

function stopped() {
  setRunning(false);
  if (marksToCome !== null) {
    timeline.setMarks(marksToCome);
    marksToCome = null;
  }
}

// Shows the oven as the last tick left it: once a slice, however many ticks.
function render() {
  if (page.panel.textContent !== now.panel) {
    page.panel.textContent = now.panel;
  }
  page.panel.classList.toggle("lit", now.lit);
  page.chamber.classList.toggle("lit", now.lit); // the lamp inside shares the back light
  const door = now.trace?.door ?? false;
  page.door.classList.toggle("open", door);
  page.door.setAttribute("aria-label", door ? "The door is open" : "The door is shut");
  page.tick.textContent = String(now.trace?.tick ?? 0);
  // While the buzzer holds the tick, the state that sounds it stays lit,
  // here and on the diagram.
  const shown = stateName(holding ?? now.state);
  if (page.state.textContent !== shown) {
    page.state.textContent = shown; // a live region: only state changes are said
  }
  if (now.trace === undefined) {
    diagram.lightStart();
  } else {
    diagram.light(shown, now.from, now.state, now.key);
  }
  const mode = now.trace?.mode ?? 0;
  page.modeMeaning.textContent = `Mode ${String(mode).padStart(2, "0")}: ${oven.modes[mode] ?? ""}`;
  page.trace.textContent = traceLines.join("\n");
  showWaiting();
  timeline.draw();
}

function flashDropped(key) {
  const button = document.getElementById(`key-${key}`);
  if (button !== null) {
    button.classList.add("dropped");
    setTimeout(() => button.classList.remove("dropped"), DROPPED_MS);
  }
}

function buzz(from) {
  holding = from;
  // Said again each time, so that a screen reader announces it.
  page.buzzer.textContent = `Buzzer: ${buzzerWords()}; the tick stands still`;
  page.buzzer.hidden = false;
  setTimeout(() => {
    page.buzzer.hidden = true;
    holding = null;
    render();
  }, buzzerMs());
  sound();
}

function showWaiting() {
  page.waiting.textContent = queue.length > 0 ? queue.join(" ") : "none";
}

function showRate(perSecond, behind) {
  const wanted = clock.ticksPerSecondChosen();
  page.rate.textContent = `${perSecond.toLocaleString("en")} ticks a second` +
      (behind && perSecond < wanted ? `, fewer than the ${wanted.toLocaleString("en")} ` +
       "chosen: this machine cannot keep up, so the oven runs slower" : "");
}

function setRunning(run) {
  clock.setRunning(run);
  page.run.disabled = run;
  page.pause.disabled = !run;
  page.step.disabled = run;
  page.rate.textContent = run ? "counting" : "paused";
}

// --- Start-up, scripts and links -------------------------------------------------

async function reset() {
  setRunning(false);
  const shown = await startUp();
  queue.splice(0);
  traceLines.splice(0);
  Object.assign(pending, {keys: "", at: 0});
  scripts.forget();
  timeline.clear();
  holding = null;
  marksToCome = null;
  now = {...shown, from: null, key: null};
  forgetChoice();
  render();
}

// Runs `keys` (the script alphabet, "." for no key) from start-up, one byte
// a tick, then pauses, and marks `marked` ticks on the timeline.
async function runScript(keys, marked = null) {
  await reset();
  pending.keys = keys;
  marksToCome = marked;
  if (keys.length > 0) {
    setRunning(true);
  } else {
    stopped();
  }
}

function alertScript(message) {
  page.scriptAlert.textContent = message;
  page.scriptAlert.hidden = message === "";
  if (message !== "") {
    // In the middle of the screen: text that comes in later above it (the
    // checker's examples) moves it, but not off the screen.
    page.scriptAlert.scrollIntoView({block: "center"});
  }
}

// Runs `text` from start-up if it is a script; else says why, where the
// script was given, and runs nothing.
async function runText(text) {
  let keys = null;
  try {
    keys = scripts.parseScript(text);
  } catch (error) {
    alertScript(error.message);
    return;
  }
  alertScript("");
  await runScript(keys);
}

async function load() {
  const file = page.loadFile.files[0];
  if (file === undefined) {
    await runText(page.loadText.value);
    return;
  }
  const refused = scripts.refusedFile(file);
  if (refused !== null) {
    alertScript(refused);
    return;
  }
  await runText(await file.text());
}

function share() {
  const link = scripts.linkTo(scripts.recorded(), clock.speedChosen());
  page.shareLink.href = link;
  page.shareLink.textContent = link;
  page.shareLink.hidden = false;
  navigator.clipboard?.writeText(link).catch(() => {});
}

// A link's speed, if it is one the page offers, and its script.
function fromLink() {
  const {keys, speed} = scripts.fromLink();
  if (speed !== null && [...page.speed.options].some((option) => Number(option.value) === speed)) {
    page.speed.value = String(speed);
    clock.setSpeed(speed);
  }
  return keys;
}

// --- The page's elements and its facts -------------------------------------------

function find() {
  for (const element of document.querySelectorAll("[id]")) {
    page[element.id.replace(/-([a-z])/g, (_, letter) => letter.toUpperCase())] = element;
  }
}

// The panel's keys, labelled as the oven labels them, and the texts that
// give the oven's figures.
function showFacts() {
  for (const {key, does} of oven.keys) {
    const button = document.createElement("button");
    button.id = `key-${key}`;
    button.dataset.key = key;
    button.setAttribute("aria-keyshortcuts", key);
    const letter = Object.assign(document.createElement("kbd"), {textContent: key});
    button.append(letter, ` ${does}`);
    button.addEventListener("click", () => press(key));
    page.keys.append(button);
  }
  const kbd = (text) => Object.assign(document.createElement("kbd"), {textContent: text});
  page.keyRange.replaceChildren(kbd(oven.keys[0].key), " to ", kbd(oven.keys[oven.keys.length - 1].key));
  page.ticksPerSecond.textContent = String(Math.round(MS_PER_S / oven.tick_ms));
  page.tempRange.textContent = `${oven.ambient_temp_c} to ${oven.max_temp_c}`;
  page.doorKey.replaceChildren(kbd(oven.door_key));
  timeline.showStateKey(page.stateKey);
  // The sound note says less once sound is on: its first height is kept,
  // so that nothing moves under the pointer on the first click.
  page.sound.style.minHeight = `${page.sound.offsetHeight}px`;
}

function press(key) {
  queue.push(key);
  showWaiting();
}

function showSound(on) {
  if (on) {
    page.sound.textContent = `Sound: on. The buzzer is ${buzzerWords()}.`;
  }
}

function wire() {
  document.addEventListener("keydown", (event) => {
    // The oven's keys work whatever has the focus, but for a text field.
    const typing = event.target instanceof HTMLTextAreaElement ||
                   event.target instanceof HTMLSelectElement ||
                   (event.target instanceof HTMLInputElement && event.target.type !== "file");
    if (!typing && !event.ctrlKey && !event.altKey && !event.metaKey && oven.panelKeys.has(event.key)) {
      press(event.key);
      event.preventDefault();
    }
  });
  for (const kind of ["pointerdown", "keydown"]) {
    document.addEventListener(kind, () => wakeAudio(showSound));
  }
  page.door.addEventListener("click", () => press(oven.door_key));
  // The button pressed is disabled: the focus goes to the one that undoes it.
  page.run.addEventListener("click", () => {
    setRunning(true);
    page.pause.focus();
  });
  page.pause.addEventListener("click", () => {
    setRunning(false);
    page.run.focus();
  });
  page.step.addEventListener("click", () => {
    if (!clock.isRunning()) {
      holding = null; // a tick stepped by hand ends the buzzer's hold
      step();
      render();
    }
  });
  page.speed.addEventListener("change", () => clock.setSpeed(Number(page.speed.value)));
  // A page back from the background starts its clock again, not behind.
  document.addEventListener("visibilitychange", () => clock.setSpeed(clock.speedChosen()));
  page.download.addEventListener("click", scripts.download);
  page.share.addEventListener("click", share);
  page.reset.addEventListener("click", reset);
  page.load.addEventListener("click", load);
  page.askForm.addEventListener("submit", questions.ask);
  page.playEvidence.addEventListener("click", questions.playEvidence);
  page.showHow.addEventListener("click", () => questions.showHow(page.stateInfo.dataset.state));
  wireTimeline(page);
}

function chooseState(name, meaning) {
  page.stateInfo.dataset.state = name;
  page.stateMeaning.textContent = meaning;
  page.stateInfo.hidden = false;
}

async function start() {
  find();
  try {
    const [, svg] = await Promise.all([
      loadOven(),
      fetch("controller.svg").then((response) => response.text()),
    ]);
    clock.setUp(oven.tick_ms, step, render, showRate);
    showFacts();
    timeline.mount(page.timeline, page.laneNames);
    diagram.mount(page.diagram, svg, chooseState);
    wire();
  } catch (error) {
    page.alert.textContent =
        `The oven's WebAssembly (oven.wasm) could not be loaded (${error.message}). ` +
        "A page opened as a file cannot load it: serve the site, for example with " +
        "python3 -m http.server -d build/web/site 8000, and open http://localhost:8000/.";
    page.alert.hidden = false;
    return;
  }
  setTimeout(prepareAudio, 0);
  const asked = questions.startChecker(page, (keys, marked) => runScript(keys, marked));
  // A link's script plays when the page opens, and whenever the link changes.
  window.addEventListener("hashchange", () => {
    const changed = fromLink();
    if (changed !== null) {
      runText(changed);
    }
  });
  const keys = fromLink();
  if (keys !== null) {
    await runText(keys);
  } else {
    await reset();
    setRunning(true);
  }
  await asked;
}

start();
