// The oven's page: the clock, the keys and the buzzer around the oven's own
// tick, which runs in WebAssembly (oven.wasm) exactly as in mwc.
//
// Every 100 ms (less at a higher speed) one tick runs with at most one key
// from the queue. The tick prints its frame on standard output and its trace
// line on descriptor 3; a small stand-in for WASI's file calls catches both.
"use strict";

const TRACE_LINES = 12;        // shown under the diagram
const TIMELINE_TICKS = 20000;  // kept on the timeline: a whole session
const MIN_TIME_SCALE_S = 10;   // the time lane's scale: at least a key a's worth
const DROPPED_MS = 600;        // how long a dropped key's button shows it
const FRAMES_OUT = 1;          // standard output
const TRACE_OUT = 3;
const COLOUR = /\x1b\[[0-9;]*m/g;
const MS_PER_S = 1000;

// What the page says of the oven, from the oven's own code: the module's
// mwc_facts writes it (see readFacts). Its states and their meanings, its
// keys, limits, food modes, buzzer and tick.
let oven = null;

const page = {};               // the elements, by id
let tick = null;               // the module's tick
let memory = null;
let compiled = null;           // oven.wasm, compiled once; each reset is a new instance
const STDERR = 2;
const written = {[FRAMES_OUT]: [], [TRACE_OUT]: [], [STDERR]: null};

const queue = [];              // keys pressed, one per tick
const pending = [];            // a loaded script's keys, one per tick, to run from start-up
const script = [];             // every tick's key so far, for the download
const traceLines = [];
let running = true;
let speed = 1;
let timer = null;
let audio = null;
let lastState = null;          // the state before the tick: the first at start-up
let previous = null;           // the trace line of the tick before

// What the tick writes, on its two outputs; what it might say on standard
// error is dropped.
const wasi = wasiImports(() => memory, written);
function take(fd) {
  return takeText(written, fd);
}

// --- One tick ----------------------------------------------------------------

function runTick() {
  const scripted = pending.length > 0;
  let key = scripted ? pending.shift() : queue.length > 0 ? queue.shift() : oven.no_key;
  key = key === oven.idle_tick ? oven.no_key : key;
  script.push(key === oven.no_key ? oven.idle_tick : key);
  tick(key === oven.no_key ? oven.no_key : key.charCodeAt(0));
  const frame = take(FRAMES_OUT).split("\n");
  const line = take(TRACE_OUT).trim();
  const trace = JSON.parse(line);
  show(frame, trace, line, key);
  if (key === oven.quit || (scripted && pending.length === 0)) {
    setRunning(false); // as mwc ends on q; a script's last tick pauses the page
  }
  return trace;
}

function show(frame, trace, line, key) {
  const before = previous ?? {state_name: lastState, start: false};
  previous = trace;
  const panel = frame.slice(0, 3).map((text) => text.replace(COLOUR, "")).join("\n");
  if (page.panel.textContent !== panel) {
    page.panel.textContent = panel;
  }
  const lit = frame[0].startsWith("\x1b[93m");
  page.panel.classList.toggle("lit", lit);
  page.chamber.classList.toggle("lit", lit); // the lamp inside shares the back light
  page.door.classList.toggle("open", trace.door);
  page.door.classList.toggle("shut", !trace.door);
  page.door.setAttribute("aria-label", trace.door ? "The door is open" : "The door is shut");
  page.tick.textContent = String(trace.tick);
  if (page.state.textContent !== trace.state_name) {
    page.state.textContent = trace.state_name; // a live region: only state changes are said
  }
  // While the buzzer holds the tick, the state that sounds it stays lit.
  lightState(trace.buzzer ? lastState : trace.state_name);
  // The transition just taken, told by its states and input: from one state
  // an input takes one transition to each state it leads to.
  const input = key === oven.no_key ? "none" : key;
  const taken = `g.edge.from-${lastState}.to-${trace.state_name}.on-${input}`;
  for (const edge of page.diagram.querySelectorAll("g.edge.taken, g.edge.taken-loop")) {
    edge.classList.remove("taken", "taken-loop");
  }
  for (const edge of page.diagram.querySelectorAll(taken)) {
    edge.classList.add("taken");
    // A loop is drawn out to a point and back: the way out is lit with it.
    const point = edge.querySelector("title")?.textContent.split("->")[0];
    for (const out of page.diagram.querySelectorAll("g.edge.loop-out")) {
      if (out.querySelector("title")?.textContent.endsWith(`->${point}`)) {
        out.classList.add("taken-loop");
      }
    }
  }
  lastState = trace.state_name;
  page.modeMeaning.textContent =
      `Mode ${String(trace.mode).padStart(2, "0")}: ${oven.modes[trace.mode] ?? ""}`;
  if (key !== oven.no_key && !trace.taken) {
    flashDropped(key);
  }
  addToTimeline(trace, line, key, before);
  traceLines.push(line);
  traceLines.splice(0, Math.max(0, traceLines.length - TRACE_LINES));
  page.trace.textContent = traceLines.join("\n");
  showWaiting();
}

// The diagram's state `name` lit, and no other; a newly lit state is
// brought into the diagram's box, which scrolls, without moving the page.
function lightState(name) {
  for (const node of page.diagram.querySelectorAll("g.node")) {
    const title = node.querySelector("title");
    const lit = title !== null && title.textContent === name;
    if (lit && !node.classList.contains("active")) {
      const box = page.diagram.getBoundingClientRect();
      const at = node.getBoundingClientRect();
      const margin = 16;
      if (at.left < box.left || at.right > box.right) {
        page.diagram.scrollLeft += at.left - box.left - margin;
      }
      if (at.top < box.top || at.bottom > box.bottom) {
        page.diagram.scrollTop += at.top - box.top - margin;
      }
    }
    node.classList.toggle("active", lit);
  }
}

function flashDropped(key) {
  const button = document.getElementById(`key-${key}`);
  if (button !== null) {
    button.classList.add("dropped");
    setTimeout(() => button.classList.remove("dropped"), DROPPED_MS);
  }
}

// One column per tick, the newest last: the state as a band, the time or
// the temperatures as a line, the door, light and buzzer lanes, the key.
// Each keeps its trace line and what happened in it, for when it is chosen.
let timeScale = MIN_TIME_SCALE_S; // the time that was set, for the time lane
let marks = new Set();            // ticks that an evidence played marks

function addToTimeline(trace, line, key, before) {
  const column = document.createElement("div");
  column.className = "column";
  Object.assign(column.dataset, {
    tick: String(trace.tick),
    state: trace.state_name,
    key: key === oven.no_key ? oven.idle_tick : key,
    taken: String(trace.taken),
    buzzer: String(trace.buzzer),
  });
  column.setAttribute("role", "option");
  if (marks.has(trace.tick)) {
    column.classList.add("evidence-mark");
  }
  column.dataset.line = line;
  column.dataset.said = explain(trace, key, before);
  const lane = (name, on) => {
    const cell = document.createElement("span");
    cell.className = `lane ${name}${on ? " on" : ""}`;
    column.append(cell);
    return cell;
  };
  lane("band", false);
  const level = lane("level", false);
  // Scaled to the time that was set: the most since the oven last cooked.
  timeScale = before.start && !trace.start ? MIN_TIME_SCALE_S : Math.max(timeScale, trace.time);
  const span = oven.max_temp_c - oven.ambient_temp_c;
  if (trace.time_mode) {
    level.style.setProperty("--value", String(trace.time / Math.max(timeScale, trace.time)));
  } else {
    level.style.setProperty("--value", String((trace.cur_temp - oven.ambient_temp_c) / span));
    level.style.setProperty("--target", String((trace.set_temp - oven.ambient_temp_c) / span));
    level.classList.add("temperature");
  }
  lane("door", trace.door);
  lane("light", trace.light);
  lane("buzz", trace.buzzer);
  const pressed = lane("key", key !== oven.no_key);
  pressed.textContent = key === oven.no_key ? "" : key;
  // The newest tick stays in view, unless the view was moved back.
  const box = page.timeline;
  const atEnd = box.scrollLeft + box.clientWidth >= box.scrollWidth - 2 * column.offsetWidth - 24;
  box.append(column);
  while (box.childElementCount > TIMELINE_TICKS) {
    box.firstElementChild.remove();
  }
  if (atEnd) {
    box.scrollLeft = box.scrollWidth;
  }
}

// What happened in a tick, and why, in words: from the key, the states
// before and after, the transition the diagram lit, and the states'
// meanings, all from the oven's own code.
function explain(trace, key, before) {
  const from = before.state_name;
  const moved = from === trace.state_name ? `${from} stays` : `${from} \u2192 ${trace.state_name}`;
  const edge = page.diagram.querySelector("g.edge.taken");
  const label = edge === null ? "" :
      [...edge.querySelectorAll("text")].map((text) => text.textContent).join(" ");
  const by = label === "" ? "" : `, by ${label}`;
  const meaning = (name) => oven.states.find((state) => state.name === name)?.meaning ?? "";
  if (trace.buzzer) {
    return `${moved}${by}: the buzzer sounds, and the tick stands still for it.`;
  }
  if (key === oven.no_key) {
    return `No key. ${moved}${by}. ${trace.state_name}: ${meaning(trace.state_name)}.`;
  }
  if (trace.taken) {
    const does = key === oven.quit ? "quit" :
        oven.keys.find((panel) => panel.key === key)?.does ?? "";
    return `${key} taken (${does}). ${moved}${by}.`;
  }
  return `${key} dropped: ${from} is ${meaning(from)}; ${moved}${by}.`;
}

// The chosen tick's trace line and what happened in it.
function chooseTick(column) {
  for (const chosen of page.timeline.querySelectorAll(".column.chosen")) {
    chosen.classList.remove("chosen");
    chosen.removeAttribute("aria-selected");
  }
  if (column === null) {
    return;
  }
  column.classList.add("chosen");
  column.setAttribute("aria-selected", "true");
  page.timeline.setAttribute("aria-activedescendant", column.id = `tick-${column.dataset.tick}`);
  page.tickLine.textContent = column.dataset.line;
  page.tickSaid.textContent = `Tick ${column.dataset.tick}: ${column.dataset.said}`;
}

// The oven's facts, from a module of their own: the page's instances are
// for ticks.
async function readFacts() {
  const instance = await WebAssembly.instantiate(compiled, wasi);
  memory = instance.exports.memory;
  instance.exports._initialize();
  if (instance.exports.mwc_facts() !== 1) {
    throw new Error("the oven's facts could not be read");
  }
  return JSON.parse(take(TRACE_OUT));
}

function buzzerMs() {
  const {tones, tone_ms: toneMs, pause_ms: pauseMs} = oven.buzzer;
  return tones * toneMs + (tones - 1) * pauseMs;
}

function buzzerWords() {
  const count = ["no", "one", "two", "three", "four", "five"][oven.buzzer.tones] ?? oven.buzzer.tones;
  return `${count} tones of ${oven.buzzer.hz} Hz`;
}

// The panel's keys, labelled as the oven labels them, and the texts that
// give the oven's figures.
function showFacts() {
  const keys = document.getElementById("keys");
  for (const {key, does} of oven.keys) {
    const button = document.createElement("button");
    button.id = `key-${key}`;
    button.dataset.key = key;
    button.setAttribute("aria-keyshortcuts", key);
    const letter = document.createElement("kbd");
    letter.textContent = key;
    button.append(letter, ` ${does}`);
    button.addEventListener("click", () => press(key));
    keys.append(button);
  }
  const first = oven.keys[0].key;
  const last = oven.keys[oven.keys.length - 1].key;
  document.getElementById("key-range").replaceChildren(
      Object.assign(document.createElement("kbd"), {textContent: first}), " to ",
      Object.assign(document.createElement("kbd"), {textContent: last}));
  document.getElementById("ticks-per-second").textContent =
      String(Math.round(MS_PER_S / oven.tick_ms));
  // The colour key of the timeline's states.
  const colours = document.getElementById("state-key");
  for (const {name} of oven.states) {
    const item = document.createElement("li");
    item.dataset.state = name;
    item.append(Object.assign(document.createElement("span"), {className: "band"}), name);
    colours.append(item);
  }
  // The sound note says less once sound is on: its first height is kept,
  // so that nothing moves under the pointer on the first click.
  page.sound.style.minHeight = `${page.sound.offsetHeight}px`;
}

function showWaiting() {
  page.waiting.textContent = queue.length > 0 ? queue.join(" ") : "none";
}

// --- Questions to mwc-check, answered in a worker -----------------------------

let checker = null;            // the worker, started at the first question
let evidence = null;           // the last answer's first evidence: {keys, marked}

function startChecker() {
  checker = new Worker("checker.js");
  checker.onmessage = ({data}) => {
    if (data.forms !== undefined) {
      for (const {name} of data.forms) {
        page.questionForm.append(new Option(name, name));
      }
      return;
    }
    page.asking.hidden = true;
    page.ask.disabled = false;
    answered(data);
    if (showing && evidence !== null) {
      playEvidence();
    }
    showing = false;
  };
  checker.postMessage({forms: true});
}

function ask(event) {
  event.preventDefault();
  page.ask.disabled = true;
  page.asking.hidden = false;
  page.answer.textContent = "";
  page.playEvidence.hidden = true;
  checker.postMessage({form: page.questionForm.selectedIndex, question: page.question.value});
}

// mwc-check's words, or what it said of a bad question; the evidence kept
// to play, the ticks to mark on the timeline with it.
function answered({answer, json, errors}) {
  page.answer.textContent = answer !== "" ? answer : errors;
  const first = json === "" ? undefined : JSON.parse(json).evidence?.[0];
  if (first === undefined) {
    evidence = null;
    return;
  }
  const loop = first.loop ?? "";
  const keys = first.script + loop.repeat(3);
  const marked = new Set();
  if (first.at !== null && first.at !== undefined) {
    marked.add(first.at); // the P line of a leads-to
  }
  for (let tick = first.script.length + 1; loop !== "" && tick <= keys.length; tick++) {
    marked.add(tick); // the loop, every time round
  }
  evidence = {keys: [...keys], marked};
  page.playEvidence.hidden = false;
}

// A state chosen on the diagram: what it means, and a button that asks
// mwc-check for the shortest script to it and plays that.
let shownState = null;
let showing = false;           // the next answer's evidence plays at once

function chooseState(name, meaning) {
  shownState = name;
  page.stateMeaning.textContent = meaning;
  page.stateInfo.hidden = false;
}

function showHow() {
  page.questionForm.value = "reach";
  page.question.value = `state = ${shownState}`;
  showing = true;
  page.askForm.requestSubmit();
}

async function playEvidence() {
  const playing = evidence;
  await runScript(playing.keys);
  marks = playing.marked;
}

// --- The clock -----------------------------------------------------------------

// The page's clock: ticks are owed for the time that has passed since it
// started, at the speed chosen, and each timer call runs all that are owed,
// however late the browser fired it. A page left behind (a tab in the
// background) starts its clock again rather than run a backlog.
const MAX_TICKS_PER_CALL = 1000;
let clock = null;              // {start, ticks}: when it started, ticks run since

function loop() {
  timer = null;
  const now = performance.now();
  const period = oven.tick_ms / speed;
  if (clock === null) {
    clock = {start: now - period, ticks: 0};
  }
  const owed = Math.floor((now - clock.start) / period) - clock.ticks;
  for (let i = 0; i < Math.min(owed, MAX_TICKS_PER_CALL) && running; i++) {
    clock.ticks++;
    if (runTick().buzzer) {
      // The buzzer holds the tick for its whole length, as in mwc; the
      // clock starts again after it.
      buzz();
      clock = null;
      schedule(buzzerMs());
      return;
    }
  }
  if (owed > MAX_TICKS_PER_CALL) {
    clock = null;
  }
  const next = clock === null ? period : clock.start + (clock.ticks + 1) * period - now;
  schedule(Math.max(0, next));
}

function schedule(ms) {
  if (running && timer === null) {
    timer = setTimeout(loop, ms);
  }
}

function setRunning(run) {
  running = run;
  clock = null;
  if (!run && timer !== null) {
    clearTimeout(timer);
    timer = null;
  }
  page.run.disabled = run;
  page.pause.disabled = !run;
  page.step.disabled = run;
  schedule(oven.tick_ms / speed);
}

// --- Sound ---------------------------------------------------------------------

// Browsers start sound only from a click or a key press; until then the
// buzzer is silent, and nothing fails for it.
function wakeAudio() {
  const Context = window.AudioContext || window.webkitAudioContext;
  if (audio === null && Context !== undefined) {
    try {
      audio = new Context();
    } catch (error) {
      audio = null;
      return;
    }
  }
  if (audio !== null && audio.state === "suspended") {
    audio.resume().then(showSound, () => {});
  }
  showSound();
}

function showSound() {
  if (audio !== null && audio.state === "running") {
    page.sound.textContent = `Sound: on. The buzzer is ${buzzerWords()}.`;
  }
}

function buzz() {
  // Said again each time, so that a screen reader announces it.
  page.buzzer.textContent = `Buzzer: ${buzzerWords()}; the tick stands still`;
  page.buzzer.hidden = false; // for as long as the buzzer holds the tick
  setTimeout(() => {
    page.buzzer.hidden = true;
    lightState(page.state.textContent);
  }, buzzerMs());
  if (audio === null || audio.state !== "running") {
    return;
  }
  const start = audio.currentTime;
  const {tones, hz, tone_ms: toneMs, pause_ms: pauseMs} = oven.buzzer;
  const length = toneMs / MS_PER_S;
  for (let i = 0; i < tones; i++) {
    const at = start + i * (toneMs + pauseMs) / MS_PER_S;
    const tone = audio.createOscillator();
    const level = audio.createGain();
    tone.frequency.value = hz;
    // 5 ms fades, so the tone starts and ends without a click.
    level.gain.setValueAtTime(0, at);
    level.gain.linearRampToValueAtTime(0.2, at + 0.005);
    level.gain.setValueAtTime(0.2, at + length - 0.005);
    level.gain.linearRampToValueAtTime(0, at + length);
    tone.connect(level).connect(audio.destination);
    tone.start(at);
    tone.stop(at + length);
  }
}

// --- Keys and buttons ------------------------------------------------------

function press(key) {
  queue.push(key);
  showWaiting();
}

function download() {
  // The final q ends mwc and mwc-replay where the session stands.
  const keys = script.join("");
  const file = new Blob([keys.endsWith(oven.quit) ? keys : keys + oven.quit],
                        {type: "application/octet-stream"});
  const link = document.createElement("a");
  link.href = URL.createObjectURL(file);
  link.download = "oven.keys";
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 0);
}

// --- Scripts in and out, and start-up again ---------------------------------

async function reset() {
  setRunning(false);
  const instance = await WebAssembly.instantiate(compiled, wasi);
  memory = instance.exports.memory;
  instance.exports._initialize();
  tick = instance.exports.mwc_tick;
  for (const list of [queue, pending, script, traceLines, written[FRAMES_OUT], written[TRACE_OUT]]) {
    list.splice(0);
  }
  lastState = oven.states[0].name;
  previous = null;
  timeScale = MIN_TIME_SCALE_S;
  marks = new Set();
  page.tickLine.textContent = "";
  page.tickSaid.textContent = "";
  page.timeline.replaceChildren();
  page.panel.textContent = "";
  page.trace.textContent = "";
  page.tick.textContent = "0";
  page.state.textContent = "";
  page.modeMeaning.textContent = "";
  for (const element of page.diagram.querySelectorAll(".active, .taken")) {
    element.classList.remove("active", "taken");
  }
  showWaiting();
}

// Runs `keys` (the script alphabet: "." for no key) from start-up, one
// byte per tick, then pauses.
async function runScript(keys) {
  await reset();
  for (const key of keys) {
    pending.push(key);
  }
  if (pending.length > 0) {
    setRunning(true);
  }
}

function share() {
  const link = new URL(window.location.href);
  link.hash = `keys=${encodeURIComponent(script.join(""))}` + (speed > 1 ? `&speed=${speed}` : "");
  page.shareLink.href = link.href;
  page.shareLink.textContent = link.href;
  page.shareLink.hidden = false;
  if (navigator.clipboard !== undefined) {
    navigator.clipboard.writeText(link.href).catch(() => {});
  }
}

// A script as mwc-check prints it, or as a file holds it: a key or "."
// per tick, spaces and line ends ignored, ".{N}" for N ticks without a key,
// and a loop in parentheses at the end, played three times as mwc-check
// --script writes it. Its keys, one per tick; or, for anything else, an
// Error that names the first bad character and where it is.
const MAX_SCRIPT_TICKS = 1000000;

function parseScript(text) {
  const keys = [];
  const alphabet = new Set([...oven.keys.map(({key}) => key), oven.quit, oven.idle_tick]);
  let loopFrom = -1;
  let looped = false;
  const bad = (at, why) =>
      new Error(`The script has ${JSON.stringify(text[at] ?? "")} at character ${at + 1}: ${why}`);
  for (let at = 0; at < text.length; at++) {
    const c = text[at];
    if (/\s/.test(c)) {
      continue;
    }
    if (looped) {
      throw bad(at, "nothing may follow the loop.");
    }
    if (c === "{" && keys.length > 0 && keys[keys.length - 1] === oven.idle_tick) {
      const run = /^\{([0-9]{1,7})\}/.exec(text.slice(at));
      if (run === null) {
        throw bad(at, `a run of ticks without a key is written ${oven.idle_tick}{N}.`);
      }
      for (let tick = 1; tick < Number(run[1]) && keys.length <= MAX_SCRIPT_TICKS; tick++) {
        keys.push(oven.idle_tick);
      }
      at += run[0].length - 1;
    } else if (c === "(" && loopFrom < 0) {
      loopFrom = keys.length;
    } else if (c === ")" && loopFrom >= 0 && keys.length > loopFrom) {
      const loop = keys.slice(loopFrom);
      for (let round = 1; round < 3; round++) {
        for (const key of loop) {
          keys.push(key);
        }
      }
      looped = true;
    } else if (alphabet.has(c)) {
      keys.push(c);
    } else {
      throw bad(at, `a script holds the keys ${oven.keys.map(({key}) => key).join(" ")} ` +
                `and ${oven.quit}, ${oven.idle_tick} for no key, ${oven.idle_tick}{N} for N ` +
                "of them, spaces, and one loop in parentheses at the end.");
    }
    if (keys.length > MAX_SCRIPT_TICKS) {
      throw bad(at, `a script runs at most ${MAX_SCRIPT_TICKS} ticks.`);
    }
  }
  if (loopFrom >= 0 && !looped) {
    throw bad(text.lastIndexOf("("), "this loop is never closed.");
  }
  return keys;
}

// Runs `text` from start-up if it is a script; else says why, and runs nothing.
async function runText(text) {
  let keys = null;
  try {
    keys = parseScript(text);
  } catch (error) {
    page.alert.textContent = error.message;
    page.alert.hidden = false;
    return;
  }
  page.alert.hidden = true;
  await runScript(keys);
}

// A script from a file or the text field.
async function load() {
  const file = page.loadFile.files[0];
  await runText(file !== undefined ? await file.text() : page.loadText.value);
}

function fromLink() {
  const asked = new URLSearchParams(window.location.hash.slice(1));
  const wanted = Number(asked.get("speed"));
  if ([...page.speed.options].some((option) => Number(option.value) === wanted)) {
    page.speed.value = String(wanted);
    speed = wanted;
  }
  return asked.get("keys");
}

function wire() {
  for (const id of ["panel", "chamber", "door", "waiting", "run", "pause", "step", "speed", "tick",
                    "state", "sound", "diagram", "trace", "download", "timeline", "buzzer", "reset",
                    "share", "alert", "load"]) {
    page[id] = document.getElementById(id);
  }
  page.modeMeaning = document.getElementById("mode-meaning");
  page.tickLine = document.getElementById("tick-line");
  for (const [name, id] of [["questionForm", "question-form"], ["question", "question"],
                            ["ask", "ask"], ["asking", "asking"], ["answer", "answer"],
                            ["playEvidence", "play-evidence"], ["askForm", "ask-form"]]) {
    page[name] = document.getElementById(id);
  }
  page.askForm.addEventListener("submit", ask);
  page.stateInfo = document.getElementById("state-info");
  page.stateMeaning = document.getElementById("state-meaning");
  document.getElementById("show-how").addEventListener("click", showHow);
  page.playEvidence.addEventListener("click", playEvidence);
  page.tickSaid = document.getElementById("tick-said");
  // A tick is chosen by pointing at it, tapping it, or the arrow keys.
  const columnAt = (event) => event.target.closest?.(".column") ?? null;
  page.timeline.addEventListener("pointerover", (event) => chooseTick(columnAt(event)));
  page.timeline.addEventListener("click", (event) => chooseTick(columnAt(event)));
  page.timeline.addEventListener("keydown", (event) => {
    const chosen = page.timeline.querySelector(".column.chosen") ?? page.timeline.lastElementChild;
    const next = {ArrowLeft: chosen?.previousElementSibling, ArrowRight: chosen?.nextElementSibling,
                  Home: page.timeline.firstElementChild, End: page.timeline.lastElementChild};
    if (event.key in next && next[event.key] !== null && next[event.key] !== undefined) {
      chooseTick(next[event.key]);
      next[event.key].scrollIntoView({block: "nearest", inline: "nearest"});
      event.preventDefault();
    }
  });
  page.timeline.addEventListener("focus", () => {
    if (page.timeline.querySelector(".column.chosen") === null) {
      chooseTick(page.timeline.lastElementChild);
    }
  });
  page.shareLink = document.getElementById("share-link");
  page.loadFile = document.getElementById("load-file");
  page.loadText = document.getElementById("load-text");
  document.addEventListener("keydown", (event) => {
    // The oven's keys work whatever has the focus, but for a text field.
    const typing = event.target instanceof HTMLTextAreaElement ||
                   event.target instanceof HTMLSelectElement ||
                   (event.target instanceof HTMLInputElement && event.target.type === "text");
    const panelKey = oven !== null && oven.keys.some(({key}) => key === event.key);
    if (!typing && !event.ctrlKey && !event.altKey && !event.metaKey && panelKey) {
      press(event.key);
      event.preventDefault();
    }
  });
  document.addEventListener("pointerdown", wakeAudio);
  document.addEventListener("keydown", wakeAudio);
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
    if (!running && runTick().buzzer) {
      buzz();
    }
  });
  page.speed.addEventListener("change", () => {
    speed = Number(page.speed.value);
    clock = null;
  });
  page.download.addEventListener("click", download);
  page.share.addEventListener("click", share);
  page.reset.addEventListener("click", reset);
  page.load.addEventListener("click", load);
}

async function start() {
  wire();
  try {
    const [module, diagram] = await Promise.all([
      fetch("oven.wasm").then((response) => {
        if (!response.ok) {
          throw new Error(`oven.wasm: ${response.status} ${response.statusText}`);
        }
        return WebAssembly.compileStreaming(response);
      }),
      fetch("controller.svg").then((response) => response.text()),
    ]);
    compiled = module;
    oven = await readFacts();
    startChecker();
    showFacts();
    page.diagram.innerHTML = diagram;
    // Each state can take the focus and says what it means, as on hover;
    // chosen, it says so beside the diagram, with a way to get there.
    for (const node of page.diagram.querySelectorAll("g.node")) {
      const link = node.querySelector("a");
      const meaning = link === null ? null : link.getAttribute("xlink:title");
      if (meaning !== null) {
        node.setAttribute("tabindex", "0");
        node.setAttribute("aria-label", meaning);
        const choose = (event) => {
          event.preventDefault();
          chooseState(node.querySelector("title").textContent, meaning);
        };
        node.addEventListener("click", choose);
        node.addEventListener("focus", choose);
      }
    }
  } catch (error) {
    page.alert.textContent =
        `The oven's WebAssembly (oven.wasm) could not be loaded (${error.message}). ` +
        "A page opened as a file cannot load it: serve the site, for example with " +
        "python3 -m http.server -d build/web/site 8000, and open http://localhost:8000/.";
    page.alert.hidden = false;
    return;
  }
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
    return;
  }
  await reset();
  setRunning(true);
}

start();
